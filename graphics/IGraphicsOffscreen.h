// The engine without a window: every window operation is a no-op (false, 0,
// an empty string or none), so an editor can be built, fed input and drawn
// with nothing on screen. Tests, benchmarks and the command-line tools use
// it, and it stands in for the window layer until one is attached.
//
// It also does what a window's timer would: Tick() redraws the dirty area and
// the always-redrawn area and counts down the delayed end of a wheel gesture.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "graphics/IGraphics.h"

class IGraphicsOffscreen : public IGraphics {
public:
  IGraphicsOffscreen(IPlugBase* plug, int width, int height, int frameRate);
  ~IGraphicsOffscreen() override;

  bool BlitToScreen(const Rect& r) override;
  void EditControlText(IControl* control) override;
  void PromptTextEntry(IControl* control, IParameter* param, bool compact) override;
  void HostPath(std::string& path) override { path.clear(); }
  void PluginPath(std::string& path) override { path.clear(); }
  void PromptForFile(std::string& file, int, const char*, const char*) override { file.clear(); }
  bool PromptForColour(Colour*, const char*) override { return false; }
  bool OpenWebPage(const char*, const char*, const char*, const char*) override { return false; }
  void SetParamChangeTimer(int ticks) override { paramChangeTimer = ticks; }
  void CancelParamChangeTimer() override { paramChangeTimer = 0; }
  void* OpenWindow(void*) override { return nullptr; }
  void CloseWindow() override;
  void* GetWindow() override { return nullptr; }
  void UpdateTooltips() override {}
  // Decodes the PNG bytes given for id with SetImage; none otherwise.
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;

  // PNG bytes that LoadPlatformBitmap decodes for id.
  void SetImage(int id, const void* png, size_t length);

  // One timer tick: draws the dirty area, then the always-redrawn area, then
  // counts the wheel gesture down and ends it at zero.
  void Tick();

  // Ticks left before the plug-in base's FlushPendingEdit; 0 = not armed.
  int paramChangeTimer = 0;
  // What the no-op prompts were asked, for inspection.
  IControl* promptControl = nullptr;
  IParameter* promptParam = nullptr;
  bool promptCompact = false;
  int promptCount = 0;
  int editTextCount = 0;
  // Rectangles passed to BlitToScreen, in order.
  std::vector<Rect> blits;

private:
  std::map<int, std::vector<uint8_t>> images_;
};
