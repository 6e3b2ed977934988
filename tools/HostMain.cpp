// quarvelline-host: loads a plug-in module the way a DAW does and renders
// audio files (or the built-in demo) through it. See UsageText().
#include <cstdio>

#include "tools/HostApp.h"

#if defined(__SANITIZE_ADDRESS__)
// The chart's fonts come through fontconfig, whose known leak the raster
// layer suppresses; the list of suppressions used would otherwise end up on
// stderr, which carries only the program's own messages.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

int main(int argc, char** argv) { return quarv::render::RunHost(argc, argv, stdout, stderr); }
