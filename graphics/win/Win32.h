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

// The module (the plug-in DLL, or a test program) this code is linked into.
inline HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}
