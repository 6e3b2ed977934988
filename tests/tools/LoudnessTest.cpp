// The report's measuring: a track against the reference levels of the
// loudness standard's test signals, its 100-ms steps, and the comparison of
// input and result.
#include <gtest/gtest.h>

#include <ebur128.h>

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

// A sine at a quarter of the rate with phase 45 degrees puts its samples at
// +-sin(45) of its amplitude, in the pattern +, +, -, -: with an amplitude of
// sqrt(2) they are exactly +-1 (full scale) while the waveform between them
// peaks 3.01 dB above. It fades in over 10 ms: an abrupt start would ring
// the oversampling filter to 3.11 dB.
TEST(LoudnessTest, QuarterRateSineAt45DegreesReachesFullScaleWithThreeDbOfTruePeak) {
  const int rate = 48000, fade = 480;
  Channels ch(2, std::vector<double>(static_cast<size_t>(rate)));
  for (size_t i = 0; i < ch[0].size(); ++i) {
    ch[0][i] = ch[1][i] = (i % 4 < 2 ? 1.0 : -1.0) * std::min(1.0, static_cast<double>(i) / fade);
    if (i >= fade) {
      EXPECT_NEAR(ch[0][i], std::sqrt(2.0) * std::sin(M_PI / 2.0 * static_cast<double>(i) + M_PI / 4.0), 1e-9);
    }
  }
  LoudnessTrack track;
  Measure(track, ch, rate, {4096});
  ASSERT_TRUE(track.SamplePeakDb());
  EXPECT_EQ(*track.SamplePeakDb(), 0.0);
  ASSERT_TRUE(track.TruePeakDb());
  // The interpolator passes a quarter of the rate 0.03 dB low.
  EXPECT_NEAR(*track.TruePeakDb(), 20.0 * std::log10(std::sqrt(2.0)), 0.05);
  // A sine far below the Nyquist frequency peaks where its samples do.
  LoudnessTrack slow;
  Measure(slow, SineChannels(2, 1.0, rate, 0.5, 997.0), rate, {4096});
  EXPECT_NEAR(*slow.SamplePeakDb(), 20.0 * std::log10(0.5), 0.01);
  EXPECT_NEAR(*slow.TruePeakDb(), *slow.SamplePeakDb(), 0.05);
}

TEST(LoudnessTest, SilenceHasNoPeaks) {
  LoudnessTrack track;
  Measure(track, Channels(2, std::vector<double>(4800, 0.0)), 48000, {512});
  EXPECT_FALSE(track.SamplePeakDb());
  EXPECT_FALSE(track.TruePeakDb());
}

// What a 16-bit file holds ends at 32767 / 32768 and -1: one step beyond
// either end is clipped, the ends themselves are not.
TEST(LoudnessTest, ClippedSamplesAreCountedExactlyWithTheFirstOne) {
  const double high = 32767.0 / 32768.0;
  Channels ch(2, std::vector<double>(20000, 0.0));
  ch[0][100] = high;                               // holds
  ch[1][200] = -1.0;                               // holds
  ch[0][300] = std::nan("");                       // no number, no clip
  ch[1][4799] = std::nextafter(high, 2.0);         // clipped, the first
  ch[0][4800] = ch[1][4800] = 1.5;                 // two, across a step boundary
  ch[0][9000] = std::nextafter(-1.0, -2.0);        // clipped
  ch[1][19999] = -3.0;                             // clipped, the last frame
  LoudnessTrack track;
  track.CountClipsAbove(high);
  Measure(track, ch, 48000, {333, 4096, 1});
  EXPECT_EQ(track.ClippedSamples(), 5);
  EXPECT_EQ(track.FirstClippedFrame(), 4799);
  EXPECT_EQ(track.FirstClippedChannel(), 1);
  // Left before right at the same frame.
  Channels both(2, std::vector<double>(1000, 0.0));
  both[0][500] = both[1][500] = -1.01;
  LoudnessTrack pair;
  pair.CountClipsAbove(high);
  Measure(pair, both, 48000, {1000});
  EXPECT_EQ(pair.FirstClippedFrame(), 500);
  EXPECT_EQ(pair.FirstClippedChannel(), 0);
  // Nothing is counted unless asked.
  LoudnessTrack uncounted;
  Measure(uncounted, ch, 48000, {4096});
  EXPECT_EQ(uncounted.ClippedSamples(), 0);
  EXPECT_EQ(uncounted.FirstClippedFrame(), -1);
}

TEST(LoudnessTest, StepEnergyCoversEveryStepFromTheFirstFrame) {
  Channels ch(2, std::vector<double>(4800 * 2 + 100, 0.5));
  std::fill(ch[1].begin(), ch[1].end(), -0.25);
  LoudnessTrack track;
  Measure(track, ch, 48000, {1000, 77});
  ASSERT_EQ(track.StepEnergy().size(), 3u);
  EXPECT_DOUBLE_EQ(track.StepEnergy()[0], 4800 * (0.25 + 0.0625));
  EXPECT_DOUBLE_EQ(track.StepEnergy()[1], 4800 * (0.25 + 0.0625));
  EXPECT_DOUBLE_EQ(track.StepEnergy()[2], 100 * (0.25 + 0.0625));  // the short last step
}

TEST(LoudnessTest, StepReductionComparesTheResultWithTheGainedInput) {
  const double inf = std::numeric_limits<double>::infinity();
  const int step = 4800, channels = 2;
  const double floor = std::pow(10.0, -7.0) * step * channels;  // -70 dB mean square
  // 10 dB quieter; the same after a 6 dB input gain that the result also
  // got; louder (no reduction); silent input; silent result.
  const std::vector<double> in = {1.0, 1.0, 1.0, 0.5 * floor, 1.0};
  const std::vector<double> out = {0.1, 1.0 * std::pow(10.0, 0.6) / 10.0, 2.0, 0.0, 0.0};
  const std::vector<double> gains = {1.0, std::pow(10.0, 0.3), 1.0, 1.0, 1.0};
  for (size_t k = 0; k < in.size(); ++k) {
    const std::vector<double> db = StepReductionDb({in[k]}, {out[k]}, gains[k], step, channels);
    ASSERT_EQ(db.size(), 1u);
    switch (k) {
      case 0:
      case 1:
        EXPECT_NEAR(db[0], 10.0, 1e-9) << k;
        break;
      case 2:
        EXPECT_EQ(db[0], 0.0);
        break;
      case 3:
        EXPECT_TRUE(std::isnan(db[0]));
        break;
      default:
        EXPECT_EQ(db[0], inf);
    }
  }
  // The shorter of the two decides the length.
  EXPECT_EQ(StepReductionDb({1.0, 1.0}, {1.0}, 1.0, step, channels).size(), 1u);
}

}  // namespace

// The track reads its true peak from its own meter and the rest from
// libebur128 without its true-peak mode: every figure is what libebur128
// gives with it, mono and stereo, in uneven pieces.
TEST(LoudnessTest, FiguresAreLibebur128sWithItsTruePeakMode) {
  for (int channels : {1, 2}) {
    Channels ch = SineChannels(channels, 3.0, 44100, 0.9, 11025.0 * 0.93);
    for (size_t i = 0; i < ch.back().size(); i += 7) ch.back()[i] *= -1.2;
    LoudnessTrack track;
    Measure(track, ch, 44100, {333, 4096, 1});

    std::vector<double> interleaved;
    for (size_t i = 0; i < ch[0].size(); ++i) {
      for (const auto& c : ch) interleaved.push_back(c[i]);
    }
    ebur128_state* st = ebur128_init(static_cast<unsigned>(channels), 44100,
                                     EBUR128_MODE_M | EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    ASSERT_NE(st, nullptr);
    ebur128_add_frames_double(st, interleaved.data(), ch[0].size());
    double integrated = 0.0, range = 0.0, truePeak = 0.0, samplePeak = 0.0;
    ebur128_loudness_global(st, &integrated);
    ebur128_loudness_range(st, &range);
    for (int c = 0; c < channels; ++c) {
      double v = 0.0;
      ebur128_true_peak(st, static_cast<unsigned>(c), &v);
      truePeak = std::max(truePeak, v);
      ebur128_sample_peak(st, static_cast<unsigned>(c), &v);
      samplePeak = std::max(samplePeak, v);
    }
    ebur128_destroy(&st);
    ASSERT_TRUE(track.Integrated() && track.TruePeakDb() && track.SamplePeakDb());
    EXPECT_EQ(*track.Integrated(), integrated) << channels;
    EXPECT_EQ(track.Range(), range) << channels;
    EXPECT_EQ(*track.TruePeakDb(), 20.0 * std::log10(truePeak)) << channels;
    EXPECT_EQ(*track.SamplePeakDb(), 20.0 * std::log10(samplePeak)) << channels;
    EXPECT_GT(truePeak, samplePeak) << channels;  // the sine peaks between its samples
  }
}
