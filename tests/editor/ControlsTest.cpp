// The bitmap and text controls on a small plug-in: knob drag, release,
// angles and value texts; the slider's geometry and clicks; the three button
// kinds; the frame bitmap; text lines, the attenuation label and the product
// page area.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/IBitmapControl.h"
#include "editor/IButton.h"
#include "editor/IKnobControl.h"
#include "editor/ISliderImg.h"
#include "editor/ITextControl.h"
#include "editor/IURLOpen.h"
#include "graphics/GfxTestUtil.h"
#include "graphics/RecordingGraphics.h"
#include "graphics/TestPlug.h"
#include "graphics/raster/LiceRaster.h"

using gfxtest::At;
using gfxtest::Log;
using gfxtest::RecordingGraphics;
using gfxtest::TestPlug;

namespace {

const MouseMods kLeft(true, false);
const MouseMods kRight(false, true);
const MouseMods kCtrl(true, false, false, true);
const MouseMods kShift(true, false, true, false);
constexpr LICE_pixel kBlack = LICE_ARGB(255, 0, 0, 0);
const TextStyle kValueStyle("Arial", 16, Colour(255, 255, 255, 255));

class Controls : public ::testing::Test {
protected:
  Controls() {
    g = new RecordingGraphics(&plug, 300, 200, 0);
    plug.AttachGraphics(g);  // the plug-in base owns it from here
    g->drawRect = Rect(0, 0, 300, 200);
  }
  template <class C>
  C* Attach(C* c) {
    g->AttachControl(c);
    return c;
  }
  // An opaque white image of w × h, registered under id.
  BitmapRef White(int id, int w, int h) {
    LICE_MemBitmap img(w, h);
    gfxtest::Fill(&img, LICE_ARGB(255, 255, 255, 255));
    const std::vector<uint8_t> png = gfxtest::EncodePng(&img);
    g->SetImage(id, png.data(), png.size());
    return g->LoadBitmap(id, "", 1);
  }
  // A knob image cut in two: a white dot on the left, a grey disc on the right.
  BitmapRef Knob(int id) {
    LICE_MemBitmap img(116, 58);
    LICE_FillRect(&img, 27, 4, 4, 4, 0xffffffffu, 1.0f, 0);
    LICE_FilledArc(&img, 87.0f, 29.0f, 26.0f, 0, 7, LICE_ARGB(255, 90, 90, 90), 1.0f, 0, true);
    const std::vector<uint8_t> png = gfxtest::EncodePng(&img);
    g->SetImage(id, png.data(), png.size());
    BitmapRef body = g->LoadBitmap(id, "", 1);
    g->SplitBitmap(body, 0.5f);
    return body;
  }
  IKnobRotVal* AddKnob(int paramIdx, int cx = 100, int cy = 80) {
    const BitmapRef body = Knob(9500);
    const Rect r = IKnobRotVal::RectFor(body, cx, cy, 4, kValueStyle.size);
    return Attach(new IKnobRotVal(&plug, r, paramIdx, kValueStyle, body, cx, cy, 4, 300, 0.2f));
  }
  void Clear() { gfxtest::Fill(g->GetDrawBitmap(), kBlack); }
  bool Inked(const Rect& r) {
    for (int y = r.T; y < r.B; ++y)
      for (int x = r.L; x < r.R; ++x)
        if (At(g->GetDrawBitmap(), x, y) != kBlack) return true;
    return false;
  }
  int Red(int x, int y) { return LICE_R(At(g->GetDrawBitmap(), x, y)); }

  Log log;
  TestPlug plug{&log};
  RecordingGraphics* g;
};

}  // namespace

// ---- Knobs ----

TEST_F(Controls, KnobRectComesFromTheBitmapAndTheTextSize) {
  const BitmapRef body = Knob(9501);
  EXPECT_EQ(body.W, 58);
  EXPECT_EQ(IKnobRotVal::RectFor(body, 183, 138, 4, 16), Rect(154, 109, 212, 187));
  const BitmapRef odd(nullptr, 67, 67);
  EXPECT_EQ(IKnobRotVal::RectFor(odd, 100, 100, -2, 10), Rect(66, 66, 134, 142));  // 33.5 rounds away
}

TEST_F(Controls, KnobDragIsGearedToTheRectHeight) {
  IKnobRotVal* knob = AddKnob(0);
  knob->rect = knob->targetRect = Rect(57, 37, 143, 123);  // 86 high
  knob->value = 0.5;
  g->OnMouseDown(100, 80, kLeft);
  g->OnMouseDrag(100, -6, kLeft);  // 86 pixels up
  EXPECT_NEAR(knob->value, 0.75, 1e-12);
  EXPECT_NEAR(plug.GetParam(0)->Normalized(), 0.75, 1e-12);
  g->OnMouseDrag(100, 80, kCtrl);
  EXPECT_NEAR(knob->value, 0.725, 1e-12);
  g->OnMouseDrag(100, -6, kShift);
  EXPECT_NEAR(knob->value, 0.75, 1e-12);
  for (int y = -100; y > -1000; y -= 100) g->OnMouseDrag(100, y, kLeft);
  EXPECT_EQ(knob->value, 1.0);  // clamped
  g->OnMouseUp(100, 80, kLeft);
  EXPECT_EQ(log.front(), "begin 0");
  EXPECT_EQ(log.back(), "end 0");

  knob->direction = 1;  // horizontal: across the 86-pixel width
  knob->value = 0.5;
  g->OnMouseDown(100, 80, kLeft);
  g->OnMouseDrag(186, 80, kLeft);
  EXPECT_NEAR(knob->value, 0.75, 1e-12);
}

TEST_F(Controls, KnobReleaseSnapsOnlyWithSteps) {
  IKnobRotVal* knob = AddKnob(0);
  knob->value = 0.43;
  knob->MouseUp(0, 0, kLeft);
  EXPECT_EQ(knob->value, 0.43);
  knob->steps = 4;
  knob->MouseUp(0, 0, kLeft);
  EXPECT_EQ(knob->value, 0.5);
  EXPECT_NEAR(plug.GetParam(0)->Normalized(), 0.5, 1e-12);
}

TEST_F(Controls, KnobAngleAndSourceOffset) {
  IKnobRotVal* knob = AddKnob(0);
  EXPECT_EQ(knob->AngleFor(0.5), 0.0);
  EXPECT_EQ(IKnobRotVal::SourceOffsetFor(0.5), 0.0f);
  EXPECT_NEAR(knob->AngleFor(0.0), -150 * M_PI / 180, 1e-6);
  EXPECT_NEAR(knob->AngleFor(1.0), 150 * M_PI / 180, 1e-6);
  EXPECT_EQ(IKnobRotVal::SourceOffsetFor(0.0), -1.0f);
  EXPECT_EQ(IKnobRotVal::SourceOffsetFor(1.0), -1.0f);
  EXPECT_FLOAT_EQ(IKnobRotVal::SourceOffsetFor(0.25), -0.5f);
  // The pointer turns clockwise: at 1 it sits right of the centre, at 0 left.
  auto dotX = [&](double v) {
    knob->value = v;
    Clear();
    knob->Draw(g);
    // Only the dot is white; the body is grey.
    double sx = 0, n = 0;
    for (int y = knob->rect.T; y < knob->rect.B - 20; ++y)
      for (int x = knob->rect.L; x < knob->rect.R; ++x)
        if (LICE_R(At(g->GetDrawBitmap(), x, y)) > 200) sx += x, ++n;
    return n > 0 ? sx / n : -1.0;
  };
  EXPECT_NEAR(dotX(0.5), 100, 1.5);
  EXPECT_GT(dotX(1.0), 105);
  EXPECT_LT(dotX(0.0), 95);
}

TEST_F(Controls, KnobValueTextWithTheUnitLabel) {
  IKnobRotVal* knob = AddKnob(0);
  const Rect text(knob->rect.L, knob->rect.B - 16, knob->rect.R, knob->rect.B);
  // The leftmost inked column of the text row.
  auto textLeft = [&] {
    Clear();
    knob->Draw(g);
    for (int x = text.L; x < text.R; ++x)
      for (int y = text.T; y < text.B; ++y)
        if (At(g->GetDrawBitmap(), x, y) != kBlack) return x;
    return text.R;
  };
  plug.SetParameterFromEditor(0, 0.75);  // 10.0 dB
  const int withLabel = textLeft();
  EXPECT_LT(withLabel, text.R);
  knob->showLabel = false;
  // "10.0dB" is wider than "10.0": the centred text reaches further out.
  EXPECT_LT(withLabel, textLeft());
  // A style size of 0 draws no text.
  knob->textStyle.size = 0;
  Clear();
  knob->Draw(g);
  EXPECT_FALSE(Inked(text));
}

TEST_F(Controls, KnobHoverDimsTheBodyAndRedrawsOnce) {
  IKnobRotVal* knob = AddKnob(2);
  knob->ClearDirty();
  knob->MouseOver(100, 80, MouseMods());
  EXPECT_TRUE(knob->hover);
  EXPECT_TRUE(knob->NeedsRedraw());
  knob->ClearDirty();
  knob->MouseOver(101, 80, MouseMods());
  EXPECT_FALSE(knob->NeedsRedraw());  // already hovered
  knob->Draw(g);
  EXPECT_EQ(knob->drawBlend.weight, 1.0f);  // the mark goes on at full weight
  knob->MouseOut();
  EXPECT_FALSE(knob->hover);
  EXPECT_TRUE(knob->NeedsRedraw());
}

// ---- Slider ----

TEST_F(Controls, SliderTrackTravelAndHandle) {
  const BitmapRef handle = White(9510, 18, 20);
  auto* slider = Attach(new ISliderImg(&plug, 2, Rect(114, 99, 292, 119), handle, TextStyle("Arial", 0, Colour()),
                                       178, 1, 0.2f));
  EXPECT_EQ(slider->trackRect, Rect(114, 99, 292, 119));
  EXPECT_EQ(slider->travel, 160);
  EXPECT_EQ(slider->HandleRect(0.0), Rect(114, 99, 132, 119));
  EXPECT_EQ(slider->HandleRect(1.0), Rect(274, 99, 292, 119));
  EXPECT_EQ(slider->HandleRect(0.5), Rect(194, 99, 212, 119));

  auto* vertical = Attach(new ISliderImg(&plug, 0, Rect(10, 20, 40, 120), handle, TextStyle(), 100, 0, 0.2f));
  EXPECT_EQ(vertical->trackRect, Rect(16, 20, 34, 120));
  EXPECT_EQ(vertical->travel, 80);
  EXPECT_EQ(vertical->HandleRect(1.0), Rect(16, 20, 34, 40));  // top at the maximum
  EXPECT_EQ(vertical->HandleRect(0.0), Rect(16, 100, 34, 120));
  auto* reversed = Attach(new ISliderImg(&plug, 0, Rect(10, 20, 40, 120), handle, TextStyle(), -100, 0, 0.2f));
  EXPECT_TRUE(reversed->reversed);
  EXPECT_EQ(reversed->HandleRect(1.0), Rect(16, 100, 34, 120));
}

TEST_F(Controls, SliderClicksOutsideTheTrackDoNothing) {
  const BitmapRef handle = White(9511, 18, 20);
  auto* slider = Attach(new ISliderImg(&plug, 2, Rect(100, 50, 300, 80), handle, TextStyle("Arial", 0, Colour()),
                                       178, 1, 0.2f));
  // Track (111, 50, 289, 70): below it, inside the rect, nothing happens.
  slider->value = 0.3;
  g->OnMouseDown(200, 75, kLeft);
  EXPECT_EQ(slider->value, 0.3);
  EXPECT_FALSE(slider->dragging);
  g->OnMouseUp(200, 75, kLeft);
  // Inside: the handle's centre jumps to the mouse and follows the drag.
  g->OnMouseDown(200, 60, kLeft);
  EXPECT_TRUE(slider->dragging);
  EXPECT_NEAR(slider->value, (200 - 111 - 9) / 160.0, 1e-12);
  EXPECT_NEAR(plug.GetParam(2)->Value(), 50.0, 1e-9);
  g->OnMouseDrag(120, 60, kLeft);
  EXPECT_EQ(slider->value, 0.0);  // clamped
  g->OnMouseUp(120, 60, kLeft);
  EXPECT_FALSE(slider->dragging);
  // A right click opens the value prompt.
  g->OnMouseDown(200, 60, kRight);
  EXPECT_EQ(g->promptControl, slider);
}

TEST_F(Controls, SliderHandleDimsWhileNotHovered) {
  const BitmapRef handle = White(9512, 18, 20);
  auto* slider = Attach(new ISliderImg(&plug, 2, Rect(114, 99, 292, 119), handle, TextStyle("Arial", 0, Colour()),
                                       178, 1, 0.2f));
  plug.SetParameterFromEditor(2, 0.0);
  Clear();
  slider->Draw(g);
  EXPECT_EQ(Red(120, 105), 255);  // tracking off: the control's own blend
  g->mouseOverEnabled = true;
  Clear();
  slider->Draw(g);
  EXPECT_EQ(Red(120, 105), 204);  // weight 0.8
  slider->MouseOver(120, 105, MouseMods());
  Clear();
  slider->Draw(g);
  EXPECT_EQ(Red(120, 105), 255);
  EXPECT_FALSE(Inked(Rect(133, 99, 292, 119)));  // size 0: no value text
}

// ---- Buttons ----

TEST_F(Controls, ButtonTogglesOnLeftAndOnlyResendsOnRight) {
  auto* button = Attach(new IButton(&plug, 10, 10, 1, White(9520, 20, 18), false, 0.2f));
  EXPECT_EQ(button->rect, Rect(10, 10, 30, 28));
  g->OnMouseDown(15, 15, kLeft);
  EXPECT_EQ(button->value, 1.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), 5.0);
  g->OnMouseUp(15, 15, kLeft);
  g->OnMouseDown(15, 15, kLeft);
  EXPECT_EQ(button->value, 0.0);
  g->OnMouseUp(15, 15, kLeft);
  button->ClearDirty();
  g->OnMouseDown(15, 15, kRight);
  EXPECT_EQ(button->value, 0.0);
  EXPECT_TRUE(button->NeedsRedraw());
  EXPECT_EQ(g->promptCount, 0);  // never the value prompt
  const double before = button->value;
  g->OnMouseWheel(15, 15, MouseMods(), 3);
  EXPECT_EQ(button->value, before);  // no wheel
}

TEST_F(Controls, ButtonDrawsByStateAndHover) {
  auto* button = Attach(new IButton(&plug, 10, 10, 1, White(9521, 20, 18), false, 0.2f));
  auto* inverted = Attach(new IButton(&plug, 40, 10, 1, White(9521, 20, 18), true, 0.2f));
  struct Case {
    double value;
    bool hover;
    int red, invertedRed;
  } cases[] = {{1.0, false, 255, 0}, {1.0, true, 204, 51}, {0.0, true, 51, 204}, {0.0, false, 0, 255}};
  for (const Case& c : cases) {
    button->value = inverted->value = c.value;
    button->hover = inverted->hover = c.hover;
    Clear();
    button->Draw(g);
    inverted->Draw(g);
    EXPECT_EQ(Red(15, 15), c.red) << c.value << " " << c.hover;
    EXPECT_EQ(Red(45, 15), c.invertedRed) << c.value << " " << c.hover;
  }
}

TEST_F(Controls, MomentaryButtonWritesItsFlagAroundThePress) {
  bool flag = true;
  auto* button = Attach(new IButtonGUI(&plug, &flag, 10, 10, White(9522, 23, 18), true, 0.2f));
  EXPECT_EQ(button->rect, Rect(10, 10, 33, 28));
  button->ClearDirty();
  g->OnMouseDown(15, 15, kLeft);
  EXPECT_FALSE(flag);
  EXPECT_TRUE(button->NeedsRedraw());
  Clear();
  button->Draw(g);
  EXPECT_FALSE(Inked(button->rect));  // held: the icon vanishes
  button->ClearDirty();
  g->OnMouseUp(15, 15, kLeft);
  EXPECT_TRUE(flag);
  EXPECT_TRUE(button->NeedsRedraw());
  Clear();
  button->Draw(g);
  EXPECT_EQ(Red(15, 15), 255);
  button->hover = true;
  Clear();
  button->Draw(g);
  EXPECT_EQ(Red(15, 15), 204);
  button->dim = -0.3f;  // a negative dim is the hovered weight itself
  Clear();
  button->Draw(g);
  EXPECT_EQ(Red(15, 15), 76);
  // The right button writes nothing.
  g->OnMouseDown(15, 15, kRight);
  EXPECT_TRUE(flag);
}

// ---- Frame bitmap, text, label, product page ----

TEST_F(Controls, FrameBitmapPicksTheFrameNearestTheValue) {
  LICE_MemBitmap img(40, 10);
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 10; ++y) At(&img, x, y) = LICE_ARGB(255, 10 * (x / 10 + 1), 0, 0);
  const std::vector<uint8_t> png = gfxtest::EncodePng(&img);
  g->SetImage(9530, png.data(), png.size());
  auto* frames = Attach(new IBitmapControl(&plug, 0, 0, -1, g->LoadBitmap(9530, "", 4)));
  EXPECT_EQ(frames->rect, Rect(0, 0, 10, 10));
  for (auto [v, red] : {std::pair{0.0, 10}, {0.16, 10}, {0.17, 20}, {0.5, 30}, {1.0, 40}, {7.0, 40}}) {
    frames->value = v;
    frames->Draw(g);
    EXPECT_EQ(Red(5, 5), red) << v;
  }
}

TEST_F(Controls, SetTextRedrawsOnlyForNewText) {
  auto* line = Attach(new ITextControl(&plug, Rect(0, 0, 200, 20), kValueStyle, "same"));
  line->ClearDirty();
  line->SetText("same");
  EXPECT_FALSE(line->NeedsRedraw());
  line->SetText("other");
  EXPECT_TRUE(line->NeedsRedraw());
  EXPECT_STREQ(line->GetText(), "other");
  line->SetText(nullptr);
  EXPECT_STREQ(line->GetText(), "");
  Clear();
  line->Draw(g);  // empty: nothing drawn
  EXPECT_FALSE(Inked(Rect(0, 0, 200, 20)));
  line->SetText("text");
  line->Draw(g);
  EXPECT_TRUE(Inked(Rect(0, 0, 200, 20)));
}

TEST(AttenuationLabel, ColourAgainstTheTarget) {
  EXPECT_EQ(cntrLabel::AttenuationDb(1.0), 0.001);  // shown as 0.00dB
  EXPECT_NEAR(cntrLabel::AttenuationDb(0.5), 6.0206, 1e-4);
  EXPECT_EQ(cntrLabel::AttenuationDb(1e-9), 150.0);
  const Colour green(255, 0, 255, 127), yellow(255, 255, 255, 0), red(255, 255, 20, 20);
  EXPECT_EQ(cntrLabel::ColourFor(0.001, 4.0f), green);
  EXPECT_EQ(cntrLabel::ColourFor(3.5, 4.0f), green);
  EXPECT_EQ(cntrLabel::ColourFor(3.51, 4.0f), yellow);
  EXPECT_EQ(cntrLabel::ColourFor(4.5, 4.0f), yellow);  // exactly target + 0.5
  EXPECT_EQ(cntrLabel::ColourFor(4.51, 4.0f), red);
}

TEST_F(Controls, ProductPageOpensTheMakersAddress) {
  auto* area = Attach(new IURLOpen(&plug, Rect(200, 6, 280, 53)));
  Clear();
  EXPECT_TRUE(area->Draw(g));
  EXPECT_FALSE(Inked(area->rect));
  g->OnMouseDown(210, 20, kRight);
  EXPECT_EQ(g->openedUrl, std::string(IURLOpen::kMakerHost) + "/Test");
  EXPECT_EQ(g->urlFailureText, "Cannot open url. Check your default browser.");
}
