#include "tools/HostApp.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/AudioFile.h"
#include "tools/Chart.h"
#include "tools/HostOptions.h"
#include "tools/PluginSetup.h"
#include "tools/Renderer.h"
#include "tools/Report.h"
#include "tools/Signals.h"
#include "tools/StateFile.h"
#include "tools/host/EditorWindow.h"
#include "tools/host/HostedPlugin.h"

namespace fs = std::filesystem;

namespace quarv::render {
namespace {

constexpr const char* kDemoFolder = "quarvelline-demo";
constexpr double kDemoSeconds = 60.0;
constexpr double kDemoRate = 48000.0;

// One line, whatever a library put into the reason.
std::string OneLine(std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return message;
}

// One file to render: where its result and chart go, or why it is skipped
// or refused before anything is rendered.
struct FileJob {
  std::string input, output, chart;
  std::string skip, refusal;
};

class Host {
public:
  Host(std::FILE* out, std::FILE* err) : mOut(out), mErr(err) {}

  int Run(int argc, const char* const* argv);

private:
  int Fail(const std::string& message) {
    std::fprintf(mErr, "%s: %s\n", kProgramName, OneLine(message).c_str());
    return kExitError;
  }
  std::unique_ptr<host::HostedPlugin> OpenPlugin(std::string* error);
  bool SetUpPlugin(host::HostedPlugin& plug, std::string* error);
  bool WriteDemo(const std::string& path, std::string* error);
  FileJob JobFor(const std::string& input) const;
  std::vector<FileJob> PlanJobs() const;
  bool RenderFile(host::HostedPlugin& plug, const FileJob& job, std::FILE* progress, ReportData* report,
                  std::string* error);
  ReportData Header(host::HostedPlugin& plug) const;
  int RunOne();
  bool SaveEditorPicture(std::string* error);
  int RunMany();

  std::FILE* mOut;
  std::FILE* mErr;
  HostOptions mOptions;
  std::string mModulePath;
  std::unique_ptr<host::HostedPlugin> mPlug;  // the instance the options were tried on
};

std::unique_ptr<host::HostedPlugin> Host::OpenPlugin(std::string* error) {
  std::unique_ptr<host::HostedPlugin> plug = host::OpenPlugin(mModulePath, error);
  if (plug && !SetUpPlugin(*plug, error)) plug.reset();
  return plug;
}

// State first, then the program, then the settings: each may change what the
// one before set.
bool Host::SetUpPlugin(host::HostedPlugin& plug, std::string* error) {
  if (!mOptions.loadState.empty()) {
    std::vector<uint8_t> bytes;
    if (!ReadStateFile(mOptions.loadState, &bytes, error)) return false;
    if (!plug.LoadState(bytes)) {
      *error = "the plug-in refused the state in '" + mOptions.loadState + "' (" + std::to_string(bytes.size()) +
               " bytes)";
      return false;
    }
  }
  if (!mOptions.preset.empty()) {
    const int idx = FindProgram(plug, mOptions.preset, error);
    if (idx < 0) return false;
    plug.SetProgram(idx);
  }
  for (const auto& [name, value] : mOptions.settings) {
    if (!SetParameter(plug, name, value, error)) return false;
  }
  return true;
}

// Writes the demo material as a 32-bit float WAV.
bool Host::WriteDemo(const std::string& path, std::string* error) {
  std::error_code ec;
  fs::create_directories(kDemoFolder, ec);
  if (ec) {
    *error = "cannot create the folder '" + std::string(kDemoFolder) + "': " + ec.message();
    return false;
  }
  quarv::StereoBuffer demo = quarv::DemoMusic(kDemoSeconds, kDemoRate);
  const int64_t frames = static_cast<int64_t>(demo.Frames());
  const std::vector<std::vector<double>> channels = {std::move(demo.left), std::move(demo.right)};
  AudioWriter writer;
  return writer.Open(path, static_cast<int>(kDemoRate), 2, FloatWavFormat(), error) &&
         writer.Write(channels, 0, frames, error) && writer.Commit(error);
}

FileJob Host::JobFor(const std::string& input) const {
  FileJob job;
  job.input = input;
  job.output = mOptions.output.empty() ? DefaultOutputPath(input) : mOptions.output;
  if (!mOptions.noChart) job.chart = mOptions.chart.empty() ? DefaultChartPath(job.output) : mOptions.chart;
  return job;
}

// The settings every file of a run shares, as the instance shows them.
ReportData Host::Header(host::HostedPlugin& plug) const {
  ReportData r;
  r.module = {mModulePath, plug.Format(), plug.Name(), plug.Vendor(), plug.Version(), plug.HasEditor()};
  r.programIndex = plug.CurrentProgram();
  r.programName = plug.ProgramName(r.programIndex);
  r.params = ListParams(plug);
  r.precision = mOptions.precision;
  r.block = mOptions.block;
  r.stopped = mOptions.stopped;
  r.startSeconds = mOptions.startSeconds;
  r.events = mOptions.events;
  r.loadedState = mOptions.loadState;
  r.allowClipping = mOptions.allowClipping;
  r.target = mOptions.target;
  return r;
}

// Renders one file through a set-up instance into its result and chart.
// Any thread, one instance per thread.
bool Host::RenderFile(host::HostedPlugin& plug, const FileJob& job, std::FILE* progress, ReportData* report,
                      std::string* error) {
  const auto started = std::chrono::steady_clock::now();
  AudioReader reader;
  if (!reader.Open(job.input, error)) return false;
  const AudioInfo info = reader.Info();
  const int outputFormat = OutputFormatFor(info.format);
  plug.Configure(info.sampleRate, mOptions.block, info.channels, mOptions.precision);

  RenderSetup setup;
  setup.block = mOptions.block;
  setup.precision = mOptions.precision;
  setup.stopped = mOptions.stopped;
  setup.startSeconds = mOptions.startSeconds;
  setup.events = mOptions.events;
  setup.delayFrames = OutputDelayFrames(plug, info.sampleRate);
  setup.progress = progress;
  setup.clipHighest = HighestSample(outputFormat);

  AudioWriter writer;
  if (!writer.Open(job.output, info.sampleRate, info.channels, outputFormat, error)) return false;
  // What is written after the render must not fail for want of a folder.
  if (!job.chart.empty() && !CheckWritable(job.chart, "chart", error)) return false;
  if (!mOptions.saveState.empty() && !CheckWritable(mOptions.saveState, "state file", error)) return false;
  *report = Header(plug);
  if (!Render(reader, writer, plug, setup, &report->result, error)) return false;
  report->wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!writer.Commit(error)) return false;

  report->input = job.input;
  report->output = job.output;
  report->outputFormat = SampleFormatName(outputFormat);
  report->sampleRate = info.sampleRate;
  report->channels = info.channels;
  report->delayFrames = setup.delayFrames;
  if (!job.chart.empty()) {
    if (!WriteChart(job.chart, ChartOf(*report), error)) return false;
    report->chart = job.chart;
  }
  return true;
}

int Host::RunOne() {
  std::string error;
  std::string input = mOptions.inputs.empty() ? "" : mOptions.inputs[0];
  if (input.empty()) {
    input = std::string(kDemoFolder) + "/demo.wav";
    if (!mOptions.output.empty() && SameFile(input, mOptions.output)) {
      return Fail("the output '" + mOptions.output + "' would overwrite the demo input");
    }
  }
  const FileJob job = JobFor(input);
  if (SameFile(input, job.output)) return Fail("the output '" + job.output + "' would overwrite the input");
  if (!mOptions.saveState.empty()) {
    for (const std::string& file : {input, job.output}) {
      if (SameFile(mOptions.saveState, file)) {
        return Fail("the state file '" + mOptions.saveState + "' would overwrite '" + file + "'");
      }
    }
  }
  if (!job.chart.empty()) {
    for (const std::string& file : {input, job.output, mOptions.saveState}) {
      if (!file.empty() && SameFile(job.chart, file)) {
        return Fail("the chart '" + job.chart + "' would overwrite '" + file + "'");
      }
    }
  }
  if (!mOptions.editorPng.empty()) {
    for (const std::string& file : {input, job.output, mOptions.saveState, job.chart}) {
      if (!file.empty() && SameFile(mOptions.editorPng, file)) {
        return Fail("the editor picture '" + mOptions.editorPng + "' would overwrite '" + file + "'");
      }
    }
  }
  if (mOptions.inputs.empty() && !WriteDemo(input, &error)) return Fail(error);
  // After the demo's folder exists: the picture may go there.
  if (!mOptions.editorPng.empty() && !CheckWritable(mOptions.editorPng, "editor picture", &error)) {
    return Fail(error);
  }

  ReportData report;
  if (!RenderFile(*mPlug, job, isatty(fileno(mErr)) ? mErr : nullptr, &report, &error)) return Fail(error);
  if (!mOptions.saveState.empty()) {
    const std::vector<uint8_t> state = mPlug->SaveState();
    if (state.empty()) return Fail("the plug-in gave no state to save to '" + mOptions.saveState + "'");
    if (!WriteStateFile(mOptions.saveState, state, &error)) return Fail(error);
    report.savedState = mOptions.saveState;
  }
  if (!mOptions.editorPng.empty()) {
    if (!SaveEditorPicture(&error)) return Fail(error);
    report.editorPicture = mOptions.editorPng;
  }
  if (mOptions.json) {
    PrintReportJson(mOut, report);
  } else {
    PrintReport(mOut, report);
  }
  return ExitStatus(report);
}

// The plug-in's editor as the rendered instance shows it, in a window of the
// host on the X server: opened through the module's editor interface, given
// half a second of ticks (the graph draws the history of the render), read
// back from the server, closed.
bool Host::SaveEditorPicture(std::string* error) {
  constexpr int kRunMs = 500;
  host::EditorWindowOptions options;
  options.title = "Quarvelline Host: " + mPlug->Name();
  std::unique_ptr<host::EditorWindow> window = host::EditorWindow::Open(*mPlug, error, options);
  if (!window) {
    *error = "cannot open the plug-in's editor: " + *error;
    return false;
  }
  window->Pump(kRunMs);
  // A view that attaches without making a window would leave the host's
  // window empty: that is no picture of the editor.
  if (!window->EditorChild()) {
    *error = "the plug-in's editor made no window in the host's window";
    return false;
  }
  return window->SavePng(mOptions.editorPng, error);
}

// An input that is another input's result (left from an earlier run, as
// "*.wav" picks it up) is skipped. A file whose result or chart would be
// another file's too is refused. Both are decided before anything renders,
// whatever the order the threads take the files in.
std::vector<FileJob> Host::PlanJobs() const {
  std::vector<FileJob> jobs;
  for (const std::string& input : mOptions.inputs) jobs.push_back(JobFor(input));
  for (FileJob& job : jobs) {
    for (const FileJob& other : jobs) {
      if (&other == &job || !job.skip.empty()) continue;
      for (const std::string* made : {&other.output, &other.chart}) {
        if (job.skip.empty() && !made->empty() && SameFile(*made, job.input)) {
          job.skip = "it is the result of '" + other.input + "'";
        }
      }
    }
  }
  for (size_t i = 0; i < jobs.size(); ++i) {
    FileJob& job = jobs[i];
    for (size_t j = 0; j < i && job.skip.empty(); ++j) {
      const FileJob& before = jobs[j];
      if (!before.skip.empty() || !before.refusal.empty()) continue;
      for (const std::string* made : {&job.output, &job.chart}) {
        for (const std::string* theirs : {&before.output, &before.chart}) {
          if (job.refusal.empty() && !made->empty() && !theirs->empty() && SameFile(*made, *theirs)) {
            job.refusal = "its result '" + *made + "' is also a result of '" + before.input + "'";
          }
        }
      }
    }
  }
  return jobs;
}

// Several files, each through its own instance, on as many threads as the
// machine has cores. Instances are opened and closed one at a time, as a
// DAW does on its main thread; they process in parallel.
int Host::RunMany() {
  const auto started = std::chrono::steady_clock::now();
  const ReportData header = Header(*mPlug);
  mPlug.reset();

  const std::vector<FileJob> jobs = PlanJobs();
  std::vector<FileOutcome> outcomes(jobs.size());
  std::mutex instances, printing;
  std::atomic<size_t> next{0};
  size_t finished = 0;
  const bool terminal = isatty(fileno(mErr)) != 0;
  auto work = [&] {
    for (size_t i; (i = next++) < jobs.size();) {
      FileOutcome& o = outcomes[i];
      o.input = jobs[i].input;
      try {
        if (!jobs[i].skip.empty()) {
          o.skipped = jobs[i].skip;
        } else if (!jobs[i].refusal.empty()) {
          o.error = jobs[i].refusal;
        } else {
          std::unique_ptr<host::HostedPlugin> plug;
          {
            std::lock_guard<std::mutex> lock(instances);
            plug = OpenPlugin(&o.error);
          }
          if (plug) o.ok = RenderFile(*plug, jobs[i], nullptr, &o.report, &o.error);
          std::lock_guard<std::mutex> lock(instances);
          plug.reset();
        }
      } catch (const std::exception& e) {
        o.ok = false;
        o.error = std::string("unexpected failure: ") + e.what();
      } catch (...) {
        o.ok = false;
        o.error = "unexpected failure";
      }
      o.error = OneLine(o.error);
      std::lock_guard<std::mutex> lock(printing);
      ++finished;
      if (!o.skipped.empty()) {
        if (terminal) std::fprintf(mErr, "[%zu/%zu] skipped %s\n", finished, jobs.size(), o.input.c_str());
      } else if (!o.ok) {
        std::fprintf(mErr, "%s: %s: %s\n", kProgramName, o.input.c_str(), o.error.c_str());
      } else if (terminal) {
        std::fprintf(mErr, "[%zu/%zu] %s\n", finished, jobs.size(), o.report.output.c_str());
      }
    }
  };
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t workers = std::min(cores, jobs.size());
  // The files themselves keep the cores busy, each on one thread.
  std::vector<std::thread> threads;
  for (size_t t = 1; t < workers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();

  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (mOptions.json) {
    PrintBatchJson(mOut, outcomes);
  } else {
    PrintBatchReport(mOut, header, outcomes, wall);
  }
  return BatchExitStatus(outcomes);
}

int Host::Run(int argc, const char* const* argv) {
  std::string error;
  if (!ParseOptions(argc, argv, &mOptions, &error)) return Fail(error);
  if (mOptions.help) {
    std::fputs(UsageText().c_str(), mOut);
    return kExitOk;
  }

  // Without an X server the editor cannot open: say so before rendering.
  if (!mOptions.editorPng.empty()) {
    const std::string missing = host::MissingDisplayReason();
    if (!missing.empty()) return Fail("--editor-png: " + missing);
  }
  mModulePath = mOptions.module.empty() ? DefaultModulePath() : mOptions.module;
  mPlug = OpenPlugin(&error);
  if (!mPlug) return Fail(error);
  if (mOptions.listPresets || mOptions.listParams) {
    const std::vector<ProgramEntry> programs = ListPrograms(*mPlug);
    const std::vector<ParamEntry> params = ListParams(*mPlug);
    PrintLists(mOut, mOptions.listPresets ? &programs : nullptr, mOptions.listParams ? &params : nullptr,
               mOptions.json);
    return kExitOk;
  }
  if (mOptions.precision == host::Precision::kDouble && !mPlug->CanProcessDouble()) {
    return Fail("the plug-in in '" + mModulePath + "' cannot process double precision");
  }
  return mOptions.inputs.size() > 1 ? RunMany() : RunOne();
}

}  // namespace

std::string DefaultModulePath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    // The VST 3 bundle first, the format most hosts load today.
    for (const char* name : {"Quarvelline3.vst3", "Quarvelline2.so"}) {
      const fs::path beside = exe.parent_path().parent_path() / "modules" / name;
      if (fs::exists(beside, ec)) return beside.string();
    }
  }
#ifdef QUARV_DEFAULT_MODULE
  return QUARV_DEFAULT_MODULE;
#else
  return "Quarvelline3.vst3";
#endif
}

int RunHost(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  try {
    Host host(out, err);
    return host.Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(err, "%s: unexpected failure: %s\n", kProgramName, e.what());
  } catch (...) {
    std::fprintf(err, "%s: unexpected failure\n", kProgramName);
  }
  return kExitError;
}

}  // namespace quarv::render
