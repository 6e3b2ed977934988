// The engine's drawing operations and bitmap loading, on top of the raster
// layer and the process-wide caches.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/IGraphics.h"
#include "graphics/ResourceCache.h"
#include "graphics/raster/LicePng.h"
#include "resources/EmbeddedImages.h"
#include "graphics/raster/LiceBitmap.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/raster/LiceText.h"

namespace {

constexpr float kPi = 3.14159265358979f;

LICE_pixel Pixel(const Colour& c) { return LICE_ARGB(c.A, c.R, c.G, c.B); }

// kBlendCopy ignores the source's alpha; every other method uses it, and an
// unknown method acts as source-over.
int RasterMode(const Blend* blend) {
  switch (blend ? blend->method : kBlendAlpha) {
    case kBlendCopy: return LICE_BLIT_MODE_COPY;
    case kBlendAdd: return LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
    case kBlendDodge: return LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
    default: return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  }
}

float Weight(const Blend* blend) { return blend ? blend->weight : 1.0f; }

float ColourOpacity(const Colour& c) { return static_cast<float>(c.A & 0xff) / 255.0f; }

}  // namespace

// ---- Bitmaps ----

BitmapRef IGraphics::LoadBitmap(int id, const char* name, int frameCount) {
  frameCount = std::max(1, frameCount);
  LICE_IBitmap* raster = quarv::BitmapCacheFind(id);
  if (!raster) {
    // The cache's lock is not held while loading: two editors loading one id
    // at once both insert it, and lookups return the first.
    raster = LoadPlatformBitmap(id, name ? name : "");
    if (!raster) return BitmapRef(nullptr, 0, 0, frameCount, 0);
    quarv::BitmapCacheAdd(id, raster);
    raster = quarv::BitmapCacheFind(id);
  }
  return BitmapRef(raster, raster->Width(), raster->Height(), frameCount, 0);
}

LICE_IBitmap* IGraphics::DecodeEmbeddedImage(int id) {
  const quarv::EmbeddedImage* image = quarv::FindEmbeddedImage(id);
  return image ? LICE_DecodePNG(image->data, image->size) : nullptr;
}

BitmapRef IGraphics::CachedBitmap(int id) {
  LICE_IBitmap* raster = quarv::BitmapCacheFind(id);
  if (!raster) return BitmapRef();
  return BitmapRef(raster, raster->Width(), raster->Height(), 1, 0);
}

namespace {
bool SamePixels(LICE_IBitmap* a, LICE_IBitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height()) return false;
  if (!a->Bits() || !b->Bits()) return a->Bits() == b->Bits();
  for (int y = 0; y < a->Height(); ++y)
    if (std::memcmp(LICE_Row(a, y), LICE_Row(b, y), static_cast<size_t>(a->Width()) * sizeof(LICE_pixel)) != 0)
      return false;
  return true;
}
}  // namespace

BitmapRef IGraphics::SplitBitmap(BitmapRef& ref, float fraction) {
  if (!(fraction >= 0.0f)) fraction = 0.0f;  // NaN too
  fraction = std::min(fraction, 1.0f);
  const int w = std::max(0, ref.W), h = std::max(0, ref.H);
  const int leftW = static_cast<int>(static_cast<float>(w) * fraction);
  const int rightW = static_cast<int>((1.0f - fraction) * static_cast<float>(w));

  auto* left = new LICE_MemBitmap(leftW, h, 4);
  LICE_Blit(left, ref.raster, 0, 0, 0, 0, leftW, h, 1.0f, LICE_BLIT_MODE_COPY);
  --nextBitmapId;
  // Every editor of the module cuts the same images in the same order; an
  // identical piece already cached under this id is shared instead of stored
  // again for each editor.
  LICE_IBitmap* cached = quarv::BitmapCacheFind(nextBitmapId);
  if (cached && SamePixels(cached, left)) {
    delete left;
  } else {
    quarv::BitmapCacheAdd(nextBitmapId, left);
    cached = left;
  }

  auto right = std::make_unique<LICE_MemBitmap>(rightW, h, 4);
  LICE_Blit(right.get(), ref.raster, 0, 0, leftW, 0, w, h, 1.0f, LICE_BLIT_MODE_COPY);
  ref = BitmapRef(right.get(), rightW, h, 1, nextBitmapId);
  splitPieces.push_back(std::move(right));
  return BitmapRef(cached, leftW, h, 1, 0);
}

// ---- Drawing ----

bool IGraphics::DrawBitmap(const BitmapRef& ref, const Rect& dest, int frame, const Blend* blend, bool vertical) {
  int srcX = 0, srcY = 0;
  if (ref.frames >= 2 && frame >= 2) {
    const double f = static_cast<double>(frame - 1) / ref.frames;
    if (vertical) srcY = static_cast<int>(ref.H * f + 0.5);
    else srcX = static_cast<int>(ref.W * f + 0.5);
  }
  const Rect c = dest.Intersect(drawRect);
  if (c.Empty()) return true;
  LICE_Blit(drawBitmap.get(), ref.raster, c.L, c.T, srcX + c.L - dest.L, srcY + c.T - dest.T, c.W(), c.H(),
            Weight(blend), RasterMode(blend));
  return true;
}

bool IGraphics::DrawRotatedBitmap(const BitmapRef& ref, int centreX, int centreY, double angle,
                                  const Blend* blend, float srcX, float srcY) {
  const int w = ref.W, h = ref.H;
  const int left = static_cast<int>(static_cast<float>(centreX) - static_cast<float>(w / 2));
  const int top = static_cast<int>(static_cast<float>(centreY) - static_cast<float>(h / 2));
  LICE_RotatedBlit(drawBitmap.get(), ref.raster, left, top, w, h, srcX, srcY, static_cast<float>(w),
                   static_cast<float>(h), static_cast<float>(angle), false, Weight(blend),
                   RasterMode(blend) | LICE_BLIT_FILTER_BILINEAR, 0.0f, 0.0f);
  return true;
}

bool IGraphics::DrawLine(const Colour& colour, float x1, float y1, float x2, float y2, const Blend* blend,
                         bool antiAlias) {
  LICE_LineF(drawBitmap.get(), x1, y1, x2, y2, Pixel(colour), ColourOpacity(colour), RasterMode(blend), antiAlias);
  return true;
}

bool IGraphics::FillRect(const Colour& colour, const Rect& r, const Blend* blend) {
  LICE_FillRect(drawBitmap.get(), r.L, r.T, r.W(), r.H(), Pixel(colour), Weight(blend), RasterMode(blend));
  return true;
}

bool IGraphics::DrawRoundRect(const Colour& colour, Rect& r, int radius, const Blend* blend, bool antiAlias) {
  r.R -= 1;
  r.B -= 1;
  LICE_IBitmap* bm = drawBitmap.get();
  const LICE_pixel px = Pixel(colour);
  const float op = ColourOpacity(colour);
  const int mode = RasterMode(blend);
  const float L = static_cast<float>(r.L), T = static_cast<float>(r.T);
  const float R = static_cast<float>(r.R), B = static_cast<float>(r.B);
  const float rad = static_cast<float>(radius);
  LICE_Line(bm, r.L + radius + 1, r.T, r.R - radius - 1, r.T, px, op, mode, antiAlias);
  LICE_Line(bm, r.R, r.T + radius + 1, r.R, r.B - radius - 1, px, op, mode, antiAlias);
  LICE_Line(bm, r.L + radius + 1, r.B, r.R - radius - 1, r.B, px, op, mode, antiAlias);
  LICE_Line(bm, r.L, r.T + radius + 1, r.L, r.B - radius - 1, px, op, mode, antiAlias);
  LICE_Arc(bm, L + rad, T + rad, rad, -kPi / 2, 0.0f, px, op, mode, antiAlias);
  LICE_Arc(bm, R - rad, T + rad, rad, 0.0f, kPi / 2, px, op, mode, antiAlias);
  LICE_Arc(bm, R - rad, B - rad, rad, kPi / 2, kPi, px, op, mode, antiAlias);
  LICE_Arc(bm, L + rad, B - rad, rad, kPi, 3 * kPi / 2, px, op, mode, antiAlias);
  return true;
}

bool IGraphics::FillRoundRect(const Colour& colour, const Rect& r, int radius, int corners, const Blend* blend,
                              bool antiAlias) {
  if (corners != 4 && corners != 2 && corners != -2) return true;
  LICE_IBitmap* bm = drawBitmap.get();
  const LICE_pixel px = Pixel(colour);
  const int mode = RasterMode(blend);
  // The corners are drawn at the same opacity as the straight parts (the
  // blend's weight, with the colour's alpha applied by the raster layer), so
  // a translucent fill is even all over.
  const float op = Weight(blend);
  const int w = r.W(), h = r.H(), rad = radius;
  const int inner = w - 2 * rad - 2;
  const float L = static_cast<float>(r.L), T = static_cast<float>(r.T);
  const float R1 = static_cast<float>(r.R - rad - 1), B1 = static_cast<float>(r.B - rad - 1);
  const float fr = static_cast<float>(rad);
  const bool top = corners == 4 || corners == 2;
  const bool bottom = corners == 4 || corners == -2;
  if (corners == 4) {
    LICE_FillRect(bm, r.L, r.T + rad + 1, w, h - 2 * rad - 2, px, op, mode);
  } else if (corners == 2) {
    LICE_FillRect(bm, r.L, r.T + rad + 1, w, h - rad - 1, px, op, mode);
  } else {
    LICE_FillRect(bm, r.L, r.T, w, h - rad - 1, px, op, mode);
  }
  if (top) {
    LICE_FillRect(bm, r.L + rad + 1, r.T, inner, rad + 1, px, op, mode);
    LICE_FilledArc(bm, L + fr, T + fr, fr, -kPi / 2, 0.0f, px, op, mode, antiAlias);
    LICE_FilledArc(bm, R1, T + fr, fr, 0.0f, kPi / 2, px, op, mode, antiAlias);
  }
  if (bottom) {
    LICE_FillRect(bm, r.L + rad + 1, r.B - rad - 1, inner, rad + 1, px, op, mode);
    LICE_FilledArc(bm, R1, B1, fr, kPi / 2, kPi, px, op, mode, antiAlias);
    LICE_FilledArc(bm, L + fr, B1, fr, kPi, 3 * kPi / 2, px, op, mode, antiAlias);
  }
  return true;
}

// ---- Text ----

bool IGraphics::DrawText(TextStyle& style, const char* text, const Rect& r) {
  if (!text || !text[0]) return true;
  LICE_CachedFont* font = style.cachedFont ? style.cachedFont : CacheFont(style);
  if (!font) return false;
  const Colour& c = style.colour;
  font->SetTextColour(Pixel(c));
  int flags = LICE_TEXT_NOCLIP;
  if (style.align == TextStyle::kAlignCentre) flags |= LICE_TEXT_CENTRE;
  else if (style.align != TextStyle::kAlignLeft) flags |= LICE_TEXT_RIGHT;
  if ((c.A & 0xff) < 255) flags |= LICE_TEXT_USE_COLOUR_ALPHA;
  font->DrawText(drawBitmap.get(), text, -1, r, flags);
  return true;
}

LICE_CachedFont* IGraphics::CacheFont(TextStyle& style) {
  style.font[sizeof style.font - 1] = '\0';
  if (LICE_CachedFont* hit = quarv::FontCacheFind(style.size, style.orientation, style.style, style.font)) {
    style.cachedFont = hit;
    return hit;
  }
  LICE_FontSpec fontSpec;
  fontSpec.height = style.size;
  fontSpec.escapement = static_cast<int>((static_cast<long long>(style.orientation) % 360) * 10);
  fontSpec.weight = (style.style & TextStyle::kStyleBold) ? 700 : 400;
  fontSpec.italic = (style.style & TextStyle::kStyleItalic) != 0;
  switch (style.quality) {
    case TextStyle::kQualityDefault:
    case TextStyle::kQualityAntialiased:
    case TextStyle::kQualityClearType: fontSpec.quality = style.quality; break;
    default: fontSpec.quality = TextStyle::kQualityNonAntialiased; break;
  }
  std::memcpy(fontSpec.face, style.font, sizeof fontSpec.face);
  LICE_PlatformFont* platformFont = LICE_CreatePlatformFont(fontSpec);
  if (!platformFont) return nullptr;
  auto* font = new LICE_CachedFont();
  font->SetFromPlatformFont(platformFont, LICE_FONT_FLAG_OWNS_FONT | LICE_FONT_FLAG_RENDER_NATIVE);
  quarv::FontCacheAdd(style.size, style.orientation, style.style, style.font, font);
  style.cachedFont = font;
  return font;
}
