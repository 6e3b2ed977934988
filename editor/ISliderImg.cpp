#include "editor/ISliderImg.h"

#include <cstdlib>

#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

using quarv::RoundHalfAway;

ISliderImg::ISliderImg(IPlugBase* p, int idx, const Rect& r, const BitmapRef& h, const TextStyle& style, int len,
                       int direction, float d)
    : IControl(p, r, idx),
      textStyle(style),
      handle(h),
      length(std::abs(len)),
      vertical(direction == 0),
      reversed(len < 0),
      dim(d) {
  travel = length - (vertical ? handle.H : handle.W);
  const double cx = (r.L + r.R) * 0.5;
  if (vertical) {
    trackRect = Rect(RoundHalfAway(cx - handle.W * 0.5), r.T, RoundHalfAway(cx + handle.W * 0.5), r.T + length);
  } else {
    const int h2 = length / 2;
    trackRect = Rect(RoundHalfAway(cx - h2), r.T, RoundHalfAway(cx + h2), r.T + handle.H);
  }
}

void ISliderImg::MouseDown(int x, int y, const MouseMods& mods) {
  if (mods.R) {
    IControl::MouseDown(x, y, mods);
    return;
  }
  if (!trackRect.Contains(x, y)) return;
  hover = false;
  dragging = true;
  SetFromMouse(x, y);
}

void ISliderImg::MouseUp(int, int, const MouseMods&) { dragging = false; }

void ISliderImg::MouseDrag(int x, int y, int, int, const MouseMods&) {
  if (dragging) SetFromMouse(x, y);
}

void ISliderImg::MouseOver(int, int, const MouseMods&) { HoverOver(hover); }

void ISliderImg::MouseOut() { HoverOut(hover); }

void ISliderImg::SetFromMouse(int x, int y) {
  double v;
  if (vertical) {
    v = (y - trackRect.T - handle.H * 0.5) / travel;
    if (!reversed) v = 1.0 - v;
  } else {
    v = (x - trackRect.L - handle.W * 0.5) / travel;
    if (reversed) v = 1.0 - v;
  }
  value = v;
  MarkDirty(true);
}

Rect ISliderImg::HandleRect(double normalized) const {
  float p = static_cast<float>(normalized);
  if (reversed) p = 1.0f - p;
  if (vertical) {
    const int y = RoundHalfAway(travel * (1.0f - p) + trackRect.T);
    return Rect(trackRect.L, y, trackRect.R, y + handle.H);
  }
  const float x0 = travel * p + trackRect.L;
  return Rect(RoundHalfAway(x0), trackRect.T, RoundHalfAway(x0 + handle.W), rect.B);
}

bool ISliderImg::Draw(IGraphics* g) {
  char text[64] = "";
  double normalized = 0.0;
  {
    auto lock = LockPlugIn(plug);
    if (const IParameter* param = plug ? plug->GetParam(paramIdx) : nullptr) normalized = param->Normalized();
    if (textStyle.size > 0) ParamValueText(text, sizeof text, true);
  }
  if (text[0] && textStyle.size > 0) {
    textStyle.align = TextStyle::kAlignCentre;
    g->DrawText(textStyle, text, Rect(rect.L, rect.B - textStyle.size, rect.R, rect.B));
  }
  const Blend idle(kBlendAlpha, 1.0f - dim);
  const Blend& b = g->mouseOverEnabled && !hover ? idle : blend;
  return g->DrawBitmap(handle, HandleRect(normalized), 1, &b);
}
