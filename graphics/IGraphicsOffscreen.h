// The engine without a window: every window operation is a no-op (false, 0,
// an empty string or none), so an editor can be built, fed input and drawn
// with nothing on screen. It is the graphics object of every binding until a
// window layer is attached, and tests, benchmarks and the command-line tools
// use it.
//
// It also does what a window's timer would: Tick() redraws the dirty area and
// the always-redrawn area and counts down the delayed end of a wheel gesture.
//
// Threads: user-interface thread, like the engine.
#pragma once

#include "graphics/IGraphics.h"

class IGraphicsOffscreen : public IGraphics {
public:
  IGraphicsOffscreen(IPlugBase* plug, int width, int height, int frameRate);
  ~IGraphicsOffscreen() override;

  bool BlitToScreen(const Rect&) override { return false; }
  void EditControlText(IControl*) override {}
  void PromptTextEntry(IControl*, IParameter*, bool) override {}
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
  // Decodes the module's embedded PNG image with this resource id (100 to
  // 108); none for any other id. Allocates.
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;

  // One timer tick: draws the dirty area, then the always-redrawn area, then
  // counts the wheel gesture down and ends it at zero.
  void Tick();

  // Ticks left before the plug-in base's FlushPendingEdit; 0 = not armed.
  int paramChangeTimer = 0;
};
