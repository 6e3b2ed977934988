#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

TEST(GainComputer, WorkedFigures) {
  const double limit = -14.0;
  EXPECT_EQ(CLS_QUARVELLINE::GainForEnvelope(limit, limit), 1.0);
  EXPECT_EQ(CLS_QUARVELLINE::GainForEnvelope(limit - 3, limit), 1.0);
  EXPECT_FLOAT_EQ(static_cast<float>(CLS_QUARVELLINE::GainForEnvelope(std::nextafter(limit, 0.0), limit)),
                  0.99999994f);
  EXPECT_DOUBLE_EQ(CLS_QUARVELLINE::GainForEnvelope(limit + 6, limit), 0.5011860102261836);
  EXPECT_DOUBLE_EQ(CLS_QUARVELLINE::GainForEnvelope(limit + 12, limit), 0.2509037957907026);
  EXPECT_DOUBLE_EQ(CLS_QUARVELLINE::GainForEnvelope(limit + 18, limit), 0.11906087610047074);
  EXPECT_DOUBLE_EQ(CLS_QUARVELLINE::GainForEnvelope(limit + 60, limit), 0.11906087610047074);
}

TEST(GainComputer, QuantisedParameterApplication) {
  OpenPlug p;
  p->SetParameterPlain(kInputGain, 1.0);
  const double oneDb = p->mInputGainFactor;
  EXPECT_DOUBLE_EQ(oneDb, std::exp(10 * 0.1 * 0.11512925464970228));
  p->SetParameterPlain(kInputGain, 1.04);
  EXPECT_EQ(p->mInputGainFactor, oneDb);
  p->SetParameterPlain(kInputGain, 1.05);
  EXPECT_EQ(p->mInputGainFactor, std::exp(11 * 0.1 * 0.11512925464970228));
}

TEST(GainComputer, UnchangedQuantisedValueShowsNoStatusText) {
  quarvtest::FakeClockScope clock;
  OpenPlug p;
  p.RunConstant(0.0, 64);
  p->SetParameterPlain(kAttack, 20.0);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Attack: 20 ms");
  p->mStatusLine->SetText("something else");
  p->SetParameterPlain(kAttack, 20.04);
  EXPECT_STREQ(p->mStatusLine->GetText(), "something else");
}

TEST(GainComputer, TimeConstantsFollowTheRate) {
  OpenPlug p(44100.0);
  p.RunConstant(0.0, 16);
  EXPECT_DOUBLE_EQ(p->mAttackCoef, std::exp(-1.0 / (120 * 44100.0 * 0.0001)));
  EXPECT_DOUBLE_EQ(p->mReleaseCoef, std::exp(-1.0 / (700 * 44100.0 * 0.0001)));
  p->SetParameterPlain(kAttack, 0.0);
  EXPECT_EQ(p->mAttackCoef, 0.0);
  p->SetHostSampleRate(96000.0);
  EXPECT_DOUBLE_EQ(p->mReleaseCoef, std::exp(-1.0 / (700 * 96000.0 * 0.0001)));
}

TEST(GainComputer, CoefficientsAreZeroBeforeTheFirstBlock) {
  CLS_QUARVELLINE plug;
  plug.Open();
  EXPECT_EQ(plug.mAttackCoef, 0.0);
  EXPECT_EQ(plug.mReleaseCoef, 0.0);
  EXPECT_EQ(plug.mLookAheadLength, 0);
}

TEST(GainComputer, InstantAttackTakesOverARisingLoudness) {
  OpenPlug p;
  p->SetParameterPlain(kAttack, 0.0);
  p->SetParameterPlain(kOutLimit, -60.0);
  std::vector<double> x(4800);
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.5 * std::sin(i * 0.13);
  std::vector<double> oL, oR;
  p.Run(x, x, oL, oR);
  EXPECT_EQ(p->mEnvelope, p->mMeter.Momentary());
}

TEST(GainComputer, ReachesTheFloorAndTracksMinimumGain) {
  OpenPlug p;
  p->SetParameterPlain(kOutLimit, -60.0);
  std::vector<double> x(48000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.9 * std::sin(i * 0.13);
  std::vector<double> oL, oR;
  p.Run(x, x, oL, oR);
  EXPECT_DOUBLE_EQ(p->mGain, 0.11906087610047074);
  EXPECT_DOUBLE_EQ(p->mMinGain, 0.11906087610047074);
  EXPECT_EQ(oL.back(), x.back() * p->mGain);
}

}  // namespace
