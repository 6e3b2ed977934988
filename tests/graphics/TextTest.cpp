// Text: fonts found by family, weight and slant, the font cache key, opaque
// and blended text, alignment, line breaks, baselines and text that is not
// valid UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "GfxTestUtil.h"
#include "graphics/IGraphicsOffscreen.h"
#include "graphics/ResourceCache.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/raster/LiceText.h"

using gfxtest::At;

namespace {

constexpr LICE_pixel kBlack = LICE_ARGB(255, 0, 0, 0);

std::string FaceFor(const char* family, int weight, bool italic) {
  LICE_FontSpec fontSpec;
  fontSpec.height = 16;
  fontSpec.weight = weight;
  fontSpec.italic = italic;
  std::strncpy(fontSpec.face, family, sizeof fontSpec.face - 1);
  LICE_PlatformFont* font = LICE_CreatePlatformFont(fontSpec);
  const std::string name = font ? LICE_PlatformFontName(font) : "(none)";
  LICE_DestroyPlatformFont(font);
  return name;
}

class TextDraw : public ::testing::Test {
protected:
  void SetUp() override {
    g.PrepareDrawBitmap();
    gfxtest::Fill(g.GetDrawBitmap(), kBlack);
  }
  LICE_IBitmap* bm() { return g.GetDrawBitmap(); }
  bool Ink(int box[4]) { return gfxtest::InkBox(bm(), kBlack, box); }

  IGraphicsOffscreen g{nullptr, 200, 80, 0};
};

}  // namespace

TEST(TextFonts, EditorFamiliesResolveToMetricCompatibleFaces) {
  EXPECT_EQ(FaceFor("Arial", 400, false).rfind("Liberation Sans", 0), 0u) << FaceFor("Arial", 400, false);
  EXPECT_NE(FaceFor("Arial", 700, false).find("Bold"), std::string::npos);
  EXPECT_NE(FaceFor("Arial", 400, true).find("Italic"), std::string::npos);
  EXPECT_EQ(FaceFor("Verdana", 400, false).rfind("DejaVu Sans", 0), 0u) << FaceFor("Verdana", 400, false);
  EXPECT_NE(FaceFor("Verdana", 700, false).find("Bold"), std::string::npos);
}

TEST(TextFonts, UnknownFamilyFallsBackAndAbsurdSizesAreRefused) {
  EXPECT_NE(FaceFor("No Such Family Anywhere", 400, false), "(none)");
  EXPECT_NE(FaceFor("", 400, false), "(none)");
  LICE_FontSpec fontSpec;
  fontSpec.height = 100000;
  EXPECT_EQ(LICE_CreatePlatformFont(fontSpec), nullptr);
}

TEST(TextFonts, CacheKeyIgnoresColourAlignAndQuality) {
  IGraphicsOffscreen g(nullptr, 10, 10, 0);
  TextStyle a("Arial", 17, Colour(255, 1, 2, 3), 0, 0, 0, 0);
  TextStyle b("Arial", 17, Colour(128, 200, 0, 0), 0, 2, 0, 1);
  TextStyle bold("Arial", 17, Colour(255, 1, 2, 3), TextStyle::kStyleBold);
  TextStyle bigger("Arial", 18, Colour(255, 1, 2, 3));
  TextStyle lower("arial", 17, Colour(255, 1, 2, 3));
  LICE_CachedFont* fa = g.CacheFont(a);
  ASSERT_NE(fa, nullptr);
  EXPECT_EQ(a.cachedFont, fa);
  EXPECT_EQ(g.CacheFont(b), fa);
  EXPECT_NE(g.CacheFont(bold), fa);
  EXPECT_NE(g.CacheFont(bigger), fa);
  EXPECT_NE(g.CacheFont(lower), fa);  // names compare case-sensitively
  const int count = quarv::FontCacheCount();
  TextStyle again("Arial", 17, Colour(255, 9, 9, 9));
  EXPECT_EQ(g.CacheFont(again), fa);
  EXPECT_EQ(quarv::FontCacheCount(), count);
}

TEST_F(TextDraw, EachDrawSetsTheStylesColour) {
  TextStyle red("Arial", 20, Colour(255, 255, 0, 0), 0, 0);
  TextStyle green("Arial", 20, Colour(255, 0, 255, 0), 0, 0);
  ASSERT_TRUE(g.DrawText(red, "I", Rect(10, 10, 100, 40)));
  ASSERT_TRUE(g.DrawText(green, "I", Rect(110, 10, 200, 40)));
  ASSERT_EQ(red.cachedFont, green.cachedFont);
  int reds = 0, greens = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 200; ++x) {
      if (At(bm(), x, y) == LICE_ARGB(255, 255, 0, 0)) reds += x < 100;
      if (At(bm(), x, y) == LICE_ARGB(255, 0, 255, 0)) greens += x >= 100;
    }
  EXPECT_GT(reds, 10);
  EXPECT_GT(greens, 10);
}

TEST_F(TextDraw, OpaqueAtAlpha255AndBlendedAt128) {
  TextStyle opaque("Arial", 30, Colour(255, 255, 255, 255), 0, 0);
  TextStyle half("Arial", 30, Colour(128, 255, 255, 255), 0, 0);
  g.DrawText(opaque, "l", Rect(10, 10, 60, 60));
  g.DrawText(half, "l", Rect(110, 10, 160, 60));
  int fullLeft = 0, maxRight = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 200; ++x) {
      const int v = LICE_R(At(bm(), x, y));
      if (x < 100) fullLeft += v == 255;
      else maxRight = std::max(maxRight, v);
    }
  EXPECT_GT(fullLeft, 20);  // the stem's inside is exactly the colour
  EXPECT_NEAR(maxRight, 128, 1);
}

TEST_F(TextDraw, AlignmentWithinTheRectangle) {
  int box[4];
  TextStyle style("Arial", 20, Colour(255, 255, 255, 255), 0, TextStyle::kAlignLeft);
  g.DrawText(style, "Wide", Rect(40, 10, 160, 40));
  ASSERT_TRUE(Ink(box));
  const int width = box[2] - box[0];
  EXPECT_NEAR(box[0], 40, 2);

  SetUp();
  style.align = TextStyle::kAlignCentre;
  g.DrawText(style, "Wide", Rect(40, 10, 160, 40));
  ASSERT_TRUE(Ink(box));
  EXPECT_NEAR((box[0] + box[2]) / 2.0, 100.0, 2.0);

  SetUp();
  style.align = 7;  // anything else is right
  g.DrawText(style, "Wide", Rect(40, 10, 160, 40));
  ASSERT_TRUE(Ink(box));
  EXPECT_NEAR(box[2], 160, 2);
  EXPECT_NEAR(box[2] - box[0], width, 1);
}

TEST_F(TextDraw, TopIsTheRectanglesTopAndLinesBreakOnlyAtBreaks) {
  int box[4];
  TextStyle style("Arial", 20, Colour(255, 255, 255, 255), 0, TextStyle::kAlignLeft);
  g.DrawText(style, "H", Rect(10, 10, 15, 12));  // never clipped to the rectangle
  ASSERT_TRUE(Ink(box));
  const int capTop = box[1], baseline = box[3];
  EXPECT_GE(capTop, 10);
  EXPECT_LE(capTop, 16);
  EXPECT_GT(box[2], 15);

  SetUp();
  g.DrawText(style, "H\nH\r\nH", Rect(10, 10, 15, 12));
  ASSERT_TRUE(Ink(box));
  EXPECT_EQ(box[1], capTop);
  EXPECT_EQ(box[3], baseline + 2 * 20);  // one cell height per line
  EXPECT_LT(box[2], 30);                  // all three start at the left
}

TEST_F(TextDraw, GlyphsShareABaseline) {
  TextStyle style("Arial", 30, Colour(255, 255, 255, 255), 0, TextStyle::kAlignLeft);
  g.DrawText(style, "xHo", Rect(10, 10, 190, 70));
  // The lowest ink row of each glyph column range is the same.
  auto lowest = [&](int x0, int x1) {
    int low = -1;
    for (int y = 0; y < 80; ++y)
      for (int x = x0; x < x1; ++x)
        if (LICE_R(At(bm(), x, y)) > 128) low = std::max(low, y);
    return low;
  };
  int box[4];
  ASSERT_TRUE(Ink(box));
  const int third = (box[2] - box[0]) / 3;
  EXPECT_EQ(lowest(box[0], box[0] + third - 2), lowest(box[0] + third + 2, box[0] + 2 * third - 2));
}

TEST_F(TextDraw, InvalidUtf8IsReadAsLatin1) {
  TextStyle style("Arial", 24, Colour(255, 255, 255, 255), 0, TextStyle::kAlignLeft);
  g.DrawText(style, "caf\xc3\xa9", Rect(10, 10, 100, 40));
  LICE_MemBitmap utf8(200, 80);
  LICE_Blit(&utf8, bm(), 0, 0, 0, 0, 200, 80, 1.0f, 0);
  SetUp();
  g.DrawText(style, "caf\xe9", Rect(10, 10, 100, 40));  // a lone 0xE9 byte
  EXPECT_EQ(gfxtest::CompareBitmaps(&utf8, bm(), 0, nullptr), 0);
  SetUp();
  EXPECT_TRUE(g.DrawText(style, "\xff\xfe\xc3(\xed\xa0\x80", Rect(10, 10, 100, 40)));
  EXPECT_TRUE(g.DrawText(style, "", Rect(10, 10, 100, 40)));
  EXPECT_TRUE(g.DrawText(style, nullptr, Rect(10, 10, 100, 40)));
}

TEST_F(TextDraw, NoFringesOnTransparentBackgrounds) {
  gfxtest::Fill(bm(), 0);
  TextStyle style("Arial", 20, Colour(255, 255, 200, 40), 0, 0);
  TextStyle soft("Arial", 20, Colour(100, 255, 200, 40), 0, 0);
  g.DrawText(style, "Quiet", Rect(10, 10, 100, 40));
  g.DrawText(soft, "Quiet", Rect(10, 40, 100, 70));
  int partial = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 200; ++x) {
      const LICE_pixel p = At(bm(), x, y);
      if (LICE_A(p) == 0) continue;
      if (LICE_A(p) < 255) ++partial;
      // Edge pixels keep the text colour and carry the coverage in alpha.
      ASSERT_EQ(p & 0xffffffu, 0xffc828u) << x << "," << y;
    }
  EXPECT_GT(partial, 20);
}

TEST_F(TextDraw, EveryEditorStyleDraws) {
  TextStyle styles[] = {
      TextStyle("Verdana", 13, Colour(100, 255, 255, 255), 0, TextStyle::kAlignLeft),
      TextStyle("Arial", 16, Colour(255, 255, 255, 255)),
      TextStyle("Arial", 14, Colour(220, 255, 255, 255)),
      TextStyle("Arial", 14, Colour(170, 255, 255, 255), TextStyle::kStyleBold),
      TextStyle("Arial", 15, Colour(200, 255, 255, 255), 0, TextStyle::kAlignLeft),
      TextStyle("Arial", 16, Colour(255, 255, 255, 255), TextStyle::kStyleItalic, 1, 0, 1),
  };
  for (TextStyle& s : styles) {
    SetUp();
    int box[4];
    EXPECT_TRUE(g.DrawText(s, "v1.16 -8.0 LUFS", Rect(20, 20, 180, 40)));
    EXPECT_TRUE(Ink(box)) << s.font << " " << s.size;
  }
}

TEST(TextFonts, OrientationTurnsTheBaseline) {
  IGraphicsOffscreen g(nullptr, 100, 100, 0);
  g.PrepareDrawBitmap();
  TextStyle up("Arial", 16, Colour(255, 255, 255, 255), 0, TextStyle::kAlignLeft, 90);
  g.DrawText(up, "Long line", Rect(50, 90, 60, 100));
  int box[4];
  ASSERT_TRUE(gfxtest::InkBox(g.GetDrawBitmap(), 0, box));
  EXPECT_GT(box[3] - box[1], 2 * (box[2] - box[0]));  // taller than wide
  EXPECT_LE(box[3], 91);                               // runs upwards from the start
}

// Text in many scripts (or hostile text) cannot make a font's glyph cache grow
// without end; glyphs beyond the bound still draw, the same as cached ones.
TEST_F(TextDraw, TheGlyphCacheIsBounded) {
  LICE_FontSpec fontSpec;
  fontSpec.height = 14;
  std::strncpy(fontSpec.face, "DejaVu Sans", sizeof fontSpec.face - 1);
  LICE_CachedFont font;
  font.SetFromPlatformFont(LICE_CreatePlatformFont(fontSpec), LICE_FONT_FLAG_OWNS_FONT);
  ASSERT_TRUE(font.PlatformFont());
  font.SetTextColour(LICE_ARGB(255, 255, 255, 255));
  const Rect r(10, 10, 190, 40);
  font.DrawText(bm(), "A", -1, r, LICE_TEXT_NOCLIP);
  LICE_MemBitmap first(200, 80);
  LICE_Blit(&first, bm(), 0, 0, 0, 0, 200, 80, 1.0f, 0);

  std::string text;
  for (char32_t cp = 0x4E00; cp < 0x4E00 + 3000; ++cp) {
    text += static_cast<char>(0xE0 | (cp >> 12));
    text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (cp & 0x3F));
  }
  font.DrawText(bm(), text.c_str(), -1, r, LICE_TEXT_NOCLIP);
  EXPECT_LE(LICE_PlatformFontCachedGlyphs(font.PlatformFont()), 2048u);
  EXPECT_GT(LICE_PlatformFontCachedGlyphs(font.PlatformFont()), 100u);

  SetUp();
  font.DrawText(bm(), "A", -1, r, LICE_TEXT_NOCLIP);
  EXPECT_EQ(gfxtest::CompareBitmaps(&first, bm(), 0, nullptr), 0);
}
