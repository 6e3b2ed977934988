#include "tools/HostApp.h"

#include <unistd.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <vector>

#include "tools/AudioFile.h"
#include "tools/HostOptions.h"
#include "tools/PluginSetup.h"
#include "tools/Renderer.h"
#include "tools/Report.h"
#include "tools/Signals.h"
#include "tools/StateFile.h"
#include "tools/host/HostedPlugin.h"

namespace fs = std::filesystem;

namespace quarv::render {
namespace {

constexpr const char* kDemoFolder = "quarvelline-demo";
constexpr double kDemoSeconds = 60.0;
constexpr double kDemoRate = 48000.0;

class Host {
public:
  Host(std::FILE* out, std::FILE* err) : mOut(out), mErr(err) {}

  int Run(int argc, const char* const* argv);

private:
  int Fail(std::string message) {
    // One line, whatever a library put into the reason.
    for (char& c : message) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(mErr, "%s: %s\n", kProgramName, message.c_str());
    return 1;
  }
  bool SetUpPlugin(std::string* error);
  bool WriteDemo(const std::string& path, std::string* error);

  std::FILE* mOut;
  std::FILE* mErr;
  HostOptions mOptions;
  std::string mModulePath;
  std::unique_ptr<host::HostedPlugin> mPlug;
};

// State first, then the program, then the settings: each may change what the
// one before set.
bool Host::SetUpPlugin(std::string* error) {
  if (!mOptions.loadState.empty()) {
    std::vector<uint8_t> bytes;
    if (!ReadStateFile(mOptions.loadState, &bytes, error)) return false;
    if (!mPlug->LoadState(bytes)) {
      *error = "the plug-in refused the state in '" + mOptions.loadState + "' (" + std::to_string(bytes.size()) +
               " bytes)";
      return false;
    }
  }
  if (!mOptions.preset.empty()) {
    const int idx = FindProgram(*mPlug, mOptions.preset, error);
    if (idx < 0) return false;
    mPlug->SetProgram(idx);
  }
  for (const auto& [name, value] : mOptions.settings) {
    if (!SetParameter(*mPlug, name, value, error)) return false;
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

int Host::Run(int argc, const char* const* argv) {
  std::string error;
  if (!ParseOptions(argc, argv, &mOptions, &error)) return Fail(error);
  if (mOptions.help) {
    std::fputs(UsageText().c_str(), mOut);
    return 0;
  }

  mModulePath = mOptions.module.empty() ? DefaultModulePath() : mOptions.module;
  mPlug = host::OpenPlugin(mModulePath, &error);
  if (!mPlug) return Fail(error);
  if (!SetUpPlugin(&error)) return Fail(error);
  if (mOptions.listPresets || mOptions.listParams) {
    const std::vector<ProgramEntry> programs = ListPrograms(*mPlug);
    const std::vector<ParamEntry> params = ListParams(*mPlug);
    PrintLists(mOut, mOptions.listPresets ? &programs : nullptr, mOptions.listParams ? &params : nullptr,
               mOptions.json);
    return 0;
  }
  if (mOptions.precision == host::Precision::kDouble && !mPlug->CanProcessDouble()) {
    return Fail("the plug-in in '" + mModulePath + "' cannot process double precision");
  }

  std::string input = mOptions.input;
  if (input.empty()) {
    input = std::string(kDemoFolder) + "/demo.wav";
    if (!mOptions.output.empty() && SameFile(input, mOptions.output)) {
      return Fail("the output '" + mOptions.output + "' would overwrite the demo input");
    }
  }
  const std::string output = mOptions.output.empty() ? DefaultOutputPath(input) : mOptions.output;
  if (SameFile(input, output)) return Fail("the output '" + output + "' would overwrite the input");
  if (!mOptions.saveState.empty()) {
    for (const std::string& audio : {input, output}) {
      if (SameFile(mOptions.saveState, audio)) {
        return Fail("the state file '" + mOptions.saveState + "' would overwrite '" + audio + "'");
      }
    }
  }
  if (mOptions.input.empty() && !WriteDemo(input, &error)) return Fail(error);

  const auto started = std::chrono::steady_clock::now();
  AudioReader reader;
  if (!reader.Open(input, &error)) return Fail(error);
  const AudioInfo info = reader.Info();
  const int outputFormat = OutputFormatFor(info.format);
  mPlug->Configure(info.sampleRate, mOptions.block, info.channels, mOptions.precision);

  RenderSetup setup;
  setup.block = mOptions.block;
  setup.precision = mOptions.precision;
  setup.stopped = mOptions.stopped;
  setup.startSeconds = mOptions.startSeconds;
  setup.events = mOptions.events;
  setup.delayFrames = OutputDelayFrames(*mPlug, info.sampleRate);
  setup.progress = isatty(fileno(mErr)) ? mErr : nullptr;

  AudioWriter writer;
  if (!writer.Open(output, info.sampleRate, info.channels, outputFormat, &error)) return Fail(error);
  ReportData report;
  if (!Render(reader, writer, *mPlug, setup, &report.result, &error)) return Fail(error);
  report.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!writer.Commit(&error)) return Fail(error);

  if (!mOptions.saveState.empty()) {
    const std::vector<uint8_t> state = mPlug->SaveState();
    if (state.empty()) return Fail("the plug-in gave no state to save to '" + mOptions.saveState + "'");
    if (!WriteStateFile(mOptions.saveState, state, &error)) return Fail(error);
  }

  report.module = {mModulePath, mPlug->Format(), mPlug->Name(), mPlug->Vendor(), mPlug->Version(),
                   mPlug->HasEditor()};
  report.input = input;
  report.output = output;
  report.outputFormat = SampleFormatName(outputFormat);
  report.sampleRate = info.sampleRate;
  report.channels = info.channels;
  report.programIndex = mPlug->CurrentProgram();
  report.programName = mPlug->ProgramName(report.programIndex);
  report.params = ListParams(*mPlug);
  report.precision = mOptions.precision;
  report.block = mOptions.block;
  report.stopped = mOptions.stopped;
  report.startSeconds = mOptions.startSeconds;
  report.events = mOptions.events;
  report.delayFrames = setup.delayFrames;
  report.loadedState = mOptions.loadState;
  report.savedState = mOptions.saveState;
  if (mOptions.json) {
    PrintReportJson(mOut, report);
  } else {
    PrintReport(mOut, report);
  }
  return 0;
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
  return 1;
}

}  // namespace quarv::render
