// Entry point of the VST 2.4 module, exported as VSTPluginMain and main.
#include <mutex>

#include "engine/Quarvelline.h"
#include "formats/ModuleExport.h"

QUARV_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback) {
  std::lock_guard<std::mutex> lock(IPlugBase::CreationLock());
  try {
    CLS_QUARVELLINE* plug = new CLS_QUARVELLINE(reinterpret_cast<void*>(hostCallback));
    plug->EnsureOnePreset();
    AEffect* effect = plug->GetAEffect();
    if (effect->numPrograms < 1) effect->numPrograms = 1;
    return effect;
  } catch (...) {
    // Nothing may cross into the host: a failed creation is reported as null.
    return nullptr;
  }
}

// Older hosts look the entry point up as "main".
QUARV_EXPORT AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback)
    __asm__("main");
AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
