// The meter against an independent implementation (libebur128) on steady
// signals at 44.1 and 48 kHz.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/PlugFixture.h"
#include "tools/Signals.h"

using quarvtest::OpenPlug;

namespace {

struct Reading {
  double oursMomentary, oursIntegrated, refMomentary, refIntegrated;
};

Reading Measure(const quarv::StereoBuffer& x) {
  OpenPlug p(x.sampleRate);
  p->SetParameterPlain(kOutLimit, 0.0);  // meter only
  std::vector<double> oL, oR;
  p.Run(x.left, x.right, oL, oR, 512);

  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(x.sampleRate), EBUR128_MODE_M | EBUR128_MODE_I);
  std::vector<double> inter(x.Frames() * 2);
  for (size_t i = 0; i < x.Frames(); ++i) {
    inter[2 * i] = x.left[i];
    inter[2 * i + 1] = x.right[i];
  }
  ebur128_add_frames_double(st, inter.data(), x.Frames());
  Reading r{};
  ebur128_loudness_momentary(st, &r.refMomentary);
  ebur128_loudness_global(st, &r.refIntegrated);
  ebur128_destroy(&st);
  r.oursMomentary = p->mMeter.Momentary();
  r.oursIntegrated = 10.0 * std::log10(p->mMeter.IntegratedEnergy()) - 0.691;
  return r;
}

class ReferenceMeter : public ::testing::TestWithParam<double> {};

TEST_P(ReferenceMeter, SteadySignalsAgreeWithLibebur128) {
  const double rate = GetParam();
  struct Signal {
    std::string name;
    quarv::StereoBuffer x;
  };
  std::vector<Signal> signals;
  signals.push_back({"sine 1 kHz -23 dBFS", quarv::Sine(1000, -23, 30, rate)});
  signals.push_back({"pink noise", quarv::PinkNoise(-20, 30, rate)});
  quarv::StereoBuffer mix = quarv::Sine(100, -20, 30, rate);
  quarv::MixInto(mix, quarv::Sine(5000, -26, 30, rate));
  signals.push_back({"100 Hz + 5 kHz", mix});
  for (const Signal& s : signals) {
    SCOPED_TRACE(s.name);
    const Reading r = Measure(s.x);
    std::printf("%-20s %6.0f Hz  momentary %8.3f (ref %8.3f)  integrated %8.3f (ref %8.3f)\n", s.name.c_str(),
                rate, r.oursMomentary, r.refMomentary, r.oursIntegrated, r.refIntegrated);
    EXPECT_NEAR(r.oursMomentary, r.refMomentary, 0.25);
    EXPECT_NEAR(r.oursIntegrated, r.refIntegrated, 0.1);
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, ReferenceMeter, ::testing::Values(44100.0, 48000.0));

}  // namespace
