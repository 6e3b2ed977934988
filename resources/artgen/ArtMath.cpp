#include "resources/artgen/ArtMath.h"

namespace art {

namespace {

// Taylor series on |x| <= pi/4.
double SinPoly(double x) {
  const double x2 = x * x;
  double term = x, sum = x;
  for (int n = 1; n <= 10; ++n) {
    term = -term * x2 / ((2.0 * n) * (2.0 * n + 1.0));
    sum += term;
  }
  return sum;
}

double CosPoly(double x) {
  const double x2 = x * x;
  double term = 1.0, sum = 1.0;
  for (int n = 1; n <= 10; ++n) {
    term = -term * x2 / ((2.0 * n - 1.0) * (2.0 * n));
    sum += term;
  }
  return sum;
}

// Quadrant q (0..3) and remainder r in [-pi/4, pi/4] with x = q·pi/2 + r.
void Reduce(double x, int& q, double& r) {
  const double k = std::floor(x / (kPi / 2.0) + 0.5);
  r = x - k * (kPi / 2.0);
  const double m = k - 4.0 * std::floor(k / 4.0);
  q = static_cast<int>(m);
}

// atan on |t| <= tan(pi/8) by its series.
double AtanSmall(double t) {
  const double t2 = t * t;
  double term = t, sum = t;
  for (int n = 1; n <= 14; ++n) {
    term = -term * t2;
    sum += term / (2.0 * n + 1.0);
  }
  return sum;
}

double Atan(double t) {
  const bool neg = t < 0.0;
  if (neg) t = -t;
  double r;
  if (t > 1.0) {
    r = kPi / 2.0 - Atan(1.0 / t);
  } else if (t > 0.41421356237309503) {
    r = kPi / 4.0 + AtanSmall((t - 1.0) / (t + 1.0));
  } else {
    r = AtanSmall(t);
  }
  return neg ? -r : r;
}

uint32_t Mix32(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7feb352dU;
  h ^= h >> 15;
  h *= 0x846ca68bU;
  h ^= h >> 16;
  return h;
}

double Fade(double t) { return t * t * (3.0 - 2.0 * t); }

}  // namespace

double Sin(double x) {
  int q;
  double r;
  Reduce(x, q, r);
  switch (q) {
    case 0: return SinPoly(r);
    case 1: return CosPoly(r);
    case 2: return -SinPoly(r);
    default: return -CosPoly(r);
  }
}

double Cos(double x) {
  int q;
  double r;
  Reduce(x, q, r);
  switch (q) {
    case 0: return CosPoly(r);
    case 1: return -SinPoly(r);
    case 2: return -CosPoly(r);
    default: return SinPoly(r);
  }
}

double Atan2(double y, double x) {
  if (x > 0.0) return Atan(y / x);
  if (x < 0.0) return y >= 0.0 ? Atan(y / x) + kPi : Atan(y / x) - kPi;
  if (y > 0.0) return kPi / 2.0;
  if (y < 0.0) return -kPi / 2.0;
  return 0.0;
}

double Exp(double x) {
  if (x < -700.0) return 0.0;
  if (x > 700.0) x = 700.0;
  const double ln2 = 0.69314718055994530942;
  const double k = std::floor(x / ln2 + 0.5);
  const double r = x - k * ln2;
  double term = 1.0, sum = 1.0;
  for (int n = 1; n <= 16; ++n) {
    term = term * r / n;
    sum += term;
  }
  return std::ldexp(sum, static_cast<int>(k));
}

double Log(double x) {
  if (x <= 0.0) return -1e300;
  int e = 0;
  double m = std::frexp(x, &e);  // x = m·2^e, m in [0.5, 1)
  if (m < 0.70710678118654752) {
    m *= 2.0;
    --e;
  }
  // log(m) = 2·atanh(s) with s = (m - 1) / (m + 1), |s| < 0.172.
  const double s = (m - 1.0) / (m + 1.0), s2 = s * s;
  double term = s, sum = s;
  for (int n = 1; n <= 12; ++n) {
    term *= s2;
    sum += term / (2.0 * n + 1.0);
  }
  return 2.0 * sum + e * 0.69314718055994530942;
}

double Hash(int32_t x, int32_t y, uint32_t seed) {
  const uint32_t h = Mix32(static_cast<uint32_t>(x) * 0x9e3779b1U ^ Mix32(static_cast<uint32_t>(y) + seed * 0x85ebca77U));
  return (h >> 8) * (1.0 / 16777216.0);
}

double Noise1(double x, int32_t row, uint32_t seed) {
  const double fx = std::floor(x);
  const auto ix = static_cast<int32_t>(fx);
  return Mix(Hash(ix, row, seed), Hash(ix + 1, row, seed), Fade(x - fx));
}

double Noise2(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  const double tx = Fade(x - fx), ty = Fade(y - fy);
  const double a = Mix(Hash(ix, iy, seed), Hash(ix + 1, iy, seed), tx);
  const double b = Mix(Hash(ix, iy + 1, seed), Hash(ix + 1, iy + 1, seed), tx);
  return Mix(a, b, ty);
}

}  // namespace art
