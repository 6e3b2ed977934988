#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/Quarvelline.h"
#include "support/PlugFixture.h"

using quarvtest::OpenPlug;

namespace {

StateChunk BlockOf(std::initializer_list<double> values) {
  StateChunk c;
  for (double v : values) c.PutDouble(v);
  return c;
}

TEST(StateChunkFormat, LittleEndianDoublesAndShortReads) {
  StateChunk c;
  c.PutDouble(1.0);
  c.PutInt32(0x01020304);
  ASSERT_EQ(c.Size(), 12);
  EXPECT_EQ(c.Data()[7], 0x3F);
  EXPECT_EQ(c.Data()[6], 0xF0);
  EXPECT_EQ(c.Data()[8], 0x04);
  double d = 0;
  EXPECT_EQ(c.GetDouble(&d, 0), 8);
  EXPECT_EQ(d, 1.0);
  EXPECT_EQ(c.GetDouble(&d, 8), -1);
  EXPECT_EQ(c.GetDouble(&d, -3), -1);
  int32_t i = 0;
  EXPECT_EQ(c.GetInt32(&i, 8), 12);
  EXPECT_EQ(i, 0x01020304);
  c.Clear();
  EXPECT_EQ(c.Size(), 0);
}

TEST(PresetSlots, NamesAfterConstruction) {
  CLS_QUARVELLINE plug;
  EXPECT_STREQ(plug.GetPresetName(0), "---- default ----");
  EXPECT_EQ(plug.GetPreset(0)->chunk.Size(), 0);
  EXPECT_TRUE(plug.GetPreset(0)->initialized);
  for (int i = 21; i < 30; ++i) {
    EXPECT_EQ(std::string(plug.GetPresetName(i)), "- " + std::to_string(i + 1) + " -");
    EXPECT_FALSE(plug.GetPreset(i)->initialized);
  }
  EXPECT_STREQ(plug.GetPresetName(30), "");
  EXPECT_STREQ(plug.GetPresetName(-1), "");
  EXPECT_EQ(plug.GetPreset(1)->chunk.Size(), 72);
}

TEST(SavedState, SaveIsSeventyTwoBytesAndLoadRestores) {
  OpenPlug a;
  a->RecallPreset(9);  // a slot that accepts every value
  a->SetParameterPlain(kInputGain, 3.3);
  a->SetParameterPlain(kLookAhead, 123.4);
  a->SetParameterPlain(kAttenuationTarget, 7.5);
  a->SetParameterPlain(kGraphWhenPlay, 0);
  StateChunk chunk;
  EXPECT_TRUE(a->SaveParams(&chunk));
  ASSERT_EQ(chunk.Size(), 72);

  OpenPlug b;
  b->RecallPreset(12);
  EXPECT_EQ(b->LoadParams(&chunk, 0), 72);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(b->GetParam(i)->Value(), a->GetParam(i)->Value()) << i;
  EXPECT_FALSE(b->mGraphWhenPlay);
  EXPECT_FLOAT_EQ(b->mAttenuationTarget, 7.5f);
}

TEST(SavedState, AnalysisSettingsKeptWhileAStreamingSlotIsCurrent) {
  OpenPlug b;
  ASSERT_EQ(b->GetCurrentPresetIdx(), 0);
  b->SetParameterPlain(kAttenuationTarget, 9.0);
  const StateChunk chunk = BlockOf({1, 2, 3, 4, 1, -20, 1, 0, 0});
  EXPECT_EQ(b->LoadParams(&chunk, 0), 72);
  EXPECT_EQ(b->GetParam(kOutLimit)->Value(), -20.0);
  EXPECT_EQ(b->GetParam(kAttenuationTarget)->Value(), 9.0);
  EXPECT_EQ(b->GetParam(kResetOnPlay)->Value(), 1.0);
  EXPECT_EQ(b->GetParam(kGraphWhenPlay)->Value(), 1.0);
}

TEST(SavedState, TwentyBytesApplyTwoAndZeroTheThird) {
  OpenPlug b;
  b->RecallPreset(9);
  const StateChunk full = BlockOf({2.5, 100, 33});
  StateChunk chunk;
  chunk.PutBytes(full.Data(), 20);
  EXPECT_EQ(b->LoadParams(&chunk, 0), -1);
  EXPECT_EQ(b->GetParam(kInputGain)->Value(), 2.5);
  EXPECT_EQ(b->GetParam(kLookAhead)->Value(), 100.0);
  EXPECT_EQ(b->GetParam(kAttack)->Value(), 0.0);
  EXPECT_EQ(b->mAttackCoef, 0.0);
  EXPECT_EQ(b->GetParam(kRelease)->Value(), 50.0);  // preset 9 value, untouched
}

TEST(SavedState, OutOfRangeValuesAreClamped) {
  OpenPlug b;
  b->RecallPreset(9);
  const StateChunk chunk = BlockOf({99, -5, 900, 0, 17, 4, -1, 3, 2});
  EXPECT_EQ(b->LoadParams(&chunk, 0), 72);
  EXPECT_EQ(b->GetParam(kInputGain)->Value(), 18.0);
  EXPECT_EQ(b->GetParam(kLookAhead)->Value(), 0.0);
  EXPECT_EQ(b->GetParam(kAttack)->Value(), 500.0);
  EXPECT_EQ(b->GetParam(kRelease)->Value(), 1.0);
  EXPECT_EQ(b->GetParam(kWindow)->Value(), 5.0);
  EXPECT_EQ(b->GetParam(kOutLimit)->Value(), 0.0);
  EXPECT_EQ(b->GetParam(kAttenuationTarget)->Value(), 0.0);
  EXPECT_EQ(b->GetParam(kResetOnPlay)->Value(), 1.0);
}

TEST(SavedState, NonFiniteValuesAreSkippedButReadPast) {
  OpenPlug b;
  b->RecallPreset(9);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const StateChunk chunk = BlockOf({nan, 10, -inf, 200, 3, inf, 2, 0, nan});
  EXPECT_EQ(b->LoadParams(&chunk, 0), 72);
  EXPECT_EQ(b->GetParam(kInputGain)->Value(), 0.0);
  EXPECT_EQ(b->GetParam(kLookAhead)->Value(), 10.0);
  EXPECT_EQ(b->GetParam(kAttack)->Value(), 8.0);
  EXPECT_EQ(b->GetParam(kRelease)->Value(), 200.0);
  EXPECT_EQ(b->GetParam(kOutLimit)->Value(), -12.0);
  EXPECT_EQ(b->GetParam(kAttenuationTarget)->Value(), 2.0);
  EXPECT_EQ(b->GetParam(kGraphWhenPlay)->Value(), 1.0);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(std::isfinite(b->GetParam(i)->Value()));
  EXPECT_TRUE(std::isfinite(b->mInputGainFactor));
  EXPECT_TRUE(std::isfinite(b->mOutLimit));
}

TEST(SavedState, EmptyBlockSetsOnlyTheFirstParameter) {
  OpenPlug b;
  b->SetParameterPlain(kInputGain, 5.0);
  b->SetParameterPlain(kLookAhead, 5.0);
  StateChunk empty;
  EXPECT_EQ(b->LoadParams(&empty, 0), -1);
  EXPECT_EQ(b->GetParam(kInputGain)->Value(), 0.0);
  EXPECT_EQ(b->GetParam(kLookAhead)->Value(), 5.0);
  EXPECT_EQ(b->LoadParams(nullptr, 0), -1);
}

TEST(PresetRecall, DefaultSlotFailsUntilStored) {
  OpenPlug b;
  b->RecallPreset(5);
  b->SetParameterPlain(kInputGain, 4.0);
  b->SetParameterPlain(kRelease, 300.0);
  EXPECT_FALSE(b->RecallPreset(0));
  EXPECT_EQ(b->GetCurrentPresetIdx(), 0);
  EXPECT_EQ(b->GetParam(kInputGain)->Value(), 0.0);
  EXPECT_EQ(b->GetParam(kRelease)->Value(), 300.0);

  b->SetParameterPlain(kRelease, 444.0);
  b->StoreCurrentPreset();
  EXPECT_EQ(b->GetPreset(0)->chunk.Size(), 72);
  EXPECT_STREQ(b->GetPresetName(0), "---- default ----");
  b->RecallPreset(7);
  EXPECT_TRUE(b->RecallPreset(0));
  EXPECT_EQ(b->GetParam(kRelease)->Value(), 444.0);
}

TEST(PresetRecall, EmptySlotBecomesAUserPreset) {
  OpenPlug b;
  EXPECT_TRUE(b->RecallPreset(25));
  EXPECT_STREQ(b->GetPresetName(25), "user preset 1");
  EXPECT_EQ(b->GetCurrentPresetIdx(), 25);
  EXPECT_EQ(b->GetPreset(25)->chunk.Size(), 0);
  EXPECT_TRUE(b->RecallPreset(26));
  EXPECT_STREQ(b->GetPresetName(26), "user preset 2");
  // Initialised now but still empty: recalls like the default slot.
  EXPECT_FALSE(b->RecallPreset(25));
  b->StoreCurrentPreset("mine");
  EXPECT_STREQ(b->GetPresetName(25), "mine");
  EXPECT_FALSE(b->RecallPreset(30));
  EXPECT_FALSE(b->RecallPreset(-1));
}

TEST(PresetRecall, DefinePresetWithNoFreeSlotDoesNothing) {
  CLS_QUARVELLINE plug;
  for (int i = 21; i < 30; ++i) plug.DefinePreset("extra", {0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_STREQ(plug.GetPresetName(29), "extra");
  plug.DefinePreset("overflow", {1, 1, 1, 1, 1, 1, 1, 1, 1});
  plug.NameDefaultPresets("overflow", 3);
  for (int i = 0; i < 30; ++i) EXPECT_STRNE(plug.GetPresetName(i), "overflow");
  plug.EnsureOnePreset();
  EXPECT_EQ(plug.NPresets(), 30);
}

}  // namespace
