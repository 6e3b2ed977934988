#include "editor/IKnobControl.h"

#include <cmath>
#include <cstdlib>

#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

using quarv::RoundHalfAway;

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

void IKnobControl::MouseDrag(int, int, int dX, int dY, const MouseMods& mods) {
  double g = gearing;
  if (mods.C || mods.S) g *= 10.0;
  if (direction == 0) {
    value += dY / static_cast<double>(rect.T - rect.B) / g;
  } else {
    value += dX / static_cast<double>(rect.R - rect.L) / g;
  }
  MarkDirty(true);
}

IKnobRotVal::IKnobRotVal(IPlugBase* p, const Rect& r, int idx, const TextStyle& style, const BitmapRef& b, int cx,
                         int cy, int offset, int sw, float d)
    : IKnobControl(p, r, idx),
      textStyle(style),
      bitmap(b),
      centreX(cx),
      centreY(cy),
      textOffset(offset),
      sweep(sw),
      dim(d) {}

Rect IKnobRotVal::RectFor(const BitmapRef& b, int cx, int cy, int offset, int textSize) {
  const int halfW = RoundHalfAway(static_cast<float>(b.W) / static_cast<float>(b.frames) / 2.0f);
  const int halfH = RoundHalfAway(static_cast<float>(b.H) / 2.0f);
  return Rect(cx - halfW, cy - halfH, cx + halfW, cy + halfH + offset + textSize);
}

void IKnobRotVal::MouseUp(int, int, const MouseMods&) {
  if (steps > 0) value = std::floor(steps * value + 0.5) / steps;
  MarkDirty(true);
}

void IKnobRotVal::MouseOver(int, int, const MouseMods&) { HoverOver(hover); }

void IKnobRotVal::MouseOut() { HoverOut(hover); }

double IKnobRotVal::AngleFor(double v) const {
  // Each factor narrowed to single precision, as the rotation takes it.
  const float half = static_cast<float>(sweep * kPi / 360.0);
  const float start = static_cast<float>(-sweep * kPi / 360.0);
  return half * (2.0 * v) + start;
}

float IKnobRotVal::SourceOffsetFor(double v) { return -static_cast<float>(std::fabs(v - 0.5) * 2.0); }

bool IKnobRotVal::Draw(IGraphics* g) {
  double v;
  char text[64];
  {
    auto lock = LockPlugIn(plug);
    v = value;
    ParamValueText(text, sizeof text, showLabel);
  }
  const bool companion = bitmap.companionId < -1;
  drawBlend = Blend(kBlendAlpha, 1.0f);
  if (hover && companion) drawBlend.weight = dim > 0.0f ? 1.0f - dim : -dim;
  const double angle = AngleFor(v);
  const float s = SourceOffsetFor(v);
  if (!companion) {
    g->DrawRotatedBitmap(bitmap, centreX, centreY, angle, &drawBlend, s, s);
  } else {
    if (hover || dim > 0.0f) {
      const Rect body(RoundHalfAway(centreX - bitmap.W / 2.0), rect.T, RoundHalfAway(centreX + bitmap.W / 2.0),
                      rect.B - textOffset - textStyle.size);
      g->DrawBitmap(bitmap, body, 1, &drawBlend);
    }
    if (hover) drawBlend = Blend(kBlendAlpha, 1.0f);
    g->DrawRotatedBitmap(g->CachedBitmap(bitmap.companionId), centreX, centreY, angle, &drawBlend, s, s);
  }
  if (!text[0] || textStyle.size <= 0) return true;
  textStyle.align = TextStyle::kAlignCentre;
  const Rect textRect = textOffset >= 0
                            ? Rect(rect.L, rect.B - textStyle.size, rect.R, rect.B)
                            : Rect(rect.L, rect.B - textStyle.size + textOffset, rect.R, rect.B + textOffset);
  g->DrawText(textStyle, text, textRect);
  return true;
}
