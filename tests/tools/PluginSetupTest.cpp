// The built Quarvelline2.so behind the host's interface: loading and its
// failures, identity, programs, parameters by name and value, saved state,
// the delay the host compensates, and processing in both precisions.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/tools/HostTestSupport.h"
#include "tools/PluginSetup.h"

using namespace quarv::render;
using namespace quarv::test;
using quarv::host::HostedPlugin;

namespace {

std::string ValueOf(HostedPlugin& plug, const std::string& name) {
  for (const ParamEntry& p : ListParams(plug)) {
    if (p.name == name) return p.label.empty() ? p.display : p.display + " " + p.label;
  }
  return "?";
}

std::string LoadError(const std::string& path) {
  std::string error;
  EXPECT_FALSE(quarv::host::OpenPlugin(path, &error)) << path;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  return error;
}

// ------------------------------------------------------------ loading

TEST(HostedPluginTest, RefusesWhatIsNoPluginModule) {
  TempDir dir;
  EXPECT_NE(LoadError(dir / "missing.so").find("No such file"), std::string::npos);
  std::ofstream(dir / "text.so") << "not a shared object";
  EXPECT_NE(LoadError(dir / "text.so").find("cannot load module"), std::string::npos);
  EXPECT_NE(LoadError(dir.path.string()).find("directory"), std::string::npos);
  EXPECT_NE(LoadError(QUARV_NO_ENTRY_MODULE).find("no VST 2.4 entry point"), std::string::npos);
  EXPECT_NE(LoadError(QUARV_NULL_ENTRY_MODULE).find("did not create"), std::string::npos);
  // A bundle without the module inside it.
  fs::create_directory(dir / "Other.vst3");
  EXPECT_NE(LoadError(dir / "Other.vst3").find("Other.vst3"), std::string::npos);
}

TEST(HostedPluginTest, ReportsWhatTheModuleIs) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->Format(), "VST 2.4");
  EXPECT_EQ(plug->Name(), "Quarvelline");
  EXPECT_EQ(plug->Vendor(), "Daskery");
  EXPECT_EQ(plug->Version(), 11600);
  EXPECT_TRUE(plug->CanProcessDouble());
  EXPECT_EQ(plug->LatencyFrames(), 0);
  EXPECT_EQ(plug->NumParams(), 9);
  EXPECT_EQ(plug->NumPrograms(), 30);
}

TEST(HostedPluginTest, ListTextsAndRangesComeFromTheVendorQueries) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  const int window = FindParam(*plug, "Window");
  EXPECT_EQ(plug->ParamTexts(window),
            (std::vector<std::string>{"2.5ms", "5ms", "10ms", "20ms", "50ms", "100ms"}));
  EXPECT_EQ(plug->ParamTexts(FindParam(*plug, "Reset on play")), (std::vector<std::string>{"no", "yes"}));
  const int limit = FindParam(*plug, "Out Limit");
  EXPECT_TRUE(plug->ParamTexts(limit).empty());
  EXPECT_EQ(plug->DisplayOfNormalized(limit, 0.0), "-60.0");
  EXPECT_EQ(plug->DisplayOfNormalized(limit, 1.0), "0");
  EXPECT_EQ(plug->DisplayOfNormalized(FindParam(*plug, "Look Ahead"), 1.0), "800.0");
}

TEST(HostedPluginTest, StateRoundTripsAndAShortStateIsRefused) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  std::string err;
  ASSERT_TRUE(SetParameter(*plug, "Out Limit", "-21.5", &err)) << err;
  const std::vector<uint8_t> state = plug->SaveState();
  EXPECT_EQ(state.size(), 76u);
  ASSERT_TRUE(SetParameter(*plug, "Out Limit", "-3", &err)) << err;
  EXPECT_TRUE(plug->LoadState(state));
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-21.5 lu");
  EXPECT_FALSE(plug->LoadState({1, 2, 3}));
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-21.5 lu");
}

// ------------------------------------------------------------ programs

TEST(PluginSetupTest, FindsPresetsByNameIgnoringCaseAndByIndex) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  std::string err;
  EXPECT_EQ(FindProgram(*plug, "Spotify: -14 LUFS", &err), 1);
  EXPECT_EQ(FindProgram(*plug, "deezer: -15 lufs", &err), 5);
  EXPECT_EQ(FindProgram(*plug, "Analyzing without play & only metering", &err), 20);
  EXPECT_EQ(FindProgram(*plug, "7", &err), 7);
  EXPECT_EQ(FindProgram(*plug, "0", &err), 0);
  EXPECT_EQ(plug->ProgramName(0), "---- default ----");
}

TEST(PluginSetupTest, RefusesUnknownPresetNamesAndIndicesOutOfRange) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  for (const char* what : {"Spotify", "30", "999999", "-1", ""}) {
    std::string err;
    EXPECT_EQ(FindProgram(*plug, what, &err), -1) << what;
    EXPECT_FALSE(err.empty()) << what;
  }
}

TEST(PluginSetupTest, AFreeSlotBecomesAUserPresetHoldingTheCurrentValues) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  std::string err;
  ASSERT_TRUE(SetParameter(*plug, "Out Limit", "-19", &err)) << err;
  const int idx = FindProgram(*plug, "25", &err);
  ASSERT_EQ(idx, 25) << err;
  plug->SetProgram(idx);
  EXPECT_EQ(plug->CurrentProgram(), 25);
  EXPECT_EQ(plug->ProgramName(25), "user preset 1");
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-19.0 lu");
}

TEST(PluginSetupTest, LoadingPresetsSetsTheirValues) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  std::string err;
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-14.0 lu");
  plug->SetProgram(FindProgram(*plug, "Deezer: -15 LUFS", &err));
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-15.0 lu");
  plug->SetProgram(FindProgram(*plug, "Master - Slow music", &err));
  EXPECT_EQ(ValueOf(*plug, "Look Ahead"), "40.0 ms");
  EXPECT_EQ(ValueOf(*plug, "Window"), "20ms");
}

// ------------------------------------------------------------ parameters

TEST(PluginSetupTest, SetsParametersFromNumbersUnitsAndTexts) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  std::string err;
  EXPECT_TRUE(SetParameter(*plug, "Window", "20ms", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Window"), "20ms");
  EXPECT_TRUE(SetParameter(*plug, "window", "100 MS", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Window"), "100ms");
  EXPECT_TRUE(SetParameter(*plug, "Window", "0", &err)) << err;  // list position
  EXPECT_EQ(ValueOf(*plug, "Window"), "2.5ms");
  EXPECT_TRUE(SetParameter(*plug, "Out Limit", "-16", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-16.0 lu");
  EXPECT_TRUE(SetParameter(*plug, "Out Limit", "-23 LUFS", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-23.0 lu");
  EXPECT_TRUE(SetParameter(*plug, "Out Limit", "0", &err)) << err;  // the top of the range
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "0 lu");
  EXPECT_TRUE(SetParameter(*plug, "Look Ahead", "5ms", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Look Ahead"), "5.0 ms");
  EXPECT_TRUE(SetParameter(*plug, "Look Ahead", "800", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Look Ahead"), "800.0 ms");
  EXPECT_TRUE(SetParameter(*plug, "Input Gain", "+3.5 dB", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Input Gain"), "3.5 dB");
  EXPECT_TRUE(SetParameter(*plug, "Reset on play", "no", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Reset on play"), "no");
  EXPECT_TRUE(SetParameter(*plug, "Graph when play", "0", &err)) << err;
  EXPECT_EQ(ValueOf(*plug, "Graph when play"), "no");
}

TEST(PluginSetupTest, RefusesUnknownParametersAndBadValuesLeavingTheValue) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"Volume", "1"},    {"Window", "30ms"},         {"Window", "6"},      {"Out Limit", "5"},
      {"Out Limit", "-61"}, {"Out Limit", "-14dB"},   {"Attack", "12abc"},  {"Attack", "nan"},
      {"Attack", "inf"},  {"Release", "0.5"},         {"Reset on play", "maybe"}, {"Input Gain", ""},
      {"Look Ahead", "-0.1"}, {"Look Ahead", "800.1"},
  };
  for (const auto& [name, value] : bad) {
    std::string err;
    EXPECT_FALSE(SetParameter(*plug, name, value, &err)) << name << "=" << value;
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), std::string::npos);
  }
  std::string err;
  SetParameter(*plug, "Volume", "1", &err);
  EXPECT_NE(err.find("known: Input Gain, Look Ahead"), std::string::npos) << err;
  SetParameter(*plug, "Out Limit", "5", &err);
  EXPECT_NE(err.find("out of range -60.0 to 0 lu"), std::string::npos) << err;
  SetParameter(*plug, "Window", "30ms", &err);
  EXPECT_NE(err.find("one of: 2.5ms, 5ms, 10ms, 20ms, 50ms, 100ms"), std::string::npos) << err;
  EXPECT_EQ(ValueOf(*plug, "Out Limit"), "-14.0 lu");
  EXPECT_EQ(ValueOf(*plug, "Window"), "10ms");
  EXPECT_EQ(ValueOf(*plug, "Attack"), "12.0 ms");
  EXPECT_EQ(ValueOf(*plug, "Look Ahead"), "0 ms");
}

// ------------------------------------------------------------ delay and processing

// Runs an impulse through the module and returns the frame of the output
// peak after the impulse, with the delay the host computes.
long ImpulseDelay(double rate, const char* lookAhead, int block, int* computed) {
  auto plug = OpenModule();
  std::string err;
  EXPECT_TRUE(SetParameter(*plug, "Look Ahead", lookAhead, &err)) << err;
  plug->Configure(rate, block, 2, quarv::host::Precision::kSingle);
  *computed = OutputDelayFrames(*plug, rate);
  plug->Start();
  const size_t n = static_cast<size_t>(rate);  // one second
  std::vector<float> l(n, 0.0f), r(n, 0.0f), outL(n), outR(n);
  l[100] = r[100] = 0.25f;
  for (size_t i = 0; i < n; i += static_cast<size_t>(block)) {
    float* in[2] = {l.data() + i, r.data() + i};
    float* out[2] = {outL.data() + i, outR.data() + i};
    plug->Process(in, out, static_cast<int>(std::min<size_t>(static_cast<size_t>(block), n - i)));
  }
  plug->Stop();
  return static_cast<long>(PeakIndex(std::vector<double>(outL.begin(), outL.end()))) - 100;
}

TEST(PluginSetupTest, ComputedDelayIsTheLookAheadDelayOfTheOutput) {
  int computed = -1;
  EXPECT_EQ(ImpulseDelay(48000.0, "0", 512, &computed), 0);
  EXPECT_EQ(computed, 0);
  EXPECT_EQ(ImpulseDelay(44100.0, "0.1", 512, &computed), 4);  // ring of 9 values
  EXPECT_EQ(computed, 4);
  EXPECT_EQ(ImpulseDelay(48000.0, "10", 100, &computed), 479);
  EXPECT_EQ(computed, 479);
  EXPECT_EQ(ImpulseDelay(48000.0, "800", 512, &computed), 38399);
  EXPECT_EQ(computed, 38399);
  // A value between two displayed tenths lands on what the display shows.
  const long between = ImpulseDelay(48000.0, "5.05", 512, &computed);
  EXPECT_EQ(between, computed);
}

TEST(PluginSetupTest, QuietMonoPassesUnchangedThroughOneChannel) {
  auto plug = OpenModule();
  ASSERT_TRUE(plug);
  plug->Configure(48000.0, 256, 1, quarv::host::Precision::kSingle);
  plug->Start();
  const Channels ch = SineChannels(1, 1.0, 48000, 0.01);  // far below the limit: gain 1
  std::vector<float> in(ch[0].begin(), ch[0].end()), out(in.size(), 9.0f);
  for (size_t i = 0; i < in.size(); i += 256) {
    float* ip[1] = {in.data() + i};
    float* op[1] = {out.data() + i};
    plug->Process(ip, op, static_cast<int>(std::min<size_t>(256, in.size() - i)));
  }
  plug->Stop();
  EXPECT_EQ(out, in);
}

TEST(PluginSetupTest, SingleAndDoublePrecisionGiveTheSameSamples) {
  const Channels ch = SineChannels(2, 2.0, 48000, 0.5);  // limited by several dB
  std::vector<std::vector<double>> results;
  for (bool dbl : {false, true}) {
    auto plug = OpenModule();
    ASSERT_TRUE(plug);
    plug->Configure(48000.0, 512, 2, quarv::host::Precision::kSingle);
    plug->Start();
    std::vector<double> outL(ch[0].size()), outR(ch[0].size());
    std::vector<float> fl(ch[0].begin(), ch[0].end()), fr(ch[1].begin(), ch[1].end()), ol(512), orr(512);
    std::vector<double> dl(fl.begin(), fl.end()), dr(fr.begin(), fr.end());
    for (size_t i = 0; i < ch[0].size(); i += 512) {
      const int n = static_cast<int>(std::min<size_t>(512, ch[0].size() - i));
      if (dbl) {
        double* in[2] = {dl.data() + i, dr.data() + i};
        double* out[2] = {outL.data() + i, outR.data() + i};
        plug->Process(in, out, n);
      } else {
        float* in[2] = {fl.data() + i, fr.data() + i};
        float* out[2] = {ol.data(), orr.data()};
        plug->Process(in, out, n);
        for (int k = 0; k < n; ++k) outL[i + static_cast<size_t>(k)] = ol[static_cast<size_t>(k)];
      }
    }
    plug->Stop();
    results.push_back(outL);
  }
  double worst = 0.0;
  for (size_t i = 0; i < results[0].size(); ++i) worst = std::max(worst, std::fabs(results[0][i] - results[1][i]));
  EXPECT_LE(worst, 0.5 * std::ldexp(1.0, -24));  // one rounding to single precision
  EXPECT_LT(Peak(results[1], results[1].size() - 4800, results[1].size()), 0.3);
}

}  // namespace
