// The editor the plug-in builds: its controls in order with their
// rectangles, bindings and styles, the images they show, the version text,
// and the reset button's hint with its time-out.
#include <gtest/gtest.h>

#include "editor/GRAPH.h"
#include "editor/IBitmapControl.h"
#include "editor/IButton.h"
#include "editor/IKnobControl.h"
#include "editor/ISliderImg.h"
#include "editor/ITextControl.h"
#include "editor/IURLOpen.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

template <class C>
C* As(IGraphics* g, int i) {
  return dynamic_cast<C*>(g->GetControl(i));
}

}  // namespace

TEST(EditorLayout, ControlsInOrderWithTheirRectanglesAndBindings) {
  CLS_QUARVELLINE plug;
  IGraphics* g = plug.GetGUI();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Width(), 600);
  EXPECT_EQ(g->Height(), 490);
  EXPECT_EQ(g->FrameRate(), 24);
  ASSERT_EQ(g->NControls(), 17);

  auto* bg = As<IBitmapControl>(g, 0);
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->rect, Rect(0, 0, 600, 490));
  EXPECT_EQ(bg->blend.method, kBlendCopy);
  auto* version = As<ITextControl>(g, 1);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->rect, Rect(50, 12, 95, 30));
  EXPECT_STREQ(version->GetText(), "v1.16");
  EXPECT_STREQ(version->GetTextStyle().font, "Verdana");
  EXPECT_EQ(version->GetTextStyle().size, 13);
  EXPECT_EQ(version->GetTextStyle().colour, Colour(100, 255, 255, 255));
  EXPECT_EQ(version->GetTextStyle().align, TextStyle::kAlignLeft);
  ASSERT_NE(As<IURLOpen>(g, 2), nullptr);
  EXPECT_EQ(g->GetControl(2)->rect, Rect(200, 6, 400, 53));

  const struct {
    int param;
    Rect rect;
    int cx, cy, bodyWidth;
  } knobs[] = {
      {kInputGain, Rect(67, 110, 133, 196), 100, 143, 66}, {kLookAhead, Rect(154, 109, 212, 187), 183, 138, 58},
      {kAttack, Rect(232, 109, 290, 187), 261, 138, 58},   {kRelease, Rect(310, 109, 368, 187), 339, 138, 58},
      {kWindow, Rect(388, 109, 446, 187), 417, 138, 58},   {kOutLimit, Rect(467, 110, 533, 196), 500, 143, 66},
  };
  int companions[6];
  for (int k = 0; k < 6; ++k) {
    auto* knob = As<IKnobRotVal>(g, 3 + k);
    ASSERT_NE(knob, nullptr) << k;
    EXPECT_EQ(knob->paramIdx, knobs[k].param);
    EXPECT_EQ(knob->rect, knobs[k].rect) << k;
    EXPECT_EQ(knob->targetRect, knobs[k].rect);
    EXPECT_EQ(knob->centreX, knobs[k].cx);
    EXPECT_EQ(knob->centreY, knobs[k].cy);
    EXPECT_EQ(knob->bitmap.W, knobs[k].bodyWidth);
    EXPECT_EQ(knob->gearing, 4.0);
    EXPECT_EQ(knob->direction, 0);
    EXPECT_EQ(knob->sweep, 300);
    EXPECT_EQ(knob->textOffset, 4);
    EXPECT_FLOAT_EQ(knob->dim, 0.2f);
    EXPECT_EQ(knob->steps, -1);
    EXPECT_TRUE(knob->showLabel);
    EXPECT_EQ(knob->textStyle.size, 16);
    EXPECT_EQ(knob->textStyle.colour, Colour(255, 255, 255, 255));
    companions[k] = knob->bitmap.companionId;
    EXPECT_NE(g->CachedBitmap(companions[k]).raster, nullptr);
  }
  // The four images are cut once each: Look Ahead, Attack and Release share one.
  EXPECT_EQ(companions[1], companions[2]);
  EXPECT_EQ(companions[2], companions[3]);
  EXPECT_NE(companions[0], companions[5]);

  auto* lock = As<IButton>(g, 9);
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->paramIdx, kResetOnPlay);
  EXPECT_EQ(lock->rect, Rect(35, 205, 55, 223));
  EXPECT_TRUE(lock->inverted);
  auto* reset = As<IButtonGUI2>(g, 10);
  ASSERT_NE(reset, nullptr);
  EXPECT_EQ(reset->paramIdx, -1);
  EXPECT_EQ(reset->rect, Rect(57, 205, 80, 223));
  EXPECT_EQ(reset->target, &plug.mResetToggle);
  EXPECT_TRUE(reset->pressValue);
  EXPECT_EQ(reset->quarv, &plug);
  EXPECT_EQ(plug.mResetButton, reset);
  auto* whenPlay = As<IButton>(g, 11);
  ASSERT_NE(whenPlay, nullptr);
  EXPECT_EQ(whenPlay->paramIdx, kGraphWhenPlay);
  EXPECT_EQ(whenPlay->rect, Rect(83, 204, 101, 222));
  EXPECT_FALSE(whenPlay->inverted);
  auto* slider = As<ISliderImg>(g, 12);
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->paramIdx, kAttenuationTarget);
  EXPECT_EQ(slider->rect, Rect(114, 199, 292, 219));
  EXPECT_EQ(slider->trackRect, Rect(114, 199, 292, 219));
  EXPECT_EQ(slider->travel, 160);
  EXPECT_FALSE(slider->vertical);
  EXPECT_EQ(slider->textStyle.size, 0);
  // 0 dB centres the handle on the first tick (123), 16 dB on the last (283).
  EXPECT_EQ(slider->HandleRect(0.0), Rect(114, 199, 132, 219));
  EXPECT_EQ(slider->HandleRect(1.0), Rect(274, 199, 292, 219));

  EXPECT_EQ(g->GetControl(13), plug.mStatusLine);
  EXPECT_EQ(plug.mStatusLine->rect, Rect(175, 58, 425, 78));
  EXPECT_EQ(plug.mStatusLine->GetTextStyle().size, 14);
  EXPECT_EQ(plug.mStatusLine->GetTextStyle().colour, Colour(220, 255, 255, 255));
  EXPECT_EQ(g->GetControl(14), plug.mAttenLabel);
  EXPECT_EQ(plug.mAttenLabel->rect, Rect(302, 212, 400, 228));
  EXPECT_EQ(plug.mAttenLabel->quarv, &plug);
  EXPECT_EQ(g->GetControl(15), plug.mInfoLine);
  EXPECT_EQ(plug.mInfoLine->rect, Rect(400, 212, 588, 228));
  EXPECT_EQ(g->GetControl(16), plug.mGraph);
  EXPECT_EQ(plug.mGraph->rect, Rect(8, 228, 588, 474));
  EXPECT_EQ(plug.mGraph->quarv, &plug);
  EXPECT_EQ(g->alwaysRedrawRect, Rect(8, 228, 588, 474));
  EXPECT_TRUE(g->mouseOverEnabled);
}

TEST(EditorLayout, ImagesComeFromTheModule) {
  CLS_QUARVELLINE plug;
  IGraphics* g = plug.GetGUI();
  const struct {
    int id, w, h;
  } images[] = {{100, 600, 490}, {101, 132, 66}, {102, 116, 58}, {103, 116, 58}, {104, 132, 66},
                {105, 20, 18},   {106, 23, 18},  {107, 18, 20},  {108, 18, 18}};
  for (const auto& img : images) {
    const BitmapRef ref = g->LoadBitmap(img.id, "", 1);
    ASSERT_NE(ref.raster, nullptr) << img.id;
    EXPECT_EQ(ref.W, img.w) << img.id;
    EXPECT_EQ(ref.H, img.h) << img.id;
  }
}

TEST(EditorLayout, EveryParameterHasItsControlAndTheFirstValuesAreDefaults) {
  CLS_QUARVELLINE plug;
  IGraphics* g = plug.GetGUI();
  int bound[kNumParams] = {};
  for (int i = 0; i < g->NControls(); ++i) {
    const IControl* c = g->GetControl(i);
    if (c->paramIdx < 0) continue;
    ++bound[c->paramIdx];
    EXPECT_EQ(c->defaultValue, plug.GetParam(c->paramIdx)->Normalized()) << i;
    EXPECT_EQ(c->value, c->defaultValue);
  }
  for (int p = 0; p < kNumParams; ++p) EXPECT_EQ(bound[p], 1) << p;
}

TEST(EditorLayout, ResetButtonHintShowsForNineSeconds) {
  quarvtest::FakeClockScope clock(1000);
  OpenPlug p;
  p.RunConstant(0.0, 512);
  IGraphics* g = p->GetGUI();
  g->OnMouseOver(65, 210, MouseMods());
  EXPECT_STREQ(p->mStatusLine->GetText(), "Click to reset all data");
  EXPECT_EQ(p->mStatusDeadline, 10000u);
  quarvtest::gFakeClock = 10000;
  p.RunConstant(0.0, 512);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Click to reset all data");
  quarvtest::gFakeClock = 10001;
  p.RunConstant(0.0, 512);
  EXPECT_STREQ(p->mStatusLine->GetText(), "");
  EXPECT_EQ(p->mStatusDeadline, 0u);

  // A press and a release of the reset button reset the data at the next
  // frame that sees the flag changed.
  p->mMinGain = 0.5;
  g->OnMouseDown(65, 210, MouseMods(true, false));
  p->mGraph->Draw(g);
  EXPECT_EQ(p->mMinGain, 1.0);
  g->OnMouseUp(65, 210, MouseMods(true, false));
  EXPECT_TRUE(p->mResetToggle);

  // A click between two frames is not lost: the frame after it resets.
  p->mMinGain = 0.5;
  g->OnMouseDown(65, 210, MouseMods(true, false));
  g->OnMouseUp(65, 210, MouseMods(true, false));
  p->mGraph->Draw(g);
  EXPECT_EQ(p->mMinGain, 1.0);
  p->mMinGain = 0.5;
  p->mGraph->Draw(g);
  EXPECT_EQ(p->mMinGain, 0.5) << "one click, no reset at every frame after it";
  // A right click is no press of the button.
  g->OnMouseDown(65, 210, MouseMods(false, true));
  g->OnMouseUp(65, 210, MouseMods(false, true));
  p->mGraph->Draw(g);
  EXPECT_EQ(p->mMinGain, 0.5);
}
