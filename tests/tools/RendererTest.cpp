// The render loop against a recording stand-in for a plug-in: block sizes,
// the transport the plug-in sees at each call, exact event frames, the
// delay compensation and the precision used.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/HostTestSupport.h"
#include "tools/Renderer.h"

using namespace quarv::render;
using namespace quarv::test;
using quarv::host::Precision;

namespace {

// Delays its input by a fixed number of frames and remembers every call.
class RecordingPlugin final : public quarv::host::HostedPlugin {
public:
  struct Call {
    int frames;
    bool playing;
    double samplePos;
    bool dbl;
  };
  explicit RecordingPlugin(int delay = 0) : mDelay(delay) {}

  std::string Format() const override { return "test"; }
  std::string Name() override { return "Recorder"; }
  std::string Vendor() override { return "Tests"; }
  int32_t Version() override { return 1; }
  bool HasEditor() override { return false; }
  bool CanProcessDouble() override { return true; }
  int LatencyFrames() override { return mDelay; }
  int NumParams() override { return 0; }
  std::string ParamName(int) override { return ""; }
  std::string ParamLabel(int) override { return ""; }
  std::string ParamDisplay(int) override { return ""; }
  double ParamNormalized(int) override { return 0.0; }
  void SetParamNormalized(int, double) override {}
  bool SetParamFromText(int, const std::string&) override { return false; }
  std::vector<std::string> ParamTexts(int) override { return {}; }
  std::optional<std::string> DisplayOfNormalized(int, double) override { return std::nullopt; }
  int NumPrograms() override { return 1; }
  std::string ProgramName(int) override { return "only"; }
  int CurrentProgram() override { return 0; }
  void SetProgram(int) override {}
  std::vector<uint8_t> SaveState() override { return {}; }
  bool LoadState(const std::vector<uint8_t>&) override { return false; }
  void Configure(double sampleRate, int, int channels, quarv::host::Precision) override {
    transport.sampleRate = sampleRate;
    mLine.assign(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(mDelay), 0.0));
  }
  void Start() override { ++starts; }
  void Stop() override { ++stops; }
  void Process(float* const* in, float* const* out, int frames) override {
    Record(frames, false);
    for (size_t c = 0; c < mLine.size(); ++c) {
      for (int i = 0; i < frames; ++i) out[c][i] = static_cast<float>(Delay(c, in[c][i]));
    }
  }
  void Process(double* const* in, double* const* out, int frames) override {
    Record(frames, true);
    for (size_t c = 0; c < mLine.size(); ++c) {
      for (int i = 0; i < frames; ++i) out[c][i] = Delay(c, in[c][i]);
    }
  }
  quarv::host::Transport& GetTransport() override { return transport; }

  quarv::host::Transport transport;
  std::vector<Call> calls;
  int starts = 0, stops = 0;

private:
  void Record(int frames, bool dbl) {
    calls.push_back({frames, transport.playing, transport.samplePos, dbl});
    if (transport.playing) transport.samplePos += frames;
  }
  double Delay(size_t c, double x) {
    if (mDelay == 0) return x;
    std::vector<double>& line = mLine[c];
    const double y = line[mPos[c]];
    line[mPos[c]] = x;
    mPos[c] = (mPos[c] + 1) % line.size();
    return y;
  }

  int mDelay;
  std::vector<std::vector<double>> mLine;
  size_t mPos[2] = {0, 0};
};

struct Rendered {
  bool ok = false;
  std::string error;
  RenderResult result;
  WavData out;
};

Rendered RenderFile(const TempDir& dir, const Channels& in, int rate, RecordingPlugin& plug, RenderSetup setup) {
  Rendered r;
  WriteWav(dir / "in.wav", in, rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  AudioReader reader;
  EXPECT_TRUE(reader.Open(dir / "in.wav", &r.error)) << r.error;
  plug.Configure(rate, setup.block, static_cast<int>(in.size()), setup.precision);
  AudioWriter writer;
  EXPECT_TRUE(writer.Open(dir / "out.wav", rate, static_cast<int>(in.size()), FloatWavFormat(), &r.error));
  r.ok = Render(reader, writer, plug, setup, &r.result, &r.error) && writer.Commit(&r.error);
  if (r.ok) r.out = ReadWav(dir / "out.wav");
  return r;
}

Channels Ramp(int channels, size_t frames) {
  Channels ch(static_cast<size_t>(channels), std::vector<double>(frames));
  for (size_t i = 0; i < frames; ++i) {
    for (size_t c = 0; c < ch.size(); ++c) ch[c][i] = static_cast<double>((i % 1000) + 1000 * c) / 4096.0;
  }
  return ch;
}

TEST(RendererTest, CallsNeverExceedTheBlockAndCoverTheInputOnce) {
  TempDir dir;
  RecordingPlugin plug;
  RenderSetup setup;
  setup.block = 300;
  const Rendered r = RenderFile(dir, Ramp(2, 20000), 8000, plug, setup);
  ASSERT_TRUE(r.ok) << r.error;
  int64_t total = 0;
  for (const auto& c : plug.calls) {
    EXPECT_GE(c.frames, 1);
    EXPECT_LE(c.frames, 300);
    EXPECT_FALSE(c.dbl);
    total += c.frames;
  }
  EXPECT_EQ(total, 20000);
  EXPECT_EQ(plug.starts, 1);
  EXPECT_EQ(plug.stops, 1);
  EXPECT_EQ(r.result.frames, 20000);
  EXPECT_EQ(r.out.ch, Ramp(2, 20000));  // exact in 32-bit float
}

TEST(RendererTest, DoublePrecisionUsesTheDoubleEntry) {
  TempDir dir;
  RecordingPlugin plug;
  RenderSetup setup;
  setup.precision = Precision::kDouble;
  ASSERT_TRUE(RenderFile(dir, Ramp(1, 5000), 8000, plug, setup).ok);
  ASSERT_FALSE(plug.calls.empty());
  for (const auto& c : plug.calls) EXPECT_TRUE(c.dbl);
}

TEST(RendererTest, TheTransportPlaysFromTheStartPositionAndAdvances) {
  TempDir dir;
  RecordingPlugin plug;
  RenderSetup setup;
  setup.block = 1000;
  setup.startSeconds = 2.0;
  ASSERT_TRUE(RenderFile(dir, Ramp(2, 3500), 8000, plug, setup).ok);
  ASSERT_EQ(plug.calls.size(), 4u);
  for (size_t i = 0; i < plug.calls.size(); ++i) {
    EXPECT_TRUE(plug.calls[i].playing);
    EXPECT_EQ(plug.calls[i].samplePos, 16000.0 + 1000.0 * static_cast<double>(i));
  }
}

TEST(RendererTest, EventsTakeEffectAtTheirExactFrame) {
  TempDir dir;
  RecordingPlugin plug;
  RenderSetup setup;
  setup.block = 512;
  setup.stopped = true;
  using Kind = TransportEvent::Kind;
  // At 8 kHz: play at frame 1000, locate to 60 s at frame 2000, stop at
  // 2500 and an event past the end that never comes.
  setup.events = {{Kind::kLocate, 0.25, 60.0}, {Kind::kPlay, 0.125, 0.0}, {Kind::kStop, 0.3125, 0.0},
                  {Kind::kPlay, 10.0, 0.0}};
  ASSERT_TRUE(RenderFile(dir, Ramp(2, 3000), 8000, plug, setup).ok);
  std::vector<int> frames;
  int64_t at = 0;
  for (const auto& c : plug.calls) {
    frames.push_back(c.frames);
    if (at < 1000) {
      EXPECT_FALSE(c.playing) << at;
      EXPECT_EQ(c.samplePos, 0.0) << at;
    } else if (at < 2000) {
      EXPECT_TRUE(c.playing) << at;
      EXPECT_EQ(c.samplePos, static_cast<double>(at - 1000)) << at;
    } else if (at < 2500) {
      EXPECT_TRUE(c.playing) << at;
      EXPECT_EQ(c.samplePos, 480000.0 + static_cast<double>(at - 2000)) << at;
    } else {
      EXPECT_FALSE(c.playing) << at;
      EXPECT_EQ(c.samplePos, 480500.0) << at;
    }
    at += c.frames;
  }
  EXPECT_EQ(frames, (std::vector<int>{512, 488, 512, 488, 500, 500}));
}

TEST(RendererTest, TheDelayIsCompensatedAtTheSameLength) {
  TempDir dir;
  RecordingPlugin plug(777);
  RenderSetup setup;
  setup.block = 256;
  setup.delayFrames = 777;
  const Channels in = Ramp(2, 10000);
  const Rendered r = RenderFile(dir, in, 8000, plug, setup);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.out.ch, in);
  int64_t total = 0;
  for (const auto& c : plug.calls) total += c.frames;
  EXPECT_EQ(total, 10777);  // the tail flushed with silence
}

TEST(RendererTest, MeasuresTheInputAndTheAlignedResult) {
  TempDir dir;
  RecordingPlugin plug(1234);
  RenderSetup setup;
  setup.delayFrames = 1234;
  const Rendered r = RenderFile(dir, SineChannels(2, 3.0, 48000, std::pow(10.0, -23.0 / 20.0)), 48000, plug, setup);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_TRUE(r.result.input.integratedLufs && r.result.output.integratedLufs);
  EXPECT_NEAR(*r.result.input.integratedLufs, -23.0, 0.1);
  EXPECT_NEAR(*r.result.output.integratedLufs, *r.result.input.integratedLufs, 1e-6);
  ASSERT_TRUE(r.result.reduction.db);
  EXPECT_NEAR(*r.result.reduction.db, 0.0, 1e-6);
}

}  // namespace
