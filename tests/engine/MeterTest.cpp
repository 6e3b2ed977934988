#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/LoudnessMeter.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

// A meter of its own, on a rate it reads from a variable.
struct Meter {
  double rate;
  LoudnessMeter m;
  explicit Meter(double r, float window = 0.01f) : rate(r), m(&rate, window) { m.Reset(); }
};

void FeedSine(LoudnessMeter& m, double rate, double freq, double amp, int frames, bool integrate = true) {
  for (int i = 0; i < frames; ++i) {
    const double x = amp * std::sin(2.0 * M_PI * freq * i / rate);
    m.AddFrame(x, x, integrate);
  }
}

TEST(MeterFastLog, WorkedFigures) {
  EXPECT_NEAR(LoudnessMeter::FastLoudness(1.0), -0.5164, 5e-5);
  EXPECT_NEAR(LoudnessMeter::FastLoudness(0.1), -10.7515, 5e-5);
  EXPECT_NEAR(LoudnessMeter::FastLoudness(0.01), -20.7457, 5e-5);
  // Within about 0.2 LU of the exact logarithm everywhere.
  for (double e = 1e-9; e < 1e3; e *= 1.37) {
    EXPECT_NEAR(LoudnessMeter::FastLoudness(e), 10 * std::log10(e) - 0.691, 0.22) << e;
  }
}

TEST(MeterCoefficients, MatchTheStandardAt48k) {
  const LoudnessMeter::Coefs c = LoudnessMeter::ComputeCoefs(48000.0);
  EXPECT_NEAR(c.b0, 1.53512485958697, 1e-12);
  EXPECT_NEAR(c.b1, -2.69169618940638, 1e-12);
  EXPECT_NEAR(c.b2, 1.19839281085285, 1e-12);
  EXPECT_NEAR(c.a1, -1.69065929318241, 1e-12);
  EXPECT_NEAR(c.a2, 0.73248077421585, 1e-12);
  EXPECT_NEAR(c.ha1, -1.99004745483398, 1e-12);
  EXPECT_NEAR(c.ha2, 0.99007225036621, 1e-12);
}

TEST(MeterSubBlocks, TableAt44100And48000) {
  struct Row {
    int window;
    int c441, d441, c48, d48;
  };
  const Row rows[] = {{0, 110, 160, 120, 160}, {1, 220, 80, 240, 80},  {2, 441, 40, 480, 40},
                      {3, 882, 20, 960, 20},   {4, 2205, 8, 2400, 8}, {5, 4410, 4, 4800, 4}};
  for (double rate : {44100.0, 48000.0}) {
    OpenPlug p(rate);
    p.RunConstant(0.0, 16);
    for (const Row& r : rows) {
      p->SetParameterPlain(kWindow, r.window);
      EXPECT_EQ(p->mMeter.SubBlockLength(), rate == 44100.0 ? r.c441 : r.c48) << r.window;
      EXPECT_EQ(p->mMeter.SubBlocksPerWindow(), rate == 44100.0 ? r.d441 : r.d48) << r.window;
    }
  }
}

TEST(MeterMomentary, HundredMsWindowUpdatesEvery4410Frames) {
  Meter mt(44100.0, 0.1f);
  std::vector<int> changes;
  double last = mt.m.Momentary();
  for (int i = 0; i < 44100; ++i) {
    const double x = 0.5 * std::sin(2 * M_PI * 997 * i / 44100.0);
    mt.m.AddFrame(x, x, true);
    if (mt.m.Momentary() != last) {
      changes.push_back(i + 1);
      last = mt.m.Momentary();
    }
  }
  ASSERT_GE(changes.size(), 5u);
  for (size_t k = 0; k < changes.size(); ++k) EXPECT_EQ(changes[k] % 4410, 0) << changes[k];
  EXPECT_EQ(mt.m.SubBlockLength() * mt.m.SubBlocksPerWindow(), 17640);
}

TEST(MeterMomentary, SilenceReportsTheFloorAndKeepsMaximum) {
  Meter mt(48000.0);
  FeedSine(mt.m, 48000.0, 1000, 0.5, 48000);
  const double max = mt.m.Maximum();
  EXPECT_GT(max, -20.0);
  for (int i = 0; i < 48000; ++i) mt.m.AddFrame(0, 0, true);
  // The running window sum may keep a rounding residue; either way the
  // reading is far below anything audible.
  EXPECT_LT(mt.m.Momentary(), -100.0);
  EXPECT_EQ(mt.m.Maximum(), max);
}

TEST(MeterIntegration, GateAtMinusSeventy) {
  // Finds a window energy whose loudness lies just at -70.0 LUFS and one just
  // under it, then closes one sub-block of each on a fresh meter.
  double lo = 1e-9, hi = 1e-6;
  for (int i = 0; i < 200; ++i) {
    const double mid = std::sqrt(lo * hi);
    (LoudnessMeter::FastLoudness(mid) >= -70.0 ? hi : lo) = mid;
  }
  auto integratedAfterOne = [](double windowEnergy) {
    double rate = 48000.0;
    LoudnessMeter m(&rate, 0.01f);
    m.Reset();
    LoudnessMeter::State s;
    s.sum[0] = windowEnergy * m.SubBlockLength() * m.SubBlocksPerWindow();
    m.CloseSubBlock(s, true);
    return m.IntegratedEnergy();
  };
  EXPECT_GT(integratedAfterOne(hi), 0.0);
  EXPECT_EQ(integratedAfterOne(lo), 0.0);
  EXPECT_LT(LoudnessMeter::FastLoudness(lo), -70.0);
  EXPECT_GT(LoudnessMeter::FastLoudness(lo), -70.05);
}

TEST(MeterIntegration, MeanOfGatedWindowEnergies) {
  Meter mt(48000.0);
  EXPECT_EQ(mt.m.IntegratedEnergy(), 0.0);
  FeedSine(mt.m, 48000.0, 1000, std::pow(10.0, -23.0 / 20.0), 48000 * 3);
  const double lufs = 10 * std::log10(mt.m.IntegratedEnergy()) - 0.691;
  // A 1 kHz sine at -23 dBFS on both channels is -23 LUFS; the sub-blocks of
  // the first 400 ms see a window still filling, which costs 3 s of signal
  // about 0.29 LU.
  EXPECT_NEAR(lufs, -23.29, 0.05);
  // Not integrating leaves it alone.
  const double before = mt.m.IntegratedEnergy();
  FeedSine(mt.m, 48000.0, 1000, 0.9, 48000, false);
  EXPECT_EQ(mt.m.IntegratedEnergy(), before);
  EXPECT_GT(mt.m.Maximum(), -5.0);
}

TEST(MeterReset, WindowChangeClearsMeasurements) {
  OpenPlug p;
  std::vector<double> x(48000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.3 * std::sin(i * 0.1);
  std::vector<double> oL, oR;
  p.Run(x, x, oL, oR);
  ASSERT_GT(p->mMeter.Maximum(), -40.0);
  ASSERT_GT(p->mMeter.IntegratedEnergy(), 0.0);
  p->SetParameterFromText(kWindow, "50ms");
  EXPECT_EQ(p->mMeter.Maximum(), -160.0);
  EXPECT_EQ(p->mMeter.Momentary(), -160.0);
  EXPECT_EQ(p->mMeter.IntegratedEnergy(), 0.0);
}

TEST(MeterRobustness, NonFiniteSamplesSpoilOnlyTheirSubBlock) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {nan, inf, -inf, 1e200}) {
    Meter clean(48000.0), hit(48000.0);
    FeedSine(clean.m, 48000.0, 1000, 0.25, 24000);
    FeedSine(hit.m, 48000.0, 1000, 0.25, 24000);
    hit.m.AddFrame(bad, 0.1, true);
    clean.m.AddFrame(0.0, 0.1, true);
    // One second later both windows hold only clean sub-blocks.
    for (int i = 0; i < 48000; ++i) {
      const double x = 0.25 * std::sin(2 * M_PI * 1000 * i / 48000.0);
      clean.m.AddFrame(x, x, true);
      hit.m.AddFrame(x, x, true);
    }
    EXPECT_TRUE(std::isfinite(hit.m.Momentary())) << bad;
    EXPECT_NEAR(hit.m.Momentary(), clean.m.Momentary(), 0.05) << bad;
    EXPECT_TRUE(std::isfinite(hit.m.IntegratedEnergy())) << bad;
    EXPECT_TRUE(std::isfinite(hit.m.Maximum())) << bad;
  }
}

TEST(MeterRobustness, StableAtEveryRate) {
  for (double rate : {1000.0, 1234.5678, 2000.0, 3000.0, 3363.0, 3364.0, 3700.0, 8000.0, 22050.0,
                      96000.0, 192000.0, 1.2e6, 1.2345678e6}) {
    Meter mt(rate);
    uint32_t s = 1;
    double max = -1000;
    const int frames = static_cast<int>(std::min(rate * 3.0, 600000.0));
    for (int i = 0; i < frames; ++i) {
      s = s * 1664525u + 1013904223u;
      const double x = 0.3 * ((s >> 8) / 8388608.0 - 1.0);
      mt.m.AddFrame(x, x, true);
      max = std::max(max, mt.m.Momentary());
    }
    EXPECT_TRUE(std::isfinite(mt.m.Momentary())) << rate;
    EXPECT_GT(mt.m.Momentary(), -40.0) << rate;
    EXPECT_LT(mt.m.Momentary(), 10.0) << rate;
    EXPECT_LT(max, 10.0) << rate;
  }
}

}  // namespace
