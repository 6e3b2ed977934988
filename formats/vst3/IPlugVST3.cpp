#include "formats/vst3/IPlugVST3.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>

#include "formats/vst3/IPlugParameter.h"
#include "formats/vst3/IPlugVST3View.h"
#include "formats/vst3/Utf16.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"
#include "graphics/PlatformGraphics.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Host streams are read in pieces of this size.
constexpr int32 kStateReadPiece = 128;

// Normalised values from the host are held to their range before use.
double ClampNormalized(double v) { return std::clamp(v, 0.0, 1.0); }

template <typename T>
T** BuffersOf(const AudioBusBuffers& bus) {
  if constexpr (std::is_same_v<T, Sample32>) {
    return bus.channelBuffers32;
  } else {
    return bus.channelBuffers64;
  }
}

}  // namespace

IPlugVST3::IPlugVST3(void*, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
                     int32_t makerId, int latency, int midiMode, bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version, uniqueId, makerId,
                latency, midiMode, doesChunks, isInstrument, kApiVst3) {
  ConnectInputs(0, NInChannels(), true);
  ConnectOutputs(0, NOutChannels(), true);
}

IPlugVST3::~IPlugVST3() = default;

SpeakerArrangement IPlugVST3::ArrangementFor(int nChannels) {
  switch (nChannels) {
    case 1:
      return SpeakerArr::kMono;
    case 2:
      return SpeakerArr::kStereo;
    case 3:
      return 0x103;
    case 4:
      return 0xF00000;
    case 5:
      return 0x37;
    case 6:
      return 0x3F;
    default:
      return SpeakerArr::kEmpty;
  }
}

// ---- IPluginBase ----

tresult PLUGIN_API IPlugVST3::initialize(FUnknown* context) {
  try {
    return Initialize(context);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kInternalError;
  }
}

tresult IPlugVST3::Initialize(FUnknown* context) {
  Lock lock(Mutex());
  const tresult result = SingleComponentEffect::initialize(context);

  IHostApplication* app = nullptr;
  if (context && context->queryInterface(IHostApplication::iid, reinterpret_cast<void**>(&app)) == kResultOk && app) {
    String128 name16{};
    char name[kNameSize] = "";
    if (app->getName(name16) == kResultOk) quarv::vst3::Utf16ToUtf8(name16, 128, name, sizeof name);
    SetHost(name, 0);
    app->release();
  }
  if (result != kResultOk) return result;

  const int nIn = NInChannels(), nOut = NOutChannels();
  if (nIn >= 1 && nIn <= 6) AddAudioInput(mInputBusNames[0], ArrangementFor(nIn));
  AddAudioOutput(mOutputBusNames[0], ArrangementFor(nOut));

  if (NPresets() > 0) {
    String128 title;
    quarv::vst3::Utf8ToUtf16("Presets", title, 128);
    auto* list = new StringListParameter(title, kPresetParamId, nullptr,
                                         ParameterInfo::kIsProgramChange | ParameterInfo::kIsList, kRootUnitId);
    String128 empty{};
    for (int i = 0; i < NPresets(); ++i) list->appendString(empty);
    parameters.addParameter(list);
  }
  for (int i = 0; i < NParams(); ++i) {
    parameters.addParameter(new IPlugParameter(GetParam(i), static_cast<ParamID>(i), kRootUnitId));
    ParamChanged(i);
  }
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::terminate() {
  Lock lock(Mutex());
  mViews.clear();
  return SingleComponentEffect::terminate();
}

// ---- IComponent ----

tresult PLUGIN_API IPlugVST3::setActive(TBool state) {
  try {
    Lock lock(Mutex());
    if (state) PrepareForProcessing();
    Activate(state != 0);
    return kResultOk;
  } catch (...) {
    return kOutOfMemory;
  }
}

// The host's stream is written and read outside the plug-in lock, so a slow
// stream never holds up the audio thread: the state is taken into a chunk (or
// read into one, at most kMaxStateBytes long) and only the chunk is handled
// under the lock.
tresult IPlugVST3::WriteComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  try {
    StateChunk chunk;
    {
      Lock lock(Mutex());
      if (!SaveState(&chunk)) return kResultFalse;
      chunk.PutInt32(IsBypassed() ? 1 : 0);
    }
    int32 written = 0;
    if (state->write(chunk.Data(), chunk.Size(), &written) != kResultOk || written != chunk.Size()) return kResultFalse;
    return kResultOk;
  } catch (...) {
    return kOutOfMemory;
  }
}

tresult IPlugVST3::ReadComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  try {
    HostId host;
    {
      Lock lock(Mutex());
      host = GetHost();
    }
    // A host that reports errors while it still delivers data is read to the
    // end all the same.
    const bool tolerateErrors = host == kHostWaveLab;
    StateChunk chunk;
    uint8_t piece[kStateReadPiece];
    while (chunk.Size() < kMaxStateBytes) {
      int32 got = 0;
      const tresult r = state->read(piece, kStateReadPiece, &got);
      got = std::clamp<int32>(got, 0, kStateReadPiece);
      if (r != kResultOk && !tolerateErrors) break;
      if (got == 0) break;
      chunk.PutBytes(piece, got);
    }
    Lock lock(Mutex());
    const int pos = LoadState(&chunk, 0);
    PushParamsToEditor();
    // The bypass flag follows the parameter block. It is read from the bytes
    // already taken, which is where a seek to that position from the stream's
    // start lands, and works for streams that cannot seek back.
    int32_t bypass = 0;
    if (chunk.GetInt32(&bypass, pos) < 0) return kResultFalse;
    SetBypassed(bypass != 0);
    return kResultOk;
  } catch (...) {
    return kOutOfMemory;
  }
}

// ---- IAudioProcessor ----

void IPlugVST3::ReplaceMainBus(BusList& list, const char* name, int nChannels) {
  if (list.empty()) return;
  const auto* bus = static_cast<const AudioBus*>(list.front().get());
  if (SpeakerArr::getChannelCount(bus->getArrangement()) == nChannels) return;
  String128 title;
  quarv::vst3::Utf8ToUtf16(name, title, 128);
  auto* replacement = new AudioBus(title, kMain, BusInfo::kDefaultActive, ArrangementFor(nChannels));
  // A bus the host has activated stays active under its new arrangement.
  replacement->setActive(bus->isActive());
  list.front() = IPtr<Bus>(replacement, false);
}

tresult PLUGIN_API IPlugVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                                 int32 numOuts) {
  Lock lock(Mutex());
  ConnectInputs(0, NInChannels(), false);
  ConnectOutputs(0, NOutChannels(), false);
  const int i = numIns > 0 && inputs ? SpeakerArr::getChannelCount(inputs[0]) : 0;
  const int o = numOuts > 0 && outputs ? SpeakerArr::getChannelCount(outputs[0]) : 0;
  if (!IsLegalIO(i, o)) return kResultFalse;
  try {
    ReplaceMainBus(mAudioInputs, "Input", i);
    ReplaceMainBus(mAudioOutputs, "Output", o);
  } catch (...) {
    return kOutOfMemory;
  }
  return numIns == 1 ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPlugVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API IPlugVST3::getLatencySamples() { return static_cast<uint32>(std::max(GetLatency(), 0)); }

tresult PLUGIN_API IPlugVST3::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize != kSample32 && setup.symbolicSampleSize != kSample64) return kResultFalse;
  try {
    Lock lock(Mutex());
    SetBypassed(false);
    SetSampleRate(setup.sampleRate);
    SetBlockSize(std::clamp<int32>(setup.maxSamplesPerBlock, 0, kMaxBlockSize));
    PrepareForProcessing();
    ResetEngine();
    return kResultOk;
  } catch (...) {
    return kOutOfMemory;
  }
}

tresult PLUGIN_API IPlugVST3::process(ProcessData& data) {
  try {
    Lock lock(Mutex());
    if (data.processContext) mContext = *data.processContext;
    if (ApplyParameterChanges(data.inputParameterChanges)) ReportRecalledValues(data.outputParameterChanges);
    // The buffers are read as the data says they are.
    if (data.symbolicSampleSize == kSample32) {
      ProcessAudio<Sample32>(data);
    } else if (data.symbolicSampleSize == kSample64) {
      ProcessAudio<Sample64>(data);
    }
  } catch (...) {
    // Processing allocates nothing and throws nothing; should a plug-in's
    // block throw all the same, the host keeps running.
  }
  return kResultOk;
}

int IPlugVST3::PresetIndexOf(double normalized) const {
  return static_cast<int>((NPresets() - 1) * ClampNormalized(normalized) + 0.5);
}

bool IPlugVST3::ApplyParameterChanges(IParameterChanges* changes) {
  bool recalled = false;
  if (!changes) return recalled;
  const int32 count = changes->getParameterCount();
  for (int32 i = 0; i < count; ++i) {
    IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue) continue;
    const int32 points = queue->getPointCount();
    int32 offset = 0;
    ParamValue value = 0.0;
    // Only where the block ends matters: the last point of each queue.
    if (points <= 0 || queue->getPoint(points - 1, offset, value) != kResultOk) continue;
    if (!std::isfinite(value)) continue;
    value = ClampNormalized(value);
    const ParamID id = queue->getParameterId();
    if (id == kBypassParamId) {
      SetBypassed(value > 0.5);
    } else if (id == kPresetParamId) {
      if (NPresets() > 0) {
        RecallPreset(PresetIndexOf(value));
        recalled = true;
      }
    } else if (IParameter* param = id < static_cast<ParamID>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr) {
      param->SetFromNormalized(value);
      if (IGraphics* gui = GetGUI()) gui->SetParameterFromPlug(static_cast<int>(id), value, true);
      ParamChanged(static_cast<int>(id));
    }
  }
  return recalled;
}

// A program recalled on the audio thread changes every parameter behind the
// host's back; the values go out with the block so the host's controls and
// automation follow the program.
void IPlugVST3::ReportRecalledValues(IParameterChanges* out) {
  if (!out) return;
  for (int i = 0; i < NParams(); ++i) {
    int32 queueIndex = 0;
    IParamValueQueue* queue = out->addParameterData(static_cast<ParamID>(i), queueIndex);
    int32 pointIndex = 0;
    if (queue) queue->addPoint(0, GetParam(i)->Normalized(), pointIndex);
  }
}

template <typename T>
void IPlugVST3::ProcessAudio(ProcessData& data) {
  const int32 frames = data.numSamples;
  if (frames <= 0) return;
  const size_t bytes = sizeof(T) * static_cast<size_t>(frames);

  // The host's channel buffers: those of input bus 0, then the active output
  // buses' in order, up to the plug-in's channel counts. A null entry stays
  // in its place: the base then silences the call.
  std::array<T*, kMaxChannels> in{}, out{};
  int nIn = 0;
  if (data.numInputs > 0 && data.inputs) {
    const AudioBusBuffers& bus = data.inputs[0];
    if (T** buffers = BuffersOf<T>(bus)) {
      nIn = std::clamp<int32>(bus.numChannels, 0, NInChannels());
      for (int c = 0; c < nIn; ++c) in[static_cast<size_t>(c)] = buffers[c];
    }
  }
  int nOut = 0;
  for (int32 b = 0; data.outputs && b < data.numOutputs; ++b) {
    AudioBusBuffers& bus = data.outputs[b];
    T** buffers = BuffersOf<T>(bus);
    const int m = buffers ? std::max<int32>(bus.numChannels, 0) : 0;
    const AudioBus* declared = AudioOutput(b);
    const bool active = declared && declared->isActive();
    uint64 silent = 0;
    for (int c = 0; c < m; ++c) {
      if (active && nOut < NOutChannels()) {
        out[static_cast<size_t>(nOut++)] = buffers[c];
      } else if (buffers[c]) {
        // A bus (or channel) the plug-in does not have or that is off: the
        // host hears silence there, not what its buffer held.
        std::memset(buffers[c], 0, bytes);
        if (c < 64) silent |= uint64{1} << c;
      }
    }
    bus.silenceFlags = silent;
  }
  ConnectInputs(0, nIn, true);
  ConnectInputs(nIn, NInChannels() - nIn, false);
  ConnectOutputs(0, nOut, true);
  ConnectOutputs(nOut, NOutChannels() - nOut, false);
  // Without an output buffer the call only carries parameter changes: the
  // engine does not run on buffers nobody hears.
  if (nOut == 0) return;

  if (IsBypassed()) {
    // The base's pass-through on the channels of this call.
    PassThrough<T>(in.data(), nIn, out.data(), nOut, frames);
  } else if (!IsReadyForProcessing()) {
    PassThrough<T>(nullptr, 0, out.data(), nOut, frames);
  } else {
    ProcessHostBuffers<T>(in.data(), nIn, out.data(), nOut, frames);
  }
}

// ---- IEditController ----

tresult PLUGIN_API IPlugVST3::setComponentState(IBStream*) { return kNotImplemented; }

tresult IPlugVST3::ReadControllerState(IBStream*) {
  // The component state holds everything; the lock only orders this call
  // after a running block.
  Lock lock(Mutex());
  return kResultOk;
}

tresult IPlugVST3::WriteControllerState(IBStream*) {
  Lock lock(Mutex());
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  Lock lock(Mutex());
  const IParameter* param = id < static_cast<ParamID>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
  if (!param || !string || !std::isfinite(valueNormalized)) return kResultFalse;
  char text[IParameter::kTextSize];
  param->FormatDisplay(ClampNormalized(valueNormalized), true, text);
  quarv::vst3::Utf8ToUtf16(text, string, 128);
  return kResultOk;
}

ParamValue PLUGIN_API IPlugVST3::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  Lock lock(Mutex());
  if (id == kPresetParamId) return NPresets() > 1 ? plainValue / (NPresets() - 1) : 0.0;
  if (const IParameter* param = id < static_cast<ParamID>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr) {
    return param->NormalizedOf(plainValue);
  }
  return plainValue;
}

ParamValue PLUGIN_API IPlugVST3::getParamNormalized(ParamID id) {
  Lock lock(Mutex());
  if (id == kBypassParamId) return IsBypassed() ? 1.0 : 0.0;
  if (id == kPresetParamId) return NPresets() > 1 ? static_cast<double>(GetCurrentPresetIdx()) / (NPresets() - 1) : 0.0;
  if (const IParameter* param = id < static_cast<ParamID>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr) {
    return param->Normalized();
  }
  return 0.0;
}

tresult PLUGIN_API IPlugVST3::setParamNormalized(ParamID id, ParamValue value) {
  Lock lock(Mutex());
  if (!std::isfinite(value)) return kResultFalse;
  if (id == kBypassParamId) {
    SetBypassed(value != 0.0);
    return kResultOk;
  }
  if (id == kPresetParamId) {
    if (NPresets() > 0) SetCurrentPresetIdx(PresetIndexOf(value));
    return kResultOk;
  }
  if (IParameter* param = id < static_cast<ParamID>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr) {
    param->SetFromNormalized(ClampNormalized(value));
    return kResultOk;
  }
  return kResultFalse;
}

IPlugView* PLUGIN_API IPlugVST3::createView(FIDString name) {
  // A view only where an editor can be shown: never an empty window.
  if (!name || std::strcmp(name, ViewType::kEditor) != 0 || !GetGUI()) return nullptr;
  Lock lock(Mutex());
  IPlugVST3View* view = nullptr;
  try {
    mViews.reserve(mViews.size() + 1);
    view = new IPlugVST3View(this);
  } catch (...) {
    return nullptr;
  }
  mViews.push_back(view);
  return view;
}

void IPlugVST3::RemoveView(IPlugVST3View* view) {
  Lock lock(Mutex());
  mViews.erase(std::remove(mViews.begin(), mViews.end(), view), mViews.end());
}

// ---- IEditController2 ----

tresult PLUGIN_API IPlugVST3::setKnobMode(KnobMode) { return kResultOk; }
tresult PLUGIN_API IPlugVST3::openHelp(TBool) { return kResultFalse; }
tresult PLUGIN_API IPlugVST3::openAboutBox(TBool) { return kResultFalse; }

// ---- IUnitInfo ----

int32 PLUGIN_API IPlugVST3::getUnitCount() { return 1; }

tresult PLUGIN_API IPlugVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kResultFalse;
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  quarv::vst3::Utf8ToUtf16("Root Unit", info.name, 128);
  info.programListId = kPresetListId;
  return kResultOk;
}

int32 PLUGIN_API IPlugVST3::getProgramListCount() { return NPresets() > 0 ? 1 : 0; }

tresult PLUGIN_API IPlugVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0 || NPresets() <= 0) return kResultFalse;
  info.id = kPresetListId;
  quarv::vst3::Utf8ToUtf16("Factory Presets", info.name, 128);
  info.programCount = NPresets();
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != kPresetListId || !name) return kResultFalse;
  Lock lock(Mutex());
  quarv::vst3::Utf8ToUtf16(GetPresetName(programIndex), name, 128);
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::getProgramInfo(ProgramListID, int32, Vst::CString, String128) { return kNotImplemented; }
tresult PLUGIN_API IPlugVST3::hasProgramPitchNames(ProgramListID, int32) { return kNotImplemented; }
tresult PLUGIN_API IPlugVST3::getProgramPitchName(ProgramListID, int32, int16, String128) { return kNotImplemented; }
UnitID PLUGIN_API IPlugVST3::getSelectedUnit() { return kRootUnitId; }
tresult PLUGIN_API IPlugVST3::selectUnit(UnitID) { return kNotImplemented; }
tresult PLUGIN_API IPlugVST3::getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) { return kNotImplemented; }
tresult PLUGIN_API IPlugVST3::setUnitProgramData(int32, int32, IBStream*) { return kNotImplemented; }

// ---- FUnknown ----

tresult PLUGIN_API IPlugVST3::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!iid) return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, IUnitInfo::iid, IUnitInfo)
  return SingleComponentEffect::queryInterface(iid, obj);
}

// ---- Host-facing operations ----

void IPlugVST3::BeginParamEdit(int idx) {
  FlushPendingEdit();
  beginEdit(static_cast<ParamID>(idx));
}

void IPlugVST3::InformHostOfParamValue(int idx, double normalizedValue) {
  performEdit(static_cast<ParamID>(idx), normalizedValue);
}

void IPlugVST3::EndParamEdit(int idx) { endEdit(static_cast<ParamID>(idx)); }

IGraphics* IPlugVST3::MakeGraphics(int width, int height, int frameRate) {
  return MakePlatformGraphics(this, width, height, frameRate);
}

int32_t IPlugVST3::GetSamplePos() {
  int64 pos = mContext.projectTimeSamples;
  // Within a call processed in slices the song position moves on.
  if (mContext.state & ProcessContext::kPlaying) pos += SliceOffset();
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu));
}

double IPlugVST3::GetTempo() { return mContext.tempo; }

void IPlugVST3::GetTimeSig(int* numerator, int* denominator) {
  if (numerator) *numerator = mContext.timeSigNumerator;
  if (denominator) *denominator = mContext.timeSigDenominator;
}

int IPlugVST3::GetTransportState() {
  if (mContext.state & ProcessContext::kPlaying) return 1;
  if (mContext.state & ProcessContext::kRecording) return 2;
  return 0;
}
