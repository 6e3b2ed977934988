#include "tools/HostOptions.h"

#include <strings.h>

#include <cerrno>
#include <charconv>
#include <cmath>
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

bool ParseSetting(const std::string& text, HostOptions* options, std::string* error) {
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

bool ParseTime(const std::string& option, const std::string& text, double* seconds, std::string* error) {
  if (ParseSeconds(text, seconds)) return true;
  *error = "bad time '" + text + "' for " + option + ": give seconds (\"12.5\", \"12.5s\") or \"800ms\"";
  return false;
}

bool ParseLocate(const std::string& text, TransportEvent* event, std::string* error) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || !ParseSeconds(Trim(text.substr(0, colon)), &event->atSeconds) ||
      !ParseSeconds(Trim(text.substr(colon + 1)), &event->toSeconds)) {
    *error = "bad locate '" + text + "': expected AT:TO in seconds, e.g. \"10:30\"";
    return false;
  }
  event->kind = TransportEvent::Kind::kLocate;
  return true;
}

// A number with an optional unit after it (any case, spaces allowed).
bool ParseNumberWithUnit(const std::string& text, const char* unit, double* value) {
  std::string t = Trim(text);
  const size_t u = std::strlen(unit);
  if (t.size() > u && strcasecmp(t.c_str() + t.size() - u, unit) == 0) t = Trim(t.substr(0, t.size() - u));
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  const auto [rest, ec] = std::from_chars(t.data(), t.data() + t.size(), *value);
  return !t.empty() && ec == std::errc() && rest == t.data() + t.size() && std::isfinite(*value);
}

}  // namespace

bool ParseTarget(const std::string& text, DeliveryTarget* target) {
  const size_t comma = text.find(',');
  DeliveryTarget t;
  if (!ParseNumberWithUnit(text.substr(0, comma), "LUFS", &t.lufs) || t.lufs > 0.0 || t.lufs < -70.0) return false;
  if (comma != std::string::npos) {
    double peak = 0.0;
    if (!ParseNumberWithUnit(text.substr(comma + 1), "dBTP", &peak) || peak > 0.0 || peak < -70.0) return false;
    t.truePeakDb = peak;
  }
  *target = t;
  return true;
}

bool ParseSeconds(const std::string& text, double* seconds) {
  std::string t = Trim(text);
  double scale = 1.0;
  if (t.size() > 2 && t.compare(t.size() - 2, 2, "ms") == 0) {
    scale = 0.001;
    t.resize(t.size() - 2);
  } else if (t.size() > 1 && t.back() == 's') {
    t.pop_back();
  }
  t = Trim(t);
  double v = 0.0;
  const auto [rest, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || rest != t.data() + t.size() || !std::isfinite(v) || v < 0.0) {
    return false;
  }
  *seconds = v * scale;
  return true;
}

bool ParseOptions(int argc, const char* const* argv, HostOptions* options, std::string* error) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!onlyFiles && arg == "--") {
      onlyFiles = true;
      continue;
    }
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      if (arg.empty()) {
        *error = "the input file name is empty";
        return false;
      }
      options->inputs.push_back(arg);
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
    auto takePath = [&](std::string* out, const char* what) {
      if (!takeValue(out)) return false;
      if (!out->empty()) return true;
      *error = "option " + name + " needs " + what;
      return false;
    };
    auto flag = [&](bool* out) {
      if (inlineValue) {
        *error = "option " + name + " takes no value";
        return false;
      }
      *out = true;
      return true;
    };

    std::string text;
    if (name == "--help" || name == "-h") {
      if (!flag(&options->help)) return false;
    } else if (name == "--list-presets") {
      if (!flag(&options->listPresets)) return false;
    } else if (name == "--list-params") {
      if (!flag(&options->listParams)) return false;
    } else if (name == "--json") {
      if (!flag(&options->json)) return false;
    } else if (name == "--stopped") {
      if (!flag(&options->stopped)) return false;
    } else if (name == "--allow-clipping") {
      if (!flag(&options->allowClipping)) return false;
    } else if (name == "--no-chart") {
      if (!flag(&options->noChart)) return false;
    } else if (name == "--chart") {
      if (!takePath(&options->chart, "a file name")) return false;
    } else if (name == "--editor-png") {
      if (!takePath(&options->editorPng, "a file name")) return false;
    } else if (name == "--target") {
      DeliveryTarget target;
      if (!takeValue(&text)) return false;
      if (!ParseTarget(text, &target)) {
        *error = "bad target '" + text + "': expected LUFS[,dBTP] from -70 to 0, e.g. \"-14,-1\"";
        return false;
      }
      options->target = target;
    } else if (name == "--module" || name == "-m") {
      if (!takePath(&options->module, "a module file")) return false;
    } else if (name == "--preset" || name == "-p") {
      if (!takeValue(&options->preset)) return false;
      if (Trim(options->preset).empty()) {
        *error = "option --preset needs a preset name or index";
        return false;
      }
    } else if (name == "--out" || name == "-o") {
      if (!takePath(&options->output, "a file name")) return false;
    } else if (name == "--load-state") {
      if (!takePath(&options->loadState, "a file name")) return false;
    } else if (name == "--save-state") {
      if (!takePath(&options->saveState, "a file name")) return false;
    } else if (name == "--block") {
      if (!takeValue(&text) || !ParseBlock(text, &options->block, error)) return false;
    } else if (name == "--precision") {
      if (!takeValue(&text)) return false;
      if (text == "single") {
        options->precision = host::Precision::kSingle;
      } else if (text == "double") {
        options->precision = host::Precision::kDouble;
      } else {
        *error = "bad precision '" + text + "': give single or double";
        return false;
      }
    } else if (name == "--set" || name == "-s") {
      if (!takeValue(&text) || !ParseSetting(text, options, error)) return false;
    } else if (name == "--start") {
      if (!takeValue(&text) || !ParseTime(name, text, &options->startSeconds, error)) return false;
    } else if (name == "--stop-at" || name == "--play-at") {
      TransportEvent e;
      e.kind = name == "--stop-at" ? TransportEvent::Kind::kStop : TransportEvent::Kind::kPlay;
      if (!takeValue(&text) || !ParseTime(name, text, &e.atSeconds, error)) return false;
      options->events.push_back(e);
    } else if (name == "--locate") {
      TransportEvent e;
      if (!takeValue(&text) || !ParseLocate(text, &e, error)) return false;
      options->events.push_back(e);
    } else {
      *error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
  }
  if (!options->chart.empty() && options->noChart) {
    *error = "--chart and --no-chart contradict each other";
    return false;
  }
  if (options->inputs.size() > 1) {
    for (const auto& [option, value] : {std::pair<const char*, const std::string&>{"--out", options->output},
                                        {"--chart", options->chart},
                                        {"--editor-png", options->editorPng},
                                        {"--save-state", options->saveState}}) {
      if (value.empty()) continue;
      *error = std::string(option) + " names one file and cannot be used with " +
               std::to_string(options->inputs.size()) + " inputs";
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return R"(Usage: quarvelline-host [options] [INPUT...]

Loads a plug-in module the way a DAW does (open, sample rate, block size,
processing on, blocks of audio, processing off, close), runs audio files
through it, writes each result as a WAV file with a loudness chart beside it
and reports loudness and peaks of input and result, measured independently
of the plug-in (libebur128), optionally against a delivery target.

INPUT is any mono or stereo file libsndfile reads (WAV, AIFF, FLAC, Ogg, ...)
at 8 to 768 kHz. The result keeps the input's sample rate, channel count and
sample format (PCM width or float; compressed sources give 32-bit float) and
is written beside it: song.wav -> song-quarvelline.wav, with the chart
song-quarvelline.png. The input is never overwritten, and results and charts
appear only once they are complete. Without INPUT the built-in demo (a minute
of music-like material at 48 kHz with loud and quiet passages) is written to
quarvelline-demo/demo.wav in the current folder and rendered into
quarvelline-demo/demo-quarvelline.wav.

Several INPUTs render in one call, each through its own plug-in instance,
as many at a time as the machine has cores; the report is one table (one
row a file) or, with --json, one JSON array. A file that fails is reported
on stderr and in the table and does not stop the others. An input that is
the result of another input (left from an earlier run, as *.wav picks it
up) is skipped; a file whose result or chart would be another file's too is
refused.

Plug-in:
  -m, --module PATH        the module to load: a VST 3 bundle (.vst3) or a
                           VST 2.4 module (.so) (default: the
                           Quarvelline3.vst3 built with this program)
  -p, --preset NAME|INDEX  select a program by exact name (case does not
                           matter) or index, see --list-presets (default:
                           the plug-in's current program)
  -s, --set "Name=value"   set a parameter after the program; may be
                           repeated, applied in order. Name is the
                           parameter's name, value a number (its unit may
                           follow) or one of its display texts, e.g.
                           --set "Window=20ms" --set "Out Limit=-16"
                           --set "Look Ahead=5ms" --set "Reset on play=no".
                           A number outside the parameter's range, a text it
                           does not know or a value that does not read as
                           either is refused.
      --load-state FILE    give the plug-in this saved state (its chunk)
                           after opening it, before --preset and --set
      --save-state FILE    save the plug-in's state (its chunk) to FILE after
                           rendering (one input only)
      --list-params        print the parameters with their current display
                           texts (after --load-state, --preset and --set)
                           and exit
      --list-presets       print the programs with their indices and exit

Rendering:
  -o, --out PATH           write the result to PATH (always a WAV file; one
                           input only)
      --block N            frames per processing call, 1 to 65536 (default 512)
      --precision P        single (processReplacing, the default) or double
                           (processDoubleReplacing)

Transport (the host's simulated song position and play state):
      --stopped            start with the transport stopped (default: playing)
      --start TIME         song position at the first frame (default 0)
      --stop-at TIME       stop the transport when the input reaches TIME
      --play-at TIME       start playing when the input reaches TIME
      --locate AT:TO       when the input reaches AT, the song position jumps
                           to TO (both in seconds)
                           TIME is seconds ("12.5", "12.5s") or "800ms"; the
                           last three may be repeated and take effect at the
                           exact frame (the processing call is split there).

Report:
      --chart FILE.png     draw the chart to FILE.png (one input only;
                           default: beside the result, .wav -> .png)
      --no-chart           draw no chart
      --editor-png FILE.png
                           after rendering, open the plug-in's own editor
                           through the module's editor interface in a
                           window of the host on the X server, let it run
                           for half a second and save what the window shows
                           (one input only). Needs an X server: without
                           DISPLAY, run under xvfb-run (Debian package
                           xvfb), e.g. xvfb-run -a quarvelline-host
                           --editor-png editor.png
      --target LUFS[,dBTP] check each result against a delivery target, e.g.
                           "-14,-1": integrated loudness within 1.0 LU of
                           LUFS and, when given, a true peak at or below
                           dBTP (both as the report shows them, to two
                           decimals); the report ends with a pass or FAIL
                           line
      --allow-clipping     clipped samples in a PCM result do not change the
                           exit status
      --json               print the report (or the lists) as JSON
  -h, --help               print this text and exit

The plug-in's look-ahead is compensated: the host reads the "Look Ahead"
parameter's display (q = tenths of a millisecond), delays by
ceil(L / 2) - 1 frames with L = round(rate * 2 * q * 0.0001), adds the
latency the module reports, drops that many frames from the start of the
output and flushes the end with silence, so the result lines up with the
input at the same length.

The report gives, for the input and the result: integrated loudness,
maximum momentary loudness (400-ms windows every 100 ms), loudness range,
sample peak (dBFS), true peak (dBTP, libebur128's 4-times oversampling
below 96 kHz) and the peak-to-loudness ratio (true peak minus integrated
loudness), "- - -" where the signal gives none. The largest gain reduction
is the largest drop from the input's momentary loudness to the result's at
the same 100-ms step, over the windows where both are above -70 LUFS (0
when the result is never quieter). A result in a PCM format holds samples
from -1 to 1 - 2^-(bits - 1); the report counts the samples beyond, which
the file holds clipped, and gives the first one. The result's figures are
those of the samples the plug-in produced, before a PCM file clips them. The real-time factor is the
input's duration divided by the wall-clock time from opening the input until
every figure is measured. While a single file of more than 5 seconds
renders, a progress bar is drawn on stderr when stderr is a terminal.

The chart (1200 x 600 pixels) shows the momentary loudness of input and
result over time with their integrated values and the "Out Limit", and
below it the plug-in's gain reduction as the host observes it: the energy
of the result against the energy of the input after "Input Gain", every
100 ms.

Exit status:
  0  success
  1  a one-line message on stderr: bad options, a module that does not
     load, unknown presets or parameters, bad values, a state the plug-in
     refuses, unreadable or unwritable files; with several inputs, any file
     that failed. Nothing already written is lost: a failed file leaves no
     partial result or chart.
  2  a PCM result has clipped samples (it is written all the same), unless
     --allow-clipping
  3  a result misses the --target (outranks 2)
)";
}

}  // namespace quarv::render
