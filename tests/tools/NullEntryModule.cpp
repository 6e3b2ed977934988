// A VST 2.4 module whose entry point creates no plug-in, as a module does
// when its creation fails.
#include "formats/vst2/VstAbi.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) { return nullptr; }
