// Shows one frame of a multi-frame bitmap; the editor background is one.
#pragma once

#include "editor/IControl.h"
#include "graphics/GraphicsTypes.h"

class IBitmapControl : public IControl {
public:
  // The rect is the bitmap's size (one frame of it) at (x, y).
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap,
                 const Blend& blend = Blend(), bool vertical = false);

  // Frame 1 for a single-frame bitmap, otherwise the frame nearest the value.
  bool Draw(IGraphics* graphics) override;

  bool vertical;
  BitmapRef bitmap;
};
