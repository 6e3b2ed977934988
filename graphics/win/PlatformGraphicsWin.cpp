#include "graphics/PlatformGraphics.h"
#include "graphics/win/IGraphicsWin.h"
#include "graphics/win/Win32.h"

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate) {
  auto* graphics = new IGraphicsWin(plug, width, height, frameRate);
  graphics->SetModuleHandle(ThisModule());
  return graphics;
}
