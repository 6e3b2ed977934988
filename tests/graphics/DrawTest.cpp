// The engine's drawing operations and the bitmap cache: frames and clipping
// of DrawBitmap, SplitBitmap's ids, the rounded rectangles, the rotated
// bitmap's direction, fills and lines, and images that cannot be loaded.
#include <gtest/gtest.h>

#include <cmath>

#include "GfxTestUtil.h"
#include "RecordingGraphics.h"
#include "graphics/ResourceCache.h"
#include "graphics/raster/LiceRaster.h"

using gfxtest::At;

namespace {

constexpr LICE_pixel kWhite = 0xffffffffu;

class Draw : public ::testing::Test {
protected:
  void SetUp() override {
    g.PrepareDrawBitmap();
    g.drawRect = Rect(0, 0, 200, 120);
  }
  LICE_IBitmap* bm() { return g.GetDrawBitmap(); }
  // Registers an image under id and loads it.
  BitmapRef Load(int id, LICE_IBitmap* img, int frames = 1) {
    const std::vector<uint8_t> png = gfxtest::EncodePng(img);
    g.SetImage(id, png.data(), png.size());
    return g.LoadBitmap(id, "", frames);
  }
  bool Lit(int x, int y) { return At(bm(), x, y) != 0; }

  gfxtest::RecordingGraphics g{nullptr, 200, 120, 0};
};

// 100 × 10, five frames of 20 pixels side by side, frame k in red = 10·k.
LICE_MemBitmap FramesImage() {
  LICE_MemBitmap img(100, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 100; ++x) At(&img, x, y) = LICE_ARGB(255, 10 * (x / 20 + 1), x, y);
  return img;
}

// A knob image: 132 × 66, left square a pointer dot near the top, right
// square a grey disc.
LICE_MemBitmap KnobImage() {
  LICE_MemBitmap img(132, 66);
  LICE_FillRect(&img, 30, 4, 6, 6, kWhite, 1.0f, 0);
  LICE_FilledArc(&img, 98.5f, 32.5f, 28, 0, 7, LICE_ARGB(255, 90, 90, 90), 1.0f, 0, true);
  return img;
}

}  // namespace

TEST_F(Draw, FramesStartAtTheirShareOfTheWidth) {
  LICE_MemBitmap img = FramesImage();
  const BitmapRef ref = Load(9201, &img, 5);
  ASSERT_EQ(ref.W, 100);
  g.DrawBitmap(ref, Rect(0, 0, 20, 10), 3);  // starts at source x 40
  EXPECT_EQ(At(bm(), 0, 0), At(&img, 40, 0));
  EXPECT_EQ(At(bm(), 19, 9), At(&img, 59, 9));
  for (int frame : {0, 1, -4}) {
    g.DrawBitmap(ref, Rect(0, 20, 20, 30), frame);
    EXPECT_EQ(At(bm(), 0, 20), At(&img, 0, 0)) << frame;
  }
  const BitmapRef single = g.LoadBitmap(9201, "", 1);
  g.DrawBitmap(single, Rect(0, 40, 20, 50), 4);
  EXPECT_EQ(At(bm(), 5, 40), At(&img, 5, 0));

  // Frames stacked vertically.
  LICE_MemBitmap tall(10, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 10; ++x) At(&tall, x, y) = LICE_ARGB(255, y, 0, 0);
  const BitmapRef vert = Load(9202, &tall, 4);
  g.DrawBitmap(vert, Rect(150, 0, 160, 10), 2, nullptr, true);
  EXPECT_EQ(At(bm(), 150, 0), At(&tall, 0, 10));
}

TEST_F(Draw, BitmapsAreClippedToTheDrawRectInPlace) {
  LICE_MemBitmap img = FramesImage();
  const BitmapRef ref = Load(9203, &img);
  g.drawRect = Rect(50, 0, 70, 5);
  g.DrawBitmap(ref, Rect(40, 0, 140, 10), 1);
  EXPECT_EQ(At(bm(), 50, 0), At(&img, 10, 0));
  EXPECT_EQ(At(bm(), 69, 4), At(&img, 29, 4));
  EXPECT_FALSE(Lit(49, 0));
  EXPECT_FALSE(Lit(70, 0));
  EXPECT_FALSE(Lit(55, 5));
  g.drawRect = Rect(150, 100, 160, 110);
  g.DrawBitmap(ref, Rect(0, 20, 100, 30), 1);  // entirely outside
  EXPECT_FALSE(Lit(10, 25));
}

TEST_F(Draw, BlendMethodsAndWeights) {
  LICE_MemBitmap img(1, 1);
  At(&img, 0, 0) = LICE_ARGB(0, 200, 100, 50);  // transparent but coloured
  const BitmapRef ref = Load(9204, &img);
  gfxtest::Fill(bm(), LICE_ARGB(255, 10, 10, 10));
  g.DrawBitmap(ref, Rect(0, 0, 1, 1));  // source-over: nothing shows
  EXPECT_EQ(At(bm(), 0, 0), LICE_ARGB(255, 10, 10, 10));
  const Blend copy(kBlendCopy, 1.0f), half(kBlendCopy, 0.5f), odd(42, 1.0f);
  g.DrawBitmap(ref, Rect(1, 0, 2, 1), 1, &copy);
  EXPECT_EQ(At(bm(), 1, 0), LICE_ARGB(0, 200, 100, 50));
  g.DrawBitmap(ref, Rect(2, 0, 3, 1), 1, &half);
  EXPECT_EQ(At(bm(), 2, 0), LICE_ARGB(127, 105, 55, 30));
  g.DrawBitmap(ref, Rect(3, 0, 4, 1), 1, &odd);  // unknown methods act as source-over
  EXPECT_EQ(At(bm(), 3, 0), LICE_ARGB(255, 10, 10, 10));
}

TEST_F(Draw, SplitBitmapCachesLeftPiecesUnderFallingIds) {
  LICE_MemBitmap img = KnobImage();
  BitmapRef knob = Load(9205, &img);
  const int cached = quarv::BitmapCacheCount();
  const BitmapRef pointer = g.SplitBitmap(knob, 0.5f);
  EXPECT_EQ(pointer.W, 66);
  EXPECT_EQ(pointer.H, 66);
  EXPECT_EQ(pointer.companionId, 0);
  EXPECT_EQ(knob.W, 66);
  EXPECT_EQ(knob.companionId, -2);
  EXPECT_EQ(g.CachedBitmap(-2).raster, pointer.raster);
  EXPECT_EQ(At(pointer.raster, 32, 6), kWhite);
  EXPECT_EQ(At(knob.raster, 32, 32), At(&img, 98, 32));
  EXPECT_EQ(g.CachedBitmap(9205).W, 132);  // the source stays cached

  BitmapRef again = g.LoadBitmap(9205, "", 1);
  g.SplitBitmap(again, 0.5f);
  EXPECT_EQ(again.companionId, -3);
  EXPECT_EQ(quarv::BitmapCacheCount(), cached + 2);

  // Another editor cutting the same image shares the cached piece.
  gfxtest::RecordingGraphics other(nullptr, 10, 10, 0);
  BitmapRef third = other.LoadBitmap(9205, "", 1);
  const BitmapRef shared = other.SplitBitmap(third, 0.5f);
  EXPECT_EQ(third.companionId, -2);
  EXPECT_EQ(shared.raster, pointer.raster);
  EXPECT_EQ(quarv::BitmapCacheCount(), cached + 2);

  // Odd widths and odd fractions truncate both pieces.
  BitmapRef odd = other.LoadBitmap(9205, "", 1);
  const BitmapRef left = other.SplitBitmap(odd, 0.3f);
  EXPECT_EQ(left.W, 39);
  EXPECT_EQ(odd.W, 92);
  EXPECT_EQ(odd.companionId, -3);
}

TEST_F(Draw, RoundRectOutlineMatchesItsExample) {
  Rect r(10, 10, 50, 30);
  g.DrawRoundRect(Colour(255, 255, 255, 255), r, 4, nullptr, false);
  EXPECT_EQ(r, Rect(10, 10, 49, 29));
  for (int x = 15; x <= 44; ++x) {
    EXPECT_EQ(At(bm(), x, 10), kWhite) << x;
    EXPECT_EQ(At(bm(), x, 29), kWhite) << x;
  }
  for (int y = 15; y <= 24; ++y) {
    EXPECT_EQ(At(bm(), 10, y), kWhite) << y;
    EXPECT_EQ(At(bm(), 49, y), kWhite) << y;
  }
  EXPECT_FALSE(Lit(10, 10));  // the corners are rounded off
  EXPECT_FALSE(Lit(49, 29));
  EXPECT_FALSE(Lit(30, 20));  // an outline only
  EXPECT_FALSE(Lit(50, 20));
  EXPECT_TRUE(Lit(11, 12) || Lit(12, 11));  // the arc joins edge to edge
}

TEST_F(Draw, FilledRoundRectMatchesItsExample) {
  const Rect r(0, 0, 20, 20);
  g.FillRoundRect(Colour(255, 255, 255, 255), r, 3, 4, nullptr, true);
  EXPECT_EQ(r, Rect(0, 0, 20, 20));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool body = (y >= 4 && y < 16) || (x >= 4 && x < 16);
      // Within the radius of a corner disc centre.
      bool disc = false;
      for (auto [cx, cy] : {std::pair{3, 3}, {16, 3}, {16, 16}, {3, 16}})
        disc = disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 9;
      if (body || disc) {
        EXPECT_EQ(At(bm(), x, y), kWhite) << x << "," << y;
      }
    }
  for (auto [x, y] : {std::pair{0, 0}, {19, 0}, {19, 19}, {0, 19}}) EXPECT_FALSE(Lit(x, y)) << x << "," << y;
  EXPECT_FALSE(Lit(20, 10));
  EXPECT_FALSE(Lit(10, 20));
}

TEST_F(Draw, FilledRoundRectCornerVariants) {
  g.FillRoundRect(Colour(255, 255, 255, 255), Rect(0, 0, 20, 20), 3, 2);
  EXPECT_FALSE(Lit(0, 0));
  EXPECT_TRUE(Lit(0, 19));  // square bottom
  g.FillRoundRect(Colour(255, 255, 255, 255), Rect(30, 0, 50, 20), 3, -2);
  EXPECT_TRUE(Lit(30, 0));  // square top
  EXPECT_FALSE(Lit(30, 19));
  g.FillRoundRect(Colour(255, 255, 255, 255), Rect(60, 0, 80, 20), 3, 3);
  EXPECT_FALSE(Lit(70, 10));  // other values draw nothing
}

TEST_F(Draw, TranslucentRoundedFillIsEvenAllOver) {
  gfxtest::Fill(bm(), LICE_ARGB(255, 0, 0, 0));
  g.FillRoundRect(Colour(75, 200, 200, 200), Rect(10, 10, 40, 30), 3, 4, nullptr, true);
  const LICE_pixel body = At(bm(), 25, 20);
  EXPECT_NE(body, LICE_ARGB(255, 0, 0, 0));
  EXPECT_EQ(At(bm(), 12, 12), body);  // inside a corner disc
  EXPECT_EQ(At(bm(), 37, 27), body);
}

TEST_F(Draw, RotatedKnobPointerTurnsClockwiseAsTheValueRises) {
  LICE_MemBitmap img = KnobImage();
  BitmapRef knob = Load(9206, &img);
  const BitmapRef pointer = g.SplitBitmap(knob, 0.5f);
  // The knob's angle for a value v with a 300 degree sweep.
  auto angle = [](double v) {
    return static_cast<float>(300 * 3.14159265358979 / 360) * (2 * v) +
           static_cast<float>(-300 * 3.14159265358979 / 360);
  };
  auto inkX = [&](double v) {
    gfxtest::Fill(bm(), 0);
    g.drawRect = Rect(0, 0, 1, 1);  // the rotated blit ignores drawRect
    g.DrawRotatedBitmap(pointer, 100, 60, angle(v));
    double sx = 0, sw = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 200; ++x) {
        sx += LICE_A(At(bm(), x, y)) * (x + 0.5 - 100.0);  // pixel centres
        sw += LICE_A(At(bm(), x, y));
      }
    return sx / sw;
  };
  const double low = inkX(0.1), mid = inkX(0.5), high = inkX(0.9);
  EXPECT_LT(low, -10.0);
  EXPECT_NEAR(mid, 0.0, 1.0);
  EXPECT_GT(high, 10.0);
  EXPECT_NEAR(low, -high, 0.2);
}

TEST_F(Draw, FillsAndLinesUseTheirOpacities) {
  gfxtest::Fill(bm(), LICE_ARGB(255, 0, 0, 0));
  g.FillRect(Colour(255, 255, 255, 255), Rect(0, 0, 4, 2));
  EXPECT_EQ(At(bm(), 3, 1), kWhite);
  EXPECT_EQ(At(bm(), 4, 1), LICE_ARGB(255, 0, 0, 0));
  g.FillRect(Colour(255, 255, 255, 255), Rect(10, 10, 5, 20));  // negative width
  EXPECT_FALSE(At(bm(), 7, 15) != LICE_ARGB(255, 0, 0, 0));
  const Blend half(kBlendAlpha, 0.5f);
  g.FillRect(Colour(255, 255, 255, 255), Rect(0, 5, 1, 6), &half);
  EXPECT_EQ(At(bm(), 0, 5), LICE_ARGB(255, 128, 128, 128));
  // Lines take the colour's alpha as their opacity and ignore the weight.
  const Blend faint(kBlendCopy, 0.1f);
  g.DrawLine(Colour(128, 255, 255, 255), 0, 8, 10, 8, &faint);
  EXPECT_EQ(LICE_R(At(bm(), 5, 8)), 128);
}

TEST_F(Draw, ImagesThatCannotBeLoadedDrawNothing) {
  const uint8_t junk[] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 1, 2};
  g.SetImage(9207, junk, sizeof junk);
  const int cached = quarv::BitmapCacheCount();
  const BitmapRef bad = g.LoadBitmap(9207, "img/bad.png", 3);
  EXPECT_EQ(bad.raster, nullptr);
  EXPECT_EQ(bad.W, 0);
  EXPECT_EQ(bad.frames, 3);
  EXPECT_EQ(quarv::BitmapCacheCount(), cached);  // a failure is not cached
  EXPECT_EQ(g.LoadBitmap(9208, "img/missing.png").raster, nullptr);
  EXPECT_EQ(g.CachedBitmap(-9999).raster, nullptr);
  EXPECT_TRUE(g.DrawBitmap(bad, Rect(0, 0, 10, 10), 2));
  EXPECT_TRUE(g.DrawRotatedBitmap(bad, 5, 5, 1.0));
  BitmapRef copy = bad;
  const BitmapRef left = g.SplitBitmap(copy, 0.5f);
  EXPECT_EQ(left.W, 0);
  EXPECT_FALSE(Lit(5, 5));

  // An engine without a draw bitmap ignores drawing.
  gfxtest::RecordingGraphics bare(nullptr, 10, 10, 0);
  TextStyle style;
  bare.drawRect = Rect(0, 0, 10, 10);
  EXPECT_TRUE(bare.FillRect(Colour(), Rect(0, 0, 5, 5)));
  EXPECT_TRUE(bare.DrawText(style, "x", Rect(0, 0, 10, 10)));
}

TEST_F(Draw, TextWithoutAFontReturnsFalseAndStaysUncached) {
  TextStyle huge("Arial", 100000, Colour(255, 255, 255, 255));
  EXPECT_FALSE(g.DrawText(huge, "x", Rect(0, 0, 10, 10)));
  EXPECT_EQ(huge.cachedFont, nullptr);
  EXPECT_FALSE(g.DrawText(huge, "x", Rect(0, 0, 10, 10)));
  EXPECT_TRUE(g.DrawText(huge, "", Rect(0, 0, 10, 10)));  // empty text: nothing to do
}
