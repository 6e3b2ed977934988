// The limiter measured from outside: its output loudness, read by
// libebur128, holds the "Spotify: -14 LUFS" limit.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/PlugFixture.h"
#include "tools/Signals.h"

using quarvtest::OpenPlug;

namespace {

double IntegratedLufs(const quarv::StereoBuffer& x) {
  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(x.sampleRate), EBUR128_MODE_I);
  std::vector<double> inter(x.Frames() * 2);
  for (size_t i = 0; i < x.Frames(); ++i) {
    inter[2 * i] = x.left[i];
    inter[2 * i + 1] = x.right[i];
  }
  ebur128_add_frames_double(st, inter.data(), x.Frames());
  double l = 0;
  ebur128_loudness_global(st, &l);
  ebur128_destroy(&st);
  return l;
}

// Pink noise scaled to a measured loudness.
quarv::StereoBuffer NoiseAt(double lufs, double seconds, double rate, uint32_t seed) {
  quarv::StereoBuffer x = quarv::PinkNoise(-20, seconds, rate, seed);
  quarv::Scale(x, std::pow(10.0, (lufs - IntegratedLufs(x)) / 20.0));
  return x;
}

// Momentary loudness of the output every 100 ms, from 0.1 s on.
std::vector<double> MomentaryTrack(const std::vector<double>& l, const std::vector<double>& r, double rate) {
  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_M);
  const size_t hop = static_cast<size_t>(rate / 10);
  std::vector<double> track, inter(hop * 2);
  for (size_t i = 0; i + hop <= l.size(); i += hop) {
    for (size_t k = 0; k < hop; ++k) {
      inter[2 * k] = l[i + k];
      inter[2 * k + 1] = r[i + k];
    }
    ebur128_add_frames_double(st, inter.data(), hop);
    double m = 0;
    ebur128_loudness_momentary(st, &m);
    track.push_back(m);
  }
  ebur128_destroy(&st);
  return track;
}

OpenPlug SpotifyPlug(double rate) {
  OpenPlug p(rate);
  EXPECT_TRUE(p->RecallPreset(1));
  EXPECT_STREQ(p->GetPresetName(1), "Spotify: -14 LUFS");
  return p;
}

TEST(LimiterReference, SteadySignalSixLuOverIsHeldAtTheLimit) {
  for (double rate : {44100.0, 48000.0}) {
    OpenPlug p = SpotifyPlug(rate);
    const quarv::StereoBuffer x = NoiseAt(-8.0, 8.0, rate, 3);
    std::vector<double> oL, oR;
    p.Run(x.left, x.right, oL, oR);
    const std::vector<double> m = MomentaryTrack(oL, oR, rate);
    for (size_t i = 10; i < m.size(); ++i) EXPECT_NEAR(m[i], -14.0, 0.5) << "at " << (i + 1) * 0.1 << " s, " << rate;
  }
}

TEST(LimiterReference, RecoversWithinOneSecondOfATenLuStep) {
  const double rate = 48000.0;
  OpenPlug p = SpotifyPlug(rate);
  quarv::StereoBuffer x = NoiseAt(-8.0, 10.0, rate, 5);
  const size_t step = static_cast<size_t>(5 * rate);
  const double up = std::pow(10.0, 10.0 / 20.0);
  for (size_t i = step; i < x.Frames(); ++i) {
    x.left[i] *= up;
    x.right[i] *= up;
  }
  std::vector<double> oL, oR;
  p.Run(x.left, x.right, oL, oR);
  const std::vector<double> m = MomentaryTrack(oL, oR, rate);
  // Track entry i covers the output up to (i + 1) * 100 ms.
  for (size_t i = 10; i < m.size(); ++i) {
    const double t = (i + 1) * 0.1;
    if (t > 5.0 && t < 6.0) continue;
    EXPECT_NEAR(m[i], -14.0, 0.5) << "at " << t << " s";
  }
}

TEST(LimiterReference, QuietSignalPassesUntouched) {
  OpenPlug p = SpotifyPlug(48000.0);
  const quarv::StereoBuffer x = NoiseAt(-24.0, 10.0, 48000.0, 7);
  std::vector<double> oL, oR;
  p.Run(x.left, x.right, oL, oR);
  EXPECT_EQ(oL, x.left);
  EXPECT_EQ(oR, x.right);
  EXPECT_EQ(p->mMinGain, 1.0);
}

}  // namespace
