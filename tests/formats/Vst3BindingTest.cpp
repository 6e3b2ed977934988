// The VST 3 binding in-process, on a small plug-in of its own: what the built
// bundle cannot show from outside (the processing-ready gate, the slices the
// engine receives, the transport queries, host identification, views without
// an editor) and the binding's text and value conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/Quarvelline.h"
#include "formats/vst3/IPlugParameter.h"
#include "formats/vst3/IPlugVST3.h"
#include "formats/vst3/IPlugVST3View.h"
#include "formats/vst3/Utf16.h"
#include "graphics/IGraphics.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "tools/host/Vst3Plugin.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using quarv::vst3::Utf16ToUtf8;
using quarv::vst3::Utf8ToUtf16;

namespace {

// Two parameters, mono or stereo, three presets; its processing writes 0.5
// and remembers what it was given.
class TestPlug : public IPlugVST3 {
public:
  TestPlug() : IPlugVST3(nullptr, 2, "1-1 2-2", 3, "Test", "", "Maker", 0x10000, 0x54657374, 0x4D6B7231, 0, 0, false, false) {
    GetParam(0)->SetupDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    GetParam(1)->SetupEnum("Mode", 1, 3);
  }
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override {
    (void)inputs;
    ++blocks;
    largestBlock = std::max(largestBlock, nFrames);
    positions.push_back(GetSamplePos());
    for (int c = 0; c < 2; ++c) {
      for (int f = 0; f < nFrames; ++f) outputs[c][f] = 0.5;
    }
  }
  void EditorOpened() override { ++opened; }
  void EditorClosed() override { ++closed; }
  void MakeReady() { SetProcessingReady(); }

  int blocks = 0;
  int largestBlock = 0;
  std::vector<int32_t> positions;
  int opened = 0;
  int closed = 0;
};

class NamedHost : public IHostApplication {
public:
  explicit NamedHost(const char* name) : mName(name) {}
  virtual ~NamedHost() = default;
  tresult PLUGIN_API getName(String128 name) override {
    Utf8ToUtf16(mName, name, 128);
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(TUID, TUID, void**) override { return kResultFalse; }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (std::memcmp(iid, IHostApplication::iid.toTUID(), 16) == 0 || std::memcmp(iid, FUnknown::iid.toTUID(), 16) == 0) {
      *obj = static_cast<IHostApplication*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

private:
  const char* mName;
};

// Owns one reference to a plug-in object.
struct PlugRef {
  TestPlug* plug = new TestPlug();
  ~PlugRef() {
    plug->terminate();
    plug->release();
  }
  TestPlug* operator->() const { return plug; }
};

// Initialises (once), sets up and activates the buses.
void Prepare(TestPlug* plug, int32 size, int32 block) {
  if (plug->getParameterCount() == 0) {
    ASSERT_EQ(plug->initialize(nullptr), kResultOk);
  }
  ProcessSetup setup{kRealtime, size, block, 48000.0};
  ASSERT_EQ(plug->setupProcessing(setup), kResultOk);
  plug->activateBus(kAudio, kInput, 0, true);
  plug->activateBus(kAudio, kOutput, 0, true);
}

template <typename T>
struct Block {
  std::vector<T> inL, inR, outL, outR;
  T* in[2];
  T* out[2];
  AudioBusBuffers inBus, outBus;
  ProcessData data;
  ProcessContext context{};

  Block(int frames, T input, T output)
      : inL(frames, input), inR(frames, input), outL(frames, output), outR(frames, output) {
    in[0] = inL.data();
    in[1] = inR.data();
    out[0] = outL.data();
    out[1] = outR.data();
    inBus.numChannels = outBus.numChannels = 2;
    if constexpr (std::is_same_v<T, float>) {
      inBus.channelBuffers32 = in;
      outBus.channelBuffers32 = out;
      data.symbolicSampleSize = kSample32;
    } else {
      inBus.channelBuffers64 = in;
      outBus.channelBuffers64 = out;
      data.symbolicSampleSize = kSample64;
    }
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.processContext = &context;
  }
};

}  // namespace

// ---- The processing-ready gate and the bypass ----

TEST(Vst3Binding, BeforeReadyTheEngineDoesNotRun) {
  PlugRef p;
  Prepare(p.plug, kSample64, 64);
  Block<double> d(64, 0.25, 0.75);
  p->process(d.data);
  EXPECT_EQ(p->blocks, 0);
  EXPECT_EQ(d.outL, std::vector<double>(64, 0.0)) << "no stale host buffer is played: silence";

  Prepare(p.plug, kSample32, 64);
  Block<float> f(64, 0.25f, 0.75f);
  p->process(f.data);
  EXPECT_EQ(f.outL, std::vector<float>(64, 0.0f)) << "single outputs get the scratch: zeros";

  p->MakeReady();
  p->process(f.data);
  EXPECT_EQ(p->blocks, 1);
  EXPECT_EQ(f.outR, std::vector<float>(64, 0.5f));
}

TEST(Vst3Binding, BypassPassesTheInputEvenBeforeReady) {
  for (int32 size : {kSample32, kSample64}) {
    PlugRef p;
    Prepare(p.plug, size, 64);
    p->setParamNormalized(IPlugVST3::kBypassParamId, 1.0);
    if (size == kSample32) {
      Block<float> f(100, 0.25f, 0.75f);
      f.inR.assign(100, -0.125f);
      p->process(f.data);
      EXPECT_EQ(f.outL, f.inL);
      EXPECT_EQ(f.outR, f.inR);
    } else {
      Block<double> d(100, 0.25, 0.75);
      p->process(d.data);
      EXPECT_EQ(d.outL, d.inL);
    }
    EXPECT_EQ(p->blocks, 0);
  }
}

TEST(Vst3Binding, BypassWithAMonoInputSilencesTheSecondOutput) {
  PlugRef p;
  Prepare(p.plug, kSample32, 64);
  p->setParamNormalized(IPlugVST3::kBypassParamId, 1.0);
  Block<float> f(32, 0.25f, 0.75f);
  f.inBus.numChannels = 1;
  p->process(f.data);
  EXPECT_EQ(f.outL, std::vector<float>(32, 0.25f));
  EXPECT_EQ(f.outR, std::vector<float>(32, 0.0f));
}

// ---- Slices and the transport ----

TEST(Vst3Binding, LongCallsAreSlicedAndTheSongPositionMovesOnWithin) {
  PlugRef p;
  Prepare(p.plug, kSample64, 100);
  p->MakeReady();
  Block<double> d(350, 0.1, 0.0);
  d.context.state = ProcessContext::kPlaying;
  d.context.projectTimeSamples = 1000;
  p->process(d.data);
  EXPECT_EQ(p->largestBlock, 100);
  EXPECT_EQ(p->positions, (std::vector<int32_t>{1000, 1100, 1200, 1300}));
  EXPECT_EQ(d.outR, std::vector<double>(350, 0.5));

  p->positions.clear();
  d.context.state = 0;
  p->process(d.data);
  EXPECT_EQ(p->positions, (std::vector<int32_t>{1000, 1000, 1000, 1000})) << "stopped: no movement";
  EXPECT_EQ(p->GetSamplePos(), 1000) << "back at the call's position afterwards";
}

TEST(Vst3Binding, TransportQueriesReadTheLastContext) {
  PlugRef p;
  Prepare(p.plug, kSample32, 64);
  Block<float> f(0, 0.f, 0.f);
  f.context.state = ProcessContext::kRecording;
  f.context.projectTimeSamples = (int64(1) << 32) + 5;
  f.context.tempo = 93.5;
  f.context.timeSigNumerator = 7;
  f.context.timeSigDenominator = 8;
  p->process(f.data);
  EXPECT_EQ(p->GetTransportState(), 2);
  EXPECT_EQ(p->GetSamplePos(), 5) << "the low 32 bits";
  EXPECT_EQ(p->GetTempo(), 93.5);
  int num = 0, den = 0;
  p->GetTimeSig(&num, &den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  f.context.state = ProcessContext::kPlaying | ProcessContext::kRecording;
  f.context.projectTimeSamples = -48;
  p->process(f.data);
  EXPECT_EQ(p->GetTransportState(), 1);
  EXPECT_EQ(p->GetSamplePos(), -48);
  // A call without a context keeps the last one.
  f.data.processContext = nullptr;
  p->process(f.data);
  EXPECT_EQ(p->GetTransportState(), 1);
}

// ---- Host identification ----

TEST(Vst3Binding, TheHostIsIdentifiedByTheApplicationsName) {
  {
    NamedHost host("Cubase Pro 12");  // outlives the plug-in, as a host does
    PlugRef p;
    ASSERT_EQ(p->initialize(&host), kResultOk);
    EXPECT_EQ(p->GetHost(), 3);
    EXPECT_EQ(p->GetHostVersion(), 0);
  }
  {
    NamedHost host("Ardour 7.3");  // outlives the plug-in, as a host does
    PlugRef p;
    ASSERT_EQ(p->initialize(&host), kResultOk);
    EXPECT_EQ(p->GetHost(), 27);
  }
  {
    PlugRef p;
    ASSERT_EQ(p->initialize(nullptr), kResultOk);
    EXPECT_EQ(p->GetHost(), -1) << "no application, no identification";
  }
  {
    quarv::host::MemoryStream notAnApplication;
    PlugRef p;
    ASSERT_EQ(p->initialize(&notAnApplication), kResultOk);
    EXPECT_EQ(p->GetHost(), -1);
  }
}

TEST(Vst3Binding, ArrangementsForOneToSixChannels) {
  EXPECT_EQ(IPlugVST3::ArrangementFor(1), 0x80000u);
  EXPECT_EQ(IPlugVST3::ArrangementFor(2), 0x3u);
  EXPECT_EQ(IPlugVST3::ArrangementFor(3), 0x103u);
  EXPECT_EQ(IPlugVST3::ArrangementFor(4), 0xF00000u);
  EXPECT_EQ(IPlugVST3::ArrangementFor(5), 0x37u);
  EXPECT_EQ(IPlugVST3::ArrangementFor(6), 0x3Fu);
  EXPECT_EQ(IPlugVST3::ArrangementFor(0), 0u);
  EXPECT_EQ(IPlugVST3::ArrangementFor(7), 0u);
}

TEST(Vst3Binding, AnActivatedBusStaysActiveUnderANewArrangement) {
  PlugRef p;
  Prepare(p.plug, kSample32, 64);
  p->MakeReady();
  SpeakerArrangement mono = SpeakerArr::kMono;
  ASSERT_EQ(p->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
  Block<float> f(16, 0.25f, 0.75f);
  f.inBus.numChannels = f.outBus.numChannels = 1;
  p->process(f.data);
  EXPECT_EQ(f.outL, std::vector<float>(16, 0.5f));
  EXPECT_EQ(f.outR, std::vector<float>(16, 0.75f)) << "not handed over";
  // An output bus the host switched off is silenced, and said to be.
  p->activateBus(kAudio, kOutput, 0, false);
  Block<float> g(16, 0.25f, 0.75f);
  g.inBus.numChannels = g.outBus.numChannels = 1;
  p->process(g.data);
  EXPECT_EQ(g.outL, std::vector<float>(16, 0.0f));
  EXPECT_EQ(g.outBus.silenceFlags, 1u);
}

// ---- Views without an editor ----

TEST(Vst3Binding, NoViewWithoutAnEditor) {
  PlugRef p;
  ASSERT_EQ(p->initialize(nullptr), kResultOk);
  EXPECT_EQ(p->createView("editor"), nullptr) << "a host would show an empty window";
  EXPECT_EQ(p->NumViews(), 0);
}

TEST(Vst3Binding, TheEditorsViewRefusesWhatItCannotShow) {
  auto* plug = new CLS_QUARVELLINE();
  ASSERT_EQ(plug->initialize(nullptr), kResultOk);
  IPlugView* view = plug->createView("editor");
  ASSERT_TRUE(view);
  IPlugView* other = plug->createView("editor");
  EXPECT_EQ(plug->NumViews(), 2);
  // Another platform's window, or none: no window opens and the editor is
  // not told it did.
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(0x1234), "HWND"), kResultFalse);
  EXPECT_EQ(view->attached(nullptr, IPlugVST3View::PlatformType()), kResultFalse);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(0x1234), nullptr), kResultFalse);
  EXPECT_FALSE(plug->GetGUI()->WindowIsOpen());
  EXPECT_EQ(view->removed(), kResultOk);
  ViewRect rect;
  ASSERT_EQ(view->getSize(&rect), kResultOk);
  EXPECT_EQ(rect.right, plug->GetGUI()->Width());
  EXPECT_EQ(rect.bottom, plug->GetGUI()->Height());
  plug->terminate();
  EXPECT_EQ(plug->NumViews(), 0) << "terminate lets go of the views";
  view->release();
  other->release();
  EXPECT_EQ(plug->release(), 0u);
}

namespace {
// Writes every edit call the plug-in makes into a log.
class EditLog : public IComponentHandler {
public:
  virtual ~EditLog() = default;
  tresult PLUGIN_API beginEdit(ParamID id) override { return Add("begin", id); }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue) override { return Add("perform", id); }
  tresult PLUGIN_API endEdit(ParamID id) override { return Add("end", id); }
  tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (std::memcmp(iid, IComponentHandler::iid.toTUID(), 16) == 0 || std::memcmp(iid, FUnknown::iid.toTUID(), 16) == 0) {
      *obj = static_cast<IComponentHandler*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

  std::vector<std::string> calls;

private:
  tresult Add(const char* what, ParamID id) {
    calls.push_back(std::string(what) + " " + std::to_string(id));
    return kResultOk;
  }
};
}  // namespace

TEST(Vst3Binding, WheelGesturesReachTheHostBetweenBeginAndEnd) {
  auto* plug = new CLS_QUARVELLINE();
  ASSERT_EQ(plug->initialize(nullptr), kResultOk);
  EditLog log;
  plug->setComponentHandler(&log);
  IGraphics* g = plug->GetGUI();
  ASSERT_NE(g, nullptr);
  // Two notches on Attack are one gesture; a click on Release ends it first.
  g->OnMouseWheel(261, 138, MouseMods(), 1);
  g->OnMouseWheel(261, 138, MouseMods(), 1);
  g->OnMouseDown(339, 138, MouseMods(true, false));
  g->OnMouseUp(339, 138, MouseMods(true, false));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"begin 2", "perform 2", "perform 2", "end 2", "begin 3", "perform 3", "end 3"}));
  // A burst left alone ends 12 ticks after its last notch.
  log.calls.clear();
  g->OnMouseWheel(261, 138, MouseMods(), -1);
  for (int i = 0; i < 11; ++i) g->TimerTick();
  EXPECT_EQ(log.calls.back(), "perform 2");
  g->TimerTick();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"begin 2", "perform 2", "end 2"}));
  plug->setComponentHandler(nullptr);
  plug->terminate();
  EXPECT_EQ(plug->release(), 0u);
}

// ---- Conversions ----

TEST(Vst3Binding, ParameterObjectsWrapTheirParameters) {
  auto* plug = new CLS_QUARVELLINE();
  ASSERT_EQ(plug->initialize(nullptr), kResultOk);
  Parameter* gain = plug->getParameterObject(kInputGain);
  ASSERT_TRUE(gain);
  EXPECT_STREQ(gain->isA(), "IPlugParameter");
  EXPECT_EQ(gain->getPrecision(), 1);
  EXPECT_DOUBLE_EQ(gain->getNormalized(), 0.5);
  String128 text;
  gain->toString(0.25, text);
  char utf8[32];
  Utf16ToUtf8(text, 128, utf8, sizeof utf8);
  EXPECT_STREQ(utf8, "-9.0");
  Parameter* presets = plug->getParameterObject(IPlugVST3::kPresetParamId);
  ASSERT_TRUE(presets);
  EXPECT_STREQ(presets->isA(), "StringListParameter");
  EXPECT_EQ(plug->getParameterObject(IPlugVST3::kBypassParamId), nullptr);
  plug->terminate();
  plug->release();
}

TEST(Vst3Binding, PlainValuesOfNormalisedOnesMatchWhatSettingThemGives) {
  auto* plug = new CLS_QUARVELLINE();
  for (int i = 0; i < plug->NParams(); ++i) {
    IParameter copy = *plug->GetParam(i);
    for (int k = 0; k <= 1000; ++k) {
      const double n = k / 1000.0;
      copy.SetFromNormalized(n);
      ASSERT_EQ(IPlugParameter::PlainOf(copy, n), copy.Value()) << i << " " << n;
    }
    EXPECT_EQ(IPlugParameter::PlainOf(copy, std::nan("")), copy.Value());
  }
  plug->release();
}

TEST(Vst3Binding, Utf16ConversionsAreBoundedAndTolerant) {
  char16 out[8];
  EXPECT_EQ(Utf8ToUtf16("Gain", out, 8), 4);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(Utf8ToUtf16("\xC3\x9C\xE2\x82\xAC", out, 8), 2);  // Ü €
  EXPECT_EQ(out[0], 0xDC);
  EXPECT_EQ(out[1], 0x20AC);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5", out, 8), 2);  // a surrogate pair
  EXPECT_EQ(out[0], 0xD83C);
  EXPECT_EQ(out[1], 0xDFB5);
  EXPECT_EQ(Utf8ToUtf16("abcdef\xF0\x9F\x8E\xB5", out, 8), 6) << "a pair that does not fit is left out whole";
  EXPECT_EQ(Utf8ToUtf16("\xFF" "a\xC3", out, 8), 3);
  EXPECT_EQ(out[0], 0xFFFD);
  EXPECT_EQ(out[1], 'a');
  EXPECT_EQ(out[2], 0xFFFD);
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80", out, 8), 1) << "an encoded surrogate";
  EXPECT_EQ(out[0], 0xFFFD);
  EXPECT_EQ(Utf8ToUtf16(nullptr, out, 8), 0);
  EXPECT_EQ(Utf8ToUtf16("abcdefghij", out, 8), 7);
  EXPECT_EQ(out[7], 0);

  char text[8];
  const char16 pair[] = {0xD83C, 0xDFB5, 'x', 0};
  EXPECT_EQ(Utf16ToUtf8(pair, 128, text, 8), 5);
  EXPECT_STREQ(text, "\xF0\x9F\x8E\xB5x");
  const char16 lone[] = {0xDC00, 'y', 0xD800, 0};
  EXPECT_EQ(Utf16ToUtf8(lone, 128, text, 8), 7);
  EXPECT_STREQ(text, "\xEF\xBF\xBDy\xEF\xBF\xBD");
  const char16 unterminated[] = {'a', 'b', 'c'};
  EXPECT_EQ(Utf16ToUtf8(unterminated, 3, text, 8), 3);
  EXPECT_STREQ(text, "abc");
  const char16 euros[] = {0x20AC, 0x20AC, 0x20AC, 0};
  EXPECT_EQ(Utf16ToUtf8(euros, 128, text, 8), 6) << "a character that does not fit whole ends the text";
  EXPECT_EQ(Utf16ToUtf8(nullptr, 128, text, 8), 0);
}
