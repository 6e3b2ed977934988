// quarvelline-host as a function: the program's whole run, from the command
// line to the report, writing to the given streams. The executable calls it
// from main; the benchmark calls it in-process.
#pragma once

#include <cstdio>
#include <string>

namespace quarv::render {

inline constexpr const char* kProgramName = "quarvelline-host";

// Returns the exit status (kExitOk and the others in tools/Report.h): 1
// after a one-line message on err for every error. Several inputs render on
// threads of their own; the call returns when all are done.
int RunHost(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// The module built with the host: modules/Quarvelline3.vst3 (else
// modules/Quarvelline2.so) beside the folder of the running executable, else
// the path the build recorded.
std::string DefaultModulePath();

}  // namespace quarv::render
