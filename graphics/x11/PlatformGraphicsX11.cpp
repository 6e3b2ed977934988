#include "graphics/PlatformGraphics.h"
#include "graphics/x11/IGraphicsX11.h"

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate) {
  return new IGraphicsX11(plug, width, height, frameRate);
}
