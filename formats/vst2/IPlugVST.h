// VST 2.4 binding of the plug-in base: answers the host's dispatcher opcodes,
// converts audio between the host's buffers and the base's channels, and
// implements the host-facing operations through the host callback.
//
// Threads: every entry function takes the plug-in lock for its whole
// duration; the host callback is called from inside it.
#pragma once

#include <atomic>

#include "formats/vst2/VstAbi.h"
#include "framework/IPlugBase.h"

class IPlugVST : public IPlugBase {
public:
  static constexpr int kApiVst2 = 0;

  IPlugVST(void* instanceInfo, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* makerName, int32_t version,
           int32_t uniqueId, int32_t makerId, int latency, int midiMode, bool doesChunks,
           bool isInstrument);

  AEffect* GetAEffect() { return &mAEffect; }

  void BeginParamEdit(int idx) override;
  void InformHostOfParamValue(int idx, double normalizedValue) override;
  void EndParamEdit(int idx) override;
  void InformHostOfPresetChange() override;
  int32_t GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  int GetTransportState() override;
  HostId GetHost() override;
  void ResizeEditor() override {}
  void HostSpecificInit() override;
  void AttachGraphics(IGraphics* graphics) override;
  IGraphics* MakeGraphics(int width, int height, int frameRate) override;

  // The six functions of the effect record.
  static intptr_t VST_CALL VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt);
  static void VST_CALL VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VST_CALL VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VST_CALL VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                 int32_t frames);
  static float VST_CALL VSTGetParameter(AEffect* effect, int32_t index);
  static void VST_CALL VSTSetParameter(AEffect* effect, int32_t index, float value);

private:
  class Entry;

  // effClose: under the lock HostClosing, then, once every call that came in
  // before has left, the object destroys itself.
  intptr_t Close();
  intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t GetChunk(int32_t index, void* ptr);
  intptr_t SetChunk(int32_t index, intptr_t size, const void* ptr);
  bool PinProperties(bool input, int32_t index, VstPinProperties* props) const;
  void SetSpeakerArrangement(VstSpeakerArrangement* arr, int nChannels);
  VstTimeInfo* TimeInfo(int32_t filter);
  intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.f);

  // One processing entry, lock held (by its Entry).
  template <typename T>
  void Process(T** inputs, T** outputs, int32_t frames, bool accumulate);

  ERect mEditRect{};
  audioMasterCallback mHostCallback;
  bool mHostSpecificInitDone = false;
  VstSpeakerArrangement mInputSpkrArr{};
  VstSpeakerArrangement mOutputSpkrArr{};
  StateChunk mProgramChunk;
  StateChunk mBankChunk;
  AEffect mAEffect{};
  // Calls inside an entry function (or waiting for its lock), and whether
  // effClose has begun.
  std::atomic<int> mEntries{0};
  bool mClosing = false;
};
