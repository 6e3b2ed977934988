// The loudness limiter: identity and parameters, the audio path with its
// analysis modes, the gain computer and look-ahead ring, and the factory
// presets. The same class is compiled onto each format binding.
#pragma once

#include <bitset>
#include <cstdint>
#include <vector>

#include "engine/LoudnessMeter.h"
#include "graphics/GraphicsTypes.h"

#if defined(QUARV_BINDING_VST2)
#include "formats/vst2/IPlugVST.h"
using QuarvBinding = IPlugVST;
#elif defined(QUARV_BINDING_VST3)
#include "formats/vst3/IPlugVST3.h"
using QuarvBinding = IPlugVST3;
#elif defined(QUARV_BINDING_OFFLINE)
#include "formats/offline/IPlugOffline.h"
using QuarvBinding = IPlugOffline;
#else
// The class layout depends on the binding: code that includes this header
// must be built with one (see quarv_add_plugin).
#error "No plug-in binding chosen for CLS_QUARVELLINE"
#endif

class ITextControl;
class cntrLabel;
class GRAPH;
class IControl;

enum EParams {
  kInputGain = 0,
  kLookAhead,
  kAttack,
  kRelease,
  kWindow,
  kOutLimit,
  kAttenuationTarget,
  kResetOnPlay,
  kGraphWhenPlay,
  kNumParams
};

constexpr int kNumPresets = 30;
constexpr int32_t kQuarvellineVersion = 0x00011000;
constexpr int32_t kQuarvellineUniqueId = 0x4D445953;  // 'MDYS'
constexpr int32_t kQuarvellineMakerId = 0x44734B79;   // 'DsKy'

class CLS_QUARVELLINE : public QuarvBinding {
public:
  // instanceInfo comes from the format's entry point (the VST 2 host
  // callback); other formats pass nothing.
  explicit CLS_QUARVELLINE(void* instanceInfo = nullptr);
  ~CLS_QUARVELLINE() override;

  // Under the plug-in lock (taken again here); none of them allocates.
  void ParamChanged(int idx) override;
  void ParamChangedByHost(int idx) override;
  void ParamHovered(int idx) override;
  bool AcceptParamOnLoad(int idx, int presetIdx) override;
  void Activate(bool active) override;
  // Follows the host's sample rate within the storage PrepareForProcessing
  // made. A rate outside 1 kHz .. 1.2 MHz, or one the storage could not be
  // had for, is taken as no rate: blocks then pass through unmetered.
  void ResetEngine() override;
  // Set-up threads, under the lock: sizes the look-ahead ring for the host's
  // rate (never shrinks it). Allocates; a failure is kept to itself.
  void PrepareForProcessing() override;
  // Audio thread, lock held by the binding; no allocation.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;

  // Clears the measurements and the history (the reset button's action).
  void ResetAllData();

  // Writes a status message and arms its 9-second time-out. Under the lock.
  void SetStatusText(const char* text);
  void ShowStatusMessage(const char* text) override { SetStatusText(text); }

  // ---- Engine values (read by the editor under the plug-in lock) ----
  double mInputGainFactor = 0.0;
  int32_t mLookAheadLength = 0;
  bool mLookAheadOn = false;
  int32_t mLookAheadPos = 0;
  std::vector<double> mLookAheadBuf;
  double mAttackCoef = 0.0;
  double mReleaseCoef = 0.0;
  double mOutLimit = 0.0;
  float mAttenuationTarget = 0.0f;
  bool mResetOnPlay = false;
  bool mGraphWhenPlay = false;
  int32_t mAppliedValues[kNumParams];

  double mSampleRate = 0.0;
  LoudnessMeter mMeter;

  // Gain computer.
  double mEnvelope = LoudnessMeter::kFloorLufs;
  double mGain = 1.0;
  double mMinGain = 1.0;

  // Audio path.
  bool mStarted = false;
  bool mWasPlaying = false;
  double mSilenceThreshold = static_cast<double>(1e-10f);
  int32_t mSilenceCount = 0;
  int32_t mSilenceHold = 0;
  int32_t mGraphPointLength = 0;
  int32_t mGraphCount = 0;
  double mSumLoudness = 0.0, mSumEnvelope = 0.0, mSumGain = 0.0;
  uint32_t mStatusDeadline = 0;
  bool mResetToggle = true;

  // The editor's size and the history graph's place in it.
  static constexpr int kEditorWidth = 600, kEditorHeight = 490;
  static const Rect kGraphRect;

  // Editor objects the engine writes to; owned by the editor.
  ITextControl* mStatusLine = nullptr;
  ITextControl* mInfoLine = nullptr;
  cntrLabel* mAttenLabel = nullptr;
  GRAPH* mGraph = nullptr;
  IControl* mResetButton = nullptr;

  static constexpr int32_t kUnset = INT32_MIN;

  // One gain-computer step for a metered frame with momentary loudness L.
  // Exposed for tests; the audio loop inlines the same arithmetic.
  static double GainForEnvelope(double envelope, double outLimit);

private:
  void BuildEditor();
  void DefineFactoryPresets();
  void ReadinessStep(int idx);

  std::bitset<kNumParams> mAppliedOnce;
  int mNotYetApplied = kNumParams;
};
