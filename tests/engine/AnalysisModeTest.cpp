// The four analysis modes ("Reset on play" x "Graph when play") across play
// starts, locates and stopped periods.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "editor/GRAPH.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

struct Session {
  OpenPlug p;
  std::vector<double> loud, oL, oR;

  Session(bool resetOnPlay, bool graphWhenPlay) {
    p->SetParameterPlain(kResetOnPlay, resetOnPlay ? 1 : 0);
    p->SetParameterPlain(kGraphWhenPlay, graphWhenPlay ? 1 : 0);
    p->SetParameterPlain(kOutLimit, -30.0);
    loud.resize(4800);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = 0.5 * std::sin(i * 0.05);
  }
  // Plays or stops for a number of 100-ms blocks.
  void Run(int transport, int blocks, double level = 1.0) {
    p->SetTransport(transport);
    std::vector<double> x = loud;
    for (double& v : x) v *= level;
    for (int b = 0; b < blocks; ++b) p.Run(x, x, oL, oR, 4800);
  }
  GRAPH& G() { return *p->mGraph; }
};

TEST(AnalysisModes, ResetOnPlayClearsAtEveryPlayStart) {
  Session s(true, true);
  s.p->SetSongPosition(48000.0 * 10);
  s.Run(1, 20);
  ASSERT_GT(s.G().points, 10);
  EXPECT_DOUBLE_EQ(s.G().startTime, 10.0);
  EXPECT_NEAR(s.G().endTime, 11.9, 1e-9);
  ASSERT_LT(s.p->mMinGain, 1.0);
  s.Run(0, 5);
  s.p->SetSongPosition(48000.0 * 3);
  // A quiet play start: everything measured before is gone.
  s.Run(1, 1, 0.001);
  EXPECT_LT(s.p->mMeter.Maximum(), -40.0);
  EXPECT_EQ(s.p->mMinGain, 1.0);
  EXPECT_LE(s.G().points, 1);
  EXPECT_DOUBLE_EQ(s.G().startTime, 3.0);
  EXPECT_DOUBLE_EQ(s.G().endTime, 3.0);
}

TEST(AnalysisModes, KeepDataAtPlayStartAcrossAStop) {
  Session s(false, true);
  s.Run(1, 10);
  const int points = s.G().points;
  const double max = s.p->mMeter.Maximum();
  ASSERT_GT(points, 5);
  EXPECT_DOUBLE_EQ(s.G().startTime, 0.0);
  // Stopped: no points, no integration; limiting and the momentary go on.
  const double integrated = s.p->mMeter.IntegratedEnergy();
  s.Run(0, 10, 2.0);
  EXPECT_EQ(s.G().points, points);
  EXPECT_EQ(s.p->mMeter.IntegratedEnergy(), integrated);
  EXPECT_GT(s.p->mMeter.Maximum(), max);
  EXPECT_LT(s.p->mGain, 1.0);
  // Restart where it stopped: history continues, time axis stays.
  s.Run(1, 5);
  EXPECT_GT(s.G().points, points);
  EXPECT_DOUBLE_EQ(s.G().startTime, 0.0);
  EXPECT_NEAR(s.G().endTime, 1.4, 1e-9);
}

TEST(AnalysisModes, LocateWhileStoppedDropsTheTimeAxisButKeepsHistory) {
  Session s(false, true);
  s.Run(1, 10);
  const int points = s.G().points;
  s.Run(0, 2);
  s.p->SetSongPosition(48000.0 * 30);
  s.Run(1, 3);
  EXPECT_EQ(s.G().startTime, -1.0);
  EXPECT_GT(s.G().points, points);
  EXPECT_GT(s.p->mMeter.IntegratedEnergy(), 0.0);
}

TEST(AnalysisModes, JumpWhilePlayingDropsTheTimeAxis) {
  Session s(true, true);
  s.Run(1, 5);
  ASSERT_EQ(s.G().startTime, 0.0);
  // A skip of 0.2 s makes a jump of 0.3 s from the last block: continuous.
  s.p->SetSongPosition(48000.0 * 0.2 + s.p->SongPosition());
  s.Run(1, 1);
  EXPECT_EQ(s.G().startTime, 0.0);
  EXPECT_NEAR(s.G().endTime, 0.7, 1e-9);
  s.p->SetSongPosition(48000.0 * 60);
  s.Run(1, 1);
  EXPECT_EQ(s.G().startTime, -1.0);
  const double end = s.G().endTime;
  s.Run(1, 3);
  EXPECT_EQ(s.G().endTime, end);  // no longer followed
}

TEST(AnalysisModes, GraphWhenPlayOffRunsWithoutTransport) {
  Session s(false, false);
  s.Run(0, 10);
  // 1 s of audio: a point every 50 ms.
  EXPECT_EQ(s.G().points, 19);
  EXPECT_GT(s.p->mMeter.IntegratedEnergy(), 0.0);
  // Once the window has emptied, silence (at or below -64 LUFS) adds no point.
  s.Run(0, 10, 0.0);
  const int points = s.G().points;
  s.Run(0, 10, 0.0);
  EXPECT_EQ(s.G().points, points);
  EXPECT_EQ(s.p->mGraphCount, 0);
}

TEST(AnalysisModes, ResetOnPlayWithGraphAlwaysOn) {
  Session s(true, false);
  s.Run(0, 10);
  EXPECT_EQ(s.G().points, 19);
  s.Run(1, 1, 0.001);
  EXPECT_LT(s.p->mMeter.Maximum(), -40.0);
  EXPECT_LE(s.G().points, 1);
}

TEST(AnalysisModes, PlayStopPlayWithoutResetAtSamePosition) {
  Session s(false, false);
  s.p->SetAutoAdvance(false);
  s.p->SetSongPosition(48000.0 * 2);
  s.Run(1, 3);
  s.Run(0, 3);
  s.Run(1, 3);
  EXPECT_DOUBLE_EQ(s.G().startTime, 2.0);
  EXPECT_DOUBLE_EQ(s.G().endTime, 2.0);
}

}  // namespace
