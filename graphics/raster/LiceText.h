// Text for the raster layer: platform fonts (on Linux FreeType faces chosen
// by family, weight and slant through fontconfig; on Windows GDI fonts) and
// the cached font that draws with them into bitmaps.
//
// Threads: fonts may be created on any thread. One font draws on one thread at
// a time; a cached font shared between threads serialises its drawing.
#pragma once

#include <atomic>
#include <string_view>
#include <vector>
#include <cstddef>

#include "graphics/GraphicsTypes.h"
#include "graphics/raster/LiceBitmap.h"

// What a platform font is made from.
struct LICE_FontSpec {
  int height = 14;         // character cell height in pixels; negative = em height; 0 = 16
  int escapement = 0;      // baseline angle, tenths of a degree counter-clockwise
  int weight = 400;        // 100..900, 700 bold
  bool italic = false;
  int quality = 0;         // 0 default, 1 non-antialiased, 2 antialiased, 3 ClearType
  char face[32] = "";      // family name; an unknown one gets fontconfig's fallback
};

class LICE_PlatformFont;

// Returns nullptr when no face can be found or loaded, or the height is beyond
// 2048 pixels. The caller owns the result.
LICE_PlatformFont* LICE_CreatePlatformFont(const LICE_FontSpec& fontSpec);
void LICE_DestroyPlatformFont(LICE_PlatformFont* font);
// Family and style of the face that was chosen, e.g. "Liberation Sans Bold".
const char* LICE_PlatformFontName(const LICE_PlatformFont* font);
// Glyphs the font keeps rendered; bounded (at most 2048 glyphs and 4 MiB of
// coverage), however many different characters it draws. Any thread.
size_t LICE_PlatformFontCachedGlyphs(LICE_PlatformFont* font);

// The lines of a text, views into it: they end at CR LF, LF or CR; nothing
// is wrapped. An empty text is one empty line.
template <class Char>
std::vector<std::basic_string_view<Char>> LICE_SplitLines(std::basic_string_view<Char> all) {
  std::vector<std::basic_string_view<Char>> lines;
  size_t start = 0;
  for (size_t i = 0; i <= all.size(); ++i) {
    if (i == all.size() || all[i] == Char('\n') || all[i] == Char('\r')) {
      lines.push_back(all.substr(start, i - start));
      if (i + 1 < all.size() && all[i] == Char('\r') && all[i + 1] == Char('\n')) ++i;
      start = i + 1;
    }
  }
  return lines;
}

enum : int {
  LICE_FONT_FLAG_OWNS_FONT = 1,      // release the platform font with the cached font
  LICE_FONT_FLAG_RENDER_NATIVE = 2,  // opaque text goes straight into the bitmap
};

enum : int {
  LICE_TEXT_CENTRE = 0x1,
  LICE_TEXT_RIGHT = 0x2,
  LICE_TEXT_NOCLIP = 0x100,
  LICE_TEXT_USE_COLOUR_ALPHA = 0x10000,
};

class LICE_IFont {
public:
  virtual ~LICE_IFont() = default;
  virtual void SetFromPlatformFont(LICE_PlatformFont* font, int flags) = 0;
  virtual void SetTextColour(LICE_pixel colour) = 0;
  // Draws text (length −1: up to the NUL) into the bitmap from r's top, each
  // line aligned within r.L..r.R, breaking only at line breaks. Returns the
  // height of the lines drawn. Valid UTF-8 is read as such; anything else as
  // Latin-1 (on Windows in the system's ANSI code page).
  virtual int DrawText(LICE_IBitmap* bm, const char* text, int length, const Rect& r, int flags) = 0;
};

// Glyphs are rendered to coverage masks and blended into the bitmap in the
// text colour: with LICE_TEXT_USE_COLOUR_ALPHA weighted by the colour's alpha,
// otherwise opaque. On Windows, text without LICE_TEXT_USE_COLOUR_ALPHA from a
// font set with LICE_FONT_FLAG_RENDER_NATIVE goes straight into a system
// bitmap through GDI instead, unless LICE_NativeTextAllowed() says no.
class LICE_CachedFont : public LICE_IFont {
public:
  LICE_CachedFont() = default;
  ~LICE_CachedFont() override {
    if (font_ && (flags_ & LICE_FONT_FLAG_OWNS_FONT)) LICE_DestroyPlatformFont(font_);
  }
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  void SetFromPlatformFont(LICE_PlatformFont* font, int flags) override {
    if (font_ && font_ != font && (flags_ & LICE_FONT_FLAG_OWNS_FONT)) LICE_DestroyPlatformFont(font_);
    font_ = font;
    flags_ = flags;
  }
  void SetTextColour(LICE_pixel colour) override { colour_.store(colour, std::memory_order_relaxed); }
  int DrawText(LICE_IBitmap* bm, const char* text, int length, const Rect& r, int flags) override;

  LICE_pixel TextColour() const { return colour_.load(std::memory_order_relaxed); }
  LICE_PlatformFont* PlatformFont() const { return font_; }

private:
  LICE_PlatformFont* font_ = nullptr;
  int flags_ = 0;
  std::atomic<LICE_pixel> colour_{0xff000000u};
};

#if defined(_WIN32)
// Whether opaque text may take the direct GDI path: not under Wine, found by
// its registry key "Software\Wine" under HKEY_LOCAL_MACHINE, looked up once
// per process. Threads: any; no allocation after the first call.
bool LICE_NativeTextAllowed();
// Tests: 1 allows the direct path, 0 forbids it, -1 returns to the look-up.
void LICE_SetNativeTextForTesting(int allowed);
#endif
