// The graphics engine off-screen: rectangle rules, the strict drawing pass,
// hit testing, capture and drag, edit gestures around mouse and wheel,
// mouse-over, keys, parameter values both ways, prompts and popups.
#include <gtest/gtest.h>

#include <algorithm>

#include "GfxTestUtil.h"
#include "TestPlug.h"
#include "editor/ITextControl.h"
#include "editor/PromptPopup.h"
#include "editor/IBitmapControl.h"
#include "RecordingGraphics.h"

using gfxtest::Log;
using gfxtest::Probe;
using gfxtest::TestPlug;

namespace {

const MouseMods kLeft(true, false);
const MouseMods kRight(false, true);

class Engine : public ::testing::Test {
protected:
  // Attaches a probe and returns it.
  Probe* Add(const char* name, const Rect& r, int paramIdx = -1) {
    auto* p = new Probe(name, &log, r, paramIdx, &plug);
    g.AttachControl(p);
    return p;
  }
  bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
  int Count(const std::string& entry) const { return static_cast<int>(std::count(log.begin(), log.end(), entry)); }

  static gfxtest::RecordingGraphics& Attach(TestPlug& plug) {
    auto* engine = new gfxtest::RecordingGraphics(&plug, 200, 100, 0);
    plug.AttachGraphics(engine);  // the plug-in base owns it from here
    return *engine;
  }

  Log log;
  TestPlug plug{&log};
  gfxtest::RecordingGraphics& g = Attach(plug);
};

}  // namespace

TEST(EngineRect, TouchingEdgesDoNotOverlapAndEmptyIsNeutral) {
  const Rect a(0, 0, 10, 10), b(10, 0, 20, 10);
  EXPECT_TRUE(a.Intersect(b).Empty());
  EXPECT_FALSE(a.Overlaps(b));
  EXPECT_EQ(a.Intersect(Rect(5, 5, 15, 15)), Rect(5, 5, 10, 10));
  EXPECT_EQ(a.Union(Rect()), a);
  EXPECT_EQ(Rect().Union(b), b);
  EXPECT_EQ(a.Union(b), Rect(0, 0, 20, 10));
  EXPECT_FALSE(Rect(5, 5, 5, 5).Empty());
  EXPECT_TRUE(Rect().Intersect(a).Empty());
  EXPECT_TRUE(a.Contains(10, 10));  // edges inclusive
}

TEST_F(Engine, ConstructionDefaults) {
  gfxtest::RecordingGraphics fresh(&plug, 200, 100, 0);
  EXPECT_EQ(fresh.FrameRate(), 24);
  EXPECT_EQ(gfxtest::RecordingGraphics(&plug, 10, 10, 30).FrameRate(), 30);
  EXPECT_EQ(fresh.nextBitmapId, -1);
  EXPECT_FALSE(fresh.mouseOverEnabled);
  EXPECT_TRUE(fresh.strictDrawing);
  EXPECT_TRUE(fresh.alwaysRedrawRect.Empty());
  EXPECT_EQ(fresh.GetDrawBitmap(), nullptr);
  fresh.PrepareDrawBitmap();
  ASSERT_NE(fresh.GetDrawBitmap(), nullptr);
  EXPECT_EQ(fresh.GetDrawBitmap()->Width(), 200);
  EXPECT_EQ(fresh.GetDrawBitmap()->Height(), 100);
  EXPECT_STREQ(fresh.popupStyle.font, "Arial");
  EXPECT_EQ(fresh.popupStyle.size, 15);
  EXPECT_EQ(fresh.popupStyle.align, 0);
  EXPECT_FALSE(fresh.WindowIsOpen());
  EXPECT_NE(g.GetDrawBitmap(), nullptr);  // attaching prepared it
}

TEST_F(Engine, StrictPassDrawsOverlappingVisibleControlsAndClearsEveryone) {
  Probe* bg = Add("bg", Rect(0, 0, 200, 100));
  Probe* a = Add("a", Rect(10, 10, 20, 20));
  Probe* far = Add("far", Rect(50, 50, 60, 60));
  Probe* zero = Add("zero", Rect(0, 0, 0, 0));
  Probe* touching = Add("touching", Rect(20, 10, 30, 20));
  Probe* hidden = Add("hidden", Rect(10, 10, 20, 20));
  hidden->SetHidden(true);
  a->redrawPending = true;

  Rect dirty;
  EXPECT_TRUE(g.CollectDirty(dirty));
  EXPECT_EQ(dirty, Rect(0, 0, 200, 100));

  g.DrawRegion(Rect(10, 10, 20, 20));
  EXPECT_EQ(log, (Log{"bg draw", "a draw"}));
  EXPECT_EQ(g.drawRect, Rect(10, 10, 20, 20));
  EXPECT_EQ(g.blits, (std::vector<Rect>{Rect(10, 10, 20, 20)}));
  for (Probe* p : {bg, far, zero, touching}) EXPECT_FALSE(p->NeedsRedraw());
  // Pending redraws make a control dirty for the next pass.
  EXPECT_TRUE(a->NeedsRedraw());
  EXPECT_TRUE(hidden->NeedsRedraw());
  g.DrawRegion(Rect(10, 10, 20, 20));
  EXPECT_FALSE(a->NeedsRedraw());
  EXPECT_FALSE(hidden->NeedsRedraw());

  log.clear();
  g.DrawRegion(Rect());  // an empty paint rectangle draws nothing
  EXPECT_TRUE(log.empty());
}

TEST_F(Engine, PassWithoutStrictDrawingRedrawsAroundEachDirtyControl) {
  g.strictDrawing = false;
  Probe* bg = Add("bg", Rect(0, 0, 200, 100));
  Probe* a = Add("a", Rect(10, 10, 30, 30));
  Probe* b = Add("b", Rect(20, 20, 40, 40));
  Probe* c = Add("c", Rect(100, 10, 120, 30));
  Probe* hidden = Add("hidden", Rect(0, 0, 200, 100));
  hidden->hidden = true;
  // A dirty background redraws everything that is not hidden.
  g.DrawRegion(Rect(0, 0, 5, 5));
  EXPECT_EQ(log, (Log{"bg draw", "a draw", "b draw", "c draw"}));
  EXPECT_TRUE(hidden->NeedsRedraw());

  log.clear();
  b->MarkDirty(false);
  c->MarkDirty(false);
  hidden->ClearDirty();
  g.DrawRegion(Rect(0, 0, 5, 5));
  EXPECT_EQ(log, (Log{"bg draw", "a draw", "b draw", "bg draw", "c draw"}));
  EXPECT_EQ(g.drawRect, c->rect);
  EXPECT_FALSE(b->NeedsRedraw());
  EXPECT_FALSE(bg->NeedsRedraw());
  (void)a;
}

TEST_F(Engine, TickRedrawsTheAlwaysRedrawnAreaWithWhatOverlapsIt) {
  gfxtest::RecordingGraphics empty(&plug, 10, 10, 0);
  EXPECT_TRUE(empty.DrawRegion(Rect(0, 0, 10, 10)));
  EXPECT_TRUE(empty.blits.empty());

  Add("bg", Rect(0, 0, 200, 100));
  Add("knob", Rect(10, 10, 40, 40));
  Add("graph", Rect(8, 60, 190, 95));
  Add("label", Rect(100, 50, 150, 65));
  g.alwaysRedrawRect = Rect(8, 60, 190, 95);
  g.Tick();  // everything starts dirty
  EXPECT_EQ(Count("graph draw"), 2);
  log.clear();
  g.Tick();
  EXPECT_EQ(log, (Log{"bg draw", "graph draw", "label draw"}));
  for (int i = 0; i < g.NControls(); ++i) EXPECT_FALSE(g.GetControl(i)->NeedsRedraw());
}

TEST_F(Engine, HitOrderSkipsHiddenAndGrayedControls) {
  Add("lower", Rect(0, 0, 50, 50));
  Probe* upper = Add("upper", Rect(20, 20, 70, 70));
  EXPECT_EQ(g.ControlIndexAt(30, 30), 1);
  EXPECT_EQ(g.ControlIndexAt(10, 10), 0);
  EXPECT_EQ(g.ControlIndexAt(150, 90), -1);
  upper->SetHidden(true);
  EXPECT_EQ(g.ControlIndexAt(30, 30), 0);
  upper->SetHidden(false);
  upper->SetGrayed(true);
  EXPECT_EQ(g.ControlIndexAt(30, 30), 0);
  EXPECT_EQ(upper->blend.weight, 0.25f);
  upper->SetGrayed(false);
  EXPECT_EQ(upper->blend.weight, 1.0f);

  g.OnMouseDown(30, 30, kLeft);
  g.OnMouseUp(30, 30, kLeft);
  g.OnMouseDown(150, 90, kLeft);  // nothing there: dropped
  EXPECT_EQ(log, (Log{"upper down 30,30", "upper up 30,30"}));
}

TEST_F(Engine, CaptureKeepsEventsOnTheControlUntilRelease) {
  Add("knob", Rect(10, 10, 40, 40), 0);
  Add("other", Rect(100, 10, 140, 40), 2);
  g.OnMouseDown(20, 20, kLeft);
  g.OnMouseDrag(20, 20, kLeft);  // no movement: dropped
  g.OnMouseDrag(25, 17, kLeft);
  g.OnMouseDrag(120, 30, kLeft);  // over the other control, still the knob's
  g.OnMouseUp(120, 30, kLeft);
  g.OnMouseDrag(121, 30, kLeft);  // no capture any more
  EXPECT_EQ(log, (Log{"begin 0", "knob down 20,20", "knob drag 25,17 5,-3", "knob drag 120,30 95,13",
                      "knob up 120,30", "end 0"}));
  EXPECT_EQ(g.captureIndex, -1);
  EXPECT_EQ(g.mouseX, -1);
}

TEST_F(Engine, DropEndsTheGestureLikeARelease) {
  Add("knob", Rect(10, 10, 40, 40), 0);
  g.OnDrop(20, 20, "/tmp/a.wav");
  EXPECT_EQ(log, (Log{"knob drop /tmp/a.wav", "end 0"}));
}

TEST_F(Engine, DoubleClickBeginsAnEditAndResetsToTheDefault) {
  Probe* knob = Add("knob", Rect(10, 10, 40, 40), 0);
  knob->value = 0.7;
  EXPECT_FALSE(g.OnMouseDblClick(20, 20, kLeft));
  EXPECT_EQ(knob->value, 0.7);  // no default known yet
  knob->ReceiveParamValue(0.5);
  knob->value = 0.9;
  g.OnMouseDblClick(20, 20, kLeft);
  EXPECT_EQ(knob->value, 0.5);
  EXPECT_EQ(g.captureIndex, -1);
  EXPECT_EQ(Count("begin 0"), 2);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);  // pushed to the plug-in: 0.5 is 0 dB
}

TEST_F(Engine, WheelNotchesAreOneGestureEndingTwelveTicksAfterTheLast) {
  Probe* knob = Add("knob", Rect(10, 10, 40, 40), 0);
  Add("mode", Rect(100, 10, 140, 40), 1);
  knob->value = 0.5;
  for (int i = 0; i < 3; ++i) g.OnMouseWheel(20, 20, MouseMods(), 1);
  EXPECT_NEAR(knob->value, 0.53, 1e-12);
  EXPECT_EQ(Count("begin 0"), 1);
  EXPECT_EQ(g.paramChangeTimer, 12);
  for (int t = 0; t < 11; ++t) g.Tick();
  EXPECT_EQ(Count("end 0"), 0);
  g.OnMouseWheel(20, 20, MouseMods(false, false, false, true), -1);  // Ctrl: a tenth of a step
  EXPECT_NEAR(knob->value, 0.529, 1e-12);
  for (int t = 0; t < 11; ++t) g.Tick();
  EXPECT_EQ(Count("end 0"), 0);
  g.Tick();
  EXPECT_EQ(Count("end 0"), 1);
  EXPECT_EQ(Count("begin 0"), 1);
  g.Tick();
  EXPECT_EQ(Count("end 0"), 1);
}

TEST_F(Engine, WheelOnAnotherParameterEndsThePendingGestureFirst) {
  Add("knob", Rect(10, 10, 40, 40), 0);
  Probe* mode = Add("mode", Rect(100, 10, 140, 40), 1);
  Probe* plain = Add("plain", Rect(150, 10, 190, 40));
  g.OnMouseWheel(20, 20, MouseMods(), 1);
  g.OnMouseWheel(120, 20, MouseMods(), 1);
  EXPECT_EQ(log, (Log{"begin 0", "knob wheel 1", "end 0", "begin 1", "mode wheel 1"}));
  // An Enum of six texts moves 0.5 / 6 per notch (narrowed to float), never past 1.
  EXPECT_NEAR(mode->value, static_cast<float>(0.5 / 6), 1e-12);
  for (int i = 0; i < 20; ++i) g.OnMouseWheel(120, 20, MouseMods(), 1);
  EXPECT_EQ(mode->value, 1.0);
  // A control without a parameter changes nothing and starts no gesture.
  log.clear();
  g.OnMouseWheel(170, 20, MouseMods(), 3);
  EXPECT_EQ(log, (Log{"plain wheel 3"}));
  EXPECT_EQ(plain->value, 0.0);
}

TEST_F(Engine, CloseWindowEndsARunningWheelGesture) {
  Add("knob", Rect(10, 10, 40, 40), 0);
  g.OnMouseWheel(20, 20, MouseMods(), 1);
  g.CloseWindow();
  EXPECT_EQ(Count("end 0"), 1);
  EXPECT_EQ(g.paramChangeTimer, 0);
}

TEST_F(Engine, MouseOverHoversParametersAndTellsTheLastControlItLeft) {
  Add("bg", Rect(0, 0, 200, 100));
  Add("knob", Rect(10, 10, 40, 40), 0);
  Add("mode", Rect(100, 10, 140, 40), 1);
  EXPECT_FALSE(g.OnMouseOver(20, 20, MouseMods()));
  EXPECT_TRUE(log.empty());
  g.mouseOverEnabled = true;
  EXPECT_TRUE(g.OnMouseOver(20, 20, MouseMods()));
  EXPECT_TRUE(g.OnMouseOver(21, 20, MouseMods()));
  EXPECT_TRUE(g.OnMouseOver(120, 20, MouseMods()));
  EXPECT_EQ(log, (Log{"knob over", "hover 0", "knob over", "hover 0", "mode over", "hover 1", "knob out"}));
  EXPECT_EQ(g.mouseOverIndex, 2);
  EXPECT_EQ(g.mouseX, 120);
  log.clear();
  EXPECT_TRUE(g.OnMouseOver(500, 500, MouseMods()));  // nothing hit: no MouseOut here
  EXPECT_TRUE(log.empty());
  g.OnMouseOut();
  EXPECT_EQ(log, (Log{"bg out", "knob out", "mode out"}));
  EXPECT_EQ(g.mouseOverIndex, -1);
}

TEST_F(Engine, KeysGoToTheControlUnderThePointer) {
  Add("a", Rect(0, 0, 50, 50));
  Add("b", Rect(60, 0, 100, 50));
  g.OnKeyDown(70, 10, 16);  // A
  g.OnKeyDown(10, 10, 0);   // space
  g.OnKeyDown(150, 90, 3);  // nothing there
  EXPECT_EQ(log, (Log{"b key 16", "a key 0"}));
}

TEST_F(Engine, ParameterValuesFromThePlugIn) {
  Probe* gain = Add("gain", Rect(0, 0, 10, 10), 0);
  Probe* gain2 = Add("gain2", Rect(20, 0, 30, 10), 0);
  Probe* time = Add("time", Rect(40, 0, 50, 10), 2);
  g.SetParameterFromPlug(0, 0.25, true);
  EXPECT_EQ(gain->value, 0.25);
  EXPECT_EQ(gain2->value, 0.25);
  EXPECT_EQ(gain->defaultValue, 0.25);  // the first value becomes the default
  g.SetParameterFromPlug(0, 10.0, false);  // plain: 10 dB of -20..20
  EXPECT_EQ(gain->value, 0.75);
  EXPECT_EQ(gain->defaultValue, 0.25);
  EXPECT_TRUE(gain->redrawPending);
  g.SetParameterFromPlug(1, 0.5, true);  // nobody shows Mode
  g.SetParameterFromPlug(7, 3.0, false);  // no such parameter
  EXPECT_EQ(time->value, 0.0);
  // The first value is the default even when it equals the current value 0.
  g.SetParameterFromPlug(2, 0.0, true);
  EXPECT_EQ(time->defaultValue, 0.0);
}

TEST_F(Engine, PromptTextIsReadAsDisplayTextOrNumber) {
  Probe* mode = Add("mode", Rect(0, 0, 10, 10), 1);
  Probe* gain = Add("gain", Rect(20, 0, 30, 10), 0);
  g.ApplyPromptText(mode, plug.GetParam(1), "Three");
  EXPECT_NEAR(mode->value, plug.GetParam(1)->NormalizedOf(2.0), 1e-12);
  EXPECT_EQ(plug.GetParam(1)->Value(), 2.0);
  g.ApplyPromptText(gain, plug.GetParam(0), "10");
  EXPECT_NEAR(gain->value, 0.75, 1e-12);
  g.ApplyPromptText(gain, plug.GetParam(0), "loud");  // not a number: 0 dB
  EXPECT_NEAR(gain->value, 0.5, 1e-12);
  g.ApplyPromptText(mode, plug.GetParam(1), "4");  // a number for a list
  EXPECT_EQ(plug.GetParam(1)->Value(), 4.0);
  EXPECT_EQ(Count("begin 1"), 2);
  EXPECT_EQ(Count("end 0"), 2);
  EXPECT_TRUE(gain->redrawPending);

  auto* line = new ITextControl(&plug, Rect(0, 20, 50, 30), TextStyle(), "old");
  g.AttachControl(line);
  g.ApplyPromptText(line, nullptr, "new text");
  EXPECT_STREQ(line->GetText(), "new text");
  g.ApplyPromptText(nullptr, plug.GetParam(0), "3");  // no control: nothing
}

TEST_F(Engine, RightClickOpensTextEntryForNumbersAndTheListForTexts) {
  Probe* gain = Add("gain", Rect(0, 0, 40, 40), 0);
  Probe* mode = Add("mode", Rect(60, 0, 100, 40), 1);
  Add("plain", Rect(120, 0, 160, 40));
  g.OnMouseDown(10, 10, kRight);
  EXPECT_EQ(g.promptControl, gain);
  EXPECT_EQ(g.promptParam, plug.GetParam(0));
  EXPECT_TRUE(g.promptCompact);
  EXPECT_TRUE(gain->redrawPending);
  g.OnMouseDown(130, 10, kRight);  // no parameter: no prompt
  EXPECT_EQ(g.promptCount, 1);
  gain->promptDisabled = true;
  g.OnMouseDown(10, 10, kRight);
  EXPECT_EQ(g.promptCount, 1);

  // A list parameter gets the popup list, owned by the control.
  g.OnMouseDown(70, 10, kRight);
  EXPECT_EQ(g.promptCount, 1);
  ASSERT_EQ(g.NControls(), 4);
  auto* popup = dynamic_cast<PromptPopup*>(g.GetControl(3));
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(g.ActivePopup(), popup);
  EXPECT_EQ(popup->owner, mode);
  EXPECT_FALSE(popup->hidden);
  EXPECT_EQ(popup->Count(), 6);
  EXPECT_TRUE(mode->redrawPending);
}

TEST_F(Engine, ASecondRightClickOnlyClosesThePopup) {
  Add("mode", Rect(60, 0, 100, 40), 1);
  Add("other", Rect(120, 0, 160, 40), 2);
  g.OnMouseDown(70, 10, kRight);
  ASSERT_EQ(g.NControls(), 3);
  EXPECT_EQ(g.ActivePopup(), g.GetControl(2));

  // The popup hangs over the control; the second click lands on the control
  // above it.
  log.clear();
  g.OnMouseDown(70, 2, kRight);
  // The popup is gone and its owner told; the click opened nothing new.
  EXPECT_EQ(log, (Log{"mode choice '' -1", "begin 1", "mode down 70,2"}));
  EXPECT_EQ(g.NControls(), 2);
  EXPECT_EQ(g.ActivePopup(), nullptr);
  EXPECT_EQ(g.promptCount, 0);
  EXPECT_FALSE(g.PopupMarkerSet());  // the control took the marker
  EXPECT_TRUE(g.GetControl(0)->NeedsRedraw());

  // The next right click prompts again; a left click elsewhere closes it and
  // clears the marker.
  g.OnMouseDown(70, 10, kRight);
  EXPECT_EQ(g.NControls(), 3);
  g.OnMouseDown(130, 10, kLeft);
  EXPECT_EQ(g.NControls(), 2);
  EXPECT_FALSE(g.PopupMarkerSet());
  g.OnMouseDown(130, 10, kRight);
  EXPECT_EQ(g.promptControl, g.GetControl(1));

  // A pick closes it without a choice message and leaves no marker.
  g.OnMouseDown(70, 10, kRight);
  log.clear();
  g.ClosePopup(true);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(g.NControls(), 2);
  EXPECT_FALSE(g.PopupMarkerSet());
  g.ClosePopup(false);  // nothing open: nothing happens
}

TEST_F(Engine, BackgroundGoesUnderEverythingAndControlsDieLastFirst) {
  Add("first", Rect(0, 0, 10, 10));
  Add("second", Rect(0, 0, 10, 10));
  LICE_MemBitmap img(30, 20);
  gfxtest::Fill(&img, LICE_ARGB(255, 1, 2, 3));
  const std::vector<uint8_t> png = gfxtest::EncodePng(&img, false);
  g.SetImage(9100, png.data(), png.size());
  g.AttachBackground(9100, "img/bg.png");
  ASSERT_EQ(g.NControls(), 3);
  auto* bg = dynamic_cast<IBitmapControl*>(g.GetControl(0));
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->rect, Rect(0, 0, 30, 20));
  EXPECT_EQ(bg->targetRect, Rect(0, 0, 30, 20));
  EXPECT_EQ(bg->paramIdx, -1);
  EXPECT_EQ(bg->blend.method, kBlendCopy);
  EXPECT_EQ(bg->graphics, &g);

  g.DrawRegion(Rect(0, 0, 200, 100));
  EXPECT_EQ(gfxtest::At(g.GetDrawBitmap(), 29, 19), LICE_ARGB(255, 1, 2, 3));

  g.DetachControl(nullptr);
  g.MarkBackgroundDirty();
  EXPECT_TRUE(bg->NeedsRedraw());
  {
    Log order;
    auto* engine = new gfxtest::RecordingGraphics(&plug, 10, 10, 0);
    for (const char* n : {"a", "b", "c"}) engine->AttachControl(new Probe(n, &order, Rect()));
    delete engine;
    EXPECT_EQ(order, (Log{"c destroyed", "b destroyed", "a destroyed"}));
  }
}

TEST_F(Engine, ResizeTellsThePlugIn) {
  g.Resize(300, 200);
  EXPECT_EQ(g.Width(), 300);
  EXPECT_EQ(log, (Log{"resize 0"}));
}
