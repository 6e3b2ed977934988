#include "editor/IBitmapControl.h"

#include <algorithm>

#include "framework/IPlugBase.h"
#include "graphics/IGraphics.h"

namespace {
Rect FrameRect(int x, int y, const BitmapRef& b, bool vertical) {
  const int n = std::max(1, b.frames);
  return vertical ? Rect(x, y, x + b.W, y + b.H / n) : Rect(x, y, x + b.W / n, y + b.H);
}
}  // namespace

IBitmapControl::IBitmapControl(IPlugBase* p, int x, int y, int idx, const BitmapRef& b, const Blend& bl,
                               bool vert)
    : IControl(p, FrameRect(x, y, b, vert), idx, bl), vertical(vert), bitmap(b) {}

bool IBitmapControl::Draw(IGraphics* graphics) {
  const int n = bitmap.frames;
  double v;
  {
    auto lock = LockPlugIn(plug);
    v = value;
  }
  const int frame = n < 2 ? 1 : std::clamp(static_cast<int>((n - 1) * v + 0.5) + 1, 1, n);
  return graphics->DrawBitmap(bitmap, rect, frame, &blend, vertical);
}
