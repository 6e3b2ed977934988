#include "tools/Renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace quarv::render {
namespace {

// Frames read, measured and written at a time.
constexpr int64_t kChunkFrames = 4096;
// Inputs at least this long get a progress bar.
constexpr double kProgressSeconds = 5.0;

class ProgressBar {
public:
  ProgressBar(std::FILE* out, int64_t total, double rate)
      : mOut(total / rate > kProgressSeconds ? out : nullptr), mTotal(total), mRate(rate) {}
  ~ProgressBar() { Clear(); }

  void Update(int64_t done) {
    if (!mOut) return;
    const auto now = std::chrono::steady_clock::now();
    if (mDrawn && now - mLast < std::chrono::milliseconds(100)) return;
    mLast = now;
    mDrawn = true;
    constexpr int kWidth = 30;
    const double part = std::clamp(static_cast<double>(done) / static_cast<double>(mTotal), 0.0, 1.0);
    const int filled = static_cast<int>(part * kWidth);
    std::fprintf(mOut, "\r[%s%s] %3d%%  %.1f / %.1f s", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), '-').c_str(), static_cast<int>(part * 100.0),
                 static_cast<double>(done) / mRate, static_cast<double>(mTotal) / mRate);
    std::fflush(mOut);
  }

  void Clear() {
    if (!mOut || !mDrawn) return;
    std::fprintf(mOut, "\r%60s\r", "");
    std::fflush(mOut);
    mDrawn = false;
  }

private:
  std::FILE* mOut;
  int64_t mTotal;
  double mRate;
  bool mDrawn = false;
  std::chrono::steady_clock::time_point mLast;
};

struct FrameEvent {
  int64_t at = 0;
  TransportEvent event;
};

std::vector<FrameEvent> EventsInFrames(const std::vector<TransportEvent>& events, double rate) {
  std::vector<FrameEvent> out;
  for (const TransportEvent& e : events) out.push_back({std::llround(e.atSeconds * rate), e});
  // Time order; events at the same frame keep the order given.
  std::stable_sort(out.begin(), out.end(), [](const FrameEvent& a, const FrameEvent& b) { return a.at < b.at; });
  return out;
}

// Everything the processing loop needs, allocated once.
class Session {
public:
  Session(AudioWriter& writer, host::HostedPlugin& plug, const RenderSetup& setup, int channels, double rate,
          LoudnessTrack& outputTrack)
      : mWriter(writer),
        mPlug(plug),
        mSetup(setup),
        mChannels(channels),
        mEvents(EventsInFrames(setup.events, rate)),
        mRate(rate),
        mOutputTrack(outputTrack),
        mToDrop(setup.delayFrames) {
    const size_t block = static_cast<size_t>(setup.block);
    mOut.assign(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(ChunkFrames())));
    mInF.assign(static_cast<size_t>(channels), std::vector<float>(block));
    mOutF.assign(static_cast<size_t>(channels), std::vector<float>(block));
    host::Transport& t = plug.GetTransport();
    t.playing = !setup.stopped;
    t.samplePos = std::round(setup.startSeconds * rate);
  }

  int64_t ChunkFrames() const {
    return static_cast<int64_t>(mSetup.block) * std::max<int64_t>(1, kChunkFrames / mSetup.block);
  }

  // Processes frames [0, frames) of in, which lie at input position mPos;
  // events apply only within the input (inputFrames).
  bool Process(std::vector<std::vector<double>>& in, int64_t frames, int64_t inputFrames, std::string* error) {
    for (auto& c : mOut) c.resize(static_cast<size_t>(frames));
    for (int64_t off = 0; off < frames;) {
      while (mNextEvent < mEvents.size() && mEvents[mNextEvent].at <= mPos && mPos < inputFrames) {
        Apply(mEvents[mNextEvent++].event);
      }
      int64_t n = std::min<int64_t>(mSetup.block, frames - off);
      if (mNextEvent < mEvents.size() && mEvents[mNextEvent].at < inputFrames) {
        n = std::min(n, mEvents[mNextEvent].at - mPos);
      }
      ProcessBlock(in, off, static_cast<int>(n));
      off += n;
      mPos += n;
    }
    const int64_t drop = std::min(mToDrop, frames);
    mToDrop -= drop;
    if (!mWriter.Write(mOut, drop, frames - drop, error)) return false;
    mOutputTrack.Add(mOut, drop, frames - drop);
    return true;
  }

private:
  void Apply(const TransportEvent& e) {
    host::Transport& t = mPlug.GetTransport();
    switch (e.kind) {
      case TransportEvent::Kind::kStop:
        t.playing = false;
        break;
      case TransportEvent::Kind::kPlay:
        t.playing = true;
        break;
      case TransportEvent::Kind::kLocate:
        t.samplePos = std::round(e.toSeconds * mRate);
        break;
    }
  }

  void ProcessBlock(std::vector<std::vector<double>>& in, int64_t off, int n) {
    const size_t nch = static_cast<size_t>(mChannels);
    if (mSetup.precision == host::Precision::kDouble) {
      double* ip[2] = {in[0].data() + off, nch > 1 ? in[1].data() + off : nullptr};
      double* op[2] = {mOut[0].data() + off, nch > 1 ? mOut[1].data() + off : nullptr};
      mPlug.Process(ip, op, n);
      return;
    }
    float* ip[2] = {mInF[0].data(), nch > 1 ? mInF[1].data() : nullptr};
    float* op[2] = {mOutF[0].data(), nch > 1 ? mOutF[1].data() : nullptr};
    for (size_t c = 0; c < nch; ++c) {
      const double* src = in[c].data() + off;
      for (int i = 0; i < n; ++i) ip[c][i] = static_cast<float>(src[i]);
    }
    mPlug.Process(ip, op, n);
    for (size_t c = 0; c < nch; ++c) {
      double* dst = mOut[c].data() + off;
      for (int i = 0; i < n; ++i) dst[i] = op[c][i];
    }
  }

  AudioWriter& mWriter;
  host::HostedPlugin& mPlug;
  const RenderSetup& mSetup;
  int mChannels;
  std::vector<FrameEvent> mEvents;
  size_t mNextEvent = 0;
  double mRate;
  LoudnessTrack& mOutputTrack;
  int64_t mToDrop;
  int64_t mPos = 0;
  std::vector<std::vector<double>> mOut;
  std::vector<std::vector<float>> mInF, mOutF;
};

StreamFigures FiguresOf(const LoudnessTrack& track) {
  StreamFigures f;
  f.integratedLufs = track.Integrated();
  f.maxMomentaryLufs = track.MaxMomentary();
  f.rangeLu = track.Range();
  f.samplePeakDb = track.SamplePeakDb();
  f.truePeakDb = track.TruePeakDb();
  f.momentary = track.Momentary();
  f.stepEnergy = track.StepEnergy();
  return f;
}

}  // namespace

bool Render(AudioReader& reader, AudioWriter& writer, host::HostedPlugin& plug, const RenderSetup& setup,
            RenderResult* result, std::string* error) {
  const AudioInfo& info = reader.Info();
  const int nch = std::clamp(info.channels, 1, 2);
  const double rate = info.sampleRate;

  LoudnessTrack inputTrack, outputTrack;
  if (setup.clipHighest) outputTrack.CountClipsAbove(*setup.clipHighest);
  Session session(writer, plug, setup, nch, rate, outputTrack);
  const int64_t chunk = session.ChunkFrames();
  if (!inputTrack.Start(nch, info.sampleRate, chunk, error) || !outputTrack.Start(nch, info.sampleRate, chunk, error)) {
    return false;
  }

  ProgressBar progress(setup.progress, info.frames, rate);
  std::vector<std::vector<double>> buffer(static_cast<size_t>(nch));
  int64_t frames = 0;
  plug.Start();
  bool ok = true;
  for (;;) {
    const int64_t got = reader.Read(buffer, chunk, error);
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    inputTrack.Add(buffer, 0, got);
    // The frame count in the header may be wrong; the input ends where
    // reading ends.
    frames += got;
    if (!session.Process(buffer, got, INT64_MAX, error)) {
      ok = false;
      break;
    }
    progress.Update(frames);
  }
  if (ok && frames == 0) {
    *error = "the input holds no audio frames";
    ok = false;
  }
  // The delayed end of the input comes out while silence goes in.
  for (int64_t left = ok ? setup.delayFrames : 0; left > 0 && ok;) {
    const int64_t n = std::min(chunk, left);
    for (auto& c : buffer) c.assign(static_cast<size_t>(n), 0.0);
    ok = session.Process(buffer, n, frames, error);
    left -= n;
  }
  plug.Stop();
  progress.Clear();
  inputTrack.Finish();
  outputTrack.Finish();
  if (!ok) return false;

  result->frames = frames;
  result->input = FiguresOf(inputTrack);
  result->output = FiguresOf(outputTrack);
  result->reduction = LargestReduction(inputTrack.Momentary(), outputTrack.Momentary(), inputTrack.StepFrames(), rate);
  result->stepFrames = inputTrack.StepFrames();
  result->clipping.counted = setup.clipHighest.has_value();
  result->clipping.samples = outputTrack.ClippedSamples();
  result->clipping.firstFrame = outputTrack.FirstClippedFrame();
  result->clipping.firstChannel = outputTrack.FirstClippedChannel();
  return true;
}

}  // namespace quarv::render
