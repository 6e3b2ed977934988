#include "editor/IControl.h"

#include "editor/PromptPopup.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

IControl::IControl(IPlugBase* p, const Rect& r, int idx, const Blend& b)
    : plug(p), rect(r), targetRect(r), paramIdx(idx), blend(b) {}

IControl::~IControl() = default;

void IControl::MouseDown(int, int, const MouseMods& mods) {
  if (mods.R) {
    if (paramIdx < 0 || promptDisabled) return;
    // A popup was open when this click arrived and the engine closed it: the
    // click is spent.
    if (graphics && graphics->PopupMarkerSet()) {
      graphics->ClearPopupMarker();
      return;
    }
    OpenValuePrompt();
  } else if (mods.L && graphics) {
    graphics->ClearPopupMarker();
  }
}

void IControl::OpenValuePrompt() {
  if (paramIdx < 0 || promptDisabled || !plug || !graphics) return;
  IParameter* param = plug->GetParam(paramIdx);
  if (!param) return;
  const int n = param->DisplayTextCount();
  if (n > 0 && (param->Type() == IParameter::kTypeEnum || param->Type() == IParameter::kTypeBool)) {
    IGraphics* g = graphics;
    auto* popup = new PromptPopup(plug, rect.L, rect.T, 70, 1, g->popupStyle, g->popupBackground, g->popupHighlight);
    g->AttachControl(popup);
    g->SetActivePopup(popup);
    popup->SetHidden(true);
    for (int i = 0; i < n; ++i) popup->AddItem(param->DisplayTextFor(i));
    // Centred over the control, at least 6 pixels inside the editor.
    const Rect& p = popup->rect;
    int dx = static_cast<int>((rect.W() - p.W()) * 0.5);
    if (p.L + dx < 6) {
      dx = 6 - p.L;
    } else if (p.L + dx + p.W() > g->Width() - 6) {
      dx = g->Width() - p.L - p.W() - 6;
    }
    int dy = static_cast<int>((rect.H() - p.H()) * 0.5);
    if (p.T + dy < 6) {
      dy = 6 - p.T;
    } else if (p.T + dy + p.H() > g->Height() - 6) {
      dy = g->Height() - p.T - p.H() - 6;
    }
    popup->Move(dx, dy);
    popup->Open(paramIdx, this);
  } else {
    graphics->PromptTextEntry(this, param, true);
  }
  redrawPending = true;
}
void IControl::MouseUp(int, int, const MouseMods&) {}
void IControl::FileDrop(int, int, const char*) {}
void IControl::MouseDrag(int, int, int, int, const MouseMods&) {}

void IControl::MouseDoubleClick(int, int, const MouseMods&) {
  if (defaultValue >= 0.0) {
    value = defaultValue;
    MarkDirty(true);
  }
}

void IControl::MouseWheel(int, int, const MouseMods& mods, int d) {
  if (paramIdx < 0 || !plug) return;
  const IParameter* param = plug->GetParam(paramIdx);
  if (!param) return;
  double step;
  if (param->Type() == IParameter::kTypeDouble || param->Type() == IParameter::kTypeInt) {
    step = 0.01;
  } else {
    const int n = param->DisplayTextCount();
    // A list without texts has nothing to step through.
    if (n <= 0) return;
    step = static_cast<float>(0.5 / static_cast<double>(n));
  }
  if (mods.C || mods.S) step *= 0.1;
  value += step * d;
  MarkDirty(true);
}

void IControl::KeyDown(int, int, int) {}
void IControl::MouseOver(int, int, const MouseMods&) {}
void IControl::MouseOut() {}

void IControl::ReceiveParamValue(double v) {
  if (defaultValue < 0.0) {
    defaultValue = v;
  } else if (v == value) {
    return;
  }
  value = v;
  MarkDirty(false);
  redrawPending = true;
}

void IControl::SetValueFromPrompt(double v) {
  if (v != value) value = v;
  MarkDirty(true);
  redrawPending = true;
}

void IControl::PopupChoice(const char*, int) {}

void IControl::SetHidden(bool b) {
  hidden = b;
  redrawPending = true;
  MarkDirty(false);
}

void IControl::SetGrayed(bool b) {
  grayed = b;
  blend.weight = b ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y) { return targetRect.Contains(x, y); }

void IControl::MarkDirty(bool pushToPlug) {
  if (value < clampLo) {
    value = clampLo;
  } else if (value > clampHi) {
    value = clampHi;
  }
  dirty = true;
  if (pushToPlug && plug && paramIdx >= 0) plug->SetParameterFromEditor(paramIdx, value);
}

void IControl::ClearDirty() {
  dirty = redrawPending;
  redrawPending = false;
}

bool IControl::NeedsRedraw() { return dirty; }

void IControl::Hook() {}

void IControl::HoverOver(bool& hover) {
  if (hover) return;
  hover = true;
  MarkDirty(false);
}

void IControl::HoverOut(bool& hover) {
  hover = false;
  MarkDirty(false);
}

void IControl::ParamValueText(char* out, size_t size, bool withLabel) const {
  if (size == 0) return;
  out[0] = '\0';
  const IParameter* param = plug ? plug->GetParam(paramIdx) : nullptr;
  if (!param) return;
  char text[IParameter::kTextSize];
  param->FormatDisplay(param->Value(), false, text);
  quarv::FormatC(out, size, "%s%s", text, withLabel && text[0] ? param->Label() : "");
}
