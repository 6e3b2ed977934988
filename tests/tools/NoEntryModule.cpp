// A shared object that loads but is no VST 2.4 module: it exports neither
// VSTPluginMain nor main.
extern "C" __attribute__((visibility("default"))) int QuarvNotAPlugin() { return 1; }
