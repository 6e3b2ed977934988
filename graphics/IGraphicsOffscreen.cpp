#include "graphics/IGraphicsOffscreen.h"

#include "framework/IPlugBase.h"

IGraphicsOffscreen::IGraphicsOffscreen(IPlugBase* p, int w, int h, int fps) : IGraphics(p, w, h, fps) {}

IGraphicsOffscreen::~IGraphicsOffscreen() = default;

void IGraphicsOffscreen::CloseWindow() {
  // A wheel gesture still counting down ends now, as when a window closes.
  if (paramChangeTimer != 0 && plug) plug->FlushPendingEdit();
}

LICE_IBitmap* IGraphicsOffscreen::LoadPlatformBitmap(int id, const char*) { return DecodeEmbeddedImage(id); }

void IGraphicsOffscreen::Tick() {
  RedrawForTimer();
  if (paramChangeTimer != 0 && --paramChangeTimer == 0 && plug) plug->FlushPendingEdit();
}
