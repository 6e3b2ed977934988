// Drawing surfaces of the image generator: a coverage mask and a floating-
// point canvas with premultiplied alpha, shapes given as signed distances
// (negative inside, in pixels) filled with analytic antialiasing, and text
// rendered by the raster layer's FreeType fonts.
//
// Pixel (x, y) covers the square [x, x + 1) × [y, y + 1); shapes are sampled
// at its centre (x + 0.5, y + 0.5). Everything here runs on one thread.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/raster/LiceBitmap.h"
#include "graphics/raster/LiceText.h"
#include "resources/artgen/ArtMath.h"

namespace art {

struct Rgb {
  double r = 0, g = 0, b = 0;
};
// 0xRRGGBB.
constexpr Rgb Hex(uint32_t rgb) {
  return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0};
}
constexpr Rgb kWhite{1, 1, 1};
constexpr Rgb kBlack{0, 0, 0};
inline Rgb MixRgb(const Rgb& a, const Rgb& b, double t) {
  return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)};
}
inline Rgb ScaleRgb(const Rgb& a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb AddRgb(const Rgb& a, const Rgb& b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

// Signed distances of the shapes used.
inline double SdCircle(double x, double y, double cx, double cy, double r) { return Length(x - cx, y - cy) - r; }
// Rectangle (l, t)..(r, b) with corners rounded by rad.
double SdRoundRect(double x, double y, double l, double t, double r, double b, double rad);
// Segment from (ax, ay) to (bx, by) thickened to halfWidth.
double SdSegment(double x, double y, double ax, double ay, double bx, double by, double halfWidth);
// Convex or concave polygon of n points.
double SdPolygon(double x, double y, const double* xy, int n);
// Ring about (cx, cy) of radius r and half width hw, from angle a0 to a1
// (radians from straight up, clockwise; a0 < a1, the span may pass pi),
// with round ends.
double SdArc(double x, double y, double cx, double cy, double r, double hw, double a0, double a1);

// Pixel bounds (right and bottom exclusive) that limit where a shape is
// evaluated; the default covers everything.
struct Box {
  int l = -1000000, t = -1000000, r = 1000000, b = 1000000;
};
// Box around a circle, with a margin for antialiasing and blur.
inline Box Around(double cx, double cy, double r) {
  return Box{static_cast<int>(std::floor(cx - r)) - 2, static_cast<int>(std::floor(cy - r)) - 2,
             static_cast<int>(std::floor(cx + r)) + 3, static_cast<int>(std::floor(cy + r)) + 3};
}

// Coverage 0..1 per pixel; reads outside count as 0.
class Mask {
public:
  Mask(int w, int h) : w_(w), h_(h), v_(static_cast<size_t>(w) * static_cast<size_t>(h), 0.0) {}
  int W() const { return w_; }
  int H() const { return h_; }
  double At(int x, int y) const {
    return (x < 0 || y < 0 || x >= w_ || y >= h_) ? 0.0 : v_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
  }
  double& Ref(int x, int y) { return v_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)]; }

  // Adds a shape: coverage := max(coverage, shape coverage).
  template <class Sdf>
  void Add(Sdf sdf, Box box = Box{}) {
    Clip(box);
    for (int y = box.t; y < box.b; ++y)
      for (int x = box.l; x < box.r; ++x) {
        const double c = Clamp01(0.5 - sdf(x + 0.5, y + 0.5));
        if (c > Ref(x, y)) Ref(x, y) = c;
      }
  }
  // Takes a shape away: coverage := coverage · (1 − shape coverage).
  template <class Sdf>
  void Cut(Sdf sdf, Box box = Box{}) {
    Clip(box);
    for (int y = box.t; y < box.b; ++y)
      for (int x = box.l; x < box.r; ++x) Ref(x, y) *= 1.0 - Clamp01(0.5 - sdf(x + 0.5, y + 0.5));
  }
  void Clip(Box& box) const {
    box.l = std::max(box.l, 0);
    box.t = std::max(box.t, 0);
    box.r = std::min(box.r, w_);
    box.b = std::min(box.b, h_);
  }
  void Max(const Mask& o, int dx = 0, int dy = 0);
  void Multiply(const Mask& o);
  // coverage := coverage · (1 − o), o moved by (dx, dy).
  void Subtract(const Mask& o, int dx = 0, int dy = 0);
  Mask Shifted(int dx, int dy) const;
  // Approximately Gaussian: three box passes of the given radius.
  Mask Blurred(int radius) const;

private:
  int w_, h_;
  std::vector<double> v_;
};

// Premultiplied colour.
struct Px {
  double r = 0, g = 0, b = 0, a = 0;
};

class Canvas {
public:
  Canvas(int w, int h) : w_(w), h_(h), p_(static_cast<size_t>(w) * static_cast<size_t>(h)) {}
  int W() const { return w_; }
  int H() const { return h_; }
  const Px& At(int x, int y) const { return p_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)]; }
  Px& Ref(int x, int y) { return p_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)]; }

  // Source-over of colour c at opacity a (0..1).
  void Over(int x, int y, const Rgb& c, double a) {
    if (a <= 0.0 || x < 0 || y < 0 || x >= w_ || y >= h_) return;
    if (a > 1.0) a = 1.0;
    Px& p = Ref(x, y);
    p.r = p.r * (1.0 - a) + c.r * a;
    p.g = p.g * (1.0 - a) + c.g * a;
    p.b = p.b * (1.0 - a) + c.b * a;
    p.a = p.a * (1.0 - a) + a;
  }
  // Every pixel: shade(x + 0.5, y + 0.5) gives an opaque colour.
  template <class F>
  void Shade(F shade) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const Rgb c = shade(x + 0.5, y + 0.5);
        Ref(x, y) = Px{c.r, c.g, c.b, 1.0};
      }
  }
  // Paints through a mask: colour(x + 0.5, y + 0.5) at mask coverage × opacity.
  template <class F>
  void PaintFn(const Mask& m, F colour, double opacity = 1.0, int dx = 0, int dy = 0) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const double c = m.At(x - dx, y - dy) * opacity;
        if (c > 0.0) Over(x, y, colour(x + 0.5, y + 0.5), c);
      }
  }
  void Paint(const Mask& m, const Rgb& colour, double opacity = 1.0, int dx = 0, int dy = 0) {
    PaintFn(m, [&](double, double) { return colour; }, opacity, dx, dy);
  }
  // Fills a shape with colour(x, y) at its antialiased coverage × opacity.
  template <class Sdf, class F>
  void FillFn(Sdf sdf, F colour, double opacity = 1.0, Box box = Box{}) {
    box.l = std::max(box.l, 0);
    box.t = std::max(box.t, 0);
    box.r = std::min(box.r, w_);
    box.b = std::min(box.b, h_);
    for (int y = box.t; y < box.b; ++y)
      for (int x = box.l; x < box.r; ++x) {
        const double c = Clamp01(0.5 - sdf(x + 0.5, y + 0.5)) * opacity;
        if (c > 0.0) Over(x, y, colour(x + 0.5, y + 0.5), c);
      }
  }
  template <class Sdf>
  void Fill(Sdf sdf, const Rgb& colour, double opacity = 1.0, Box box = Box{}) {
    FillFn(sdf, [&](double, double) { return colour; }, opacity, box);
  }
  // Source-over of another canvas placed at (dx, dy).
  void Draw(const Canvas& src, int dx, int dy, double opacity = 1.0);

  // 8-bit pixels, straight alpha rounded to nearest; fully transparent
  // pixels become 0. Without alpha every pixel is opaque.
  std::unique_ptr<LICE_MemBitmap> ToBitmap(bool withAlpha) const;

private:
  int w_, h_;
  std::vector<Px> p_;
};

// The raster layer's request for a face at a pixel size, regular or bold.
LICE_FontSpec FontRequest(const char* face, int size, bool bold);

// A font of the raster layer. Exits the program with a message when the face
// that fontconfig picks is not of the expected family: the images must come
// out the same wherever they are made.
class Font {
public:
  Font(const char* face, int size, bool bold, const char* expectedFamily);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Adds text coverage (one line) to the mask, the font's cell top at top.
  // align 0: ink starts at x; 1: ink centred on x; 2: ink ends at x.
  // tracking: extra pixels between the glyphs' ink.
  void Draw(Mask& m, const char* text, double x, int top, int align, int tracking = 0);

private:
  // Coverage of text drawn at (pad, 0) into a scratch mask, and its ink span.
  Mask Render(const char* text, int& inkL, int& inkR);
  Mask Layout(const char* text, int tracking, int& inkL, int& inkR);

  int size_;
  std::unique_ptr<LICE_CachedFont> font_;
};

}  // namespace art
