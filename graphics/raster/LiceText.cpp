#include "graphics/raster/LiceText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/Text.h"

namespace {

constexpr int kMaxHeight = 2048;
constexpr int kDefaultHeight = 16;
// Bounds of a font's glyph cache: text in many scripts (or hostile text)
// cannot make it grow without end.
constexpr size_t kMaxCachedGlyphs = 2048;
constexpr size_t kMaxCachedCoverage = 4u << 20;

// One FreeType library per process. Every platform font holds a reference, so
// the library outlives the last face whatever the order of static destruction.
// fontconfig is initialised once and never finalised: other code in the host
// process may use it too.
struct FontBackend {
  std::mutex mutex;  // guards the library: creating and destroying faces
  FT_Library library = nullptr;
  FontBackend() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
    FcInit();
  }
  ~FontBackend() {
    if (library) FT_Done_FreeType(library);
  }
};

std::shared_ptr<FontBackend> Backend() {
  static const std::shared_ptr<FontBackend> backend = std::make_shared<FontBackend>();
  return backend;
}

struct Glyph {
  int left = 0, top = 0;  // bitmap offset from the pen: right, and up
  int width = 0, rows = 0;
  FT_Vector advance{0, 0};  // 26.6 pixels, y upwards
  std::vector<uint8_t> coverage;
};

// Reads text as UTF-8 when all of it is valid UTF-8, otherwise byte by byte as
// Latin-1.
std::u32string DecodeText(const unsigned char* s, size_t n) {
  std::u32string out;
  out.reserve(n);
  for (size_t i = 0; i < n;) {
    char32_t cp = 0;
    int len = 1;
    if (!quarv::DecodeUtf8(s + i, n - i, &cp, &len)) return std::u32string(s, s + n);
    out.push_back(cp);
    i += static_cast<size_t>(len);
  }
  return out;
}

// Straight-alpha "over" of the colour with coverage a (0..255): where the
// bitmap is transparent the text keeps its own colour, so no dark fringe
// appears when the bitmap is later composited.
inline LICE_pixel Over(LICE_pixel d, int r, int g, int b, int a) {
  const int da = LICE_A(d);
  if (da == 255 || a == 255) {
    const int ia = 255 - a;
    return LICE_ARGB(255, (r * a + LICE_R(d) * ia + 127) / 255, (g * a + LICE_G(d) * ia + 127) / 255,
                     (b * a + LICE_B(d) * ia + 127) / 255);
  }
  const int keep = da * (255 - a);  // destination weight, scaled by 255
  const int outA255 = a * 255 + keep;
  if (outA255 == 0) return d;
  const int half = outA255 / 2;
  return LICE_ARGB((outA255 + 127) / 255, (r * a * 255 + LICE_R(d) * keep + half) / outA255,
                   (g * a * 255 + LICE_G(d) * keep + half) / outA255,
                   (b * a * 255 + LICE_B(d) * keep + half) / outA255);
}

}  // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARV_ADDRESS_SANITIZER 1  // clang's way of saying it
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QUARV_ADDRESS_SANITIZER)
// fontconfig loses a few hundred bytes while it parses the system's
// configuration, once per process. LeakSanitizer is told so that leaks of our
// own still fail a sanitizer run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

class LICE_PlatformFont {
public:
  std::shared_ptr<FontBackend> backend;
  FT_Face face = nullptr;
  std::string name;
  bool mono = false;
  bool emboldenSynthetic = false;
  FT_Pos emboldenStrength = 0;
  int ascent = 0, lineHeight = 0;
  double cosE = 1.0, sinE = 0.0;  // baseline direction on screen

  std::mutex mutex;  // guards the face and the glyph cache

  ~LICE_PlatformFont() {
    if (face) {
      std::lock_guard<std::mutex> lock(backend->mutex);
      FT_Done_Face(face);
    }
  }

  // The glyph of a character, from the cache or rendered now. The reference
  // holds until the next call. Under mutex.
  const Glyph& GlyphFor(char32_t cp) {
    auto it = glyphs.find(cp);
    if (it != glyphs.end()) return it->second;
    Glyph g;
    Render(cp, g);
    const size_t bytes = g.coverage.size();
    if (glyphs.size() < kMaxCachedGlyphs && cachedBytes + bytes <= kMaxCachedCoverage) {
      cachedBytes += bytes;
      return glyphs.emplace(cp, std::move(g)).first->second;
    }
    // A full cache keeps the glyphs it has (the common ones come first);
    // the rest are rendered for each use.
    uncached = std::move(g);
    return uncached;
  }

  size_t CachedGlyphs() const { return glyphs.size(); }

private:
  void Render(char32_t cp, Glyph& g) {
    const FT_UInt index = FT_Get_Char_Index(face, cp);
    const FT_Int32 load = FT_LOAD_DEFAULT | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
    if (FT_Load_Glyph(face, index, load) != 0) return;
    FT_GlyphSlot slot = face->glyph;
    if (emboldenSynthetic && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      FT_Outline_Embolden(&slot->outline, emboldenStrength);
      slot->advance.x += static_cast<FT_Pos>(emboldenStrength * cosE);
      slot->advance.y += static_cast<FT_Pos>(emboldenStrength * sinE);
    }
    g.advance = slot->advance;
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
      const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      uint8_t* out = g.coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(g.width);
      for (int x = 0; x < g.width; ++x) {
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
          out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
          out[x] = row[x];
        }
      }
    }
  }

  std::unordered_map<char32_t, Glyph> glyphs;
  size_t cachedBytes = 0;
  Glyph uncached;
};

LICE_PlatformFont* LICE_CreatePlatformFont(const LICE_FontSpec& fontSpec) {
  if (fontSpec.height > kMaxHeight || fontSpec.height < -kMaxHeight) return nullptr;
  std::shared_ptr<FontBackend> backend = Backend();
  if (!backend->library) return nullptr;

  char face[sizeof fontSpec.face + 1];
  std::memcpy(face, fontSpec.face, sizeof fontSpec.face);
  face[sizeof fontSpec.face] = '\0';

  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  if (face[0]) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
  const int weight = std::clamp(fontSpec.weight > 0 ? fontSpec.weight : 400, 1, 1000);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, fontSpec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return nullptr;

  FcChar8* file = nullptr;
  int index = 0, matchedWeight = FC_WEIGHT_REGULAR, matchedSlant = FC_SLANT_ROMAN;
  FcChar8* family = nullptr;
  FcChar8* style = nullptr;
  std::string path, name;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) path = reinterpret_cast<char*>(file);
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
  FcPatternGetInteger(match, FC_SLANT, 0, &matchedSlant);
  if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family) name = reinterpret_cast<char*>(family);
  if (FcPatternGetString(match, FC_STYLE, 0, &style) == FcResultMatch && style) name += std::string(" ") + reinterpret_cast<char*>(style);
  FcPatternDestroy(match);
  if (path.empty()) return nullptr;

  auto font = std::make_unique<LICE_PlatformFont>();
  font->backend = backend;
  font->name = name;
  {
    std::lock_guard<std::mutex> lock(backend->mutex);
    if (FT_New_Face(backend->library, path.c_str(), index, &font->face) != 0) {
      font->face = nullptr;
      return nullptr;
    }
  }
  FT_Face ft = font->face;
  if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) return nullptr;
  FT_Select_Charmap(ft, FT_ENCODING_UNICODE);

  // The height names the character cell (ascent + descent) as the platform
  // font height does; the em size follows from the face's vertical metrics.
  double asc = ft->ascender, desc = -static_cast<double>(ft->descender);
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2))) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
  }
  if (asc + desc <= 0) {
    asc = ft->units_per_EM * 0.8;
    desc = ft->units_per_EM * 0.2;
  }
  double em;
  int cell;
  if (fontSpec.height < 0) {
    em = -fontSpec.height;
    cell = static_cast<int>(std::lround(em * (asc + desc) / ft->units_per_EM));
  } else {
    cell = fontSpec.height > 0 ? fontSpec.height : kDefaultHeight;
    em = cell * ft->units_per_EM / (asc + desc);
  }
  font->lineHeight = std::max(1, cell);
  font->ascent = static_cast<int>(std::lround(cell * asc / (asc + desc)));
  if (FT_Set_Char_Size(ft, 0, std::max<FT_F26Dot6>(1, std::lround(em * 64.0)), 72, 72) != 0) return nullptr;

  font->mono = fontSpec.quality != 0 && fontSpec.quality != 2 && fontSpec.quality != 3;
  if (weight >= 600 && matchedWeight < FC_WEIGHT_DEMIBOLD) {
    font->emboldenSynthetic = true;
    font->emboldenStrength = std::max<FT_Pos>(1, std::lround(em * 64.0 / 24.0));
  }
  // Baseline rotation, and a slant when an italic was asked for and the face
  // found has none.
  const double angle = fontSpec.escapement / 10.0 * 3.14159265358979323846 / 180.0;
  font->cosE = std::cos(angle);
  font->sinE = std::sin(angle);
  const double shear = (fontSpec.italic && matchedSlant == FC_SLANT_ROMAN) ? 0.2 : 0.0;
  if (fontSpec.escapement % 3600 != 0 || shear != 0.0) {
    FT_Matrix m;
    m.xx = static_cast<FT_Fixed>(std::lround(font->cosE * 65536.0));
    m.xy = static_cast<FT_Fixed>(std::lround((font->cosE * shear - font->sinE) * 65536.0));
    m.yx = static_cast<FT_Fixed>(std::lround(font->sinE * 65536.0));
    m.yy = static_cast<FT_Fixed>(std::lround((font->sinE * shear + font->cosE) * 65536.0));
    FT_Set_Transform(ft, &m, nullptr);
  }
  return font.release();
}

void LICE_DestroyPlatformFont(LICE_PlatformFont* font) { delete font; }

const char* LICE_PlatformFontName(const LICE_PlatformFont* font) { return font ? font->name.c_str() : ""; }

size_t LICE_PlatformFontCachedGlyphs(LICE_PlatformFont* font) {
  if (!font) return 0;
  std::lock_guard<std::mutex> lock(font->mutex);
  return font->CachedGlyphs();
}

int LICE_CachedFont::DrawText(LICE_IBitmap* bm, const char* text, int length, const Rect& r, int flags) {
  if (!font_ || !text) return 0;
  const size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  const std::u32string chars = DecodeText(reinterpret_cast<const unsigned char*>(text), n);

  const std::vector<std::u32string_view> lines = LICE_SplitLines(std::u32string_view(chars));

  LICE_PlatformFont& f = *font_;
  const int height = f.lineHeight * static_cast<int>(lines.size());
  const bool canDraw = bm && bm->Bits() && bm->Width() > 0 && bm->Height() > 0;
  if (!canDraw) return height;

  const LICE_pixel colour = TextColour();
  const int cr = LICE_R(colour), cg = LICE_G(colour), cb = LICE_B(colour);
  const int alpha = (flags & LICE_TEXT_USE_COLOUR_ALPHA) ? LICE_A(colour) : 255;
  if (alpha == 0) return height;

  long long clipL = 0, clipT = 0, clipR = bm->Width(), clipB = bm->Height();
  if (!(flags & LICE_TEXT_NOCLIP)) {
    clipL = std::max<long long>(clipL, r.L);
    clipT = std::max<long long>(clipT, r.T);
    clipR = std::min<long long>(clipR, r.R);
    clipB = std::min<long long>(clipB, r.B);
  }

  std::lock_guard<std::mutex> lock(f.mutex);
  for (size_t li = 0; li < lines.size(); ++li) {
    const std::u32string_view line = lines[li];
    // Width along the baseline, for the alignment.
    double width = 0.0;
    for (char32_t c : line) {
      if (c < 0x20) continue;
      const Glyph& g = f.GlyphFor(c);
      width += std::hypot(static_cast<double>(g.advance.x), static_cast<double>(g.advance.y)) / 64.0;
    }
    const long long boxW = static_cast<long long>(r.R) - r.L;
    const long long lineW = std::llround(width);
    long long offX = 0;
    if (flags & LICE_TEXT_RIGHT) offX = boxW - lineW;
    else if (flags & LICE_TEXT_CENTRE) offX = (boxW - lineW) >= 0 ? (boxW - lineW) / 2 : -((lineW - boxW + 1) / 2);
    const long long offY = static_cast<long long>(li) * f.lineHeight + f.ascent;
    // Pen on screen in 26.6, the layout turned about the rectangle's top left.
    double penX = (r.L + offX * f.cosE + offY * f.sinE) * 64.0;
    double penY = (r.T - offX * f.sinE + offY * f.cosE) * 64.0;
    for (char32_t c : line) {
      if (c < 0x20) continue;
      const Glyph& g = f.GlyphFor(c);
      const long long ox = std::llround(penX / 64.0) + g.left;
      const long long oy = std::llround(penY / 64.0) - g.top;
      penX += static_cast<double>(g.advance.x);
      penY -= static_cast<double>(g.advance.y);
      if (g.coverage.empty()) continue;
      const long long y0 = std::max(oy, clipT), y1 = std::min(oy + g.rows, clipB);
      const long long x0 = std::max(ox, clipL), x1 = std::min(ox + g.width, clipR);
      for (long long y = y0; y < y1; ++y) {
        const uint8_t* cov = g.coverage.data() + static_cast<size_t>(y - oy) * static_cast<size_t>(g.width);
        LICE_pixel* row = LICE_Row(bm, static_cast<int>(y));
        for (long long x = x0; x < x1; ++x) {
          const int c8 = cov[x - ox];
          if (c8 == 0) continue;
          const int a = alpha == 255 ? c8 : (c8 * alpha + 127) / 255;
          if (a > 0) row[x] = Over(row[x], cr, cg, cb, a);
        }
      }
    }
  }
  return height;
}
