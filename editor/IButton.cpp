#include "editor/IButton.h"

#include "framework/IPlugBase.h"
#include "graphics/IGraphics.h"

namespace {
Rect FrameRect(int x, int y, const BitmapRef& b) { return Rect(x, y, x + b.W, y + b.H / (b.frames > 0 ? b.frames : 1)); }
}  // namespace

IButton::IButton(IPlugBase* p, int x, int y, int idx, const BitmapRef& b, bool inv, float d)
    : IControl(p, FrameRect(x, y, b), idx), bitmap(b), inverted(inv), dim(d) {}

void IButton::MouseDown(int, int, const MouseMods& mods) {
  if (!mods.R) value = value <= 0.5 ? 1.0 : 0.0;
  MarkDirty(true);
}

void IButton::MouseOver(int, int, const MouseMods&) { HoverOver(hover); }

void IButton::MouseOut() { HoverOut(hover); }

bool IButton::IsOn() const { return inverted ? value < 0.5 : value > 0.5; }

bool IButton::Draw(IGraphics* g) {
  bool on;
  {
    auto lock = LockPlugIn(plug);
    on = IsOn();
  }
  if (!on && !hover) return true;
  const Blend b(kBlendAlpha, on ? (hover ? 1.0f - dim : 1.0f) : dim);
  return g->DrawBitmap(bitmap, rect, 1, &b);
}

IButtonGUI::IButtonGUI(IPlugBase* p, bool* t, int x, int y, const BitmapRef& b, bool press, float d)
    : IControl(p, FrameRect(x, y, b)), bitmap(b), dim(d), target(t), pressValue(press) {}

void IButtonGUI::MouseDown(int, int, const MouseMods& mods) {
  if (!mods.R && target) *target = !pressValue;
  MarkDirty(true);
}

void IButtonGUI::MouseUp(int, int, const MouseMods&) {
  if (target) *target = pressValue;
  MarkDirty(true);
}

void IButtonGUI::MouseOver(int, int, const MouseMods&) { HoverOver(hover); }

void IButtonGUI::MouseOut() { HoverOut(hover); }

bool IButtonGUI::Draw(IGraphics* g) {
  bool lit;
  {
    auto lock = LockPlugIn(plug);
    lit = target && *target;
  }
  if (!lit) return true;
  const Blend b(kBlendAlpha, hover ? (dim > 0.0f ? 1.0f - dim : -dim) : 1.0f);
  return g->DrawBitmap(bitmap, rect, 1, &b);
}
