// Streams an input file through a hosted plug-in into a writer, the way a DAW
// renders a track: blocks of at most the block size, the transport advancing
// and changing at exact frames, the plug-in's delay compensated. The input
// and the result are measured as they pass.
//
// Runs on the calling thread alone: one file keeps one core busy, so several
// files rendered at once share the cores without competing threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/AudioFile.h"
#include "tools/HostOptions.h"
#include "tools/Loudness.h"
#include "tools/host/HostedPlugin.h"

namespace quarv::render {

struct RenderSetup {
  int block = kDefaultBlock;
  host::Precision precision = host::Precision::kSingle;
  bool stopped = false;
  double startSeconds = 0.0;
  std::vector<TransportEvent> events;
  // Frames dropped from the start of the output and flushed at its end.
  int delayFrames = 0;
  // Where the progress bar goes; null for none.
  std::FILE* progress = nullptr;
  // The largest sample the result's PCM format holds (HighestSample); none
  // for a float result, whose samples are not counted as clipped.
  std::optional<double> clipHighest;
};

struct StreamFigures {
  std::optional<double> integratedLufs;
  std::optional<double> maxMomentaryLufs;
  double rangeLu = 0.0;
  std::optional<double> samplePeakDb, truePeakDb;
  // Momentary loudness every 100 ms and the energy of every 100-ms step, as
  // LoudnessTrack gives them.
  std::vector<double> momentary, stepEnergy;
};

// Samples of the result beyond what its PCM format holds.
struct Clipping {
  bool counted = false;  // false for a float result
  int64_t samples = 0;
  int64_t firstFrame = -1;  // -1 when none
  int firstChannel = 0;     // 0 left (or mono), 1 right
};

struct RenderResult {
  int64_t frames = 0;
  StreamFigures input, output;
  GainReduction reduction;
  Clipping clipping;
  int stepFrames = 0;  // frames of a 100-ms step
};

// The plug-in must be configured for the reader's rate and channels with the
// setup's block size; Render switches processing on and off around the run.
bool Render(AudioReader& reader, AudioWriter& writer, host::HostedPlugin& plug, const RenderSetup& setup,
            RenderResult* result, std::string* error);

}  // namespace quarv::render
