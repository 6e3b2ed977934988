// The off-screen engine with what only tests need: the rectangles it was
// asked to show, the prompts it was asked to open, and images given as PNG
// bytes under any id.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "graphics/IGraphicsOffscreen.h"
#include "graphics/raster/LicePng.h"

namespace gfxtest {

class RecordingGraphics : public IGraphicsOffscreen {
public:
  using IGraphicsOffscreen::IGraphicsOffscreen;

  bool BlitToScreen(const Rect& r) override {
    blits.push_back(r);
    return false;
  }
  void EditControlText(IControl* control) override {
    promptControl = control;
    promptParam = nullptr;
    ++editTextCount;
  }
  void PromptTextEntry(IControl* control, IParameter* param, bool compact) override {
    promptControl = control;
    promptParam = param;
    promptCompact = compact;
    ++promptCount;
  }
  bool OpenWebPage(const char* url, const char*, const char*, const char* failureText) override {
    openedUrl = url ? url : "";
    urlFailureText = failureText ? failureText : "";
    return false;
  }
  // Images given with SetImage first, then the module's own.
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override {
    const auto it = images_.find(id);
    if (it == images_.end()) return IGraphicsOffscreen::LoadPlatformBitmap(id, name);
    return LICE_DecodePNG(it->second.data(), it->second.size());
  }
  // PNG bytes that LoadPlatformBitmap decodes for id.
  void SetImage(int id, const void* png, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(png);
    images_[id].assign(bytes, bytes + (png ? length : 0));
  }

  std::vector<Rect> blits;
  IControl* promptControl = nullptr;
  IParameter* promptParam = nullptr;
  bool promptCompact = false;
  int promptCount = 0;
  int editTextCount = 0;
  std::string openedUrl, urlFailureText;

private:
  std::map<int, std::vector<uint8_t>> images_;
};

}  // namespace gfxtest
