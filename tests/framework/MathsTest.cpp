// The correctly rounded exp and tan that Windows builds use give glibc's
// results for every argument the engine passes, so both platforms compute the
// same coefficients and the same samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "framework/Maths.h"

namespace {

using quarv::ExpCorrectlyRounded;
using quarv::TanCorrectlyRounded;

// Sample rates hosts use, and a few odd ones.
constexpr double kRates[] = {8000.0,  11025.0,  16000.0,  22050.0,  32000.0,  44100.0,  48000.0, 64000.0,
                             88200.0, 96000.0,  176400.0, 192000.0, 352800.0, 384000.0, 44099.5, 12345.6};

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

TEST(Maths, TimeConstantsEqualGlibcAtEveryTenthOfAMillisecond) {
  // Attack 0.1..500 ms and release 1..1000 ms, in tenths, as the engine's
  // one-pole coefficient computes them.
  int checked = 0;
  for (double rate : kRates) {
    for (int tenths = 1; tenths <= 10000; ++tenths) {
      const double x = -1.0 / (tenths * rate * 0.0001);
      ASSERT_EQ(Bits(ExpCorrectlyRounded(x)), Bits(std::exp(x))) << "tenths " << tenths << " at " << rate;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 160000);
}

TEST(Maths, InputGainFactorsEqualGlibc) {
  for (int q = -180; q <= 180; ++q) {
    const double x = q * 0.1 * 0.11512925464970228;
    ASSERT_EQ(Bits(ExpCorrectlyRounded(x)), Bits(std::exp(x))) << q;
  }
}

TEST(Maths, FilterCornersEqualGlibcAtEveryWholeRate) {
  for (int rate = 8000; rate <= 384000; ++rate) {
    for (double piF0 : {5284.078578647628, 119.8061151453059}) {
      const double x = std::min(piF0 / rate, 0.45 * M_PI);
      ASSERT_EQ(Bits(TanCorrectlyRounded(x)), Bits(std::tan(x))) << rate;
    }
  }
  for (double rate : kRates) {
    const double x = 5284.078578647628 / rate;
    EXPECT_EQ(Bits(TanCorrectlyRounded(x)), Bits(std::tan(x))) << rate;
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
