// The editor's graphics object on this platform, for the bindings'
// MakeGraphics: the window layer (X11 on Linux, Win32 on Windows). Not yet
// attached; the caller owns it.
// User-interface thread; allocates.
#pragma once

class IGraphics;
class IPlugBase;

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height, int frameRate);
