// The true peak of one or two channels: the largest magnitude of the signal
// oversampled by a 49-tap windowed-sinc interpolator (4 times below 96 kHz,
// twice below 192 kHz, not at all from there on), with the arithmetic of
// libebur128's true-peak mode so the figures are the same to the last bit:
// samples rounded to float, every product and sum in double tap by tap in
// the same order, every interpolated value rounded to float, all with
// flush-to-zero. What differs is the order of the work: each tap runs over
// a whole block of frames, which the compiler turns into vector code, where
// libebur128 interpolates frame by frame through a circular delay line.
//
// Like libebur128 this is the peak of the interpolated values only; the
// reported true peak is the larger of it and the sample peak.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarv::render {

class TruePeakMeter {
public:
  // Sets up 1 or 2 channels at sampleRate; allocates.
  void Start(int channels, double sampleRate);
  // frames frames of every channel (planar[c][0..frames)); never allocates.
  void Add(const double* const* planar, int64_t frames);
  // The largest interpolated magnitude of channel c so far (linear, 0 when
  // there is none or the rate is not oversampled).
  double Peak(int channel) const { return mPeak[static_cast<size_t>(channel)]; }
  // Interpolated values per input frame: 4, 2, or 0 when not oversampled.
  int Factor() const { return mFactor; }

private:
  struct Tap {
    double coeff;
    int lag;  // frames back from the newest
  };
  void AddBlock(int channel, const double* x, int frames);

  static constexpr int kTaps = 49;
  static constexpr int kBlock = 1024;
  int mChannels = 0;
  int mFactor = 0;
  int mHistory = 0;                          // frames kept from the previous block
  std::vector<std::vector<Tap>> mPhases;     // one list of taps per output phase
  std::array<std::vector<double>, 2> mLine;  // history then the block, float values
  std::array<double, 2> mPeak{};
};

}  // namespace quarv::render
