#include "tools/RenderOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quarv::render {
namespace {

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  const size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool ParseBlock(const std::string& text, int* block, std::string* error) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < 1 || v > kMaxBlock) {
    *error = "bad block size '" + text + "': give a whole number of frames from 1 to " +
             std::to_string(kMaxBlock);
    return false;
  }
  *block = static_cast<int>(v);
  return true;
}

bool ParseSetting(const std::string& text, RenderOptions* options, std::string* error) {
  const size_t eq = text.find('=');
  const std::string name = eq == std::string::npos ? "" : Trim(text.substr(0, eq));
  const std::string value = eq == std::string::npos ? "" : Trim(text.substr(eq + 1));
  if (name.empty() || value.empty()) {
    *error = "bad setting '" + text + "': expected \"Name=value\", e.g. \"Window=20ms\"";
    return false;
  }
  options->settings.emplace_back(name, value);
  return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, RenderOptions* options, std::string* error) {
  bool inputSeen = false;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!onlyFiles && arg == "--") {
      onlyFiles = true;
      continue;
    }
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      if (inputSeen) {
        *error = "more than one input file given ('" + options->input + "' and '" + arg + "')";
        return false;
      }
      options->input = arg;
      inputSeen = true;
      if (arg.empty()) {
        *error = "the input file name is empty";
        return false;
      }
      continue;
    }

    // "--name=value" and "--name value" are the same.
    std::string name = arg, value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        inlineValue = true;
      }
    }
    auto takeValue = [&](std::string* out) {
      if (inlineValue) {
        *out = value;
        return true;
      }
      if (i + 1 >= argc) {
        *error = "option " + name + " needs a value (see --help)";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    auto noValue = [&]() {
      if (!inlineValue) return true;
      *error = "option " + name + " takes no value";
      return false;
    };

    if (name == "--help" || name == "-h") {
      if (!noValue()) return false;
      options->help = true;
    } else if (name == "--list-presets") {
      if (!noValue()) return false;
      options->listPresets = true;
    } else if (name == "--stopped") {
      if (!noValue()) return false;
      options->stopped = true;
    } else if (name == "--preset" || name == "-p") {
      if (!takeValue(&options->preset)) return false;
      if (Trim(options->preset).empty()) {
        *error = "option --preset needs a preset name or index";
        return false;
      }
    } else if (name == "--out" || name == "-o") {
      if (!takeValue(&options->output)) return false;
      if (options->output.empty()) {
        *error = "option --out needs a file name";
        return false;
      }
    } else if (name == "--block") {
      std::string text;
      if (!takeValue(&text) || !ParseBlock(text, &options->block, error)) return false;
    } else if (name == "--set" || name == "-s") {
      std::string text;
      if (!takeValue(&text) || !ParseSetting(text, options, error)) return false;
    } else {
      *error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return R"(Usage: quarvelline-render [options] [INPUT]

Runs an audio file through the Quarvelline loudness limiter and writes the
limited result as a WAV file, then reports what the limiter measured.

INPUT is any mono or stereo file libsndfile reads (WAV, AIFF, FLAC, Ogg, ...)
at 8 to 768 kHz. The result keeps the input's sample rate, channel count and
sample format (PCM width or float; compressed sources give 32-bit float) and
is written beside it: song.wav -> song-quarvelline.wav. The input is never
overwritten, and the result appears only once it is complete. Without INPUT
the built-in demo (a minute of music-like material at 48 kHz with loud and
quiet passages) is written to quarvelline-demo/demo.wav in the current folder
and limited into quarvelline-demo/demo-quarvelline.wav.

Options:
  -p, --preset NAME|INDEX  factory preset by exact name (case does not matter)
                           or slot index, see --list-presets
                           (default "Spotify: -14 LUFS")
      --list-presets       print the preset slots with their indices and exit
  -s, --set "Name=value"   set a parameter after the preset is loaded; may be
                           repeated, applied in order. Name is the parameter's
                           name, value a number (a unit may follow) or one of
                           the parameter's texts, e.g. --set "Window=20ms"
                           --set "Out Limit=-16" --set "Look Ahead=5ms"
                           --set "Reset on play=no"
  -o, --out PATH           write the result to PATH (always a WAV file)
      --block N            frames per processing call, 1 to 65536 (default 512)
      --stopped            run with the host transport stopped (default:
                           playing from position 0). With "Graph when play"
                           at "yes" nothing is then integrated or graphed.
  -h, --help               print this text and exit

The look-ahead delay is compensated: the result lines up with the input and
has the same length. The report gives the maximum momentary loudness, the
integrated loudness ("- - -" when nothing was integrated), the maximum
attenuation and the number of 50-ms history points the limiter stored, as
measured over the input (before the look-ahead tail is flushed).

Exit status: 0 on success; 1 with a one-line message on stderr for bad
options, unknown presets or parameters, bad values and unreadable or
unwritable files.
)";
}

}  // namespace quarv::render
