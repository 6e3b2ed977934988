// The editor's graphics object on this platform, for the bindings'
// MakeGraphics: the window layer where the build has one (Windows), the
// off-screen engine elsewhere. Not yet attached; the caller owns it.
// User-interface thread; allocates.
#pragma once

class IGraphics;
class IPlugBase;

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate);
