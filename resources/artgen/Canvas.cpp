#include "resources/artgen/Canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/raster/LiceRaster.h"

namespace art {

double SdRoundRect(double x, double y, double l, double t, double r, double b, double rad) {
  const double qx = std::fabs(x - (l + r) * 0.5) - ((r - l) * 0.5 - rad);
  const double qy = std::fabs(y - (t + b) * 0.5) - ((b - t) * 0.5 - rad);
  return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - rad;
}

double SdSegment(double x, double y, double ax, double ay, double bx, double by, double halfWidth) {
  const double px = x - ax, py = y - ay, ex = bx - ax, ey = by - ay;
  const double len2 = ex * ex + ey * ey;
  const double h = len2 > 0.0 ? Clamp01((px * ex + py * ey) / len2) : 0.0;
  return Length(px - ex * h, py - ey * h) - halfWidth;
}

double SdPolygon(double x, double y, const double* xy, int n) {
  double d = (x - xy[0]) * (x - xy[0]) + (y - xy[1]) * (y - xy[1]);
  double s = 1.0;
  for (int i = 0, j = n - 1; i < n; j = i, ++i) {
    const double vix = xy[2 * i], viy = xy[2 * i + 1], vjx = xy[2 * j], vjy = xy[2 * j + 1];
    const double ex = vjx - vix, ey = vjy - viy, wx = x - vix, wy = y - viy;
    const double h = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
    const double bx = wx - ex * h, by = wy - ey * h;
    d = std::min(d, bx * bx + by * by);
    const bool c1 = y >= viy, c2 = y < vjy, c3 = ex * wy > ey * wx;
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
  }
  return s * std::sqrt(d);
}

double SdArc(double x, double y, double cx, double cy, double r, double hw, double a0, double a1) {
  const double dx = x - cx, dy = y - cy;
  double t = Atan2(dx, -dy) - a0;
  t -= 2.0 * kPi * std::floor(t / (2.0 * kPi));
  if (t <= a1 - a0) return std::fabs(Length(dx, dy) - r) - hw;
  const double e0 = Length(x - (cx + r * Sin(a0)), y - (cy - r * Cos(a0)));
  const double e1 = Length(x - (cx + r * Sin(a1)), y - (cy - r * Cos(a1)));
  return std::min(e0, e1) - hw;
}

void Mask::Max(const Mask& o, int dx, int dy) {
  for (int y = 0; y < o.H(); ++y)
    for (int x = 0; x < o.W(); ++x) {
      const int tx = x + dx, ty = y + dy;
      if (tx < 0 || ty < 0 || tx >= w_ || ty >= h_) continue;
      Ref(tx, ty) = std::max(Ref(tx, ty), o.At(x, y));
    }
}

void Mask::Multiply(const Mask& o) {
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) Ref(x, y) *= o.At(x, y);
}

void Mask::Subtract(const Mask& o, int dx, int dy) {
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) Ref(x, y) *= 1.0 - o.At(x - dx, y - dy);
}

Mask Mask::Shifted(int dx, int dy) const {
  Mask out(w_, h_);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) out.Ref(x, y) = At(x - dx, y - dy);
  return out;
}

Mask Mask::Blurred(int radius) const {
  Mask a = *this;
  if (radius <= 0) return a;
  Mask b(w_, h_);
  const double k = 1.0 / (2 * radius + 1);
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        double s = 0.0;
        for (int i = -radius; i <= radius; ++i) s += a.At(x + i, y);
        b.Ref(x, y) = s * k;
      }
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        double s = 0.0;
        for (int i = -radius; i <= radius; ++i) s += b.At(x, y + i);
        a.Ref(x, y) = s * k;
      }
  }
  return a;
}

void Canvas::Draw(const Canvas& src, int dx, int dy, double opacity) {
  for (int y = 0; y < src.H(); ++y)
    for (int x = 0; x < src.W(); ++x) {
      const int tx = x + dx, ty = y + dy;
      if (tx < 0 || ty < 0 || tx >= w_ || ty >= h_) continue;
      const Px& s = src.At(x, y);
      const double a = s.a * opacity;
      if (a <= 0.0) continue;
      Px& d = Ref(tx, ty);
      d.r = d.r * (1.0 - a) + s.r * opacity;
      d.g = d.g * (1.0 - a) + s.g * opacity;
      d.b = d.b * (1.0 - a) + s.b * opacity;
      d.a = d.a * (1.0 - a) + a;
    }
}

namespace {
int To8(double v) { return static_cast<int>(std::floor(Clamp01(v) * 255.0 + 0.5)); }
}  // namespace

std::unique_ptr<LICE_MemBitmap> Canvas::ToBitmap(bool withAlpha) const {
  auto bm = std::make_unique<LICE_MemBitmap>(w_, h_);
  for (int y = 0; y < h_; ++y) {
    LICE_pixel* row = LICE_Row(bm.get(), y);
    for (int x = 0; x < w_; ++x) {
      const Px& p = At(x, y);
      if (!withAlpha) {
        row[x] = LICE_ARGB(255, To8(p.r), To8(p.g), To8(p.b));
        continue;
      }
      const int a = To8(p.a);
      row[x] = a == 0 ? 0 : LICE_ARGB(a, To8(p.r / p.a), To8(p.g / p.a), To8(p.b / p.a));
    }
  }
  return bm;
}

LICE_FontSpec FontRequest(const char* face, int size, bool bold) {
  LICE_FontSpec request;
  request.height = size;
  request.weight = bold ? 700 : 400;
  std::snprintf(request.face, sizeof request.face, "%s", face);
  return request;
}

Font::Font(const char* face, int size, bool bold, const char* expectedFamily) : size_(size) {
  LICE_PlatformFont* pf = LICE_CreatePlatformFont(FontRequest(face, size, bold));
  const char* name = pf ? LICE_PlatformFontName(pf) : "(none)";
  if (!pf || std::strncmp(name, expectedFamily, std::strlen(expectedFamily)) != 0) {
    std::fprintf(stderr, "font \"%s\" resolves to \"%s\", expected the family \"%s\"\n", face, name, expectedFamily);
    std::exit(2);
  }
  font_ = std::make_unique<LICE_CachedFont>();
  font_->SetFromPlatformFont(pf, LICE_FONT_FLAG_OWNS_FONT);
  font_->SetTextColour(LICE_ARGB(255, 255, 255, 255));
}

Font::~Font() = default;

Mask Font::Render(const char* text, int& inkL, int& inkR) {
  const int pad = size_;
  const int w = static_cast<int>(std::strlen(text)) * size_ + 2 * pad, h = size_ * 2;
  LICE_MemBitmap bm(w, h);
  LICE_FillRect(&bm, 0, 0, w, h, LICE_ARGB(255, 0, 0, 0), 1.0f, LICE_BLIT_MODE_COPY);
  font_->DrawText(&bm, text, -1, Rect(pad, 0, w - pad, h), LICE_TEXT_NOCLIP);
  Mask m(w, h);
  inkL = w;
  inkR = -1;
  for (int y = 0; y < h; ++y) {
    const LICE_pixel* row = LICE_Row(&bm, y);
    for (int x = 0; x < w; ++x) {
      const int v = LICE_R(row[x]);
      if (v == 0) continue;
      m.Ref(x, y) = v / 255.0;
      inkL = std::min(inkL, x);
      inkR = std::max(inkR, x);
    }
  }
  return m;
}

Mask Font::Layout(const char* text, int tracking, int& inkL, int& inkR) {
  if (tracking == 0) return Render(text, inkL, inkR);
  const int pad = size_;
  const int w = static_cast<int>(std::strlen(text)) * (size_ + tracking) + 2 * pad, h = size_ * 2;
  Mask out(w, h);
  int pen = pad;
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') {
      pen += static_cast<int>(std::floor(size_ * 0.3 + 0.5));
      continue;
    }
    const char one[2] = {*c, '\0'};
    int l = 0, r = -1;
    const Mask g = Render(one, l, r);
    if (r < l) continue;
    out.Max(g, pen - l, 0);
    pen += r - l + 1 + tracking;
  }
  inkL = pad;
  inkR = pen - tracking - 1;
  return out;
}

void Font::Draw(Mask& m, const char* text, double x, int top, int align, int tracking) {
  int l = 0, r = -1;
  const Mask g = Layout(text, tracking, l, r);
  if (r < l) return;
  const int width = r - l + 1;
  double left = x;
  if (align == 1) left = x - width * 0.5;
  else if (align == 2) left = x - width;
  m.Max(g, static_cast<int>(std::floor(left + 0.5)) - l, top);
}

}  // namespace art
