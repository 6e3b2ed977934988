// Renders fixed material through a built module and writes one line per
// scenario: what was rendered and a digest of every output sample, then the
// display texts of every parameter across its range and a digest of the saved
// state. The Linux and the Windows build of this program, each loading its own
// platform's module, must write the same lines.
//   quarv_module_render <module or bundle> <output file>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/Signals.h"
#include "tools/host/HostedPlugin.h"

using quarv::host::HostedPlugin;
using quarv::host::Precision;

namespace {

struct Scenario {
  const char* name;
  double rate;
  int block;
  int preset;
  Precision precision;
  bool automate;  // moves parameters while rendering
};

// The factory presets across their kinds (default, streaming, look-ahead
// masters, long release, metering), the usual rates and an odd one, both
// precisions, an odd block size and automation.
const Scenario kScenarios[] = {
    {"default 48k double", 48000.0, 512, 0, Precision::kDouble, false},
    {"spotify 48k double", 48000.0, 512, 1, Precision::kDouble, false},
    {"slow music 48k double", 48000.0, 512, 7, Precision::kDouble, false},
    {"trance 48k double", 48000.0, 512, 10, Precision::kDouble, false},
    {"relaxation 48k double", 48000.0, 512, 17, Precision::kDouble, false},
    {"metering 48k double", 48000.0, 512, 19, Precision::kDouble, false},
    {"spotify 44.1k double", 44100.0, 512, 1, Precision::kDouble, false},
    {"spotify 96k double", 96000.0, 1024, 1, Precision::kDouble, false},
    {"spotify 8k double", 8000.0, 256, 1, Precision::kDouble, false},
    {"spotify 48k single", 48000.0, 512, 1, Precision::kSingle, false},
    {"down tempo 44.1k single", 44100.0, 512, 8, Precision::kSingle, false},
    {"dynamic 48k double, blocks of 333", 48000.0, 333, 9, Precision::kDouble, false},
    {"automated 48k double", 48000.0, 512, 1, Precision::kDouble, true},
    {"automated 44.1k single", 44100.0, 480, 13, Precision::kSingle, true},
};

class Digest {
public:
  void Add(const void* data, size_t n) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) {
      hash_ ^= bytes[i];
      hash_ *= 1099511628211ull;
    }
  }
  std::string Hex() const {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
    return text;
  }

private:
  unsigned long long hash_ = 1469598103934665603ull;
};

// Parameter moves of the automated scenarios, by block index.
void Automate(HostedPlugin& plug, size_t block) {
  switch (block) {
    case 20: plug.SetParamNormalized(0, 0.61); break;  // input gain
    case 40: plug.SetParamNormalized(2, 0.137); break;  // attack
    case 60: plug.SetParamNormalized(3, 0.29); break;  // release
    case 80: plug.SetParamNormalized(1, 0.3917); break;  // look-ahead
    case 100: plug.SetParamNormalized(5, 0.74); break;  // out limit
    case 120: plug.SetParamNormalized(4, 0.2); break;  // window
    case 140: plug.SetParamNormalized(0, 0.35); break;
    default: break;
  }
}

template <typename T>
std::string Render(HostedPlugin& plug, const Scenario& s) {
  const quarv::StereoBuffer demo = quarv::DemoMusic(4.0, s.rate);
  const size_t frames = demo.Frames();
  std::vector<T> inL(frames), inR(frames), outL(frames), outR(frames);
  for (size_t i = 0; i < frames; ++i) {
    // Loud enough to be limited, and exactly representable in both precisions.
    inL[i] = static_cast<T>(static_cast<float>(demo.left[i] * 1.4));
    inR[i] = static_cast<T>(static_cast<float>(demo.right[i] * 1.4));
  }
  plug.Configure(s.rate, s.block, 2, s.precision);
  plug.SetProgram(s.preset);
  plug.GetTransport().playing = true;
  plug.GetTransport().samplePos = 0.0;
  plug.Start();
  // Play for two seconds, stop for one, locate to the start and play again.
  const size_t second = static_cast<size_t>(s.rate);
  size_t block = 0;
  for (size_t i = 0; i < frames; i += static_cast<size_t>(s.block), ++block) {
    if (i >= 2 * second && i < 3 * second) plug.GetTransport().playing = false;
    if (i >= 3 * second && !plug.GetTransport().playing) {
      plug.GetTransport().playing = true;
      plug.GetTransport().samplePos = 0.0;
    }
    if (s.automate) Automate(plug, block);
    const int n = static_cast<int>(std::min(static_cast<size_t>(s.block), frames - i));
    T* in[2] = {inL.data() + i, inR.data() + i};
    T* out[2] = {outL.data() + i, outR.data() + i};
    plug.Process(in, out, n);
  }
  plug.Stop();
  Digest samples;
  samples.Add(outL.data(), frames * sizeof(T));
  samples.Add(outR.data(), frames * sizeof(T));
  Digest state;
  const std::vector<uint8_t> saved = plug.SaveState();
  state.Add(saved.data(), saved.size());
  return "samples " + samples.Hex() + " state " + state.Hex();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <module or bundle> <output file>\n", argv[0]);
    return 2;
  }
  std::string lines;
  for (const Scenario& s : kScenarios) {
    std::string error;
    std::unique_ptr<HostedPlugin> plug = quarv::host::OpenPlugin(argv[1], &error);
    if (!plug) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    lines += std::string(s.name) + ": " +
             (s.precision == Precision::kDouble ? Render<double>(*plug, s) : Render<float>(*plug, s)) + "\n";
  }

  // Display texts across each parameter's range, through the plug-in's own
  // number formatting.
  std::string error;
  std::unique_ptr<HostedPlugin> plug = quarv::host::OpenPlugin(argv[1], &error);
  if (!plug) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  plug->Configure(48000.0, 512, 2, Precision::kDouble);
  for (int p = 0; p < plug->NumParams(); ++p) {
    lines += plug->ParamName(p) + ":";
    for (int step = 0; step <= 40; ++step) {
      plug->SetParamNormalized(p, step / 40.0);
      lines += " " + plug->ParamDisplay(p);
    }
    lines += "\n";
  }

  FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  const bool written = std::fwrite(lines.data(), 1, lines.size(), out) == lines.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
