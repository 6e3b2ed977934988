// The host's command line: defaults, every option in both spellings, the
// transport events, and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/HostOptions.h"

using namespace quarv::render;
using quarv::host::Precision;

namespace {

bool Parse(std::vector<const char*> args, HostOptions* o, std::string* err) {
  args.insert(args.begin(), "quarvelline-host");
  return ParseOptions(static_cast<int>(args.size()), args.data(), o, err);
}

TEST(HostOptionsTest, DefaultsRenderTheDemoThroughTheBuiltModuleWhilePlaying) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(Parse({}, &o, &err)) << err;
  EXPECT_TRUE(o.module.empty());
  EXPECT_TRUE(o.preset.empty());  // the plug-in's own program
  EXPECT_EQ(o.block, 512);
  EXPECT_EQ(o.precision, Precision::kSingle);
  EXPECT_TRUE(o.inputs.empty());
  EXPECT_TRUE(o.output.empty());
  EXPECT_TRUE(o.chart.empty());  // beside the result
  EXPECT_FALSE(o.noChart || o.allowClipping || o.target);
  EXPECT_FALSE(o.stopped);
  EXPECT_EQ(o.startSeconds, 0.0);
  EXPECT_TRUE(o.events.empty());
  EXPECT_FALSE(o.help || o.listPresets || o.listParams || o.json);
  EXPECT_TRUE(o.loadState.empty() && o.saveState.empty());
}

TEST(HostOptionsTest, ReadsEveryOptionInBothSpellings) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(Parse({"--preset=Cinematic", "--block", "256", "--set", "Window=20ms", "-s", " Out Limit = -16 ",
                     "--stopped", "-o", "x.wav", "in.wav", "-m", "plug.so", "--precision=double", "--load-state",
                     "a.state", "--save-state=b.state", "--start", "2.5s", "--json", "--list-params",
                     "--list-presets", "--chart", "c.png", "--allow-clipping", "--target=-14,-1"},
                    &o, &err))
      << err;
  EXPECT_EQ(o.preset, "Cinematic");
  EXPECT_EQ(o.block, 256);
  ASSERT_EQ(o.settings.size(), 2u);
  EXPECT_EQ(o.settings[0], std::make_pair(std::string("Window"), std::string("20ms")));
  EXPECT_EQ(o.settings[1], std::make_pair(std::string("Out Limit"), std::string("-16")));
  EXPECT_TRUE(o.stopped);
  EXPECT_EQ(o.output, "x.wav");
  EXPECT_EQ(o.inputs, std::vector<std::string>{"in.wav"});
  EXPECT_EQ(o.module, "plug.so");
  EXPECT_EQ(o.chart, "c.png");
  EXPECT_TRUE(o.allowClipping);
  ASSERT_TRUE(o.target);
  EXPECT_EQ(o.target->lufs, -14.0);
  EXPECT_EQ(o.target->truePeakDb, -1.0);
  EXPECT_EQ(o.precision, Precision::kDouble);
  EXPECT_EQ(o.loadState, "a.state");
  EXPECT_EQ(o.saveState, "b.state");
  EXPECT_EQ(o.startSeconds, 2.5);
  EXPECT_TRUE(o.json && o.listParams && o.listPresets);
}

TEST(HostOptionsTest, TransportEventsKeepTheirOrderAndTimes) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(Parse({"--locate", "10:30", "--stop-at", "800ms", "--play-at=1.5s", "--locate", " 2 : 0.25 "}, &o,
                    &err))
      << err;
  ASSERT_EQ(o.events.size(), 4u);
  using Kind = TransportEvent::Kind;
  EXPECT_EQ(o.events[0].kind, Kind::kLocate);
  EXPECT_EQ(o.events[0].atSeconds, 10.0);
  EXPECT_EQ(o.events[0].toSeconds, 30.0);
  EXPECT_EQ(o.events[1].kind, Kind::kStop);
  EXPECT_DOUBLE_EQ(o.events[1].atSeconds, 0.8);
  EXPECT_EQ(o.events[2].kind, Kind::kPlay);
  EXPECT_EQ(o.events[2].atSeconds, 1.5);
  EXPECT_EQ(o.events[3].atSeconds, 2.0);
  EXPECT_EQ(o.events[3].toSeconds, 0.25);
}

TEST(HostOptionsTest, ReadsTimesInSecondsAndMilliseconds) {
  double s = -1.0;
  EXPECT_TRUE(ParseSeconds("12", &s));
  EXPECT_EQ(s, 12.0);
  EXPECT_TRUE(ParseSeconds("0.5s", &s));
  EXPECT_EQ(s, 0.5);
  EXPECT_TRUE(ParseSeconds("250ms", &s));
  EXPECT_DOUBLE_EQ(s, 0.25);
  EXPECT_TRUE(ParseSeconds(" 3 s", &s));
  EXPECT_EQ(s, 3.0);
  for (const char* bad : {"", "s", "ms", "-1", "1x", "nan", "inf", "1e999", "1,5", "1 2"}) {
    EXPECT_FALSE(ParseSeconds(bad, &s)) << bad;
  }
}

TEST(HostOptionsTest, DoubleDashAllowsAnInputStartingWithADash) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(Parse({"--", "-odd.wav"}, &o, &err)) << err;
  EXPECT_EQ(o.inputs, std::vector<std::string>{"-odd.wav"});
}

TEST(HostOptionsTest, SeveralInputsKeepTheirOrderAndRefuseOptionsNamingOneFile) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(Parse({"b.wav", "--no-chart", "a.flac", "--preset", "1", "c.wav"}, &o, &err)) << err;
  EXPECT_EQ(o.inputs, (std::vector<std::string>{"b.wav", "a.flac", "c.wav"}));
  EXPECT_TRUE(o.noChart);
  for (const char* option : {"--out=x.wav", "--chart=x.png", "--save-state=x.state"}) {
    HostOptions two;
    EXPECT_FALSE(Parse({"a.wav", option, "b.wav"}, &two, &err)) << option;
    EXPECT_NE(err.find("cannot be used with 2 inputs"), std::string::npos) << err;
  }
}

TEST(HostOptionsTest, ReadsDeliveryTargetsWithOrWithoutUnits) {
  DeliveryTarget t;
  ASSERT_TRUE(ParseTarget("-14,-1", &t));
  EXPECT_EQ(t.lufs, -14.0);
  EXPECT_EQ(t.truePeakDb, -1.0);
  ASSERT_TRUE(ParseTarget(" -23 LUFS ", &t));
  EXPECT_EQ(t.lufs, -23.0);
  EXPECT_FALSE(t.truePeakDb);
  ASSERT_TRUE(ParseTarget("-16.5lufs, -1.5 dBTP", &t));
  EXPECT_EQ(t.lufs, -16.5);
  EXPECT_EQ(t.truePeakDb, -1.5);
  // A forgotten minus, a value below the gate, a missing peak, words.
  for (const char* bad : {"14,-1", "-14,1", "-80", "-14,", ",-1", "", "loud", "-14;-1", "-14,-1,-2", "nan"}) {
    EXPECT_FALSE(ParseTarget(bad, &t)) << bad;
  }
}

TEST(HostOptionsTest, RefusesBadCommandLinesWithAReason) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},          {"--block"},           {"--block", "0"},       {"--block", "12x"},
      {"--block", "70000"}, {"--set", "Window"},   {"--set", "=5"},        {"--set", "Window="},
      {"--target", "14"},   {"--stopped=1"},       {"--preset", ""},       {"--out="},
      {"--module="},        {"--precision", "half"}, {"--start", "-1"},    {"--locate", "5"},
      {"--locate", "a:b"},  {"--stop-at", "soon"}, {"--json=yes"},         {"--load-state="},
      {"--save-state"},     {"--play-at", ""},     {"--chart="},           {"--allow-clipping=1"},
      {"--chart", "c.png", "--no-chart"},
  };
  for (const auto& args : bad) {
    HostOptions o;
    std::string err;
    EXPECT_FALSE(Parse(args, &o, &err)) << args[0];
    EXPECT_FALSE(err.empty()) << args[0];
    EXPECT_EQ(err.find('\n'), std::string::npos) << err;
  }
}

TEST(HostOptionsTest, HelpDocumentsEveryOptionAndTheDefinitions) {
  const std::string help = UsageText();
  for (const char* opt : {"--module", "--preset", "--list-presets", "--list-params", "--out", "--block",
                          "--precision", "--stopped", "--start", "--stop-at", "--play-at", "--locate", "--set",
                          "--load-state", "--save-state", "--json", "--help", "--chart", "--no-chart", "--target",
                          "--allow-clipping"}) {
    EXPECT_NE(help.find(opt), std::string::npos) << opt;
  }
  // How the delay is compensated and what the gain reduction means.
  EXPECT_NE(help.find("ceil(L / 2) - 1"), std::string::npos);
  EXPECT_NE(help.find("largest gain reduction"), std::string::npos);
  EXPECT_NE(help.find("terminal"), std::string::npos);
  // The default module, the exit statuses and what a clipped sample is.
  EXPECT_NE(help.find("default: the\n                           Quarvelline3.vst3"), std::string::npos);
  EXPECT_EQ(help.find("Quarvelline2.so"), std::string::npos);
  for (const char* status : {"\n  0  success", "\n  1  ", "\n  2  a PCM result has clipped samples",
                             "\n  3  a result misses the --target"}) {
    EXPECT_NE(help.find(status), std::string::npos) << status;
  }
  EXPECT_NE(help.find("1 - 2^-(bits - 1)"), std::string::npos);
}

}  // namespace
