#include "formats/vst3/Utf16.h"

#include <cstring>

#include "framework/Text.h"

namespace quarv::vst3 {

int Utf8ToUtf16(const char* text, Steinberg::char16* out, int size) {
  if (!out || size < 1) return 0;
  int n = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  size_t left = std::strlen(reinterpret_cast<const char*>(s));
  while (left > 0) {
    char32_t cp = 0;
    int len = 1;
    DecodeUtf8(s, left, &cp, &len);
    s += len;
    left -= static_cast<size_t>(len);
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
        cp = kReplacementChar;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = kReplacementChar;
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
