#include <gtest/gtest.h>

#include <string>

#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

TEST(FactoryPresets, NamesInSlotOrder) {
  CLS_QUARVELLINE plug;
  const char* names[] = {"---- default ----",
                         "Spotify: -14 LUFS",
                         "YouTube: -14 LUFS",
                         "Tidal: -14 LUFS",
                         "Amazon Music: -14 LUFS",
                         "Deezer: -15 LUFS",
                         "Apple Music: -16 LUFS",
                         "Master - Slow music",
                         "Master - Down tempo",
                         "Master - Dynamic",
                         "Master - Trance (very dynamic)",
                         "Set of tracks (melody) - soft",
                         "Set of tracks (melody) - medium",
                         "Set of tracks (melody) - hard",
                         "Set of tracks (melody) - very hard",
                         "Cinematic",
                         "Classic",
                         "Relaxation & Meditation",
                         "Keep data at play start",
                         "Metering only",
                         "Analyzing without play & only metering"};
  for (int i = 0; i < 21; ++i) EXPECT_STREQ(plug.GetPresetName(i), names[i]) << i;
  EXPECT_STREQ(plug.GetPresetName(21), "- 22 -");
}

TEST(FactoryPresets, StoredValuesAreListIndicesAndPlainValues) {
  CLS_QUARVELLINE plug;
  const StateChunk& c = plug.GetPreset(8)->chunk;  // "Master - Down tempo"
  const double expected[] = {0, 26, 12, 70, 2, -13, 1.5, 1, 1};
  for (int i = 0; i < 9; ++i) {
    double v = -99;
    EXPECT_EQ(c.GetDouble(&v, 8 * i), 8 * i + 8);
    EXPECT_EQ(v, expected[i]) << i;
  }
}

TEST(FactoryPresets, StreamingPresetsKeepTheAnalysisSettings) {
  OpenPlug p;
  p->SetParameterPlain(kAttenuationTarget, 6.0);
  p->SetParameterPlain(kResetOnPlay, 0);
  p->SetParameterPlain(kGraphWhenPlay, 0);
  EXPECT_TRUE(p->RecallPreset(5));  // "Deezer: -15 LUFS"
  EXPECT_EQ(p->GetParam(kOutLimit)->Value(), -15.0);
  EXPECT_DOUBLE_EQ(p->mOutLimit, -15.0);
  EXPECT_EQ(p->GetParam(kWindow)->Value(), 2.0);
  EXPECT_EQ(p->GetParam(kAttenuationTarget)->Value(), 6.0);
  EXPECT_EQ(p->GetParam(kResetOnPlay)->Value(), 0.0);
  EXPECT_FALSE(p->mResetOnPlay);
  EXPECT_TRUE(p->RecallPreset(3));  // "Tidal: -14 LUFS"
  EXPECT_FALSE(p->mResetOnPlay);
  EXPECT_FALSE(p->mGraphWhenPlay);
}

TEST(FactoryPresets, LaterPresetsApplyEveryValue) {
  OpenPlug p;
  p.RunConstant(0.0, 16);
  p->SetParameterPlain(kResetOnPlay, 0);
  EXPECT_TRUE(p->RecallPreset(15));  // "Cinematic"
  EXPECT_EQ(p->GetParam(kAttenuationTarget)->Value(), 1.0);
  EXPECT_FLOAT_EQ(p->mAttenuationTarget, 1.0f);
  EXPECT_TRUE(p->mResetOnPlay);
  EXPECT_EQ(p->GetParam(kAttack)->Value(), 5.0);
  EXPECT_EQ(p->GetParam(kRelease)->Value(), 30.0);
  EXPECT_EQ(p->GetParam(kWindow)->Value(), 1.0);
  EXPECT_EQ(p->GetCurrentPresetIdx(), 15);

  EXPECT_TRUE(p->RecallPreset(7));  // "Master - Slow music"
  EXPECT_EQ(p->GetParam(kLookAhead)->Value(), 40.0);
  EXPECT_TRUE(p->mLookAheadOn);
  EXPECT_EQ(p->mLookAheadLength, 3840);
}

TEST(FactoryPresets, MeteringPresets) {
  OpenPlug p;
  EXPECT_TRUE(p->RecallPreset(19));  // "Metering only"
  EXPECT_EQ(p->mOutLimit, 0.0);
  EXPECT_EQ(p->GetParam(kWindow)->Value(), 5.0);
  EXPECT_FLOAT_EQ(p->mMeter.Window(), 0.1f);
  EXPECT_TRUE(p->mResetOnPlay);
  EXPECT_TRUE(p->mGraphWhenPlay);
  EXPECT_TRUE(p->RecallPreset(20));  // "Analyzing without play & only metering"
  EXPECT_EQ(p->mOutLimit, 0.0);
  EXPECT_FALSE(p->mResetOnPlay);
  EXPECT_FALSE(p->mGraphWhenPlay);
  EXPECT_TRUE(p->RecallPreset(18));  // "Keep data at play start"
  EXPECT_FALSE(p->mResetOnPlay);
  EXPECT_TRUE(p->mGraphWhenPlay);
}

}  // namespace
