// Base of every editor element: a rectangle, an optional bound parameter, a
// normalised value and the flags that tell the graphics engine when to redraw.
//
// Threads: controls live on the user-interface thread. The plug-in base
// pushes parameter values into them (ReceiveParamValue) from whatever thread
// the host sets parameters on, and the engine writes to a few of them (text
// lines, label, graph) from the audio thread, always under the plug-in lock.
// So value, dirty and redrawPending are read and written under that lock: the
// graphics engine holds it around every input event and its redraw
// bookkeeping, and a Draw that reads them takes it for the copy it draws
// from.
#pragma once

#include "graphics/GraphicsTypes.h"

class IPlugBase;
class IGraphics;
class IParameter;

class IControl {
public:
  IControl(IPlugBase* plug, const Rect& rect, int paramIdx = -1, const Blend& blend = Blend());
  virtual ~IControl();

  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  virtual void MouseDown(int x, int y, const MouseMods& mods);
  virtual void MouseUp(int x, int y, const MouseMods& mods);
  virtual void FileDrop(int x, int y, const char* path);
  virtual void MouseDrag(int x, int y, int dX, int dY, const MouseMods& mods);
  virtual void MouseDoubleClick(int x, int y, const MouseMods& mods);
  virtual void MouseWheel(int x, int y, const MouseMods& mods, int d);
  virtual void KeyDown(int x, int y, int key);
  virtual void MouseOver(int x, int y, const MouseMods& mods);
  virtual void MouseOut();
  virtual bool Draw(IGraphics* graphics) = 0;
  virtual void ReceiveParamValue(double v);
  virtual void SetValueFromPrompt(double v);
  virtual void PopupChoice(const char* text, int index);
  virtual void SetHidden(bool b);
  virtual void SetGrayed(bool b);
  virtual bool HitTest(int x, int y);
  virtual void MarkDirty(bool pushToPlug);
  virtual void ClearDirty();
  virtual bool NeedsRedraw();
  virtual void Hook();

  // Right-click value entry: the popup list for Enum and Bool parameters with
  // display texts, the engine's text entry otherwise. User-interface thread,
  // under the plug-in lock; allocates the popup.
  void OpenValuePrompt();

  // Fields the graphics engine reads and writes directly.
  double value = 0.0;
  IControl* owner = nullptr;
  IPlugBase* plug;
  Rect rect;
  Rect targetRect;
  int paramIdx;
  double defaultValue = -1.0;
  double clampLo = 0.0, clampHi = 1.0;
  bool dirty = true;
  bool hidden = false;
  bool grayed = false;
  bool redrawPending = false;
  bool promptDisabled = false;
  Blend blend;

  // Set by the graphics engine when it attaches the control.
  IGraphics* graphics = nullptr;

protected:
  // The hover highlight of the bitmap controls: MouseOver sets the flag and
  // redraws only when it was clear; MouseOut clears it and redraws.
  void HoverOver(bool& hover);
  void HoverOut(bool& hover);
  // The bound parameter's display text of its current plain value, with the
  // unit label appended directly when withLabel; "" without a parameter.
  // Under the plug-in lock.
  void ParamValueText(char* out, size_t size, bool withLabel) const;
};
