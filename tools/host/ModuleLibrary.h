// Loading a plug-in module and finding its exported functions: dlopen on
// Linux, LoadLibrary on Windows. Also where this platform keeps the module in
// a VST 3 bundle and how it names the module's entry and exit.
//
// Threads: any; loading blocks on the file system and runs the module's
// initialisers.
#pragma once

#include <string>

namespace quarv::host {

// The loaded module, or null with the system's reason in *why.
void* OpenModuleLibrary(const std::string& path, std::string* why);
// The exported function or object, or null.
void* ModuleSymbol(void* library, const char* name);
// Unloads; null is ignored.
void CloseModuleLibrary(void* library);

// "x86_64-linux", "x86_64-win", ...: the bundle's Contents folder of this
// platform, and the module's file extension there (".so", ".vst3").
const char* Vst3ArchFolder();
const char* Vst3ModuleExtension();

// The VST 3 module's entry and exit: ModuleEntry(handle) and ModuleExit() on
// Linux, InitDll() and ExitDll() on Windows. kVst3EntryName names the entry
// for messages.
extern const char* const kVst3EntryName;
enum class ModuleEntryResult { kMissing, kRefused, kEntered };
ModuleEntryResult EnterVst3Module(void* library);
void ExitVst3Module(void* library);

}  // namespace quarv::host
