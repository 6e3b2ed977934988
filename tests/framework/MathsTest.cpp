// The correctly rounded exp and tan that Windows builds use. They give
// glibc's results for the engine's arguments except where glibc itself
// misrounds (its exp and tan are accurate to about half a unit in the last
// place, not correctly rounded, and its results depend on whether the CPU
// has fused multiply-add); those few arguments are listed with the correctly
// rounded values, worked out in 300-bit arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "framework/Maths.h"

namespace {

using quarv::ExpCorrectlyRounded;
using quarv::TanCorrectlyRounded;

// Sample rates hosts use.
constexpr double kRates[] = {8000.0,  11025.0, 16000.0,  22050.0,  32000.0,  44100.0,  48000.0,
                             64000.0, 88200.0, 96000.0, 176400.0, 192000.0, 352800.0, 384000.0};

struct HardCase {
  double x, rounded;
};

// Within a thousandth of a unit of a rounding midpoint: attack or release of
// 507.4 ms at 8 kHz (253.7 ms at 16 kHz), 424.6 ms at 11.025 kHz, 212.3 ms at
// 22.05 kHz, and an input gain of +8.5 dB.
constexpr HardCase kExpHardCases[] = {
    {-0x1.025223513ad41p-12, 0x1.ffdfb6c03a077p-1},
    {-0x1.bffe3b86e7b7cp-13, 0x1.ffe400e042731p-1},
    {0x1.f50ae258110a4p-1, 0x1.5492a385bde46p+1},
};
// Shelf corners at 8028, 33379, 48246, 61112 and 72871 Hz.
constexpr HardCase kTanHardCases[] = {
    {0x1.510063db73cd2p-1, 0x1.8be5638368dc1p-1}, {0x1.4435a9b39faf6p-3, 0x1.46f20233b1b6fp-3},
    {0x1.c09be20cebc82p-4, 0x1.c2694c3a4b8e7p-4}, {0x1.6229a146bd981p-4, 0x1.630c414392d79p-4},
    {0x1.29032861a8ec9p-4, 0x1.2988b49d2d95dp-4},
};

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

bool IsHardExp(double x) {
  return std::any_of(std::begin(kExpHardCases), std::end(kExpHardCases), [x](const HardCase& c) { return c.x == x; });
}

TEST(Maths, HardCasesRoundToNearest) {
  for (const HardCase& c : kExpHardCases) EXPECT_EQ(Bits(ExpCorrectlyRounded(c.x)), Bits(c.rounded)) << c.x;
  for (const HardCase& c : kTanHardCases) EXPECT_EQ(Bits(TanCorrectlyRounded(c.x)), Bits(c.rounded)) << c.x;
}

TEST(Maths, TimeConstantsAndGainsEqualGlibcExceptItsMisroundings) {
  // Attack 0.1..500 ms and release 1..1000 ms, in tenths, as the engine's
  // one-pole coefficient computes them, then the input gain's tenths of dB.
  int checked = 0;
  for (double rate : kRates) {
    for (int tenths = 1; tenths <= 10000; ++tenths, ++checked) {
      const double x = -1.0 / (tenths * rate * 0.0001);
      if (IsHardExp(x)) continue;
      ASSERT_EQ(Bits(ExpCorrectlyRounded(x)), Bits(std::exp(x))) << "tenths " << tenths << " at " << rate;
    }
  }
  for (int q = -180; q <= 180; ++q, ++checked) {
    const double x = q * 0.1 * 0.11512925464970228;
    if (IsHardExp(x)) continue;
    ASSERT_EQ(Bits(ExpCorrectlyRounded(x)), Bits(std::exp(x))) << q;
  }
  EXPECT_EQ(checked, 140361);
}

TEST(Maths, FilterCornersEqualGlibcAtTheUsualRates) {
  for (double rate : kRates) {
    for (double piF0 : {5284.078578647628, 119.8061151453059}) {
      const double x = std::min(piF0 / rate, 0.45 * M_PI);
      EXPECT_EQ(Bits(TanCorrectlyRounded(x)), Bits(std::tan(x))) << rate;
    }
  }
}

TEST(Maths, ExpEdgesAndExactValues) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ExpCorrectlyRounded(0.0), 1.0);
  EXPECT_EQ(ExpCorrectlyRounded(-0.0), 1.0);
  EXPECT_EQ(ExpCorrectlyRounded(1.0), std::exp(1.0));
  EXPECT_EQ(ExpCorrectlyRounded(-1.0), std::exp(-1.0));
  EXPECT_EQ(ExpCorrectlyRounded(inf), inf);
  EXPECT_EQ(ExpCorrectlyRounded(-inf), 0.0);
  EXPECT_TRUE(std::isnan(ExpCorrectlyRounded(std::nan(""))));
  EXPECT_EQ(ExpCorrectlyRounded(709.7), std::exp(709.7));
  EXPECT_EQ(ExpCorrectlyRounded(709.79), inf);
  // Results below 2^-1022 round at the subnormal places.
  for (double x : {-708.0, -710.0, -720.5, -740.0, -744.4, -745.1, -745.2, -800.0}) {
    EXPECT_EQ(Bits(ExpCorrectlyRounded(x)), Bits(std::exp(x))) << x;
  }
  // Tiny arguments round to 1 or just below it.
  EXPECT_EQ(ExpCorrectlyRounded(0x1p-60), 1.0);
  EXPECT_EQ(ExpCorrectlyRounded(-0x1p-52), std::exp(-0x1p-52));
}

TEST(Maths, TanEdgesAndSymmetry) {
  EXPECT_EQ(Bits(TanCorrectlyRounded(-0.0)), Bits(-0.0));
  EXPECT_EQ(TanCorrectlyRounded(1e-10), 1e-10);
  EXPECT_TRUE(std::isnan(TanCorrectlyRounded(std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(TanCorrectlyRounded(std::nan(""))));
  // Either side of the pole at pi/2, and in the second and third quarters.
  for (double x : {1.5707963267948966, 1.5707963267948963, 1.0, 2.0, 3.0, 4.0, 0.785398163397448, 100.0}) {
    EXPECT_EQ(Bits(TanCorrectlyRounded(x)), Bits(std::tan(x))) << x;
    EXPECT_EQ(TanCorrectlyRounded(-x), -TanCorrectlyRounded(x)) << x;
  }
}

}  // namespace
