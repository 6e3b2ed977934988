// The elementary functions behind the engine's coefficients (time constants,
// input gain, filter corners), with the same results on every platform the
// modules ship for. glibc's exp and tan are correctly rounded for every
// argument the engine passes; the Windows C runtime's are one unit in the last
// place off for some of them (about one time constant in four thousand, the
// 8 kHz filter corner), which would make the Windows modules' samples differ.
// So Windows builds use the correctly rounded versions below and Linux keeps
// glibc's, which the tests check give the same results over the engine's
// arguments.
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
