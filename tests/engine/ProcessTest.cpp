#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "editor/GRAPH.h"
#include "editor/ITextControl.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

// Sends a unit impulse through the ring and returns the frame it comes out at.
int ImpulseDelay(OpenPlug& p, int frames) {
  std::vector<double> l(static_cast<size_t>(frames), 0.0), r(static_cast<size_t>(frames), 0.0), oL, oR;
  // Stay above the silence threshold so the gain stays 1 for a quiet signal.
  for (size_t i = 0; i < l.size(); ++i) l[i] = r[i] = 1e-6;
  l[0] = 0.5;
  p.Run(l, r, oL, oR);
  for (int i = 0; i < frames; ++i) {
    if (oL[static_cast<size_t>(i)] == 0.5) return i;
  }
  return -1;
}

TEST(LookAhead, RingLengthsAndDelays) {
  {
    OpenPlug p(44100.0);
    p->SetParameterPlain(kLookAhead, 0.1);
    p.RunConstant(1e-6, 32);
    EXPECT_EQ(p->mLookAheadLength, 9);
    EXPECT_TRUE(p->mLookAheadOn);
    p->SetParameterPlain(kLookAhead, 0.0);
    p->SetParameterPlain(kLookAhead, 0.1);
    EXPECT_EQ(ImpulseDelay(p, 64), 4);
  }
  {
    OpenPlug p(48000.0);
    p.RunConstant(1e-6, 32);
    p->SetParameterPlain(kLookAhead, 800.0);
    EXPECT_EQ(p->mLookAheadLength, 76800);
    EXPECT_EQ(ImpulseDelay(p, 40000), 38399);
    EXPECT_EQ(p->GetLatency(), 0);
  }
  {
    // Rings of 1 or 2 values give no delay.
    OpenPlug p(5000.0);
    p.RunConstant(1e-6, 32);
    p->SetParameterPlain(kLookAhead, 0.1);
    EXPECT_EQ(p->mLookAheadLength, 1);
    EXPECT_EQ(ImpulseDelay(p, 16), 0);
    p->SetParameterPlain(kLookAhead, 0.2);
    EXPECT_EQ(p->mLookAheadLength, 2);
    EXPECT_EQ(ImpulseDelay(p, 16), 0);
  }
  {
    OpenPlug p(48000.0);
    p->SetParameterPlain(kLookAhead, 0.0);
    p.RunConstant(1e-6, 32);
    EXPECT_FALSE(p->mLookAheadOn);
    EXPECT_EQ(ImpulseDelay(p, 16), 0);
  }
}

TEST(LookAhead, DeactivationDropsTheAudioHeldInTheRing) {
  OpenPlug p(48000.0);
  p->SetParameterPlain(kLookAhead, 100.0);
  p->SetParameterPlain(kOutLimit, 0.0);
  std::vector<double> loud(9600), oL, oR;
  for (size_t i = 0; i < loud.size(); ++i) loud[i] = 0.5 * std::sin(i * 0.05);
  p.Run(loud, loud, oL, oR);
  p->Activate(false);
  p->Activate(true);
  std::vector<double> quiet(4800, 1e-6);
  p.Run(quiet, quiet, oL, oR);
  for (size_t i = 0; i < 4799; ++i) ASSERT_EQ(oL[i], 0.0) << i;  // the ring's old content
  EXPECT_EQ(oL[4799], 1e-6);                                     // 4799 frames later: the input
}

TEST(ProcessPath, FirstBlockShowsTheReleaseText) {
  quarvtest::FakeClockScope clock;
  OpenPlug p;
  p.RunConstant(0.0, 64);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Release: 70 ms");
  EXPECT_EQ(p->mStatusDeadline, quarvtest::gFakeClock + 9000u);
  EXPECT_EQ(p->mGraphPointLength, 2400);
  EXPECT_EQ(p->mSilenceHold, 24000);
}

TEST(ProcessPath, StatusTextTimesOutOnlyWhileProcessing) {
  quarvtest::FakeClockScope clock(5000);
  OpenPlug p;
  p.RunConstant(0.0, 64);
  p->ParamHovered(kOutLimit);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Out Limit: -14.00 lu");
  quarvtest::gFakeClock = 5000 + 9000;
  p.RunConstant(0.0, 64);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Out Limit: -14.00 lu");
  quarvtest::gFakeClock = 5000 + 20000;
  EXPECT_STREQ(p->mStatusLine->GetText(), "Out Limit: -14.00 lu");
  p.RunConstant(0.0, 64);
  EXPECT_STREQ(p->mStatusLine->GetText(), "");
  EXPECT_EQ(p->mStatusDeadline, 0u);
}

TEST(ProcessPath, HoverTextsForEveryParameter) {
  quarvtest::FakeClockScope clock;
  OpenPlug p;
  p.RunConstant(0.0, 16);
  struct Case {
    int idx;
    const char* text;
  };
  p->SetParameterPlain(kAttenuationTarget, 4.5);
  p->SetParameterPlain(kResetOnPlay, 0);
  const Case cases[] = {{kAttack, "Attack: 12 ms"},
                        {kRelease, "Release: 70 ms"},
                        {kOutLimit, "Out Limit: -14.00 lu"},
                        {kAttenuationTarget, "Attenuation Target: 4.50 dB"},
                        {kResetOnPlay, "Lock data, keep at play start"},
                        {kGraphWhenPlay, "Analyzing only when play"},
                        {kInputGain, ""},
                        {kLookAhead, ""},
                        {kWindow, ""}};
  for (const Case& c : cases) {
    p->mStatusLine->SetText("x");
    p->ParamHovered(c.idx);
    EXPECT_STREQ(p->mStatusLine->GetText(), c.text) << c.idx;
  }
  p->SetParameterPlain(kResetOnPlay, 1);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Reset data at play start");
  p->SetParameterPlain(kGraphWhenPlay, 0);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Analyzing without play");
  p->SetParameterPlain(kAttack, 12.5);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Attack: 13 ms");
}

TEST(ProcessPath, NoStatusTextBeforeTheFirstBlock) {
  CLS_QUARVELLINE plug;
  plug.Open();
  plug.ParamHovered(kOutLimit);
  EXPECT_STREQ(plug.mStatusLine->GetText(), "");
  EXPECT_EQ(plug.mStatusDeadline, 0u);
}

TEST(ProcessPath, SignalBelowTheLimitPassesBitExact) {
  OpenPlug p;
  std::vector<double> l(48000 * 3), r(l.size()), oL, oR;
  for (size_t i = 0; i < l.size(); ++i) {
    l[i] = 0.05 * std::sin(i * 0.0625);
    r[i] = 0.04 * std::sin(i * 0.031);
  }
  p.Run(l, r, oL, oR, 333);
  EXPECT_EQ(oL, l);
  EXPECT_EQ(oR, r);
  EXPECT_EQ(p->mMinGain, 1.0);
}

TEST(ProcessPath, InputGainScalesBothChannels) {
  OpenPlug p;
  p->SetParameterPlain(kInputGain, -6.0);
  std::vector<double> l(1000, 0.01), r(1000, -0.02), oL, oR;
  p.Run(l, r, oL, oR);
  const double g = std::exp(-60 * 0.1 * 0.11512925464970228);
  EXPECT_EQ(oL[500], 0.01 * g);
  EXPECT_EQ(oR[500], -0.02 * g);
}

TEST(ProcessPath, DigitalSilenceEntersTheSilenceState) {
  OpenPlug p;
  p->SetParameterPlain(kOutLimit, -40.0);
  std::vector<double> loud(48000), oL, oR;
  for (size_t i = 0; i < loud.size(); ++i) loud[i] = 0.5 * std::sin(i * 0.05);
  p.Run(loud, loud, oL, oR);
  ASSERT_LT(p->mGain, 1.0);
  // After 0.5 s of quiet frames the next frame is in the silence state.
  std::vector<double> zero(24001, 0.0);
  p.Run(zero, zero, oL, oR);
  EXPECT_EQ(p->mGain, 1.0);
  EXPECT_EQ(p->mEnvelope, -160.0);
  EXPECT_EQ(p->mMeter.Momentary(), -160.0);
  const int counter = p->mMeter.StateRef().counter;
  std::vector<double> tiny(1000, 1e-11);
  p.Run(tiny, tiny, oL, oR);
  EXPECT_EQ(p->mMeter.StateRef().counter, counter);  // the meter does not advance
  EXPECT_EQ(oL[999], 1e-11);

  // One sample above the threshold re-arms metering from that frame on, and
  // the sub-block resumes where it left off.
  std::vector<double> blip(10, 0.0);
  blip[3] = 1e-9;
  p.Run(blip, blip, oL, oR);
  EXPECT_EQ(p->mMeter.StateRef().counter, (counter + 7) % p->mMeter.SubBlockLength());
}

TEST(ProcessPath, BlockSizesFromZeroTo8192) {
  OpenPlug p(48000.0, 8192);
  std::vector<double> x(8192), oL, oR;
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.7 * std::sin(i * 0.01);
  for (int n : {0, 1, 2, 3, 17, 511, 512, 513, 4096, 8191, 8192}) {
    std::vector<double> l(x.begin(), x.begin() + n), oLn, oRn;
    p.Run(l, l, oLn, oRn, std::max(n, 1));
    for (double v : oLn) ASSERT_TRUE(std::isfinite(v)) << n;
  }
  // Longer than the block size in one call: sliced by the binding.
  std::vector<float> big(20000, 0.25f), out(20000);
  float* in[2] = {big.data(), big.data()};
  float* o[2] = {out.data(), out.data()};
  p->Process(in, o, 2, 20000);
  EXPECT_TRUE(std::isfinite(out.back()));
}

TEST(ProcessPath, ZeroSampleRatePassesThrough) {
  CLS_QUARVELLINE plug;
  plug.Open();
  plug.SetHostSampleRate(0.0);
  std::vector<double> l(256, 0.9), r(256, -0.9), oL(256), oR(256);
  double* in[2] = {l.data(), r.data()};
  double* out[2] = {oL.data(), oR.data()};
  plug.Process(in, out, 2, 256);
  EXPECT_EQ(oL, l);
  EXPECT_EQ(oR, r);
  // The real rate arrives later and the engine sets itself up.
  plug.SetHostSampleRate(44100.0);
  plug.Process(in, out, 2, 256);
  EXPECT_EQ(plug.mSampleRate, 44100.0);
  EXPECT_EQ(plug.mGraphPointLength, 2205);
}

TEST(ProcessPath, InPlaceAndMono) {
  OpenPlug p;
  p->SetParameterPlain(kInputGain, 6.0);
  std::vector<double> l(512, 0.001), r(512, 0.002);
  double* io[2] = {l.data(), r.data()};
  p->Process(io, io, 2, 512);
  EXPECT_DOUBLE_EQ(l[100], 0.001 * p->mInputGainFactor);
  EXPECT_DOUBLE_EQ(r[100], 0.002 * p->mInputGainFactor);

  OpenPlug m;
  std::vector<double> in(512, 0.01), out(512, 9.0);
  double* mi[1] = {in.data()};
  double* mo[1] = {out.data()};
  m->Process(mi, mo, 1, 512);
  EXPECT_EQ(out[511], 0.01);
}

// A host going from stereo to mono stops feeding the second input: from then
// on it reads silence, not the last stereo block again and again.
TEST(ProcessPath, ADisconnectedInputReadsSilence) {
  OpenPlug p(48000.0, 512);
  std::vector<float> loud(512), quiet(512, 0.0f), out(512);
  for (size_t i = 0; i < loud.size(); ++i) loud[i] = static_cast<float>(0.9 * std::sin(i * 0.3));
  float* stereoIn[2] = {quiet.data(), loud.data()};
  float* stereoOut[2] = {out.data(), out.data()};
  p->Process(stereoIn, stereoOut, 2, 512);
  float* monoIn[1] = {quiet.data()};
  float* monoOut[1] = {out.data()};
  for (int i = 0; i < 100; ++i) p->Process(monoIn, monoOut, 1, 512);
  EXPECT_EQ(p->mMeter.Momentary(), LoudnessMeter::kFloorLufs) << "the silence state: nothing was heard";
  EXPECT_EQ(p->mGain, 1.0);
}

TEST(ProcessPath, NonFiniteInputDoesNotStopLimiting) {
  OpenPlug p;
  p->SetParameterPlain(kOutLimit, -30.0);
  std::vector<double> x(48000), oL, oR;
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.5 * std::sin(i * 0.05);
  std::vector<double> hit = x;
  hit[1000] = std::numeric_limits<double>::quiet_NaN();
  hit[2000] = std::numeric_limits<double>::infinity();
  p.Run(hit, hit, oL, oR);
  p.Run(x, x, oL, oR);
  EXPECT_TRUE(std::isfinite(p->mEnvelope));
  EXPECT_LT(p->mGain, 1.0);
  EXPECT_GT(p->mGain, 0.1);
  for (double v : oL) ASSERT_TRUE(std::isfinite(v));
}

TEST(ResetAllData, ClearsMeasurementsHistoryAndTimes) {
  OpenPlug p;
  p->SetParameterPlain(kOutLimit, -30.0);
  std::vector<double> x(48000), oL, oR;
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.5 * std::sin(i * 0.05);
  p.Run(x, x, oL, oR);
  ASSERT_GT(p->mGraph->points, 10);
  ASSERT_LT(p->mMinGain, 1.0);
  p->ResetAllData();
  EXPECT_EQ(p->mGraph->points, -1);
  EXPECT_EQ(p->mGraph->startTime, -1.0);
  EXPECT_EQ(p->mGraph->endTime, -1.0);
  EXPECT_EQ(p->mMeter.Maximum(), -160.0);
  EXPECT_EQ(p->mMeter.IntegratedEnergy(), 0.0);
  EXPECT_EQ(p->mMinGain, 1.0);
  EXPECT_EQ(p->mEnvelope, -160.0);
}

}  // namespace
