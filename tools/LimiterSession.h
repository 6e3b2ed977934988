// The renderer's side of the plug-in: one limiter instance driven the way a
// host drives it (open, preset, parameters, sample rate, block size,
// activate, transport, blocks of audio) plus the engine's readouts for the
// report. This in-process session is the only part of the renderer that
// knows the plug-in class; file I/O, options and the report go through this
// interface alone.
//
// Single-threaded use. Process allocates nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

class CLS_QUARVELLINE;

namespace quarv::render {

// What the engine saw.
struct EngineReadouts {
  bool hasMaximum = false;
  double maximumLufs = 0.0;  // largest momentary loudness
  bool hasIntegrated = false;
  double integratedLufs = 0.0;
  double maxAttenuationDb = 0.0;  // positive dB
  int historyPoints = 0;
};

struct ParameterText {
  std::string name;
  std::string value;  // display text with its unit label, e.g. "-14.0 lu"
};

class LimiterSession {
public:
  // Creates the plug-in and opens it (every parameter applied once).
  LimiterSession();
  ~LimiterSession();
  LimiterSession(const LimiterSession&) = delete;
  LimiterSession& operator=(const LimiterSession&) = delete;

  int PresetCount() const;
  std::string PresetName(int idx) const;
  // True when the slot holds a preset (the default slot and the factory
  // presets); the free slots hold none.
  bool PresetDefined(int idx) const;
  // A slot index (digits only) or a preset name: exact first, then ignoring
  // case. Returns -1 with a one-line reason.
  int FindPreset(const std::string& nameOrIndex, std::string* error) const;
  // Loads a defined slot; the default slot keeps the plug-in's defaults.
  bool LoadPreset(int idx, std::string* error);

  // Sets a parameter by name (exact, then ignoring case) from a number, with
  // or without the parameter's unit, or one of its display texts. Values
  // outside the range are refused.
  bool SetParameter(const std::string& name, const std::string& value, std::string* error);
  std::vector<ParameterText> ParameterTexts() const;

  // Host set-up before the first block: rate, block size, channel count
  // (1 or 2) and the transport (playing from position 0, or stopped).
  void Start(double sampleRate, int blockSize, int channels, bool playing);
  // One host call on planar buffers, processed in place; frames at most the
  // block size given to Start.
  void Process(double* const* channels, int frames);
  // Frames by which the look-ahead delays the output; known after the first
  // Process call.
  int DelayFrames() const;
  EngineReadouts Readouts() const;

private:
  int FindParameter(const std::string& name) const;

  std::unique_ptr<CLS_QUARVELLINE> mPlug;
  int mChannels = 2;
};

}  // namespace quarv::render
