// The built VST 2.4 module, loaded and driven through the host's loader the
// way a DAW drives it.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tools/host/Vst2Plugin.h"

using quarv::host::Vst2Plugin;

namespace {

constexpr int32_t FourCC(char a, char b, char c, char d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

std::unique_ptr<Vst2Plugin> LoadModule() {
  std::string error;
  auto plug = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  EXPECT_TRUE(plug) << error;
  return plug;
}

std::unique_ptr<Vst2Plugin> OpenModule(double rate = 48000.0, int block = 512) {
  auto plug = LoadModule();
  plug->Open(rate, block);
  return plug;
}

TEST(Vst2Module, EffectRecord) {
  auto p = LoadModule();
  const AEffect* e = p->Effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->numParams, 9);
  EXPECT_EQ(e->numPrograms, 30);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->uniqueID, 0x4D445953);
  EXPECT_EQ(e->version, 11600);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->ioRatio, 1.0f);
  // Replacing, double replacing and mono; the editor flag joins once a
  // window layer can show the editor.
  EXPECT_EQ(e->flags & ~effFlagsHasEditor, 0x1018);
  EXPECT_EQ(p->Dispatch(effGetPlugCategory), 1);
  EXPECT_EQ(p->Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(p->Dispatch(effGetVendorVersion), 11600);
  EXPECT_EQ(p->Dispatch(effIdentify), FourCC('N', 'v', 'E', 'f'));
  char buf[256];
  EXPECT_EQ(p->Dispatch(effGetEffectName, 0, 0, buf), 1);
  EXPECT_STREQ(buf, "Quarvelline");
  EXPECT_EQ(p->Dispatch(effGetVendorString, 0, 0, buf), 1);
  EXPECT_STREQ(buf, "Daskery");
  EXPECT_EQ(p->Dispatch(effGetProductString, 0, 0, buf), 1);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(p->Dispatch(effGetEffectName), 0);
  EXPECT_EQ(p->Dispatch(effEditOpen), 0);
  EXPECT_EQ(p->Dispatch(effEditIdle), 0);
}

TEST(Vst2Module, CanDoAndVendorSpecific) {
  auto p = OpenModule();
  auto canDo = [&](const char* q) { return p->Dispatch(effCanDo, 0, 0, const_cast<char*>(q)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("hasCockosExtensions"), 0xBEEF0000);
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), 0xBEEF0000);
  EXPECT_EQ(canDo("receiveVstEvents"), 0);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 0);
  EXPECT_EQ(p->Dispatch(effCanDo), 0);

  char text[64] = {};
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 7, 0, text, 1.0f), 0xBEEF);
  EXPECT_STREQ(text, "18.0");
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 7, 4, text, 1.0f), 0xBEEF);
  EXPECT_STREQ(text, "100ms");
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 7, 0, nullptr, 1.0f), 0);

  int32_t count = -1;
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 8, 4, &count), 0xBEEF);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 8, 7, &count), 0xBEEF);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 8, 0, &count), 0);
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 8, 99, &count), 0);

  std::strcpy(text, "0");
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 27, 0, text), 0xBEEF);
  EXPECT_STREQ(text, "0.50000000000000000");
  std::strcpy(text, "20ms");
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 27, 4, text), 0xBEEF);
  EXPECT_STREQ(text, "0.59999999999999998");
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 27, 42, text), 0);
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 27, 0, nullptr), 0);
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 99, 0, text), 0);
}

// A host that switches the process to a locale with decimal commas changes
// nothing in the texts the plug-in shows and reads.
TEST(Vst2Module, TextsKeepTheDecimalPointInAnyLocale) {
  const char* german = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE", "German_Germany.1252", "German"}) {
    if ((german = std::setlocale(LC_ALL, name))) break;
  }
  if (!german) GTEST_SKIP() << "no German locale on this machine";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  auto p = OpenModule();
  EXPECT_EQ(p->ParamDisplay(5), "-14.0");
  EXPECT_TRUE(p->SetParamFromText(0, "3.5"));
  EXPECT_EQ(p->ParamDisplay(0), "3.5");
  EXPECT_TRUE(p->SetParamFromText(2, "12,5"));
  EXPECT_EQ(p->ParamDisplay(2), "12.0") << "a comma ends the number";
  char text[64] = {};
  EXPECT_EQ(p->Dispatch(effVendorSpecific, 7, 5, text, 0.25f), 0xBEEF);
  EXPECT_STREQ(text, "-45.0");
  std::setlocale(LC_ALL, "C");
}

TEST(Vst2Module, ParametersAndPins) {
  auto p = OpenModule();
  EXPECT_EQ(p->ParamName(5), "Out Limit");
  EXPECT_EQ(p->ParamLabel(5), "lu");
  EXPECT_EQ(p->ParamDisplay(5), "-14.0");
  EXPECT_EQ(p->ParamDisplay(0), "0");
  EXPECT_EQ(p->ParamDisplay(4), "10ms");
  EXPECT_EQ(p->ParamName(9), "");
  EXPECT_EQ(p->Dispatch(effCanBeAutomated, 3), 1);
  EXPECT_FLOAT_EQ(p->GetParameter(5), static_cast<float>(46.0 / 60.0));
  EXPECT_EQ(p->GetParameter(9), 0.0f);

  p->SetParameter(5, 0.5f);
  EXPECT_EQ(p->ParamDisplay(5), "-30.0");
  EXPECT_TRUE(p->SetParamFromText(4, "20ms"));
  EXPECT_EQ(p->ParamDisplay(4), "20ms");
  EXPECT_TRUE(p->SetParamFromText(5, "-99"));
  EXPECT_EQ(p->ParamDisplay(5), "-60.0");
  EXPECT_FALSE(p->SetParamFromText(9, "1"));
  EXPECT_EQ(p->Dispatch(effString2Parameter, 2, 0, nullptr), 1);

  VstPinProperties pin{};
  EXPECT_EQ(p->Dispatch(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input 1");
  EXPECT_EQ(pin.flags, 3);
  EXPECT_EQ(p->Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 2");
  EXPECT_EQ(pin.flags, 1);
  EXPECT_EQ(p->Dispatch(effGetInputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(p->Dispatch(effGetInputProperties, 0, 0, nullptr), 0);

  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(p->Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->type, kSpeakerArrStereo);
  EXPECT_EQ(out->numChannels, 2);
}

TEST(Vst2Module, ProgramsNamesAndSwitching) {
  auto p = OpenModule();
  EXPECT_EQ(p->ProgramName(0), "---- default ----");
  EXPECT_EQ(p->ProgramName(1), "Spotify: -14 LUFS");
  EXPECT_EQ(p->ProgramName(20), "Analyzing without play & only metering");
  EXPECT_EQ(p->ProgramName(29), "- 30 -");
  char buf[256] = "x";
  EXPECT_EQ(p->Dispatch(effGetProgramNameIndexed, 30, 0, buf), 0);
  EXPECT_STREQ(buf, "");

  // Switching a -> b -> a restores what was live when a was left.
  p->SetProgram(9);
  EXPECT_EQ(p->CurrentProgram(), 9);
  EXPECT_EQ(p->ParamDisplay(5), "-12.0");
  p->SetParamFromText(5, "-21.5");
  p->SetParamFromText(6, "7.5");
  p->SetProgram(12);
  EXPECT_EQ(p->ParamDisplay(5), "-14.0");
  p->SetProgram(9);
  EXPECT_EQ(p->ParamDisplay(5), "-21.5");
  EXPECT_EQ(p->ParamDisplay(6), "7.5");

  p->Dispatch(effSetProgramName, 0, 0, const_cast<char*>("my master"));
  EXPECT_EQ(p->ProgramName(9), "my master");
  p->Dispatch(effGetProgramName, 0, 0, buf);
  EXPECT_STREQ(buf, "my master");
  EXPECT_GE(p->log.updateDisplays, 0);
}

TEST(Vst2Module, ChunksRoundTripUnderThePresetFilter) {
  auto a = OpenModule();
  a->SetProgram(10);
  a->SetParamFromText(0, "2.5");
  a->SetParamFromText(6, "9.0");
  a->SetParamFromText(7, "no");
  const std::vector<uint8_t> bank = a->GetChunk(false);
  const std::vector<uint8_t> program = a->GetChunk(true);
  ASSERT_EQ(bank.size(), 76u);
  ASSERT_EQ(program.size(), 76u);
  EXPECT_EQ(bank, program);
  int32_t version = 0;
  std::memcpy(&version, bank.data(), 4);
  EXPECT_EQ(version, 11600);
  double inputGain = 0;
  std::memcpy(&inputGain, bank.data() + 4, 8);
  EXPECT_EQ(inputGain, 2.5);

  // At a slot from 7 on every value loads.
  auto b = OpenModule();
  b->SetProgram(8);
  EXPECT_TRUE(b->SetChunk(bank, false));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(b->ParamDisplay(i), a->ParamDisplay(i)) << i;

  // While a streaming slot is current, the analysis settings stay.
  auto c = OpenModule();
  c->SetProgram(2);
  EXPECT_TRUE(c->SetChunk(program, true));
  EXPECT_EQ(c->ParamDisplay(0), "2.5");
  EXPECT_EQ(c->ParamDisplay(6), "4.0");
  EXPECT_EQ(c->ParamDisplay(7), "yes");

  // Three bytes are refused and change nothing.
  const std::string before = c->ParamDisplay(0);
  EXPECT_FALSE(c->SetChunk({1, 2, 3}, false));
  EXPECT_EQ(c->ParamDisplay(0), before);
  EXPECT_EQ(c->Dispatch(effSetChunk, 0, 76, nullptr), 0);
  EXPECT_EQ(c->Dispatch(effGetChunk, 0, 0, nullptr), 0);

  // A truncated block applies what it holds and reports failure.
  std::vector<uint8_t> shortChunk(bank.begin(), bank.begin() + 20);
  EXPECT_FALSE(b->SetChunk(shortChunk, false));
  EXPECT_EQ(b->ParamDisplay(0), "2.5");
  EXPECT_EQ(b->ParamDisplay(2), "0");
}

// Renders a signal through one processing entry; returns the left output.
std::vector<float> Render(int entry, const std::vector<float>& x, int block, int hostBlock) {
  auto p = OpenModule(48000.0, block);
  p->SetParamFromText(5, "-30");
  std::vector<float> in = x, l(x.size(), 0.25f), r(x.size(), 0.25f);
  std::vector<double> inD(x.begin(), x.end()), lD(x.size()), rD(x.size());
  for (size_t i = 0; i < x.size(); i += static_cast<size_t>(hostBlock)) {
    const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(hostBlock), x.size() - i));
    float* fi[2] = {in.data() + i, in.data() + i};
    float* fo[2] = {l.data() + i, r.data() + i};
    double* di[2] = {inD.data() + i, inD.data() + i};
    double* dout[2] = {lD.data() + i, rD.data() + i};
    if (entry == 0) p->ProcessReplacing(fi, fo, n);
    if (entry == 1) p->ProcessAccumulating(fi, fo, n);
    if (entry == 2) p->ProcessDouble(di, dout, n);
  }
  if (entry == 2) return std::vector<float>(lD.begin(), lD.end());
  if (entry == 1) {
    for (float& v : l) v -= 0.25f;
  }
  return l;
}

TEST(Vst2Module, ProcessingEntriesAgree) {
  std::vector<float> x(48000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(0.6 * std::sin(i * 0.021) * std::sin(i * 0.0003));
  const std::vector<float> replacing = Render(0, x, 512, 512);
  const std::vector<float> dbl = Render(2, x, 512, 512);
  const std::vector<float> accumulating = Render(1, x, 512, 512);
  int limited = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    ASSERT_EQ(replacing[i], dbl[i]) << i;
    ASSERT_NEAR(accumulating[i], dbl[i], 1e-7) << i;
    if (std::fabs(replacing[i]) < std::fabs(x[i]) * 0.9f) ++limited;
  }
  EXPECT_GT(limited, 1000);
}

TEST(Vst2Module, CallsLongerThanTheBlockSizeAreSliced) {
  std::vector<float> x(20000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(0.8 * std::sin(i * 0.05));
  // Block size 64, host calls of 5000 frames: same result as calls of 64.
  EXPECT_EQ(Render(0, x, 64, 5000), Render(0, x, 64, 64));
  EXPECT_EQ(Render(2, x, 64, 5000), Render(2, x, 64, 64));
}

// Plays a loud signal into the limiter across transport changes. Returns the
// ratio of output to input level over the first 2 ms of the block.
struct TransportRig {
  std::unique_ptr<Vst2Plugin> p = OpenModule();
  std::vector<float> loud = std::vector<float>(4800);
  TransportRig(const char* resetOnPlay, const char* graphWhenPlay) {
    p->SetParamFromText(5, "-30");
    p->SetParamFromText(7, resetOnPlay);
    p->SetParamFromText(8, graphWhenPlay);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = static_cast<float>(0.7 * std::sin(i * 0.05));
  }
  double Block(bool playing) {
    p->transport.playing = playing;
    std::vector<float> in = loud, l(loud.size()), r(loud.size());
    float* fi[2] = {in.data(), in.data()};
    float* fo[2] = {l.data(), r.data()};
    p->ProcessReplacing(fi, fo, static_cast<int>(loud.size()));
    double ratio = 0;
    for (int i = 10; i < 96; ++i) ratio = std::max(ratio, static_cast<double>(std::fabs(l[i] / loud[i])));
    return ratio;
  }
};

TEST(Vst2ModuleTransport, ResetOnPlayClearsTheLimiterAtPlayStart) {
  for (const char* graph : {"yes", "no"}) {
    TransportRig rig("yes", graph);
    for (int b = 0; b < 10; ++b) rig.Block(true);
    EXPECT_LT(rig.Block(true), 0.5) << graph;
    // Stopped: limiting goes on in every mode.
    for (int b = 0; b < 5; ++b) EXPECT_LT(rig.Block(false), 0.5) << graph;
    // Play start: envelope and meter start afresh, so the first frames pass.
    EXPECT_EQ(rig.Block(true), 1.0) << graph;
    // Playing on, even across a locate, clears nothing.
    EXPECT_LT(rig.Block(true), 0.5) << graph;
    rig.p->transport.samplePos += 48000 * 5;
    EXPECT_LT(rig.Block(true), 0.5) << graph;
  }
}

TEST(Vst2ModuleTransport, KeepDataAtPlayStartKeepsLimiting) {
  for (const char* graph : {"yes", "no"}) {
    TransportRig rig("no", graph);
    for (int b = 0; b < 10; ++b) rig.Block(true);
    for (int b = 0; b < 3; ++b) rig.Block(false);
    // Restart in place, then after a locate of more than 0.4 s while stopped.
    EXPECT_LT(rig.Block(true), 0.5) << graph;
    rig.Block(false);
    rig.p->transport.samplePos += 48000 * 2;
    EXPECT_LT(rig.Block(true), 0.5) << graph;
  }
}

TEST(Vst2ModuleTransport, NoTimeInfoMeansStopped) {
  TransportRig rig("yes", "yes");
  rig.p->transport.timeInfoAvailable = false;
  for (int b = 0; b < 10; ++b) rig.Block(true);
  EXPECT_LT(rig.Block(true), 0.5);
  // Time info arrives: the first block seen as playing is a play start.
  rig.p->transport.timeInfoAvailable = true;
  EXPECT_EQ(rig.Block(true), 1.0);
}

TEST(Vst2ModuleHost, AsksForTheHostOnceEvenWithoutAName) {
  for (const char* name : {"Ardour", ""}) {
    std::string error;
    auto p = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
    ASSERT_TRUE(p) << error;
    p->productString = name;
    p->Open(48000, 512);
    p->Dispatch(effOpen);
    EXPECT_EQ(p->log.productQueries, 1) << name;
    // Values the host sets are not echoed back to it.
    p->SetParameter(2, 0.3f);
    EXPECT_TRUE(p->log.automations.empty());
  }
}

TEST(Vst2ModuleHost, SeveralInstancesAtOnce) {
  auto a = OpenModule(), b = OpenModule(44100.0);
  a->SetParamFromText(5, "-20");
  EXPECT_EQ(b->ParamDisplay(5), "-14.0");
  EXPECT_EQ(a->ParamDisplay(5), "-20.0");
}

}  // namespace
