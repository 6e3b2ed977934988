// The true-peak meter against libebur128's own true-peak mode: the same
// figure to the last bit at every oversampling factor, for any split of the
// stream, and for the signals where rounding and special values decide.
#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "tests/tools/HostTestSupport.h"
#include "tools/TruePeak.h"

using namespace quarv::render;
using namespace quarv::test;

namespace {

// Frames at rate of a few kinds, 1 or 2 channels.
Channels Signal(const std::string& kind, int channels, int frames, std::mt19937& rng) {
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  Channels ch(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
  for (int c = 0; c < channels; ++c) {
    for (int i = 0; i < frames; ++i) {
      double& v = ch[static_cast<size_t>(c)][static_cast<size_t>(i)];
      if (kind == "noise") {
        v = noise(rng);
      } else if (kind == "overs") {  // far beyond full scale, as a float result may be
        v = 4.0 * noise(rng);
      } else if (kind == "quarter-rate") {  // starts abruptly: the filter rings
        v = (i % 4 < 2 ? 1.0 : -1.0) * (c ? 0.5 : 1.0);
      } else if (kind == "tiny") {  // around and below float's normal range
        v = noise(rng) * std::ldexp(1.0, -120 - (i % 40));
      } else {  // "special": music-like with NaN and infinities in it
        v = 0.3 * std::sin(0.01 * i) + 0.2 * noise(rng);
        if (i == frames / 3) v = std::numeric_limits<double>::quiet_NaN();
        if (kind == "special-inf" && i == frames / 2) v = c ? -HUGE_VAL : HUGE_VAL;
      }
    }
  }
  return ch;
}

// libebur128's true peak of each channel, fed interleaved in one go.
std::vector<double> LibraryTruePeaks(const Channels& ch, int rate) {
  const size_t channels = ch.size(), frames = ch[0].size();
  std::vector<double> interleaved(channels * frames);
  for (size_t i = 0; i < frames; ++i) {
    for (size_t c = 0; c < channels; ++c) interleaved[i * channels + c] = ch[c][i];
  }
  ebur128_state* st = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                                   EBUR128_MODE_TRUE_PEAK);
  EXPECT_NE(st, nullptr);
  std::vector<double> peaks(channels, -1.0);
  if (!st) return peaks;
  ebur128_add_frames_double(st, interleaved.data(), frames);
  for (size_t c = 0; c < channels; ++c) ebur128_true_peak(st, static_cast<unsigned>(c), &peaks[c]);
  ebur128_destroy(&st);
  return peaks;
}

// The meter's true peak of each channel (with the sample peak under it, as
// libebur128 reports it), fed in pieces of the given sizes round and round.
std::vector<double> MeterTruePeaks(const Channels& ch, int rate, const std::vector<int>& pieces) {
  TruePeakMeter meter;
  meter.Start(static_cast<int>(ch.size()), rate);
  const int64_t frames = static_cast<int64_t>(ch[0].size());
  size_t k = 0;
  for (int64_t at = 0; at < frames;) {
    const int64_t n = std::min<int64_t>(frames - at, pieces[k++ % pieces.size()]);
    const double* planar[2] = {ch.front().data() + at, ch.back().data() + at};
    meter.Add(planar, n);
    at += n;
  }
  std::vector<double> peaks;
  for (size_t c = 0; c < ch.size(); ++c) {
    double sample = 0.0;
    for (double v : ch[c]) sample = std::max(sample, std::fabs(v));
    peaks.push_back(std::max(meter.Peak(static_cast<int>(c)), sample));
  }
  return peaks;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(TruePeakTest, GivesLibebur128sTruePeakBitForBit) {
  std::mt19937 rng(20261208);
  // Below 96 kHz four times, below 192 kHz twice, from there on not at all.
  for (int rate : {8000, 44100, 48000, 95999, 96000, 176400, 192000, 384000}) {
    for (int channels : {1, 2}) {
      for (const char* kind : {"noise", "overs", "quarter-rate", "tiny", "special", "special-inf"}) {
        const Channels ch = Signal(kind, channels, 3001, rng);
        const std::vector<double> expected = LibraryTruePeaks(ch, rate);
        // Whole blocks, single frames and pieces shorter than the filter.
        for (const std::vector<int>& pieces : std::vector<std::vector<int>>{{4096}, {1, 7, 1030, 5, 333}}) {
          const std::vector<double> got = MeterTruePeaks(ch, rate, pieces);
          for (size_t c = 0; c < ch.size(); ++c) {
            EXPECT_TRUE(SameBits(got[c], expected[c]))
                << kind << " at " << rate << " Hz, channel " << c << " of " << channels << ", pieces from "
                << pieces[0] << ": " << got[c] << " against libebur128's " << expected[c];
          }
        }
      }
    }
  }
}

TEST(TruePeakTest, OversamplingFactorFollowsTheRateAndTheSignalBetweenSamplesCounts) {
  // A quarter-rate sine at 45 degrees: samples at +-0.5, the waveform between
  // them at 0.5 * sqrt(2); with nothing interpolated the peak stays 0.
  std::mt19937 rng(1);
  Channels ch = Signal("quarter-rate", 1, 4000, rng);
  for (double& v : ch[0]) v *= 0.5;
  for (int rate : {48000, 96000, 192000}) {
    TruePeakMeter meter;
    meter.Start(1, rate);
    const double* planar[1] = {ch[0].data()};
    meter.Add(planar, static_cast<int64_t>(ch[0].size()));
    if (rate < 192000) {
      EXPECT_NEAR(meter.Peak(0), 0.5 * std::sqrt(2.0), 0.03) << rate;
    } else {
      EXPECT_EQ(meter.Factor(), 0);
      EXPECT_EQ(meter.Peak(0), 0.0);
    }
  }
}

#if defined(__SSE2__)
TEST(TruePeakTest, LeavesTheCallersFloatingPointModeAsItWas) {
  const unsigned before = _mm_getcsr();
  TruePeakMeter meter;
  meter.Start(2, 48000);
  std::vector<double> x(1000, 1e-40);
  const double* planar[2] = {x.data(), x.data()};
  meter.Add(planar, 1000);
  EXPECT_EQ(_mm_getcsr() & ~0x3Fu, before & ~0x3Fu);  // the exception flags aside
  // Below float's normal range a value rounds to zero, as libebur128's does.
  EXPECT_EQ(meter.Peak(0), 0.0);
}
#endif
