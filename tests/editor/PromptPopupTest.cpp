// The popup list: its layout as items are added, where it opens, the scroll
// bar and its thumb, hovering, scrolling, and a pick that sets the parameter
// and closes the list.
#include <gtest/gtest.h>

#include <string>

#include "editor/PromptPopup.h"
#include "graphics/RecordingGraphics.h"
#include "graphics/TestPlug.h"
#include "support/PlugFixture.h"

using gfxtest::Log;
using gfxtest::RecordingGraphics;
using gfxtest::TestPlug;
using quarvtest::OpenPlug;

namespace {

const MouseMods kLeft(true, false);
const MouseMods kRight(false, true);

// A list of n items "item 0", "item 1", ... in the engine's popup style at
// (10, 10).
std::unique_ptr<PromptPopup> List(int n, IGraphics& g) {
  auto popup = std::make_unique<PromptPopup>(nullptr, 10, 10, 70, 1, g.popupStyle, g.popupBackground,
                                             g.popupHighlight);
  for (int i = 0; i < n; ++i) popup->AddItem(("item " + std::to_string(i)).c_str());
  return popup;
}

class Popup : public ::testing::Test {
protected:
  Popup() {
    g = new RecordingGraphics(&plug, 300, 200, 0);
    plug.AttachGraphics(g);
  }
  // A control bound to the six-entry "Mode" parameter at r; a right click on
  // it opens the list, which is returned.
  PromptPopup* OpenOver(const Rect& r) {
    auto* owner = new gfxtest::Probe("mode", &log, r, 1, &plug);
    g->AttachControl(owner);
    g->OnMouseDown(r.L + 1, r.T + 1, kRight);
    g->OnMouseUp(r.L + 1, r.T + 1, kRight);
    return dynamic_cast<PromptPopup*>(g->ActivePopup());
  }

  Log log;
  TestPlug plug{&log};
  RecordingGraphics* g;
};

}  // namespace

TEST_F(Popup, FiveItemsNeedNoScrollBar) {
  auto popup = List(5, *g);
  EXPECT_EQ(popup->rowHeight, 21);
  EXPECT_EQ(popup->thumbHeight, 0);
  EXPECT_EQ(popup->rect, Rect(10, 10, 84, 115));  // 70 + inset wide, 5 rows high
  EXPECT_EQ(popup->targetRect, popup->rect);
  EXPECT_EQ(popup->selectedStyle.colour.A, 255);  // 200 + 55
}

TEST_F(Popup, SixItemsShowFiveRowsAScrollBarAndAHundredPixelThumb) {
  auto popup = List(6, *g);
  EXPECT_EQ(popup->maxRows, 5);
  EXPECT_EQ(popup->maxVisible, 5);
  EXPECT_EQ(popup->thumbHeight, 100);
  EXPECT_EQ(popup->rect, Rect(10, 10, 95, 115));  // 70 + inset + bar + 2

  // Opened on the last entry it scrolls so that the entry is in view.
  popup->selected = 5;
  popup->Open(-1, nullptr);
  EXPECT_EQ(popup->scrollPos, 3);
  popup->Draw(g);
  EXPECT_EQ(popup->firstVisible, 1);
  EXPECT_EQ(popup->scrollColL, 95 - 9 - 2);
  EXPECT_EQ(popup->thumbTop, 10 + 3 + 1);
  EXPECT_EQ(popup->thumbBottom, 10 + 3 + 1 + 100);
  popup->selected = 2;
  popup->Open(-1, nullptr);
  EXPECT_EQ(popup->scrollPos, 0);
}

TEST_F(Popup, RowsGrowWithTheTenthItemAndTheThumbShrinks) {
  EXPECT_EQ(List(9, *g)->maxRows, 5);
  auto ten = List(10, *g);
  EXPECT_EQ(ten->maxRows, 6);
  EXPECT_EQ(ten->thumbHeight, 105);  // (31.5 - 126)·4/18 + 126
  EXPECT_EQ(ten->rect.H(), 126);
  EXPECT_EQ(List(30, *g)->thumbHeight, 42);
  auto many = List(41, *g);
  EXPECT_EQ(many->maxRows, 9);
  EXPECT_EQ(many->thumbHeight, 31);  // more than four screens: 1.5 rows
}

TEST_F(Popup, LongItemsAreCutButWidenTheColumn) {
  auto popup = List(0, *g);
  const std::string longText(40, 'x');
  popup->AddItem(longText.c_str());
  EXPECT_EQ(std::string(popup->Item(0)), std::string(31, 'x'));
  EXPECT_EQ(popup->columnWidth, 40 * 7 + 8 + 20);
  EXPECT_STREQ(popup->Item(1), "");
}

TEST_F(Popup, OpensCentredOverItsControlAndInsideTheEditor) {
  PromptPopup* popup = OpenOver(Rect(100, 60, 140, 100));
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(popup->hidden);
  EXPECT_EQ(popup->rect, Rect(100 - 22, 60 - 32, 100 - 22 + 85, 60 - 32 + 105));
  EXPECT_EQ(popup->selected, 0);
  g->ClosePopup(true);
  popup = OpenOver(Rect(0, 0, 40, 40));  // top left: pushed to 6, 6
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->rect, Rect(6, 6, 91, 111));
  g->ClosePopup(true);
  popup = OpenOver(Rect(250, 170, 290, 200));  // bottom right: 6 pixels inside
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->rect, Rect(209, 89, 294, 194));
  EXPECT_EQ(popup->targetRect, popup->rect);
}

TEST_F(Popup, HoverFollowsRowsAndTheThumb) {
  auto popup = List(6, *g);
  popup->Draw(g);
  popup->ClearDirty();
  popup->MouseOver(20, 10 + 21 * 2 + 5, MouseMods());
  EXPECT_EQ(popup->hovered, 2);
  EXPECT_TRUE(popup->NeedsRedraw());
  popup->ClearDirty();
  popup->MouseOver(30, 10 + 21 * 2 + 6, MouseMods());
  EXPECT_FALSE(popup->NeedsRedraw());  // unchanged
  popup->MouseOver(90, 50, MouseMods());
  EXPECT_EQ(popup->hovered, -1);  // the thumb
  popup->MouseOver(90, 113, MouseMods());
  EXPECT_EQ(popup->hovered, -2);  // the track below the thumb
  popup->MouseOver(20, 115, MouseMods());
  EXPECT_EQ(popup->hovered, -2);  // the bottom edge shows no item
  popup->MouseOver(20, 12, MouseMods());
  popup->MouseOut();
  EXPECT_EQ(popup->hovered, -2);
}

TEST_F(Popup, WheelDragAndTrackClicksMoveTheThumbWithinTheTrack) {
  auto popup = List(20, *g);  // 7 rows, a thumb of 75 pixels
  popup->Draw(g);
  const int range = popup->rect.H() - popup->thumbHeight - 2;
  popup->MouseWheel(0, 0, MouseMods(), -2);
  EXPECT_EQ(popup->scrollPos, 6);
  popup->MouseWheel(0, 0, MouseMods(), 5);
  EXPECT_EQ(popup->scrollPos, 0);
  popup->MouseWheel(0, 0, MouseMods(), -100);
  EXPECT_EQ(popup->scrollPos, range);
  // A click on the track centres the thumb on the mouse: 80 - round(75 / 2).
  EXPECT_EQ(popup->thumbHeight, 75);
  popup->ScrollBy(-1000);
  popup->Draw(g);
  const int x = popup->scrollColL + 2;
  popup->MouseDown(x, popup->rect.T + 80, kLeft);
  EXPECT_TRUE(popup->dragging);
  EXPECT_EQ(popup->scrollPos, 80 - 38);
  popup->MouseDrag(x, 0, 0, 7, kLeft);
  EXPECT_EQ(popup->scrollPos, 80 - 38 + 7);
  popup->MouseUp(x, 0, kLeft);
  EXPECT_FALSE(popup->dragging);
  popup->MouseDrag(x, 0, 0, 7, kLeft);  // not dragging any more
  EXPECT_EQ(popup->scrollPos, 80 - 38 + 7);
  // The right button does nothing on the bar.
  popup->MouseDown(x, popup->rect.T + 5, kRight);
  EXPECT_FALSE(popup->dragging);
  // Scrolled, the first visible item follows at the next draw.
  popup->ScrollBy(1000);
  popup->Draw(g);
  EXPECT_EQ(popup->firstVisible, 20 - 7);
}

TEST_F(Popup, APickSetsTheOwnersParameterAndClosesTheList) {
  PromptPopup* popup = OpenOver(Rect(100, 60, 140, 100));
  ASSERT_NE(popup, nullptr);
  g->Tick();
  // A right click inside the list picks nothing and keeps it open.
  const int y = popup->rect.T + 21 * 3 + 8;
  g->OnMouseOver(popup->rect.L + 10, y, MouseMods());
  g->mouseOverEnabled = true;
  g->OnMouseOver(popup->rect.L + 10, y, MouseMods());
  EXPECT_EQ(popup->hovered, 3);
  g->OnMouseDown(popup->rect.L + 10, y, kRight);
  EXPECT_EQ(g->ActivePopup(), popup);
  g->OnMouseUp(popup->rect.L + 10, y, kRight);

  log.clear();
  g->OnMouseDown(popup->rect.L + 10, y, kLeft);
  EXPECT_EQ(plug.GetParam(1)->Value(), 3.0);
  EXPECT_EQ(log, (Log{"begin 1", "end 1", "mode choice 'Four' 3"}));
  EXPECT_EQ(g->ActivePopup(), nullptr);
  EXPECT_FALSE(g->PopupMarkerSet());
  EXPECT_EQ(g->NControls(), 1);
  EXPECT_EQ(g->captureIndex, -1);
  EXPECT_EQ(g->mouseOverIndex, -1);
  EXPECT_TRUE(g->GetControl(0)->NeedsRedraw());  // the editor is repainted
}

TEST(PopupOnTheEditor, WindowListPicksAWindowLength) {
  OpenPlug p;
  IGraphics* g = p->GetGUI();
  g->OnMouseDown(417, 138, kRight);  // the Window knob
  auto* popup = dynamic_cast<PromptPopup*>(g->ActivePopup());
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->rect, Rect(375, 96, 460, 201));
  EXPECT_EQ(popup->Count(), 6);
  EXPECT_STREQ(popup->Item(5), "100ms");
  EXPECT_EQ(popup->selected, 2);  // "10ms", the default
  g->OnMouseUp(417, 138, kRight);
  g->DrawRegion(Rect(0, 0, 600, 490));
  const int beginsBefore = p->beginEdits;
  g->OnMouseOver(400, 96 + 21 * 4 + 5, MouseMods());
  g->OnMouseDown(400, 96 + 21 * 4 + 5, kLeft);
  EXPECT_EQ(p->GetParam(kWindow)->Value(), 4.0);
  EXPECT_FLOAT_EQ(p->mMeter.Window(), 0.05f);
  EXPECT_EQ(p->beginEdits, beginsBefore + 1);
  EXPECT_EQ(g->ActivePopup(), nullptr);
}
