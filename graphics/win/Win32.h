// <windows.h> for the project's Windows sources: without the min and max
// macros, and without the A/W macros whose names are also method names here
// (DrawText, LoadBitmap), so both sides of a call see the same name.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef DrawText
#undef LoadBitmap
