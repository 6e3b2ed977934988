// What hosting costs, measured in one run:
//   - the core: CLS_QUARVELLINE in-process through the offline binding, its
//     Process call (lock, buffer attachment, ProcessBlock) on double buffers;
//   - the built Quarvelline2.so through the host's loader: processReplacing
//     on single-precision buffers (the conversions to and from the engine's
//     doubles included) and processDoubleReplacing;
//   - the host's whole render of a 10-minute stereo 48 kHz file through the
//     module, report included (quarvelline-host run in-process).
//
// All per-frame cases run the same 512-frame blocks of a 16-second stretch
// of the demo music, looping, with the same settings: "Window" 10ms, no
// look-ahead, "Out Limit" -20 LU (the loud sections are limited by about
// 5 dB), transport playing. The render uses "Spotify: -14 LUFS" on a
// 10-minute demo file written to a temporary folder once.
//
// BM_ModuleAgainstCore runs the core and the module's processReplacing in
// turns on input buffers held in the cache, as a DAW's are, and compares
// their medians: the figure least moved by other load on the machine. The
// separate cases read their input straight from the 16-second material (as
// bench_engine does); there the module's conversion loop waits on memory
// that the engine's arithmetic hides, which shows as a few percent more.
//
// Reading the output: ns_per_frame is the CPU time per stereo frame; the
// render's rtf counter is input seconds per wall-clock second of the whole
// run, host_rtf the factor the host itself reports (opening the input to the
// last figure; the rest is loading the module, the flush of the result to
// disk and closing). The summary after the table gives the module-to-core
// ratios; with --benchmark_repetitions=N it uses the medians.
#include <benchmark/benchmark.h>

#include "bench/BenchSummary.h"
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/Quarvelline.h"
#include "tools/AudioFile.h"
#include "tools/HostApp.h"
#include "tools/Signals.h"
#include "tools/host/Vst2Plugin.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kSeconds = 16.0;
constexpr double kRenderSeconds = 600.0;

struct Material {
  std::vector<double> left, right;
  std::vector<float> leftF, rightF;
  size_t blocks = 0;

  Material() {
    quarv::StereoBuffer music = quarv::DemoMusic(kSeconds, kRate);
    blocks = music.Frames() / kBlock;
    const size_t frames = blocks * kBlock;
    left.assign(music.left.begin(), music.left.begin() + static_cast<std::ptrdiff_t>(frames));
    right.assign(music.right.begin(), music.right.begin() + static_cast<std::ptrdiff_t>(frames));
    leftF.assign(left.begin(), left.end());
    rightF.assign(right.begin(), right.end());
  }
};

const Material& Audio() {
  static const Material material;
  return material;
}

// One plug-in instance stepping through the material block by block:
// process(offset, out) runs the block at that frame offset into out. The
// first round allocates the engine's buffers, so Warm runs it unmeasured.
template <typename T, typename Process>
class Stepper {
public:
  explicit Stepper(Process process) : mProcess(process), mOutL(kBlock), mOutR(kBlock) {}
  void Next() {
    T* out[2] = {mOutL.data(), mOutR.data()};
    mProcess(mBlock * kBlock, out);
    if (++mBlock == Audio().blocks) mBlock = 0;
    benchmark::DoNotOptimize(mOutL.data());
    benchmark::DoNotOptimize(mOutR.data());
    benchmark::ClobberMemory();
  }
  void Warm() {
    for (size_t i = 0; i < Audio().blocks; ++i) Next();
  }

private:
  Process mProcess;
  std::vector<T> mOutL, mOutR;
  size_t mBlock = 0;
};

template <typename T, typename Process>
Stepper<T, Process> MakeStepper(Process process) {
  return Stepper<T, Process>(process);
}

std::unique_ptr<CLS_QUARVELLINE> OpenCore() {
  auto plug = std::make_unique<CLS_QUARVELLINE>();
  plug->Open();
  plug->SetParameterPlain(kWindow, 2.0);
  plug->SetParameterPlain(kLookAhead, 0.0);
  plug->SetParameterPlain(kOutLimit, -20.0);
  plug->SetHostSampleRate(kRate);
  plug->SetHostBlockSize(kBlock);
  plug->SetTransport(1);
  plug->SetSongPosition(0.0);
  plug->Activate(true);
  return plug;
}

auto CoreStepper(CLS_QUARVELLINE* plug) {
  return MakeStepper<double>([plug](size_t offset, double** out) {
    double* in[2] = {const_cast<double*>(Audio().left.data() + offset),
                     const_cast<double*>(Audio().right.data() + offset)};
    plug->Process(in, out, 2, kBlock);
  });
}

std::unique_ptr<quarv::host::Vst2Plugin> OpenModule(benchmark::State& state) {
  std::string error;
  auto plug = quarv::host::Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  if (!plug) {
    state.SkipWithError(error.c_str());
    return nullptr;
  }
  plug->Open(kRate, kBlock);
  // The same settings as the core, through the module's text entry.
  const std::pair<const char*, const char*> settings[] = {
      {"Window", "10ms"}, {"Look Ahead", "0"}, {"Out Limit", "-20"}};
  for (const auto& [name, text] : settings) {
    const int idx = plug->FindParam(name);
    if (idx < 0 || !plug->SetParamFromText(idx, text)) {
      state.SkipWithError("the module did not take the settings");
      return nullptr;
    }
  }
  return plug;
}

auto ReplacingStepper(quarv::host::Vst2Plugin* plug) {
  return MakeStepper<float>([plug](size_t offset, float** out) {
    float* in[2] = {const_cast<float*>(Audio().leftF.data() + offset),
                    const_cast<float*>(Audio().rightF.data() + offset)};
    plug->ProcessReplacing(in, out, kBlock);
  });
}

template <typename S>
void RunBlocks(benchmark::State& state, S stepper) {
  stepper.Warm();
  for (auto _ : state) stepper.Next();
  quarvbench::CountFrames(state, kBlock);
}

void BM_CoreProcessBlock(benchmark::State& state) {
  auto plug = OpenCore();
  RunBlocks(state, CoreStepper(plug.get()));
}
BENCHMARK(BM_CoreProcessBlock);

void BM_ModuleProcessReplacing(benchmark::State& state) {
  auto plug = OpenModule(state);
  if (plug) RunBlocks(state, ReplacingStepper(plug.get()));
}
BENCHMARK(BM_ModuleProcessReplacing);

void BM_ModuleProcessDoubleReplacing(benchmark::State& state) {
  auto plug = OpenModule(state);
  if (!plug) return;
  RunBlocks(state, MakeStepper<double>([&](size_t offset, double** out) {
              double* in[2] = {const_cast<double*>(Audio().left.data() + offset),
                               const_cast<double*>(Audio().right.data() + offset)};
              plug->ProcessDouble(in, out, kBlock);
            }));
}
BENCHMARK(BM_ModuleProcessDoubleReplacing);

// The module and the core in turns of 32 blocks (about a third of a
// millisecond each), each turn timed, so that whatever else the machine does
// falls on both alike. Before each turn its 32 blocks are copied, untimed,
// into buffers of the host's own that stay in the cache, the way a DAW hands
// a plug-in the buffers it has just filled; the cases above read straight
// from the 16-second material instead. Counters: the median ns per frame of
// each and their ratio.
template <typename T>
struct TurnInput {
  static constexpr int kBlocks = 32;
  std::vector<T> left = std::vector<T>(kBlocks * kBlock), right = std::vector<T>(kBlocks * kBlock);
  size_t block = 0;

  void Fill(const std::vector<T>& l, const std::vector<T>& r) {
    for (int b = 0; b < kBlocks; ++b) {
      const size_t from = block * kBlock, to = static_cast<size_t>(b) * kBlock;
      std::copy_n(l.data() + from, kBlock, left.data() + to);
      std::copy_n(r.data() + from, kBlock, right.data() + to);
      if (++block == Audio().blocks) block = 0;
    }
  }
};

void BM_ModuleAgainstCore(benchmark::State& state) {
  auto module = OpenModule(state);
  if (!module) return;
  auto core = OpenCore();
  CoreStepper(core.get()).Warm();
  ReplacingStepper(module.get()).Warm();
  TurnInput<double> coreIn;
  TurnInput<float> moduleIn;
  std::vector<double> outL(kBlock), outR(kBlock);
  std::vector<float> outLF(kBlock), outRF(kBlock);
  auto coreTurn = [&] {
    double* out[2] = {outL.data(), outR.data()};
    for (int b = 0; b < TurnInput<double>::kBlocks; ++b) {
      double* in[2] = {coreIn.left.data() + b * kBlock, coreIn.right.data() + b * kBlock};
      core->Process(in, out, 2, kBlock);
    }
  };
  auto moduleTurn = [&] {
    float* out[2] = {outLF.data(), outRF.data()};
    for (int b = 0; b < TurnInput<float>::kBlocks; ++b) {
      float* in[2] = {moduleIn.left.data() + b * kBlock, moduleIn.right.data() + b * kBlock};
      module->ProcessReplacing(in, out, kBlock);
    }
  };
  auto timed = [](auto turn) {
    const auto start = std::chrono::steady_clock::now();
    turn();
    benchmark::ClobberMemory();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
           (TurnInput<float>::kBlocks * kBlock);
  };
  std::vector<double> coreNs, moduleNs;
  bool moduleFirst = false;
  for (auto _ : state) {
    coreIn.Fill(Audio().left, Audio().right);
    moduleIn.Fill(Audio().leftF, Audio().rightF);
    if (moduleFirst) moduleNs.push_back(timed(moduleTurn));
    coreNs.push_back(timed(coreTurn));
    if (!moduleFirst) moduleNs.push_back(timed(moduleTurn));
    moduleFirst = !moduleFirst;
  }
  auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  const double c = median(coreNs), m = median(moduleNs);
  state.counters["core_ns"] = c;
  state.counters["module_ns"] = m;
  state.counters["ratio"] = m / c;
}
BENCHMARK(BM_ModuleAgainstCore)->Iterations(2000);

// The 10-minute input, written once into a folder removed at exit.
class RenderInput {
public:
  RenderInput() {
    mDir = fs::temp_directory_path() / ("quarv-bench-host-" + std::to_string(getpid()));
    fs::create_directories(mDir);
    quarv::StereoBuffer music = quarv::DemoMusic(kRenderSeconds, kRate);
    const int64_t frames = static_cast<int64_t>(music.Frames());
    const std::vector<std::vector<double>> channels = {std::move(music.left), std::move(music.right)};
    quarv::render::AudioWriter writer;
    std::string error;
    mOk = writer.Open(Input(), static_cast<int>(kRate), 2, quarv::render::FloatWavFormat(), &error) &&
          writer.Write(channels, 0, frames, &error) && writer.Commit(&error);
    if (!mOk) mError = error;
  }
  ~RenderInput() {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  std::string Input() const { return (mDir / "ten-minutes.wav").string(); }
  std::string Output() const { return (mDir / "ten-minutes-out.wav").string(); }
  bool Ok() const { return mOk; }
  const std::string& Error() const { return mError; }

private:
  fs::path mDir;
  bool mOk = false;
  std::string mError;
};

// The factor the host printed in its JSON report.
double ReportedFactor(const std::string& json) {
  const std::string key = "\"real_time_factor\": ";
  const size_t at = json.find(key);
  return at == std::string::npos ? 0.0 : std::atof(json.c_str() + at + key.size());
}

void BM_HostRender10Minutes(benchmark::State& state) {
  static RenderInput input;
  if (!input.Ok()) {
    state.SkipWithError(input.Error().c_str());
    return;
  }
  const std::string in = input.Input(), out = input.Output();
  // Argument 2: the VST 2.4 module; 3: the VST 3 bundle (the host's default).
  const char* module = state.range(0) == 2 ? QUARV_VST2_MODULE : QUARV_VST3_BUNDLE;
  const char* argv[] = {"quarvelline-host", in.c_str(), "--out", out.c_str(), "--preset", "Spotify: -14 LUFS",
                        "--json", "--module", module};
  double reported = 0.0;
  for (auto _ : state) {
    // Each run writes its result afresh, as a first render does (replacing
    // an old result would add the file system's freeing of its blocks).
    state.PauseTiming();
    std::remove(out.c_str());
    state.ResumeTiming();
    char* text = nullptr;
    size_t size = 0;
    std::FILE* report = open_memstream(&text, &size);
    std::FILE* errors = std::fopen("/dev/null", "w");
    const int status = quarv::render::RunHost(static_cast<int>(std::size(argv)), argv, report, errors);
    std::fclose(errors);
    std::fclose(report);
    const std::string json(text, size);
    std::free(text);
    if (status != 0) {
      state.SkipWithError("the host failed");
      return;
    }
    reported += ReportedFactor(json);
  }
  state.counters["rtf"] = benchmark::Counter(kRenderSeconds * static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
  state.counters["host_rtf"] = reported / static_cast<double>(state.iterations());
}
BENCHMARK(BM_HostRender10Minutes)->ArgName("vst")->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

class SummaryReporter : public quarvbench::CollectingReporter {
public:
  using CollectingReporter::CollectingReporter;

  void PrintSummary() const override {
    const double core = Value("BM_CoreProcessBlock", "ns_per_frame") * 1e9;
    const double single = Value("BM_ModuleProcessReplacing", "ns_per_frame") * 1e9;
    const double dbl = Value("BM_ModuleProcessDoubleReplacing", "ns_per_frame") * 1e9;
    std::printf("\nns per stereo frame (48 kHz, 512-frame blocks)%s\n", mMedians ? ", medians" : "");
    std::printf("%-40s %10s %10s\n", "case", "ns/frame", "x core");
    auto line = [&](const char* name, double ns) {
      if (ns > 0.0 && core > 0.0) std::printf("%-40s %10.2f %10.3f\n", name, ns, ns / core);
    };
    line("core ProcessBlock (offline binding)", core);
    line("module processReplacing", single);
    line("module processDoubleReplacing", dbl);
    const double paired = Value("BM_ModuleAgainstCore", "ratio");
    if (paired > 0.0) {
      std::printf("module processReplacing / core, in turns: %.3f (%.2f against %.2f ns/frame)\n", paired,
                  Value("BM_ModuleAgainstCore", "module_ns"), Value("BM_ModuleAgainstCore", "core_ns"));
    }
    for (const char* format : {"2", "3"}) {
      const std::string run = std::string("BM_HostRender10Minutes/vst:") + format;
      const double rtf = Value(run, "rtf");
      if (rtf > 0.0) {
        std::printf("\nhost render of 10 minutes through the VST %s module, report included: %.0fx real time end "
                    "to end, %.0fx as the host reports it\n",
                    format[0] == '2' ? "2.4" : "3", rtf, Value(run, "host_rtf"));
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) { return quarvbench::RunWithSummary<SummaryReporter>(argc, argv); }
