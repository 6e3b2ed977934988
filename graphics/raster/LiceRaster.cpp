#include "graphics/raster/LiceRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr double kTwoPi = 6.283185307179586;

int OpacityToA(double opacity) {
  if (!(opacity > 0.0)) return 0;  // NaN included
  if (opacity >= 1.0) return 256;
  return static_cast<int>(opacity * 256.0);
}

bool Usable(LICE_IBitmap* bm) {
  return bm && bm->Bits() && bm->Width() > 0 && bm->Height() > 0;
}

// Per channel d := s + (d − s)·(256 − a) / 256 with the division truncating
// toward zero, on all four channels. That equals (s·a + d·(256 − a)) / 256
// floored, plus one wherever d < s and the division is inexact: the result
// rounds toward the source (s = 255, d = 0 at a = 128 gives 128). Two
// channels at a time: each sum stays below 2^16, so channels never carry
// into each other.
inline LICE_pixel Mix(LICE_pixel s, LICE_pixel d, int a) {
  const uint32_t ua = static_cast<uint32_t>(a), ia = 256u - ua;
  // 255 in the low byte of every 16-bit lane whose destination channel is
  // below the source's: the truncation of a negative quotient rounds up.
  // (d + 256 − s) keeps bit 8 of its lane exactly when d >= s, and never
  // borrows from the next lane.
  auto bias = [](uint32_t sp, uint32_t dp) {
    const uint32_t atLeast = ((dp | 0x01000100u) - sp) & 0x01000100u;
    return ((atLeast ^ 0x01000100u) >> 8) * 255u;
  };
  const uint32_t s0 = s & 0xff00ffu, d0 = d & 0xff00ffu;
  const uint32_t s1 = (s >> 8) & 0xff00ffu, d1 = (d >> 8) & 0xff00ffu;
  const uint32_t rb = ((s0 * ua + d0 * ia + bias(s0, d0)) >> 8) & 0xff00ffu;
  const uint32_t ag = (s1 * ua + d1 * ia + bias(s1, d1)) & 0xff00ff00u;
  return rb | ag;
}

inline int AddChannel(int d, int s, int a) { return std::min(255, d + ((s * a) >> 8)); }

inline int DodgeChannel(int d, int s, int a) {
  const int full = std::min(255, (d << 8) / (256 - s));
  return (full * a + d * (256 - a)) >> 8;
}

inline LICE_pixel WithAlpha(LICE_pixel rgb, int alpha) {
  return (rgb & 0x00ffffffu) | (static_cast<LICE_pixel>(alpha) << 24);
}

// The combine modes as pixel operators; a is 1..256.
struct CopyOp {
  static LICE_pixel Apply(LICE_pixel s, LICE_pixel d, int a) { return Mix(s, d, a); }
};
// Add and dodge work channel by channel: plainly on all four channels, or
// with the source's alpha as weight on the colour channels.
template <int (*Channel)(int d, int s, int a)>
struct ChannelOp {
  static LICE_pixel Apply(LICE_pixel s, LICE_pixel d, int a) {
    return LICE_ARGB(Channel(LICE_A(d), LICE_A(s), a), Channel(LICE_R(d), LICE_R(s), a),
                     Channel(LICE_G(d), LICE_G(s), a), Channel(LICE_B(d), LICE_B(s), a));
  }
};
template <int (*Channel)(int d, int s, int a)>
struct ChannelAlphaOp {
  static LICE_pixel Apply(LICE_pixel s, LICE_pixel d, int a) {
    const int sa = LICE_A(s);
    if (sa == 0) return d;
    const int w = (a * (sa + 1)) >> 8;
    return LICE_ARGB(std::min(255, LICE_A(d) + w), Channel(LICE_R(d), LICE_R(s), w),
                     Channel(LICE_G(d), LICE_G(s), w), Channel(LICE_B(d), LICE_B(s), w));
  }
};
using AddOp = ChannelOp<AddChannel>;
using DodgeOp = ChannelOp<DodgeChannel>;
using AddAlphaOp = ChannelAlphaOp<AddChannel>;
using DodgeAlphaOp = ChannelAlphaOp<DodgeChannel>;
// Source-over.
struct CopyAlphaOp {
  static LICE_pixel Apply(LICE_pixel s, LICE_pixel d, int a) {
    const int sa = LICE_A(s);
    if (sa == 0) return d;
    const int w = (a * (sa + 1)) >> 8;
    return WithAlpha(Mix(s, d, w), std::min(255, LICE_A(d) + w));
  }
};

// Calls f.template operator()<Op>() with the operator of the mode. Modes the
// layer does not know act as copy.
template <class F>
void WithOp(int mode, F&& f) {
  const bool alpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  switch (mode & LICE_BLIT_MODE_MASK) {
    case LICE_BLIT_MODE_ADD:
      if (alpha) f.template operator()<AddAlphaOp>(); else f.template operator()<AddOp>();
      return;
    case LICE_BLIT_MODE_DODGE:
      if (alpha) f.template operator()<DodgeAlphaOp>(); else f.template operator()<DodgeOp>();
      return;
    default:
      if (alpha) f.template operator()<CopyAlphaOp>(); else f.template operator()<CopyOp>();
      return;
  }
}

inline LICE_pixel ApplyMode(int mode, LICE_pixel s, LICE_pixel d, int a) {
  const bool alpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  switch (mode & LICE_BLIT_MODE_MASK) {
    case LICE_BLIT_MODE_ADD: return alpha ? AddAlphaOp::Apply(s, d, a) : AddOp::Apply(s, d, a);
    case LICE_BLIT_MODE_DODGE: return alpha ? DodgeAlphaOp::Apply(s, d, a) : DodgeOp::Apply(s, d, a);
    default: return alpha ? CopyAlphaOp::Apply(s, d, a) : CopyOp::Apply(s, d, a);
  }
}

// A bitmap's geometry read once, so that per-pixel code makes no virtual
// calls. Row y counts from the top.
struct Rows {
  explicit Rows(LICE_IBitmap* bm)
      : bits(bm->Bits()), span(bm->RowSpan()), w(bm->Width()), h(bm->Height()), flipped(bm->Flipped()) {}
  LICE_pixel* Row(long long y) const {
    return bits + static_cast<ptrdiff_t>(flipped ? h - 1 - y : y) * span;
  }
  LICE_pixel* bits;
  int span, w, h;
  bool flipped;
};

// floor for values well inside the range of long long. The baseline
// instruction set has no rounding instruction, and the library call costs more
// than the rest of a pixel.
inline double FastFloor(double v) {
  const double t = static_cast<double>(static_cast<long long>(v));
  return t > v ? t - 1.0 : t;
}

// Writes colour into single pixels with a coverage 0..256, for lines and arcs.
// With source alpha the colour's own alpha is folded into the opacity and the
// colour treated as opaque.
class Plotter {
public:
  Plotter(LICE_IBitmap* bm, LICE_pixel colour, double opacity, int mode) : rows_(Geometry(bm)), mode_(mode) {
    if (!rows_.bits) return;
    if (mode & LICE_BLIT_USE_ALPHA) {
      opacity *= LICE_A(colour) / 255.0;
      colour = WithAlpha(colour, 255);
    }
    colour_ = colour;
    a_ = OpacityToA(opacity);
  }
  bool Active() const { return a_ > 0; }
  int W() const { return rows_.w; }
  int H() const { return rows_.h; }

  int Mode() const { return mode_; }

  void Plot(long long x, long long y, int coverage) {
    int a;
    if (LICE_pixel* p = Target(x, y, coverage, a)) *p = ApplyMode(mode_, colour_, *p, a);
  }
  // A line's pixels, with the mode's operator known at compile time. u runs
  // along the major axis over uLo..uHi (already clipped to the bitmap), v is
  // the minor coordinate v1 + (u − u1)·slope: one pixel per step, or the two
  // pixels around v weighted by their distance when antialiased.
  template <class Op>
  void Line(bool xMajor, bool antiAlias, long long uLo, long long uHi, double u1, double v1, double slope) {
    const ptrdiff_t rowStep = rows_.flipped ? -rows_.span : rows_.span;
    const ptrdiff_t majorStep = xMajor ? 1 : rowStep, minorStep = xMajor ? rowStep : 1;
    const long long vLimit = xMajor ? rows_.h : rows_.w;
    LICE_pixel* const origin = rows_.Row(0);
    // Copies, so that the pixel stores cannot be taken to change them.
    const LICE_pixel colour = colour_;
    const int full = a_;
    auto blend = [=](long long u, long long v, int coverage) {
      if (v < 0 || v >= vLimit || coverage <= 0) return;
      const int a = coverage >= 256 ? full : (full * coverage) >> 8;
      if (a <= 0) return;
      LICE_pixel* p = origin + u * majorStep + v * minorStep;
      *p = Op::Apply(colour, *p, a);
    };
    if (!antiAlias) {
      for (long long u = uLo; u <= uHi; ++u) {
        const double v = v1 + (static_cast<double>(u) - u1) * slope;
        if (v < -2.0 || v > vLimit + 1.0) continue;
        blend(u, static_cast<long long>(FastFloor(v + 0.5)), 256);
      }
      return;
    }
    // Antialiased: v in 1/65536 of a pixel, stepped along u. The slope of a
    // line is at most 1 and the bitmap at most a few thousand pixels, so the
    // steps stay far within 64 bits and drift by less than 1/256 of a pixel.
    const double vStart = v1 + (static_cast<double>(uLo) - u1) * slope;
    if (!(std::fabs(vStart) < 1e9)) return;
    long long fixed = static_cast<long long>(FastFloor(vStart * 65536.0 + 0.5));
    const long long step = static_cast<long long>(FastFloor(slope * 65536.0 + 0.5));
    const long long lowLimit = -2 * 65536, highLimit = (vLimit + 1) * 65536;
    for (long long u = uLo; u <= uHi; ++u, fixed += step) {
      if (fixed < lowLimit || fixed > highLimit) continue;
      const long long vi = fixed >> 16;
      const int lower = static_cast<int>(((fixed & 0xffff) + 128) >> 8);
      blend(u, vi, 256 - lower);
      blend(u, vi + 1, lower);
    }
  }

  // A full-coverage run of n pixels from (x, y), down or to the right; the
  // caller has clipped it to the bitmap.
  template <class Op>
  void Run(long long x, long long y, long long n, bool down) {
    LICE_pixel* p = rows_.Row(y) + x;
    const ptrdiff_t step = down ? (rows_.flipped ? -rows_.span : rows_.span) : 1;
    const LICE_pixel colour = colour_;
    const int a = a_;
    for (long long i = 0; i < n; ++i, p += step) *p = Op::Apply(colour, *p, a);
  }

private:
  // The pixel at (x, y) and the weight a for the coverage; none outside the
  // bitmap or without weight.
  LICE_pixel* Target(long long x, long long y, int coverage, int& a) const {
    if (x < 0 || y < 0 || x >= rows_.w || y >= rows_.h || coverage <= 0) return nullptr;
    a = coverage >= 256 ? a_ : (a_ * coverage) >> 8;
    return a > 0 ? rows_.Row(y) + x : nullptr;
  }

  // An unusable bitmap gets no pixels, which makes the plotter inactive.
  static Rows Geometry(LICE_IBitmap* bm) {
    if (Usable(bm)) return Rows(bm);
    LICE_MemBitmap none;
    Rows r(&none);
    r.bits = nullptr;
    return r;
  }

  Rows rows_;
  LICE_pixel colour_ = 0;
  int mode_;
  int a_ = 0;
};

inline double RoundPixel(double v) { return std::floor(v + 0.5); }

// The integer range [lo, hi] of a line's major axis, cut to [0, limit - 1].
bool ClipRange(double lo, double hi, int limit, long long& outLo, long long& outHi) {
  lo = std::max(lo, 0.0);
  hi = std::min(hi, static_cast<double>(limit - 1));
  if (lo > hi) return false;
  outLo = static_cast<long long>(lo);
  outHi = static_cast<long long>(hi);
  return true;
}

void LineImpl(LICE_IBitmap* dest, double x1, double y1, double x2, double y2, LICE_pixel colour,
              double opacity, int mode, bool antiAlias) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  Plotter p(dest, colour, opacity, mode);
  if (!p.Active()) return;
  const double dx = x2 - x1, dy = y2 - y1;
  const bool xMajor = std::fabs(dx) >= std::fabs(dy);
  // Work along the major axis with u, v as major and minor coordinates.
  double u1 = xMajor ? x1 : y1, u2 = xMajor ? x2 : y2;
  double v1 = xMajor ? y1 : x1, v2 = xMajor ? y2 : x2;
  if (u1 > u2) {
    std::swap(u1, u2);
    std::swap(v1, v2);
  }
  const int uLimit = xMajor ? p.W() : p.H();
  const int vLimit = xMajor ? p.H() : p.W();
  long long uLo, uHi;
  if (!ClipRange(RoundPixel(u1), RoundPixel(u2), uLimit, uLo, uHi)) return;
  const double du = u2 - u1;
  const double slope = du > 0.0 ? (v2 - v1) / du : 0.0;
  // Axis-parallel lines and lines without antialiasing are single pixel runs.
  const bool exact = !antiAlias || dx == 0.0 || dy == 0.0;
  WithOp(p.Mode(), [&]<class Op>() {
    if (slope == 0.0) {
      // One exact run along the major axis (uLo..uHi is clipped already).
      if (v1 < -1.0 || v1 > vLimit) return;
      const long long v = static_cast<long long>(FastFloor(v1 + 0.5));
      if (v < 0 || v >= vLimit) return;
      if (xMajor) p.template Run<Op>(uLo, v, uHi - uLo + 1, false); else p.template Run<Op>(v, uLo, uHi - uLo + 1, true);
      return;
    }
    p.template Line<Op>(xMajor, !exact, uLo, uHi, u1, v1, slope);
  });
}

void ArcImpl(LICE_IBitmap* dest, double cx, double cy, double r, double from, double to,
             LICE_pixel colour, double opacity, int mode, bool antiAlias, bool filled) {
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || !std::isfinite(from) ||
      !std::isfinite(to) || r < 0.0)
    return;
  Plotter p(dest, colour, opacity, mode);
  if (!p.Active()) return;
  if (from > to) std::swap(from, to);
  // Boundary pixels (the ends of a quarter circle on the axes) belong to the arc.
  constexpr double kEps = 1e-5;
  const bool full = to - from >= kTwoPi - kEps;
  const double outer = r + 1.0;
  const double inner = filled ? -1.0 : r - 1.0;
  long long xLo, xHi, yLo, yHi;
  if (!ClipRange(std::floor(cx - outer), std::ceil(cx + outer), p.W(), xLo, xHi)) return;
  if (!ClipRange(std::floor(cy - outer), std::ceil(cy + outer), p.H(), yLo, yHi)) return;
  const double outer2 = outer * outer;
  const double inner2 = inner > 0.0 ? inner * inner : -1.0;
  for (long long y = yLo; y <= yHi; ++y) {
    const double ddy = static_cast<double>(y) - cy;
    for (long long x = xLo; x <= xHi; ++x) {
      const double ddx = static_cast<double>(x) - cx;
      const double d2 = ddx * ddx + ddy * ddy;
      if (d2 >= outer2 || d2 <= inner2) continue;
      const double d = std::sqrt(d2);
      double cover;
      if (filled) {
        cover = antiAlias ? std::clamp(r + 1.0 - d, 0.0, 1.0) : (d <= r + 0.5 ? 1.0 : 0.0);
      } else {
        const double off = std::fabs(d - r);
        cover = antiAlias ? 1.0 - off : (off <= 0.5 ? 1.0 : 0.0);
      }
      if (cover <= 0.0) continue;
      if (!full && d2 > 0.0) {
        double t = std::atan2(ddx, -ddy);
        const double base = from - kEps;
        t = base + std::fmod(t - base, kTwoPi);
        if (t < base) t += kTwoPi;
        if (t > to + kEps) continue;
      }
      p.Plot(x, y, static_cast<int>(cover * 256.0 + 0.5));
    }
  }
}

// Bilinear or nearest sampling for the rotated blit. Integer sample
// coordinates are pixel centres.
class Sampler {
public:
  Sampler(LICE_IBitmap* src, int x0, int y0, int x1, int y1, bool alpha)
      : rows_(src), x0_(x0), y0_(y0), x1_(x1), y1_(y1), alpha_(alpha) {}

  // False when the point shows nothing of the source.
  bool Nearest(double fx, double fy, LICE_pixel& out) const {
    if (!(fx >= x0_ - 0.5 && fy >= y0_ - 0.5 && fx < x1_ - 0.5 && fy < y1_ - 0.5)) return false;
    const double rx = FastFloor(fx + 0.5), ry = FastFloor(fy + 0.5);
    out = rows_.Row(static_cast<long long>(ry))[static_cast<int>(rx)];
    return true;
  }

  bool Bilinear(double fx, double fy, LICE_pixel& out) const {
    if (!(fx >= x0_ - 1 && fy >= y0_ - 1 && fx < x1_ && fy < y1_)) return false;
    const double flx = FastFloor(fx), fly = FastFloor(fy);
    const int ix = static_cast<int>(flx), iy = static_cast<int>(fly);
    const uint32_t wx = static_cast<uint32_t>((fx - flx) * 256.0), wy = static_cast<uint32_t>((fy - fly) * 256.0);
    const uint32_t w[4] = {(256 - wx) * (256 - wy), wx * (256 - wy), (256 - wx) * wy, wx * wy};
    LICE_pixel px[4];
    if (ix >= x0_ && iy >= y0_ && ix + 1 < x1_ && iy + 1 < y1_) {
      const LICE_pixel* r0 = rows_.Row(iy) + ix;
      const LICE_pixel* r1 = rows_.Row(iy + 1) + ix;
      px[0] = r0[0];
      px[1] = r0[1];
      px[2] = r1[0];
      px[3] = r1[1];
    } else {
      for (int k = 0; k < 4; ++k) {
        int x = ix + (k & 1), y = iy + (k >> 1);
        if (!alpha_) {
          // Without source alpha the edge pixels are repeated.
          x = std::clamp(x, x0_, x1_ - 1);
          y = std::clamp(y, y0_, y1_ - 1);
        } else if (x < x0_ || y < y0_ || x >= x1_ || y >= y1_) {
          px[k] = 0;
          continue;
        }
        px[k] = rows_.Row(y)[x];
      }
    }
    if (alpha_) {
      if ((px[0] | px[1] | px[2] | px[3]) >> 24 == 0) return false;  // all transparent
      if ((px[0] & px[1] & px[2] & px[3]) >> 24 != 0xff) return Premultiplied(px, w, out);
    }
    // Straight interpolation, two channels at a time: each weighted sum of
    // one channel stays below 2^24, so sums of alternate channels fit.
    uint64_t rb = 0, ag = 0;
    for (int k = 0; k < 4; ++k) {
      rb += static_cast<uint64_t>(w[k]) * (px[k] & 0xff00ffu);
      ag += static_cast<uint64_t>(w[k]) * ((px[k] >> 8) & 0xff00ffu);
    }
    rb = ((rb + 0x0000800000008000ull) >> 16) & 0xff00ffu;
    ag = ((ag + 0x0000800000008000ull) >> 16) & 0xff00ffu;
    out = static_cast<LICE_pixel>(rb | (ag << 8));
    return true;
  }

private:
  // Straight alpha with partly transparent neighbours: weight the colours by
  // their alpha so that transparent pixels add no dark fringe.
  static bool Premultiplied(const LICE_pixel px[4], const uint32_t w[4], LICE_pixel& out) {
    // Single precision is exact here: every weighted alpha is below 2^24.
    float sumA = 0.0f, sumR = 0.0f, sumG = 0.0f, sumB = 0.0f;
    for (int k = 0; k < 4; ++k) {
      const float aw = static_cast<float>(w[k] * static_cast<uint32_t>(LICE_A(px[k])));
      sumA += aw;
      sumR += aw * static_cast<float>(LICE_R(px[k]));
      sumG += aw * static_cast<float>(LICE_G(px[k]));
      sumB += aw * static_cast<float>(LICE_B(px[k]));
    }
    const int a = static_cast<int>((static_cast<uint32_t>(sumA) + 32768u) >> 16);
    if (a == 0) return false;
    const float inv = 1.0f / sumA;
    auto channel = [inv](float sum) { return std::min(255, static_cast<int>(sum * inv + 0.5f)); };
    out = LICE_ARGB(a, channel(sumR), channel(sumG), channel(sumB));
    return true;
  }

  Rows rows_;
  int x0_, y0_, x1_, y1_;
  bool alpha_;
};

}  // namespace

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, int srcX, int srcY,
               int w, int h, float opacity, int mode) {
  const int a = OpacityToA(opacity);
  if (a <= 0 || !Usable(dest) || !Usable(src)) return;
  long long sx = srcX, sy = srcY, dx = dstX, dy = dstY, cw = w, ch = h;
  // Clip to the source, then to the destination, moving the other side along.
  if (sx < 0) { cw += sx; dx -= sx; sx = 0; }
  if (sy < 0) { ch += sy; dy -= sy; sy = 0; }
  cw = std::min(cw, src->Width() - sx);
  ch = std::min(ch, src->Height() - sy);
  if (dx < 0) { cw += dx; sx -= dx; dx = 0; }
  if (dy < 0) { ch += dy; sy -= dy; dy = 0; }
  cw = std::min(cw, dest->Width() - dx);
  ch = std::min(ch, dest->Height() - dy);
  if (cw <= 0 || ch <= 0) return;

  // A blit within one bitmap reads from a copy of the source rectangle.
  LICE_MemBitmap copy;
  if (dest == src) {
    if (!copy.Resize(static_cast<int>(cw), static_cast<int>(ch)) || !copy.Bits()) return;
    for (long long y = 0; y < ch; ++y)
      std::memcpy(LICE_Row(&copy, static_cast<int>(y)), LICE_Row(src, static_cast<int>(sy + y)) + sx,
                  static_cast<size_t>(cw) * sizeof(LICE_pixel));
    src = &copy;
    sx = sy = 0;
  }

  const int n = static_cast<int>(cw);
  if (a == 256 && (mode & (LICE_BLIT_MODE_MASK | LICE_BLIT_USE_ALPHA)) == LICE_BLIT_MODE_COPY) {
    for (long long y = 0; y < ch; ++y)
      std::memcpy(LICE_Row(dest, static_cast<int>(dy + y)) + dx, LICE_Row(src, static_cast<int>(sy + y)) + sx,
                  static_cast<size_t>(n) * sizeof(LICE_pixel));
    return;
  }
  WithOp(mode, [&]<class Op>() {
    for (long long y = 0; y < ch; ++y) {
      LICE_pixel* d = LICE_Row(dest, static_cast<int>(dy + y)) + dx;
      const LICE_pixel* s = LICE_Row(src, static_cast<int>(sy + y)) + sx;
      for (int x = 0; x < n; ++x) d[x] = Op::Apply(s[x], d[x], a);
    }
  });
}

void LICE_RotatedBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, int dstW, int dstH,
                      float srcX, float srcY, float srcW, float srcH, float angle, bool clipToSource,
                      float opacity, int mode, float rotOffsetX, float rotOffsetY) {
  const int a = OpacityToA(opacity);
  if (a <= 0 || !Usable(dest) || !Usable(src) || dstW <= 0 || dstH <= 0) return;
  for (float v : {srcX, srcY, srcW, srcH, angle, rotOffsetX, rotOffsetY})
    if (!std::isfinite(v) || std::fabs(v) > 1e7f) return;

  long long x0 = std::max<long long>(dstX, 0), y0 = std::max<long long>(dstY, 0);
  long long x1 = std::min<long long>(static_cast<long long>(dstX) + dstW, dest->Width());
  long long y1 = std::min<long long>(static_cast<long long>(dstY) + dstH, dest->Height());
  if (x0 >= x1 || y0 >= y1) return;

  // Source limits: the bitmap, and the source rectangle when asked.
  int lx0 = 0, ly0 = 0, lx1 = src->Width(), ly1 = src->Height();
  if (clipToSource) {
    lx0 = std::max(lx0, static_cast<int>(std::floor(srcX)));
    ly0 = std::max(ly0, static_cast<int>(std::floor(srcY)));
    lx1 = std::min(lx1, static_cast<int>(std::ceil(srcX + srcW)));
    ly1 = std::min(ly1, static_cast<int>(std::ceil(srcY + srcH)));
    if (lx0 >= lx1 || ly0 >= ly1) return;
  }
  const bool srcAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  const Sampler sampler(src, lx0, ly0, lx1, ly1, srcAlpha);
  const bool bilinear = (mode & LICE_BLIT_FILTER_BILINEAR) != 0;

  // Destination pixel centre p relative to the rotation centre c, turned back
  // by the angle, gives the point of the unrotated destination rectangle; that
  // is scaled onto the source rectangle.
  const double cx = dstX + dstW * 0.5 + rotOffsetX, cy = dstY + dstH * 0.5 + rotOffsetY;
  const double cosA = std::cos(static_cast<double>(angle)), sinA = std::sin(static_cast<double>(angle));
  const double scaleX = static_cast<double>(srcW) / dstW, scaleY = static_cast<double>(srcH) / dstH;
  const double stepX = cosA * scaleX, stepY = -sinA * scaleY;  // per destination column

  WithOp(mode, [&]<class Op>() {
    for (long long y = y0; y < y1; ++y) {
      const double ry = static_cast<double>(y) + 0.5 - cy;
      const double rx = static_cast<double>(x0) + 0.5 - cx;
      double fx = srcX + (cx + rx * cosA + ry * sinA - dstX) * scaleX - 0.5;
      double fy = srcY + (cy - rx * sinA + ry * cosA - dstY) * scaleY - 0.5;
      LICE_pixel* d = LICE_Row(dest, static_cast<int>(y));
      for (long long x = x0; x < x1; ++x, fx += stepX, fy += stepY) {
        LICE_pixel s;
        if (bilinear ? sampler.Bilinear(fx, fy, s) : sampler.Nearest(fx, fy, s)) d[x] = Op::Apply(s, d[x], a);
      }
    }
  });
}

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel colour, float opacity,
                   int mode) {
  if (w <= 0 || h <= 0 || !Usable(dest)) return;
  double op = opacity;
  if (mode & LICE_BLIT_USE_ALPHA) {
    op *= LICE_A(colour) / 255.0;
    colour = WithAlpha(colour, 255);
  }
  const int a = OpacityToA(op);
  if (a <= 0) return;
  const long long x0 = std::max<long long>(x, 0), y0 = std::max<long long>(y, 0);
  const long long x1 = std::min<long long>(static_cast<long long>(x) + w, dest->Width());
  const long long y1 = std::min<long long>(static_cast<long long>(y) + h, dest->Height());
  if (x0 >= x1 || y0 >= y1) return;
  const int n = static_cast<int>(x1 - x0);
  if (a == 256 && (mode & LICE_BLIT_MODE_MASK) == LICE_BLIT_MODE_COPY) {
    for (long long row = y0; row < y1; ++row) std::fill_n(LICE_Row(dest, static_cast<int>(row)) + x0, n, colour);
    return;
  }
  WithOp(mode, [&]<class Op>() {
    for (long long row = y0; row < y1; ++row) {
      LICE_pixel* d = LICE_Row(dest, static_cast<int>(row)) + x0;
      for (int i = 0; i < n; ++i) d[i] = Op::Apply(colour, d[i], a);
    }
  });
}

void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel colour, float opacity,
               int mode, bool antiAlias) {
  LineImpl(dest, x1, y1, x2, y2, colour, opacity, mode, antiAlias);
}

void LICE_LineF(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel colour,
                float opacity, int mode, bool antiAlias) {
  LineImpl(dest, x1, y1, x2, y2, colour, opacity, mode, antiAlias);
}

void LICE_Arc(LICE_IBitmap* dest, float cx, float cy, float r, float angleFrom, float angleTo,
              LICE_pixel colour, float opacity, int mode, bool antiAlias) {
  ArcImpl(dest, cx, cy, r, angleFrom, angleTo, colour, opacity, mode, antiAlias, false);
}

void LICE_FilledArc(LICE_IBitmap* dest, float cx, float cy, float r, float angleFrom, float angleTo,
                    LICE_pixel colour, float opacity, int mode, bool antiAlias) {
  ArcImpl(dest, cx, cy, r, angleFrom, angleTo, colour, opacity, mode, antiAlias, true);
}
