// The Windows side of the raster layer: the draw bitmap as a DIB section in a
// memory device context, and text through GDI, straight into the section or
// blended through coverage masks. Runs under Wine, whose registry key sends
// all text through the blended path; the direct path is forced for the tests
// that compare the two.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "graphics/IGraphicsOffscreen.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/raster/LiceText.h"
#include "graphics/win/Win32.h"

namespace {

constexpr LICE_pixel kGround = LICE_ARGB(255, 40, 40, 40);

// The text path in force for one test, then the registry look-up again.
struct NativeText {
  explicit NativeText(int allowed) { LICE_SetNativeTextForTesting(allowed); }
  ~NativeText() { LICE_SetNativeTextForTesting(-1); }
};

std::unique_ptr<LICE_CachedFont> MakeFont(const char* face, int height, int quality = 0) {
  LICE_FontSpec request;
  request.height = height;
  request.quality = quality;
  std::snprintf(request.face, sizeof request.face, "%s", face);
  LICE_PlatformFont* platformFont = LICE_CreatePlatformFont(request);
  if (!platformFont) return nullptr;
  auto font = std::make_unique<LICE_CachedFont>();
  font->SetFromPlatformFont(platformFont, LICE_FONT_FLAG_OWNS_FONT | LICE_FONT_FLAG_RENDER_NATIVE);
  return font;
}

struct Ink {
  int pixels = 0, transparent = 0;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// Pixels that differ from the ground colour, and how many have alpha 0 (GDI's
// own text output leaves that in a 32-bit section).
Ink InkOf(LICE_IBitmap& bm) {
  Ink ink;
  for (int y = 0; y < bm.Height(); ++y) {
    for (int x = 0; x < bm.Width(); ++x) {
      const LICE_pixel p = LICE_Row(&bm, y)[x];
      if ((p & 0xffffffu) == (kGround & 0xffffffu)) continue;
      ++ink.pixels;
      if (LICE_A(p) == 0) ++ink.transparent;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y);
    }
  }
  return ink;
}

Ink Draw(LICE_CachedFont& font, const char* text, const Rect& r, int flags, LICE_pixel colour = 0xffffffffu,
         int w = 240, int h = 60) {
  LICE_SysBitmap bm(w, h);
  LICE_FillRect(&bm, 0, 0, w, h, kGround, 1.0f, LICE_BLIT_MODE_COPY);
  font.SetTextColour(colour);
  font.DrawText(&bm, text, -1, r, flags);
  return InkOf(bm);
}

TEST(SysBitmapWin, IsATopDownSectionInItsOwnDeviceContext) {
  LICE_SysBitmap bm(30, 20);
  ASSERT_TRUE(bm.Bits());
  ASSERT_TRUE(bm.DeviceContext());
  EXPECT_EQ(bm.Width(), 30);
  EXPECT_EQ(bm.Height(), 20);
  EXPECT_EQ(bm.RowSpan(), 30);
  EXPECT_FALSE(bm.Flipped());
  EXPECT_EQ(bm.Bits()[0], 0u) << "cleared";
  // Row 3 in memory is row 3 on the device context, as GDI sees it.
  LICE_Row(&bm, 3)[7] = LICE_ARGB(0, 10, 20, 30);
  EXPECT_EQ(GetPixel(static_cast<HDC>(bm.DeviceContext()), 7, 3), RGB(10, 20, 30));
  // And GDI's drawing lands in the pixels.
  SetPixel(static_cast<HDC>(bm.DeviceContext()), 2, 15, RGB(200, 100, 50));
  GdiFlush();
  EXPECT_EQ(LICE_Row(&bm, 15)[2] & 0xffffffu, LICE_ARGB(0, 200, 100, 50));
}

TEST(SysBitmapWin, ResizesAndHandlesEmptyAndHugeSizes) {
  LICE_SysBitmap bm(10, 10);
  EXPECT_FALSE(bm.Resize(10, 10));
  EXPECT_TRUE(bm.Resize(600, 490));
  EXPECT_EQ(bm.Width(), 600);
  EXPECT_EQ(bm.Height(), 490);
  LICE_Row(&bm, 489)[599] = 0xff00ff00u;
  EXPECT_TRUE(bm.Resize(0, 5));
  EXPECT_EQ(bm.Bits(), nullptr);
  EXPECT_EQ(bm.Width(), 0);
  EXPECT_TRUE(bm.Resize(-3, 4));
  EXPECT_EQ(bm.Width(), 0);
  EXPECT_TRUE(bm.Resize(1 << 20, 1 << 20));
  EXPECT_EQ(bm.Bits(), nullptr) << "refused, not tried";
  EXPECT_TRUE(bm.Resize(8, 8));
  ASSERT_TRUE(bm.Bits());
  EXPECT_TRUE(bm.DeviceContext());
  // Drawing on an empty bitmap does nothing.
  LICE_SysBitmap empty;
  LICE_FillRect(&empty, 0, 0, 5, 5, 0xffffffffu, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(empty.Bits(), nullptr);
}

TEST(GdiText, WineIsRecognisedByItsRegistryKey) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key), ERROR_SUCCESS)
      << "these tests run under Wine";
  RegCloseKey(key);
  EXPECT_FALSE(LICE_NativeTextAllowed());
  {
    NativeText forced(1);
    EXPECT_TRUE(LICE_NativeTextAllowed());
  }
  EXPECT_FALSE(LICE_NativeTextAllowed());
}

TEST(GdiText, UnderWineOpaqueTextTakesTheBlendedPath) {
  auto font = MakeFont("Arial", 14);
  ASSERT_TRUE(font);
  const Ink ink = Draw(*font, "Hello World", Rect(0, 0, 240, 20), LICE_TEXT_NOCLIP | LICE_TEXT_CENTRE);
  EXPECT_GT(ink.pixels, 60);
  EXPECT_EQ(ink.transparent, 0) << "blended into the bitmap, alpha kept";
}

TEST(GdiText, OutsideWineOpaqueTextGoesStraightIntoTheSection) {
  NativeText forced(1);
  auto font = MakeFont("Arial", 14);
  ASSERT_TRUE(font);
  const Ink ink = Draw(*font, "Hello World", Rect(0, 0, 240, 20), LICE_TEXT_NOCLIP | LICE_TEXT_CENTRE);
  EXPECT_GT(ink.pixels, 60);
  EXPECT_EQ(ink.transparent, ink.pixels) << "GDI wrote these pixels itself";

  // A memory bitmap has no device context: the blended path draws there.
  LICE_MemBitmap mem(240, 60);
  LICE_FillRect(&mem, 0, 0, 240, 60, kGround, 1.0f, LICE_BLIT_MODE_COPY);
  font->DrawText(&mem, "Hello World", -1, Rect(0, 0, 240, 20), LICE_TEXT_NOCLIP | LICE_TEXT_CENTRE);
  const Ink memInk = InkOf(mem);
  EXPECT_EQ(memInk.pixels, ink.pixels);
  EXPECT_EQ(memInk.transparent, 0);
}

TEST(GdiText, BothPathsPutTheTextInTheSamePlace) {
  auto font = MakeFont("Arial", 16);
  ASSERT_TRUE(font);
  for (int flags : {0, static_cast<int>(LICE_TEXT_CENTRE), static_cast<int>(LICE_TEXT_RIGHT)}) {
    const Rect r(20, 10, 220, 30);
    const Ink blended = Draw(*font, "Look Ahead 12.5 ms", r, flags | LICE_TEXT_NOCLIP);
    Ink direct;
    {
      NativeText forced(1);
      direct = Draw(*font, "Look Ahead 12.5 ms", r, flags | LICE_TEXT_NOCLIP);
    }
    EXPECT_EQ(blended.pixels, direct.pixels) << flags;
    EXPECT_EQ(blended.left, direct.left) << flags;
    EXPECT_EQ(blended.right, direct.right) << flags;
    EXPECT_EQ(blended.top, direct.top) << flags;
    EXPECT_EQ(blended.bottom, direct.bottom) << flags;
    EXPECT_GE(blended.top, r.T) << "the first line starts at the top";
    if (flags == 0) {
      EXPECT_LE(std::abs(blended.left - r.L), 2);
    } else if (flags == LICE_TEXT_RIGHT) {
      EXPECT_LE(std::abs(blended.right - (r.R - 1)), 2);
    } else {
      EXPECT_LE(std::abs((blended.left + blended.right + 1) - (r.L + r.R)), 3);
    }
  }
}

TEST(GdiText, ColourAlphaBlendsOnEitherPath) {
  auto font = MakeFont("Arial", 14, 1);
  ASSERT_TRUE(font);
  for (int allowed : {0, 1}) {
    NativeText forced(allowed);
    LICE_SysBitmap bm(200, 30);
    LICE_FillRect(&bm, 0, 0, 200, 30, kGround, 1.0f, LICE_BLIT_MODE_COPY);
    font->SetTextColour(LICE_ARGB(128, 240, 240, 240));
    font->DrawText(&bm, "Attack", -1, Rect(0, 0, 200, 20), LICE_TEXT_NOCLIP | LICE_TEXT_USE_COLOUR_ALPHA);
    // Non-antialiased glyphs: every inked pixel is half text, half ground.
    const Ink ink = InkOf(bm);
    ASSERT_GT(ink.pixels, 20);
    EXPECT_EQ(ink.transparent, 0);
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 200; ++x) {
        const LICE_pixel p = LICE_Row(&bm, y)[x];
        if ((p & 0xffffffu) == (kGround & 0xffffffu)) continue;
        EXPECT_NEAR(LICE_R(p), (240 + 40) / 2, 2) << x << "," << y;
        EXPECT_EQ(LICE_A(p), 255);
      }
    }
  }
}

TEST(GdiText, LinesBreakOnlyAtLineBreaksAndClipWhenAsked) {
  auto font = MakeFont("Arial", 14);
  ASSERT_TRUE(font);
  LICE_SysBitmap bm(100, 80);
  font->SetTextColour(0xffffffffu);
  EXPECT_EQ(font->DrawText(&bm, "one", -1, Rect(0, 0, 10, 10), LICE_TEXT_NOCLIP), 14);
  EXPECT_EQ(font->DrawText(&bm, "one\ntwo\r\nthree\rfour", -1, Rect(0, 0, 100, 10), LICE_TEXT_NOCLIP), 56);
  EXPECT_EQ(font->DrawText(&bm, "one\ntwo", 3, Rect(0, 0, 100, 10), 0), 14) << "length counts";
  EXPECT_EQ(font->DrawText(nullptr, "one\ntwo", -1, Rect(0, 0, 100, 10), 0), 28) << "measures without a bitmap";

  const Ink twoLines = Draw(*font, "one\ntwo", Rect(0, 0, 100, 10), LICE_TEXT_NOCLIP, 0xffffffffu, 100, 60);
  EXPECT_GT(twoLines.bottom, 14);
  EXPECT_LT(twoLines.bottom, 28);
  const Ink clipped = Draw(*font, "one\ntwo", Rect(0, 0, 100, 10), 0, 0xffffffffu, 100, 60);
  EXPECT_LT(clipped.bottom, 10);
  EXPECT_GT(clipped.pixels, 0);
  const Ink wide = Draw(*font, "a long line that is not wrapped", Rect(0, 0, 20, 14), LICE_TEXT_NOCLIP,
                        0xffffffffu, 240, 40);
  EXPECT_GT(wide.right, 100);
  EXPECT_LT(wide.bottom, 14);
}

TEST(GdiText, ReadsUtf8AndOtherwiseTheAnsiCodePage) {
  auto font = MakeFont("Arial", 16);
  ASSERT_TRUE(font);
  // "é" as UTF-8 and as the Windows-1252 byte draw the same glyph; a lone
  // 0xC3 is no UTF-8 and reads as "Ã".
  const Ink utf8 = Draw(*font, "caf\xC3\xA9", Rect(0, 0, 100, 20), 0);
  const Ink ansi = Draw(*font, "caf\xE9", Rect(0, 0, 100, 20), 0);
  EXPECT_EQ(GetACP(), 1252u) << "Wine's default code page";
  EXPECT_EQ(utf8.pixels, ansi.pixels);
  EXPECT_EQ(utf8.right, ansi.right);
  const Ink broken = Draw(*font, "caf\xC3", Rect(0, 0, 100, 20), 0);
  const Ink atilde = Draw(*font, "caf\xC3\x83", Rect(0, 0, 100, 20), 0);
  EXPECT_EQ(broken.pixels, atilde.pixels);
}

TEST(GdiText, FontsFollowTheStyle) {
  // Wine serves Arial with Liberation Sans and Verdana with DejaVu Sans.
  LICE_FontSpec request;
  std::snprintf(request.face, sizeof request.face, "Arial");
  LICE_PlatformFont* arial = LICE_CreatePlatformFont(request);
  ASSERT_TRUE(arial);
  EXPECT_STRNE(LICE_PlatformFontName(arial), "");
  LICE_DestroyPlatformFont(arial);

  auto regular = MakeFont("Arial", 20);
  LICE_FontSpec boldSpec;
  boldSpec.height = 20;
  boldSpec.weight = 700;
  std::snprintf(boldSpec.face, sizeof boldSpec.face, "Arial");
  LICE_CachedFont bold;
  bold.SetFromPlatformFont(LICE_CreatePlatformFont(boldSpec), LICE_FONT_FLAG_OWNS_FONT);
  const Ink thin = Draw(*regular, "Input Gain", Rect(0, 0, 200, 30), 0);
  const Ink thick = Draw(bold, "Input Gain", Rect(0, 0, 200, 30), 0);
  EXPECT_GT(thick.pixels, thin.pixels + thin.pixels / 5);
  EXPECT_EQ(Draw(*regular, "Input Gain", Rect(0, 0, 200, 30), 0).pixels, thin.pixels) << "the same every time";
}

TEST(GdiText, TheEngineDrawsThroughTheCachedGdiFont) {
  IGraphicsOffscreen g(nullptr, 200, 60, 0);
  g.PrepareDrawBitmap();
  LICE_IBitmap* bm = g.GetDrawBitmap();
  ASSERT_TRUE(bm && bm->DeviceContext()) << "the draw bitmap is a DIB section";
  LICE_FillRect(bm, 0, 0, 200, 60, kGround, 1.0f, LICE_BLIT_MODE_COPY);
  TextStyle opaque("Arial", 14, Colour(255, 255, 255, 255), 0, TextStyle::kAlignCentre);
  TextStyle faint("Arial", 14, Colour(100, 255, 255, 255), 0, TextStyle::kAlignLeft);
  EXPECT_TRUE(g.DrawText(opaque, "Out Limit", Rect(0, 0, 200, 20)));
  EXPECT_TRUE(g.DrawText(faint, "v1.16", Rect(0, 30, 200, 50)));
  EXPECT_EQ(opaque.cachedFont, faint.cachedFont) << "colour is not part of the font's key";
  int strong = 0, weak = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      const LICE_pixel p = LICE_Row(bm, y)[x];
      if ((p & 0xffffffu) == (kGround & 0xffffffu)) continue;
      (y < 25 ? strong : weak) += 1;
      if (y >= 25) {
        EXPECT_LT(LICE_R(p), 200) << "blended at alpha 100";
      }
    }
  }
  EXPECT_GT(strong, 40);
  EXPECT_GT(weak, 20);
}

}  // namespace
