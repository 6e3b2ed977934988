#include "tools/Loudness.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quarv::render {
namespace {

// Copies waiting to be measured per track: enough to ride out a slow read or
// write on the processing side without holding much memory.
constexpr size_t kBuffers = 32;

}  // namespace

LoudnessTrack::~LoudnessTrack() {
  Finish();
  if (mState) ebur128_destroy(&mState);
}

bool LoudnessTrack::Start(int channels, int sampleRate, int64_t chunkFrames, std::string* error) {
  mChannels = std::clamp(channels, 1, 2);
  mState = ebur128_init(static_cast<unsigned>(mChannels), static_cast<unsigned long>(sampleRate),
                        EBUR128_MODE_M | EBUR128_MODE_I | EBUR128_MODE_LRA);
  if (!mState) {
    *error = "cannot measure loudness at " + std::to_string(sampleRate) + " Hz";
    return false;
  }
  // libebur128's own step: (rate + 5) / 10 frames.
  mStep = (sampleRate + 5) / 10;
  mUntilStep = mStep;
  mChunkFrames = std::max<int64_t>(chunkFrames, 1);
  mInterleaved.resize(static_cast<size_t>(mChunkFrames * mChannels));
  for (size_t i = 0; i < kBuffers; ++i) {
    Chunk c;
    c.planar.resize(static_cast<size_t>(mChunkFrames * mChannels));
    mFree.push_back(std::move(c));
  }
  mThread = std::thread(&LoudnessTrack::Run, this);
  return true;
}

void LoudnessTrack::Add(const std::vector<std::vector<double>>& channels, int64_t offset, int64_t frames) {
  while (frames > 0 && mThread.joinable()) {
    const int64_t n = std::min(frames, mChunkFrames);
    Chunk chunk;
    {
      std::unique_lock<std::mutex> lock(mMutex);
      mChanged.wait(lock, [&] { return !mFree.empty(); });
      chunk = std::move(mFree.back());
      mFree.pop_back();
    }
    for (int c = 0; c < mChannels; ++c) {
      std::memcpy(chunk.planar.data() + c * n, channels[static_cast<size_t>(c)].data() + offset,
                  sizeof(double) * static_cast<size_t>(n));
    }
    chunk.frames = n;
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mQueue.push_back(std::move(chunk));
    }
    mChanged.notify_all();
    offset += n;
    frames -= n;
  }
}

void LoudnessTrack::Finish() {
  if (!mThread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mClosing = true;
  }
  mChanged.notify_all();
  mThread.join();
  double integrated = 0.0;
  if (ebur128_loudness_global(mState, &integrated) == EBUR128_SUCCESS && std::isfinite(integrated)) {
    mIntegrated = integrated;
  }
  double range = 0.0;
  if (ebur128_loudness_range(mState, &range) == EBUR128_SUCCESS && std::isfinite(range)) mRange = range;
}

void LoudnessTrack::Run() {
  for (;;) {
    Chunk chunk;
    {
      std::unique_lock<std::mutex> lock(mMutex);
      mChanged.wait(lock, [&] { return mClosing || !mQueue.empty(); });
      if (mQueue.empty()) return;
      chunk = std::move(mQueue.front());
      mQueue.pop_front();
    }
    Measure(chunk);
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mFree.push_back(std::move(chunk));
    }
    mChanged.notify_all();
  }
}

void LoudnessTrack::Measure(const Chunk& chunk) {
  const int64_t n = chunk.frames;
  for (int c = 0; c < mChannels; ++c) {
    const double* src = chunk.planar.data() + c * n;
    for (int64_t i = 0; i < n; ++i) mInterleaved[static_cast<size_t>(i * mChannels + c)] = src[i];
  }
  // Fed up to each step boundary, where the momentary loudness is read.
  for (int64_t done = 0; done < n;) {
    const int64_t piece = std::min(n - done, mUntilStep);
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

}  // namespace quarv::render
