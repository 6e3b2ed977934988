// The built VST 3 bundle, loaded and driven through the host's loader the way
// a DAW drives it: factory and class information, controller parameters,
// units and programs, component state, parameter changes, buses, processing
// conformance and views.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tools/host/ModuleLibrary.h"
#include "tools/host/Vst3Plugin.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using quarv::host::MemoryStream;
using quarv::host::ModuleSymbol;
using quarv::host::Vst3Plugin;

namespace {

constexpr ParamID kPrst = 0x70727374;
constexpr ParamID kBpas = 0x62706173;
constexpr int kNumPresets = 30;

std::unique_ptr<Vst3Plugin> Load(const std::string& hostName = "Quarvelline Host") {
  std::string error;
  auto plug = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error, hostName);
  EXPECT_TRUE(plug) << error;
  return plug;
}

std::unique_ptr<Vst3Plugin> Open(double rate = 48000.0, int block = 512, bool dbl = false, int channels = 2) {
  auto plug = Load();
  std::string error;
  EXPECT_TRUE(plug->Configure(rate, block, dbl, channels, &error)) << error;
  return plug;
}

std::string Utf8(const char16* text) {
  std::string out;
  for (int i = 0; i < 128 && text[i]; ++i) out += static_cast<char>(text[i]);
  return out;
}

double Plain(Vst3Plugin& p, ParamID id) { return p.Controller()->normalizedParamToPlain(id, p.ParamNormalized(id)); }

std::string Display(Vst3Plugin& p, ParamID id) { return p.ParamDisplay(id, p.ParamNormalized(id)); }

void SetPlain(Vst3Plugin& p, ParamID id, double plain) {
  p.QueueChange(id, p.Controller()->plainParamToNormalized(id, plain));
  ASSERT_EQ(p.Flush(), kResultOk);
}

std::vector<double> StateDoubles(const std::vector<uint8_t>& bytes) {
  std::vector<double> values;
  for (size_t pos = 0; pos + 8 <= 72 && pos + 8 <= bytes.size(); pos += 8) {
    double v;
    std::memcpy(&v, bytes.data() + pos, 8);
    values.push_back(v);
  }
  return values;
}

int32_t StateBypass(const std::vector<uint8_t>& bytes) {
  int32_t flag = -1;
  if (bytes.size() >= 76) std::memcpy(&flag, bytes.data() + 72, 4);
  return flag;
}

// A loud stereo signal that makes the limiter work.
struct Signal {
  std::vector<float> l, r;
};

Signal Loud(size_t frames) {
  Signal s;
  s.l.resize(frames);
  s.r.resize(frames);
  for (size_t i = 0; i < frames; ++i) {
    s.l[i] = static_cast<float>(0.7 * std::sin(i * 0.021) * (0.5 + 0.5 * std::sin(i * 0.0003)));
    s.r[i] = static_cast<float>(0.6 * std::sin(i * 0.017 + 1.0));
  }
  return s;
}

// Renders the signal in blocks of the given sizes (cycled); 32 or 64 bits.
template <typename T>
Signal Render(Vst3Plugin& p, const Signal& x, const std::vector<int>& blocks) {
  std::vector<T> inL(x.l.begin(), x.l.end()), inR(x.r.begin(), x.r.end());
  std::vector<T> outL(x.l.size(), T(0.25)), outR(x.l.size(), T(0.25));
  size_t k = 0;
  for (size_t i = 0; i < x.l.size(); ++k) {
    const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(blocks[k % blocks.size()]), x.l.size() - i));
    T* in[2] = {inL.data() + i, inR.data() + i};
    T* out[2] = {outL.data() + i, outR.data() + i};
    EXPECT_EQ(p.Process(in, out, n), kResultOk);
    i += static_cast<size_t>(n);
  }
  Signal y;
  y.l.assign(outL.begin(), outL.end());
  y.r.assign(outR.begin(), outR.end());
  return y;
}

int CountLimited(const Signal& x, const Signal& y) {
  int limited = 0;
  for (size_t i = 0; i < x.l.size(); ++i) {
    if (std::fabs(y.l[i]) < std::fabs(x.l[i]) * 0.9f) ++limited;
  }
  return limited;
}

bool AllFinite(const Signal& y) {
  for (size_t i = 0; i < y.l.size(); ++i) {
    if (!std::isfinite(y.l[i]) || !std::isfinite(y.r[i])) return false;
  }
  return true;
}

}  // namespace

// ---- Module, factory and class information ----

TEST(Vst3Factory, BundleHoldsTheModuleForThisArchitecture) {
  const std::string module = Vst3Plugin::ModulePathOf(QUARV_VST3_BUNDLE);
#if defined(_WIN32)
  EXPECT_EQ(module, std::string(QUARV_VST3_BUNDLE) + "/Contents/x86_64-win/Quarvelline3.vst3");
#else
  EXPECT_EQ(module, std::string(QUARV_VST3_BUNDLE) + "/Contents/x86_64-linux/Quarvelline3.so");
#endif
  EXPECT_EQ(Vst3Plugin::ModulePathOf(module), module);
  std::string error;
  EXPECT_FALSE(Vst3Plugin::Load(std::string(QUARV_VST3_BUNDLE) + "/nothing.so", &error));
  EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
}

TEST(Vst3Factory, ExportsOnlyTheEntryPoints) {
  std::string why;
  void* lib = quarv::host::OpenModuleLibrary(Vst3Plugin::ModulePathOf(QUARV_VST3_BUNDLE), &why);
  ASSERT_TRUE(lib) << why;
#if defined(_WIN32)
  const auto exported = {"GetPluginFactory", "InitDll", "ExitDll"};
  const auto hidden = {"ModuleEntry", "ModuleExit", "VSTPluginMain", "main", "_ZN9IPlugBase11RecallPresetEi",
                       "_ZN9Steinberg4FUIDC1Ev"};
  auto entry = reinterpret_cast<bool (*)()>(ModuleSymbol(lib, "InitDll"));
  auto enter = [&] { return entry(); };
  auto exitProc = reinterpret_cast<bool (*)()>(ModuleSymbol(lib, "ExitDll"));
#else
  const auto exported = {"GetPluginFactory", "ModuleEntry", "ModuleExit", "InitDll", "ExitDll"};
  const auto hidden = {"VSTPluginMain", "main", "_ZN9IPlugBase11RecallPresetEi", "_ZN9Steinberg4FUIDC1Ev"};
  auto entry = reinterpret_cast<bool (*)(void*)>(ModuleSymbol(lib, "ModuleEntry"));
  auto enter = [&] { return entry(lib); };
  auto exitProc = reinterpret_cast<bool (*)()>(ModuleSymbol(lib, "ModuleExit"));
#endif
  for (const char* name : exported) EXPECT_TRUE(ModuleSymbol(lib, name)) << name;
  for (const char* name : hidden) EXPECT_FALSE(ModuleSymbol(lib, name)) << name;
  // Entries and exits pair up; an exit without an entry is refused.
  ASSERT_TRUE(entry && exitProc);
  EXPECT_TRUE(enter());
  EXPECT_TRUE(enter());
  EXPECT_TRUE(exitProc());
  EXPECT_TRUE(exitProc());
  EXPECT_FALSE(exitProc());
  // The factory is one object handed out with a reference each time.
  auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(ModuleSymbol(lib, "GetPluginFactory"));
  IPluginFactory* a = getFactory();
  IPluginFactory* b = getFactory();
  EXPECT_EQ(a, b);
  a->release();
  b->release();
  quarv::host::CloseModuleLibrary(lib);
}

TEST(Vst3Factory, FactoryAndClassInformation) {
  auto p = Load();
  const Vst3Plugin::FactoryInfo f = p->GetFactoryInfo();
  EXPECT_EQ(f.vendor, "Daskery");
  EXPECT_FALSE(f.url.empty());
  EXPECT_EQ(f.email, "");
  EXPECT_EQ(f.flags, 0x10);
  EXPECT_EQ(p->Factory()->countClasses(), 1);

  const Vst3Plugin::ClassInfo c = p->GetClassInfo();
  // The words F2AEE70D 00DE4F4E 'DsKy' 'MDYS' as Linux lays ids out: each
  // word big-endian.
  const std::array<uint8_t, 16> linuxBytes = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                              0x44, 0x73, 0x4B, 0x79, 0x4D, 0x44, 0x59, 0x53};
  // The same id in the COM-compatible layout of Windows: the first word and
  // the two halves of the second little-endian.
  const std::array<uint8_t, 16> comBytes = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                            0x44, 0x73, 0x4B, 0x79, 0x4D, 0x44, 0x59, 0x53};
  std::array<uint8_t, 16> swapped = c.cid;
  std::swap(swapped[0], swapped[3]);
  std::swap(swapped[1], swapped[2]);
  std::swap(swapped[4], swapped[5]);
  std::swap(swapped[6], swapped[7]);
#if defined(_WIN32)
  EXPECT_EQ(c.cid, comBytes);
  EXPECT_EQ(swapped, linuxBytes);
#else
  EXPECT_EQ(c.cid, linuxBytes);
  EXPECT_EQ(swapped, comBytes);
#endif
  EXPECT_EQ(FUID(0xF2AEE70D, 0x00DE4F4E, 0x44734B79, 0x4D445953), FUID::fromTUID(reinterpret_cast<const char*>(c.cid.data())));
  EXPECT_EQ(c.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(c.category, "Audio Module Class");
  EXPECT_EQ(c.name, "Quarvelline");
  EXPECT_EQ(c.classFlags, 2u);
  EXPECT_EQ(c.subCategories, "Fx");
  EXPECT_EQ(c.vendor, "Daskery");
  EXPECT_EQ(c.version, "1.0.0");
  EXPECT_EQ(c.sdkVersion, "VST 3.6.5");

  PClassInfo info;
  EXPECT_EQ(p->Factory()->getClassInfo(1, &info), kInvalidArgument);
  EXPECT_EQ(p->Factory()->getClassInfo(0, nullptr), kInvalidArgument);
}

TEST(Vst3Factory, CreatesOnlyItsClassWithTheInterfacesAsked) {
  auto p = Load();
  IPluginFactory* f = p->Factory();
  alignas(8) TUID cid;
  std::memcpy(cid, p->GetClassInfo().cid.data(), 16);
  void* obj = reinterpret_cast<void*>(1);
  alignas(8) TUID other = {1, 2, 3};
  EXPECT_EQ(f->createInstance(other, IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(f->createInstance(cid, IPluginFactory::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(f->createInstance(cid, IComponent::iid, nullptr), kInvalidArgument);
  ASSERT_EQ(f->createInstance(cid, IAudioProcessor::iid, &obj), kResultOk);
  auto* processor = static_cast<IAudioProcessor*>(obj);
  EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultTrue);
  // Every interface of the object answers, the controller ones included.
  for (const FUID* iid : {&IComponent::iid, &IEditController::iid, &IEditController2::iid, &IUnitInfo::iid,
                          &IConnectionPoint::iid, &IPluginBase::iid, &FUnknown::iid}) {
    void* q = nullptr;
    EXPECT_EQ(processor->queryInterface(*iid, &q), kResultOk);
    ASSERT_TRUE(q);
    static_cast<FUnknown*>(q)->release();
  }
  void* q = nullptr;
  EXPECT_EQ(processor->queryInterface(IPluginFactory::iid, &q), kNoInterface);
  EXPECT_EQ(q, nullptr);
  EXPECT_EQ(processor->release(), 0u);

  void* f2 = nullptr;
  EXPECT_EQ(f->queryInterface(IPluginFactory2::iid, &f2), kResultOk);
  static_cast<IPluginFactory2*>(f2)->release();
  EXPECT_EQ(f->queryInterface(IPluginFactory3::iid, &f2), kNoInterface);
}

// ---- Controller: parameters, units, programs ----

TEST(Vst3Controller, TenParametersWithThePresetListFirstAndNoBypass) {
  auto p = Load();
  ASSERT_EQ(p->NumParams(), 10);
  const ParameterInfo presets = p->ParamInfo(0);
  EXPECT_EQ(presets.id, kPrst);
  EXPECT_EQ(Utf8(presets.title), "Presets");
  EXPECT_EQ(presets.flags, 0x8008);
  EXPECT_EQ(presets.stepCount, kNumPresets - 1);
  EXPECT_EQ(presets.unitId, 0);

  const char* titles[] = {"Input Gain", "Look Ahead", "Attack", "Release", "Window", "Out Limit",
                          "Attenuation Target", "Reset on play", "Graph when play"};
  const char* units[] = {"dB", "ms", "ms", "ms", "", "lu", "dB", "", ""};
  const int steps[] = {0, 0, 0, 0, 5, 0, 0, 1, 1};
  for (int i = 0; i < 9; ++i) {
    const ParameterInfo info = p->ParamInfo(i + 1);
    EXPECT_EQ(info.id, static_cast<ParamID>(i)) << i;
    EXPECT_EQ(Utf8(info.title), titles[i]) << i;
    EXPECT_EQ(Utf8(info.units), units[i]) << i;
    EXPECT_EQ(info.stepCount, steps[i]) << i;
    EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate) << i;
    EXPECT_EQ(info.unitId, 0) << i;
    EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, p->ParamNormalized(info.id)) << i;
  }
  EXPECT_DOUBLE_EQ(p->ParamInfo(1).defaultNormalizedValue, 0.5);           // 0 dB of -18..18
  EXPECT_DOUBLE_EQ(p->ParamInfo(6).defaultNormalizedValue, 46.0 / 60.0);  // -14 of -60..0
  for (int i = 0; i < 10; ++i) EXPECT_NE(p->ParamInfo(i).id, kBpas);
  ParameterInfo info{};
  EXPECT_EQ(p->Controller()->getParameterInfo(10, info), kResultFalse);
  EXPECT_EQ(p->Controller()->getParameterInfo(-1, info), kResultFalse);
}

TEST(Vst3Controller, UnitAndProgramListAnswers) {
  auto p = Load();
  IUnitInfo* u = p->Units();
  ASSERT_TRUE(u);
  EXPECT_EQ(u->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(u->getUnitInfo(0, unit), kResultOk);
  EXPECT_EQ(unit.id, 0);
  EXPECT_EQ(unit.parentUnitId, -1);
  EXPECT_EQ(Utf8(unit.name), "Root Unit");
  EXPECT_EQ(unit.programListId, static_cast<ProgramListID>(kPrst));
  EXPECT_EQ(u->getUnitInfo(1, unit), kResultFalse);

  EXPECT_EQ(u->getProgramListCount(), 1);
  ProgramListInfo list{};
  ASSERT_EQ(u->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.id, static_cast<ProgramListID>(kPrst));
  EXPECT_EQ(Utf8(list.name), "Factory Presets");
  EXPECT_EQ(list.programCount, kNumPresets);
  EXPECT_EQ(u->getProgramListInfo(1, list), kResultFalse);

  EXPECT_EQ(p->ProgramName(0), "---- default ----");
  EXPECT_EQ(p->ProgramName(1), "Spotify: -14 LUFS");
  EXPECT_EQ(p->ProgramName(20), "Analyzing without play & only metering");
  EXPECT_EQ(p->ProgramName(29), "- 30 -");
  String128 name{};
  name[0] = 'x';
  EXPECT_EQ(u->getProgramName(kPrst, 30, name), kResultOk);
  EXPECT_EQ(Utf8(name), "");
  EXPECT_EQ(u->getProgramName(kPrst, -1, name), kResultOk);
  EXPECT_EQ(u->getProgramName(1, 0, name), kResultFalse);
  EXPECT_EQ(u->getSelectedUnit(), 0);
  EXPECT_EQ(u->selectUnit(0), kNotImplemented);
  EXPECT_EQ(u->hasProgramPitchNames(kPrst, 0), kNotImplemented);
}

TEST(Vst3Controller, TextsAndConversionsOfTheParameters) {
  auto p = Load();
  IEditController* c = p->Controller();
  EXPECT_EQ(p->ParamDisplay(0, 1.0), "18.0");
  EXPECT_EQ(p->ParamDisplay(0, 0.5), "0");
  EXPECT_EQ(p->ParamDisplay(4, 1.0), "100ms");
  EXPECT_EQ(p->ParamDisplay(7, 0.0), "no");
  EXPECT_EQ(p->ParamDisplay(5, 2.0), "0") << "held to the normalised range";
  String128 text{};
  EXPECT_EQ(c->getParamStringByValue(9, 0.5, text), kResultFalse);
  EXPECT_EQ(c->getParamStringByValue(kPrst, 0.5, text), kResultFalse);
  EXPECT_EQ(c->getParamStringByValue(kBpas, 0.5, text), kResultFalse);
  EXPECT_EQ(c->getParamStringByValue(0, std::nan(""), text), kResultFalse);

  // Texts are read as numbers, display texts aside.
  ParamValue n = -1;
  char16 six[] = {'6', 0};
  ASSERT_EQ(c->getParamValueByString(0, six, n), kResultTrue);
  EXPECT_DOUBLE_EQ(n, 24.0 / 36.0);
  char16 yes[] = {'y', 'e', 's', 0};
  ASSERT_EQ(c->getParamValueByString(7, yes, n), kResultTrue);
  EXPECT_DOUBLE_EQ(n, 0.0);
  EXPECT_EQ(c->getParamValueByString(99, six, n), kResultFalse);
  EXPECT_NE(c->getParamValueByString(0, nullptr, n), kResultTrue);

  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(kPrst, 29.0), 1.0);
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(kPrst, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(0, 0.0), 0.5);
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(1, 200.0), 0.5);  // Look Ahead's square shape
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(77, 3.25), 3.25);
  EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(0, 1.0), 18.0);
  EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(1, 0.5), 200.0);
  EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(4, 0.5), 3.0);
  EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(kPrst, 1.0), 29.0);
  EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(77, 0.25), 0.25);

  EXPECT_EQ(c->getParamNormalized(kBpas), 0.0);
  EXPECT_EQ(c->getParamNormalized(77), 0.0);
  EXPECT_EQ(c->setParamNormalized(77, 0.5), kResultFalse);
  EXPECT_EQ(c->setParamNormalized(0, 0.75), kResultOk);
  EXPECT_DOUBLE_EQ(Plain(*p, 0), 9.0);
  EXPECT_EQ(c->setParamNormalized(0, 7.0), kResultOk);
  EXPECT_DOUBLE_EQ(Plain(*p, 0), 18.0);
  EXPECT_EQ(c->setParamNormalized(kBpas, 1.0), kResultOk);
  EXPECT_EQ(c->getParamNormalized(kBpas), 1.0);
  EXPECT_EQ(c->setParamNormalized(kBpas, 0.0), kResultOk);
  EXPECT_EQ(c->getParamNormalized(kBpas), 0.0);
}

TEST(Vst3Controller, OtherControllerAnswers) {
  auto p = Load();
  IEditController* c = p->Controller();
  MemoryStream stream({1, 2, 3});
  EXPECT_EQ(c->setComponentState(&stream), kNotImplemented);
  void* q = nullptr;
  ASSERT_EQ(c->queryInterface(IEditController2::iid, &q), kResultOk);
  auto* c2 = static_cast<IEditController2*>(q);
  EXPECT_EQ(c2->setKnobMode(kLinearMode), kResultOk);
  EXPECT_EQ(c2->openHelp(false), kResultFalse);
  EXPECT_EQ(c2->openAboutBox(true), kResultFalse);
  c2->release();
  IComponent* comp = p->Component();
  TUID cid = {};
  EXPECT_EQ(comp->getControllerClassId(cid), kNotImplemented);
  EXPECT_EQ(comp->setIoMode(kAdvanced), kNotImplemented);
  RoutingInfo in{}, out{};
  EXPECT_EQ(comp->getRoutingInfo(in, out), kNotImplemented);
  EXPECT_EQ(p->Processor()->getLatencySamples(), 0u);
  EXPECT_EQ(p->Processor()->getTailSamples(), 0u);
  EXPECT_EQ(p->Processor()->setProcessing(true), kNotImplemented);
}

// ---- Component state ----

TEST(Vst3State, GetStateWritesTheParameterBlockAndTheBypassFlag) {
  auto p = Load();
  std::vector<uint8_t> state = p->SaveState();
  ASSERT_EQ(state.size(), 76u);
  EXPECT_EQ(StateDoubles(state), (std::vector<double>{0.0, 0.0, 12.0, 70.0, 2.0, -14.0, 4.0, 1.0, 1.0}));
  EXPECT_EQ(StateBypass(state), 0);
  p->Controller()->setParamNormalized(kBpas, 1.0);
  SetPlain(*p, 0, 2.5);
  state = p->SaveState();
  ASSERT_EQ(state.size(), 76u);
  EXPECT_EQ(StateDoubles(state)[0], 2.5);
  EXPECT_EQ(StateBypass(state), 1);
}

TEST(Vst3State, SetStateRestoresUnderThePresetFilterWithTheBypassFlag) {
  auto a = Load();
  ASSERT_TRUE(a->RecallProgram(10));
  SetPlain(*a, 0, 2.5);
  SetPlain(*a, 5, -21.5);
  SetPlain(*a, 6, 9.0);
  SetPlain(*a, 7, 0.0);
  a->QueueChange(kBpas, 1.0);
  a->Flush();
  const std::vector<uint8_t> state = a->SaveState();
  ASSERT_EQ(state.size(), 76u);

  // From slot 7 on every value loads.
  auto b = Load();
  ASSERT_TRUE(b->RecallProgram(8));
  EXPECT_EQ(b->LoadState(state), kResultOk);
  for (ParamID i = 0; i < 9; ++i) EXPECT_EQ(Plain(*b, i), Plain(*a, i)) << i;
  EXPECT_EQ(b->ParamNormalized(kBpas), 1.0);
  EXPECT_EQ(b->SaveState(), state);

  // While a streaming slot (or the default slot) is current, the analysis
  // settings stay.
  auto c = Load();
  ASSERT_TRUE(c->RecallProgram(2));
  EXPECT_EQ(c->LoadState(state), kResultOk);
  EXPECT_EQ(Display(*c, 0), "2.5");
  EXPECT_EQ(Display(*c, 5), "-21.5");
  EXPECT_EQ(Display(*c, 6), "4.0");
  EXPECT_EQ(Display(*c, 7), "yes");
  EXPECT_EQ(c->ParamNormalized(kBpas), 1.0);

  auto d = Load();
  EXPECT_EQ(d->LoadState(state), kResultOk);
  EXPECT_EQ(Display(*d, 6), "4.0");
}

TEST(Vst3State, ShortStatesApplyWhatTheyHoldAndReportFailure) {
  auto a = Load();
  SetPlain(*a, 0, 2.5);
  SetPlain(*a, 1, 100.0);
  SetPlain(*a, 8, 0.0);
  const std::vector<uint8_t> state = a->SaveState();

  auto b = Load();
  b->Controller()->setParamNormalized(kBpas, 1.0);
  ASSERT_TRUE(b->RecallProgram(12));
  EXPECT_EQ(b->LoadState(std::vector<uint8_t>(state.begin(), state.begin() + 72)), kResultFalse);
  for (ParamID i = 0; i < 9; ++i) EXPECT_EQ(Plain(*b, i), Plain(*a, i)) << i;
  EXPECT_EQ(b->ParamNormalized(kBpas), 1.0) << "no flag, no change";

  // 20 bytes: two values, then the third parameter at 0.0 held to its range.
  auto c = Load();
  EXPECT_EQ(c->LoadState(std::vector<uint8_t>(state.begin(), state.begin() + 20)), kResultFalse);
  EXPECT_EQ(Plain(*c, 0), 2.5);
  EXPECT_EQ(Plain(*c, 1), Plain(*a, 1));
  EXPECT_EQ(Plain(*c, 2), 0.0);
  EXPECT_EQ(Plain(*c, 3), 70.0);

  // 80 bytes: the flag is read where the block ends.
  std::vector<uint8_t> longer = state;
  longer[72] = 1;
  longer.insert(longer.end(), {9, 9, 9, 9});
  auto d = Load();
  EXPECT_EQ(d->LoadState(longer), kResultOk);
  EXPECT_EQ(d->ParamNormalized(kBpas), 1.0);
}

TEST(Vst3State, StreamErrorsStopTheReadingExceptForTheTolerantHost) {
  auto a = Load();
  SetPlain(*a, 0, -6.0);
  a->QueueChange(kBpas, 1.0);
  a->Flush();
  const std::vector<uint8_t> state = a->SaveState();

  // The first piece fails: nothing is kept, the first parameter reads 0.0.
  auto b = Load();
  MemoryStream failing(state);
  failing.failReadsAfter = 40;
  failing.deliverOnFailure = true;
  EXPECT_EQ(b->LoadState(failing), kResultFalse);
  EXPECT_EQ(Plain(*b, 0), 0.0);
  EXPECT_EQ(b->ParamNormalized(kBpas), 0.0);

  // WaveLab reports errors while it still delivers: the bytes count.
  auto c = Load("WaveLab 11");
  MemoryStream tolerated(state);
  tolerated.failReadsAfter = 40;
  tolerated.deliverOnFailure = true;
  EXPECT_EQ(c->LoadState(tolerated), kResultOk);
  EXPECT_EQ(Plain(*c, 0), -6.0);
  EXPECT_EQ(c->ParamNormalized(kBpas), 1.0);

  // A stream that cannot seek back loads all the same.
  auto d = Load();
  MemoryStream noSeek(state);
  noSeek.canSeek = false;
  EXPECT_EQ(d->LoadState(noSeek), kResultOk);
  EXPECT_EQ(Plain(*d, 0), -6.0);

  // A host that passes no stream is refused.
  EXPECT_NE(d->Component()->setState(nullptr), kResultOk);
  EXPECT_NE(d->Component()->getState(nullptr), kResultOk);
}

TEST(Vst3State, TheControllerStateIsEmpty) {
  auto a = Load();
  SetPlain(*a, 0, 5.0);
  MemoryStream out;
  EXPECT_EQ(a->Controller()->getState(&out), kResultOk);
  EXPECT_TRUE(out.Bytes().empty());
  // The component's bytes handed to the controller change nothing.
  auto b = Load();
  MemoryStream in(a->SaveState());
  EXPECT_EQ(b->Controller()->setState(&in), kResultOk);
  EXPECT_EQ(Plain(*b, 0), 0.0);
  MemoryStream empty;
  EXPECT_EQ(b->Controller()->setState(&empty), kResultOk);
  EXPECT_EQ(Plain(*b, 0), 0.0);
}

TEST(Vst3State, RoundTripAfterProcessing) {
  auto a = Open();
  ASSERT_TRUE(a->RecallProgram(9));
  SetPlain(*a, 2, 33.3);
  const Signal x = Loud(20000);
  Render<float>(*a, x, {512});
  const std::vector<uint8_t> state = a->SaveState();
  ASSERT_EQ(state.size(), 76u);

  auto b = Open();
  ASSERT_TRUE(b->RecallProgram(9));
  ASSERT_EQ(b->LoadState(state), kResultOk);
  EXPECT_EQ(b->SaveState(), state);
  // The restored instance renders as one set up by hand.
  auto c = Open();
  ASSERT_TRUE(c->RecallProgram(9));
  SetPlain(*c, 2, 33.3);
  const Signal y = Loud(9000);
  EXPECT_EQ(Render<float>(*b, y, {512}).l, Render<float>(*c, y, {512}).l);
}

// ---- Parameter changes in process ----

TEST(Vst3Params, OnlyTheLastPointOfAQueueApplies) {
  // Out Limit at 0 LU: no limiting, so the output shows the input gain.
  auto p = Open();
  SetPlain(*p, 5, 0.0);
  p->QueueChange(0, 0.2, 0);
  p->QueueChange(0, 0.4, 10);
  p->QueueChange(0, 0.9, 20);
  std::vector<float> in(256, 0.01f), outL(256), outR(256);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  ASSERT_EQ(p->Process(ins, outs, 256), kResultOk);
  EXPECT_DOUBLE_EQ(p->ParamNormalized(0), 0.9);
  EXPECT_EQ(Display(*p, 0), "14.4");
  // Applied from the block's start: +14.4 dB on every frame.
  for (int i = 0; i < 256; ++i) ASSERT_NEAR(outL[i], 0.01 * std::pow(10.0, 14.4 / 20.0), 1e-6) << i;
}

TEST(Vst3Params, ThePresetParameterRecallsWhileSetParamNormalizedOnlySelects) {
  auto p = Load();
  // 1/29 recalls slot 1.
  p->QueueChange(kPrst, 1.0 / 29.0);
  ASSERT_EQ(p->Flush(), kResultOk);
  EXPECT_EQ(Display(*p, 5), "-14.0");
  EXPECT_EQ(Display(*p, 6), "4.0") << "slot 1 keeps the analysis settings";
  ASSERT_TRUE(p->RecallProgram(7));
  EXPECT_EQ(Display(*p, 1), "40.0");
  EXPECT_EQ(Display(*p, 6), "1.0");
  EXPECT_DOUBLE_EQ(p->ParamNormalized(kPrst), 7.0 / 29.0);

  // 1.0 recalls slot 29, a free slot: it becomes a user preset, values stay.
  const std::vector<uint8_t> before = p->SaveState();
  p->QueueChange(kPrst, 1.0);
  ASSERT_EQ(p->Flush(), kResultOk);
  EXPECT_EQ(p->ProgramName(29), "user preset 1");
  EXPECT_DOUBLE_EQ(p->ParamNormalized(kPrst), 1.0);
  EXPECT_EQ(p->SaveState(), before);

  // setParamNormalized selects slot 20 and recalls nothing.
  EXPECT_EQ(p->Controller()->setParamNormalized(kPrst, 20.0 / 29.0), kResultOk);
  EXPECT_DOUBLE_EQ(p->ParamNormalized(kPrst), 20.0 / 29.0);
  EXPECT_EQ(p->SaveState(), before);
  EXPECT_EQ(p->Controller()->setParamNormalized(kPrst, 1.0), kResultOk);
  EXPECT_DOUBLE_EQ(p->ParamNormalized(kPrst), 1.0);
  EXPECT_EQ(p->ProgramName(28), "- 29 -");
}

TEST(Vst3Params, ARecalledProgramReportsItsValuesToTheHost) {
  auto p = Load();
  p->log.outputChanges.clear();
  p->QueueChange(0, 0.75);
  ASSERT_EQ(p->Flush(), kResultOk);
  EXPECT_TRUE(p->log.outputChanges.empty()) << "a plain parameter change is the host's own";
  ASSERT_TRUE(p->RecallProgram(6));  // "Apple Music: -16 LUFS"
  ASSERT_EQ(p->log.outputChanges.size(), 9u);
  for (const auto& change : p->log.outputChanges) {
    EXPECT_DOUBLE_EQ(change.value, p->ParamNormalized(change.id)) << change.id;
  }
  EXPECT_EQ(p->log.outputChanges[5].id, 5u);
  EXPECT_DOUBLE_EQ(p->log.outputChanges[5].value, 44.0 / 60.0);  // Out Limit -16
}

TEST(Vst3Params, TheSlotsAgreeWithTheVst2Module) {
  // Each factory slot recalled by its normalised index sets the values the
  // slot defines: every slot from 7 on loads all nine.
  for (int slot = 7; slot <= 20; ++slot) {
    auto p = Load();
    ASSERT_TRUE(p->RecallProgram(slot));
    auto q = Load();
    q->QueueChange(kPrst, slot / 29.0);
    q->Flush();
    for (ParamID i = 0; i < 9; ++i) EXPECT_EQ(Plain(*p, i), Plain(*q, i)) << slot << " " << i;
  }
  auto p = Load();
  ASSERT_TRUE(p->RecallProgram(19));
  EXPECT_EQ(Display(*p, 4), "100ms");
  EXPECT_EQ(Display(*p, 5), "0");
  EXPECT_EQ(Display(*p, 7), "yes");
  ASSERT_TRUE(p->RecallProgram(20));
  EXPECT_EQ(Display(*p, 7), "no");
  EXPECT_EQ(Display(*p, 8), "no");
}

TEST(Vst3Params, BypassFollowsItsChangesWithoutBeingAParameter) {
  auto p = Load();
  p->QueueChange(kBpas, 0.6);
  p->Flush();
  EXPECT_EQ(p->ParamNormalized(kBpas), 1.0);
  p->QueueChange(kBpas, 0.5);
  p->Flush();
  EXPECT_EQ(p->ParamNormalized(kBpas), 0.0);
}

TEST(Vst3Params, ValuesOutsideTheRangeAreHeldToIt) {
  auto p = Load();
  p->QueueChange(0, 2.0);
  p->QueueChange(1, -1.0);  // the square shape would turn -1 into the maximum
  p->QueueChange(2, std::nan(""));
  p->QueueChange(1234, 0.5);
  ASSERT_EQ(p->Flush(), kResultOk);
  EXPECT_EQ(Plain(*p, 0), 18.0);
  EXPECT_EQ(Plain(*p, 1), 0.0);
  EXPECT_EQ(Plain(*p, 2), 12.0);
  EXPECT_EQ(p->Controller()->setParamNormalized(0, std::nan("")), kResultFalse);
  EXPECT_EQ(Plain(*p, 0), 18.0);
  // Below the range the program change recalls slot 0, whose data is still
  // empty: its first value reads 0.0.
  ASSERT_TRUE(p->RecallProgram(10));
  p->QueueChange(kPrst, -3.0);
  ASSERT_EQ(p->Flush(), kResultOk);
  EXPECT_EQ(p->ParamNormalized(kPrst), 0.0);
  EXPECT_EQ(Plain(*p, 0), 0.0);
}

// ---- Buses ----

TEST(Vst3Buses, OneStereoBusEachWay) {
  auto p = Load();
  IComponent* c = p->Component();
  EXPECT_EQ(c->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
  BusInfo info{};
  ASSERT_EQ(c->getBusInfo(kAudio, kInput, 0, info), kResultTrue);
  EXPECT_EQ(Utf8(info.name), "Main Input");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
  EXPECT_EQ(info.direction, kInput);
  ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
  EXPECT_EQ(Utf8(info.name), "Output");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_NE(c->getBusInfo(kAudio, kOutput, 1, info), kResultTrue);
  EXPECT_NE(c->getBusInfo(kEvent, kInput, 0, info), kResultTrue);
  EXPECT_NE(c->activateBus(kAudio, kOutput, 3, true), kResultTrue);
  SpeakerArrangement arr = 0;
  ASSERT_EQ(p->Processor()->getBusArrangement(kOutput, 0, arr), kResultTrue);
  EXPECT_EQ(arr, SpeakerArr::kStereo);
  EXPECT_NE(p->Processor()->getBusArrangement(kOutput, 1, arr), kResultTrue);
}

TEST(Vst3Buses, MonoIsAcceptedAndMonoInStereoOutRefused) {
  auto p = Load();
  IAudioProcessor* a = p->Processor();
  SpeakerArrangement mono = SpeakerArr::kMono, stereo = SpeakerArr::kStereo;
  EXPECT_EQ(a->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
  BusInfo info{};
  p->Component()->getBusInfo(kAudio, kInput, 0, info);
  EXPECT_EQ(Utf8(info.name), "Main Input") << "a refusal changes no bus";

  ASSERT_EQ(a->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
  p->Component()->getBusInfo(kAudio, kInput, 0, info);
  EXPECT_EQ(Utf8(info.name), "Input");
  EXPECT_EQ(info.channelCount, 1);
  EXPECT_EQ(info.busType, kMain);
  p->Component()->getBusInfo(kAudio, kOutput, 0, info);
  EXPECT_EQ(Utf8(info.name), "Output");
  EXPECT_EQ(info.channelCount, 1);
  SpeakerArrangement arr = 0;
  a->getBusArrangement(kInput, 0, arr);
  EXPECT_EQ(arr, 0x80000u);

  ASSERT_EQ(a->setBusArrangements(&stereo, 1, &stereo, 1), kResultOk);
  p->Component()->getBusInfo(kAudio, kInput, 0, info);
  EXPECT_EQ(info.channelCount, 2);
  // Not exactly one input arrangement: adapted, but reported as not taken.
  SpeakerArrangement two[2] = {stereo, stereo};
  EXPECT_EQ(a->setBusArrangements(two, 2, &stereo, 1), kResultFalse);
  EXPECT_EQ(a->setBusArrangements(nullptr, 0, &stereo, 1), kResultFalse);
  EXPECT_EQ(a->setBusArrangements(nullptr, 1, nullptr, 1), kResultFalse);
}

TEST(Vst3Buses, MonoProcessingRunsTheEngineOnOneChannel) {
  auto p = Open(48000.0, 256, false, 1);
  EXPECT_EQ(p->Channels(), 1);
  const Signal x = Loud(24000);
  std::vector<float> in(x.l), out(x.l.size(), 9.0f);
  for (size_t i = 0; i < in.size(); i += 256) {
    float* ins[1] = {in.data() + i};
    float* outs[1] = {out.data() + i};
    ASSERT_EQ(p->Process(ins, outs, static_cast<int>(std::min<size_t>(256, in.size() - i))), kResultOk);
  }
  int limited = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    ASSERT_TRUE(std::isfinite(out[i]));
    ASSERT_LE(std::fabs(out[i]), std::fabs(in[i]) + 1e-6f) << i;
    if (std::fabs(out[i]) < 0.9f * std::fabs(in[i])) ++limited;
  }
  EXPECT_GT(limited, 1000);
}

// ---- Processing ----

TEST(Vst3Process, BypassPassesTheInputUnchanged) {
  for (bool dbl : {false, true}) {
    auto p = Open(48000.0, 128, dbl);
    SetPlain(*p, 0, 18.0);
    SetPlain(*p, 5, -40.0);
    p->QueueChange(kBpas, 1.0);
    const Signal x = Loud(1000);
    const Signal y = dbl ? Render<double>(*p, x, {128, 77}) : Render<float>(*p, x, {128, 77});
    EXPECT_EQ(y.l, x.l);
    EXPECT_EQ(y.r, x.r);
    // Mono: the one channel passes.
    SpeakerArrangement mono = SpeakerArr::kMono;
    p->Stop();
    ASSERT_EQ(p->Processor()->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    ASSERT_TRUE(p->Configure(48000.0, 128, dbl, 1));
    p->QueueChange(kBpas, 1.0);
    std::vector<float> in(x.l), out(x.l.size());
    std::vector<double> inD(x.l.begin(), x.l.end()), outD(x.l.size());
    float* ins[1] = {in.data()};
    float* outs[1] = {out.data()};
    double* insD[1] = {inD.data()};
    double* outsD[1] = {outD.data()};
    ASSERT_EQ(dbl ? p->Process(insD, outsD, 100) : p->Process(ins, outs, 100), kResultOk);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(dbl ? static_cast<float>(outD[i]) : out[i], x.l[i]) << i;
  }
}

TEST(Vst3Process, ProcessBeforeInitialisationWritesSilence) {
  auto p = Load();
  ASSERT_EQ(p->Component()->terminate(), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 64, 48000.0};
  ASSERT_EQ(p->Processor()->setupProcessing(setup), kResultOk);
  std::vector<float> in(64, 0.5f), out(64, 0.25f);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out.data(), out.data()};
  p->QueueChange(kBpas, 1.0);
  EXPECT_EQ(p->Process(ins, outs, 64), kResultOk);
  // Without buses the host's buffers are not the plug-in's, but the host
  // plays them: they get silence rather than what they held.
  for (float v : out) ASSERT_EQ(v, 0.0f);
  EXPECT_TRUE(p->Reinitialize());
}

TEST(Vst3Process, ThirtyTwoAndSixtyFourBitsGiveTheSameSamples) {
  auto p32 = Open(48000.0, 512, false);
  auto p64 = Open(48000.0, 512, true);
  for (auto* p : {p32.get(), p64.get()}) {
    ASSERT_TRUE(p->RecallProgram(10));
    SetPlain(*p, 5, -24.0);
  }
  const Signal x = Loud(48000);
  const Signal y32 = Render<float>(*p32, x, {512});
  const Signal y64 = Render<double>(*p64, x, {512});
  // Render<double> rounds its output to float: the 32-bit path is the 64-bit
  // one with its output rounded, sample for sample.
  EXPECT_EQ(y32.l, y64.l);
  EXPECT_EQ(y32.r, y64.r);
  EXPECT_GT(CountLimited(x, y32), 5000);
}

TEST(Vst3Process, EmptyAndParameterOnlyCalls) {
  auto p = Open(48000.0, 256);
  std::vector<float> in(256, 0.5f), out(256, 0.25f);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out.data(), out.data()};

  // Zero samples with buffers and a change: the change applies, no sample is
  // written.
  p->QueueChange(0, 1.0);
  EXPECT_EQ(p->Process(ins, outs, 0), kResultOk);
  EXPECT_EQ(Plain(*p, 0), 18.0);
  for (float v : out) ASSERT_EQ(v, 0.25f);

  // No buses at all, with a frame count: a parameter flush.
  ProcessData flush;
  flush.symbolicSampleSize = kSample32;
  flush.numSamples = 256;
  p->QueueChange(0, 0.5);
  EXPECT_EQ(p->ProcessData(flush), kResultOk);
  EXPECT_EQ(Plain(*p, 0), 0.0);

  // Buses with zero channels and no buffers.
  AudioBusBuffers none[2];
  ProcessData zero;
  zero.symbolicSampleSize = kSample32;
  zero.numSamples = 256;
  zero.numInputs = zero.numOutputs = 1;
  zero.inputs = &none[0];
  zero.outputs = &none[1];
  p->QueueChange(5, 0.0);
  EXPECT_EQ(p->ProcessData(zero), kResultOk);
  EXPECT_EQ(Plain(*p, 5), -60.0);

  // Buses announced but their arrays missing.
  ProcessData missing;
  missing.symbolicSampleSize = kSample64;
  missing.numSamples = 256;
  missing.numInputs = missing.numOutputs = 1;
  EXPECT_EQ(p->ProcessData(missing), kResultOk);

  // Channel arrays with null entries are not written through.
  float* holes[2] = {nullptr, nullptr};
  EXPECT_EQ(p->Process(holes, holes, 256), kResultOk);

  // An unknown sample size processes nothing.
  AudioBusBuffers bufs[2];
  bufs[0].numChannels = bufs[1].numChannels = 2;
  bufs[0].channelBuffers32 = ins;
  bufs[1].channelBuffers32 = outs;
  ProcessData odd;
  odd.symbolicSampleSize = 7;
  odd.numSamples = 256;
  odd.numInputs = odd.numOutputs = 1;
  odd.inputs = &bufs[0];
  odd.outputs = &bufs[1];
  EXPECT_EQ(p->ProcessData(odd), kResultOk);
  for (float v : out) ASSERT_EQ(v, 0.25f);
  odd.numSamples = -5;
  odd.symbolicSampleSize = kSample32;
  EXPECT_EQ(p->ProcessData(odd), kResultOk);
  for (float v : out) ASSERT_EQ(v, 0.25f);
}

TEST(Vst3Process, NoInputsAndSilenceFlags) {
  auto p = Open(48000.0, 256);
  std::vector<float> zeros(256, 0.0f), outL(256, 0.25f), outR(256, 0.25f);
  float* ins[2] = {zeros.data(), zeros.data()};
  float* outs[2] = {outL.data(), outR.data()};
  AudioBusBuffers in, out;
  in.numChannels = out.numChannels = 2;
  in.channelBuffers32 = ins;
  out.channelBuffers32 = outs;
  in.silenceFlags = 0x3;
  out.silenceFlags = 0x3;
  ProcessData data;
  data.symbolicSampleSize = kSample32;
  data.numSamples = 256;
  data.numInputs = data.numOutputs = 1;
  data.inputs = &in;
  data.outputs = &out;
  ASSERT_EQ(p->ProcessData(data), kResultOk);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(outL[i], 0.0f);
  EXPECT_EQ(out.silenceFlags, 0u) << "the plug-in does not claim silence it did not check";

  // No input bus: the engine reads silence.
  std::fill(outL.begin(), outL.end(), 0.25f);
  data.numInputs = 0;
  data.inputs = nullptr;
  ASSERT_EQ(p->ProcessData(data), kResultOk);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(outL[i], 0.0f);
}

TEST(Vst3Process, VariableBlockSizesGiveTheSameSamples) {
  const Signal x = Loud(30000);
  auto fixed = Open(48000.0, 512);
  auto varied = Open(48000.0, 512);
  const Signal a = Render<float>(*fixed, x, {512});
  const Signal b = Render<float>(*varied, x, {1, 7, 512, 64, 511, 3, 200, 512, 13});
  EXPECT_EQ(a.l, b.l);
  EXPECT_EQ(a.r, b.r);
  EXPECT_GT(CountLimited(x, a), 3000);
}

TEST(Vst3Process, CallsLongerThanTheMaximumBlockAreSliced) {
  const Signal x = Loud(30000);
  auto small = Open(48000.0, 64);
  auto sliced = Open(48000.0, 64);
  const Signal a = Render<float>(*small, x, {64});
  const Signal b = Render<float>(*sliced, x, {5000});
  EXPECT_EQ(a.l, b.l);
  auto small64 = Open(48000.0, 64, true);
  auto sliced64 = Open(48000.0, 64, true);
  EXPECT_EQ(Render<double>(*small64, x, {64}).r, Render<double>(*sliced64, x, {4097}).r);
}

TEST(Vst3Process, SampleRatesFromAKilohertzToOnePointTwoMegahertz) {
  for (double rate : {1000.0, 1234.5678, 8000.0, 44100.0, 96000.0, 192000.0, 1.2e6}) {
    auto p = Open(rate, 1024);
    ASSERT_TRUE(p->RecallProgram(9));
    const Signal x = Loud(static_cast<size_t>(rate * 0.6));
    const Signal y = Render<float>(*p, x, {1024, 333});
    EXPECT_TRUE(AllFinite(y)) << rate;
    if (rate >= 8000.0) {
      EXPECT_GT(CountLimited(x, y), 0) << rate;
    }
  }
  // Beyond that range the engine does not run: the audio passes unchanged.
  for (double rate : {999.0, 1234567.8, 1e12}) {
    auto p = Open(rate, 1024);
    ASSERT_TRUE(p->RecallProgram(9));
    const Signal x = Loud(5000);
    const Signal y = Render<float>(*p, x, {1024, 333});
    EXPECT_EQ(y.l, x.l) << rate;
    EXPECT_EQ(y.r, x.r) << rate;
  }
}

TEST(Vst3Process, ProcessingOnAnotherThreadThanTheSetUp) {
  const Signal x = Loud(20000);
  auto here = Open();
  const Signal expected = Render<float>(*here, x, {512});
  auto there = Open();
  Signal got;
  std::thread audio([&] { got = Render<float>(*there, x, {512}); });
  audio.join();
  EXPECT_EQ(got.l, expected.l);
  EXPECT_EQ(got.r, expected.r);
}

TEST(Vst3Process, SetupProcessingRefusesOtherSampleSizes) {
  auto p = Load();
  IAudioProcessor* a = p->Processor();
  EXPECT_EQ(a->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(a->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(a->canProcessSampleSize(2), kResultFalse);
  EXPECT_EQ(a->canProcessSampleSize(-1), kResultFalse);
  ASSERT_TRUE(p->Configure(48000.0, 256, false));
  // Bypass set, then refused set-ups leave everything as it was.
  p->QueueChange(kBpas, 1.0);
  p->Flush();
  for (int32 size : {2, -1, 64}) {
    ProcessSetup setup{kRealtime, size, 4096, 96000.0};
    EXPECT_EQ(a->setupProcessing(setup), kResultFalse) << size;
  }
  EXPECT_EQ(p->ParamNormalized(kBpas), 1.0);
  const Signal x = Loud(512);
  EXPECT_EQ(Render<float>(*p, x, {256}).l, x.l);
  // An accepted set-up clears the bypass.
  ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
  EXPECT_EQ(a->setupProcessing(setup), kResultOk);
  EXPECT_EQ(p->ParamNormalized(kBpas), 0.0);
}

TEST(Vst3Process, ActivationOnAndOffRepeatedly) {
  auto p = Open(48000.0, 256);
  const Signal x = Loud(2048);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(p->Component()->setActive(false), kResultOk);
    EXPECT_EQ(p->Component()->setActive(true), kResultOk);
    if (i % 10 == 0) {
      EXPECT_TRUE(AllFinite(Render<float>(*p, x, {256})));
    }
  }
  EXPECT_EQ(p->Component()->setActive(true), kResultOk);
  EXPECT_EQ(p->Component()->setActive(true), kResultOk);
  EXPECT_TRUE(AllFinite(Render<float>(*p, x, {256})));
}

TEST(Vst3Process, TerminateAndInitialiseTheSameComponentAgain) {
  auto p = Open();
  SetPlain(*p, 0, 3.0);
  EXPECT_EQ(p->Component()->initialize(nullptr), kResultFalse) << "already initialised";
  EXPECT_EQ(p->NumParams(), 10);
  p->Stop();
  ASSERT_EQ(p->Component()->terminate(), kResultOk);
  EXPECT_EQ(p->NumParams(), 0);
  EXPECT_EQ(p->Component()->getBusCount(kAudio, kOutput), 0);
  ASSERT_TRUE(p->Reinitialize());
  EXPECT_EQ(p->NumParams(), 10);
  EXPECT_EQ(p->Component()->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(Plain(*p, 0), 3.0) << "values live in the plug-in, not in the controller's list";
  ASSERT_TRUE(p->Configure(44100.0, 333, true));
  EXPECT_TRUE(AllFinite(Render<double>(*p, Loud(5000), {333})));
  EXPECT_EQ(p->SaveState().size(), 76u);
}

TEST(Vst3Process, SeveralInstancesAtOnce) {
  const Signal x = Loud(24000);
  std::vector<Signal> solo;
  for (int slot : {1, 9, 12}) {
    auto p = Open();
    EXPECT_TRUE(p->RecallProgram(slot));
    solo.push_back(Render<float>(*p, x, {512}));
  }
  std::vector<std::unique_ptr<Vst3Plugin>> plugs;
  for (int slot : {1, 9, 12}) {
    plugs.push_back(Open());
    EXPECT_TRUE(plugs.back()->RecallProgram(slot));
  }
  std::vector<Signal> together(3);
  std::vector<std::thread> threads;
  for (size_t k = 0; k < 3; ++k) threads.emplace_back([&, k] { together[k] = Render<float>(*plugs[k], x, {512}); });
  for (auto& t : threads) t.join();
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(together[k].l, solo[k].l) << k;
  EXPECT_NE(solo[0].l, solo[1].l);
}

TEST(Vst3Process, TheTransportComesFromTheProcessContext) {
  // Reset on play (slot 1): a stop and a new play start clear the limiter, so
  // the block after the restart matches a fresh start. Without a context the
  // plug-in sees a stopped transport.
  const Signal x = Loud(48000);
  auto fresh = Open();
  ASSERT_TRUE(fresh->RecallProgram(1));
  const Signal first = Render<float>(*fresh, x, {512});

  auto p = Open();
  ASSERT_TRUE(p->RecallProgram(1));
  Render<float>(*p, Loud(48000 * 3), {512});
  p->transport.playing = false;
  Render<float>(*p, x, {512});
  p->transport.playing = true;
  p->transport.samplePos = 0;
  const Signal restarted = Render<float>(*p, x, {512});
  EXPECT_EQ(restarted.l, first.l);

  auto q = Open();
  ASSERT_TRUE(q->RecallProgram(1));
  q->transport.timeInfoAvailable = false;
  Render<float>(*q, Loud(48000 * 3), {512});
  const Signal noContext = Render<float>(*q, x, {512});
  EXPECT_NE(noContext.l, first.l) << "no play start without a transport";
}

// ---- Views ----

TEST(Vst3View, OnlyTheEditorViewExists) {
  auto p = Load();
  IEditController* c = p->Controller();
  for (const char* name : {"Editor", "editor ", "", "edit", "viewer"}) EXPECT_EQ(c->createView(name), nullptr) << name;
  EXPECT_EQ(c->createView(nullptr), nullptr);

  const uint32 refs = p->Component()->addRef() - 1;
  p->Component()->release();
  IPlugView* view = c->createView("editor");
  ASSERT_TRUE(view);
  EXPECT_EQ(p->Component()->addRef() - 1, refs + 1) << "the view holds the plug-in";
  p->Component()->release();

#if defined(_WIN32)
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultFalse);
#else
  EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
#endif
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  ViewRect rect;
  ASSERT_EQ(view->getSize(&rect), kResultOk);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_GT(rect.right, 100);
  EXPECT_GT(rect.bottom, 100);
  EXPECT_NE(view->getSize(nullptr), kResultOk);
  EXPECT_EQ(view->setFrame(nullptr), kResultOk);
  ViewRect other(0, 0, 10, 10);
  EXPECT_EQ(view->onSize(&other), kResultOk);
  EXPECT_EQ(view->onSize(nullptr), kResultOk);
  // A parent that is no window: nothing opens, and removing is harmless.
  EXPECT_EQ(view->attached(nullptr, "X11EmbedWindowID"), kResultFalse);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(view->canResize(), kResultFalse);

  // Two views at once, released in any order, even after terminate.
  IPlugView* second = c->createView("editor");
  ASSERT_TRUE(second);
  p->Component()->terminate();
  EXPECT_EQ(view->release(), 0u);
  EXPECT_TRUE(p->Reinitialize());
  EXPECT_EQ(second->release(), 0u);
}

