// A VST 3 component that is its own edit controller: IComponent,
// IAudioProcessor, IEditController and IEditController2 (with IConnectionPoint
// from the SDK's ComponentBase) on one object, with the SDK's bus lists and
// parameter container. The binding derives from it and overrides what it
// needs; everything here is the neutral default a host may rely on.
//
// Threads: the host's user-interface thread for everything but process (its
// audio thread); this class holds no lock of its own.
#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace quarv::vst3 {

namespace detail {

// IComponent and IEditController both call their state methods setState and
// getState with the same signature, so one C++ override would serve both
// interfaces. These two shims give each interface its own pair of methods.
class ComponentStateShim : public Steinberg::Vst::IComponent {
public:
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) final { return ReadComponentState(state); }
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) final { return WriteComponentState(state); }

protected:
  virtual Steinberg::tresult ReadComponentState(Steinberg::IBStream* state) = 0;
  virtual Steinberg::tresult WriteComponentState(Steinberg::IBStream* state) = 0;
};

class ControllerStateShim : public Steinberg::Vst::EditController {
public:
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) final { return ReadControllerState(state); }
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) final { return WriteControllerState(state); }

protected:
  virtual Steinberg::tresult ReadControllerState(Steinberg::IBStream*) { return Steinberg::kNotImplemented; }
  virtual Steinberg::tresult WriteControllerState(Steinberg::IBStream*) { return Steinberg::kNotImplemented; }
};

}  // namespace detail

class SingleComponentEffect : public detail::ControllerStateShim,
                              public detail::ComponentStateShim,
                              public Steinberg::Vst::IAudioProcessor {
public:
  using tresult = Steinberg::tresult;
  using int32 = Steinberg::int32;

  SingleComponentEffect();
  ~SingleComponentEffect() override;

  // ---- IPluginBase ----
  tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  // Removes the buses and the parameters and lets go of the host.
  tresult PLUGIN_API terminate() override;

  // ---- IComponent ----
  tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
  tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
  int32 PLUGIN_API getBusCount(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir) override;
  tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir, int32 index,
                                Steinberg::Vst::BusInfo& info) override;
  tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo, Steinberg::Vst::RoutingInfo& outInfo) override;
  tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir, int32 index,
                                 Steinberg::TBool state) override;
  tresult PLUGIN_API setActive(Steinberg::TBool state) override;

  // ---- IAudioProcessor ----
  tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, int32 numIns,
                                        Steinberg::Vst::SpeakerArrangement* outputs, int32 numOuts) override;
  tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir, int32 index,
                                       Steinberg::Vst::SpeakerArrangement& arr) override;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override { return 0; }
  tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  Steinberg::uint32 PLUGIN_API getTailSamples() override { return Steinberg::Vst::kNoTail; }

  // ---- IEditController ----
  // The SDK's version indexes its container unchecked (and throws): a bad
  // index here answers kResultFalse.
  tresult PLUGIN_API getParameterInfo(int32 paramIndex, Steinberg::Vst::ParameterInfo& info) override;
  tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                           Steinberg::Vst::ParamValue& valueNormalized) override;

  // ---- FUnknown ----
  tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return EditController::addRef(); }
  Steinberg::uint32 PLUGIN_API release() override { return EditController::release(); }

protected:
  // The buses the host sees; name in UTF-8.
  void AddAudioInput(const char* name, Steinberg::Vst::SpeakerArrangement arr);
  void AddAudioOutput(const char* name, Steinberg::Vst::SpeakerArrangement arr);
  void RemoveAudioBusses();
  Steinberg::Vst::AudioBus* AudioInput(int32 index) const;
  Steinberg::Vst::AudioBus* AudioOutput(int32 index) const;

  Steinberg::Vst::BusList* BusListOf(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir);

  Steinberg::Vst::BusList mAudioInputs;
  Steinberg::Vst::BusList mAudioOutputs;
};

}  // namespace quarv::vst3
