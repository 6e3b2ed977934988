// The rotating knob: the knob body, the pointer mark turned by the value and
// the parameter's value text under it. IKnobControl holds the drag that both
// knob kinds share; IKnobRotVal is the knob this editor shows.
//
// Threads: user-interface thread; Draw takes the plug-in lock to read the
// value and the parameter's text.
#pragma once

#include "editor/IControl.h"

class IKnobControl : public IControl {
public:
  // Moving the mouse gearing times the rect's height (or width) covers the
  // whole range; Ctrl or Shift gear ten times finer.
  void MouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) override;

  int direction = 0;  // 0 vertical drag, otherwise horizontal
  double gearing = 4.0;

protected:
  IKnobControl(IPlugBase* plug, const Rect& rect, int paramIdx) : IControl(plug, rect, paramIdx) {}
};

class IKnobRotVal : public IKnobControl {
public:
  // bitmap is the knob body; when it was cut by SplitBitmap its companion,
  // the pointer mark, turns over it about (centreX, centreY).
  IKnobRotVal(IPlugBase* plug, const Rect& rect, int paramIdx, const TextStyle& style, const BitmapRef& bitmap,
              int centreX, int centreY, int textOffset, int sweep, float dim);

  // The rect of a knob of this bitmap centred at (centreX, centreY), with
  // room below for its value text.
  static Rect RectFor(const BitmapRef& bitmap, int centreX, int centreY, int textOffset, int textSize);

  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  // The pointer's angle in radians for a value: -sweep/2 degrees at 0, 0 at
  // 0.5, +sweep/2 at 1.
  double AngleFor(double v) const;
  // The rotated drawing's source offset: 0 at 0.5, -1 at 0 and 1.
  static float SourceOffsetFor(double v);

  TextStyle textStyle;
  BitmapRef bitmap;
  int centreX, centreY;
  int textOffset;
  int sweep;
  short steps = -1;  // snap count on release; <= 0 no snapping
  float dim;
  bool showLabel = true;
  bool hover = false;
  Blend drawBlend;
};
