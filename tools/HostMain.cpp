// quarvelline-host: loads a plug-in module the way a DAW does and renders an
// audio file (or the built-in demo) through it. See UsageText().
#include <cstdio>

#include "tools/HostApp.h"

int main(int argc, char** argv) { return quarv::render::RunHost(argc, argv, stdout, stderr); }
