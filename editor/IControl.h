// Base of every editor element: a rectangle, an optional bound parameter, a
// normalised value and the flags that tell the graphics engine when to redraw.
//
// Threads: controls live on the user-interface thread. The engine writes to a
// few of them (text lines, label, graph) from the audio thread, always under
// the plug-in lock; those classes say so.
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
  // display texts, the engine's text entry otherwise.
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
};

// Opens the popup list of an Enum or Bool parameter over control; installed
// by the popup list's code. Until one is installed such parameters get the
// text entry, which also offers their display texts.
using PromptPopupOpener = void (*)(IControl* control, IParameter* param);
void SetPromptPopupOpener(PromptPopupOpener opener);
