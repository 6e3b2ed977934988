// Text drawing of any bytes (valid UTF-8 or not) with a platform font: the
// first byte picks the alignment, clipping and colour alpha and moves the
// rectangle, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "graphics/raster/LiceText.h"

namespace {

LICE_CachedFont& Font() {
  static LICE_CachedFont* font = [] {
    LICE_FontSpec request;
    request.height = 14;
    std::strncpy(request.face, "DejaVu Sans", sizeof request.face - 1);
    auto* f = new LICE_CachedFont();
    f->SetFromPlatformFont(LICE_CreatePlatformFont(request), LICE_FONT_FLAG_OWNS_FONT);
    return f;
  }();
  return *font;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static LICE_MemBitmap bitmap(160, 60);
  LICE_CachedFont& font = Font();
  const uint8_t mode = size > 0 ? data[0] : 0;
  const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
  int flags = 0;
  if (mode & 1) flags |= LICE_TEXT_CENTRE;
  if (mode & 2) flags |= LICE_TEXT_RIGHT;
  if (mode & 4) flags |= LICE_TEXT_NOCLIP;
  if (mode & 8) flags |= LICE_TEXT_USE_COLOUR_ALPHA;
  font.SetTextColour(LICE_ARGB(mode & 8 ? 128 : 255, 255, 200, 100));
  const int shift = (mode >> 4) * 20 - 100;
  const Rect r(shift, shift / 2, 150 + shift, 50 - shift);
  // Both ways of giving the text: up to its NUL, or with a length.
  font.DrawText(&bitmap, text.c_str(), -1, r, flags);
  font.DrawText(&bitmap, text.data(), static_cast<int>(text.size()), r, flags);
  return 0;
}
