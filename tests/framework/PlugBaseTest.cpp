#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Quarvelline.h"
#include "graphics/IGraphicsOffscreen.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

TEST(PlugIdentity, NamesVersionAndCodes) {
  CLS_QUARVELLINE plug;
  EXPECT_STREQ(plug.GetEffectName(), "Quarvelline");
  EXPECT_STREQ(plug.GetProductName(), "");
  EXPECT_STREQ(plug.GetMakerName(), "Daskery");
  EXPECT_EQ(plug.GetUniqueID(), 0x4D445953);
  EXPECT_EQ(plug.GetMakerID(), ('D' << 24) | ('s' << 16) | ('K' << 8) | 'y');
  EXPECT_EQ(plug.GetVersion(false), 0x11000);
  EXPECT_EQ(plug.GetVersion(true), 11600);
  char v[16];
  plug.GetVersionStr(v, sizeof v);
  EXPECT_STREQ(v, "v1.16");
  EXPECT_EQ(plug.GetLatency(), 0);
  EXPECT_FALSE(plug.DoesChunks());
  EXPECT_FALSE(plug.IsInstrument());
  EXPECT_EQ(plug.NPresets(), 30);
  EXPECT_EQ(plug.GetHost(), -1);
}

TEST(PlugChannels, ConfigurationsFromTheChannelString) {
  CLS_QUARVELLINE plug;
  EXPECT_EQ(plug.NInChannels(), 2);
  EXPECT_EQ(plug.NOutChannels(), 2);
  ASSERT_EQ(plug.ChannelConfigs().size(), 2u);
  EXPECT_TRUE(plug.IsLegalIO(1, -1));
  EXPECT_TRUE(plug.IsLegalIO(2, 2));
  EXPECT_TRUE(plug.IsLegalIO(1, 1));
  EXPECT_FALSE(plug.IsLegalIO(1, 2));
  EXPECT_FALSE(plug.IsLegalIO(0, 0));
}

TEST(PlugHost, LookUpByNameInTableOrder) {
  EXPECT_EQ(IPlugBase::LookUpHost("REAPER 6"), 1);
  EXPECT_EQ(IPlugBase::LookUpHost("Cubase Pro"), 3);
  EXPECT_EQ(IPlugBase::LookUpHost("SAWStudio"), 20);
  EXPECT_EQ(IPlugBase::LookUpHost(""), 0);
  EXPECT_EQ(IPlugBase::LookUpHost(nullptr), 0);
  EXPECT_EQ(IPlugBase::LookUpHost("Ardour"), 27);
  EXPECT_EQ(IPlugBase::LookUpHost("Melodyne Live"), 9);
  EXPECT_EQ(IPlugBase::LookUpHost("Unknown DAW"), 0);
  CLS_QUARVELLINE plug;
  plug.SetHost("WaveLab", 0x0B0000);
  EXPECT_EQ(plug.GetHost(), 28);
  EXPECT_EQ(plug.GetHostVersion(), 0x0B0000);
}

TEST(PlugReadiness, ReadyOnlyOnceEveryParameterIsApplied) {
  CLS_QUARVELLINE plug;
  EXPECT_FALSE(plug.IsReadyForProcessing());
  for (int i = 0; i < 8; ++i) plug.ParamChanged(i);
  EXPECT_FALSE(plug.IsReadyForProcessing());
  plug.ParamChanged(8);
  EXPECT_TRUE(plug.IsReadyForProcessing());
}

TEST(PlugReadiness, BlockBeforeReadyIsNotProcessed) {
  CLS_QUARVELLINE plug;
  plug.SetHostSampleRate(48000);
  std::vector<double> in(64, 0.5), outD(64, 7.0);
  double* ip[2] = {in.data(), in.data()};
  double* op[2] = {outD.data(), outD.data()};
  plug.Process(ip, op, 2, 64);
  EXPECT_EQ(outD[10], 7.0);  // double outputs untouched
  EXPECT_FALSE(plug.mStarted);

  std::vector<float> inF(64, 0.5f), outF(64, 7.0f);
  float* ipf[2] = {inF.data(), inF.data()};
  float* opf[2] = {outF.data(), outF.data()};
  plug.Process(ipf, opf, 2, 64);
  EXPECT_EQ(outF[10], 0.0f);  // single-precision outputs get the (zero) scratch
}

TEST(PlugRouting, HostEditorAndTextPathsApplyTheValue) {
  OpenPlug p;
  p->SetParameterFromHost(kOutLimit, p->GetParam(kOutLimit)->NormalizedOf(-20.0));
  EXPECT_DOUBLE_EQ(p->mOutLimit, -20.0);
  const int informsBefore = p->informs;
  p->SetParameterFromEditor(kOutLimit, p->GetParam(kOutLimit)->NormalizedOf(-10.0));
  EXPECT_DOUBLE_EQ(p->mOutLimit, -10.0);
  EXPECT_EQ(p->informs, informsBefore + 1);
  EXPECT_TRUE(p->SetParameterFromText(kWindow, "20ms"));
  EXPECT_EQ(p->GetParam(kWindow)->Value(), 3.0);
  EXPECT_FLOAT_EQ(p->mMeter.Window(), 0.02f);
  EXPECT_TRUE(p->SetParameterFromText(kOutLimit, "-99"));
  EXPECT_EQ(p->GetParam(kOutLimit)->Value(), -60.0);
  EXPECT_FALSE(p->SetParameterFromText(12, "1"));
  // Typed infinities are clamped into the range; "nan" reads as 0.
  EXPECT_TRUE(p->SetParameterFromText(kOutLimit, "inf"));
  EXPECT_EQ(p->GetParam(kOutLimit)->Value(), 0.0);
  EXPECT_TRUE(p->SetParameterFromText(kOutLimit, "-1e999"));
  EXPECT_EQ(p->GetParam(kOutLimit)->Value(), -60.0);
  EXPECT_TRUE(p->SetParameterFromText(kInputGain, "nan"));
  EXPECT_EQ(p->GetParam(kInputGain)->Value(), 0.0);
  // A host that sends NaN changes nothing.
  p->SetParameterFromHost(kOutLimit, std::nan(""));
  EXPECT_EQ(p->GetParam(kOutLimit)->Value(), -60.0);
}

TEST(PlugGestures, WheelBurstIsOneGestureEndedByTheCountdown) {
  CLS_QUARVELLINE plug;
  ASSERT_NE(plug.GetGUI(), nullptr);
  for (int i = 0; i < 5; ++i) {
    plug.BeginParamEditOnce(kAttack);
    plug.EndParamEditLater(kAttack);
  }
  EXPECT_EQ(plug.beginEdits, 1);
  EXPECT_EQ(plug.endEdits, 0);
  EXPECT_EQ(static_cast<IGraphicsOffscreen*>(plug.GetGUI())->paramChangeTimer, 12);  // half of 24 frames per second
  // A step on another parameter first ends the pending gesture.
  plug.BeginParamEditOnce(kRelease);
  EXPECT_EQ(plug.endEdits, 1);
  EXPECT_EQ(plug.lastEditedParam, kRelease);
  EXPECT_EQ(plug.beginEdits, 2);
  plug.EndParamEditLater(kRelease);
  plug.FlushPendingEdit();
  EXPECT_EQ(plug.endEdits, 2);
  EXPECT_EQ(plug.PendingEdit(), -1);
  EXPECT_EQ(static_cast<IGraphicsOffscreen*>(plug.GetGUI())->paramChangeTimer, 0);
  plug.FlushPendingEdit();
  EXPECT_EQ(plug.endEdits, 2);
}

TEST(PlugBuffers, SinglePrecisionAccumulatingAndDoubleAgree) {
  const int n = 4096;
  std::vector<double> l(n), r(n);
  for (int i = 0; i < n; ++i) {
    l[static_cast<size_t>(i)] = 0.8 * std::sin(i * 0.031);
    r[static_cast<size_t>(i)] = 0.7 * std::sin(i * 0.017);
  }
  std::vector<float> lf(l.begin(), l.end()), rf(r.begin(), r.end());
  std::vector<double> dl, dr;
  std::vector<double> ld(lf.begin(), lf.end()), rd(rf.begin(), rf.end());
  {
    OpenPlug p;
    p.Run(ld, rd, dl, dr, 256);
  }
  std::vector<float> ol(n), orr(n);
  {
    OpenPlug p;
    for (int i = 0; i < n; i += 256) {
      float* in[2] = {lf.data() + i, rf.data() + i};
      float* out[2] = {ol.data() + i, orr.data() + i};
      p->Process(in, out, 2, 256);
    }
  }
  std::vector<float> al(n, 0.25f), ar(n, -0.25f);
  {
    OpenPlug p;
    for (int i = 0; i < n; i += 256) {
      float* in[2] = {lf.data() + i, rf.data() + i};
      float* out[2] = {al.data() + i, ar.data() + i};
      p->ProcessAccumulating(in, out, 2, 256);
    }
  }
  for (int i = 0; i < n; ++i) {
    const size_t k = static_cast<size_t>(i);
    ASSERT_EQ(ol[k], static_cast<float>(dl[k])) << i;
    ASSERT_EQ(orr[k], static_cast<float>(dr[k])) << i;
    ASSERT_EQ(al[k], 0.25f + static_cast<float>(dl[k])) << i;
    ASSERT_EQ(ar[k], -0.25f + static_cast<float>(dr[k])) << i;
  }
}

TEST(PlugBuffers, CallsLongerThanTheBlockSizeAreSliced) {
  // 1000 frames per call with a block size of 64: single-precision scratch
  // holds one block, so the binding must slice; the result equals small calls.
  const int n = 3000;
  std::vector<float> in(n), outBig(n), outSmall(n);
  for (int i = 0; i < n; ++i) in[static_cast<size_t>(i)] = 0.9f * static_cast<float>(std::sin(i * 0.05));
  OpenPlug a(48000, 64), b(48000, 64);
  for (int i = 0; i < n; i += 1000) {
    float* ip[2] = {in.data() + i, in.data() + i};
    float* op[2] = {outBig.data() + i, outBig.data() + i};
    a->Process(ip, op, 2, 1000);
  }
  for (int i = 0; i < n; i += 50) {
    float* ip[2] = {in.data() + i, in.data() + i};
    float* op[2] = {outSmall.data() + i, outSmall.data() + i};
    b->Process(ip, op, 2, 50);
  }
  EXPECT_EQ(outBig, outSmall);
}

}  // namespace
