// A picture of the editor made from the images alone: the background, the
// knobs cut and turned as the editor turns them, lit icons, the handle and
// sample texts in the editor's text styles. It is for looking at the artwork.
#include <cstdio>
#include <cstring>
#include <utility>

#include "graphics/raster/LiceRaster.h"
#include "resources/artgen/Artwork.h"

namespace art {

namespace {

constexpr int kAlphaMode = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;

// Text in one of the editor's styles.
class Writer {
public:
  Writer(const char* face, int size, bool bold) {
    font_.SetFromPlatformFont(LICE_CreatePlatformFont(FontRequest(face, size, bold)), LICE_FONT_FLAG_OWNS_FONT);
  }
  void Draw(LICE_IBitmap* bm, const char* text, const Rect& r, LICE_pixel colour, int align) {
    font_.SetTextColour(colour);
    int flags = LICE_TEXT_NOCLIP | (align == 1 ? LICE_TEXT_CENTRE : 0);
    if (LICE_A(colour) < 255) flags |= LICE_TEXT_USE_COLOUR_ALPHA;
    font_.DrawText(bm, text, -1, r, flags);
  }

private:
  LICE_CachedFont font_;
};

// One half of a knob image, as the editor's split makes it.
std::unique_ptr<LICE_MemBitmap> Half(LICE_IBitmap* pair, int which) {
  const int s = pair->Height();
  auto half = std::make_unique<LICE_MemBitmap>(s, s, 4);
  LICE_Blit(half.get(), pair, 0, 0, which * s, 0, s, s, 1.0f, LICE_BLIT_MODE_COPY);
  return half;
}

void DrawKnob(LICE_IBitmap* dest, LICE_IBitmap* pair, const KnobSpec& k, double v, const char* text, Writer& value) {
  const auto pointer = Half(pair, 0), body = Half(pair, 1);
  const int s = k.size, half = s / 2;
  LICE_Blit(dest, body.get(), k.cx - half, k.cy - half, 0, 0, s, s, 1.0f, kAlphaMode);
  const float sweep = 300.0f * 3.14159265358979f / 360.0f;
  const float angle = sweep * static_cast<float>(2.0 * v) - sweep;
  const float offset = -static_cast<float>((v > 0.5 ? v - 0.5 : 0.5 - v) * 2.0);
  LICE_RotatedBlit(dest, pointer.get(), k.cx - half, k.cy - half, s, s, offset, offset, static_cast<float>(s),
                   static_cast<float>(s), angle, false, 1.0f, kAlphaMode | LICE_BLIT_FILTER_BILINEAR, 0, 0);
  const int bottom = k.cy + half + 4 + 16;
  value.Draw(dest, text, Rect(k.cx - half, bottom - 16, k.cx + half, bottom), LICE_ARGB(255, 255, 255, 255), 1);
}

// A made-up loudness history drawn as the graph draws it.
void DrawGraph(LICE_IBitmap* dest, Writer& label) {
  const int l = 8, t = 228, r = 588, b = 474, base = b - 5, plotH = 235, left = l + 24, right = r - 14 - 1;
  for (int s = 0; s <= 16; s += 2) {
    const int y = base - plotH * s / 16;
    LICE_Line(dest, left, y, right, y, LICE_ARGB(255, 255, 255, 255), 50 / 255.0f, kAlphaMode, true);
    char text[8];
    std::snprintf(text, sizeof text, "%2d", -24 + s);
    label.Draw(dest, text, Rect(l, y - 8, l + 24, y + 8), LICE_ARGB(170, 255, 255, 255), 1);
  }
  const double px = plotH / 16.0;
  double prevD = 0, prevE = 0, prevF = 0;
  for (int i = 0; i < 542; ++i) {
    const double u = i / 542.0;
    const double loud = -21.0 + 7.0 * u + 2.5 * Sin(i * 0.21) + 1.5 * Sin(i * 0.047 + 1.0) + 1.2 * Sin(i * 0.73);
    const double env = -20.0 + 7.0 * u + 1.4 * Sin(i * 0.047 + 0.6);
    const double atten = env > -14.0 ? (env + 14.0) * 1.4 : 0.0;
    const double d = (loud + 24.0) * px, e = (env + 24.0) * px, f = plotH * atten / 16.0;
    const float x = static_cast<float>(left + i);
    LICE_LineF(dest, x, static_cast<float>(base - d), x, static_cast<float>(base), LICE_ARGB(255, 255, 255, 255),
               60 / 255.0f, kAlphaMode, true);
    if (f > 0.009)
      LICE_LineF(dest, x - 1, static_cast<float>(t + 6), x, static_cast<float>(t + 6 + f), LICE_ARGB(255, 255, 0, 0),
                 120 / 255.0f, kAlphaMode, true);
    if (i > 0) {
      LICE_LineF(dest, x - 1, static_cast<float>(base - prevD), x, static_cast<float>(base - d),
                 LICE_ARGB(255, 255, 255, 255), 90 / 255.0f, kAlphaMode, true);
      if (f > 0.009 || prevF > 0.009) {
        LICE_LineF(dest, x - 1, static_cast<float>(t + 6 + prevF), x, static_cast<float>(t + 6 + f),
                   LICE_ARGB(255, 255, 0, 0), 1.0f, kAlphaMode, true);
        LICE_LineF(dest, x - 1, static_cast<float>(base - (prevD - prevF)), x, static_cast<float>(base - (d - f)),
                   LICE_ARGB(255, 50, 0, 255), 1.0f, kAlphaMode, true);
      }
      LICE_LineF(dest, x - 1, static_cast<float>(base - prevE), x, static_cast<float>(base - e),
                 LICE_ARGB(255, 255, 255, 0), 1.0f, kAlphaMode, true);
    }
    prevD = d;
    prevE = e;
    prevF = f;
  }
  const int limitY = base - static_cast<int>(10 * px);
  LICE_Line(dest, left, limitY, right, limitY, LICE_ARGB(255, 255, 0, 0), 200 / 255.0f, kAlphaMode, false);
  // The scroll bar's track and thumb.
  const LICE_pixel bar = LICE_ARGB(255, 200, 200, 200);
  LICE_Line(dest, r - 11, t + 5, r - 11, t + 241, bar, 75 / 255.0f, kAlphaMode, false);
  LICE_Line(dest, r - 1, t + 5, r - 1, t + 241, bar, 75 / 255.0f, kAlphaMode, false);
  LICE_Line(dest, r - 6, t, r - 6, t, bar, 75 / 255.0f, kAlphaMode, false);
  LICE_FillRect(dest, r - 10, t + 60, 9, 90, bar, 75 / 255.0f, kAlphaMode);
}

}  // namespace

std::unique_ptr<LICE_MemBitmap> MakePreview(const std::vector<NamedImage>& images, const PreviewOptions& options) {
  LICE_SysBitmap editor(600, 490);
  LICE_Blit(&editor, images[0].bitmap.get(), 0, 0, 0, 0, 600, 490, 1.0f, LICE_BLIT_MODE_COPY);

  Writer value("Arial", 16, false), status("Arial", 14, false), label("Arial", 14, true), version("Verdana", 13, false);
  const int pairOf[6] = {1, 2, 2, 2, 3, 4};
  const double values[6] = {0.5, 0.0, 0.3, 0.62, 0.8, 1.0};
  const char* texts[6] = {"0.0dB", "0ms", "55ms", "1200ms", "3.0s", "-14.0LUFS"};
  for (int i = 0; i < 6; ++i)
    DrawKnob(&editor, images[static_cast<size_t>(pairOf[i])].bitmap.get(), kKnobs[i], values[i], texts[i], value);

  const LICE_pixel text220 = LICE_ARGB(220, 255, 255, 255);
  if (!options.idle) {
    for (const auto& [index, spot] : {std::pair{5, kLockSpot}, std::pair{6, kResetSpot}, std::pair{8, kChartSpot}})
      LICE_Blit(&editor, images[static_cast<size_t>(index)].bitmap.get(), spot.x, spot.y, 0, 0, spot.w, spot.h, 1.0f,
                kAlphaMode);
    // The handle at 6 dB, not hovered (drawn at weight 0.8).
    LICE_Blit(&editor, images[7].bitmap.get(), kSliderL + 60, kSliderT, 0, 0, 18, 20, 0.8f, kAlphaMode);
  }

  version.Draw(&editor, "v1.16", Rect(50, 12, 95, 30), LICE_ARGB(100, 255, 255, 255), 0);
  status.Draw(&editor, "Out Limit: loudness kept under -14.0 LUFS", Rect(175, 58, 425, 78), text220, 1);
  status.Draw(&editor, "Atten max:", Rect(302, 212, 357, 228), text220, 0);
  status.Draw(&editor, "4.65dB", Rect(357, 212, 400, 228), LICE_ARGB(255, 255, 255, 0), 0);
  status.Draw(&editor, "Lufs Max: -9.87lu, Lufs I: -14.02lu", Rect(400, 212, 588, 228), text220, 1);
  DrawGraph(&editor, label);

  int cropX = options.cropX, cropY = options.cropY, cropW = options.cropW, cropH = options.cropH;
  if (cropW <= 0 || cropH <= 0) {
    cropX = cropY = 0;
    cropW = 600;
    cropH = 490;
  }
  const int zoom = options.zoom < 1 ? 1 : options.zoom;
  auto out = std::make_unique<LICE_MemBitmap>(cropW * zoom, cropH * zoom);
  for (int y = 0; y < cropH * zoom; ++y)
    for (int x = 0; x < cropW * zoom; ++x) {
      const int sx = cropX + x / zoom, sy = cropY + y / zoom;
      const bool inside = sx >= 0 && sy >= 0 && sx < 600 && sy < 490;
      LICE_Row(out.get(), y)[x] = inside ? LICE_Row(&editor, sy)[sx] : LICE_ARGB(255, 0, 0, 0);
    }
  return out;
}

}  // namespace art
