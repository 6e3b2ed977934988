// The two modules are one engine: the same material, preset and transport
// rendered through the VST 3 bundle and through the VST 2.4 module give the
// same samples, in 64 bits against the double entry and in 32 bits against
// the single-precision entry.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/Signals.h"
#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

using quarv::host::Vst2Plugin;
using quarv::host::Vst3Plugin;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

struct Stereo {
  std::vector<double> l, r;
};

// Material rounded to single precision, so every path starts from the same
// numbers.
Stereo Material(double seconds) {
  const quarv::StereoBuffer demo = quarv::DemoMusic(seconds, kRate);
  Stereo s{demo.left, demo.right};
  for (size_t i = 0; i < s.l.size(); ++i) {
    s.l[i] = static_cast<float>(s.l[i] * 1.4);
    s.r[i] = static_cast<float>(s.r[i] * 1.4);
  }
  return s;
}

// The transport of a session: play, stop for a while, locate back and play
// again. Called before each block with the block's index.
template <typename Host>
void Drive(Host& host, size_t block) {
  const size_t second = static_cast<size_t>(kRate) / kBlock;
  if (block == 6 * second) host.transport.playing = false;
  if (block == 7 * second) {
    host.transport.playing = true;
    host.transport.samplePos = 0;
  }
}

// T float or double; process(in, out, n) runs one block.
template <typename T, typename Host, typename ProcessFn>
Stereo Render(Host& host, const Stereo& x, ProcessFn process) {
  std::vector<T> inL(x.l.begin(), x.l.end()), inR(x.r.begin(), x.r.end());
  std::vector<T> outL(x.l.size()), outR(x.l.size());
  size_t block = 0;
  for (size_t i = 0; i < x.l.size(); i += kBlock, ++block) {
    Drive(host, block);
    const int n = static_cast<int>(std::min<size_t>(kBlock, x.l.size() - i));
    T* in[2] = {inL.data() + i, inR.data() + i};
    T* out[2] = {outL.data() + i, outR.data() + i};
    process(in, out, n);
  }
  return Stereo{std::vector<double>(outL.begin(), outL.end()), std::vector<double>(outR.begin(), outR.end())};
}

std::unique_ptr<Vst2Plugin> OpenVst2(int preset) {
  std::string error;
  auto p = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  EXPECT_TRUE(p) << error;
  p->Open(kRate, kBlock);
  p->SetProgram(preset);
  return p;
}

std::unique_ptr<Vst3Plugin> OpenVst3(int preset, bool dbl) {
  std::string error;
  auto p = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
  EXPECT_TRUE(p) << error;
  EXPECT_TRUE(p->Configure(kRate, kBlock, dbl, 2, &error)) << error;
  EXPECT_TRUE(p->RecallProgram(preset));
  return p;
}

size_t CountDifferent(const Stereo& a, const Stereo& b) {
  size_t n = 0;
  for (size_t i = 0; i < a.l.size(); ++i) n += (a.l[i] != b.l[i]) + (a.r[i] != b.r[i]);
  return n;
}

double LargestChange(const Stereo& in, const Stereo& out) {
  double d = 0.0;
  for (size_t i = 0; i < in.l.size(); ++i) d = std::max(d, std::fabs(in.l[i] - out.l[i]));
  return d;
}

class Parity : public ::testing::TestWithParam<int> {};

TEST_P(Parity, SameSamplesThroughBothModules) {
  const int preset = GetParam();
  const Stereo x = Material(10.0);

  auto v2d = OpenVst2(preset);
  auto v2f = OpenVst2(preset);
  auto v3d = OpenVst3(preset, true);
  auto v3f = OpenVst3(preset, false);
  ASSERT_EQ(v3d->ProgramName(preset), v2d->ProgramName(preset));

  const Stereo vst2Double = Render<double>(*v2d, x, [&](double** in, double** out, int n) { v2d->ProcessDouble(in, out, n); });
  const Stereo vst2Single =
      Render<float>(*v2f, x, [&](float** in, float** out, int n) { v2f->ProcessReplacing(in, out, n); });
  const Stereo vst3Double = Render<double>(*v3d, x, [&](double** in, double** out, int n) { v3d->Process(in, out, n); });
  const Stereo vst3Single = Render<float>(*v3f, x, [&](float** in, float** out, int n) { v3f->Process(in, out, n); });

  EXPECT_EQ(CountDifferent(vst3Double, vst2Double), 0u);
  EXPECT_EQ(CountDifferent(vst3Single, vst2Single), 0u);
  // The 32-bit paths are the 64-bit ones with their output rounded.
  Stereo rounded = vst3Double;
  for (size_t i = 0; i < rounded.l.size(); ++i) {
    rounded.l[i] = static_cast<float>(rounded.l[i]);
    rounded.r[i] = static_cast<float>(rounded.r[i]);
  }
  EXPECT_EQ(CountDifferent(vst3Single, rounded), 0u);
  // The limiting presets did something worth comparing (the metering one
  // passes the material).
  if (preset != 20) {
    EXPECT_GT(LargestChange(x, vst3Double), 0.01);
  }
}

// Streaming with reset on play, mastering with look-ahead, keeping data at
// play start, and metering without play.
INSTANTIATE_TEST_SUITE_P(Presets, Parity, ::testing::Values(1, 9, 18, 20));

}  // namespace
