// What hosting costs, measured in one run:
//   - the core: CLS_QUARVELLINE in-process through the offline binding, its
//     Process call (lock, buffer attachment, ProcessBlock) on double buffers;
//   - the built Quarvelline2.so through the host's loader: processReplacing
//     on single-precision buffers (the conversions to and from the engine's
//     doubles included) and processDoubleReplacing;
//   - the host's whole render of a 10-minute stereo 48 kHz file through the
//     module, report included (quarvelline-host run in-process);
//   - what the chart adds to that render: the render with and without its
//     chart in alternating turns, and the chart alone (drawn, encoded,
//     written);
//   - ten 1-minute files rendered by one call of quarvelline-host against
//     ten calls one after another (the built program started as a process
//     each time, as a script would), in alternating turns;
//   - the host's true-peak meter against libebur128's true-peak mode on a
//     stereo minute in memory, in turns, with a check that both give the
//     same figure.
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
#include <ebur128.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/Quarvelline.h"
#include "tools/AudioFile.h"
#include "tools/Chart.h"
#include "tools/HostApp.h"
#include "tools/Signals.h"
#include "tools/TruePeak.h"
#include "tools/host/Vst2Plugin.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kSeconds = 16.0;
constexpr double kRenderSeconds = 600.0;
constexpr int kBatchFiles = 10;
constexpr double kBatchSeconds = 60.0;

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

// Demo material written once into a folder removed at exit: count files of
// the given length.
class RenderInput {
public:
  RenderInput(const std::string& name, double seconds, int count) {
    mDir = fs::temp_directory_path() / ("quarv-bench-host-" + name + "-" + std::to_string(getpid()));
    fs::create_directories(mDir);
    quarv::StereoBuffer music = quarv::DemoMusic(seconds, kRate);
    const int64_t frames = static_cast<int64_t>(music.Frames());
    const std::vector<std::vector<double>> channels = {std::move(music.left), std::move(music.right)};
    std::string error;
    mOk = true;
    for (int i = 0; i < count && mOk; ++i) {
      mInputs.push_back((mDir / (name + "-" + std::to_string(i) + ".wav")).string());
      quarv::render::AudioWriter writer;
      mOk = writer.Open(mInputs.back(), static_cast<int>(kRate), 2, quarv::render::FloatWavFormat(), &error) &&
            writer.Write(channels, 0, frames, &error) && writer.Commit(&error);
    }
    if (!mOk) mError = error;
  }
  ~RenderInput() {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  const std::vector<std::string>& Inputs() const { return mInputs; }
  std::string Input() const { return mInputs.front(); }
  std::string Output() const { return (mDir / "out.wav").string(); }
  std::string Chart() const { return (mDir / "out.png").string(); }
  // Removes every result and chart, so each run writes its files afresh as
  // a first render does (replacing an old file would add the file system's
  // freeing of its blocks).
  void RemoveResults() const {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(mDir, ec)) {
      const std::string name = e.path().filename().string();
      if (name.find("quarvelline") != std::string::npos || name.rfind("out.", 0) == 0) fs::remove(e.path(), ec);
    }
  }
  bool Ok() const { return mOk; }
  const std::string& Error() const { return mError; }

private:
  fs::path mDir;
  std::vector<std::string> mInputs;
  bool mOk = false;
  std::string mError;
};

const RenderInput& TenMinutes() {
  static const RenderInput input("ten-minutes", kRenderSeconds, 1);
  return input;
}

// The factor the host printed in its JSON report.
double ReportedFactor(const std::string& json) {
  const std::string key = "\"real_time_factor\": ";
  const size_t at = json.find(key);
  return at == std::string::npos ? 0.0 : std::atof(json.c_str() + at + key.size());
}

// Runs quarvelline-host in-process on the 10-minute file with its result
// (and chart, unless noChart) in the input's folder; the JSON report, or
// empty when the host failed.
std::string RenderTenMinutes(const char* module, bool noChart) {
  const RenderInput& input = TenMinutes();
  input.RemoveResults();
  const std::string in = input.Input(), out = input.Output(), chart = input.Chart();
  std::vector<const char*> argv = {"quarvelline-host", in.c_str(), "--out", out.c_str(), "--preset",
                                   "Spotify: -14 LUFS", "--json", "--module", module};
  if (noChart) {
    argv.push_back("--no-chart");
  } else {
    argv.insert(argv.end(), {"--chart", chart.c_str()});
  }
  char* text = nullptr;
  size_t size = 0;
  std::FILE* report = open_memstream(&text, &size);
  std::FILE* errors = std::fopen("/dev/null", "w");
  const int status = quarv::render::RunHost(static_cast<int>(argv.size()), argv.data(), report, errors);
  std::fclose(errors);
  std::fclose(report);
  const std::string json(text, size);
  std::free(text);
  return status == 0 ? json : "";
}

void BM_HostRender10Minutes(benchmark::State& state) {
  if (!TenMinutes().Ok()) {
    state.SkipWithError(TenMinutes().Error().c_str());
    return;
  }
  // Argument 2: the VST 2.4 module; 3: the VST 3 bundle (the host's default).
  const char* module = state.range(0) == 2 ? QUARV_VST2_MODULE : QUARV_VST3_BUNDLE;
  double reported = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    TenMinutes().RemoveResults();
    state.ResumeTiming();
    const std::string json = RenderTenMinutes(module, false);
    if (json.empty()) {
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

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The 10-minute render through the VST 3 bundle with its chart and without,
// in turns (the order alternating), so that other load on the machine falls
// on both alike. Counters: the median seconds of each and the share the
// chart adds.
void BM_ChartShareOfRender10Minutes(benchmark::State& state) {
  if (!TenMinutes().Ok()) {
    state.SkipWithError(TenMinutes().Error().c_str());
    return;
  }
  std::vector<double> with, without;
  bool chartFirst = false;
  for (auto _ : state) {
    for (bool chart : {chartFirst, !chartFirst}) {
      const auto start = std::chrono::steady_clock::now();
      if (RenderTenMinutes(QUARV_VST3_BUNDLE, !chart).empty()) {
        state.SkipWithError("the host failed");
        return;
      }
      (chart ? with : without).push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    chartFirst = !chartFirst;
  }
  state.counters["with_chart_s"] = Median(with);
  state.counters["without_chart_s"] = Median(without);
  state.counters["chart_share"] = Median(with) / Median(without) - 1.0;
}
BENCHMARK(BM_ChartShareOfRender10Minutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

// The chart of the 10-minute render alone: drawn, encoded and written.
void BM_Chart10Minutes(benchmark::State& state) {
  if (!TenMinutes().Ok()) {
    state.SkipWithError(TenMinutes().Error().c_str());
    return;
  }
  quarv::render::ChartData data;
  data.title = "ten-minutes.wav";
  data.frames = static_cast<int64_t>(kRenderSeconds * kRate);
  data.sampleRate = kRate;
  const size_t steps = static_cast<size_t>(kRenderSeconds * 10.0);
  for (size_t k = 0; k < steps; ++k) {
    const double level = -14.0 + 8.0 * std::sin(static_cast<double>(k) * 0.01);
    data.inputMomentary.push_back(level);
    data.resultMomentary.push_back(std::min(level, -14.0));
    data.reductionDb.push_back(std::max(0.0, level + 14.0));
  }
  data.outLimitLufs = -14.0;
  const std::string path = TenMinutes().Chart();
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    if (!quarv::render::WriteChart(path, data, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["ms"] = Median(ms);
}
BENCHMARK(BM_Chart10Minutes)->Unit(benchmark::kMillisecond)->UseRealTime();

// Starts the built quarvelline-host with the arguments, output to
// /dev/null, and waits for it. True when it exits with status 0.
bool RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(QUARV_HOST_BIN));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, QUARV_HOST_BIN, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Ten 1-minute files: ten calls one after another against one call with all
// ten, in turns (the order alternating), each with its defaults (chart
// included) and the "Spotify: -14 LUFS" preset. Counters: the median
// seconds of each, the median of the per-turn ratios, and how many cores
// each kept busy (the programs' CPU time over the wall-clock time).
void BM_TenFilesOneCallAgainstTenCalls(benchmark::State& state) {
  static const RenderInput input("minute", kBatchSeconds, kBatchFiles);
  if (!input.Ok()) {
    state.SkipWithError(input.Error().c_str());
    return;
  }
  const std::vector<std::string> preset = {"--preset", "Spotify: -14 LUFS"};
  std::vector<double> one, ten, ratios, busyOne, busyTen;
  bool oneFirst = false;
  for (auto _ : state) {
    double turn[2] = {0.0, 0.0};
    for (bool batch : {oneFirst, !oneFirst}) {
      input.RemoveResults();
      const double cpu = ChildCpuSeconds();
      const auto start = std::chrono::steady_clock::now();
      bool ok = true;
      if (batch) {
        std::vector<std::string> args = input.Inputs();
        args.insert(args.end(), preset.begin(), preset.end());
        ok = RunProgram(args);
      } else {
        for (const std::string& file : input.Inputs()) {
          std::vector<std::string> args = {file};
          args.insert(args.end(), preset.begin(), preset.end());
          ok = ok && RunProgram(args);
        }
      }
      const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!ok) {
        state.SkipWithError("quarvelline-host failed");
        return;
      }
      turn[batch] = wall;
      (batch ? one : ten).push_back(wall);
      (batch ? busyOne : busyTen).push_back((ChildCpuSeconds() - cpu) / wall);
    }
    ratios.push_back(turn[0] / turn[1]);
    oneFirst = !oneFirst;
  }
  state.counters["one_call_s"] = Median(one);
  state.counters["ten_calls_s"] = Median(ten);
  state.counters["ratio"] = Median(ratios);
  state.counters["cores_busy_one_call"] = Median(busyOne);
  state.counters["cores_busy_ten_calls"] = Median(busyTen);
}
BENCHMARK(BM_TenFilesOneCallAgainstTenCalls)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The host's true-peak meter against libebur128 in its true-peak mode (the
// figure the meter reproduces), in turns on a minute of demo music held in
// memory: ms per stereo minute at 48 kHz and their ratio (medians).
void BM_TruePeakAgainstLibebur128(benchmark::State& state) {
  static const quarv::StereoBuffer music = quarv::DemoMusic(kBatchSeconds, kRate);
  const size_t frames = music.Frames();
  std::vector<double> interleaved(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    interleaved[2 * i] = music.left[i];
    interleaved[2 * i + 1] = music.right[i];
  }
  constexpr size_t kPiece = 4800;
  double agree = 1.0;
  auto meterTurn = [&] {
    quarv::render::TruePeakMeter meter;
    meter.Start(2, kRate);
    for (size_t at = 0; at < frames; at += kPiece) {
      const double* planar[2] = {music.left.data() + at, music.right.data() + at};
      meter.Add(planar, static_cast<int64_t>(std::min(kPiece, frames - at)));
    }
    return std::max(meter.Peak(0), meter.Peak(1));
  };
  auto libraryTurn = [&] {
    ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(kRate), EBUR128_MODE_TRUE_PEAK);
    for (size_t at = 0; at < frames; at += kPiece) {
      ebur128_add_frames_double(st, interleaved.data() + 2 * at, std::min(kPiece, frames - at));
    }
    double peak = 0.0, v = 0.0;
    for (unsigned c = 0; c < 2; ++c) {
      if (ebur128_true_peak(st, c, &v) == EBUR128_SUCCESS) peak = std::max(peak, v);
    }
    ebur128_destroy(&st);
    return peak;
  };
  std::vector<double> meterMs, libraryMs;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const double ours = meterTurn();
    meterMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    start = std::chrono::steady_clock::now();
    const double theirs = libraryTurn();
    libraryMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    // Compared as libebur128 reports it, with the sample peak under it.
    double sample = 0.0;
    for (double x : interleaved) sample = std::max(sample, std::fabs(x));
    if (std::max(ours, sample) != theirs) agree = 0.0;
  }
  state.counters["meter_ms"] = Median(meterMs);
  state.counters["libebur128_ms"] = Median(libraryMs);
  state.counters["ratio"] = Median(libraryMs) / Median(meterMs);
  state.counters["same_figure"] = agree;
}
BENCHMARK(BM_TruePeakAgainstLibebur128)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

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
    if (const double with = Value("BM_ChartShareOfRender10Minutes", "with_chart_s"); with > 0.0) {
      std::printf("the chart adds %.1f %% to the 10-minute render (%.3f s against %.3f s, medians of turns); drawn, "
                  "encoded and written alone it takes %.1f ms\n",
                  100.0 * Value("BM_ChartShareOfRender10Minutes", "chart_share"), with,
                  Value("BM_ChartShareOfRender10Minutes", "without_chart_s"),
                  Value("BM_Chart10Minutes", "ms"));
    }
    if (const double ratio = Value("BM_TruePeakAgainstLibebur128", "ratio"); ratio > 0.0) {
      std::printf("true peak of a stereo minute at 48 kHz: %.1f ms against libebur128's true-peak mode %.1f ms "
                  "(%.1fx faster, %s figure)\n",
                  Value("BM_TruePeakAgainstLibebur128", "meter_ms"), Value("BM_TruePeakAgainstLibebur128", "libebur128_ms"),
                  ratio, Value("BM_TruePeakAgainstLibebur128", "same_figure") > 0.5 ? "the same" : "NOT the same");
    }
    if (const double ratio = Value("BM_TenFilesOneCallAgainstTenCalls", "ratio"); ratio > 0.0) {
      std::printf("ten 1-minute files: one call %.2fx faster than ten calls one after another (%.3f s against "
                  "%.3f s; cores busy %.2f against %.2f)\n",
                  ratio, Value("BM_TenFilesOneCallAgainstTenCalls", "one_call_s"),
                  Value("BM_TenFilesOneCallAgainstTenCalls", "ten_calls_s"),
                  Value("BM_TenFilesOneCallAgainstTenCalls", "cores_busy_one_call"),
                  Value("BM_TenFilesOneCallAgainstTenCalls", "cores_busy_ten_calls"));
    }
  }
};

}  // namespace

int main(int argc, char** argv) { return quarvbench::RunWithSummary<SummaryReporter>(argc, argv); }
