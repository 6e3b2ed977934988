// Cost of the limiter's audio path per stereo frame at 48 kHz, next to two
// references measured in the same run on the same audio:
//   - libebur128 in momentary + integrated mode, fed the same 512-frame
//     blocks, its result read once at the end;
//   - a plain loop doing only the K-weighting of both channels and the sum of
//     squares, the floor of the work any such meter must do.
//
// Every case processes 512-frame blocks taken in turn from a 16-second stretch
// of the demo music (a loud and a quiet section), looping. The engine cases go
// through the in-process binding's Process call with a block size of 512, the
// way a host calls the plug-in (lock, buffer attachment, ProcessBlock), with
// the transport playing and "Graph when play" on, so the integrated loudness
// and the history advance as in real use.
//
// Reading the output: the ns_per_frame counter is the CPU time per stereo
// frame (shown with an SI prefix, e.g. "9.1n" = 9.1 ns). After the usual
// table the program prints a summary with ns per frame and the ratio of each
// case to libebur128; with --benchmark_repetitions=N it uses the medians.
#include <benchmark/benchmark.h>

#include "bench/BenchSummary.h"
#include <ebur128.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/Quarvelline.h"
#include "tools/Signals.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kSeconds = 16.0;

// The shared input, planar and interleaved, a whole number of blocks long.
struct Material {
  std::vector<double> left, right, interleaved;
  size_t blocks = 0;

  Material() {
    quarv::StereoBuffer music = quarv::DemoMusic(kSeconds, kRate);
    blocks = music.Frames() / kBlock;
    const size_t frames = blocks * kBlock;
    left.assign(music.left.begin(), music.left.begin() + static_cast<std::ptrdiff_t>(frames));
    right.assign(music.right.begin(), music.right.begin() + static_cast<std::ptrdiff_t>(frames));
    interleaved.resize(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
      interleaved[2 * i] = left[i];
      interleaved[2 * i + 1] = right[i];
    }
  }
};

const Material& Audio() {
  static const Material material;
  return material;
}

// Args: "Window" list index (0 "2.5ms", 2 "10ms", 5 "100ms"), "Look Ahead" in
// ms, "Out Limit" in LU. At -20 LU the loud sections of the material are
// limited by about 5 dB and the quiet ones pass, so the gain computer works
// on a good part of the frames; at the default -14 LU this material is never
// limited.
void BM_Engine(benchmark::State& state) {
  const Material& audio = Audio();
  auto plug = std::make_unique<CLS_QUARVELLINE>();
  plug->Open();
  plug->SetParameterPlain(kWindow, static_cast<double>(state.range(0)));
  plug->SetParameterPlain(kLookAhead, static_cast<double>(state.range(1)));
  plug->SetParameterPlain(kOutLimit, static_cast<double>(state.range(2)));
  plug->SetHostSampleRate(kRate);
  plug->SetHostBlockSize(kBlock);
  plug->SetTransport(1);
  plug->SetSongPosition(0.0);
  plug->Activate(true);

  std::vector<double> outL(kBlock), outR(kBlock);
  double* out[2] = {outL.data(), outR.data()};
  size_t block = 0;
  auto processNext = [&] {
    const size_t offset = block * kBlock;
    double* in[2] = {const_cast<double*>(audio.left.data() + offset),
                     const_cast<double*>(audio.right.data() + offset)};
    plug->Process(in, out, 2, kBlock);
    if (++block == audio.blocks) block = 0;
  };
  // The first blocks allocate the rings and history (ResetEngine); the
  // measurement starts on a warmed-up engine.
  for (size_t i = 0; i < audio.blocks; ++i) processNext();

  for (auto _ : state) {
    processNext();
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
  }
  quarvbench::CountFrames(state, kBlock);

  IPlugBase::Lock lock(plug->Mutex());
  state.counters["max_atten_dB"] = plug->mMinGain < 1.0 ? -20.0 * std::log10(plug->mMinGain) : 0.0;
}
BENCHMARK(BM_Engine)
    ->ArgNames({"window", "lookahead_ms", "limit"})
    ->Args({0, 0, -20})
    ->Args({2, 0, -20})
    ->Args({5, 0, -20})
    ->Args({0, 800, -20})
    ->Args({2, 800, -20})
    ->Args({5, 800, -20})
    ->Args({2, 0, -14});

void BM_Libebur128(benchmark::State& state) {
  const Material& audio = Audio();
  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(kRate), EBUR128_MODE_M | EBUR128_MODE_I);
  if (!st) {
    state.SkipWithError("ebur128_init failed");
    return;
  }
  size_t block = 0;
  for (auto _ : state) {
    ebur128_add_frames_double(st, audio.interleaved.data() + 2 * block * kBlock, kBlock);
    if (++block == audio.blocks) block = 0;
  }
  quarvbench::CountFrames(state, kBlock);
  double integrated = 0.0;
  ebur128_loudness_global(st, &integrated);
  benchmark::DoNotOptimize(integrated);
  ebur128_destroy(&st);
}
BENCHMARK(BM_Libebur128);

// K-weighting at 48 kHz (the BS.1770 table): high shelf, then high pass with
// b = 1, -2, 1; direct form II; sum of squares of both filtered channels.
struct KWeighting {
  static constexpr double b0 = 1.53512485958697, b1 = -2.69169618940638, b2 = 1.19839281085285;
  static constexpr double a1 = -1.69065929318241, a2 = 0.73248077421585;
  static constexpr double ha1 = -1.99004745483398, ha2 = 0.99007225036621;
  double w1[2] = {0, 0}, w2[2] = {0, 0}, v1[2] = {0, 0}, v2[2] = {0, 0};

  double Square(int ch, double x) {
    const double w = x - a1 * w1[ch] - a2 * w2[ch];
    const double y = b0 * w + b1 * w1[ch] + b2 * w2[ch];
    w2[ch] = w1[ch];
    w1[ch] = w;
    const double v = y - ha1 * v1[ch] - ha2 * v2[ch];
    const double z = v - 2.0 * v1[ch] + v2[ch];
    v2[ch] = v1[ch];
    v1[ch] = v;
    return z * z;
  }
};

void BM_PlainKWeighting(benchmark::State& state) {
  const Material& audio = Audio();
  KWeighting k;
  double sum = 0.0;
  size_t block = 0;
  for (auto _ : state) {
    const double* l = audio.left.data() + block * kBlock;
    const double* r = audio.right.data() + block * kBlock;
    for (int i = 0; i < kBlock; ++i) {
      sum += k.Square(0, l[i]);
      sum += k.Square(1, r[i]);
    }
    benchmark::DoNotOptimize(sum);
    if (++block == audio.blocks) block = 0;
  }
  quarvbench::CountFrames(state, kBlock);
}
BENCHMARK(BM_PlainKWeighting);

// The table of ns per frame (the ns_per_frame counter holds seconds per
// frame) against libebur128.
class SummaryReporter : public quarvbench::CollectingReporter {
public:
  using CollectingReporter::CollectingReporter;

  void PrintSummary() const override {
    const double ref = Value("BM_Libebur128", "ns_per_frame") * 1e9;
    std::printf("\nns per stereo frame (48 kHz, 512-frame blocks)%s\n", mMedians ? ", medians" : "");
    std::printf("%-48s %10s %14s\n", "case", "ns/frame", "x libebur128");
    for (const std::string& name : mOrder) {
      const double ns = Value(name, "ns_per_frame") * 1e9;
      if (ns <= 0.0) continue;
      if (ref > 0.0) {
        std::printf("%-48s %10.2f %14.3f\n", name.c_str(), ns, ns / ref);
      } else {
        std::printf("%-48s %10.2f %14s\n", name.c_str(), ns, "-");
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) { return quarvbench::RunWithSummary<SummaryReporter>(argc, argv); }
