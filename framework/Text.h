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
// that does not start with a number reads as 0.0. "inf" and values beyond
// the double range ("1e999") read as infinities, which callers clamp into a
// parameter's range; NaN is never returned ("nan" reads as 0.0).
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

// Decodes the UTF-8 character at s, of which n > 0 bytes are available.
// Returns true with the code point in *cp when the bytes are well-formed (no
// overlong form, no surrogate, nothing above U+10FFFF); otherwise false with
// U+FFFD. *len is the bytes taken: the character's, or for a malformed one
// those up to the byte that broke it (at least 1), so no read passes n or a
// terminator. Any thread; no allocation.
bool DecodeUtf8(const unsigned char* s, size_t n, char32_t* cp, int* len);
constexpr char32_t kReplacementChar = 0xFFFD;

// Copies a NUL-terminated text into a fixed array, cutting it to fit.
void CopyText(char* dst, size_t size, const char* src);

// Milliseconds of a monotonic clock, wrapping at 2^32. Tests can replace the
// source; nullptr restores the real clock.
uint32_t ClockMs();
using ClockSource = uint32_t (*)();
void SetClockSourceForTesting(ClockSource source);

}  // namespace quarv
