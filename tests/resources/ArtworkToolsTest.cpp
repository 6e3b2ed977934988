// The image generator's own arithmetic and drawing surfaces: the portable
// functions agree with the C library, shapes have the right signed
// distances, and canvases turn into 8-bit straight-alpha pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "resources/artgen/Canvas.h"

using namespace art;

TEST(ArtMath, PortableFunctionsMatchTheLibraryAcrossTheirRange) {
  for (double x = -20.0; x <= 20.0; x += 0.0137) {
    EXPECT_NEAR(Sin(x), std::sin(x), 1e-13) << x;
    EXPECT_NEAR(Cos(x), std::cos(x), 1e-13) << x;
    EXPECT_NEAR(Exp(x), std::exp(x), std::exp(x) * 1e-13) << x;
    EXPECT_NEAR(Log(std::fabs(x) + 1e-3), std::log(std::fabs(x) + 1e-3), 1e-13) << x;
    for (double y : {-3.0, -0.4, 0.0, 0.7, 5.0}) EXPECT_NEAR(Atan2(y, x), std::atan2(y, x), 1e-11) << y << ", " << x;
  }
  EXPECT_DOUBLE_EQ(Atan2(1.0, 0.0), kPi / 2);
  EXPECT_DOUBLE_EQ(Atan2(-1.0, 0.0), -kPi / 2);
  EXPECT_NEAR(Pow(2.0, 10.0), 1024.0, 1e-9);
  EXPECT_EQ(Pow(0.0, 2.0), 0.0);
  EXPECT_EQ(Exp(-800.0), 0.0);
}

TEST(ArtMath, NoiseIsRepeatableAndInRange) {
  for (int i = 0; i < 200; ++i) {
    const double v = Noise2(i * 0.37, i * 0.11, 7);
    EXPECT_GE(v, 0.0);
    EXPECT_LT(v, 1.0);
    EXPECT_EQ(v, Noise2(i * 0.37, i * 0.11, 7));
  }
  EXPECT_NE(Hash(3, 4, 1), Hash(3, 4, 2));
  EXPECT_EQ(Noise1(5.0, 2, 9), Hash(5, 2, 9));  // lattice points take the hash
}

TEST(ArtShapes, SignedDistances) {
  EXPECT_DOUBLE_EQ(SdCircle(13.0, 10.0, 10.0, 10.0, 2.0), 1.0);
  EXPECT_DOUBLE_EQ(SdRoundRect(5.0, 5.0, 0.0, 0.0, 10.0, 10.0, 2.0), -5.0);
  EXPECT_DOUBLE_EQ(SdRoundRect(12.0, 5.0, 0.0, 0.0, 10.0, 10.0, 2.0), 2.0);
  EXPECT_NEAR(SdRoundRect(11.0, 11.0, 0.0, 0.0, 10.0, 10.0, 2.0), std::sqrt(18.0) - 2.0, 1e-12);
  const double square[8] = {0, 0, 4, 0, 4, 4, 0, 4};
  EXPECT_DOUBLE_EQ(SdPolygon(1.0, 2.0, square, 4), -1.0);
  EXPECT_DOUBLE_EQ(SdPolygon(6.0, 2.0, square, 4), 2.0);
  // An arc over the bottom (from 3 to 9 o'clock through 6) passes pi.
  EXPECT_NEAR(SdArc(0.0, 5.0, 0.0, 0.0, 5.0, 1.0, kPi / 2, 3 * kPi / 2), -1.0, 1e-12);
  EXPECT_NEAR(SdArc(0.0, -5.0, 0.0, 0.0, 5.0, 1.0, kPi / 2, 3 * kPi / 2), std::sqrt(50.0) - 1.0, 1e-9);
}

TEST(ArtCanvas, PixelsAreStraightAlphaRoundedAndClearWhereTransparent) {
  Canvas c(3, 1);
  c.Over(0, 0, Rgb{1.0, 0.5, 0.0}, 1.0);
  c.Over(1, 0, Rgb{1.0, 0.5, 0.0}, 0.5);
  c.Over(2, 0, Rgb{1.0, 1.0, 1.0}, 0.001);
  const auto rgba = c.ToBitmap(true);
  EXPECT_EQ(LICE_Row(rgba.get(), 0)[0], LICE_ARGB(255, 255, 128, 0));
  EXPECT_EQ(LICE_Row(rgba.get(), 0)[1], LICE_ARGB(128, 255, 128, 0));
  EXPECT_EQ(LICE_Row(rgba.get(), 0)[2], 0u);
  const auto rgb = c.ToBitmap(false);
  EXPECT_EQ(LICE_Row(rgb.get(), 0)[1], LICE_ARGB(255, 128, 64, 0));

  // A filled shape is antialiased along its edge: a half-covered pixel gets
  // half the opacity.
  Canvas d(4, 1);
  d.Fill([](double x, double) { return x - 2.0; }, kWhite);
  EXPECT_DOUBLE_EQ(d.At(1, 0).a, 1.0);
  EXPECT_DOUBLE_EQ(d.At(2, 0).a, 0.0);
  Canvas e(4, 1);
  e.Fill([](double x, double) { return x - 2.5; }, kWhite);
  EXPECT_DOUBLE_EQ(e.At(2, 0).a, 0.5);
}
