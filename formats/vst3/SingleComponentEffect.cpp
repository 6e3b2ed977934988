#include "formats/vst3/SingleComponentEffect.h"

#include "formats/vst3/Utf16.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace quarv::vst3 {

SingleComponentEffect::SingleComponentEffect() : mAudioInputs(kAudio, kInput), mAudioOutputs(kAudio, kOutput) {}

SingleComponentEffect::~SingleComponentEffect() = default;

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context) { return EditController::initialize(context); }

tresult PLUGIN_API SingleComponentEffect::terminate() {
  RemoveAudioBusses();
  return EditController::terminate();
}

// ---- Buses ----

void SingleComponentEffect::AddAudioInput(const char* name, SpeakerArrangement arr) {
  String128 title;
  Utf8ToUtf16(name, title, 128);
  mAudioInputs.push_back(IPtr<Bus>(new AudioBus(title, kMain, BusInfo::kDefaultActive, arr), false));
}

void SingleComponentEffect::AddAudioOutput(const char* name, SpeakerArrangement arr) {
  String128 title;
  Utf8ToUtf16(name, title, 128);
  mAudioOutputs.push_back(IPtr<Bus>(new AudioBus(title, kMain, BusInfo::kDefaultActive, arr), false));
}

void SingleComponentEffect::RemoveAudioBusses() {
  mAudioInputs.clear();
  mAudioOutputs.clear();
}

AudioBus* SingleComponentEffect::AudioInput(int32 index) const {
  if (index < 0 || index >= static_cast<int32>(mAudioInputs.size())) return nullptr;
  return static_cast<AudioBus*>(mAudioInputs[static_cast<size_t>(index)].get());
}

AudioBus* SingleComponentEffect::AudioOutput(int32 index) const {
  if (index < 0 || index >= static_cast<int32>(mAudioOutputs.size())) return nullptr;
  return static_cast<AudioBus*>(mAudioOutputs[static_cast<size_t>(index)].get());
}

BusList* SingleComponentEffect::BusListOf(MediaType type, BusDirection dir) {
  if (type != kAudio) return nullptr;
  if (dir == kInput) return &mAudioInputs;
  if (dir == kOutput) return &mAudioOutputs;
  return nullptr;
}

// ---- IComponent ----

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID) { return kNotImplemented; }

tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode) { return kNotImplemented; }

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir) {
  const BusList* list = BusListOf(type, dir);
  return list ? static_cast<int32>(list->size()) : 0;
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& info) {
  BusList* list = BusListOf(type, dir);
  if (!list || index < 0 || index >= static_cast<int32>(list->size())) return kInvalidArgument;
  Bus* bus = (*list)[static_cast<size_t>(index)].get();
  info.mediaType = type;
  info.direction = dir;
  return bus->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index, TBool state) {
  BusList* list = BusListOf(type, dir);
  if (!list || index < 0 || index >= static_cast<int32>(list->size())) return kInvalidArgument;
  (*list)[static_cast<size_t>(index)]->setActive(state);
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool) { return kResultOk; }

// ---- IAudioProcessor ----

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*, int32) {
  return kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
  const AudioBus* bus = dir == kInput ? AudioInput(index) : dir == kOutput ? AudioOutput(index) : nullptr;
  if (!bus) return kInvalidArgument;
  arr = bus->getArrangement();
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup&) { return kResultOk; }

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool) { return kNotImplemented; }

tresult PLUGIN_API SingleComponentEffect::process(ProcessData&) { return kResultOk; }

// ---- IEditController ----

tresult PLUGIN_API SingleComponentEffect::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= parameters.getParameterCount()) return kResultFalse;
  return EditController::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API SingleComponentEffect::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  if (!string) return kInvalidArgument;
  return EditController::getParamValueByString(id, string, valueNormalized);
}

// ---- FUnknown ----

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!iid) return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, IComponent::iid, IComponent)
  QUERY_INTERFACE(iid, obj, IAudioProcessor::iid, IAudioProcessor)
  return EditController::queryInterface(iid, obj);
}

}  // namespace quarv::vst3
