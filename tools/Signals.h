// Deterministic test and demo signals: sines, pink noise and a minute of
// music-like material with loud and quiet passages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarv {

struct StereoBuffer {
  double sampleRate = 48000.0;
  std::vector<double> left, right;

  size_t Frames() const { return left.size(); }
  void Resize(size_t frames) {
    left.assign(frames, 0.0);
    right.assign(frames, 0.0);
  }
};

double DbToGain(double db);

// A sine of the given peak level in dBFS, the same on both channels.
StereoBuffer Sine(double freqHz, double peakDbfs, double seconds, double sampleRate);
// Pink noise (Voss-McCartney) at the given RMS level in dBFS, independent per
// channel.
StereoBuffer PinkNoise(double rmsDbfs, double seconds, double sampleRate, uint32_t seed = 1);
// Adds b into a, frame by frame (a keeps its length).
void MixInto(StereoBuffer& a, const StereoBuffer& b);
// Scales both channels.
void Scale(StereoBuffer& a, double gain);
// Chords, a bass line and hats in 8-second sections that alternate between
// loud and quiet, the way a mastered track breathes.
StereoBuffer DemoMusic(double seconds, double sampleRate);

}  // namespace quarv
