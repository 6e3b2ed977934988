// The history graph's drawing and mouse handling on the plug-in's own editor:
// scale, reset check, info line, sampling of a halved history, attenuation
// bars, the Out Limit line, the readout under the mouse and the scroll bar.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/GRAPH.h"
#include "editor/ITextControl.h"
#include "graphics/GfxTestUtil.h"
#include "graphics/raster/LiceRaster.h"
#include "support/PlugFixture.h"

using gfxtest::At;
using quarvtest::OpenPlug;

namespace {

constexpr LICE_pixel kBlack = LICE_ARGB(255, 0, 0, 0);
const MouseMods kLeft(true, false);
const MouseMods kRight(false, true);

class Graph : public ::testing::Test {
protected:
  Graph() {
    p.RunConstant(0.0, 16);  // the first block clears the history
    graph.aboveFloor = false;
    p->SetTransport(0);
  }
  // Offers one averaged point as if the engine had accumulated a period.
  void Offer(double loudness, double envelope, double gain) {
    p->mGraphCount = 2400;
    p->mSumLoudness = loudness * 2400;
    p->mSumEnvelope = envelope * 2400;
    p->mSumGain = gain * 2400;
    graph.AddPoint();
  }
  // Draws the graph alone on black.
  void DrawOnBlack() {
    gfxtest::Fill(bm(), kBlack);
    graph.Draw(g);
  }
  LICE_IBitmap* bm() { return g->GetDrawBitmap(); }

  quarvtest::FakeClockScope clock;
  OpenPlug p;
  GRAPH& graph = *p->mGraph;
  IGraphics* g = p->GetGUI();
  const int base = 474 - 5, plotLeft = 8 + 24;
};

}  // namespace

TEST_F(Graph, EmptyHistoryDrawsScaleLimitLineAndScrollBar) {
  EXPECT_EQ(graph.plotHeight, 235);
  DrawOnBlack();
  EXPECT_EQ(graph.drawnColumns, 0);
  // Grid lines every 2 LU from the baseline up: nine of them.
  int gridRows = 0;
  for (int y = 228; y < 474; ++y) gridRows += At(bm(), 300, y) != kBlack;
  EXPECT_EQ(gridRows, 9);
  for (int s = 0; s <= 16; s += 2) EXPECT_NE(At(bm(), 300, base - 235 * s / 16), kBlack) << s;
  // The limit line: -14 with low -24 sits 10 LU up, floor(146.875) pixels,
  // on the grid line of -14.
  const LICE_pixel limit = At(bm(), 300, base - 146);
  EXPECT_GT(LICE_R(limit), 150);
  EXPECT_GT(LICE_R(limit), LICE_G(limit) + 100);
  // Labels in the left column, the thumb in the bar.
  int box[4];
  gfxtest::Fill(bm(), kBlack);
  graph.Draw(g);
  EXPECT_TRUE(gfxtest::InkBox(bm(), kBlack, box));
  EXPECT_LE(box[0], 14);
  EXPECT_NE(At(bm(), 583, 228 + graph.thumbPos + 20), kBlack);
  // Nothing of the series: the plot's middle stays black between grid lines.
  EXPECT_EQ(At(bm(), 300, base - 5), kBlack);
}

TEST_F(Graph, ResetButtonPressResetsOncePerToggle) {
  p->SetTransport(1);
  Offer(-10, -11, 0.5);
  Offer(-10, -11, 0.5);
  p->mMinGain = 0.5;
  graph.Draw(g);
  EXPECT_EQ(graph.points, 1);
  p->mResetToggle = !p->mResetToggle;
  graph.startTime = 3.0;
  graph.Draw(g);
  EXPECT_EQ(graph.points, -1);
  EXPECT_EQ(graph.startTime, -1.0);
  EXPECT_EQ(p->mMinGain, 1.0);
  EXPECT_EQ(p->mEnvelope, -160.0);
  EXPECT_STREQ(p->mInfoLine->GetText(), "Lufs I: - - -");
  Offer(-10, -11, 0.5);
  graph.Draw(g);  // the same toggle: no second reset
  EXPECT_EQ(graph.points, 0);
}

TEST_F(Graph, InfoLineShowsMaximumAndIntegratedLoudness) {
  p->mInfoLine->SetText("untouched");
  graph.Draw(g);  // stopped, nothing heard: the line stays
  EXPECT_STREQ(p->mInfoLine->GetText(), "untouched");
  p->SetTransport(1);
  graph.Draw(g);  // playing, nothing integrated yet
  EXPECT_STREQ(p->mInfoLine->GetText(), "Lufs I: - - -");
  EXPECT_TRUE(p->mAttenLabel->NeedsRedraw());
  p.RunConstant(0.1, 48000);
  graph.Draw(g);
  const double integrated = 10 * std::log10(p->mMeter.IntegratedEnergy()) - 0.691;
  char expected[96];
  std::snprintf(expected, sizeof expected, "Lufs Max: %.2flu, Lufs I: %.2flu", p->mMeter.Maximum(), integrated);
  EXPECT_STREQ(p->mInfoLine->GetText(), expected);
}

TEST_F(Graph, AHalvedHistoryIsSampledAcrossTheWholeWidth) {
  p->mGraphWhenPlay = false;
  for (int i = 0; i <= graph.capacity; ++i) Offer(-60 + (i % 1000) * 0.05, -30, 1.0);
  ASSERT_EQ(graph.points, graph.capacity / 2);
  graph.Draw(g);
  ASSERT_EQ(graph.drawnColumns, graph.plotWidth);
  for (int i : {0, 1, 271, 540, 541}) {
    const float pos = static_cast<float>(graph.points * i) / static_cast<float>(graph.plotWidth);
    const int k = static_cast<int>(pos);
    const float f = pos - static_cast<float>(k);
    const double a = graph.loudness[static_cast<size_t>(k)], b = graph.loudness[static_cast<size_t>(k) + 1];
    const float want = static_cast<float>(f > 0.0f ? a + (b - a) * f : a);
    EXPECT_EQ(graph.columns[static_cast<size_t>(i)].loudness, want) << i;
    EXPECT_EQ(graph.columns[static_cast<size_t>(i)].envelope, -30.0f);
  }
}

TEST_F(Graph, AttenuationIsDrawnAtMostTwentyDecibels) {
  auto picture = [&](double gain) {
    graph.ResetHistory();
    p->SetTransport(1);
    graph.autoScrollOff = true;
    for (int i = 0; i < 20; ++i) Offer(-30, -30, gain);
    DrawOnBlack();
    LICE_MemBitmap copy(600, 490);
    LICE_Blit(&copy, bm(), 0, 0, 0, 0, 600, 490, 1.0f, 0);
    return copy;
  };
  LICE_MemBitmap at20 = picture(0.1), at30 = picture(std::pow(10.0, -1.5)), at10 = picture(std::pow(10.0, -0.5));
  EXPECT_EQ(gfxtest::CompareBitmaps(&at20, &at30, 0, nullptr), 0);
  EXPECT_GT(gfxtest::CompareBitmaps(&at20, &at10, 0, nullptr), 0);
  // 10 dB hang down 10 LU (146.9 pixels) from the top margin: red above,
  // only the grey of the loudness area below.
  const LICE_pixel in = At(&at10, plotLeft + 5, 228 + 6 + 140), below = At(&at10, plotLeft + 5, 228 + 6 + 160);
  EXPECT_GT(LICE_R(in), LICE_G(in));
  EXPECT_EQ(LICE_R(below), LICE_G(below));
}

TEST_F(Graph, ReadoutUnderTheMouseNeedsATimeAxis) {
  p->SetTransport(1);
  for (int i = 0; i <= 100; ++i) Offer(-20 - i * 0.1, -25, i == 50 ? std::pow(10.0, -0.15) : 1.0);
  ASSERT_EQ(graph.points, 100);
  graph.MouseOver(plotLeft + 50, 300, MouseMods());
  p->mStatusLine->SetText("");
  graph.Draw(g);  // no time axis yet
  EXPECT_STREQ(p->mStatusLine->GetText(), "");

  graph.startTime = 0.0;
  graph.endTime = 130.0;
  quarvtest::gFakeClock = 5000;
  graph.Draw(g);
  EXPECT_STREQ(p->mStatusLine->GetText(), "01:05 Atten: 3.00dB Lufs M: -25.00LU");
  EXPECT_EQ(p->mStatusDeadline, 14000u);
  // Beyond the newest point, or with "Graph when play" off: no readout.
  p->mStatusLine->SetText("");
  graph.MouseOver(plotLeft + 101, 300, MouseMods());
  graph.Draw(g);
  EXPECT_STREQ(p->mStatusLine->GetText(), "");
  graph.MouseOver(plotLeft + 50, 300, MouseMods());
  p->mGraphWhenPlay = false;
  graph.Draw(g);
  EXPECT_STREQ(p->mStatusLine->GetText(), "");
  // Leaving the graph forgets the mouse.
  graph.MouseOut();
  EXPECT_EQ(graph.mouseX, -1);
}

TEST_F(Graph, ThumbHoverDragAndRightClick) {
  const int thumbY = 228 + graph.thumbPos + 10;
  g->mouseOverEnabled = true;
  g->OnMouseOver(583, thumbY, MouseMods());
  graph.Draw(g);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Auto scroll is enabled");

  // A right press toggles auto scroll once, however many frames it lasts.
  g->OnMouseDown(583, thumbY, kRight);
  graph.Draw(g);
  EXPECT_TRUE(graph.autoScrollOff);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Auto scroll is disabled");
  graph.Draw(g);
  EXPECT_TRUE(graph.autoScrollOff);
  g->OnMouseUp(583, thumbY, kRight);
  graph.Draw(g);
  g->OnMouseDown(583, thumbY, kRight);
  graph.Draw(g);
  EXPECT_FALSE(graph.autoScrollOff);
  g->OnMouseUp(583, thumbY, kRight);

  // A left press drags the thumb; the window follows it.
  const int start = graph.thumbPos;
  g->OnMouseDown(583, thumbY, kLeft);
  graph.Draw(g);
  EXPECT_EQ(graph.dragAnchor, thumbY - start);
  g->OnMouseDrag(583, thumbY + 40, kLeft);
  graph.Draw(g);
  EXPECT_EQ(graph.thumbPos, start + 40);
  const int maxPos = graph.trackHeight - graph.thumbHeight - 2;
  EXPECT_EQ(graph.low, graph.top - static_cast<int>(std::lround((graph.top + 64 - 16) * (start + 40.0) / maxPos)) - 16);
  g->OnMouseDrag(583, thumbY + 1000, kLeft);
  graph.Draw(g);
  EXPECT_EQ(graph.thumbPos, maxPos);
  EXPECT_EQ(graph.low, -64);
  g->OnMouseUp(583, thumbY + 1000, kLeft);
  EXPECT_EQ(graph.dragAnchor, -1);
  g->OnMouseDrag(583, thumbY, kLeft);
  graph.Draw(g);
  EXPECT_EQ(graph.thumbPos, maxPos);
}
