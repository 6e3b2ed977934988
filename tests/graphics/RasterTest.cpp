// Pixel operations of the raster layer: the combine formulas, clipping,
// flipped bitmaps, fills, lines, arcs, the rotated blit and PNG decoding and
// encoding.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "GfxTestUtil.h"
#include "graphics/raster/LicePng.h"
#include "graphics/raster/LiceRaster.h"

using gfxtest::At;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSrcAlpha = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;

// Blits one source pixel over one destination pixel and returns the result.
LICE_pixel Combine(LICE_pixel s, LICE_pixel d, float opacity, int mode) {
  LICE_MemBitmap src(1, 1), dst(1, 1);
  At(&src, 0, 0) = s;
  At(&dst, 0, 0) = d;
  LICE_Blit(&dst, &src, 0, 0, 0, 0, 1, 1, opacity, mode);
  return At(&dst, 0, 0);
}

}  // namespace

TEST(RasterBlend, CopyAtFullOpacityIsExactAlphaIncluded) {
  EXPECT_EQ(Combine(0x12345678u, 0xffffffffu, 1.0f, LICE_BLIT_MODE_COPY), 0x12345678u);
}

TEST(RasterBlend, CopyAtHalfIsTheAverageRoundedTowardTheSource) {
  // s + (d − s)·128 / 256 with C's division: 255 over 0 gives 128, 0 over
  // 255 gives 127.
  const LICE_pixel s = LICE_ARGB(255, 200, 0, 17), d = LICE_ARGB(0, 100, 255, 18);
  EXPECT_EQ(Combine(s, d, 0.5f, LICE_BLIT_MODE_COPY), LICE_ARGB(128, 150, 127, 17));
  EXPECT_EQ(Combine(d, s, 0.5f, LICE_BLIT_MODE_COPY), LICE_ARGB(127, 150, 128, 18));
}

TEST(RasterBlend, CopyAtQuarterWeighsSourceByOneQuarter) {
  // s + (d − s)·192 / 256 per channel, truncated toward zero.
  const LICE_pixel s = LICE_ARGB(255, 200, 0, 17), d = LICE_ARGB(0, 100, 255, 18);
  EXPECT_EQ(Combine(s, d, 0.25f, LICE_BLIT_MODE_COPY), LICE_ARGB(64, 125, 191, 17));
}

TEST(RasterBlend, CopyMatchesTheIntegerFormulaEverywhere) {
  for (int a : {1, 37, 128, 200, 255}) {
    for (int sv = 0; sv < 256; sv += 5) {
      for (int dv = 0; dv < 256; dv += 3) {
        const LICE_pixel s = LICE_ARGB(sv, 255 - sv, dv, sv ^ dv), d = LICE_ARGB(dv, sv, 255 - dv, 7);
        const LICE_pixel got = Combine(s, d, a / 256.0f, LICE_BLIT_MODE_COPY);
        for (int shift = 0; shift < 32; shift += 8) {
          const int sc = static_cast<int>((s >> shift) & 0xff), dc = static_cast<int>((d >> shift) & 0xff);
          ASSERT_EQ(static_cast<int>((got >> shift) & 0xff), sc + (dc - sc) * (256 - a) / 256)
              << "a " << a << " s " << sc << " d " << dc;
        }
      }
    }
  }
}

TEST(RasterBlend, AddSaturatesEachChannel) {
  const LICE_pixel s = LICE_ARGB(10, 200, 100, 0), d = LICE_ARGB(250, 100, 100, 5);
  EXPECT_EQ(Combine(s, d, 1.0f, LICE_BLIT_MODE_ADD), LICE_ARGB(255, 255, 200, 5));
  EXPECT_EQ(Combine(s, d, 0.5f, LICE_BLIT_MODE_ADD), LICE_ARGB(255, 200, 150, 5));
}

TEST(RasterBlend, SourceOverFollowsSourceAlpha) {
  const LICE_pixel d = LICE_ARGB(255, 0, 255, 100);
  // A = 0 leaves the destination alone, whatever its colour.
  EXPECT_EQ(Combine(LICE_ARGB(0, 255, 255, 255), d, 1.0f, kSrcAlpha), d);
  // A = 255 at full opacity sets the colour.
  EXPECT_EQ(Combine(LICE_ARGB(255, 9, 8, 7), d, 1.0f, kSrcAlpha), LICE_ARGB(255, 9, 8, 7));
  // A = 128: w = 256·129/256 = 129.
  EXPECT_EQ(Combine(LICE_ARGB(128, 255, 0, 100), d, 1.0f, kSrcAlpha), LICE_ARGB(255, 129, 126, 100));
  // The destination's alpha grows by w.
  EXPECT_EQ(LICE_A(Combine(LICE_ARGB(128, 255, 0, 100), LICE_ARGB(0, 0, 0, 0), 1.0f, kSrcAlpha)), 129);
  // Opaque source at half opacity is the average.
  EXPECT_EQ(Combine(LICE_ARGB(255, 200, 0, 17), d, 0.5f, kSrcAlpha), LICE_ARGB(255, 100, 127, 58));
}

TEST(RasterBlend, ZeroOpacityAndAbsentBitmapsDrawNothing) {
  EXPECT_EQ(Combine(0xffffffffu, 0x01020304u, 0.0f, LICE_BLIT_MODE_COPY), 0x01020304u);
  EXPECT_EQ(Combine(0xffffffffu, 0x01020304u, std::numeric_limits<float>::quiet_NaN(), LICE_BLIT_MODE_COPY),
            0x01020304u);
  LICE_MemBitmap bm(4, 4);
  LICE_Blit(&bm, nullptr, 0, 0, 0, 0, 4, 4, 1.0f, 0);
  LICE_Blit(nullptr, &bm, 0, 0, 0, 0, 4, 4, 1.0f, 0);
  LICE_FillRect(nullptr, 0, 0, 4, 4, 0xffffffffu, 1.0f, 0);
  LICE_Line(nullptr, 0, 0, 3, 3, 0xffffffffu, 1.0f, 0, true);
  LICE_Arc(nullptr, 2, 2, 2, 0, 7, 0xffffffffu, 1.0f, 0, true);
  LICE_RotatedBlit(nullptr, &bm, 0, 0, 4, 4, 0, 0, 4, 4, 1, false, 1, 0, 0, 0);
  EXPECT_EQ(At(&bm, 0, 0), 0u);
}

TEST(RasterBitmap, ZeroSizedBitmapsAreValidAndDrawNothing) {
  LICE_MemBitmap empty(0, 0), wide(7, 0);
  LICE_SysBitmap sys(-5, 3);
  EXPECT_EQ(sys.Width(), 0);
  LICE_MemBitmap dst(3, 3);
  LICE_Blit(&dst, &empty, 0, 0, 0, 0, 3, 3, 1.0f, 0);
  LICE_Blit(&empty, &dst, 0, 0, 0, 0, 3, 3, 1.0f, 0);
  LICE_Blit(&wide, &dst, 0, 0, 0, 0, 3, 3, 1.0f, 0);
  LICE_FillRect(&empty, 0, 0, 3, 3, 0xffffffffu, 1.0f, 0);
  LICE_LineF(&empty, 0, 0, 2, 2, 0xffffffffu, 1.0f, 0, true);
  LICE_FilledArc(&empty, 1, 1, 1, 0, 7, 0xffffffffu, 1.0f, 0, true);
  LICE_RotatedBlit(&dst, &empty, 0, 0, 3, 3, 0, 0, 3, 3, 0.5f, false, 1, 0x100, 0, 0);
  EXPECT_EQ(At(&dst, 1, 1), 0u);
  // Row spans honour the alignment.
  EXPECT_EQ(LICE_MemBitmap(5, 2, 4).RowSpan(), 8);
  EXPECT_EQ(LICE_SysBitmap(5, 2).RowSpan(), 5);
}

class RasterBlitClip : public ::testing::Test {
protected:
  void SetUp() override {
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 100; ++x) At(&src, x, y) = LICE_ARGB(255, x, y, 7);
  }
  LICE_MemBitmap src{100, 50};
  LICE_MemBitmap dst{100, 50};
};

TEST_F(RasterBlitClip, NegativeDestinationDrawsTheVisiblePartInPlace) {
  LICE_Blit(&dst, &src, -10, -10, 0, 0, 100, 50, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(&dst, 0, 0), At(&src, 10, 10));
  EXPECT_EQ(At(&dst, 89, 39), At(&src, 99, 49));
  EXPECT_EQ(At(&dst, 90, 0), 0u);
  EXPECT_EQ(At(&dst, 0, 40), 0u);
}

TEST_F(RasterBlitClip, NegativeSourceMovesTheDestinationAlong) {
  LICE_Blit(&dst, &src, 5, 5, -3, -2, 10, 10, 1.0f, kSrcAlpha);
  EXPECT_EQ(At(&dst, 8, 7), At(&src, 0, 0));
  EXPECT_EQ(At(&dst, 14, 14), At(&src, 6, 7));
  EXPECT_EQ(At(&dst, 7, 7), 0u);
  EXPECT_EQ(At(&dst, 8, 6), 0u);
  EXPECT_EQ(At(&dst, 15, 14), 0u);
}

TEST_F(RasterBlitClip, FarOutsideOrHugeRectanglesAreHarmless) {
  LICE_Blit(&dst, &src, INT_MAX - 5, INT_MIN + 5, 0, 0, INT_MAX, INT_MAX, 1.0f, 0);
  LICE_Blit(&dst, &src, 0, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1.0f, 0);
  LICE_Blit(&dst, &src, 0, 0, 0, 0, -4, 10, 1.0f, 0);
  EXPECT_EQ(At(&dst, 0, 0), 0u);
}

TEST_F(RasterBlitClip, BlitWithinOneBitmapReadsTheOriginalPixels) {
  LICE_Blit(&src, &src, 1, 0, 0, 0, 99, 50, 0.5f, LICE_BLIT_MODE_COPY);
  // Each pixel averages itself with its unchanged left neighbour.
  EXPECT_EQ(LICE_R(At(&src, 50, 0)), (49 + 50) / 2);
  EXPECT_EQ(LICE_R(At(&src, 99, 0)), (98 + 99) / 2);
}

TEST(RasterFlipped, RowZeroIsTheTopRowForEveryOperation) {
  gfxtest::FlippedBitmap flipped(4, 3);
  At(&flipped, 1, 0) = 0xff112233u;
  // Stored bottom-up: logical row 0 is the last row in memory.
  EXPECT_EQ(flipped.Bits()[2 * flipped.RowSpan() + 1], 0xff112233u);

  LICE_MemBitmap plain(4, 3);
  LICE_Blit(&plain, &flipped, 0, 0, 0, 0, 4, 3, 1.0f, 0);
  EXPECT_EQ(At(&plain, 1, 0), 0xff112233u);

  gfxtest::FlippedBitmap target(4, 3);
  LICE_Blit(&target, &plain, 0, 0, 0, 0, 4, 3, 1.0f, 0);
  EXPECT_EQ(At(&target, 1, 0), 0xff112233u);

  LICE_FillRect(&target, 0, 2, 4, 1, 0xff00ff00u, 1.0f, 0);
  EXPECT_EQ(target.Bits()[0], 0xff00ff00u);
}

TEST(RasterFlipped, ArcsDrawTheSamePictureAsOnATopDownBitmap) {
  gfxtest::FlippedBitmap flipped(31, 31);
  LICE_MemBitmap plain(31, 31);
  LICE_Arc(&flipped, 15, 15, 10, 0, kPi / 2, 0xffffffffu, 1.0f, 0, true);
  LICE_Arc(&plain, 15, 15, 10, 0, kPi / 2, 0xffffffffu, 1.0f, 0, true);
  EXPECT_EQ(gfxtest::CompareBitmaps(&flipped, &plain, 0, nullptr), 0);
  EXPECT_NE(At(&flipped, 15, 5), 0u);  // top of the circle
}

TEST(RasterFill, SizesOpacityAndClipping) {
  LICE_MemBitmap bm(8, 8);
  LICE_FillRect(&bm, 2, 2, 0, 3, 0xffffffffu, 1.0f, 0);
  LICE_FillRect(&bm, 2, 2, -3, 3, 0xffffffffu, 1.0f, 0);
  LICE_FillRect(&bm, 2, 2, 3, 3, 0xffffffffu, 0.0f, 0);
  EXPECT_EQ(At(&bm, 2, 2), 0u);
  // A negative position shortens the fill.
  LICE_FillRect(&bm, -2, -2, 4, 4, 0xffabcdefu, 1.0f, 0);
  EXPECT_EQ(At(&bm, 1, 1), 0xffabcdefu);
  EXPECT_EQ(At(&bm, 2, 1), 0u);
  EXPECT_EQ(At(&bm, 1, 2), 0u);
  LICE_FillRect(&bm, 6, 6, INT_MAX, INT_MAX, 0xff000001u, 1.0f, 0);
  EXPECT_EQ(At(&bm, 7, 7), 0xff000001u);
}

TEST(RasterFill, SourceAlphaFoldsTheColoursAlphaIntoTheOpacity) {
  LICE_MemBitmap bm(2, 1);
  gfxtest::Fill(&bm, LICE_ARGB(255, 0, 0, 0));
  // a = truncate(128 / 255 · 256) = 128: half way to white, rounded toward it.
  LICE_FillRect(&bm, 0, 0, 1, 1, LICE_ARGB(128, 255, 255, 255), 1.0f, kSrcAlpha);
  EXPECT_EQ(At(&bm, 0, 0), LICE_ARGB(255, 128, 128, 128));
  // Without source alpha the colour is copied as it is, alpha included.
  LICE_FillRect(&bm, 1, 0, 1, 1, LICE_ARGB(128, 255, 255, 255), 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(&bm, 1, 0), LICE_ARGB(128, 255, 255, 255));
}

TEST(RasterLine, AxisParallelLinesAreExactRunsWithBothEnds) {
  LICE_MemBitmap bm(20, 20);
  LICE_Line(&bm, 2, 5, 12, 5, 0xffffffffu, 1.0f, 0, true);
  LICE_Line(&bm, 15, 12, 15, 7, 0xffffffffu, 1.0f, 0, true);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(At(&bm, x, 5) != 0, x >= 2 && x <= 12) << x;
  for (int y = 0; y < 20; ++y) EXPECT_EQ(At(&bm, 15, y) != 0, y >= 7 && y <= 12) << y;
  EXPECT_EQ(At(&bm, 7, 4), 0u);
  EXPECT_EQ(At(&bm, 7, 6), 0u);
}

TEST(RasterLine, AntialiasedLineSpreadsOnePixelOfInkPerColumn) {
  LICE_MemBitmap bm(20, 12);
  LICE_LineF(&bm, 0.0f, 0.0f, 19.0f, 9.5f, 0xffffffffu, 1.0f, 0, true);
  int partial = 0;
  for (int x = 0; x < 20; ++x) {
    int ink = 0;
    for (int y = 0; y < 12; ++y) {
      ink += LICE_R(At(&bm, x, y));
      if (LICE_R(At(&bm, x, y)) > 0 && LICE_R(At(&bm, x, y)) < 255) ++partial;
    }
    EXPECT_NEAR(ink, 255, 2) << x;
  }
  EXPECT_GT(partial, 10);  // it is antialiased, not a staircase
}

TEST(RasterLine, WithoutAntialiasingOnePixelPerColumn) {
  LICE_MemBitmap bm(20, 12);
  LICE_Line(&bm, 0, 0, 19, 9, 0xffffffffu, 1.0f, 0, false);
  for (int x = 0; x < 20; ++x) {
    int lit = 0;
    for (int y = 0; y < 12; ++y) lit += At(&bm, x, y) == 0xffffffffu ? 1 : (At(&bm, x, y) != 0 ? 100 : 0);
    EXPECT_EQ(lit, 1) << x;
  }
}

TEST(RasterLine, ExtremeOrInvalidCoordinatesAreClippedOrIgnored) {
  LICE_MemBitmap bm(10, 10);
  LICE_Line(&bm, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xffffffffu, 1.0f, 0, true);
  EXPECT_NE(At(&bm, 5, 5), 0u);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  LICE_MemBitmap clean(10, 10);
  LICE_LineF(&clean, nan, 0, 5, 5, 0xffffffffu, 1.0f, 0, true);
  LICE_LineF(&clean, 0, 0, inf, 5, 0xffffffffu, 1.0f, 0, false);
  LICE_LineF(&clean, 1e30f, -1e30f, -1e30f, 1e30f, 0xffffffffu, 1.0f, 0, true);
  LICE_Arc(&clean, nan, 5, 3, 0, 1, 0xffffffffu, 1.0f, 0, true);
  LICE_FilledArc(&clean, 5, 5, -3, 0, 1, 0xffffffffu, 1.0f, 0, true);
  LICE_FilledArc(&clean, 5, 5, 1e30f, 0, 7, 0xff000001u, 1.0f, 0, false);
  EXPECT_EQ(At(&clean, 0, 9), 0xff000001u);  // a huge disc covers the bitmap
}

class RasterArc : public ::testing::Test {
protected:
  // A white arc of radius 15 about the centre of a 41 × 41 bitmap.
  void Draw(LICE_IBitmap* bm, float from, float to, bool filled = false) {
    if (filled) LICE_FilledArc(bm, 20, 20, 15, from, to, 0xffffffffu, 1.0f, 0, true);
    else LICE_Arc(bm, 20, 20, 15, from, to, 0xffffffffu, 1.0f, 0, true);
  }
  static bool Lit(LICE_IBitmap* bm, int x, int y) { return LICE_R(At(bm, x, y)) > 128; }
  LICE_MemBitmap a{41, 41}, b{41, 41};
};

TEST_F(RasterArc, ZeroIsUpAndAnglesGrowClockwise) {
  Draw(&a, 0.0f, kPi / 2);
  EXPECT_TRUE(Lit(&a, 20, 5));   // 0: up
  EXPECT_TRUE(Lit(&a, 35, 20));  // π/2: right
  EXPECT_TRUE(Lit(&a, 31, 10));  // in between, up and to the right
  EXPECT_FALSE(Lit(&a, 5, 20));
  EXPECT_FALSE(Lit(&a, 20, 35));
  EXPECT_FALSE(Lit(&a, 9, 9));
}

TEST_F(RasterArc, DescendingAnglesAreSwapped) {
  Draw(&a, 0.0f, kPi / 2);
  Draw(&b, kPi / 2, 0.0f);
  EXPECT_EQ(gfxtest::CompareBitmaps(&a, &b, 0, nullptr), 0);
}

TEST_F(RasterArc, TwoPiIsTheFullCircleWhereverItStarts) {
  Draw(&a, 0.0f, 2 * kPi);
  for (auto [x, y] : {std::pair{20, 5}, {35, 20}, {20, 35}, {5, 20}, {9, 10}, {31, 30}}) EXPECT_TRUE(Lit(&a, x, y));
  Draw(&b, -1.0f, 2 * kPi - 1.0f);
  EXPECT_EQ(gfxtest::CompareBitmaps(&a, &b, 0, nullptr), 0);
  EXPECT_FALSE(Lit(&a, 20, 20));
}

TEST_F(RasterArc, FilledSectorCoversItsQuarterOnly) {
  Draw(&a, kPi / 2, kPi, true);  // right to down: the bottom-right quarter
  EXPECT_TRUE(Lit(&a, 20, 20));
  EXPECT_TRUE(Lit(&a, 27, 27));
  EXPECT_TRUE(Lit(&a, 35, 20));
  EXPECT_TRUE(Lit(&a, 20, 35));
  EXPECT_FALSE(Lit(&a, 13, 13));
  EXPECT_FALSE(Lit(&a, 27, 13));
  EXPECT_FALSE(Lit(&a, 13, 27));
  EXPECT_FALSE(Lit(&a, 33, 33));  // beyond the radius
}

class RasterRotated : public ::testing::Test {
protected:
  // A 21 × 21 knob pointer: transparent, with an opaque white 3 × 3 dot near
  // the top centre.
  void SetUp() override {
    for (int y = 1; y <= 3; ++y)
      for (int x = 9; x <= 11; ++x) At(&src, x, y) = 0xffffffffu;
  }
  // Centre of the ink drawn at angle, relative to the bitmap centre.
  std::pair<double, double> Centroid(float angle) {
    LICE_MemBitmap dst(21, 21);
    LICE_RotatedBlit(&dst, &src, 0, 0, 21, 21, 0, 0, 21, 21, angle, false, 1.0f,
                     kSrcAlpha | LICE_BLIT_FILTER_BILINEAR, 0, 0);
    double sx = 0, sy = 0, sw = 0;
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 21; ++x) {
        const double w = LICE_A(At(&dst, x, y));
        sx += w * (x - 10);
        sy += w * (y - 10);
        sw += w;
      }
    return {sx / sw, sy / sw};
  }
  LICE_MemBitmap src{21, 21};
};

TEST_F(RasterRotated, AngleZeroReproducesTheSource) {
  for (int mode : {int{LICE_BLIT_MODE_COPY}, LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR,
                   kSrcAlpha | LICE_BLIT_FILTER_BILINEAR}) {
    LICE_MemBitmap dst(21, 21);
    LICE_RotatedBlit(&dst, &src, 0, 0, 21, 21, 0, 0, 21, 21, 0.0f, false, 1.0f, mode, 0, 0);
    EXPECT_EQ(gfxtest::CompareBitmaps(&dst, &src, 0, nullptr), 0) << mode;
  }
}

TEST_F(RasterRotated, PositiveAnglesTurnClockwise) {
  const auto [x0, y0] = Centroid(0.0f);
  EXPECT_NEAR(x0, 0.0, 0.01);
  EXPECT_NEAR(y0, -8.0, 0.01);
  const auto [xr, yr] = Centroid(kPi / 2);  // a quarter turn: pointing right
  EXPECT_NEAR(xr, 8.0, 0.2);
  EXPECT_NEAR(yr, 0.0, 0.2);
  const auto [xl, yl] = Centroid(-kPi / 2);
  EXPECT_NEAR(xl, -8.0, 0.2);
  EXPECT_NEAR(yl, 0.0, 0.2);
  // A knob's range: from up-left through up to up-right as the angle rises.
  EXPECT_LT(Centroid(-0.5f).first, -3.0);
  EXPECT_GT(Centroid(0.5f).first, 3.0);
}

TEST_F(RasterRotated, BilinearEdgesBlendWithoutDarkFringes) {
  LICE_MemBitmap square(21, 21), dst(21, 21);
  LICE_FillRect(&square, 5, 5, 11, 11, 0xffffffffu, 1.0f, 0);
  gfxtest::Fill(&dst, LICE_ARGB(255, 255, 0, 0));
  LICE_RotatedBlit(&dst, &square, 0, 0, 21, 21, 0, 0, 21, 21, 0.4f, false, 1.0f,
                   kSrcAlpha | LICE_BLIT_FILTER_BILINEAR, 0, 0);
  int mixed = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) {
      const LICE_pixel p = At(&dst, x, y);
      // Only white and red mix: red stays full, green and blue move together.
      ASSERT_EQ(LICE_R(p), 255);
      ASSERT_EQ(LICE_G(p), LICE_B(p));
      if (LICE_G(p) > 0 && LICE_G(p) < 255) ++mixed;
    }
  EXPECT_GT(mixed, 20);
}

TEST_F(RasterRotated, ClippedToTheDestinationBitmap) {
  LICE_MemBitmap dst(10, 10);
  // The dot (source rows 1..3, columns 9..11) lands at rows -11..-9: off the
  // bitmap. Shifted down by 12 rows it lands at rows 1..3 only, columns 1..3.
  LICE_RotatedBlit(&dst, &src, -8, -12, 21, 21, 0, 0, 21, 21, 0.0f, false, 1.0f, kSrcAlpha, 0, 0);
  int box[4];
  EXPECT_FALSE(gfxtest::InkBox(&dst, 0, box));
  LICE_RotatedBlit(&dst, &src, -8, 0, 21, 21, 0, 0, 21, 21, 0.0f, false, 1.0f, kSrcAlpha, 0, 0);
  ASSERT_TRUE(gfxtest::InkBox(&dst, 0, box));
  EXPECT_EQ(box[0], 1);
  EXPECT_EQ(box[1], 1);
  EXPECT_EQ(box[2], 3);
  EXPECT_EQ(box[3], 3);
  // A turned copy clipped at the corner, and a NaN angle, write nothing
  // outside the bitmap and change nothing respectively.
  LICE_MemBitmap before(10, 10);
  LICE_Blit(&before, &dst, 0, 0, 0, 0, 10, 10, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_RotatedBlit(&dst, &src, 0, 0, 21, 21, 0, 0, 21, 21, std::numeric_limits<float>::quiet_NaN(), false,
                   1.0f, kSrcAlpha, 0, 0);
  EXPECT_EQ(gfxtest::CompareBitmaps(&before, &dst, 0, nullptr), 0);
  LICE_RotatedBlit(&dst, &src, -15, -15, 21, 21, 0, 0, 21, 21, 0.3f, false, 1.0f, kSrcAlpha | 0x100, 0, 0);
}

TEST(RasterPng, DecodesRgbAndRgbaWithStraightAlpha) {
  LICE_MemBitmap img(3, 2);
  At(&img, 0, 0) = LICE_ARGB(255, 10, 20, 30);
  At(&img, 1, 0) = LICE_ARGB(128, 200, 100, 50);
  At(&img, 2, 1) = LICE_ARGB(0, 0, 0, 0);
  const std::vector<uint8_t> rgba = gfxtest::EncodePng(&img, true);
  std::unique_ptr<LICE_MemBitmap> back(LICE_DecodePNG(rgba.data(), rgba.size()));
  ASSERT_TRUE(back);
  EXPECT_EQ(gfxtest::CompareBitmaps(back.get(), &img, 0, nullptr), 0);

  const std::vector<uint8_t> rgb = gfxtest::EncodePng(&img, false);
  back.reset(LICE_DecodePNG(rgb.data(), rgb.size()));
  ASSERT_TRUE(back);
  EXPECT_EQ(At(back.get(), 0, 0), LICE_ARGB(255, 10, 20, 30));
  EXPECT_EQ(At(back.get(), 1, 0), LICE_ARGB(255, 200, 100, 50));
}

TEST(RasterPng, EncodesTopRowFirstAndWritesFiles) {
  gfxtest::FlippedBitmap img(2, 3);
  At(&img, 0, 0) = LICE_ARGB(255, 1, 2, 3);
  At(&img, 1, 2) = LICE_ARGB(77, 250, 128, 9);
  const std::vector<unsigned char> png = LICE_EncodePNG(&img, true);
  std::unique_ptr<LICE_MemBitmap> back(LICE_DecodePNG(png.data(), png.size()));
  ASSERT_TRUE(back);
  EXPECT_EQ(gfxtest::CompareBitmaps(back.get(), &img, 0, nullptr), 0);

  LICE_MemBitmap empty;
  EXPECT_TRUE(LICE_EncodePNG(&empty, true).empty());
  EXPECT_TRUE(LICE_EncodePNG(nullptr, false).empty());

  const std::string path = ::testing::TempDir() + "raster_png_write.png";
  ASSERT_TRUE(LICE_WritePNG(&img, path.c_str(), false));
  back = gfxtest::ReadPng(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(At(back.get(), 1, 2), LICE_ARGB(255, 250, 128, 9));
  std::remove(path.c_str());
  EXPECT_FALSE(LICE_WritePNG(&img, "/nonexistent-folder/x.png", true));
  EXPECT_FALSE(LICE_WritePNG(&empty, path.c_str(), true));
}

TEST(RasterPng, CorruptOrTruncatedBytesYieldNothing) {
  LICE_MemBitmap img(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) At(&img, x, y) = LICE_ARGB(255, x * 16, y * 16, x ^ y);
  const std::vector<uint8_t> good = gfxtest::EncodePng(&img, true);
  ASSERT_TRUE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(good.data(), good.size())));

  for (size_t cut : {size_t{0}, size_t{7}, size_t{8}, size_t{33}, good.size() / 2, good.size() - 13})
    EXPECT_FALSE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(good.data(), cut))) << cut;
  std::vector<uint8_t> corrupt = good;
  for (size_t i = 60; i < corrupt.size() - 20; i += 7) corrupt[i] ^= 0x5a;
  EXPECT_FALSE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(corrupt.data(), corrupt.size())));
  const char garbage[] = "definitely not an image, just some words";
  EXPECT_FALSE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(garbage, sizeof garbage)));
  EXPECT_FALSE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(nullptr, 100)));
}

namespace {

// The CRC of PNG chunks (reflected 0xEDB88320).
uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

}  // namespace

// A few bytes may claim any size: sizes the editor could never use are
// refused from the header, before anything is allocated for the pixels.
TEST(RasterPng, ImagesLargerThanTheEditorCouldUseAreRefused) {
  for (const auto& [w, h] : {std::pair{8192, 1}, std::pair{1, 8192}, std::pair{64, 64}}) {
    LICE_MemBitmap img(w, h);
    const std::vector<uint8_t> png = gfxtest::EncodePng(&img, true);
    EXPECT_TRUE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(png.data(), png.size()))) << w << "x" << h;
  }
  for (const auto& [w, h] : {std::pair{8193, 1}, std::pair{1, 8193}}) {
    LICE_MemBitmap img(w, h);
    const std::vector<uint8_t> png = gfxtest::EncodePng(&img, true);
    EXPECT_FALSE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(png.data(), png.size()))) << w << "x" << h;
  }
  // Headers alone (the pixel data missing): 8192 x 8192 is 256 MiB decoded,
  // 4097 x 4096 just over 64 MiB.
  LICE_MemBitmap one(1, 1);
  const std::vector<uint8_t> tiny = gfxtest::EncodePng(&one, true);
  for (const auto& [w, h] : {std::pair{8192u, 8192u}, std::pair{4097u, 4096u}, std::pair{0xFFFFu, 0xFFFFu}}) {
    std::vector<uint8_t> claim = tiny;
    // IHDR's width and height (big-endian) at 16 and 20, its CRC at 29.
    for (int i = 0; i < 4; ++i) {
      claim[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
      claim[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
    }
    const uint32_t crc = Crc32(claim.data() + 12, 17);
    for (int i = 0; i < 4; ++i) claim[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    EXPECT_FALSE(std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(claim.data(), claim.size()))) << w << "x" << h;
  }
}
