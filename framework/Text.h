// Locale-independent number formatting and parsing, half-away rounding and the
// processor clock. A host may switch the process locale (decimal commas); the
// texts this plug-in shows and parses must not follow it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarv {

// snprintf in the "C" locale. Thread-safe; any thread, no allocation.
int FormatC(char* out, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// strtod in the "C" locale: leading white space and a sign are accepted, text
// that does not start with a number reads as 0.0. Never returns NaN or an
// infinity: such readings count as "not a number" and give 0.0.
double ParseDoubleC(const char* text);

// Round half away from zero to a 32-bit integer: add 0.5 to a non-negative
// value, subtract 0.5 from a negative one, truncate. Values beyond the int32
// range saturate and NaN gives 0, so no caller can hit an undefined cast.
inline int32_t RoundHalfAway(double x) {
  const double r = x >= 0.0 ? x + 0.5 : x - 0.5;
  if (!(r > -2147483648.0)) return r != r ? 0 : INT32_MIN;
  if (!(r < 2147483648.0)) return INT32_MAX;
  return static_cast<int32_t>(r);
}

// Copies a NUL-terminated text into a fixed array, cutting it to fit.
void CopyText(char* dst, size_t size, const char* src);

// Milliseconds of a monotonic clock, wrapping at 2^32. Tests can replace the
// source; nullptr restores the real clock.
uint32_t ClockMs();
using ClockSource = uint32_t (*)();
void SetClockSourceForTesting(ClockSource source);

}  // namespace quarv
