// Command line of the host: which module, what to render, with which
// program, settings, state and transport, where the result goes and how the
// report is printed. Parsing only; nothing is opened here.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/host/HostedPlugin.h"

namespace quarv::render {

inline constexpr int kDefaultBlock = 512;
inline constexpr int kMaxBlock = 65536;

// A change of the simulated transport at a time of the input.
struct TransportEvent {
  enum class Kind { kStop, kPlay, kLocate };
  Kind kind = Kind::kStop;
  double atSeconds = 0.0;  // position in the input
  double toSeconds = 0.0;  // song position after a locate
};

// A delivery target: integrated loudness within kTargetToleranceLu of lufs
// and, when given, a true peak at or below truePeakDb.
inline constexpr double kTargetToleranceLu = 1.0;
struct DeliveryTarget {
  double lufs = 0.0;
  std::optional<double> truePeakDb;
};

struct HostOptions {
  bool help = false;
  bool listParams = false;
  bool listPresets = false;
  bool json = false;
  bool allowClipping = false;
  bool noChart = false;
  std::string module;               // empty: the module built beside the host
  std::vector<std::string> inputs;  // none: render the built-in demo
  std::string output;               // empty: beside the input
  std::string chart;                // empty: beside the result
  std::string editorPng;            // empty: the editor is not opened
  std::string preset;  // empty: keep the plug-in's current program
  int block = kDefaultBlock;
  host::Precision precision = host::Precision::kSingle;
  // "Name=value" settings in the order given, split at the first '='.
  std::vector<std::pair<std::string, std::string>> settings;
  std::string loadState;
  std::string saveState;
  bool stopped = false;
  double startSeconds = 0.0;
  // In the order given; the renderer applies them in time order.
  std::vector<TransportEvent> events;
  std::optional<DeliveryTarget> target;
};

// Parses argv[1..argc-1]. Returns false with a one-line reason for unknown
// options, missing or bad values, and options that name one file (--out,
// --chart, --save-state) given with several inputs.
bool ParseOptions(int argc, const char* const* argv, HostOptions* options, std::string* error);

// Reads a time: seconds with an optional "s", or milliseconds with "ms";
// not negative.
bool ParseSeconds(const std::string& text, double* seconds);

// Reads "LUFS[,dBTP]", e.g. "-14,-1" or "-23".
bool ParseTarget(const std::string& text, DeliveryTarget* target);

// The --help text.
std::string UsageText();

}  // namespace quarv::render
