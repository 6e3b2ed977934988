#include "graphics/IGraphicsOffscreen.h"

#include "framework/IPlugBase.h"
#include "graphics/raster/LicePng.h"

IGraphicsOffscreen::IGraphicsOffscreen(IPlugBase* p, int w, int h, int fps) : IGraphics(p, w, h, fps) {}

IGraphicsOffscreen::~IGraphicsOffscreen() = default;

bool IGraphicsOffscreen::BlitToScreen(const Rect& r) {
  blits.push_back(r);
  return false;
}

void IGraphicsOffscreen::EditControlText(IControl* control) {
  promptControl = control;
  promptParam = nullptr;
  ++editTextCount;
}

void IGraphicsOffscreen::PromptTextEntry(IControl* control, IParameter* param, bool compact) {
  promptControl = control;
  promptParam = param;
  promptCompact = compact;
  ++promptCount;
}

void IGraphicsOffscreen::CloseWindow() {
  // A wheel gesture still counting down ends now, as when a window closes.
  if (paramChangeTimer != 0 && plug) plug->FlushPendingEdit();
}

LICE_IBitmap* IGraphicsOffscreen::LoadPlatformBitmap(int id, const char*) {
  const auto it = images_.find(id);
  if (it == images_.end()) return nullptr;
  return LICE_DecodePNG(it->second.data(), it->second.size());
}

void IGraphicsOffscreen::SetImage(int id, const void* png, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(png);
  images_[id].assign(bytes, bytes + (png ? length : 0));
}

void IGraphicsOffscreen::Tick() {
  if (timerRedraw) {
    Rect dirty;
    if (CollectDirty(dirty)) DrawRegion(dirty);
  }
  if (alwaysRedrawRect.W() > 0) DrawRegion(alwaysRedrawRect);
  if (paramChangeTimer != 0 && --paramChangeTimer == 0 && plug) plug->FlushPendingEdit();
}
