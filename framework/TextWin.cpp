// Locale-independent number formatting and parsing on Windows. The C99 printf
// that mingw-w64 links formats numbers digit for digit as glibc's does, but
// takes its decimal point from the process locale, which a host may set to one
// with decimal commas, and the C runtime has no per-call locale. So when the
// locale's point is not ".", each conversion is formatted on its own and a
// floating one gets its point back. Parsing goes through std::from_chars,
// which knows no locale. Neither allocates or changes anything in the process.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "framework/Text.h"

namespace quarv {
namespace {

// The locale's decimal point when it is not ".", else null.
const char* ForeignPoint() {
  const lconv* conv = std::localeconv();
  const char* point = conv ? conv->decimal_point : nullptr;
  return point && point[0] && std::strcmp(point, ".") != 0 ? point : nullptr;
}

// Appends to a buffer of size bytes, counting what the whole text needs.
class Output {
public:
  Output(char* out, size_t size) : out_(out), size_(size) {}
  void Put(const char* s, size_t len) {
    for (size_t i = 0; i < len; ++i, ++n_) {
      if (n_ + 1 < size_) out_[n_] = s[i];
    }
  }
  // Where the next characters go and how many bytes are left there
  // (terminator included); then Advance by what was written.
  char* Tail() const { return n_ + 1 < size_ ? out_ + n_ : nullptr; }
  size_t Room() const { return n_ + 1 < size_ ? size_ - n_ : 0; }
  void Advance(size_t len) { n_ += len; }
  int Finish() {
    if (size_ > 0) out_[n_ < size_ ? n_ : size_ - 1] = '\0';
    return static_cast<int>(n_);
  }

private:
  char* out_;
  size_t size_;
  size_t n_ = 0;
};

// One conversion with its '*' width and precision, if any.
template <typename T>
int One(char* buf, size_t size, const char* conversion, int stars, const int* star, T value) {
  switch (stars) {
    case 0: return std::snprintf(buf, size, conversion, value);
    case 1: return std::snprintf(buf, size, conversion, star[0], value);
    default: return std::snprintf(buf, size, conversion, star[0], star[1], value);
  }
}

// The integer argument of a d or i (is_signed) or u, o, x, X conversion with
// the given length modifier.
int Integer(char* buf, size_t size, const char* conversion, int stars, const int* star, const char* length,
            bool isSigned, va_list& args) {
  if (!std::strcmp(length, "l")) {
    return isSigned ? One(buf, size, conversion, stars, star, va_arg(args, long))
                    : One(buf, size, conversion, stars, star, va_arg(args, unsigned long));
  }
  if (!std::strcmp(length, "ll") || !std::strcmp(length, "j")) {
    return isSigned ? One(buf, size, conversion, stars, star, va_arg(args, long long))
                    : One(buf, size, conversion, stars, star, va_arg(args, unsigned long long));
  }
  if (!std::strcmp(length, "z") || !std::strcmp(length, "t")) {
    return isSigned ? One(buf, size, conversion, stars, star, va_arg(args, ptrdiff_t))
                    : One(buf, size, conversion, stars, star, va_arg(args, size_t));
  }
  return isSigned ? One(buf, size, conversion, stars, star, va_arg(args, int))
                  : One(buf, size, conversion, stars, star, va_arg(args, unsigned));
}

int FormatEach(char* out, size_t size, const char* point, const char* fmt, va_list& args) {
  Output o(out, size);
  const size_t pointLen = std::strlen(point);
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      o.Put(p++, 1);
      continue;
    }
    const char* start = p++;
    int star[2] = {0, 0};
    int stars = 0;
    while (*p && std::strchr("-+ #0", *p)) ++p;
    if (*p == '*') {
      star[stars++] = va_arg(args, int);
      ++p;
    }
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        star[stars++] = va_arg(args, int);
        ++p;
      }
      while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    }
    char length[3] = "";
    for (const char* l : {"hh", "ll", "h", "l", "L", "z", "j", "t"}) {
      if (std::strncmp(p, l, std::strlen(l)) == 0) {
        std::strcpy(length, l);
        p += std::strlen(l);
        break;
      }
    }
    const char conv = *p;
    if (!conv) break;
    ++p;
    char conversion[32];
    const size_t conversionLen = static_cast<size_t>(p - start);
    if (conversionLen >= sizeof conversion) {
      o.Put(start, conversionLen);
      continue;
    }
    std::memcpy(conversion, start, conversionLen);
    conversion[conversionLen] = '\0';

    // Floating conversions go through a piece of their own to get their
    // point back (512 bytes hold any double with a precision up to 190);
    // the others are formatted straight into the output.
    char* tail = o.Tail();
    const size_t room = o.Room();
    int len = -1;
    switch (conv) {
      case '%': o.Put("%", 1); continue;
      case 'd': case 'i': len = Integer(tail, room, conversion, stars, star, length, true, args); break;
      case 'u': case 'o': case 'x': case 'X': len = Integer(tail, room, conversion, stars, star, length, false, args); break;
      case 'c': len = One(tail, room, conversion, stars, star, va_arg(args, int)); break;
      case 's': len = One(tail, room, conversion, stars, star, va_arg(args, const char*)); break;
      case 'p': len = One(tail, room, conversion, stars, star, va_arg(args, void*)); break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
        char piece[512];
        const int n = !std::strcmp(length, "L") ? One(piece, sizeof piece, conversion, stars, star, va_arg(args, long double))
                                                : One(piece, sizeof piece, conversion, stars, star, va_arg(args, double));
        if (n < 0) continue;
        size_t pieceLen = std::min(static_cast<size_t>(n), sizeof piece - 1);
        if (char* at = std::strstr(piece, point)) {
          *at = '.';
          std::memmove(at + 1, at + pointLen, pieceLen - static_cast<size_t>(at - piece) - pointLen + 1);
          pieceLen -= pointLen - 1;
        }
        o.Put(piece, pieceLen);
        continue;
      }
      case 'n': va_arg(args, void*); continue;
      default: o.Put(start, conversionLen); continue;
    }
    if (len > 0) o.Advance(static_cast<size_t>(len));
  }
  return o.Finish();
}

}  // namespace

int FormatC(char* out, size_t size, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n;
  if (const char* point = ForeignPoint()) {
    n = FormatEach(out, size, point, fmt, args);
  } else {
    n = std::vsnprintf(out, size, fmt, args);
  }
  va_end(args);
  return n;
}

double ParseDoubleC(const char* text) {
  if (!text) return 0.0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p == '-' || *p == '+') return 0.0;
  std::chars_format format = std::chars_format::general;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    format = std::chars_format::hex;
    p += 2;
  }
  double v = 0.0;
  const std::from_chars_result r = std::from_chars(p, p + std::strlen(p), v, format);
  if (r.ec != std::errc() || !std::isfinite(v)) return 0.0;
  return negative ? -v : v;
}

}  // namespace quarv
