#include "framework/Maths.h"

#include <cmath>
#include <limits>

namespace quarv {
namespace {

// A value hi + lo with |lo| at most half a unit in the last place of hi. The
// build has no fused multiply-add (-ffp-contract=off), so products are split
// by hand.
struct DD {
  double hi = 0.0, lo = 0.0;
};

DD TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// Needs |a| >= |b| or a == 0.
DD QuickTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// Veltkamp's split into two 26-bit halves; fine for |a| < 2^995.
void Split(double a, double& hi, double& lo) {
  const double t = 134217729.0 * a;
  hi = t - (t - a);
  lo = a - hi;
}

DD TwoProd(double a, double b) {
  const double p = a * b;
  double ah, al, bh, bl;
  Split(a, ah, al);
  Split(b, bh, bl);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// Relative error about 2^-104 even when the terms cancel.
DD Add(DD a, DD b) {
  DD s = TwoSum(a.hi, b.hi);
  const DD t = TwoSum(a.lo, b.lo);
  s.lo += t.hi;
  s = QuickTwoSum(s.hi, s.lo);
  s.lo += t.lo;
  return QuickTwoSum(s.hi, s.lo);
}

DD Neg(DD a) { return {-a.hi, -a.lo}; }

DD Mul(DD a, DD b) {
  DD p = TwoProd(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return QuickTwoSum(p.hi, p.lo);
}

DD Div(DD a, DD b) {
  const double q1 = a.hi / b.hi;
  DD r = Add(a, Neg(Mul(b, DD{q1, 0.0})));
  const double q2 = r.hi / b.hi;
  r = Add(r, Neg(Mul(b, DD{q2, 0.0})));
  const double q3 = r.hi / b.hi;
  return Add(QuickTwoSum(q1, q2), DD{q3, 0.0});
}

// Exact multiples of 2 scale both halves.
DD Scale(DD a, int e) { return {std::ldexp(a.hi, e), std::ldexp(a.lo, e)}; }

// ln 2 and pi/2 to about 160 bits, each as three doubles.
constexpr double kLn2[3] = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56, 0x1.7b57a079a1934p-111};
constexpr double kPiHalf[3] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110};

// x − k·c for the three-part constant c, k an integer below 2^20.
DD Reduce(double x, double k, const double (&c)[3]) {
  DD r = Add(DD{x, 0.0}, Neg(TwoProd(k, c[0])));
  r = Add(r, Neg(TwoProd(k, c[1])));
  return Add(r, DD{-k * c[2], 0.0});
}

// Rounds hi + lo to the nearest double (ties to even).
double Round(DD a) { return a.hi + a.lo; }

// Rounds a · 2^e to the nearest double when the result is subnormal: to a
// whole multiple of 2^-1074, from the unrounded double-double.
double RoundSubnormal(DD a, int e) {
  const DD scaled = Scale(a, e + 1074);
  double n = std::nearbyint(scaled.hi);
  const double rest = (scaled.hi - n) + scaled.lo;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(n, 2.0) != 0.0)) n += 1.0;
  else if (rest < -0.5 || (rest == -0.5 && std::fmod(n, 2.0) != 0.0)) n -= 1.0;
  return std::ldexp(n, -1074);
}

}  // namespace

double ExpCorrectlyRounded(double x) {
  if (std::isnan(x)) return x + x;
  if (x > 710.0) return std::numeric_limits<double>::infinity();
  if (x < -746.0) return 0.0;

  // x = k·ln 2 + r with |r| <= ln 2 / 2, then r = 256·s.
  const double k = std::nearbyint(x * 0x1.71547652b82fep+0);
  const DD s = Scale(Reduce(x, k, kLn2), -8);

  // e^s − 1 by Horner's scheme, s·(1 + s/2·(1 + s/3·(...))): |s| < 2^-9, so
  // eleven terms reach 2^-110.
  DD t{1.0, 0.0};
  for (int n = 11; n >= 2; --n) t = Add(DD{1.0, 0.0}, Div(Mul(s, t), DD{static_cast<double>(n), 0.0}));
  DD m = Mul(s, t);
  // Square eight times, keeping e^s − 1: (1 + m)^2 − 1 = 2m + m².
  for (int i = 0; i < 8; ++i) m = Add(Scale(m, 1), Mul(m, m));
  const DD e = Add(DD{1.0, 0.0}, m);

  const int exponent = static_cast<int>(k);
  if (exponent < -1021) {
    // Below 2^-1022 the result is subnormal and rounds at a coarser place.
    int top = 0;
    std::frexp(e.hi, &top);
    if (top + exponent - 1 < -1022) return RoundSubnormal(e, exponent);
  }
  return std::ldexp(Round(e), exponent);
}

double TanCorrectlyRounded(double x) {
  if (!std::isfinite(x)) return x - x;
  // Below 2^-27, x³/3 is less than half a unit in the last place of x.
  if (std::fabs(x) < 0x1p-27) return x;
  if (std::fabs(x) > 0x1p20) return std::tan(x);

  // x = k·π/2 + r with |r| <= π/4; tan x is tan r for even k, −1/tan r for odd.
  const double k = std::nearbyint(x * 0x1.45f306dc9c883p-1);
  const DD r = Reduce(x, k, kPiHalf);
  const DD r2 = Mul(r, r);

  // sin r = r·(1 − r²/(2·3)·(1 − r²/(4·5)·(...))) and
  // cos r = 1 − r²/(1·2)·(1 − r²/(3·4)·(...)), fifteen factors each so the
  // last term is below 2^-110 for |r| <= π/4.
  DD sinPoly{1.0, 0.0}, cosPoly{1.0, 0.0};
  for (int n = 30; n >= 2; n -= 2) {
    const double sinDiv = static_cast<double>(n) * (n + 1);
    const double cosDiv = static_cast<double>(n - 1) * n;
    sinPoly = Add(DD{1.0, 0.0}, Neg(Div(Mul(r2, sinPoly), DD{sinDiv, 0.0})));
    cosPoly = Add(DD{1.0, 0.0}, Neg(Div(Mul(r2, cosPoly), DD{cosDiv, 0.0})));
  }
  const DD sinR = Mul(r, sinPoly);
  const bool odd = std::fmod(k, 2.0) != 0.0;
  return Round(odd ? Neg(Div(cosPoly, sinR)) : Div(sinR, cosPoly));
}

}  // namespace quarv
