// Shared by the host's tests: temporary folders, WAV files written and read
// with libsndfile, generated signals, the built module and the program run
// as a separate process.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tools/host/HostedPlugin.h"

namespace quarv::test {

namespace fs = std::filesystem;
using Channels = std::vector<std::vector<double>>;

struct TempDir {
  fs::path path;
  TempDir() {
    static int counter = 0;
    path = fs::temp_directory_path() /
           ("quarv-host-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
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

inline void WriteWav(const std::string& path, const Channels& ch, int rate,
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

inline WavData ReadWav(const std::string& path) {
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

inline Channels SineChannels(int channels, double seconds, int rate, double peak, double freq = 1000.0) {
  const size_t n = static_cast<size_t>(std::llround(seconds * rate));
  Channels ch(static_cast<size_t>(channels), std::vector<double>(n));
  for (size_t i = 0; i < n; ++i) {
    const double v = peak * std::sin(2.0 * M_PI * freq * static_cast<double>(i) / rate);
    for (auto& c : ch) c[i] = v;
  }
  return ch;
}

inline size_t PeakIndex(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, x.size());
  size_t best = from;
  for (size_t i = from; i < to; ++i) {
    if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
  }
  return best;
}

inline double Peak(const std::vector<double>& x, size_t from, size_t to) {
  return std::fabs(x[PeakIndex(x, from, to)]);
}

// The module built with the tests, opened through the host's interface.
inline std::unique_ptr<host::HostedPlugin> OpenModule() {
  std::string error;
  std::unique_ptr<host::HostedPlugin> plug = host::OpenPlugin(QUARV_VST2_MODULE, &error);
  EXPECT_TRUE(plug) << error;
  return plug;
}

inline std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct CliResult {
  int code = -1;
  std::string out, err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs quarvelline-host in cwd with stdin from /dev/null and both outputs
// captured (so stderr is no terminal).
inline CliResult RunCli(const std::vector<std::string>& args, const fs::path& cwd) {
  static int counter = 0;
  const std::string stem = "quarv-host-cli-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  const fs::path outFile = fs::temp_directory_path() / (stem + ".out");
  const fs::path errFile = fs::temp_directory_path() / (stem + ".err");
  std::string cmd = "cd " + ShellQuote(cwd.string()) + " && " + ShellQuote(QUARV_HOST_BIN);
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

inline void ExpectOneLineError(const CliResult& r, const std::string& containing) {
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_EQ(r.err.rfind("quarvelline-host: ", 0), 0u) << r.err;
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_NE(r.err.find(containing), std::string::npos) << r.err;
}

}  // namespace quarv::test
