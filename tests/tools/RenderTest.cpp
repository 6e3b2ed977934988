// The command-line renderer: option parsing, the plug-in session, the audio
// files, and the program itself run on generated files.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/AudioFile.h"
#include "tools/LimiterSession.h"
#include "tools/RenderOptions.h"

namespace fs = std::filesystem;
using namespace quarv::render;

namespace {

// ------------------------------------------------------------ helpers

struct TempDir {
  fs::path path;
  TempDir() {
    static int counter = 0;
    path = fs::temp_directory_path() /
           ("quarv-render-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

using Channels = std::vector<std::vector<double>>;

void WriteWav(const std::string& path, const Channels& ch, int rate,
              int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = static_cast<int>(ch.size());
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  const size_t frames = ch.empty() ? 0 : ch[0].size();
  std::vector<double> inter(frames * ch.size());
  for (size_t i = 0; i < frames; ++i) {
    for (size_t c = 0; c < ch.size(); ++c) inter[i * ch.size() + c] = ch[c][i];
  }
  ASSERT_EQ(sf_writef_double(f, inter.data(), static_cast<sf_count_t>(frames)), static_cast<sf_count_t>(frames));
  sf_close(f);
}

struct WavData {
  SF_INFO info{};
  Channels ch;
};

WavData ReadWav(const std::string& path) {
  WavData d;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &d.info);
  EXPECT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
  if (!f) return d;
  std::vector<double> inter(static_cast<size_t>(d.info.frames * d.info.channels));
  sf_readf_double(f, inter.data(), d.info.frames);
  sf_close(f);
  d.ch.assign(static_cast<size_t>(d.info.channels), std::vector<double>(static_cast<size_t>(d.info.frames)));
  for (size_t i = 0; i < static_cast<size_t>(d.info.frames); ++i) {
    for (size_t c = 0; c < d.ch.size(); ++c) d.ch[c][i] = inter[i * d.ch.size() + c];
  }
  return d;
}

Channels SineChannels(int channels, double seconds, int rate, double peak, double freq = 1000.0) {
  const size_t n = static_cast<size_t>(std::llround(seconds * rate));
  Channels ch(static_cast<size_t>(channels), std::vector<double>(n));
  for (size_t i = 0; i < n; ++i) {
    const double v = peak * std::sin(2.0 * M_PI * freq * static_cast<double>(i) / rate);
    for (auto& c : ch) c[i] = v;
  }
  return ch;
}

size_t PeakIndex(const std::vector<double>& x) {
  size_t best = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
  }
  return best;
}

bool Parse(std::vector<const char*> args, RenderOptions* o, std::string* err) {
  args.insert(args.begin(), "quarvelline-render");
  return ParseOptions(static_cast<int>(args.size()), args.data(), o, err);
}

// ------------------------------------------------------------ options

TEST(RenderOptionsTest, DefaultsRenderTheDemoWithSpotifyWhilePlaying) {
  RenderOptions o;
  std::string err;
  ASSERT_TRUE(Parse({}, &o, &err)) << err;
  EXPECT_EQ(o.preset, "Spotify: -14 LUFS");
  EXPECT_EQ(o.block, 512);
  EXPECT_TRUE(o.input.empty());
  EXPECT_TRUE(o.output.empty());
  EXPECT_FALSE(o.stopped);
  EXPECT_FALSE(o.help);
  EXPECT_FALSE(o.listPresets);
}

TEST(RenderOptionsTest, ReadsEveryOptionInBothSpellings) {
  RenderOptions o;
  std::string err;
  ASSERT_TRUE(Parse({"--preset=Cinematic", "--block", "256", "--set", "Window=20ms", "-s",
                     " Out Limit = -16 ", "--stopped", "-o", "x.wav", "in.wav"},
                    &o, &err))
      << err;
  EXPECT_EQ(o.preset, "Cinematic");
  EXPECT_EQ(o.block, 256);
  ASSERT_EQ(o.settings.size(), 2u);
  EXPECT_EQ(o.settings[0], std::make_pair(std::string("Window"), std::string("20ms")));
  EXPECT_EQ(o.settings[1], std::make_pair(std::string("Out Limit"), std::string("-16")));
  EXPECT_TRUE(o.stopped);
  EXPECT_EQ(o.output, "x.wav");
  EXPECT_EQ(o.input, "in.wav");
}

TEST(RenderOptionsTest, DoubleDashAllowsAnInputStartingWithADash) {
  RenderOptions o;
  std::string err;
  ASSERT_TRUE(Parse({"--", "-odd.wav"}, &o, &err)) << err;
  EXPECT_EQ(o.input, "-odd.wav");
}

TEST(RenderOptionsTest, RefusesBadCommandLinesWithAReason) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},           {"--block"},           {"--block", "0"},      {"--block", "12x"},
      {"--block", "70000"},  {"--set", "Window"},   {"--set", "=5"},       {"--set", "Window="},
      {"a.wav", "b.wav"},    {"--stopped=1"},       {"--preset", ""},      {"--out="},
  };
  for (const auto& args : bad) {
    RenderOptions o;
    std::string err;
    EXPECT_FALSE(Parse(args, &o, &err)) << args[0];
    EXPECT_FALSE(err.empty()) << args[0];
    EXPECT_EQ(err.find('\n'), std::string::npos) << err;
  }
}

TEST(RenderOptionsTest, HelpDocumentsEveryOption) {
  const std::string help = UsageText();
  for (const char* opt : {"--preset", "--list-presets", "--out", "--block", "--stopped", "--set", "--help"}) {
    EXPECT_NE(help.find(opt), std::string::npos) << opt;
  }
}

// ------------------------------------------------------------ session

TEST(LimiterSessionTest, FindsPresetsByNameIgnoringCaseAndByIndex) {
  LimiterSession s;
  std::string err;
  EXPECT_EQ(s.FindPreset("Spotify: -14 LUFS", &err), 1);
  EXPECT_EQ(s.FindPreset("deezer: -15 lufs", &err), 5);
  EXPECT_EQ(s.FindPreset("Analyzing without play & only metering", &err), 20);
  EXPECT_EQ(s.FindPreset("7", &err), 7);
  EXPECT_EQ(s.FindPreset("0", &err), 0);
  EXPECT_EQ(s.PresetName(0), "---- default ----");
}

TEST(LimiterSessionTest, RefusesUnknownNamesFreeSlotsAndIndicesOutOfRange) {
  LimiterSession s;
  for (const char* what : {"Spotify", "25", "30", "999999", "-1"}) {
    std::string err;
    EXPECT_EQ(s.FindPreset(what, &err), -1) << what;
    EXPECT_FALSE(err.empty()) << what;
  }
  std::string err;
  EXPECT_FALSE(s.LoadPreset(25, &err));
}

std::string ValueOf(const LimiterSession& s, const std::string& name) {
  for (const ParameterText& p : s.ParameterTexts()) {
    if (p.name == name) return p.value;
  }
  return "?";
}

TEST(LimiterSessionTest, LoadingPresetsSetsTheirValuesAndTheDefaultSlotKeepsDefaults) {
  LimiterSession s;
  std::string err;
  ASSERT_TRUE(s.LoadPreset(0, &err)) << err;
  EXPECT_EQ(ValueOf(s, "Out Limit"), "-14.0 lu");
  ASSERT_TRUE(s.LoadPreset(s.FindPreset("Deezer: -15 LUFS", &err), &err)) << err;
  EXPECT_EQ(ValueOf(s, "Out Limit"), "-15.0 lu");
  ASSERT_TRUE(s.LoadPreset(s.FindPreset("Master - Slow music", &err), &err)) << err;
  EXPECT_EQ(ValueOf(s, "Look Ahead"), "40.0 ms");
  EXPECT_EQ(ValueOf(s, "Window"), "20ms");
}

TEST(LimiterSessionTest, SetsParametersFromNumbersUnitsAndTexts) {
  LimiterSession s;
  std::string err;
  EXPECT_TRUE(s.SetParameter("Window", "20ms", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Window"), "20ms");
  EXPECT_TRUE(s.SetParameter("window", "100 MS", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Window"), "100ms");
  EXPECT_TRUE(s.SetParameter("Window", "0", &err)) << err;  // list index
  EXPECT_EQ(ValueOf(s, "Window"), "2.5ms");
  EXPECT_TRUE(s.SetParameter("Out Limit", "-16", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Out Limit"), "-16.0 lu");
  EXPECT_TRUE(s.SetParameter("Out Limit", "-23 LUFS", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Out Limit"), "-23.0 lu");
  EXPECT_TRUE(s.SetParameter("Look Ahead", "5ms", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Look Ahead"), "5.0 ms");
  EXPECT_TRUE(s.SetParameter("Input Gain", "+3.5 dB", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Input Gain"), "3.5 dB");
  EXPECT_TRUE(s.SetParameter("Reset on play", "no", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Reset on play"), "no");
  EXPECT_TRUE(s.SetParameter("Graph when play", "0", &err)) << err;
  EXPECT_EQ(ValueOf(s, "Graph when play"), "no");
}

TEST(LimiterSessionTest, RefusesUnknownParametersAndBadValuesLeavingTheValue) {
  LimiterSession s;
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"Volume", "1"},        {"Window", "30ms"},       {"Window", "6"},
      {"Out Limit", "5"},     {"Out Limit", "-61"},     {"Out Limit", "-14dB"},
      {"Attack", "12abc"},    {"Attack", "nan"},        {"Attack", "inf"},
      {"Release", "0.5"},     {"Reset on play", "maybe"}, {"Input Gain", ""},
  };
  for (const auto& [name, value] : bad) {
    std::string err;
    EXPECT_FALSE(s.SetParameter(name, value, &err)) << name << "=" << value;
    EXPECT_FALSE(err.empty());
  }
  EXPECT_EQ(ValueOf(s, "Out Limit"), "-14.0 lu");
  EXPECT_EQ(ValueOf(s, "Window"), "10ms");
  EXPECT_EQ(ValueOf(s, "Attack"), "12.0 ms");
}

// Runs an impulse through a session and returns the frame of the output peak.
size_t ImpulseDelay(double rate, const char* lookAhead, int block, int* reported) {
  LimiterSession s;
  std::string err;
  EXPECT_TRUE(s.SetParameter("Look Ahead", lookAhead, &err)) << err;
  s.Start(rate, block, 2, true);
  const size_t n = static_cast<size_t>(rate);  // one second
  std::vector<double> l(n, 0.0), r(n, 0.0);
  l[100] = r[100] = 0.25;
  for (size_t i = 0; i < n; i += static_cast<size_t>(block)) {
    double* ch[2] = {l.data() + i, r.data() + i};
    s.Process(ch, static_cast<int>(std::min<size_t>(static_cast<size_t>(block), n - i)));
  }
  *reported = s.DelayFrames();
  return PeakIndex(l) - 100;
}

TEST(LimiterSessionTest, ReportedDelayIsTheLookAheadDelayOfTheOutput) {
  int reported = -1;
  EXPECT_EQ(ImpulseDelay(48000.0, "0", 512, &reported), 0u);
  EXPECT_EQ(reported, 0);
  EXPECT_EQ(ImpulseDelay(44100.0, "0.1", 512, &reported), 4u);  // ring of 9 values
  EXPECT_EQ(reported, 4);
  EXPECT_EQ(ImpulseDelay(48000.0, "10", 100, &reported), 479u);
  EXPECT_EQ(reported, 479);
  EXPECT_EQ(ImpulseDelay(48000.0, "800", 512, &reported), 38399u);
  EXPECT_EQ(reported, 38399);
}

TEST(LimiterSessionTest, LoudInputIsLimitedAndReported) {
  LimiterSession s;
  s.Start(48000.0, 512, 2, true);
  Channels ch = SineChannels(2, 3.0, 48000, 0.5);  // about -6 LUFS, 8 LU over the limit
  for (size_t i = 0; i < ch[0].size(); i += 512) {
    double* p[2] = {ch[0].data() + i, ch[1].data() + i};
    s.Process(p, static_cast<int>(std::min<size_t>(512, ch[0].size() - i)));
  }
  const EngineReadouts r = s.Readouts();
  EXPECT_TRUE(r.hasMaximum);
  EXPECT_NEAR(r.maximumLufs, -6.0, 1.0);
  EXPECT_TRUE(r.hasIntegrated);
  EXPECT_GT(r.maxAttenuationDb, 6.0);
  EXPECT_LT(r.maxAttenuationDb, 18.5);
  EXPECT_EQ(r.historyPoints, 60);  // 3 s in 50-ms points
  // The tail of the output sits near the limit: well below the input peak.
  double peak = 0.0;
  for (size_t i = ch[0].size() - 4800; i < ch[0].size(); ++i) peak = std::max(peak, std::fabs(ch[0][i]));
  EXPECT_LT(peak, 0.5 * 0.5);
}

TEST(LimiterSessionTest, StoppedTransportIntegratesNothingWhenGraphingOnlyWhilePlaying) {
  LimiterSession s;
  s.Start(48000.0, 512, 2, false);
  Channels ch = SineChannels(2, 1.0, 48000, 0.5);
  for (size_t i = 0; i < ch[0].size(); i += 512) {
    double* p[2] = {ch[0].data() + i, ch[1].data() + i};
    s.Process(p, static_cast<int>(std::min<size_t>(512, ch[0].size() - i)));
  }
  const EngineReadouts r = s.Readouts();
  EXPECT_TRUE(r.hasMaximum);
  EXPECT_FALSE(r.hasIntegrated);
  EXPECT_EQ(r.historyPoints, 0);
  EXPECT_GT(r.maxAttenuationDb, 0.0);
}

TEST(LimiterSessionTest, SilenceReportsNoLoudness) {
  LimiterSession s;
  s.Start(44100.0, 512, 2, true);
  std::vector<double> l(44100, 0.0), r(44100, 0.0);
  for (size_t i = 0; i < l.size(); i += 512) {
    double* p[2] = {l.data() + i, r.data() + i};
    s.Process(p, static_cast<int>(std::min<size_t>(512, l.size() - i)));
  }
  const EngineReadouts e = s.Readouts();
  EXPECT_FALSE(e.hasMaximum);
  EXPECT_FALSE(e.hasIntegrated);
  EXPECT_EQ(e.maxAttenuationDb, 0.0);
  EXPECT_FALSE(std::signbit(e.maxAttenuationDb));
}

TEST(LimiterSessionTest, MonoIsProcessedAsOneChannel) {
  LimiterSession s;
  s.Start(48000.0, 256, 1, true);
  Channels ch = SineChannels(1, 1.0, 48000, 0.01);  // far below the limit: gain 1
  const std::vector<double> in = ch[0];
  for (size_t i = 0; i < ch[0].size(); i += 256) {
    double* p[1] = {ch[0].data() + i};
    s.Process(p, static_cast<int>(std::min<size_t>(256, ch[0].size() - i)));
  }
  EXPECT_EQ(ch[0], in);
  EXPECT_TRUE(s.Readouts().hasMaximum);
}

// ------------------------------------------------------------ files

TEST(AudioFileTest, OutputGoesBesideTheInputAsWav) {
  EXPECT_EQ(DefaultOutputPath("song.wav"), "song-quarvelline.wav");
  EXPECT_EQ(DefaultOutputPath("dir/song.flac"), "dir/song-quarvelline.wav");
  EXPECT_EQ(DefaultOutputPath("/a/b.c/track"), "/a/b.c/track-quarvelline.wav");
  EXPECT_EQ(DefaultOutputPath("my.song.aiff"), "my.song-quarvelline.wav");
}

TEST(AudioFileTest, SameFileSeesThroughSpellingsAndLinks) {
  TempDir dir;
  WriteWav(dir / "a.wav", SineChannels(1, 0.01, 8000, 0.1), 8000);
  EXPECT_TRUE(SameFile(dir / "a.wav", (dir.path / "." / "a.wav").string()));
  EXPECT_TRUE(SameFile(dir / "a.wav", (dir.path / "sub" / ".." / "a.wav").string()));
  fs::create_hard_link(dir / "a.wav", dir / "hard.wav");
  EXPECT_TRUE(SameFile(dir / "a.wav", dir / "hard.wav"));
  fs::create_symlink(dir / "a.wav", dir / "soft.wav");
  EXPECT_TRUE(SameFile(dir / "soft.wav", dir / "a.wav"));
  EXPECT_FALSE(SameFile(dir / "a.wav", dir / "b.wav"));
  EXPECT_TRUE(SameFile(dir / "new.wav", (dir.path / "." / "new.wav").string()));
}

TEST(AudioFileTest, OutputFormatKeepsPcmWidthOrFloat) {
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_WAV | SF_FORMAT_PCM_16), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_AIFF | SF_FORMAT_PCM_24), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_FLAC | SF_FORMAT_PCM_16), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_WAV | SF_FORMAT_DOUBLE), SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_AIFF | SF_FORMAT_PCM_S8), SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_OGG | SF_FORMAT_VORBIS), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_WAV | SF_FORMAT_ULAW), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST(AudioFileTest, WriterShowsTheFileOnlyAfterCommit) {
  TempDir dir;
  const Channels ch = SineChannels(2, 0.1, 8000, 0.5);
  std::string err;
  {
    AudioWriter w;
    ASSERT_TRUE(w.Open(dir / "out.wav", 8000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, &err)) << err;
    ASSERT_TRUE(w.Write(ch, 0, 400, &err)) << err;
    ASSERT_TRUE(w.Write(ch, 400, 400, &err)) << err;
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
    EXPECT_TRUE(fs::exists(w.TempPath()));
    ASSERT_TRUE(w.Commit(&err)) << err;
  }
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"out.wav"});
  const WavData d = ReadWav(dir / "out.wav");
  EXPECT_EQ(d.info.frames, 800);
  EXPECT_EQ(d.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  ASSERT_EQ(d.ch.size(), 2u);
  EXPECT_NEAR(d.ch[1][123], ch[1][123], 1e-6);
}

TEST(AudioFileTest, AnUncommittedWriterLeavesNothingAndKeepsTheOldFile) {
  TempDir dir;
  std::ofstream(dir / "out.wav") << "previous";
  std::string err;
  {
    AudioWriter w;
    ASSERT_TRUE(w.Open(dir / "out.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &err)) << err;
    ASSERT_TRUE(w.Write(SineChannels(1, 0.1, 8000, 0.5), 0, 800, &err)) << err;
  }
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"out.wav"});
  std::ifstream in(dir / "out.wav");
  std::string content;
  in >> content;
  EXPECT_EQ(content, "previous");
}

TEST(AudioFileTest, WriterRefusesMissingFoldersAndDirectories) {
  TempDir dir;
  std::string err;
  AudioWriter w;
  EXPECT_FALSE(w.Open(dir / "missing/out.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &err));
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;
  fs::create_directory(dir / "folder.wav");
  EXPECT_FALSE(w.Open(dir / "folder.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &err));
  EXPECT_NE(err.find("directory"), std::string::npos) << err;
}

TEST(AudioFileTest, ReaderReadsInChunksUntilTheEnd) {
  TempDir dir;
  const Channels ch = SineChannels(2, 0.25, 8000, 0.5);  // 2000 frames
  WriteWav(dir / "in.wav", ch, 8000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  AudioReader r;
  std::string err;
  ASSERT_TRUE(r.Open(dir / "in.wav", &err)) << err;
  EXPECT_EQ(r.Info().frames, 2000);
  EXPECT_EQ(r.Info().channels, 2);
  Channels got;
  int64_t total = 0;
  std::vector<int64_t> sizes;
  for (int64_t n; (n = r.Read(got, 768, &err)) > 0; total += n) {
    sizes.push_back(n);
    EXPECT_NEAR(got[1][5], ch[1][static_cast<size_t>(total + 5)], 1e-7);
  }
  EXPECT_EQ(total, 2000);
  EXPECT_EQ(sizes, (std::vector<int64_t>{768, 768, 464}));
}

std::string OpenError(const std::string& path) {
  AudioReader r;
  std::string err;
  EXPECT_FALSE(r.Open(path, &err)) << path;
  EXPECT_EQ(err.find('\n'), std::string::npos);
  return err;
}

TEST(AudioFileTest, ReaderRefusesWhatItCannotLimit) {
  TempDir dir;
  EXPECT_NE(OpenError(dir / "none.wav").find("No such file"), std::string::npos);
  std::ofstream(dir / "text.wav") << "this is not audio at all, just some words";
  EXPECT_NE(OpenError(dir / "text.wav").find("not an audio file"), std::string::npos);
  EXPECT_NE(OpenError(dir.path.string()).find("directory"), std::string::npos);
  WriteWav(dir / "three.wav", SineChannels(3, 0.01, 8000, 0.1), 8000);
  EXPECT_NE(OpenError(dir / "three.wav").find("3 channels"), std::string::npos);
  WriteWav(dir / "slow.wav", SineChannels(1, 0.1, 4000, 0.1, 100.0), 4000);
  EXPECT_NE(OpenError(dir / "slow.wav").find("4000 Hz"), std::string::npos);
  WriteWav(dir / "empty.wav", Channels(2), 48000);
  EXPECT_NE(OpenError(dir / "empty.wav").find("no audio"), std::string::npos);
}

// ------------------------------------------------------------ the program

struct CliResult {
  int code = -1;
  std::string out, err;
};

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

CliResult RunCli(const std::vector<std::string>& args, const fs::path& cwd) {
  const fs::path outFile = fs::temp_directory_path() / ("quarv-cli-" + std::to_string(getpid()) + ".out");
  const fs::path errFile = fs::temp_directory_path() / ("quarv-cli-" + std::to_string(getpid()) + ".err");
  std::string cmd = "cd " + ShellQuote(cwd.string()) + " && " + ShellQuote(QUARV_RENDER_BIN);
  for (const std::string& a : args) cmd += " " + ShellQuote(a);
  cmd += " >" + ShellQuote(outFile.string()) + " 2>" + ShellQuote(errFile.string()) + " </dev/null";
  const int status = std::system(cmd.c_str());
  CliResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(outFile);
  r.err = Slurp(errFile);
  fs::remove(outFile);
  fs::remove(errFile);
  return r;
}

void ExpectOneLineError(const CliResult& r, const std::string& containing) {
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("quarvelline-render: ", 0), 0u) << r.err;
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find(containing), std::string::npos) << r.err;
}

TEST(RenderProgramTest, WritesTheLimitedFileBesideTheInputAndReports) {
  TempDir dir;
  WriteWav(dir / "song.wav", SineChannels(2, 2.0, 44100, 0.5), 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  const CliResult r = RunCli({"song.wav"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"song-quarvelline.wav", "song.wav"}));
  const WavData in = ReadWav(dir / "song.wav");
  const WavData out = ReadWav(dir / "song-quarvelline.wav");
  EXPECT_EQ(out.info.samplerate, 44100);
  EXPECT_EQ(out.info.channels, 2);
  EXPECT_EQ(out.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  ASSERT_EQ(out.info.frames, in.info.frames);
  double tailPeak = 0.0;  // the last 0.1 s, limited well below the input's 0.5
  for (size_t i = out.ch[0].size() - 4410; i < out.ch[0].size(); ++i) tailPeak = std::max(tailPeak, std::fabs(out.ch[0][i]));
  EXPECT_LT(tailPeak, 0.3);
  for (const char* line : {"preset:    \"Spotify: -14 LUFS\" (slot 1)", "frames:    88200 ", "44100 Hz",
                           "maximum momentary loudness: -", "integrated loudness:        -",
                           "maximum attenuation:        ", "history points stored:      40"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

TEST(RenderProgramTest, LookAheadOutputLinesUpWithTheInputAtTheSameLength) {
  TempDir dir;
  for (double seconds : {2.0, 0.25}) {  // longer and shorter than the 800 ms delay
    Channels ch(2, std::vector<double>(static_cast<size_t>(48000 * seconds), 0.0));
    ch[0][5000] = ch[1][5000] = 0.5;
    WriteWav(dir / "click.wav", ch, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const CliResult r =
        RunCli({"--set", "Look Ahead=800ms", "--block", "333", "click.wav", "--out", "o.wav"}, dir.path);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("look-ahead delay: 38399 frames"), std::string::npos) << r.out;
    const WavData out = ReadWav(dir / "o.wav");
    ASSERT_EQ(static_cast<size_t>(out.info.frames), ch[0].size());
    EXPECT_EQ(PeakIndex(out.ch[0]), 5000u);
    EXPECT_EQ(out.ch[1][5000], 0.5);
  }
}

TEST(RenderProgramTest, MonoStaysMono) {
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

TEST(RenderProgramTest, ErrorsAreOneLineWithExitCodeOneAndWriteNothing) {
  TempDir dir;
  WriteWav(dir / "ok.wav", SineChannels(2, 0.1, 48000, 0.1), 48000);
  std::ofstream(dir / "notes.txt") << "not audio";
  ExpectOneLineError(RunCli({"missing.wav"}, dir.path), "missing.wav");
  ExpectOneLineError(RunCli({"notes.txt"}, dir.path), "not an audio file");
  ExpectOneLineError(RunCli({"--preset", "Nope", "ok.wav"}, dir.path), "unknown preset 'Nope'");
  ExpectOneLineError(RunCli({"--set", "Window=7ms", "ok.wav"}, dir.path), "Window");
  ExpectOneLineError(RunCli({"--set", "Loudness=3", "ok.wav"}, dir.path), "unknown parameter");
  ExpectOneLineError(RunCli({"ok.wav", "--out", "./ok.wav"}, dir.path), "overwrite the input");
  ExpectOneLineError(RunCli({"ok.wav", "--out", "nowhere/x.wav"}, dir.path), "nowhere");
  ExpectOneLineError(RunCli({"--frobnicate"}, dir.path), "unknown option");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"notes.txt", "ok.wav"}));
}

TEST(RenderProgramTest, HelpAndPresetListSucceed) {
  TempDir dir;
  const CliResult help = RunCli({"--help"}, dir.path);
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--list-presets"), std::string::npos);
  const CliResult list = RunCli({"--list-presets"}, dir.path);
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find(" 1  Spotify: -14 LUFS"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("20  Analyzing without play & only metering"), std::string::npos);
  EXPECT_NE(list.out.find("29  (free slot)"), std::string::npos);
  EXPECT_TRUE(dir.Files().empty());
}

TEST(RenderProgramTest, WithoutInputRendersTheDemoIntoItsFolder) {
  TempDir dir;
  const CliResult r = RunCli({"--stopped"}, dir.path);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"quarvelline-demo"});
  const WavData in = ReadWav(dir / "quarvelline-demo/demo.wav");
  const WavData out = ReadWav(dir / "quarvelline-demo/demo-quarvelline.wav");
  EXPECT_EQ(in.info.frames, 2880000);
  EXPECT_EQ(in.info.samplerate, 48000);
  EXPECT_EQ(out.info.frames, 2880000);
  EXPECT_NE(r.out.find("frames:    2880000 (60.000 s) at 48000 Hz, stereo"), std::string::npos) << r.out;
  // Stopped, with "Graph when play" on: nothing is integrated or graphed.
  EXPECT_NE(r.out.find("integrated loudness:        - - -"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("history points stored:      0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("transport: stopped"), std::string::npos) << r.out;
}

}  // namespace
