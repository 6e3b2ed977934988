#include "tools/Signals.h"

#include <algorithm>
#include <cmath>

namespace quarv {
namespace {

// Small, fast and deterministic on every platform.
struct Rng {
  uint32_t s;
  explicit Rng(uint32_t seed) : s(seed ? seed : 0x9e3779b9u) {}
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  double Uniform() { return (Next() >> 8) * (1.0 / 16777216.0) * 2.0 - 1.0; }
};

double PinkSample(Rng& rng, double* rows, int& counter) {
  // Voss-McCartney: row k is renewed every 2^k samples.
  ++counter;
  int k = 0;
  while (k < 15 && !(counter & (1 << k))) ++k;
  rows[k] = rng.Uniform();
  double sum = 0.0;
  for (int i = 0; i < 16; ++i) sum += rows[i];
  return sum + rng.Uniform();
}

}  // namespace

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

StereoBuffer Sine(double freqHz, double peakDbfs, double seconds, double sampleRate) {
  StereoBuffer b;
  b.sampleRate = sampleRate;
  b.Resize(static_cast<size_t>(std::llround(seconds * sampleRate)));
  const double g = DbToGain(peakDbfs), w = 2.0 * M_PI * freqHz / sampleRate;
  for (size_t i = 0; i < b.Frames(); ++i) b.left[i] = b.right[i] = g * std::sin(w * static_cast<double>(i));
  return b;
}

StereoBuffer PinkNoise(double rmsDbfs, double seconds, double sampleRate, uint32_t seed) {
  StereoBuffer b;
  b.sampleRate = sampleRate;
  b.Resize(static_cast<size_t>(std::llround(seconds * sampleRate)));
  for (int ch = 0; ch < 2; ++ch) {
    Rng rng(seed * 2654435761u + static_cast<uint32_t>(ch) * 40503u + 1u);
    double rows[16] = {};
    int counter = 0;
    std::vector<double>& x = ch == 0 ? b.left : b.right;
    double sumSq = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
      x[i] = PinkSample(rng, rows, counter);
      sumSq += x[i] * x[i];
    }
    const double rms = std::sqrt(sumSq / static_cast<double>(std::max<size_t>(x.size(), 1)));
    const double g = rms > 0.0 ? DbToGain(rmsDbfs) / rms : 0.0;
    for (double& v : x) v *= g;
  }
  return b;
}

void MixInto(StereoBuffer& a, const StereoBuffer& b) {
  const size_t n = std::min(a.Frames(), b.Frames());
  for (size_t i = 0; i < n; ++i) {
    a.left[i] += b.left[i];
    a.right[i] += b.right[i];
  }
}

void Scale(StereoBuffer& a, double gain) {
  for (double& v : a.left) v *= gain;
  for (double& v : a.right) v *= gain;
}

StereoBuffer DemoMusic(double seconds, double sampleRate) {
  StereoBuffer b;
  b.sampleRate = sampleRate;
  b.Resize(static_cast<size_t>(std::llround(seconds * sampleRate)));
  Rng rng(20261207u);
  const double bpm = 112.0;
  const double beat = 60.0 / bpm;
  // A minor progression: Am, F, C, G (root frequencies of the chords).
  static const double kRoots[4] = {220.0, 174.61, 261.63, 196.0};
  static const double kThirds[4] = {1.18921, 1.25992, 1.25992, 1.25992};
  double lpHat = 0.0;
  for (size_t i = 0; i < b.Frames(); ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const int section = static_cast<int>(t / 8.0);
    // Loud and quiet sections, with a swell in between.
    const double level = (section % 3 == 2) ? 0.08 : (section % 2 == 0 ? 0.35 : 0.6);
    const int bar = static_cast<int>(t / (4.0 * beat));
    const int chord = bar % 4;
    const double root = kRoots[chord];
    const double beatPos = std::fmod(t, beat) / beat;
    const double pluck = std::exp(-3.0 * beatPos);
    double pad = 0.0;
    for (double ratio : {1.0, kThirds[chord], 1.49831, 2.0}) {
      const double f = root * ratio;
      pad += std::sin(2.0 * M_PI * f * t) + 0.3 * std::sin(4.0 * M_PI * f * t);
    }
    pad *= 0.12 * (0.6 + 0.4 * pluck);
    const double bassF = root * 0.25;
    const double bass = 0.5 * std::sin(2.0 * M_PI * bassF * t) * std::exp(-2.0 * std::fmod(t, beat * 2.0));
    const double eighth = std::fmod(t, beat * 0.5) / (beat * 0.5);
    const double noise = rng.Uniform();
    lpHat = noise - lpHat * 0.3;
    const double hat = 0.15 * noise * std::exp(-30.0 * eighth);
    const double kickEnv = std::exp(-18.0 * beatPos);
    const double kick = 0.8 * kickEnv * std::sin(2.0 * M_PI * (50.0 + 90.0 * kickEnv) * std::fmod(t, beat));
    const double pan = 0.5 + 0.3 * std::sin(2.0 * M_PI * 0.05 * t);
    // A gentle saturation keeps the loud sections' peaks under full scale,
    // the way a mastered track sits against 0 dBFS.
    b.left[i] = 0.95 * std::tanh(2.2 * level * (pad * (1.0 - pan) * 1.4 + bass + kick + hat * 0.8));
    b.right[i] = 0.95 * std::tanh(2.2 * level * (pad * pan * 1.4 + bass + kick + hat * 1.2));
  }
  return b;
}

}  // namespace quarv
