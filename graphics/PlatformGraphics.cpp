#include "graphics/PlatformGraphics.h"

#include "graphics/IGraphicsOffscreen.h"

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate) {
  return new IGraphicsOffscreen(plug, width, height, frameRate);
}
