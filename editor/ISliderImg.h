// The image slider: a handle bitmap that travels along a track, with an
// optional value text (none in this editor).
//
// Threads: user-interface thread; Draw takes the plug-in lock to read the
// parameter.
#pragma once

#include "editor/IControl.h"

class ISliderImg : public IControl {
public:
  // A negative length reverses the direction; direction 0 is vertical, any
  // other value horizontal. The track is length pixels long, centred in rect.
  ISliderImg(IPlugBase* plug, int paramIdx, const Rect& rect, const BitmapRef& handle, const TextStyle& style,
             int length, int direction, float dim);

  // Right button: the value prompt. Otherwise only inside the track: the
  // handle's centre jumps to the mouse and follows it while dragged.
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  // Where the handle is drawn for a normalised parameter value.
  Rect HandleRect(double normalized) const;

  TextStyle textStyle;
  Rect trackRect;
  BitmapRef handle;
  int length;
  int travel;
  bool vertical;
  bool hover = false;
  bool dragging = false;
  bool reversed;
  float dim;

private:
  void SetFromMouse(int x, int y);
};
