// Marks a module's entry points. On Linux the symbols are made visible (the
// rest of the module is hidden and the version script lists them); on Windows
// the module definition file names what the DLL exports.
#pragma once

#if defined(_WIN32)
#define QUARV_EXPORT extern "C"
#else
#define QUARV_EXPORT extern "C" __attribute__((visibility("default")))
#endif
