// Command line of the renderer: what to render, with which preset and
// settings, and where the result goes. Parsing only; nothing is opened here.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quarv::render {

inline constexpr const char* kDefaultPreset = "Spotify: -14 LUFS";
inline constexpr int kDefaultBlock = 512;
inline constexpr int kMaxBlock = 65536;

struct RenderOptions {
  bool help = false;
  bool listPresets = false;
  std::string input;   // empty: render the built-in demo
  std::string output;  // empty: beside the input
  std::string preset = kDefaultPreset;
  int block = kDefaultBlock;
  bool stopped = false;
  // "Name=value" settings in the order given, split at the first '='.
  std::vector<std::pair<std::string, std::string>> settings;
};

// Parses argv[1..argc-1]. Returns false with a one-line reason for unknown
// options, missing or bad values and more than one input file.
bool ParseOptions(int argc, const char* const* argv, RenderOptions* options, std::string* error);

// The --help text.
std::string UsageText();

}  // namespace quarv::render
