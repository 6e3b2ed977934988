// Reviewed pictures: lines at many angles, arcs, rounded rectangles, rotated
// knob pointers and the editor's text styles, compared with the PNGs under
// golden/ within a small per-channel tolerance. Each run writes what it drew
// to golden-out/ in the build folder for a person to look at; with
// QUARV_UPDATE_GOLDEN=1 it replaces the reviewed pictures instead.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "GfxTestUtil.h"
#include "RecordingGraphics.h"
#include "graphics/raster/LiceRaster.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kTolerance = 3;

// A 132 × 66 knob image: the left square holds a white pointer dot near the
// top, the right square a shaded blue knob.
LICE_MemBitmap MakeKnob() {
  LICE_MemBitmap img(132, 66);
  LICE_FilledArc(&img, 33.0f, 10.0f, 3.5f, 0, 7, 0xffffffffu, 1.0f, LICE_BLIT_MODE_COPY, true);
  for (int i = 0; i < 14; ++i) {
    const float r = 29.0f - i * 2.0f;
    const int shade = 60 + i * 9;
    LICE_FilledArc(&img, 98.5f, 32.5f, r, 0, 7, LICE_ARGB(255, shade / 3, shade / 2, shade), 1.0f,
                   LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA, true);
  }
  return img;
}

void DrawShapes(IGraphics& g) {
  const Colour white(255, 255, 255, 255);
  // Stars of lines, every 15 degrees: antialiased, plain, and half-transparent.
  for (int k = 0; k < 24; ++k) {
    const float a = k * kPi / 12;
    g.DrawLine(white, 60, 60, 60 + 50 * std::sin(a), 60 - 50 * std::cos(a), nullptr, true);
    g.DrawLine(white, 180, 60, 180 + 50 * std::sin(a), 60 - 50 * std::cos(a), nullptr, false);
    g.DrawLine(Colour(160, 255, 220, 120), 300, 60, 300 + 50 * std::sin(a + 0.1f),
               60 - 50 * std::cos(a + 0.1f), nullptr, true);
  }
  // Nearly horizontal and nearly vertical runs, as the history graph draws.
  for (int i = 0; i < 20; ++i) {
    g.DrawLine(Colour(255, 255, 255, 0), 360.0f + i * 6, 100.0f - i * 0.7f, 366.0f + i * 6, 100.0f - (i + 1) * 0.7f,
               nullptr, true);
    g.DrawLine(Colour(60, 255, 255, 255), 360.0f + i * 6, 110.0f + (i % 7), 360.0f + i * 6, 118.0f, nullptr, true);
  }
  // Arcs: outlines of several spans, a full circle and filled sectors.
  LICE_IBitmap* bm = g.GetDrawBitmap();
  LICE_Arc(bm, 420, 40, 25, 0, kPi / 2, 0xffff8040u, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Arc(bm, 420, 40, 18, kPi, 2 * kPi, 0xff40c0ffu, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Arc(bm, 420, 40, 11, 0, 2 * kPi, 0xffffffffu, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_FilledArc(bm, 480, 40, 22, 0.3f, 2.0f, 0xffe0c040u, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_FilledArc(bm, 480, 40, 22, 2.0f, 0.3f + 2 * kPi, 0x8040a0ffu, 1.0f,
                 LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA, true);
  LICE_FilledArc(bm, 540, 40, 20, 0, 2 * kPi, 0xff80ff80u, 1.0f, LICE_BLIT_MODE_COPY, false);
  // Rounded rectangles as the popup list and the scroll bar use them.
  Rect outline(20, 130, 140, 170);
  g.DrawRoundRect(white, outline, 4, nullptr, true);
  g.FillRoundRect(Colour(245, 50, 50, 50), Rect(160, 130, 280, 200), 4, 4, nullptr, true);
  Rect selected(166, 140, 274, 160);
  g.DrawRoundRect(Colour(75, 200, 200, 200), selected, 4, nullptr, true);
  g.FillRoundRect(Colour(75, 200, 200, 200), Rect(166, 140, 274, 160), 4, 4, nullptr, true);
  g.FillRoundRect(Colour(255, 200, 80, 80), Rect(300, 130, 360, 170), 8, 2, nullptr, true);
  g.FillRoundRect(Colour(255, 80, 200, 80), Rect(380, 130, 440, 170), 8, -2, nullptr, true);
  g.FillRoundRect(Colour(95, 200, 200, 200), Rect(460, 130, 470, 200), 3, 4, nullptr, true);
  Rect track(458, 128, 472, 202);
  g.DrawRoundRect(Colour(75, 200, 200, 200), track, 4, nullptr, true);
  g.FillRect(Colour(255, 30, 120, 60), Rect(500, 130, 560, 170));
  const Blend half(kBlendAlpha, 0.5f);
  g.FillRect(Colour(255, 255, 255, 255), Rect(520, 150, 580, 190), &half);
}

// Seven knobs across their range, as the editor's knobs draw them: the body,
// then the pointer turned by -150 to +150 degrees.
void DrawKnobs(IGraphics& g) {
  LICE_MemBitmap img = MakeKnob();
  const std::vector<uint8_t> png = gfxtest::EncodePng(&img);
  static_cast<gfxtest::RecordingGraphics&>(g).SetImage(9300, png.data(), png.size());
  BitmapRef knob = g.LoadBitmap(9300, "img/knob.png", 1);
  const BitmapRef pointer = g.SplitBitmap(knob, 0.5f);
  for (int i = 0; i < 7; ++i) {
    const double v = i / 6.0;
    const float angle = static_cast<float>(300 * 3.14159265358979 / 360) * static_cast<float>(2 * v) +
                        static_cast<float>(-300 * 3.14159265358979 / 360);
    const int cx = 45 + i * 80, cy = 40;
    g.DrawBitmap(knob, Rect(cx - 33, cy - 33, cx + 33, cy + 33));
    g.DrawRotatedBitmap(pointer, cx, cy, angle);
  }
}

void DrawTexts(IGraphics& g) {
  struct Line {
    TextStyle style;
    const char* text;
    Rect rect;
  };
  Line lines[] = {
      {TextStyle("Verdana", 13, Colour(100, 255, 255, 255), 0, TextStyle::kAlignLeft), "v1.16", Rect(50, 12, 95, 30)},
      {TextStyle("Arial", 16, Colour(255, 255, 255, 255)), "-14.0dB", Rect(67, 40, 133, 60)},
      {TextStyle("Arial", 16, Colour(255, 255, 255, 255)), "250.0ms", Rect(154, 40, 212, 60)},
      {TextStyle("Arial", 14, Colour(220, 255, 255, 255)), "Out Limit: -14.0 LUFS, streaming loudness",
       Rect(175, 70, 425, 90)},
      {TextStyle("Arial", 14, Colour(220, 255, 255, 255)), "Lufs Max: -9.87lu, Lufs I: -14.02lu",
       Rect(400, 100, 588, 116)},
      {TextStyle("Arial", 14, Colour(170, 255, 255, 255), TextStyle::kStyleBold), "-12", Rect(8, 120, 38, 136)},
      {TextStyle("Arial", 14, Colour(170, 255, 255, 255), TextStyle::kStyleBold), " 4", Rect(8, 140, 38, 156)},
      {TextStyle("Arial", 15, Colour(200, 255, 255, 255), 0, TextStyle::kAlignLeft),
       "Reset data at play start\nLock data, keep at play start", Rect(60, 120, 300, 160)},
      {TextStyle("Arial", 16, Colour(255, 255, 210, 80), TextStyle::kStyleItalic, TextStyle::kAlignRight),
       "Italic, right aligned", Rect(300, 130, 590, 150)},
      // Size 17: a style that differs only in quality would share the first font.
      {TextStyle("Arial", 17, Colour(255, 255, 255, 255), 0, TextStyle::kAlignLeft, 0,
                 TextStyle::kQualityNonAntialiased),
       "Not antialiased", Rect(320, 160, 590, 180)},
      {TextStyle("Verdana", 13, Colour(255, 255, 255, 255), TextStyle::kStyleBold, TextStyle::kAlignLeft),
       "Verdana bold: 0123456789 \xc3\xa4\xc3\xb6\xc3\xbc \xe2\x82\xac", Rect(20, 180, 300, 196)},
  };
  for (Line& l : lines) g.DrawText(l.style, l.text, l.rect);
}

// Draws into a fresh engine of w × h on the background colour and compares.
template <class F>
void CheckGolden(const char* name, int w, int h, LICE_pixel background, F draw) {
  gfxtest::RecordingGraphics g(nullptr, w, h, 0);
  g.PrepareDrawBitmap();
  g.drawRect = Rect(0, 0, w, h);
  gfxtest::Fill(g.GetDrawBitmap(), background);
  draw(g);

  namespace fs = std::filesystem;
  const fs::path golden = fs::path(QUARV_GOLDEN_DIR) / (std::string(name) + ".png");
  const fs::path out = fs::path(QUARV_GOLDEN_OUT) / (std::string(name) + ".png");
  fs::create_directories(out.parent_path());
  ASSERT_TRUE(gfxtest::WritePng(g.GetDrawBitmap(), out.string()));
  const char* update = std::getenv("QUARV_UPDATE_GOLDEN");
  if (update && update[0] == '1') {
    ASSERT_TRUE(gfxtest::WritePng(g.GetDrawBitmap(), golden.string()));
    return;
  }
  const std::unique_ptr<LICE_MemBitmap> expected = gfxtest::ReadPng(golden.string());
  ASSERT_TRUE(expected) << "no reviewed picture " << golden << "; look at " << out;
  int over = 0;
  const int worst = gfxtest::CompareBitmaps(g.GetDrawBitmap(), expected.get(), kTolerance, &over);
  EXPECT_EQ(over, 0) << name << ": " << over << " pixels differ by up to " << worst << "; compare " << out
                     << " with " << golden;
}

}  // namespace

TEST(Golden, LinesArcsAndRoundedRectangles) {
  CheckGolden("shapes", 600, 210, LICE_ARGB(255, 36, 38, 44), DrawShapes);
}

TEST(Golden, RotatedKnobPointers) {
  CheckGolden("knobs", 560, 80, LICE_ARGB(255, 36, 38, 44), DrawKnobs);
}

TEST(Golden, EditorTextStyles) {
  CheckGolden("text", 600, 200, LICE_ARGB(255, 36, 38, 44), DrawTexts);
}

TEST(Golden, TextOnTransparentBackground) {
  CheckGolden("text-transparent", 600, 200, 0, DrawTexts);
}
