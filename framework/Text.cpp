#include "framework/Text.h"

#include <locale.h>
#include <time.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quarv {
namespace {

std::atomic<ClockSource> gClockSource{nullptr};

}  // namespace

// Windows has neither uselocale nor strtod_l: framework/TextWin.cpp.
#if !defined(_WIN32)
namespace {

// Made when the module is loaded, so that no formatting call (the audio
// thread's status texts among them) is the first to use it and allocates.
const locale_t gCLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));

// Without it (newlocale failed) the process locale serves.
locale_t CLocale() { return gCLocale ? gCLocale : LC_GLOBAL_LOCALE; }

}  // namespace

int FormatC(char* out, size_t size, const char* fmt, ...) {
  const locale_t previous = uselocale(CLocale());
  va_list args;
  va_start(args, fmt);
  const int n = vsnprintf(out, size, fmt, args);
  va_end(args);
  uselocale(previous);
  return n;
}

double ParseDoubleC(const char* text) {
  if (!text) return 0.0;
  const double v = gCLocale ? strtod_l(text, nullptr, gCLocale) : strtod(text, nullptr);
  return std::isnan(v) ? 0.0 : v;
}
#endif

bool DecodeUtf8(const unsigned char* s, size_t n, char32_t* cp, int* len) {
  const unsigned char b0 = s[0];
  *len = 1;
  *cp = kReplacementChar;
  int need;
  char32_t v, least;
  if (b0 < 0x80) {
    *cp = b0;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    need = 2, v = b0 & 0x1F, least = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 3, v = b0 & 0x0F, least = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    need = 4, v = b0 & 0x07, least = 0x10000;
  } else {
    return false;
  }
  for (int i = 1; i < need; ++i) {
    // A missing continuation (the end of the text included) ends the
    // sequence there.
    if (static_cast<size_t>(i) >= n || (s[i] & 0xC0) != 0x80) {
      *len = i;
      return false;
    }
    v = (v << 6) | (s[i] & 0x3F);
  }
  *len = need;
  if (v < least || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
  *cp = v;
  return true;
}

void CopyText(char* dst, size_t size, const char* src) {
  if (size == 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, size - 1);
  memcpy(dst, src, n);
  dst[n] = '\0';
}

uint32_t ClockMs() {
  if (ClockSource source = gClockSource.load(std::memory_order_relaxed)) return source();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void SetClockSourceForTesting(ClockSource source) { gClockSource.store(source); }

}  // namespace quarv
