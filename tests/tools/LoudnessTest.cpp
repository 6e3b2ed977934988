// The report's measuring: a track against the reference levels of the
// loudness standard's test signals, its 100-ms steps, and the comparison of
// input and result.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/tools/HostTestSupport.h"
#include "tools/Loudness.h"

using namespace quarv::render;
using namespace quarv::test;

namespace {

// Feeds ch to a track in pieces of the given sizes, round and round.
void Measure(LoudnessTrack& track, const Channels& ch, int rate, std::vector<int64_t> pieces) {
  std::string err;
  ASSERT_TRUE(track.Start(static_cast<int>(ch.size()), rate, 3000, &err)) << err;
  const int64_t n = static_cast<int64_t>(ch[0].size());
  size_t k = 0;
  for (int64_t at = 0; at < n;) {
    const int64_t piece = std::min(n - at, pieces[k++ % pieces.size()]);
    track.Add(ch, at, piece);
    at += piece;
  }
  track.Finish();
}

TEST(LoudnessTest, StereoSineAtMinus23DbfsIsMinus23Lufs) {
  LoudnessTrack track;
  Measure(track, SineChannels(2, 20.0, 48000, std::pow(10.0, -23.0 / 20.0)), 48000, {4096});
  ASSERT_TRUE(track.Integrated());
  EXPECT_NEAR(*track.Integrated(), -23.0, 0.1);
  ASSERT_TRUE(track.MaxMomentary());
  EXPECT_NEAR(*track.MaxMomentary(), -23.0, 0.1);
  EXPECT_NEAR(track.Range(), 0.0, 0.1);
}

TEST(LoudnessTest, MonoCountsItsOneChannel) {
  LoudnessTrack track;
  Measure(track, SineChannels(1, 5.0, 44100, std::pow(10.0, -23.0 / 20.0)), 44100, {1000, 7});
  ASSERT_TRUE(track.Integrated());
  EXPECT_NEAR(*track.Integrated(), -26.0, 0.1);  // half the energy of the stereo pair
}

TEST(LoudnessTest, RangeOfAlternatingLevelsIsTheirDifference) {
  // 10 s at -20 dBFS, 10 s at -30 dBFS, twice: a range near 10 LU.
  Channels ch(2);
  for (int part = 0; part < 4; ++part) {
    const Channels s = SineChannels(2, 10.0, 48000, std::pow(10.0, (part % 2 ? -30.0 : -20.0) / 20.0));
    for (size_t c = 0; c < 2; ++c) ch[c].insert(ch[c].end(), s[c].begin(), s[c].end());
  }
  LoudnessTrack track;
  Measure(track, ch, 48000, {16384});
  EXPECT_NEAR(track.Range(), 10.0, 0.5);
  EXPECT_NEAR(*track.MaxMomentary(), -20.0, 0.1);
}

TEST(LoudnessTest, MomentaryIsReadEvery100MsFromTheFirstFullWindow) {
  LoudnessTrack track;
  // Pieces that never line up with the 4800-frame steps.
  Measure(track, SineChannels(2, 1.05, 48000, 0.1), 48000, {1, 4799, 333, 10000});
  EXPECT_EQ(track.StepFrames(), 4800);
  EXPECT_EQ(track.Frames(), 50400);
  EXPECT_EQ(track.Momentary().size(), 7u);  // windows ending at 0.4, 0.5, ..., 1.0 s
  LoudnessTrack odd;
  Measure(odd, SineChannels(1, 1.0, 11025, 0.1), 11025, {512});
  EXPECT_EQ(odd.StepFrames(), 1103);
}

TEST(LoudnessTest, SilenceHasNoLoudness) {
  LoudnessTrack track;
  Measure(track, Channels(2, std::vector<double>(48000 * 2, 0.0)), 48000, {512});
  EXPECT_FALSE(track.Integrated());
  EXPECT_FALSE(track.MaxMomentary());
  EXPECT_EQ(track.Range(), 0.0);
}

TEST(LoudnessTest, ShorterThanOneWindowGivesNoMomentary) {
  LoudnessTrack track;
  Measure(track, SineChannels(2, 0.3, 48000, 0.5), 48000, {512});
  EXPECT_TRUE(track.Momentary().empty());
  EXPECT_FALSE(track.MaxMomentary());
}

TEST(LoudnessTest, LargestReductionComparesStepsAboveTheGate) {
  const double inf = std::numeric_limits<double>::infinity();
  // Step k ends at (k + 4) * 4800 frames.
  const std::vector<double> in = {-10.0, -8.0, -75.0, -12.0, -5.0, -20.0};
  const std::vector<double> out = {-12.0, -14.0, -90.0, -13.0, -inf, -19.0};
  GainReduction r = LargestReduction(in, out, 4800, 48000.0);
  ASSERT_TRUE(r.db);
  EXPECT_DOUBLE_EQ(*r.db, 6.0);
  EXPECT_DOUBLE_EQ(r.atSeconds, 0.5);
  // A louder result is no reduction.
  r = LargestReduction({-20.0}, {-18.0}, 4800, 48000.0);
  ASSERT_TRUE(r.db);
  EXPECT_EQ(*r.db, 0.0);
  // Nothing above the gate: nothing to compare.
  EXPECT_FALSE(LargestReduction({-80.0, -inf}, {-80.0, -inf}, 4800, 48000.0).db);
  EXPECT_FALSE(LargestReduction({}, {}, 4800, 48000.0).db);
}

}  // namespace
