#include <gtest/gtest.h>

#include <cmath>

#include "editor/GRAPH.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

// Offers one averaged point as if the engine had accumulated a period.
void Offer(CLS_QUARVELLINE& p, double loudness, double envelope, double gain, int frames = 2400) {
  p.mGraphCount = frames;
  p.mSumLoudness = loudness * frames;
  p.mSumEnvelope = envelope * frames;
  p.mSumGain = gain * frames;
  p.mGraph->AddPoint();
}

TEST(HistoryStore, GeometryOfTheEditorsGraph) {
  CLS_QUARVELLINE plug;
  plug.Open();
  const GRAPH& g = *plug.mGraph;
  EXPECT_EQ(g.plotWidth, 542);
  EXPECT_EQ(g.capacity, 34688);
  EXPECT_EQ(g.trackHeight, 246);
  EXPECT_EQ(g.points, -1);
  EXPECT_EQ(g.low, -24);
  EXPECT_EQ(g.loudness.size(), 34688u);
}

TEST(HistoryStore, WindowFollowsTheLimit) {
  OpenPlug p;
  p.RunConstant(0.0, 16);
  GRAPH& g = *p->mGraph;
  struct Case {
    double limit;
    int low;
  };
  for (const Case& c : {Case{-14, -24}, Case{0, -16}, Case{-60, -64}, Case{-30.5, -41}, Case{-5, -16}}) {
    p->SetParameterPlain(kOutLimit, c.limit);
    EXPECT_EQ(g.low, c.low) << c.limit;
    g.ResetHistory();
    EXPECT_EQ(g.low, c.low) << c.limit;
  }
  p->SetParameterPlain(kOutLimit, -14);
  g.ResetHistory();
  EXPECT_EQ(g.thumbPos, 32);  // round(194 * 8 / 48)
}

TEST(HistoryStore, AttenuationOfAverageGain) {
  EXPECT_EQ(GRAPH::AttenuationForGain(1.0), 0.0);
  EXPECT_NEAR(GRAPH::AttenuationForGain(0.5), 6.0206, 1e-4);
  EXPECT_EQ(GRAPH::AttenuationForGain(std::ldexp(1.0, -26)), 150.0);
  EXPECT_EQ(GRAPH::AttenuationForGain(std::ldexp(1.0, -25)), 150.0);  // -150.5 dB
  EXPECT_NEAR(GRAPH::AttenuationForGain(std::ldexp(1.0, -24)), 144.49, 0.01);
  EXPECT_EQ(GRAPH::AttenuationForGain(0.0), 150.0);
}

TEST(HistoryStore, KeepsPointsByAnalysisMode) {
  OpenPlug p;
  p.RunConstant(0.0, 16);
  GRAPH& g = *p->mGraph;
  g.ResetHistory();
  p->SetParameterPlain(kGraphWhenPlay, 0);
  Offer(*p, -64.0, -64.0, 1.0);
  EXPECT_EQ(g.points, -1);
  EXPECT_FALSE(g.aboveFloor);
  EXPECT_EQ(p->mGraphCount, 0);
  EXPECT_EQ(p->mSumLoudness, 0.0);
  Offer(*p, -63.9, -70.0, 0.5);
  EXPECT_EQ(g.points, 0);
  EXPECT_DOUBLE_EQ(g.loudness[0], -63.9);
  EXPECT_DOUBLE_EQ(g.envelope[0], -70.0);
  EXPECT_NEAR(g.attenuation[0], 6.0206, 1e-4);

  p->SetParameterPlain(kGraphWhenPlay, 1);
  p->SetTransport(0);
  Offer(*p, -10.0, -10.0, 1.0);
  EXPECT_EQ(g.points, 0);
  EXPECT_TRUE(g.aboveFloor);
  p->SetTransport(2);  // recording counts as playing
  Offer(*p, -100.0, -100.0, 1.0);
  EXPECT_EQ(g.points, 1);
}

TEST(HistoryStore, HalvesWhenFull) {
  OpenPlug p;
  p.RunConstant(0.0, 16);
  GRAPH& g = *p->mGraph;
  g.ResetHistory();
  p->SetParameterPlain(kGraphWhenPlay, 0);
  g.autoScrollOff = true;
  for (int i = 0; i < g.capacity; ++i) Offer(*p, -40.0 + (i % 7), -41.0, 1.0, 1);
  ASSERT_EQ(g.points, g.capacity - 1);
  const double at4 = g.loudness[4];
  Offer(*p, -5.0, -6.0, 0.25, 1);
  EXPECT_EQ(g.points, 17344);
  EXPECT_DOUBLE_EQ(g.loudness[17344], -5.0);
  EXPECT_DOUBLE_EQ(g.loudness[2], at4);
  EXPECT_DOUBLE_EQ(g.loudness[0], -40.0);
  Offer(*p, -7.0, -6.0, 1.0, 1);
  EXPECT_EQ(g.points, 17345);
}

TEST(HistoryStore, AutoScrollMovesTheWindowUp) {
  OpenPlug p;
  p.RunConstant(0.0, 16);
  GRAPH& g = *p->mGraph;
  p->SetParameterPlain(kGraphWhenPlay, 0);
  g.ResetHistory();
  ASSERT_EQ(g.low, -24);
  const double gain3dB = std::pow(10.0, -3.0 / 20.0);
  Offer(*p, -10.0, -10.0, gain3dB);
  EXPECT_EQ(g.low, -22);
  EXPECT_EQ(g.top, 0);
  // Off: nothing moves.
  g.autoScrollOff = true;
  Offer(*p, 5.0, 5.0, 1.0);
  EXPECT_EQ(g.low, -22);
}

TEST(HistoryStore, CreepDownStopsAtTheFloor) {
  OpenPlug p;
  p.RunConstant(0.0, 16);
  GRAPH& g = *p->mGraph;
  p->SetParameterPlain(kGraphWhenPlay, 0);
  p->ResetAllData();  // meter maximum back at -160
  ASSERT_EQ(g.low, -24);
  // A long quiet passage: the window creeps one LU per point...
  Offer(*p, -50.0, -50.0, 1.0);
  EXPECT_EQ(g.low, -25);
  for (int i = 0; i < 200; ++i) Offer(*p, -50.0, -50.0, 1.0);
  // ...and stops at the scale's floor.
  EXPECT_EQ(g.low, -64);
  EXPECT_GE(g.thumbPos, 0);
}

}  // namespace
