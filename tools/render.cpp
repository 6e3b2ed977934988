// quarvelline-render: runs an audio file (or the built-in demo) through the
// limiter with a chosen preset, writes the limited WAV beside it and reports
// what the engine measured. See UsageText() for the command line.
//
// The program is three separate layers: options (RenderOptions), files
// (AudioFile) and the plug-in (LimiterSession); this file joins them and
// prints the report.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/AudioFile.h"
#include "tools/LimiterSession.h"
#include "tools/RenderOptions.h"
#include "tools/Signals.h"

using namespace quarv::render;

namespace {

constexpr const char* kProgram = "quarvelline-render";
constexpr const char* kDemoFolder = "quarvelline-demo";
constexpr double kDemoSeconds = 60.0;
constexpr double kDemoRate = 48000.0;

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return 1;
}

void PrintPresets(const LimiterSession& session) {
  std::printf("Preset slots (use --preset INDEX or --preset NAME):\n");
  for (int i = 0; i < session.PresetCount(); ++i) {
    if (session.PresetDefined(i)) {
      std::printf("  %2d  %s\n", i, session.PresetName(i).c_str());
    } else {
      std::printf("  %2d  (free slot)\n", i);
    }
  }
}

// Writes the demo material as a 32-bit float WAV.
bool WriteDemo(const std::string& path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(kDemoFolder, ec);
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

struct RenderResult {
  int64_t frames = 0;
  int delayFrames = 0;
  EngineReadouts readouts;
};

// Streams the input through the session into the writer. The look-ahead
// delay is compensated: its first frames are dropped and the tail is flushed
// with silence, so the result lines up with the input at the same length.
// The readouts are taken before the flush, over the input alone.
bool Render(AudioReader& reader, AudioWriter& writer, LimiterSession& session, int block,
            bool playing, RenderResult* result, std::string* error) {
  const AudioInfo& info = reader.Info();
  const int nch = info.channels;
  const int64_t chunk = static_cast<int64_t>(block) * std::max(1, 16384 / block);
  session.Start(info.sampleRate, block, nch, playing);

  std::vector<std::vector<double>> buffer(static_cast<size_t>(nch));
  int64_t toDrop = -1;  // unknown until the first block has run
  auto processAndWrite = [&](int64_t frames) {
    for (int64_t done = 0; done < frames; done += block) {
      double* ptrs[2] = {buffer[0].data() + done, nch > 1 ? buffer[1].data() + done : nullptr};
      session.Process(ptrs, static_cast<int>(std::min<int64_t>(block, frames - done)));
    }
    if (toDrop < 0) {
      result->delayFrames = session.DelayFrames();
      toDrop = result->delayFrames;
    }
    const int64_t drop = std::min(toDrop, frames);
    toDrop -= drop;
    return writer.Write(buffer, drop, frames - drop, error);
  };

  for (;;) {
    const int64_t got = reader.Read(buffer, chunk, error);
    if (got < 0) return false;
    if (got == 0) break;
    result->frames += got;
    if (!processAndWrite(got)) return false;
  }
  if (result->frames == 0) {
    *error = "the input holds no audio frames";
    return false;
  }
  result->readouts = session.Readouts();

  for (int64_t left = result->delayFrames; left > 0;) {
    const int64_t n = std::min(chunk, left);
    for (auto& c : buffer) c.assign(static_cast<size_t>(n), 0.0);
    if (!processAndWrite(n)) return false;
    left -= n;
  }
  return true;
}

std::string Lufs(bool has, double value) {
  if (!has) return "- - -";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f LUFS", value);
  return buf;
}

void PrintReport(const RenderOptions& options, const std::string& input, const std::string& output,
                 const AudioInfo& info, int outputFormat, int presetIdx,
                 const LimiterSession& session, const RenderResult& r) {
  const double seconds = static_cast<double>(r.frames) / info.sampleRate;
  std::printf("input:     %s\n", input.c_str());
  std::printf("output:    %s (%s WAV)\n", output.c_str(), SampleFormatName(outputFormat).c_str());
  std::printf("frames:    %" PRId64 " (%.3f s) at %d Hz, %s\n", r.frames, seconds, info.sampleRate,
              info.channels == 1 ? "mono" : "stereo");
  std::printf("preset:    \"%s\" (slot %d)\n", session.PresetName(presetIdx).c_str(), presetIdx);
  std::string settings;
  for (const ParameterText& p : session.ParameterTexts()) {
    settings += (settings.empty() ? "" : ", ") + p.name + " " + p.value;
  }
  std::printf("settings:  %s\n", settings.c_str());
  std::printf("transport: %s, blocks of %d frames\n", options.stopped ? "stopped" : "playing from 0",
              options.block);
  if (r.delayFrames > 0) {
    std::printf("look-ahead delay: %d frames, compensated\n", r.delayFrames);
  }
  const EngineReadouts& e = r.readouts;
  std::printf("maximum momentary loudness: %s\n", Lufs(e.hasMaximum, e.maximumLufs).c_str());
  std::printf("integrated loudness:        %s\n", Lufs(e.hasIntegrated, e.integratedLufs).c_str());
  std::printf("maximum attenuation:        %.2f dB\n", e.maxAttenuationDb);
  std::printf("history points stored:      %d\n", e.historyPoints);
}

int Run(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) return Fail(error);
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }

  LimiterSession session;
  if (options.listPresets) {
    PrintPresets(session);
    return 0;
  }
  const int presetIdx = session.FindPreset(options.preset, &error);
  if (presetIdx < 0 || !session.LoadPreset(presetIdx, &error)) return Fail(error);
  for (const auto& [name, value] : options.settings) {
    if (!session.SetParameter(name, value, &error)) return Fail(error);
  }

  std::string input = options.input;
  if (input.empty()) {
    input = std::string(kDemoFolder) + "/demo.wav";
    if (!options.output.empty() && SameFile(input, options.output)) {
      return Fail("the output '" + options.output + "' would overwrite the demo input");
    }
    if (!WriteDemo(input, &error)) return Fail(error);
  }
  const std::string output = options.output.empty() ? DefaultOutputPath(input) : options.output;
  if (SameFile(input, output)) return Fail("the output '" + output + "' would overwrite the input");

  AudioReader reader;
  if (!reader.Open(input, &error)) return Fail(error);
  const AudioInfo info = reader.Info();
  const int outputFormat = OutputFormatFor(info.format);
  AudioWriter writer;
  if (!writer.Open(output, info.sampleRate, info.channels, outputFormat, &error)) return Fail(error);

  RenderResult result;
  if (!Render(reader, writer, session, options.block, !options.stopped, &result, &error) ||
      !writer.Commit(&error)) {
    return Fail(error);
  }
  PrintReport(options, input, output, info, outputFormat, presetIdx, session, result);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return Fail(std::string("unexpected failure: ") + e.what());
  } catch (...) {
    return Fail("unexpected failure");
  }
}
