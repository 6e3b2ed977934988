#include "formats/vst3/Utf16.h"

namespace quarv::vst3 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at s; returns the bytes it took (at least 1).
int DecodeUtf8(const unsigned char* s, char32_t* cp) {
  const unsigned char b0 = s[0];
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  int len = 0;
  char32_t v = 0;
  char32_t least = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    v = b0 & 0x1F;
    least = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    v = b0 & 0x0F;
    least = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    v = b0 & 0x07;
    least = 0x10000;
  } else {
    *cp = kReplacement;
    return 1;
  }
  for (int i = 1; i < len; ++i) {
    // A missing continuation (the terminator included) ends the sequence
    // there, so no read passes the end of the text.
    if ((s[i] & 0xC0) != 0x80) {
      *cp = kReplacement;
      return i;
    }
    v = (v << 6) | (s[i] & 0x3F);
  }
  const bool surrogate = v >= 0xD800 && v <= 0xDFFF;
  *cp = (v < least || v > 0x10FFFF || surrogate) ? kReplacement : v;
  return len;
}

}  // namespace

int Utf8ToUtf16(const char* text, Steinberg::char16* out, int size) {
  if (!out || size < 1) return 0;
  int n = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*s) {
    char32_t cp = 0;
    s += DecodeUtf8(s, &cp);
    if (cp >= 0x10000) {
      if (n + 2 > size - 1) break;
      cp -= 0x10000;
      out[n++] = static_cast<Steinberg::char16>(0xD800 + (cp >> 10));
      out[n++] = static_cast<Steinberg::char16>(0xDC00 + (cp & 0x3FF));
    } else {
      if (n + 1 > size - 1) break;
      out[n++] = static_cast<Steinberg::char16>(cp);
    }
  }
  out[n] = 0;
  return n;
}

int Utf16ToUtf8(const Steinberg::char16* text, int maxUnits, char* out, int size) {
  if (!out || size < 1) return 0;
  int n = 0;
  for (int i = 0; text && i < maxUnits && text[i];) {
    char32_t cp = static_cast<char16_t>(text[i++]);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      const char32_t low = i < maxUnits ? static_cast<char16_t>(text[i]) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        cp = kReplacement;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    char bytes[4];
    int len;
    if (cp < 0x80) {
      bytes[0] = static_cast<char>(cp);
      len = 1;
    } else if (cp < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
      bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 2;
    } else if (cp < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
      bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
      bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 4;
    }
    if (n + len > size - 1) break;
    for (int b = 0; b < len; ++b) out[n++] = bytes[b];
  }
  out[n] = '\0';
  return n;
}

}  // namespace quarv::vst3
