// One plug-in instance as the command-line host sees it, whatever the format
// of its module: identity, parameters, programs, saved state, the processing
// set-up and the two processing precisions, for a VST 2.4 module or a VST 3
// bundle alike. The editor window (EditorWindow) reaches the format's own
// object through AsVst2 and AsVst3.
//
// Threads: one instance is driven from one thread. Process allocates nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/host/Transport.h"

namespace quarv::host {

class Vst2Plugin;
class Vst3Plugin;

enum class Precision { kSingle, kDouble };

class HostedPlugin {
public:
  virtual ~HostedPlugin() = default;

  // "VST 2.4", ...
  virtual std::string Format() const = 0;
  virtual std::string Name() = 0;
  virtual std::string Vendor() = 0;
  virtual int32_t Version() = 0;
  virtual bool HasEditor() = 0;
  virtual bool CanProcessDouble() = 0;
  // Frames by which the plug-in says its output is late.
  virtual int LatencyFrames() = 0;

  // Parameters. The display text comes without the unit label.
  virtual int NumParams() = 0;
  virtual std::string ParamName(int index) = 0;
  virtual std::string ParamLabel(int index) = 0;
  virtual std::string ParamDisplay(int index) = 0;
  virtual double ParamNormalized(int index) = 0;
  virtual void SetParamNormalized(int index, double value) = 0;
  // The plug-in reads the text itself; false when it refuses.
  virtual bool SetParamFromText(int index, const std::string& text) = 0;
  // What a plug-in may tell beyond its format's basics: the texts of a list
  // parameter in order (empty when it is no list or the plug-in does not
  // say) and the display of a normalised value (none when it does not say).
  virtual std::vector<std::string> ParamTexts(int index) = 0;
  virtual std::optional<std::string> DisplayOfNormalized(int index, double normalized) = 0;

  // Programs (factory presets). An empty name marks a free slot.
  virtual int NumPrograms() = 0;
  virtual std::string ProgramName(int index) = 0;
  virtual int CurrentProgram() = 0;
  virtual void SetProgram(int index) = 0;

  // The plug-in's saved state as the format hands it out; LoadState is false
  // when the plug-in refuses the bytes.
  virtual std::vector<uint8_t> SaveState() = 0;
  virtual bool LoadState(const std::vector<uint8_t>& bytes) = 0;

  // Sample rate, maximum block size and channel count (1 or 2) before
  // processing starts; settings, programs and state may change afterwards.
  // The precision is the one Process will be called with.
  virtual void Configure(double sampleRate, int maxBlock, int channels, Precision precision) = 0;
  // Processing switched on and off (a DAW's transport-independent
  // activation). Blocks of at most maxBlock frames in between; one buffer per
  // channel. The transport advances with every block.
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void Process(float* const* in, float* const* out, int frames) = 0;
  virtual void Process(double* const* in, double* const* out, int frames) = 0;

  virtual Transport& GetTransport() = 0;

  // The format's own object, for what only that format has (its editor):
  // null for the other formats.
  virtual Vst2Plugin* AsVst2() { return nullptr; }
  virtual Vst3Plugin* AsVst3() { return nullptr; }
};

// Loads the module at path and opens one instance. Returns null with a
// one-line reason (no such file, not a module, no entry point, no plug-in
// created, a format this host does not load yet).
std::unique_ptr<HostedPlugin> OpenPlugin(const std::string& path, std::string* error);

}  // namespace quarv::host
