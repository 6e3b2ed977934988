// Streams an input file through a hosted plug-in into a writer, the way a DAW
// renders a track: blocks of at most the block size, the transport advancing
// and changing at exact frames, the plug-in's delay compensated. The input
// and the result are measured on two threads beside the processing.
//
// Runs on the calling thread (plus the two measuring threads it starts).
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
};

struct StreamFigures {
  std::optional<double> integratedLufs;
  std::optional<double> maxMomentaryLufs;
  double rangeLu = 0.0;
};

struct RenderResult {
  int64_t frames = 0;
  StreamFigures input, output;
  GainReduction reduction;
};

// The plug-in must be configured for the reader's rate and channels with the
// setup's block size; Render switches processing on and off around the run.
bool Render(AudioReader& reader, AudioWriter& writer, host::HostedPlugin& plug, const RenderSetup& setup,
            RenderResult* result, std::string* error);

}  // namespace quarv::render
