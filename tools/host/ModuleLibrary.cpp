#include "tools/host/ModuleLibrary.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quarv::host {

#if defined(_WIN32)

namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

void* OpenModuleLibrary(const std::string& path, std::string* why) {
  // Dependencies are looked up beside the module, as hosts do.
  HMODULE module = LoadLibraryExW(Widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module && why) *why = SystemMessage(GetLastError());
  return module;
}

void* ModuleSymbol(void* library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseModuleLibrary(void* library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

const char* Vst3ArchFolder() { return "x86_64-win"; }
const char* Vst3ModuleExtension() { return ".vst3"; }

const char* const kVst3EntryName = "InitDll";

ModuleEntryResult EnterVst3Module(void* library) {
  auto entry = reinterpret_cast<bool (*)()>(ModuleSymbol(library, "InitDll"));
  if (!entry) return ModuleEntryResult::kMissing;
  return entry() ? ModuleEntryResult::kEntered : ModuleEntryResult::kRefused;
}

void ExitVst3Module(void* library) {
  if (auto exitProc = reinterpret_cast<bool (*)()>(ModuleSymbol(library, "ExitDll"))) exitProc();
}

#else

void* OpenModuleLibrary(const std::string& path, std::string* why) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library && why) {
    const char* reason = dlerror();
    *why = reason ? reason : "unknown error";
  }
  return library;
}

void* ModuleSymbol(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void CloseModuleLibrary(void* library) {
  if (library) dlclose(library);
}

const char* Vst3ArchFolder() {
#if defined(__x86_64__)
  return "x86_64-linux";
#elif defined(__aarch64__)
  return "aarch64-linux";
#elif defined(__i386__)
  return "i386-linux";
#else
  return "unknown-linux";
#endif
}

const char* Vst3ModuleExtension() { return ".so"; }

const char* const kVst3EntryName = "ModuleEntry";

ModuleEntryResult EnterVst3Module(void* library) {
  auto entry = reinterpret_cast<bool (*)(void*)>(ModuleSymbol(library, "ModuleEntry"));
  if (!entry) return ModuleEntryResult::kMissing;
  return entry(library) ? ModuleEntryResult::kEntered : ModuleEntryResult::kRefused;
}

void ExitVst3Module(void* library) {
  if (auto exitProc = reinterpret_cast<bool (*)()>(ModuleSymbol(library, "ModuleExit"))) exitProc();
}

#endif

}  // namespace quarv::host
