// Bitmap buttons. IButton toggles a two-state parameter; IButtonGUI holds a
// plain flag of the plug-in at the opposite of its press value while the
// button is down; IButtonGUI2 also explains itself in the status line when
// the mouse rests on it (the reset button).
//
// Threads: user-interface thread; the flag and the value are read and written
// under the plug-in lock (input events hold it, Draw takes it).
#pragma once

#include "editor/IControl.h"

class CLS_QUARVELLINE;

class IButton : public IControl {
public:
  // The rect is one frame of the bitmap at (x, y). An inverted button lights
  // while its parameter is off.
  IButton(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap, bool inverted, float dim);

  // Left button toggles; any button sends the value to the plug-in; the
  // right button opens no prompt.
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseWheel(int, int, const MouseMods&, int) override {}
  void MouseOver(int x, int y, const MouseMods& mods) override;
  void MouseOut() override;
  // Lit: the icon at full weight, dimmed while hovered; unlit: nothing, or
  // the icon at the dim weight while hovered.
  bool Draw(IGraphics* graphics) override;

  bool IsOn() const;

  BitmapRef bitmap;
  bool hover = false;
  bool inverted;
  float dim;
};

class IButtonGUI : public IControl {
public:
  IButtonGUI(IPlugBase* plug, bool* target, int x, int y, const BitmapRef& bitmap, bool pressValue, float dim);

  // Left button down writes !pressValue into the target, button up writes
  // pressValue; each redraws and sends the (unchanged) value on.
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;
  void MouseOut() override;
  // The icon while the target is true, nothing otherwise.
  bool Draw(IGraphics* graphics) override;

  BitmapRef bitmap;
  float dim;
  bool* target;
  bool hover = false;
  bool pressValue;
};

class IButtonGUI2 : public IButtonGUI {
public:
  using IButtonGUI::IButtonGUI;

  // Writes "Click to reset all data" into the status line for 9 seconds.
  void MouseOver(int x, int y, const MouseMods& mods) override;
  // A click quicker than a frame would toggle the flag there and back before
  // the graph looks: the graph is then told it saw the press, so that the
  // release is a change it notices and the click is never lost.
  void MouseUp(int x, int y, const MouseMods& mods) override;

  CLS_QUARVELLINE* quarv = nullptr;
};
