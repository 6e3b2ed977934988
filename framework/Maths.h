// The elementary functions behind the engine's coefficients (time constants,
// input gain, filter corners). The Windows C runtime's exp and tan are one
// unit in the last place off for many of the engine's arguments (about one
// time constant in four thousand, the 8 kHz filter corner), which would make
// the Windows modules' samples differ from the Linux modules'. Windows builds
// therefore use the correctly rounded versions below. glibc's, which Linux
// keeps so its samples stay as they are, are not correctly rounded either,
// but at the usual sample rates agree with these for every filter corner,
// time constant and input gain except five settings whose exp argument lies
// within a thousandth of a unit of a rounding midpoint (the tests list them);
// so the two platforms compute the same samples for the factory presets and
// all but those settings.
//
// Threads: any; no allocation, no locks.
#pragma once

#include <cmath>

namespace quarv {

// e^x and tan x rounded to nearest, computed in double-double arithmetic
// (about 100 bits) and rounded once. tan falls back to the C library beyond
// |x| > 2^20, far outside the engine's range.
double ExpCorrectlyRounded(double x);
double TanCorrectlyRounded(double x);

inline double Exp(double x) {
#if defined(_WIN32)
  return ExpCorrectlyRounded(x);
#else
  return std::exp(x);
#endif
}

inline double Tan(double x) {
#if defined(_WIN32)
  return TanCorrectlyRounded(x);
#else
  return std::tan(x);
#endif
}

}  // namespace quarv
