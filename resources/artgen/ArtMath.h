// Arithmetic for the image generator that gives the same bits on every
// machine: only IEEE basic operations and sqrt, never the C library's
// transcendental functions (whose last bit may differ between CPU variants
// and so change a pixel of an image that must be reproduced exactly).
#pragma once

#include <cmath>
#include <cstdint>

namespace art {

constexpr double kPi = 3.14159265358979323846;

inline double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline double Clamp01(double v) { return Clamp(v, 0.0, 1.0); }
inline double Mix(double a, double b, double t) { return a + (b - a) * t; }
inline double Smooth(double edge0, double edge1, double x) {
  const double t = Clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0 - 2.0 * t);
}
inline double Length(double x, double y) { return std::sqrt(x * x + y * y); }

// sin and cos to about 1e-15 by reduction to [-pi/4, pi/4] and Taylor series.
double Sin(double x);
double Cos(double x);
// atan2 to about 1e-12, in (-pi, pi].
double Atan2(double y, double x);
// e^x to about 1e-15.
double Exp(double x);
// Natural logarithm of x > 0 to about 1e-15; -inf-like -1e300 for x <= 0.
double Log(double x);
// base^e for base > 0; 0 for base <= 0.
inline double Pow(double base, double e) { return base > 0.0 ? Exp(e * Log(base)) : 0.0; }

// Integer hash to [0, 1), and smooth value noise built on it. seed picks an
// independent field.
double Hash(int32_t x, int32_t y, uint32_t seed);
double Noise1(double x, int32_t row, uint32_t seed);
double Noise2(double x, double y, uint32_t seed);

}  // namespace art
