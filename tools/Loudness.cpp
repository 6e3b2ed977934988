#include "tools/Loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quarv::render {

LoudnessTrack::~LoudnessTrack() {
  if (mState) ebur128_destroy(&mState);
}

bool LoudnessTrack::Start(int channels, int sampleRate, int64_t chunkFrames, std::string* error) {
  mChannels = std::clamp(channels, 1, 2);
  // The true peak comes from mTruePeak, which gives libebur128's true-peak
  // figures in a fraction of its time.
  mState = ebur128_init(static_cast<unsigned>(mChannels), static_cast<unsigned long>(sampleRate),
                        EBUR128_MODE_M | EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK);
  if (!mState) {
    *error = "cannot measure loudness at " + std::to_string(sampleRate) + " Hz";
    return false;
  }
  // libebur128's own step: (rate + 5) / 10 frames.
  mStep = (sampleRate + 5) / 10;
  mUntilStep = mStep;
  mTruePeak.Start(mChannels, sampleRate);
  mChunkFrames = std::max<int64_t>(chunkFrames, 1);
  mInterleaved.resize(static_cast<size_t>(mChunkFrames * mChannels));
  mStarted = true;
  return true;
}

void LoudnessTrack::Add(const std::vector<std::vector<double>>& channels, int64_t offset, int64_t frames) {
  while (frames > 0 && mStarted) {
    const int64_t n = std::min(frames, mChunkFrames);
    const double* planar[2];
    for (int c = 0; c < 2; ++c) planar[c] = channels[static_cast<size_t>(std::min(c, mChannels - 1))].data() + offset;
    Measure(planar, n);
    offset += n;
    frames -= n;
  }
}

void LoudnessTrack::Finish() {
  if (!mStarted) return;
  mStarted = false;
  double integrated = 0.0;
  if (ebur128_loudness_global(mState, &integrated) == EBUR128_SUCCESS && std::isfinite(integrated)) {
    mIntegrated = integrated;
  }
  double range = 0.0;
  if (ebur128_loudness_range(mState, &range) == EBUR128_SUCCESS && std::isfinite(range)) mRange = range;
  // Per channel, the true peak is never below the sample peak.
  double samplePeak = 0.0, truePeak = 0.0;
  for (int c = 0; c < mChannels; ++c) {
    double v = 0.0;
    if (ebur128_sample_peak(mState, static_cast<unsigned>(c), &v) != EBUR128_SUCCESS) v = 0.0;
    samplePeak = std::max(samplePeak, v);
    truePeak = std::max({truePeak, v, mTruePeak.Peak(c)});
  }
  if (samplePeak > 0.0) mSamplePeakDb = 20.0 * std::log10(samplePeak);
  if (truePeak > 0.0) mTruePeakDb = 20.0 * std::log10(truePeak);
}

void LoudnessTrack::Measure(const double* const* planar, int64_t n) {
  for (int c = 0; c < mChannels; ++c) {
    const double* src = planar[c];
    for (int64_t i = 0; i < n; ++i) mInterleaved[static_cast<size_t>(i * mChannels + c)] = src[i];
  }
  mTruePeak.Add(planar, n);
  // Fed up to each step boundary, where the momentary loudness is read.
  for (int64_t done = 0; done < n;) {
    const int64_t piece = std::min(n - done, mUntilStep);
    if (mUntilStep == mStep) mStepEnergy.push_back(0.0);
    double energy = 0.0;
    for (int c = 0; c < mChannels; ++c) {
      const double* x = planar[c] + done;
      for (int64_t i = 0; i < piece; ++i) energy += x[i] * x[i];
      if (mClipHigh) CountClips(x, piece, mFrames, c);
    }
    mStepEnergy.back() += energy;
    ebur128_add_frames_double(mState, mInterleaved.data() + done * mChannels, static_cast<size_t>(piece));
    done += piece;
    mFrames += piece;
    mUntilStep -= piece;
    if (mUntilStep == 0) {
      mUntilStep = mStep;
      if (mFrames >= 4 * static_cast<int64_t>(mStep)) {
        double m = -HUGE_VAL;
        ebur128_loudness_momentary(mState, &m);
        mMomentary.push_back(m);
      }
    }
  }
}

void LoudnessTrack::CountClips(const double* x, int64_t frames, int64_t firstFrame, int channel) {
  const double high = *mClipHigh;
  for (int64_t i = 0; i < frames; ++i) {
    if (!(x[i] > high || x[i] < -1.0)) continue;
    ++mClipped;
    const int64_t frame = firstFrame + i;
    if (mFirstClipFrame < 0 || frame < mFirstClipFrame) {
      mFirstClipFrame = frame;
      mFirstClipChannel = channel;
    }
  }
}

std::optional<double> LoudnessTrack::MaxMomentary() const {
  std::optional<double> best;
  for (double m : mMomentary) {
    if (std::isfinite(m) && (!best || m > *best)) best = m;
  }
  return best;
}

GainReduction LargestReduction(const std::vector<double>& input, const std::vector<double>& output,
                               int stepFrames, double sampleRate) {
  GainReduction r;
  const size_t n = std::min(input.size(), output.size());
  for (size_t k = 0; k < n; ++k) {
    if (!(input[k] >= kComparisonFloorLufs) || !(output[k] >= kComparisonFloorLufs)) continue;
    const double drop = std::max(0.0, input[k] - output[k]);
    if (!r.db || drop > *r.db) {
      r.db = drop;
      r.atSeconds = static_cast<double>((k + 4) * static_cast<size_t>(stepFrames)) / sampleRate;
    }
  }
  return r;
}

std::vector<double> StepReductionDb(const std::vector<double>& inputEnergy, const std::vector<double>& outputEnergy,
                                    double inputGain, int stepFrames, int channels) {
  const size_t n = std::min(inputEnergy.size(), outputEnergy.size());
  std::vector<double> db(n, std::numeric_limits<double>::quiet_NaN());
  // The absolute gate as a mean square: 10^(-70 / 10), with the loudness
  // standard's -0.691 dB offset left aside (a plain level, not a loudness).
  const double floor = std::pow(10.0, kComparisonFloorLufs / 10.0) * stepFrames * std::max(channels, 1);
  for (size_t k = 0; k < n; ++k) {
    const double gained = inputEnergy[k] * inputGain * inputGain;
    if (!(gained >= floor)) continue;
    db[k] = outputEnergy[k] > 0.0 ? std::max(0.0, 10.0 * std::log10(gained / outputEnergy[k]))
                                  : std::numeric_limits<double>::infinity();
  }
  return db;
}

}  // namespace quarv::render
