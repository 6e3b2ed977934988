// A host that calls the built modules' C interfaces in any order with any
// arguments it may legally pass: opcodes and controller calls, views, sample
// rates from 1 kHz to 1.2 MHz and absurd ones, block sizes from 0 to beyond
// the largest, activation toggles, programs, chunks and states (valid,
// truncated, garbage), parameter values (NaN, infinities, out of range),
// silence, full-scale noise, NaN and infinite input, missing buffers. Nothing
// may crash (the sanitizer builds run it too), and every output sample is
// finite whenever the input was.
//
// Each sequence has its seed; a failure names it. QUARV_CHAOS_SEED=n runs that
// sequence alone, QUARV_CHAOS_SEQUENCES and QUARV_CHAOS_STEPS set the amount.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using quarv::host::MemoryStream;
using quarv::host::ParamChanges;
using quarv::host::Vst2Plugin;
using quarv::host::Vst3Plugin;

namespace {

constexpr int kMaxFrames = 20000;
constexpr int kChannels = 4;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

long EnvNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
  template <typename T, size_t N>
  T Pick(const T (&values)[N]) {
    return values[static_cast<size_t>(Below(static_cast<int>(N)))];
  }
};

double AnyValue(Rng& r) {
  const double kValues[] = {0.0, 1.0, 0.5, -0.5, 2.0, -1e9, 1e9, kNan, kInf, -kInf, 1e-310, 0.999999};
  return r.Chance(40) ? r.Unit() : r.Pick(kValues);
}

double AnyRate(Rng& r) {
  const double kRates[] = {44100.0, 48000.0, 96000.0, 1000.0, 1.2e6, 8000.0, 22050.0, 192000.0,
                           0.0,     -1.0,    kNan,    kInf,   1e12,  999.0,  1.2e6 + 1, 3e5};
  return r.Chance(20) ? 1000.0 + r.Unit() * 199000.0 : r.Pick(kRates);
}

int AnyBlock(Rng& r) {
  const int kBlocks[] = {0, 1, 2, 64, 512, 4096, 8192, 100000, -5, 1 << 20, 1 << 30};
  return r.Chance(30) ? 1 + r.Below(8192) : r.Pick(kBlocks);
}

int AnyFrames(Rng& r) {
  const int kFrames[] = {0, 1, 2, 3, 512, 8192, kMaxFrames, -7};
  return r.Chance(60) ? 1 + r.Below(r.Chance(80) ? 4096 : kMaxFrames) : r.Pick(kFrames);
}

// The host's audio: channels of kMaxFrames samples in both precisions.
struct Buffers {
  std::vector<std::vector<float>> fin, fout;
  std::vector<std::vector<double>> din, dout;
  float* fi[kChannels];
  float* fo[kChannels];
  double* di[kChannels];
  double* dout_[kChannels];
  bool finite = true;

  Buffers()
      : fin(kChannels, std::vector<float>(kMaxFrames)),
        fout(kChannels, std::vector<float>(kMaxFrames)),
        din(kChannels, std::vector<double>(kMaxFrames)),
        dout(kChannels, std::vector<double>(kMaxFrames)) {
    for (int c = 0; c < kChannels; ++c) {
      fi[c] = fin[static_cast<size_t>(c)].data();
      fo[c] = fout[static_cast<size_t>(c)].data();
      di[c] = din[static_cast<size_t>(c)].data();
      dout_[c] = dout[static_cast<size_t>(c)].data();
    }
  }

  // Silence, noise, a tone, denormals, or the same with NaN or infinities.
  void Fill(Rng& r, int frames) {
    const int kind = r.Below(8);
    finite = kind < 6;
    const double amp = r.Chance(50) ? 1.0 : r.Unit();
    for (int c = 0; c < kChannels; ++c) {
      for (int i = 0; i < frames; ++i) {
        double x = 0.0;
        if (kind == 1 || kind == 6 || kind == 7) x = amp * (2.0 * r.Unit() - 1.0);
        if (kind == 2) x = amp * std::sin(i * 0.07 * (c + 1));
        if (kind == 3) x = (i % 2 ? 1e-39 : -1e-310);
        if (kind == 4) x = (i % 3 == 0) ? 1.0 : -1.0;
        if (kind == 5) x = r.Chance(1) ? 0.5 : 0.0;
        if (kind == 6 && r.Chance(2)) x = kNan;
        if (kind == 7 && r.Chance(2)) x = r.Chance(50) ? kInf : -kInf;
        fin[static_cast<size_t>(c)][static_cast<size_t>(i)] = static_cast<float>(x);
        din[static_cast<size_t>(c)][static_cast<size_t>(i)] = x;
        fout[static_cast<size_t>(c)][static_cast<size_t>(i)] = 0.25f;
        dout[static_cast<size_t>(c)][static_cast<size_t>(i)] = 0.25;
      }
    }
  }
};

// Whether a non-finite sample may still sit in the look-ahead ring: it leaves
// the ring once the ring is cleared or a full second of audio at the highest
// rate has passed.
struct Taint {
  bool on = false;
  long clean = 0;
  void Input(bool finite, int frames) {
    if (!finite) {
      on = true;
      clean = 0;
    } else if (on && (clean += frames) > 1300000) {
      on = false;
    }
  }
  void Cleared() { on = false; }
};

template <typename T>
bool AllFinite(T* const* outs, int channels, int frames) {
  for (int c = 0; c < channels; ++c) {
    if (!outs[c]) continue;
    for (int i = 0; i < frames; ++i) {
      if (!std::isfinite(outs[c][i])) return false;
    }
  }
  return true;
}

std::vector<uint8_t> Garbage(Rng& r) {
  std::vector<uint8_t> bytes(static_cast<size_t>(r.Below(300)));
  for (auto& b : bytes) b = static_cast<uint8_t>(r.Next());
  // Sometimes doubles that are valid, absurd or not numbers.
  for (size_t i = 0; i + 8 <= bytes.size() && r.Chance(50); i += 8) {
    const double v = AnyValue(r) * (r.Chance(50) ? 1000.0 : 1.0);
    std::memcpy(bytes.data() + i, &v, 8);
  }
  return bytes;
}

std::string AnyText(Rng& r) {
  const char* kTexts[] = {"", "0", "-30", "1e999", "nan", "inf", "-inf", "yes", "no", "20ms", "2.5ms", "12.5 dB",
                          "\xff\xfe", "   7", "1e-320", "999999999999", "--1", "0x10", "caf\xc3\xa9"};
  std::string text = r.Pick(kTexts);
  if (r.Chance(20)) {
    text.clear();
    for (int i = r.Below(40); i > 0; --i) text += static_cast<char>(1 + r.Below(255));
  }
  return text;
}

// ---- VST 2.4 ----

class Vst2Chaos {
public:
  Vst2Chaos(Vst2Plugin& p, Rng& r) : p(p), e(p.Effect()), r(r) {}

  void Step() {
    const int what = r.Below(100);
    if (what < 35) {
      Process();
    } else if (what < 50) {
      e->setParameter(e, r.Below(12) - 1, static_cast<float>(AnyValue(r)));
    } else if (what < 53) {
      (void)e->getParameter(e, r.Below(12) - 1);
    } else if (what < 58) {
      p.transport.playing = r.Chance(60);
      p.transport.recording = r.Chance(10);
      const double kPositions[] = {0.0, -1000.0, 1e15, kNan, 48000.0 * 3600};
      p.transport.samplePos = r.Chance(50) ? r.Unit() * 1e7 : r.Pick(kPositions);
      p.transport.timeInfoAvailable = r.Chance(90);
    } else if (what < 63) {
      Chunk();
    } else {
      Dispatch();
    }
  }

private:
  void Process() {
    const int frames = AnyFrames(r);
    b.Fill(r, std::max(frames, 0));
    const int entry = r.Below(3);
    float* fi[kChannels];
    float* fo[kChannels];
    double* di[kChannels];
    double* dout[kChannels];
    std::copy(b.fi, b.fi + kChannels, fi);
    std::copy(b.fo, b.fo + kChannels, fo);
    std::copy(b.di, b.di + kChannels, di);
    std::copy(b.dout_, b.dout_ + kChannels, dout);
    bool complete = true;
    if (r.Chance(8)) {
      fi[r.Below(2)] = nullptr;
      di[r.Below(2)] = nullptr;
      complete = false;
    }
    if (r.Chance(4)) {
      fo[r.Below(2)] = nullptr;
      dout[r.Below(2)] = nullptr;
    }
    float** fiArg = r.Chance(3) ? nullptr : fi;
    double** diArg = r.Chance(3) ? nullptr : di;
    if (!fiArg || !diArg) complete = false;
    if (entry == 0) e->processReplacing(e, fiArg, fo, frames);
    if (entry == 1) e->process(e, fiArg, fo, frames);
    if (entry == 2) e->processDoubleReplacing(e, diArg, dout, frames);
    if (frames <= 0) return;
    taint.Input(b.finite, frames);
    if (taint.on || !complete) return;
    const bool ok = entry == 2 ? AllFinite(dout, 2, frames) : AllFinite(fo, 2, frames);
    EXPECT_TRUE(ok) << "non-finite output for finite input, entry " << entry << ", " << frames << " frames";
  }

  void Chunk() {
    const bool bank = r.Chance(50);
    void* data = nullptr;
    const intptr_t size = e->dispatcher(e, effGetChunk, bank ? 0 : 1, 0, &data, 0.0f);
    std::vector<uint8_t> bytes;
    if (size > 0 && data) bytes.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    const int kind = r.Below(3);
    if (kind == 1 && !bytes.empty()) bytes.resize(static_cast<size_t>(r.Below(static_cast<int>(bytes.size()))));
    if (kind == 2) bytes = Garbage(r);
    bytes.resize(std::max<size_t>(bytes.size(), 1));
    e->dispatcher(e, effSetChunk, r.Below(3) - 1, static_cast<intptr_t>(bytes.size() - (r.Chance(20) ? 1 : 0)),
                  r.Chance(5) ? nullptr : bytes.data(), 0.0f);
  }

  void Dispatch() {
    const int32_t kOpcodes[] = {effOpen, effSetProgram, effGetProgram, effSetProgramName, effGetProgramName,
                                effGetParamLabel, effGetParamDisplay, effGetParamName, effSetSampleRate,
                                effSetBlockSize, effMainsChanged, effEditGetRect, effEditClose, effEditIdle,
                                effIdentify, effProcessEvents, effCanBeAutomated, effString2Parameter,
                                effGetProgramNameIndexed, effGetInputProperties, effGetOutputProperties,
                                effGetPlugCategory, effSetSpeakerArrangement, effSetBypass, effGetEffectName,
                                effGetVendorString, effGetProductString, effGetVendorVersion, effVendorSpecific,
                                effCanDo, effGetVstVersion, effGetMidiKeyName, effGetSpeakerArrangement,
                                effStartProcess, effStopProcess, effBeginSetProgram, effEndSetProgram,
                                effGetTailSize, effSetProcessPrecision, 9, 77, 80, 200, -3};
    const int32_t op = r.Pick(kOpcodes);
    const int32_t index = r.Chance(70) ? r.Below(31) - 1 : r.Pick({-100000, 1000, 0x7FFFFFFF});
    intptr_t value = r.Below(34) - 2;
    const float opt = static_cast<float>(r.Chance(50) ? AnyValue(r) : AnyRate(r));
    std::memset(scratch, 0, sizeof scratch);
    void* ptr = r.Chance(10) ? nullptr : scratch;
    switch (op) {
      case effSetSampleRate:
        e->dispatcher(e, op, 0, 0, nullptr, static_cast<float>(AnyRate(r)));
        return;
      case effSetBlockSize:
        e->dispatcher(e, op, 0, AnyBlock(r), nullptr, 0.0f);
        return;
      case effMainsChanged:
      case effSetBypass:
      case effStopProcess:
        value = r.Below(2);
        e->dispatcher(e, op, 0, value, nullptr, 0.0f);
        if ((op == effMainsChanged && value == 0) || (op == effSetBypass && value != 0) || op == effStopProcess) {
          taint.Cleared();
        }
        return;
      case effSetProgramName:
      case effString2Parameter:
      case effCanDo: {
        const char* kCanDo[] = {"receiveVstTimeInfo", "hasCockosExtensions", "sendVstEvents", "", "bypass"};
        const std::string text = op == effCanDo && r.Chance(70) ? r.Pick(kCanDo) : AnyText(r);
        std::memcpy(scratch, text.c_str(), text.size() + 1);
        break;
      }
      case effVendorSpecific: {
        const int32_t kIndices[] = {kVendorParamDisplayOfValue, kVendorParamTextCount, kVendorParamParseText,
                                    kVendorMouseWheel, 0, 99};
        const std::string text = AnyText(r);
        std::memcpy(scratch, text.c_str(), text.size() + 1);
        const int32_t vendorIndex = r.Pick(kIndices);
        value = vendorIndex == kVendorMouseWheel && r.Chance(50) ? kVendorMouseWheelValue : r.Below(12) - 1;
        e->dispatcher(e, op, vendorIndex, value, ptr, opt);
        return;
      }
      case effProcessEvents: {
        VstMidiEvent midi{};
        midi.type = kVstMidiType;
        midi.byteSize = sizeof midi;
        midi.midiData[0] = static_cast<char>(0x90);
        VstMidiSysexEvent sysex{};
        sysex.type = kVstSysExType;
        sysex.byteSize = sizeof sysex;
        sysex.dumpBytes = 4;
        sysex.sysexDump = scratch + 2048;
        VstEvents events{};
        events.numEvents = r.Below(3);
        events.events[0] = reinterpret_cast<VstEvent*>(&midi);
        events.events[1] = r.Chance(30) ? nullptr : reinterpret_cast<VstEvent*>(&sysex);
        e->dispatcher(e, op, 0, 0, r.Chance(10) ? nullptr : &events, 0.0f);
        return;
      }
      case effSetSpeakerArrangement: {
        static VstSpeakerArrangement in, out;
        in.numChannels = r.Below(12) - 2;
        out.numChannels = r.Below(12) - 2;
        e->dispatcher(e, op, 0, r.Chance(20) ? 0 : reinterpret_cast<intptr_t>(&in), r.Chance(20) ? nullptr : &out, 0.0f);
        return;
      }
      case effGetSpeakerArrangement: {
        VstSpeakerArrangement* in = nullptr;
        VstSpeakerArrangement* out = nullptr;
        e->dispatcher(e, op, 0, r.Chance(20) ? 0 : reinterpret_cast<intptr_t>(&in), r.Chance(20) ? nullptr : &out, 0.0f);
        return;
      }
      case effSetProgram:
        value = r.Chance(80) ? r.Below(30) : r.Pick({-1L, 30L, 100000L});
        break;
      default:
        break;
    }
    e->dispatcher(e, op, index, value, ptr, opt);
  }

  Vst2Plugin& p;
  AEffect* e;
  Rng& r;
  Buffers b;
  Taint taint;
  alignas(16) char scratch[4096];
};

// ---- VST 3 ----

class Vst3Chaos {
public:
  Vst3Chaos(Vst3Plugin& p, Rng& r) : p(p), r(r) {}

  void Step() {
    const int what = r.Below(100);
    if (what < 35) {
      Process();
    } else if (what < 40) {
      Setup();
    } else if (what < 45) {
      const bool on = r.Chance(70);
      p.Component()->setActive(on);
      if (!on) taint.Cleared();
    } else if (what < 48) {
      SpeakerArrangement kArr[] = {SpeakerArr::kMono, SpeakerArr::kStereo, SpeakerArr::kEmpty, 0x103, 0x3F};
      SpeakerArrangement in[2] = {r.Pick(kArr), r.Pick(kArr)}, out[2] = {r.Pick(kArr), r.Pick(kArr)};
      p.Processor()->setBusArrangements(r.Chance(10) ? nullptr : in, r.Below(3), r.Chance(10) ? nullptr : out,
                                        r.Below(3));
    } else if (what < 51) {
      p.Component()->activateBus(r.Chance(90) ? kAudio : kEvent, r.Below(2) ? kInput : kOutput, r.Below(3) - 1,
                                 r.Chance(70));
    } else if (what < 58) {
      State();
    } else if (what < 78) {
      Controller();
    } else if (what < 84) {
      Units();
    } else if (what < 88) {
      Buses();
    } else if (what < 92) {
      View();
    } else if (what < 93) {
      p.Reinitialize();
      taint.Cleared();
    } else {
      Misc();
    }
  }

private:
  ParamID AnyId() {
    const ParamID kIds[] = {0, 1, 4, 5, 8, 9, 0x70727374, 0x62706173, 0xFFFFFFFF, 1000};
    return r.Chance(60) ? static_cast<ParamID>(r.Below(9)) : r.Pick(kIds);
  }

  void Setup() {
    const int32 kSizes[] = {kSample32, kSample64, kSample32, kSample64, 7};
    ProcessSetup setup{r.Below(3), r.Pick(kSizes), AnyBlock(r), AnyRate(r)};
    if (p.Processor()->setupProcessing(setup) == kResultOk) sampleSize = setup.symbolicSampleSize;
  }

  void Process() {
    const int frames = AnyFrames(r);
    b.Fill(r, std::max(frames, 0));
    changes.Clear();
    for (int q = r.Below(4); q > 0; --q) {
      int32 index = 0;
      IParamValueQueue* queue = changes.addParameterData(AnyId(), index);
      for (int k = r.Below(4); queue && k > 0; --k) queue->addPoint(r.Below(frames > 0 ? frames : 1), AnyValue(r), index);
    }
    reported.Clear();
    context.state = (r.Chance(60) ? ProcessContext::kPlaying : 0) | (r.Chance(10) ? ProcessContext::kRecording : 0);
    const int64 kPositions[] = {0, -48000, int64{1} << 40, 0x7FFFFFFF, 12345};
    context.projectTimeSamples = r.Chance(50) ? static_cast<int64>(r.Unit() * 1e7) : r.Pick(kPositions);

    ProcessData data;
    const bool dbl = r.Chance(90) ? sampleSize == kSample64 : r.Chance(50);
    data.symbolicSampleSize = r.Chance(3) ? 7 : (dbl ? kSample64 : kSample32);
    data.numSamples = frames;
    data.processMode = r.Below(3);
    AudioBusBuffers buses[4];
    float* fptr[4][kChannels];
    double* dptr[4][kChannels];
    bool complete = true;
    for (int k = 0; k < 4; ++k) {
      const int bank = k < 2 ? 0 : 1;  // inputs read the input buffers, outputs write the output ones
      buses[k].numChannels = r.Chance(70) ? 2 : r.Below(kChannels + 1);
      for (int c = 0; c < kChannels; ++c) {
        fptr[k][c] = bank == 0 ? b.fi[c] : b.fo[c];
        dptr[k][c] = bank == 0 ? b.di[c] : b.dout_[c];
      }
      if (r.Chance(5)) {
        fptr[k][r.Below(2)] = nullptr;
        dptr[k][r.Below(2)] = nullptr;
        if (bank == 0) complete = false;
      }
      buses[k].channelBuffers32 = r.Chance(3) ? nullptr : fptr[k];
      buses[k].channelBuffers64 = r.Chance(3) ? nullptr : dptr[k];
    }
    data.numInputs = r.Chance(80) ? 1 : r.Below(3);
    data.numOutputs = r.Chance(80) ? 1 : r.Below(3);
    data.inputs = r.Chance(5) ? nullptr : &buses[0];
    // The second output bus (when announced) writes the same buffers.
    buses[3] = buses[2];
    data.outputs = r.Chance(5) ? nullptr : &buses[2];
    data.inputParameterChanges = r.Chance(80) ? &changes : nullptr;
    data.outputParameterChanges = r.Chance(80) ? &reported : nullptr;
    data.processContext = r.Chance(85) ? &context : nullptr;
    EXPECT_EQ(p.Processor()->process(data), kResultOk);
    if (frames <= 0) return;
    taint.Input(b.finite, frames);
    if (taint.on || !complete) return;
    const bool ok = data.symbolicSampleSize == kSample64 ? AllFinite(b.dout_, kChannels, frames)
                                                         : AllFinite(b.fo, kChannels, frames);
    EXPECT_TRUE(ok) << "non-finite output for finite input, " << frames << " frames";
  }

  void State() {
    MemoryStream out;
    const tresult saved = r.Chance(50) ? p.Component()->getState(&out) : p.Controller()->getState(&out);
    std::vector<uint8_t> bytes = saved == kResultOk ? out.Bytes() : std::vector<uint8_t>();
    const int kind = r.Below(3);
    if (kind == 1 && !bytes.empty()) bytes.resize(static_cast<size_t>(r.Below(static_cast<int>(bytes.size()))));
    if (kind == 2) bytes = Garbage(r);
    MemoryStream in(bytes);
    if (r.Chance(20)) in.failReadsAfter = r.Below(100);
    in.deliverOnFailure = r.Chance(50);
    in.canSeek = r.Chance(70);
    if (r.Chance(85)) {
      p.Component()->setState(r.Chance(5) ? nullptr : &in);
    } else {
      p.Controller()->setState(&in);
    }
  }

  void Controller() {
    IEditController* c = p.Controller();
    const ParamID id = AnyId();
    String128 text{};
    switch (r.Below(9)) {
      case 0:
        c->setParamNormalized(id, AnyValue(r));
        break;
      case 1:
        (void)c->getParamNormalized(id);
        break;
      case 2:
        c->getParamStringByValue(id, AnyValue(r), text);
        break;
      case 3: {
        const std::string s = AnyText(r);
        for (size_t i = 0; i < s.size() && i < 127; ++i) text[i] = static_cast<char16>(static_cast<unsigned char>(s[i]));
        if (r.Chance(10)) text[0] = 0xD800;  // a lone surrogate
        ParamValue v = 0.0;
        if (c->getParamValueByString(id, text, v) == kResultOk) c->setParamNormalized(id, v);
        break;
      }
      case 4:
        (void)c->normalizedParamToPlain(id, AnyValue(r));
        break;
      case 5:
        (void)c->plainParamToNormalized(id, AnyValue(r) * 1000.0);
        break;
      case 6: {
        ParameterInfo info{};
        c->getParameterInfo(r.Below(14) - 2, info);
        break;
      }
      case 7:
        (void)c->getParameterCount();
        break;
      default: {
        MemoryStream s;
        c->setComponentState(r.Chance(50) ? nullptr : &s);
        break;
      }
    }
  }

  void Units() {
    IUnitInfo* u = p.Units();
    if (!u) return;
    String128 name{};
    UnitInfo unit{};
    ProgramListInfo list{};
    const ProgramListID ids[] = {0x70727374, 0, -1};
    switch (r.Below(5)) {
      case 0:
        u->getUnitInfo(r.Below(4) - 1, unit);
        break;
      case 1:
        u->getProgramListInfo(r.Below(4) - 1, list);
        break;
      case 2:
        u->getProgramName(r.Pick(ids), r.Below(40) - 5, name);
        break;
      case 3:
        u->getProgramInfo(r.Pick(ids), r.Below(40) - 5, "name", name);
        break;
      default:
        (void)u->getUnitCount();
        (void)u->getProgramListCount();
        (void)u->getSelectedUnit();
        break;
    }
  }

  void Buses() {
    const MediaType type = r.Chance(80) ? kAudio : kEvent;
    const BusDirection dir = r.Below(2) ? kInput : kOutput;
    BusInfo info{};
    SpeakerArrangement arr = 0;
    RoutingInfo a{}, b2{};
    (void)p.Component()->getBusCount(type, dir);
    p.Component()->getBusInfo(type, dir, r.Below(4) - 1, info);
    p.Processor()->getBusArrangement(dir, r.Below(4) - 1, arr);
    p.Component()->getRoutingInfo(a, b2);
  }

  void View() {
    const char* kNames[] = {"editor", "other", ""};
    IPlugView* view = p.Controller()->createView(r.Pick(kNames));
    if (!view) return;
    ViewRect rect{};
    const char* kTypes[] = {"HWND", "NSView", "unknown"};
    view->isPlatformTypeSupported(r.Pick(kTypes));
    view->getSize(r.Chance(20) ? nullptr : &rect);
    view->onSize(r.Chance(20) ? nullptr : &rect);
    view->setFrame(nullptr);
    if (r.Chance(50)) {
      view->attached(nullptr, "HWND");
      view->removed();
    }
    view->release();
  }

  void Misc() {
    (void)p.Processor()->getLatencySamples();
    (void)p.Processor()->getTailSamples();
    p.Processor()->canProcessSampleSize(r.Below(4) - 1);
    p.Processor()->setProcessing(r.Chance(50));
    p.Component()->setIoMode(r.Below(3));
  }

  Vst3Plugin& p;
  Rng& r;
  Buffers b;
  Taint taint;
  ParamChanges changes, reported;
  ProcessContext context{};
  int32 sampleSize = kSample32;
};

template <typename Chaos, typename Open>
void RunSequences(const char* format, Open open) {
  const long only = EnvNumber("QUARV_CHAOS_SEED", -1);
  const long sequences = only >= 0 ? 1 : EnvNumber("QUARV_CHAOS_SEQUENCES", 12);
  const long steps = EnvNumber("QUARV_CHAOS_STEPS", 1200);
  const uint64_t first = only >= 0 ? static_cast<uint64_t>(only) : 1;
  std::printf("chaos %s: seeds %llu..%llu, %ld calls each (QUARV_CHAOS_SEED=n replays one)\n", format,
              static_cast<unsigned long long>(first), static_cast<unsigned long long>(first + sequences - 1), steps);
  for (uint64_t seed = first; seed < first + static_cast<uint64_t>(sequences); ++seed) {
    SCOPED_TRACE(std::string(format) + " seed " + std::to_string(seed));
    Rng r(seed);
    auto p = open(r);
    ASSERT_TRUE(p);
    Chaos chaos(*p, r);
    for (long i = 0; i < steps && !::testing::Test::HasFailure(); ++i) chaos.Step();
  }
}

TEST(ChaosHost, Vst2Module) {
  RunSequences<Vst2Chaos>("VST 2.4", [](Rng& r) {
    std::string error;
    auto p = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
    EXPECT_TRUE(p) << error;
    // Mostly opened as hosts do; sometimes not at all.
    if (p && r.Chance(90)) p->Open(AnyRate(r), AnyBlock(r));
    return p;
  });
}

TEST(ChaosHost, Vst3Module) {
  RunSequences<Vst3Chaos>("VST 3", [](Rng& r) {
    std::string error;
    auto p = Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
    EXPECT_TRUE(p) << error;
    if (p && r.Chance(90)) p->Configure(AnyRate(r), AnyBlock(r), r.Chance(50), r.Chance(80) ? 2 : 1);
    return p;
  });
}

}  // namespace
