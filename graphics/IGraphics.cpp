#include "graphics/IGraphics.h"

#include <algorithm>

#include "editor/IBitmapControl.h"
#include "editor/IControl.h"
#include "editor/ITextControl.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "graphics/raster/LiceBitmap.h"

IGraphics::IGraphics(IPlugBase* p, int w, int h, int fps)
    : plug(p), width(w), height(h), frameRate(fps > 0 ? fps : 24) {}

IGraphics::~IGraphics() {
  for (size_t i = controls.size(); i-- > 0;) delete controls[i];
  controls.clear();
  activePopup = nullptr;
  drawBitmap.reset();
  splitPieces.clear();
}

void IGraphics::Resize(int w, int h) {
  width = w;
  height = h;
  if (plug) plug->ResizeEditor();
}

bool IGraphics::WindowIsOpen() { return GetWindow() != nullptr; }

int IGraphics::ProcessMouseWheel(float) { return 0; }

int IGraphics::Reserved() { return 0; }

// ---- Construction and ownership ----

std::unique_lock<std::recursive_mutex> IGraphics::LockPlug() const { return LockPlugIn(plug); }

void IGraphics::PrepareDrawBitmap() { drawBitmap = std::make_unique<LICE_SysBitmap>(width, height); }

LICE_IBitmap* IGraphics::GetDrawBitmap() const { return drawBitmap.get(); }

int IGraphics::AttachControl(IControl* control) {
  if (!control) return -1;
  auto lock = LockPlug();
  control->graphics = this;
  controls.push_back(control);
  return NControls() - 1;
}

void IGraphics::AttachBackground(int id, const char* name) {
  const BitmapRef bitmap = LoadBitmap(id, name, 1);
  auto* background = new IBitmapControl(plug, 0, 0, -1, bitmap, Blend(kBlendCopy, 1.0f));
  background->graphics = this;
  auto lock = LockPlug();
  controls.insert(controls.begin(), background);
}

void IGraphics::DetachControl(IControl* control) {
  auto lock = LockPlug();
  const auto it = std::find(controls.begin(), controls.end(), control);
  if (it != controls.end()) controls.erase(it);
}

// ---- Redraw ----

bool IGraphics::CollectDirty(Rect& r) {
  auto lock = LockPlug();
  bool any = false;
  for (IControl* c : controls) {
    if (c->NeedsRedraw()) {
      r = r.Union(c->rect);
      any = true;
    }
  }
  return any;
}

namespace {
// The pass's overlap test: strict on every edge, empty rectangles never overlap.
bool PassOverlaps(const Rect& r, const Rect& c) {
  return !r.Empty() && !c.Empty() && r.R > c.L && r.L < c.R && r.B > c.T && r.T < c.B;
}
}  // namespace

bool IGraphics::DrawRegion(const Rect& r) {
  if (controls.empty()) return true;
  if (strictDrawing) {
    drawRect = r;
    drawList.reserve(controls.size());
    {
      auto lock = LockPlug();
      drawList.clear();
      for (IControl* c : controls) {
        if (!c->hidden && PassOverlaps(r, c->rect)) drawList.push_back(c);
      }
      for (IControl* c : controls) c->ClearDirty();
    }
    // Only this thread detaches or destroys controls, so the ones picked stay
    // alive while they draw.
    for (IControl* c : drawList) c->Draw(this);
  } else {
    // Never used by this plug-in's editor: the whole pass holds the lock.
    auto lock = LockPlug();
    if (controls[0]->NeedsRedraw()) {
      drawRect = r;
      for (size_t i = 0; i < controls.size(); ++i) {
        IControl* c = controls[i];
        if (i == 0 || !c->hidden) {
          c->Draw(this);
          c->ClearDirty();
        }
      }
    } else {
      for (size_t i = 1; i < controls.size(); ++i) {
        IControl* dirty = controls[i];
        if (!dirty->NeedsRedraw()) continue;
        drawRect = dirty->rect;
        for (size_t j = 0; j < controls.size(); ++j) {
          IControl* c = controls[j];
          if (!c->hidden && (c == dirty || PassOverlaps(drawRect, c->rect))) c->Draw(this);
        }
        dirty->ClearDirty();
      }
    }
  }
  return BlitToScreen(r);
}

void IGraphics::RedrawForTimer() {
  Rect dirty;
  if (timerRedraw && CollectDirty(dirty)) DrawRegion(dirty);
  if (alwaysRedrawRect.W() > 0) DrawRegion(alwaysRedrawRect);
}

void IGraphics::MarkBackgroundDirty() {
  auto lock = LockPlug();
  if (!controls.empty()) controls[0]->MarkDirty(false);
}

// ---- Parameters and prompts ----

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool isNormalized) {
  auto lock = LockPlug();
  if (!isNormalized) {
    const IParameter* param = plug ? plug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->NormalizedOf(value);
  }
  for (IControl* c : controls) {
    if (c->paramIdx == paramIdx) c->ReceiveParamValue(value);
  }
}

void IGraphics::ApplyPromptText(IControl* control, IParameter* param, const char* text) {
  if (!control) return;
  if (!text) text = "";
  auto lock = LockPlug();
  if (!param) {
    if (auto* textControl = dynamic_cast<ITextControl*>(control)) textControl->SetText(text);
    return;
  }
  double v = 0.0;
  if (param->DisplayTextCount() <= 0 || !param->ValueForDisplayText(text, &v)) v = quarv::ParseDoubleC(text);
  const int idx = control->paramIdx;
  if (idx >= 0 && plug) plug->BeginParamEdit(idx);
  control->SetValueFromPrompt(param->NormalizedOf(v));
  if (idx >= 0 && plug) plug->EndParamEdit(idx);
}

void IGraphics::SetActivePopup(IControl* popup) {
  activePopup = popup;
  popupClosedByClick = false;
}

void IGraphics::ClosePopup(bool chosen) {
  if (!activePopup) return;
  auto lock = LockPlug();
  IControl* popup = activePopup;
  if (!chosen && popup->owner) popup->owner->PopupChoice("", -1);
  const bool owned = std::find(controls.begin(), controls.end(), popup) != controls.end();
  DetachControl(popup);
  activePopup = nullptr;
  if (owned) delete popup;
  // The click that closed the popup is consumed: the base MouseDown of the
  // control it lands on sees the marker and opens nothing.
  popupClosedByClick = !chosen;
  MarkBackgroundDirty();
}

// ---- Input ----

int IGraphics::ControlIndexAt(int x, int y) {
  if (captureIndex >= 0 && captureIndex < NControls()) return captureIndex;
  for (int i = NControls() - 1; i >= 0; --i) {
    IControl* c = controls[static_cast<size_t>(i)];
    if (!c->hidden && !c->grayed && c->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::ReleaseMouseCapture() {
  captureIndex = -1;
  mouseX = -1;
  mouseY = -1;
}

void IGraphics::OnMouseDown(int x, int y, const MouseMods& mods) {
  auto lock = LockPlug();
  ReleaseMouseCapture();
  const int i = ControlIndexAt(x, y);
  if (i < 0) return;
  captureIndex = i;
  mouseX = x;
  mouseY = y;
  IControl* c = controls[static_cast<size_t>(i)];
  if (activePopup) {
    const auto it = std::find(controls.begin(), controls.end(), activePopup);
    const int popupIdx = it == controls.end() ? -1 : static_cast<int>(it - controls.begin());
    if (popupIdx >= 0 && popupIdx != i && activePopup != c->owner) ClosePopup(false);
  }
  if (c->paramIdx >= 0 && plug) plug->BeginParamEdit(c->paramIdx);
  c->MouseDown(x, y, mods);
}

void IGraphics::OnMouseUp(int x, int y, const MouseMods& mods) {
  auto lock = LockPlug();
  const int i = ControlIndexAt(x, y);
  ReleaseMouseCapture();
  IControl* c = GetControl(i);
  if (!c) return;
  // Read before the call: a popup list destroys itself when an item is picked.
  const int idx = c->paramIdx;
  c->MouseUp(x, y, mods);
  if (idx >= 0 && plug) plug->EndParamEdit(idx);
}

void IGraphics::OnDrop(int x, int y, const char* path) {
  auto lock = LockPlug();
  const int i = ControlIndexAt(x, y);
  ReleaseMouseCapture();
  IControl* c = GetControl(i);
  if (!c) return;
  const int idx = c->paramIdx;
  c->FileDrop(x, y, path ? path : "");
  if (idx >= 0 && plug) plug->EndParamEdit(idx);
}

void IGraphics::OnMouseDrag(int x, int y, const MouseMods& mods) {
  auto lock = LockPlug();
  IControl* c = GetControl(captureIndex);
  if (!c || (x == mouseX && y == mouseY)) return;
  const int dX = x - mouseX, dY = y - mouseY;
  mouseX = x;
  mouseY = y;
  c->MouseDrag(x, y, dX, dY, mods);
}

bool IGraphics::OnMouseDblClick(int x, int y, const MouseMods& mods) {
  auto lock = LockPlug();
  ReleaseMouseCapture();
  IControl* c = GetControl(ControlIndexAt(x, y));
  if (!c) return false;
  if (c->paramIdx >= 0 && plug) plug->BeginParamEdit(c->paramIdx);
  c->MouseDoubleClick(x, y, mods);
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, const MouseMods& mods, int d) {
  auto lock = LockPlug();
  IControl* c = GetControl(ControlIndexAt(x, y));
  if (!c) return;
  const int idx = c->paramIdx;
  if (idx >= 0 && plug) plug->BeginParamEditOnce(idx);
  c->MouseWheel(x, y, mods, d);
  if (idx >= 0 && plug) plug->EndParamEditLater(idx);
}

bool IGraphics::OnMouseOver(int x, int y, const MouseMods& mods) {
  if (!mouseOverEnabled) return false;
  auto lock = LockPlug();
  const int i = ControlIndexAt(x, y);
  if (i < 0) return true;
  mouseX = x;
  mouseY = y;
  IControl* c = controls[static_cast<size_t>(i)];
  const int idx = c->paramIdx;
  c->MouseOver(x, y, mods);
  if (idx >= 0 && plug) plug->ParamHovered(idx);
  if (mouseOverIndex != i) {
    if (IControl* previous = GetControl(mouseOverIndex)) previous->MouseOut();
  }
  mouseOverIndex = i;
  return true;
}

void IGraphics::OnMouseOut() {
  auto lock = LockPlug();
  for (size_t i = 0; i < controls.size(); ++i) controls[i]->MouseOut();
  mouseOverIndex = -1;
}

void IGraphics::OnKeyDown(int x, int y, int key) {
  auto lock = LockPlug();
  if (IControl* c = GetControl(ControlIndexAt(x, y))) c->KeyDown(x, y, key);
}
