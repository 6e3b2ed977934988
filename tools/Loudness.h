// Loudness of the host's input and result, measured with libebur128 beside
// the plug-in and independently of it: integrated loudness, the momentary
// loudness at every 100-ms step (hence its maximum), the loudness range, the
// sample and true peaks, and the largest drop from input to result at the
// same step. Beside them each track keeps the plain energy of every 100-ms
// step (from which the host derives the plug-in's gain reduction) and counts
// the samples a PCM file cannot hold.
//
// A LoudnessTrack measures one stream on its own thread so the measuring
// runs beside the processing: Add copies the frames into one of a few
// buffers and returns; it waits only while all of them are still queued.
#pragma once

#include <ebur128.h>

#include "tools/TruePeak.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarv::render {

// Momentary loudness below this is not compared (the absolute gate).
constexpr double kComparisonFloorLufs = -70.0;

class LoudnessTrack {
public:
  LoudnessTrack() = default;
  ~LoudnessTrack();
  LoudnessTrack(const LoudnessTrack&) = delete;
  LoudnessTrack& operator=(const LoudnessTrack&) = delete;

  // Counts the samples above highest or below -1 (what a PCM file clips);
  // call before Start. Without it nothing is counted.
  void CountClipsAbove(double highest) { mClipHigh = highest; }
  // Sets up the meter for 1 or 2 channels; chunkFrames is the size of the
  // pieces Add measures at a time (longer adds are split). Allocates.
  bool Start(int channels, int sampleRate, int64_t chunkFrames, std::string* error);
  // Measures frames [offset, offset + frames) of one vector per channel.
  void Add(const std::vector<std::vector<double>>& channels, int64_t offset, int64_t frames);
  // Ends the measuring; the results below are valid from then on.
  void Finish();

  // Frames per 100-ms step, as libebur128 counts them.
  int StepFrames() const { return mStep; }
  // Momentary loudness (LUFS, -inf for silence) at the end of every 100-ms
  // step from the first full 400-ms window on: entry k ends at frame
  // (k + 4) * StepFrames().
  const std::vector<double>& Momentary() const { return mMomentary; }
  std::optional<double> MaxMomentary() const;
  std::optional<double> Integrated() const { return mIntegrated; }
  double Range() const { return mRange; }
  int64_t Frames() const { return mFrames; }
  // Largest sample and true peak (libebur128's true-peak figures: 4-times
  // oversampling below 96 kHz, twice below 192 kHz) of all channels in dB
  // of full scale; none for silence.
  std::optional<double> SamplePeakDb() const { return mSamplePeakDb; }
  std::optional<double> TruePeakDb() const { return mTruePeakDb; }
  // Sum of the squared samples of all channels in every 100-ms step from the
  // first frame on; the last entry may cover a shorter step.
  const std::vector<double>& StepEnergy() const { return mStepEnergy; }
  // Samples counted by CountClipsAbove, and the first one (frame and
  // channel; -1 and 0 when there is none).
  int64_t ClippedSamples() const { return mClipped; }
  int64_t FirstClippedFrame() const { return mFirstClipFrame; }
  int FirstClippedChannel() const { return mFirstClipChannel; }

private:
  // n frames, planar[c] those of channel c.
  void Measure(const double* const* planar, int64_t n);
  void CountClips(const double* x, int64_t frames, int64_t firstFrame, int channel);

  ebur128_state* mState = nullptr;
  TruePeakMeter mTruePeak;
  int mChannels = 0;
  int mStep = 0;
  int64_t mChunkFrames = 0;
  std::vector<double> mInterleaved;
  bool mStarted = false;

  int64_t mFrames = 0;
  int64_t mUntilStep = 0;
  std::vector<double> mMomentary;
  std::optional<double> mIntegrated;
  double mRange = 0.0;
  std::optional<double> mSamplePeakDb, mTruePeakDb;
  std::vector<double> mStepEnergy;
  std::optional<double> mClipHigh;
  int64_t mClipped = 0;
  int64_t mFirstClipFrame = -1;
  int mFirstClipChannel = 0;
};

struct GainReduction {
  std::optional<double> db;  // none when no step compares
  double atSeconds = 0.0;    // end of the 400-ms window
};

// The largest drop from input to result over the steps where both are at
// least kComparisonFloorLufs; 0 when the result is never quieter.
GainReduction LargestReduction(const std::vector<double>& input, const std::vector<double>& output,
                               int stepFrames, double sampleRate);

// The gain reduction of every 100-ms step in dB (positive: the result is
// quieter), from what a host observes: the energy of the result against the
// energy of the input times inputGain squared (the plug-in's own input gain,
// so that only the limiting shows). NaN where the gained input lies below
// kComparisonFloorLufs in mean square (nothing to compare); never negative.
// Any thread; allocates.
std::vector<double> StepReductionDb(const std::vector<double>& inputEnergy, const std::vector<double>& outputEnergy,
                                    double inputGain, int stepFrames, int channels);

}  // namespace quarv::render
