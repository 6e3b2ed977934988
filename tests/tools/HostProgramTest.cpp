// quarvelline-host run as users run it, on generated files through the built
// module: the result and the report, look-ahead alignment, mono, the lists,
// the demo, saved state, the transport options, JSON, the progress bar, and
// every refusal with its exit status and nothing written.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "graphics/raster/LicePng.h"
#include "tests/tools/HostTestSupport.h"
#include "tools/HostApp.h"

using namespace quarv::test;

namespace {

// ------------------------------------------------------------ a small JSON reader

// Checks that text is one JSON value and collects the numbers, strings and
// literals under their dotted paths ("loudness.input.integrated_lufs",
// "parameters.3.name").
class JsonReader {
public:
  explicit JsonReader(const std::string& text) : mText(text) {}

  bool Parse() {
    SkipSpace();
    if (!Value("")) return false;
    SkipSpace();
    return mAt == mText.size();
  }
  std::map<std::string, std::string> values;

private:
  void SkipSpace() {
    while (mAt < mText.size() && std::isspace(static_cast<unsigned char>(mText[mAt]))) ++mAt;
  }
  bool Eat(char c) {
    SkipSpace();
    if (mAt < mText.size() && mText[mAt] == c) {
      ++mAt;
      return true;
    }
    return false;
  }
  bool String(std::string* out) {
    if (!Eat('"')) return false;
    while (mAt < mText.size() && mText[mAt] != '"') {
      char c = mText[mAt++];
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c == '\\') {
        if (mAt >= mText.size()) return false;
        const char e = mText[mAt++];
        if (e == 'u') {
          if (mAt + 4 > mText.size()) return false;
          c = static_cast<char>(std::stoi(mText.substr(mAt, 4), nullptr, 16));
          mAt += 4;
        } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
          return false;
        } else {
          c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e;
        }
      }
      out->push_back(c);
    }
    return Eat('"');
  }
  bool Value(const std::string& path) {
    SkipSpace();
    if (mAt >= mText.size()) return false;
    const char c = mText[mAt];
    if (c == '{') {
      ++mAt;
      if (Eat('}')) return true;
      do {
        std::string key;
        if (!String(&key) || !Eat(':') || !Value(path.empty() ? key : path + "." + key)) return false;
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[') {
      ++mAt;
      if (Eat(']')) return true;
      int i = 0;
      do {
        if (!Value(path + "." + std::to_string(i++))) return false;
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '"') {
      std::string s;
      if (!String(&s)) return false;
      values[path] = s;
      return true;
    }
    for (const char* word : {"true", "false", "null"}) {
      if (mText.compare(mAt, std::strlen(word), word) == 0) {
        mAt += std::strlen(word);
        values[path] = word;
        return true;
      }
    }
    const size_t start = mAt;
    if (mText[mAt] == '-') ++mAt;
    if (mAt >= mText.size() || !std::isdigit(static_cast<unsigned char>(mText[mAt]))) return false;
    if (mText[mAt] == '0' && mAt + 1 < mText.size() && std::isdigit(static_cast<unsigned char>(mText[mAt + 1]))) {
      return false;
    }
    while (mAt < mText.size() && (std::isdigit(static_cast<unsigned char>(mText[mAt])) ||
                                  std::string(".eE+-").find(mText[mAt]) != std::string::npos)) {
      ++mAt;
    }
    values[path] = mText.substr(start, mAt - start);
    return true;
  }

  const std::string mText;
  size_t mAt = 0;
};

TEST(JsonReaderTest, TellsWellFormedFromBroken) {
  for (const char* good : {"{}", "[]", "{\"a\": [1, -2.5e3, \"x\\n\", true, null]}", " 0 "}) {
    JsonReader r(good);
    EXPECT_TRUE(r.Parse()) << good;
  }
  for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "{\"a\": nan}", "01", "\"\t\"", "{} {}", "[1 2]"}) {
    JsonReader r(bad);
    EXPECT_FALSE(r.Parse()) << bad;
  }
}

// ------------------------------------------------------------ rendering

TEST(HostProgramTest, WritesTheLimitedFileBesideTheInputAndReports) {
  TempDir dir;
  WriteWav(dir / "song.wav", SineChannels(2, 2.0, 44100, 0.5), 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  const CliResult r = RunCli({"song.wav", "--preset", "Spotify: -14 LUFS"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"song-quarvelline.png", "song-quarvelline.wav", "song.wav"}));
  const WavData in = ReadWav(dir / "song.wav");
  const WavData out = ReadWav(dir / "song-quarvelline.wav");
  EXPECT_EQ(out.info.samplerate, 44100);
  EXPECT_EQ(out.info.channels, 2);
  EXPECT_EQ(out.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  ASSERT_EQ(out.info.frames, in.info.frames);
  EXPECT_LT(Peak(out.ch[0], out.ch[0].size() - 4410, out.ch[0].size()), 0.3);  // limited well below 0.5
  for (const char* line : {"module:    ", "(VST 3: \"Quarvelline\" by Daskery, version 10000)",
                           "preset:    \"Spotify: -14 LUFS\" (slot 1)", "frames:    88200 (2.000 s) at 44100 Hz, stereo",
                           "Out Limit -14.0 lu", "Window 10ms", "processing: single precision, blocks of 512 frames",
                           "transport: playing from 0.000 s", "integrated loudness:         -",
                           "maximum momentary loudness:  -", "loudness range:", "largest gain reduction:      ",
                           "real-time factor:            "}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

// The same file, preset and transport through the VST 3 bundle and the
// VST 2.4 module give the same samples, in both precisions.
TEST(HostProgramTest, BothModuleFormatsRenderTheSameSamples) {
  TempDir dir;
  WriteWav(dir / "music.wav", SineChannels(2, 3.0, 48000, 0.9, 220.0), 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  for (const char* precision : {"single", "double"}) {
    const std::vector<std::string> common = {"music.wav", "--preset", "Master - Dynamic", "--precision", precision,
                                             "--locate", "1.5:0.2", "--block", "300"};
    std::vector<std::string> vst3 = common, vst2 = common;
    vst3.insert(vst3.end(), {"--out", "vst3.wav"});
    vst2.insert(vst2.end(), {"--out", "vst2.wav", "--module", QUARV_VST2_MODULE});
    const CliResult a = RunCli(vst3, dir.path), b = RunCli(vst2, dir.path);
    ASSERT_EQ(a.code, 0) << a.err;
    ASSERT_EQ(b.code, 0) << b.err;
    EXPECT_NE(a.out.find("VST 3"), std::string::npos);
    EXPECT_NE(b.out.find("VST 2.4"), std::string::npos);
    const WavData x = ReadWav(dir / "vst3.wav"), y = ReadWav(dir / "vst2.wav");
    ASSERT_EQ(x.ch.size(), 2u);
    EXPECT_EQ(x.ch, y.ch) << precision;
  }
}

TEST(HostProgramTest, ReportsTheLoudnessOfInputAndResult) {
  TempDir dir;
  // About -6 LUFS in, 8 LU over the limit of -14.
  WriteWav(dir / "loud.wav", SineChannels(2, 6.0, 48000, 0.5), 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const CliResult r = RunCli({"loud.wav", "--json"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  JsonReader json(r.out);
  ASSERT_TRUE(json.Parse()) << r.out;
  const double in = std::stod(json.values["loudness.input.integrated_lufs"]);
  const double out = std::stod(json.values["loudness.output.integrated_lufs"]);
  EXPECT_NEAR(in, -6.0, 0.5);
  EXPECT_NEAR(out, -14.0, 1.5);
  EXPECT_NEAR(std::stod(json.values["loudness.input.max_momentary_lufs"]), -6.0, 0.5);
  const double reduction = std::stod(json.values["loudness.largest_gain_reduction_db"]);
  EXPECT_GT(reduction, in - out - 0.5);
  EXPECT_LT(reduction, 18.0);
  EXPECT_GT(std::stod(json.values["real_time_factor"]), 0.0);
}

TEST(HostProgramTest, SilenceReportsNoLoudness) {
  TempDir dir;
  WriteWav(dir / "quiet.wav", Channels(2, std::vector<double>(44100, 0.0)), 44100);
  const CliResult r = RunCli({"quiet.wav"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("integrated loudness:         - - -           - - -"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("largest gain reduction:      - - -"), std::string::npos) << r.out;
}

TEST(HostProgramTest, LookAheadOutputLinesUpWithTheInputAtTheSameLength) {
  TempDir dir;
  for (double seconds : {2.0, 0.25}) {  // longer and shorter than the 800 ms delay
    Channels ch(2, std::vector<double>(static_cast<size_t>(48000 * seconds), 0.0));
    ch[0][5000] = ch[1][5000] = 0.5;
    WriteWav(dir / "click.wav", ch, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    for (const char* precision : {"single", "double"}) {
      const CliResult r = RunCli({"--set", "Look Ahead=800ms", "--block", "333", "--precision", precision,
                                  "click.wav", "--out", "o.wav"},
                                 dir.path);
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_NE(r.out.find("look-ahead delay: 38399 frames"), std::string::npos) << r.out;
      const WavData out = ReadWav(dir / "o.wav");
      ASSERT_EQ(static_cast<size_t>(out.info.frames), ch[0].size());
      EXPECT_EQ(PeakIndex(out.ch[0]), 5000u);
      EXPECT_EQ(out.ch[1][5000], 0.5);
    }
  }
}

TEST(HostProgramTest, MonoStaysMono) {
  TempDir dir;
  WriteWav(dir / "mono.wav", SineChannels(1, 1.0, 22050, 0.01), 22050);
  const CliResult r = RunCli({"mono.wav", "--preset", "metering only"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("mono"), std::string::npos);
  EXPECT_NE(r.out.find("\"Metering only\" (slot 19)"), std::string::npos) << r.out;
  const WavData in = ReadWav(dir / "mono.wav");
  const WavData out = ReadWav(dir / "mono-quarvelline.wav");
  EXPECT_EQ(out.info.channels, 1);
  EXPECT_EQ(out.ch, in.ch);  // quiet: passes bit-exact through 16-bit PCM
}

TEST(HostProgramTest, WithoutInputRendersTheDemoIntoItsFolder) {
  TempDir dir;
  const CliResult r = RunCli({"--stopped", "--preset", "Spotify: -14 LUFS"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << "no progress bar without a terminal: " << r.err;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"quarvelline-demo"});
  const WavData in = ReadWav(dir / "quarvelline-demo/demo.wav");
  const WavData out = ReadWav(dir / "quarvelline-demo/demo-quarvelline.wav");
  EXPECT_EQ(in.info.frames, 2880000);
  EXPECT_EQ(in.info.samplerate, 48000);
  EXPECT_EQ(out.info.frames, 2880000);
  EXPECT_NE(r.out.find("frames:    2880000 (60.000 s) at 48000 Hz, stereo"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("transport: stopped at 0.000 s"), std::string::npos) << r.out;
}

// ------------------------------------------------------------ transport

// The peak of the result's first channel in [from, to) seconds.
double PeakBetween(const WavData& d, double from, double to) {
  const auto rate = static_cast<double>(d.info.samplerate);
  return Peak(d.ch[0], static_cast<size_t>(from * rate), static_cast<size_t>(to * rate));
}

TEST(HostProgramTest, APlayStartResetsTheLimiterOnlyWhenResetOnPlayIsOn) {
  TempDir dir;
  WriteWav(dir / "loud.wav", SineChannels(2, 3.0, 48000, 0.5), 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  std::map<std::string, WavData> results;
  for (const char* reset : {"yes", "no"}) {
    const CliResult r = RunCli({"loud.wav", "--out", "o.wav", "--stopped", "--play-at", "1.5", "--set",
                                std::string("Reset on play=") + reset},
                               dir.path);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("transport: stopped at 0.000 s; at 1.500 s play"), std::string::npos) << r.out;
    results[reset] = ReadWav(dir / "o.wav");
  }
  // Limited before the play start either way.
  EXPECT_LT(PeakBetween(results["yes"], 1.3, 1.5), 0.3);
  EXPECT_LT(PeakBetween(results["no"], 1.3, 1.5), 0.3);
  // The reset lets the first frames after the start through unlimited.
  EXPECT_GT(PeakBetween(results["yes"], 1.5, 1.52), 0.45);
  EXPECT_LT(PeakBetween(results["no"], 1.5, 1.52), 0.3);
}

TEST(HostProgramTest, LocatesStopsAndStartPositionsAreAccepted) {
  TempDir dir;
  WriteWav(dir / "in.wav", SineChannels(2, 2.0, 48000, 0.2), 48000);
  const CliResult r = RunCli({"in.wav", "--start", "30", "--locate", "1:90", "--stop-at", "1.5s", "--play-at",
                              "1800ms", "--json"},
                             dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  JsonReader json(r.out);
  ASSERT_TRUE(json.Parse()) << r.out;
  EXPECT_EQ(json.values["transport.playing"], "true");
  EXPECT_EQ(std::stod(json.values["transport.start_seconds"]), 30.0);
  EXPECT_EQ(json.values["transport.events.0.action"], "locate");
  EXPECT_EQ(std::stod(json.values["transport.events.0.to_seconds"]), 90.0);
  EXPECT_EQ(json.values["transport.events.1.action"], "stop");
  EXPECT_EQ(std::stod(json.values["transport.events.2.at_seconds"]), 1.8);
}

// ------------------------------------------------------------ lists, state, JSON

TEST(HostProgramTest, ListsShowPresetsAndCurrentParameterTexts) {
  TempDir dir;
  const CliResult help = RunCli({"--help"}, dir.path);
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--list-presets"), std::string::npos);
  const CliResult presets = RunCli({"--list-presets"}, dir.path);
  EXPECT_EQ(presets.code, 0);
  EXPECT_NE(presets.out.find(" 1  Spotify: -14 LUFS"), std::string::npos) << presets.out;
  EXPECT_NE(presets.out.find("20  Analyzing without play & only metering"), std::string::npos);
  EXPECT_NE(presets.out.find("29  - 30 -"), std::string::npos) << presets.out;
  const CliResult params =
      RunCli({"--list-params", "--preset", "Master - Slow music", "--set", "Out Limit=-9.5"}, dir.path);
  EXPECT_EQ(params.code, 0) << params.err;
  EXPECT_NE(params.out.find("Look Ahead           40.0 ms"), std::string::npos) << params.out;
  EXPECT_NE(params.out.find("Out Limit            -9.5 lu"), std::string::npos) << params.out;
  EXPECT_NE(params.out.find("Window               20ms"), std::string::npos) << params.out;
  const CliResult json = RunCli({"--list-params", "--list-presets", "--json"}, dir.path);
  EXPECT_EQ(json.code, 0);
  JsonReader lists(json.out);
  ASSERT_TRUE(lists.Parse()) << json.out;
  EXPECT_EQ(lists.values["presets.1.name"], "Spotify: -14 LUFS");
  EXPECT_EQ(lists.values["presets.29.name"], "- 30 -");
  EXPECT_EQ(lists.values["parameters.5.name"], "Out Limit");
  EXPECT_EQ(lists.values["parameters.5.display"], "-14.0");
  EXPECT_EQ(lists.values["parameters.5.label"], "lu");
  EXPECT_TRUE(dir.Files().empty());
}

TEST(HostProgramTest, StateSavedAfterRenderingComesBackInTheNextRun) {
  TempDir dir;
  WriteWav(dir / "in.wav", SineChannels(2, 0.5, 48000, 0.2), 48000);
  const CliResult saved = RunCli({"in.wav", "--set", "Out Limit=-20", "--set", "Attack=30",
                                  "--save-state", "limit.state"},
                                 dir.path);
  ASSERT_EQ(saved.code, 0) << saved.err;
  EXPECT_NE(saved.out.find("state saved to:    limit.state"), std::string::npos) << saved.out;
  EXPECT_EQ(fs::file_size(dir / "limit.state"), 76u);
  const CliResult loaded = RunCli({"--load-state", "limit.state", "--list-params"}, dir.path);
  ASSERT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_NE(loaded.out.find("Out Limit            -20.0 lu"), std::string::npos) << loaded.out;
  EXPECT_NE(loaded.out.find("Attack               30.0 ms"), std::string::npos) << loaded.out;
  // Settings given with the state apply after it.
  const CliResult both = RunCli({"--load-state", "limit.state", "--set", "Attack=5", "--list-params"}, dir.path);
  EXPECT_NE(both.out.find("Attack               5.0 ms"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find("Out Limit            -20.0 lu"), std::string::npos) << both.out;
}

TEST(HostProgramTest, JsonReportIsWellFormedAndComplete) {
  TempDir dir;
  WriteWav(dir / "a \"quoted\" name.wav", SineChannels(1, 1.0, 8000, 0.3), 8000);
  const CliResult r = RunCli({"a \"quoted\" name.wav", "--json", "--preset", "7", "--precision", "double"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  JsonReader json(r.out);
  ASSERT_TRUE(json.Parse()) << r.out;
  EXPECT_EQ(json.values["input.path"], "a \"quoted\" name.wav");
  EXPECT_EQ(json.values["input.channels"], "1");
  EXPECT_EQ(json.values["input.frames"], "8000");
  EXPECT_EQ(json.values["input.sample_rate"], "8000");
  EXPECT_EQ(json.values["output.format"], "16-bit PCM");
  EXPECT_EQ(json.values["module.name"], "Quarvelline");
  EXPECT_EQ(json.values["module.version"], "10000");  // the VST 3 class version 1.0.0
  EXPECT_EQ(json.values["preset.index"], "7");
  EXPECT_EQ(json.values["processing.precision"], "double");
  EXPECT_EQ(json.values["processing.block"], "512");
  EXPECT_EQ(json.values["state.loaded_from"], "null");
  for (const char* key : {"loudness.input.integrated_lufs", "loudness.output.max_momentary_lufs",
                          "loudness.input.range_lu", "loudness.largest_gain_reduction_db",
                          "loudness.largest_gain_reduction_at_seconds", "render_seconds", "real_time_factor",
                          "parameters.8.name", "transport.playing"}) {
    EXPECT_EQ(json.values.count(key), 1u) << key;
  }
}

// ------------------------------------------------------------ peaks, clipping, targets

std::string LastLine(const std::string& text) {
  const size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

TEST(HostProgramTest, ReportsSampleAndTruePeaksAndThePeakToLoudnessRatio) {
  TempDir dir;
  // A quarter-rate sine at 45 degrees whose samples reach full scale, faded
  // in over 10 ms.
  Channels ch(2, std::vector<double>(48000));
  for (size_t i = 0; i < ch[0].size(); ++i) ch[0][i] = ch[1][i] = (i % 4 < 2 ? 1.0 : -1.0) * std::min(1.0, i / 480.0);
  WriteWav(dir / "fs4.wav", ch, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const CliResult text = RunCli({"fs4.wav", "--preset", "Metering only", "--no-chart"}, dir.path);
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("sample peak:                 0.00 dBFS"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("true peak:                   2.98 dBTP"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("peak-to-loudness ratio:      "), std::string::npos) << text.out;
  const CliResult r = RunCli({"fs4.wav", "--preset", "Metering only", "--json", "--no-chart"}, dir.path);
  JsonReader json(r.out);
  ASSERT_TRUE(json.Parse()) << r.out;
  const double truePeak = std::stod(json.values["loudness.input.true_peak_dbtp"]);
  EXPECT_NEAR(truePeak, 3.0, 0.05);
  EXPECT_EQ(std::stod(json.values["loudness.input.sample_peak_dbfs"]), 0.0);
  EXPECT_DOUBLE_EQ(std::stod(json.values["loudness.input.plr_lu"]),
                   truePeak - std::stod(json.values["loudness.input.integrated_lufs"]));
  EXPECT_EQ(json.values["clipping.counted"], "false");  // a float result
  EXPECT_EQ(json.values["chart"], "null");
  EXPECT_EQ(json.values["target"], "null");
}

// Sparse clicks in a 16-bit file, 6 dB of "Input Gain" and no limiting
// ("Metering only" limits above 0 LUFS): clicks that the gain lifts beyond
// what 16 bits hold are clipped in the result, the others are not.
Channels Clicks() {
  Channels ch(2, std::vector<double>(48000, 0.0));
  ch[0][1000] = 0.75;    // 1.50: clipped, the first
  ch[1][2400] = -0.6;    // -1.20: clipped
  ch[0][3000] = 0.5;     // 0.998: holds
  ch[1][3000] = 0.5012;  // 1.00001: clipped
  ch[0][40000] = ch[1][40000] = 0.9;  // two clipped
  return ch;
}

TEST(HostProgramTest, ClippedSamplesOfAPcmResultAreCountedAndSetTheExitStatus) {
  TempDir dir;
  WriteWav(dir / "clicks.wav", Clicks(), 48000);
  const std::vector<std::string> args = {"clicks.wav", "--preset", "Metering only", "--set", "Input Gain=6"};
  CliResult r = RunCli(args, dir.path);
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_NE(r.out.find("clipped samples:             5 in the 16-bit PCM result, the first at 0.021 s (frame 1000, "
                       "left)\n"),
            std::string::npos)
      << r.out;
  // Written all the same, clipped to what 16 bits hold.
  const WavData out = ReadWav(dir / "clicks-quarvelline.wav");
  EXPECT_EQ(out.ch[0][1000], 32767.0 / 32768.0);
  EXPECT_EQ(out.ch[1][2400], -1.0);
  EXPECT_NEAR(out.ch[0][3000], 0.5 * 1.99526, 1e-4);

  std::vector<std::string> allowed = args;
  allowed.push_back("--allow-clipping");
  allowed.push_back("--json");
  r = RunCli(allowed, dir.path);
  EXPECT_EQ(r.code, 0) << r.err;
  JsonReader json(r.out);
  ASSERT_TRUE(json.Parse()) << r.out;
  EXPECT_EQ(json.values["clipping.counted"], "true");
  EXPECT_EQ(json.values["clipping.samples"], "5");
  EXPECT_EQ(json.values["clipping.first_frame"], "1000");
  EXPECT_EQ(json.values["clipping.first_channel"], "0");
  EXPECT_EQ(json.values["clipping.allowed"], "true");
  EXPECT_EQ(json.values["exit_status"], "0");

  // A float result keeps the overs: nothing is clipped.
  WriteWav(dir / "clicks.wav", Clicks(), 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  r = RunCli(args, dir.path);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("clipped samples:             not counted (a 32-bit float result"), std::string::npos);
}

TEST(HostProgramTest, TargetLineEndsTheReportAndSetsTheExitStatus) {
  TempDir dir;
  // -20 dBFS in both channels: -19.99 LUFS (1 kHz passes the K-weighting a
  // hair above its nominal 0.691 dB) and -20.00 dBTP.
  WriteWav(dir / "tone.wav", SineChannels(2, 3.0, 48000, 0.1), 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  struct Case {
    const char* target;
    int code;
    const char* line;
  };
  for (const Case& c : {
           Case{"-20", 0, "target:    -20.0 LUFS (within 1.0 LU): pass"},
           Case{"-19", 0, "target:    -19.0 LUFS (within 1.0 LU): pass"},
           Case{"-18.5", 3, "target:    -18.5 LUFS (within 1.0 LU): FAIL (integrated -19.99 LUFS is 1.49 LU under)"},
           Case{"-22,-1", 3,
                "target:    -22.0 LUFS (within 1.0 LU), true peak at most -1.0 dBTP: FAIL (integrated -19.99 LUFS is "
                "2.01 LU over)"},
           Case{"-20,-20.5", 3,
                "target:    -20.0 LUFS (within 1.0 LU), true peak at most -20.5 dBTP: FAIL (true peak -20.00 dBTP is "
                "over -20.5 dBTP)"},
           Case{"-20,-20", 0, "target:    -20.0 LUFS (within 1.0 LU), true peak at most -20.0 dBTP: pass"},
       }) {
    const CliResult r = RunCli({"tone.wav", "--preset", "Metering only", "--target", c.target}, dir.path);
    EXPECT_EQ(r.code, c.code) << c.target << "\n" << r.out << r.err;
    EXPECT_EQ(LastLine(r.out), c.line) << c.target;
  }
  // A missed target outranks clipping.
  WriteWav(dir / "clicks.wav", Clicks(), 48000);
  const CliResult both =
      RunCli({"clicks.wav", "--preset", "Metering only", "--set", "Input Gain=6", "--target", "-14"}, dir.path);
  EXPECT_EQ(both.code, 3);
  EXPECT_NE(LastLine(both.out).find(": FAIL (integrated -31.78 LUFS is 17.78 LU under)"), std::string::npos)
      << both.out;
}

TEST(HostProgramTest, ChartGoesBesideTheResultOrWhereAskedOrNowhere) {
  TempDir dir;
  WriteWav(dir / "in.wav", SineChannels(2, 2.0, 44100, 0.3), 44100);
  ASSERT_EQ(RunCli({"in.wav"}, dir.path).code, 0);
  const std::string png = Slurp(dir.path / "in-quarvelline.png");
  const std::unique_ptr<LICE_MemBitmap> chart(LICE_DecodePNG(png.data(), png.size()));
  ASSERT_TRUE(chart);
  EXPECT_EQ(chart->Width(), 1200);
  EXPECT_EQ(chart->Height(), 600);
  const CliResult named = RunCli({"in.wav", "--out", "o.wav", "--chart", "pictures.png"}, dir.path);
  ASSERT_EQ(named.code, 0) << named.err;
  EXPECT_NE(named.out.find("chart:                       pictures.png"), std::string::npos) << named.out;
  ASSERT_EQ(RunCli({"in.wav", "--out", "none.wav", "--no-chart"}, dir.path).code, 0);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in-quarvelline.png", "in-quarvelline.wav", "in.wav", "none.wav",
                                                   "o.wav", "pictures.png"}));
  ExpectOneLineError(RunCli({"in.wav", "--out", "x.wav", "--chart", "in.wav"}, dir.path), "the chart 'in.wav' would");
  // A chart or state that could not be written is found before the render.
  ExpectOneLineError(RunCli({"in.wav", "--out", "y.wav", "--chart", "nowhere/x.png"}, dir.path), "nowhere");
  ExpectOneLineError(RunCli({"in.wav", "--out", "z.wav", "--save-state", "nowhere/x.state"}, dir.path), "nowhere");
  EXPECT_FALSE(fs::exists(dir / "y.wav") || fs::exists(dir / "z.wav"));
}

// ------------------------------------------------------------ the editor's picture

// Runs the program with DISPLAY unset, whatever the test runs under.
CliResult RunCliWithoutDisplay(const std::vector<std::string>& args, const fs::path& cwd) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  CliResult r = RunCli(args, cwd);
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  return r;
}

TEST(HostProgramTest, TheEditorPictureNeedsAnXServerAndSaysWhereToGetOneBeforeRendering) {
  TempDir dir;
  WriteWav(dir / "in.wav", SineChannels(2, 0.5, 48000, 0.3), 48000);
  const CliResult r = RunCliWithoutDisplay({"in.wav", "--editor-png", "editor.png"}, dir.path);
  ExpectOneLineError(r, "xvfb-run");
  EXPECT_NE(r.err.find("DISPLAY"), std::string::npos) << r.err;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"in.wav"});
  WriteWav(dir / "two.wav", SineChannels(2, 0.5, 48000, 0.3), 48000);
  // The names are checked before any display is opened: these need a
  // DISPLAY set, not a server behind it.
  const bool hadDisplay = std::getenv("DISPLAY") != nullptr;
  if (!hadDisplay) setenv("DISPLAY", ":99", 1);
  ExpectOneLineError(RunCli({"in.wav", "two.wav", "--editor-png", "e.png"}, dir.path),
                     "--editor-png names one file");
  ExpectOneLineError(RunCli({"in.wav", "--editor-png", "in.wav"}, dir.path), "would overwrite");
  ExpectOneLineError(RunCli({"in.wav", "--editor-png", "nowhere/e.png"}, dir.path), "nowhere");
  ExpectOneLineError(RunCli({"in.wav", "--editor-png="}, dir.path), "needs a file name");
  if (!hadDisplay) unsetenv("DISPLAY");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.wav", "two.wav"}));
  EXPECT_NE(RunCli({"--help"}, dir.path).out.find("--editor-png FILE.png"), std::string::npos);
}

// ------------------------------------------------------------ several inputs

TEST(HostProgramTest, SeveralInputsRenderThroughTheirOwnInstancesIntoOneTable) {
  TempDir dir;
  // The same loud material three times: an instance carried from one file
  // to the next would start the next one with its gain already reduced.
  const Channels loud = SineChannels(2, 3.0, 48000, 0.8, 220.0);
  WriteWav(dir / "a.wav", loud, 48000);
  WriteWav(dir / "b.flac", loud, 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  WriteWav(dir / "c.wav", loud, 48000);
  std::ofstream(dir / "broken.wav") << "not audio";
  const CliResult r =
      RunCli({"a.wav", "broken.wav", "b.flac", "c.wav", "--preset", "Master - Dynamic", "--target", "-12"}, dir.path);
  EXPECT_EQ(r.code, 1);
  // The failure on stderr, one line; the others rendered.
  EXPECT_EQ(r.err.find("quarvelline-host: broken.wav: 'broken.wav' is not an audio file"), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a-quarvelline.png", "a-quarvelline.wav", "a.wav",
                                                   "b-quarvelline.png", "b-quarvelline.wav", "b.flac", "broken.wav",
                                                   "c-quarvelline.png", "c-quarvelline.wav", "c.wav"}));
  // One row a file, in the order given, then the summary and the target.
  const size_t head = r.out.find("\nfile ");
  ASSERT_NE(head, std::string::npos) << r.out;
  const size_t rowA = r.out.find("\na.wav ", head), rowBroken = r.out.find("\nbroken.wav  failed: ", head);
  const size_t rowB = r.out.find("\nb.flac ", head), rowC = r.out.find("\nc.wav ", head);
  EXPECT_TRUE(rowA < rowBroken && rowBroken < rowB && rowB < rowC && rowC != std::string::npos) << r.out;
  EXPECT_NE(r.out.find("files:     4: 3 rendered, 0 skipped, 1 failed"), std::string::npos) << r.out;
  EXPECT_NE(LastLine(r.out).find("FAIL (1 of 4 files miss it, 1 of them not rendered)"), std::string::npos) << r.out;

  const CliResult single = RunCli({"a.wav", "--preset", "Master - Dynamic", "--out", "single.wav"}, dir.path);
  ASSERT_EQ(single.code, 0) << single.err;
  const WavData expected = ReadWav(dir / "single.wav");
  for (const char* name : {"a-quarvelline.wav", "b-quarvelline.wav", "c-quarvelline.wav"}) {
    EXPECT_EQ(ReadWav(dir / name).ch, expected.ch) << name;
  }
}

TEST(HostProgramTest, SeveralInputsGiveOneJsonArraySkipOldResultsAndRefuseCollidingOnes) {
  TempDir dir;
  WriteWav(dir / "x.wav", SineChannels(1, 1.0, 44100, 0.2), 44100);
  WriteWav(dir / "x.aiff", SineChannels(1, 1.0, 44100, 0.2), 44100, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
  WriteWav(dir / "y.wav", SineChannels(2, 1.0, 44100, 0.2), 44100);
  // Left from an earlier run: y.wav's result, which "*.wav" picks up too.
  WriteWav(dir / "y-quarvelline.wav", SineChannels(2, 0.5, 44100, 0.1), 44100);
  // x.aiff's result would be x.wav's.
  const CliResult r = RunCli({"x.wav", "x.aiff", "y.wav", "y-quarvelline.wav", "--json", "--no-chart"}, dir.path);
  EXPECT_EQ(r.code, 1);
  JsonReader json(r.out);
  ASSERT_TRUE(json.Parse()) << r.out;
  EXPECT_EQ(json.values[".0.input.path"], "x.wav");
  EXPECT_EQ(json.values[".0.exit_status"], "0");
  EXPECT_EQ(json.values[".1.input.path"], "x.aiff");
  EXPECT_EQ(json.values[".1.error"], "its result 'x-quarvelline.wav' is also a result of 'x.wav'");
  EXPECT_EQ(json.values[".2.output.path"], "y-quarvelline.wav");
  EXPECT_EQ(json.values[".3.skipped"], "it is the result of 'y.wav'");
  EXPECT_EQ(json.values[".3.exit_status"], "0");
  EXPECT_EQ(json.values.count(".4.input.path"), 0u);
  EXPECT_EQ(r.err, "quarvelline-host: x.aiff: its result 'x-quarvelline.wav' is also a result of 'x.wav'\n");
  EXPECT_EQ(ReadWav(dir / "y-quarvelline.wav").info.frames, 44100);  // rendered afresh from y.wav
  EXPECT_FALSE(fs::exists(dir / "y-quarvelline-quarvelline.wav"));
  // Skipping is no failure: status 0, nothing on stderr without a terminal.
  const CliResult again = RunCli({"x.wav", "y.wav", "y-quarvelline.wav", "--no-chart"}, dir.path);
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_TRUE(again.err.empty()) << again.err;
  EXPECT_NE(again.out.find("\ny-quarvelline.wav  skipped: it is the result of 'y.wav'\n"), std::string::npos)
      << again.out;
  EXPECT_NE(again.out.find("files:     3: 2 rendered, 1 skipped, 0 failed"), std::string::npos) << again.out;
}

// ------------------------------------------------------------ refusals

TEST(HostProgramTest, ErrorsAreOneLineWithExitCodeOneAndWriteNothing) {
  TempDir dir;
  WriteWav(dir / "ok.wav", SineChannels(2, 0.1, 48000, 0.1), 48000);
  std::ofstream(dir / "notes.txt") << "not audio";
  std::ofstream(dir / "short.state") << "abc";
  std::ofstream(dir / "fake.so") << "not a module";
  ExpectOneLineError(RunCli({"missing.wav"}, dir.path), "missing.wav");
  ExpectOneLineError(RunCli({"notes.txt"}, dir.path), "not an audio file");
  ExpectOneLineError(RunCli({"--preset", "Nope", "ok.wav"}, dir.path), "unknown preset 'Nope'");
  ExpectOneLineError(RunCli({"--preset", "30", "ok.wav"}, dir.path), "out of range");
  ExpectOneLineError(RunCli({"--set", "Window=7ms", "ok.wav"}, dir.path), "Window");
  ExpectOneLineError(RunCli({"--set", "Out Limit=3", "ok.wav"}, dir.path), "out of range");
  ExpectOneLineError(RunCli({"--set", "Attack=fast", "ok.wav"}, dir.path), "a number");
  ExpectOneLineError(RunCli({"--set", "Loudness=3", "ok.wav"}, dir.path), "unknown parameter");
  ExpectOneLineError(RunCli({"ok.wav", "--out", "./ok.wav"}, dir.path), "overwrite the input");
  ExpectOneLineError(RunCli({"ok.wav", "--save-state", "ok.wav"}, dir.path), "would overwrite");
  ExpectOneLineError(RunCli({"ok.wav", "--out", "nowhere/x.wav"}, dir.path), "nowhere");
  ExpectOneLineError(RunCli({"--frobnicate"}, dir.path), "unknown option");
  ExpectOneLineError(RunCli({"ok.wav", "--module", "missing.so"}, dir.path), "missing.so");
  ExpectOneLineError(RunCli({"ok.wav", "--module", "fake.so"}, dir.path), "cannot load module");
  ExpectOneLineError(RunCli({"ok.wav", "--module", QUARV_NO_ENTRY_MODULE}, dir.path), "no VST 2.4 entry point");
  ExpectOneLineError(RunCli({"ok.wav", "--module", QUARV_NULL_ENTRY_MODULE}, dir.path), "did not create");
  ExpectOneLineError(RunCli({"ok.wav", "--load-state", "short.state"}, dir.path), "refused the state");
  ExpectOneLineError(RunCli({"ok.wav", "--load-state", "none.state"}, dir.path), "none.state");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"fake.so", "notes.txt", "ok.wav", "short.state"}));
}

TEST(HostProgramTest, AnInterruptedRenderLeavesNoPartialFile) {
  TempDir dir;
  WriteWav(dir / "long.wav", SineChannels(2, 60.0, 48000, 0.3), 48000);
  const std::string out = dir / "long-quarvelline.wav";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // One frame per call: slow enough to be interrupted half-way.
    execl(QUARV_HOST_BIN, QUARV_HOST_BIN, (dir / "long.wav").c_str(), "--block", "1", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the temporary file exists, then interrupt.
  bool started = false;
  for (int i = 0; i < 500 && !started; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (const std::string& name : dir.Files()) started = started || name.rfind(".long-quarvelline.wav.", 0) == 0;
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(started);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"long.wav"});
}

// ------------------------------------------------------------ progress

TEST(HostProgramTest, ProgressBarIsDrawnOnATerminalOnly) {
  TempDir dir;
  WriteWav(dir / "six.wav", SineChannels(2, 6.0, 48000, 0.2), 48000);
  WriteWav(dir / "four.wav", SineChannels(2, 4.0, 48000, 0.2), 48000);
  for (const char* name : {"six.wav", "four.wav"}) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* err = fdopen(slave, "w");
    std::FILE* out = std::fopen("/dev/null", "w");
    const std::string in = dir / name;
    const char* argv[] = {"quarvelline-host", in.c_str(), "--module", QUARV_VST2_MODULE};
    EXPECT_EQ(quarv::render::RunHost(4, argv, out, err), 0);
    std::fclose(out);
    std::fclose(err);
    std::string drawn;
    char buf[4096];
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) drawn.append(buf, static_cast<size_t>(n));
    close(master);
    if (std::string(name) == "six.wav") {
      EXPECT_NE(drawn.find("\r["), std::string::npos) << drawn;
      EXPECT_NE(drawn.find(" / 6.0 s"), std::string::npos) << drawn;
      EXPECT_EQ(drawn.back(), '\r') << "the bar is wiped at the end";
    } else {
      EXPECT_EQ(drawn, "");  // a few seconds render without a bar
    }
  }
}

}  // namespace
