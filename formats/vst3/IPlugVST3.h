// VST 3 binding of the plug-in base: one object that is the host's component,
// audio processor, edit controller and unit information at once. It adds the
// buses and parameters at initialisation, restores and saves the component
// state with its bypass flag, applies the parameter changes of each block,
// processes in 32 or 64 bits, answers the transport queries from the process
// context and hands out editor views.
//
// Threads: process runs on the host's audio thread, everything else on its
// user-interface thread. process, the set-up methods, the parameter methods
// and the views' editor entries take the plug-in lock; the state methods take
// it only around the plug-in's state, never while the host's stream is read
// or written. No exception leaves a method: a failed allocation answers
// kOutOfMemory (or null) and leaves the plug-in passing audio through.
#pragma once

#include <array>
#include <vector>

#include "formats/vst3/SingleComponentEffect.h"
#include "framework/IPlugBase.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"

class IPlugVST3View;

class IPlugVST3 : public IPlugBase, public quarv::vst3::SingleComponentEffect, public Steinberg::Vst::IUnitInfo {
public:
  using tresult = Steinberg::tresult;
  using int32 = Steinberg::int32;
  using ParamID = Steinberg::Vst::ParamID;
  using ParamValue = Steinberg::Vst::ParamValue;

  static constexpr int kApiVst3 = 1;
  // The program-change parameter and the program list share one id; the
  // bypass id is understood in parameter changes but never announced.
  static constexpr ParamID kPresetParamId = 0x70727374;  // 'prst'
  static constexpr ParamID kBypassParamId = 0x62706173;  // 'bpas'
  static constexpr Steinberg::Vst::ProgramListID kPresetListId = 0x70727374;
  // Words of the component's class id: two fixed words, the maker id and the
  // unique id.
  static constexpr Steinberg::uint32 kClassIdWord1 = 0xF2AEE70D;
  static constexpr Steinberg::uint32 kClassIdWord2 = 0x00DE4F4E;

  IPlugVST3(void* instanceInfo, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* makerName, int32_t version, int32_t uniqueId, int32_t makerId,
            int latency, int midiMode, bool doesChunks, bool isInstrument);
  ~IPlugVST3() override;

  // Speaker arrangement for n channels (1 to 6), else empty.
  static Steinberg::Vst::SpeakerArrangement ArrangementFor(int nChannels);

  // ---- IPluginBase ----
  tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  tresult PLUGIN_API terminate() override;

  // ---- IComponent ----
  tresult PLUGIN_API setActive(Steinberg::TBool state) override;

  // ---- IAudioProcessor ----
  tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, int32 numIns,
                                        Steinberg::Vst::SpeakerArrangement* outputs, int32 numOuts) override;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  // Audio thread, under the plug-in lock; no allocation. Output buffers are
  // always written: processed audio, the input passed through (bypassed, or
  // not set up) or silence (not ready, missing buffers, buses the plug-in
  // does not have or that are off).
  tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;

  // ---- IEditController ----
  tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
  tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                           Steinberg::Vst::String128 string) override;
  ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  ParamValue PLUGIN_API getParamNormalized(ParamID id) override;
  tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // ---- IEditController2 ----
  tresult PLUGIN_API setKnobMode(Steinberg::Vst::KnobMode mode) override;
  tresult PLUGIN_API openHelp(Steinberg::TBool onlyCheck) override;
  tresult PLUGIN_API openAboutBox(Steinberg::TBool onlyCheck) override;

  // ---- IUnitInfo ----
  int32 PLUGIN_API getUnitCount() override;
  tresult PLUGIN_API getUnitInfo(int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
  int32 PLUGIN_API getProgramListCount() override;
  tresult PLUGIN_API getProgramListInfo(int32 listIndex, Steinberg::Vst::ProgramListInfo& info) override;
  tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                    Steinberg::Vst::String128 name) override;
  tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                    Steinberg::Vst::CString attributeId,
                                    Steinberg::Vst::String128 attributeValue) override;
  tresult PLUGIN_API hasProgramPitchNames(Steinberg::Vst::ProgramListID listId, int32 programIndex) override;
  tresult PLUGIN_API getProgramPitchName(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                         Steinberg::int16 midiPitch, Steinberg::Vst::String128 name) override;
  Steinberg::Vst::UnitID PLUGIN_API getSelectedUnit() override;
  tresult PLUGIN_API selectUnit(Steinberg::Vst::UnitID unitId) override;
  tresult PLUGIN_API getUnitByBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir, int32 busIndex,
                                  int32 channel, Steinberg::Vst::UnitID& unitId) override;
  tresult PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, Steinberg::IBStream* data) override;

  // ---- FUnknown ----
  tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return SingleComponentEffect::addRef(); }
  Steinberg::uint32 PLUGIN_API release() override { return SingleComponentEffect::release(); }

  // ---- Host-facing operations of the plug-in base ----
  void BeginParamEdit(int idx) override;
  void InformHostOfParamValue(int idx, double normalizedValue) override;
  void EndParamEdit(int idx) override;
  void InformHostOfPresetChange() override {}
  int32_t GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  int GetTransportState() override;
  void ResizeEditor() override {}
  IGraphics* MakeGraphics(int width, int height, int frameRate) override;

  // A view going away (called by its destructor).
  void RemoveView(IPlugVST3View* view);
  int NumViews() const { return static_cast<int>(mViews.size()); }

protected:
  tresult ReadComponentState(Steinberg::IBStream* state) override;
  tresult WriteComponentState(Steinberg::IBStream* state) override;
  tresult ReadControllerState(Steinberg::IBStream* state) override;
  tresult WriteControllerState(Steinberg::IBStream* state) override;

private:
  // initialize under the lock; may throw on allocation failure.
  tresult Initialize(Steinberg::FUnknown* context);
  // setBusArrangements: bus 0 of list gets the arrangement for nChannels
  // under the given name unless it has that many channels already.
  static void ReplaceMainBus(Steinberg::Vst::BusList& list, const char* name, int nChannels);
  // True when a program was recalled.
  bool ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes);
  void ReportRecalledValues(Steinberg::Vst::IParameterChanges* out);
  int PresetIndexOf(double normalized) const;
  template <typename T>
  void ProcessAudio(Steinberg::Vst::ProcessData& data);

  std::vector<IPlugVST3View*> mViews;
  Steinberg::Vst::ProcessContext mContext{};
  std::vector<const char*> mInputBusNames{"Main Input"};
  std::vector<const char*> mOutputBusNames{"Output"};
};
