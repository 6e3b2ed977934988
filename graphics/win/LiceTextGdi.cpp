// Text of the raster layer on Windows: GDI fonts, drawn either by GDI straight
// into a system bitmap's DIB section (opaque text) or through coverage masks
// that GDI renders and the raster layer blends (text with colour alpha, and
// all text under Wine, whose GDI cannot be trusted with the section's pixels
// the way Windows' can).
#include "graphics/win/Win32.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/Text.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/raster/LiceText.h"

class LICE_PlatformFont {
public:
  HFONT font = nullptr;
  std::string name;
  std::mutex mutex;  // one drawing at a time per font
  ~LICE_PlatformFont() {
    if (font) DeleteObject(font);
  }
};

namespace {

std::atomic<int> gNativeTextOverride{-1};

bool WineKeyPresent() {
  static const bool present = [] {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }();
  return present;
}

// A memory device context that is released with the scope.
struct ScratchDc {
  HDC dc = CreateCompatibleDC(nullptr);
  ~ScratchDc() {
    if (dc) DeleteDC(dc);
  }
};

// Reads text as UTF-8 when all of it is valid UTF-8 (as the project's
// decoder judges it), otherwise in the system's ANSI code page.
std::wstring Decode(const char* text, size_t n) {
  std::wstring out;
  out.reserve(n);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < n;) {
    char32_t cp = 0;
    int len = 1;
    if (!quarv::DecodeUtf8(s + i, n - i, &cp, &len)) {
      out.clear();
      if (n > 0x7fffffff) return out;
      const int wide = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n), nullptr, 0);
      if (wide <= 0) return out;
      out.resize(static_cast<size_t>(wide));
      MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n), out.data(), wide);
      return out;
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
    i += static_cast<size_t>(len);
  }
  return out;
}

UINT AlignFormat(int flags) {
  UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_TOP | DT_NOCLIP;
  if (flags & LICE_TEXT_RIGHT) format |= DT_RIGHT;
  else if (flags & LICE_TEXT_CENTRE) format |= DT_CENTER;
  return format;
}

// Draws the lines on dc in its current colour and font, line i from
// top + i · lineHeight, aligned within left..right, everything moved by
// (-originX, -originY).
void DrawLines(HDC dc, const std::vector<std::wstring_view>& lines, const Rect& r, int lineHeight, int flags,
               int originX, int originY) {
  const UINT format = AlignFormat(flags);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const int top = r.T + static_cast<int>(i) * lineHeight - originY;
    RECT box{r.L - originX, top, r.R - originX, top + lineHeight};
    DrawTextW(dc, lines[i].data(), static_cast<int>(lines[i].size()), &box, format);
  }
}

// The area the lines can touch, in bitmap pixels: each line's aligned extent
// widened by half a line for overhangs and italics. Rotated text may go
// anywhere.
RECT TextBounds(HDC dc, const std::vector<std::wstring_view>& lines, const Rect& r, int lineHeight, int flags,
                bool rotated, int bmW, int bmH) {
  RECT all{0, 0, 0, 0};
  if (rotated) return RECT{0, 0, bmW, bmH};
  const int pad = lineHeight / 2 + 1;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    SIZE size{};
    GetTextExtentPoint32W(dc, lines[i].data(), static_cast<int>(lines[i].size()), &size);
    const long long boxW = static_cast<long long>(r.R) - r.L;
    long long left = r.L;
    if (flags & LICE_TEXT_RIGHT) left = r.R - static_cast<long long>(size.cx);
    else if (flags & LICE_TEXT_CENTRE) left = r.L + (boxW - size.cx) / 2;
    const long long top = r.T + static_cast<long long>(i) * lineHeight;
    RECT line{static_cast<LONG>(std::clamp<long long>(left - pad, INT32_MIN / 2, INT32_MAX / 2)),
              static_cast<LONG>(std::clamp<long long>(top - pad, INT32_MIN / 2, INT32_MAX / 2)),
              static_cast<LONG>(std::clamp<long long>(left + size.cx + pad, INT32_MIN / 2, INT32_MAX / 2)),
              static_cast<LONG>(std::clamp<long long>(top + lineHeight + pad, INT32_MIN / 2, INT32_MAX / 2))};
    if (all.right <= all.left) all = line;
    else UnionRect(&all, &all, &line);
  }
  return all;
}

// GDI renders the lines white on black into a DIB section the size of the
// area; the grey level is the coverage. The coverage becomes the alpha of the
// text colour, blended into the bitmap with source alpha.
void DrawBlended(LICE_IBitmap* bm, HFONT font, const std::vector<std::wstring_view>& lines, const Rect& r,
                 int lineHeight, int flags, LICE_pixel colour, bool rotated) {
  const int alpha = (flags & LICE_TEXT_USE_COLOUR_ALPHA) ? LICE_A(colour) : 255;
  if (alpha == 0) return;
  ScratchDc scratch;
  if (!scratch.dc) return;
  HGDIOBJ oldFont = SelectObject(scratch.dc, font);
  RECT area = TextBounds(scratch.dc, lines, r, lineHeight, flags, rotated, bm->Width(), bm->Height());
  RECT clip{0, 0, bm->Width(), bm->Height()};
  if (!(flags & LICE_TEXT_NOCLIP)) {
    RECT rect{r.L, r.T, r.R, r.B};
    IntersectRect(&clip, &clip, &rect);
  }
  if (!IntersectRect(&area, &area, &clip)) {
    SelectObject(scratch.dc, oldFont);
    return;
  }
  const int w = area.right - area.left, h = area.bottom - area.top;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(scratch.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    SelectObject(scratch.dc, oldFont);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(scratch.dc, section);
  SetTextColor(scratch.dc, RGB(255, 255, 255));
  SetBkMode(scratch.dc, TRANSPARENT);
  DrawLines(scratch.dc, lines, r, lineHeight, flags, area.left, area.top);
  GdiFlush();

  LICE_MemBitmap mask(w, h);
  if (mask.Bits()) {
    const auto* grey = static_cast<const LICE_pixel*>(bits);
    const LICE_pixel rgb = colour & 0x00ffffffu;
    for (int y = 0; y < h; ++y) {
      const LICE_pixel* in = grey + static_cast<size_t>(y) * static_cast<size_t>(w);
      LICE_pixel* out = LICE_Row(&mask, y);
      for (int x = 0; x < w; ++x) {
        const LICE_pixel p = in[x];
        const int coverage = (LICE_R(p) + LICE_G(p) + LICE_B(p) + 1) / 3;
        const int a = (coverage * alpha + 127) / 255;
        out[x] = (static_cast<LICE_pixel>(a) << 24) | rgb;
      }
    }
    LICE_Blit(bm, &mask, area.left, area.top, 0, 0, w, h, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  }
  SelectObject(scratch.dc, oldBitmap);
  SelectObject(scratch.dc, oldFont);
  DeleteObject(section);
}

}  // namespace

bool LICE_NativeTextAllowed() {
  const int forced = gNativeTextOverride.load(std::memory_order_relaxed);
  if (forced >= 0) return forced != 0;
  return !WineKeyPresent();
}

void LICE_SetNativeTextForTesting(int allowed) { gNativeTextOverride.store(allowed < 0 ? -1 : allowed != 0); }

LICE_PlatformFont* LICE_CreatePlatformFont(const LICE_FontSpec& fontSpec) {
  LOGFONTA lf{};
  lf.lfHeight = fontSpec.height;
  lf.lfWidth = 0;
  lf.lfEscapement = fontSpec.escapement;
  lf.lfOrientation = fontSpec.escapement;
  lf.lfWeight = fontSpec.weight;
  lf.lfItalic = fontSpec.italic ? TRUE : FALSE;
  lf.lfUnderline = FALSE;
  lf.lfStrikeOut = FALSE;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  switch (fontSpec.quality) {
    case 0: lf.lfQuality = DEFAULT_QUALITY; break;
    case 2: lf.lfQuality = ANTIALIASED_QUALITY; break;
    case 3: lf.lfQuality = CLEARTYPE_QUALITY; break;
    default: lf.lfQuality = NONANTIALIASED_QUALITY; break;
  }
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  static_assert(sizeof lf.lfFaceName == sizeof fontSpec.face);
  std::memcpy(lf.lfFaceName, fontSpec.face, sizeof lf.lfFaceName);
  lf.lfFaceName[sizeof lf.lfFaceName - 1] = '\0';

  HFONT font = CreateFontIndirectA(&lf);
  if (!font) return nullptr;
  auto platformFont = std::make_unique<LICE_PlatformFont>();
  platformFont->font = font;
  ScratchDc scratch;
  if (scratch.dc) {
    HGDIOBJ old = SelectObject(scratch.dc, font);
    char face[LF_FACESIZE] = {};
    if (GetTextFaceA(scratch.dc, sizeof face, face) > 0) platformFont->name = face;
    SelectObject(scratch.dc, old);
  }
  return platformFont.release();
}

void LICE_DestroyPlatformFont(LICE_PlatformFont* font) { delete font; }

const char* LICE_PlatformFontName(const LICE_PlatformFont* font) { return font ? font->name.c_str() : ""; }

// GDI keeps the glyphs; the font keeps none of its own.
size_t LICE_PlatformFontCachedGlyphs(LICE_PlatformFont*) { return 0; }

int LICE_CachedFont::DrawText(LICE_IBitmap* bm, const char* text, int length, const Rect& r, int flags) {
  if (!font_ || !text) return 0;
  const size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  const std::wstring wide = Decode(text, n);
  const std::vector<std::wstring_view> lines = LICE_SplitLines(std::wstring_view(wide));

  LICE_PlatformFont& f = *font_;
  std::lock_guard<std::mutex> lock(f.mutex);
  ScratchDc scratch;
  if (!scratch.dc) return 0;
  HGDIOBJ old = SelectObject(scratch.dc, f.font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(scratch.dc, &metrics);
  LOGFONTW lf{};
  GetObjectW(f.font, sizeof lf, &lf);
  SelectObject(scratch.dc, old);
  const int lineHeight = std::max<int>(1, metrics.tmHeight);
  const int height = lineHeight * static_cast<int>(lines.size());
  if (!bm || !bm->Bits() || bm->Width() <= 0 || bm->Height() <= 0) return height;

  const LICE_pixel colour = TextColour();
  const bool rotated = lf.lfEscapement % 3600 != 0;
  HDC target = static_cast<HDC>(bm->DeviceContext());
  const bool direct = target && !(flags & LICE_TEXT_USE_COLOUR_ALPHA) &&
                      (flags_ & LICE_FONT_FLAG_RENDER_NATIVE) && LICE_NativeTextAllowed();
  if (!direct) {
    DrawBlended(bm, f.font, lines, r, lineHeight, flags, colour, rotated);
    return height;
  }

  GdiFlush();
  const int saved = SaveDC(target);
  SelectObject(target, f.font);
  SetTextColor(target, RGB(LICE_R(colour), LICE_G(colour), LICE_B(colour)));
  SetBkMode(target, TRANSPARENT);
  if (!(flags & LICE_TEXT_NOCLIP)) IntersectClipRect(target, r.L, r.T, r.R, r.B);
  DrawLines(target, lines, r, lineHeight, flags, 0, 0);
  RestoreDC(target, saved);
  GdiFlush();
  return height;
}
