#include "engine/Quarvelline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "editor/GRAPH.h"
#include "editor/ITextControl.h"
#include "framework/Maths.h"
#include "framework/Text.h"

using quarv::RoundHalfAway;

namespace {

constexpr double kFloor = LoudnessMeter::kFloorLufs;

// Parameters whose value is an index and is applied as such; the others are
// applied in tenths.
bool QuantisesToWhole(int idx) { return idx == kWindow || idx == kResetOnPlay; }

double OnePoleCoef(int32_t tenthsMs, double sampleRate) {
  if (tenthsMs == 0 || !(sampleRate > 0.0)) return 0.0;
  return quarv::Exp(-1.0 / (tenthsMs * sampleRate * 0.0001));
}

// The rates the engine runs at; at any other (or none) blocks pass through
// with metering off.
constexpr double kLowestRate = 1000.0;
constexpr double kHighestRate = 1.2e6;

double ServableRate(double rate) { return rate >= kLowestRate && rate <= kHighestRate ? rate : 0.0; }

// Values of the look-ahead ring at a rate: the longest ring "Look Ahead"
// allows (800 ms of stereo frames, computed as the parameter does) plus the
// value an odd length leaves over.
size_t RingValuesFor(double rate) {
  const int32_t longest = std::max(RoundHalfAway(1.6 * rate), RoundHalfAway(rate * 2.0 * 8000 * 0.0001));
  return static_cast<size_t>(longest) + 2;
}

}  // namespace

CLS_QUARVELLINE::CLS_QUARVELLINE(void* instanceInfo)
    : QuarvBinding(instanceInfo, kNumParams, "1-1 2-2", kNumPresets, "Quarvelline", "", "Daskery",
                   kQuarvellineVersion, kQuarvellineUniqueId, kQuarvellineMakerId, 0, 0, false,
                   false),
      mMeter(&mSampleRate, 0.1f) {
  for (int32_t& v : mAppliedValues) v = kUnset;

  GetParam(kInputGain)->SetupDouble("Input Gain", 0.0, -18.0, 18.0, 0.1, "dB");
  GetParam(kLookAhead)->SetupDouble("Look Ahead", 0.0, 0.0, 800.0, 0.1, "ms");
  GetParam(kLookAhead)->SetShapeExponent(2.0);
  GetParam(kAttack)->SetupDouble("Attack", 12.0, 0.0, 500.0, 0.1, "ms");
  GetParam(kAttack)->SetShapeExponent(2.0);
  GetParam(kRelease)->SetupDouble("Release", 70.0, 1.0, 1000.0, 0.1, "ms");
  GetParam(kRelease)->SetShapeExponent(2.0);
  IParameter* window = GetParam(kWindow);
  window->SetupEnum("Window", 2, 6);
  static const char* const kWindowTexts[] = {"2.5ms", "5ms", "10ms", "20ms", "50ms", "100ms"};
  for (int i = 0; i < 6; ++i) window->AddDisplayText(i, kWindowTexts[i]);
  GetParam(kOutLimit)->SetupDouble("Out Limit", -14.0, -60.0, 0.0, 0.1, "lu");
  GetParam(kAttenuationTarget)->SetupDouble("Attenuation Target", 4.0, 0.0, 16.0, 0.1, "dB");
  IParameter* resetOnPlay = GetParam(kResetOnPlay);
  resetOnPlay->SetupEnum("Reset on play", 1, 2);
  resetOnPlay->AddDisplayText(0, "no");
  resetOnPlay->AddDisplayText(1, "yes");
  IParameter* graphWhenPlay = GetParam(kGraphWhenPlay);
  graphWhenPlay->SetupEnum("Graph when play", 1, 2);
  graphWhenPlay->AddDisplayText(0, "no");
  graphWhenPlay->AddDisplayText(1, "yes");

  BuildEditor();
  DefineFactoryPresets();
  // Hosts that never announce a rate process at the base's default one.
  PrepareForProcessing();
}

CLS_QUARVELLINE::~CLS_QUARVELLINE() = default;

void CLS_QUARVELLINE::ParamChanged(int idx) {
  Lock lock(Mutex());
  if (idx < 0 || idx >= kNumParams) return;
  const double v = GetParam(idx)->Value();
  const int32_t q = QuantisesToWhole(idx) ? RoundHalfAway(v) : RoundHalfAway(10.0 * v);
  if (q == mAppliedValues[idx]) return;
  mAppliedValues[idx] = q;
  const double sr = mSampleRate;

  switch (idx) {
    case kInputGain:
      mInputGainFactor = quarv::Exp(q * 0.1 * 0.11512925464970228);
      break;
    case kLookAhead:
      if (q > 0) mLookAheadLength = RoundHalfAway(sr * 2.0 * q * 0.0001);
      mLookAheadOn = q > 0;
      mLookAheadPos = 0;
      break;
    case kAttack:
      mAttackCoef = OnePoleCoef(q, sr);
      break;
    case kRelease:
      mReleaseCoef = OnePoleCoef(q, sr);
      break;
    case kWindow: {
      // Only the six list entries exist; a stray index is held to the list.
      const int w = std::clamp(q, 0, 5);
      const double ms = w < 4 ? 2.5 * static_cast<double>(1 << w) : (w - 3) * 50.0;
      mMeter.SetWindow(static_cast<float>(ms * 0.001));
      mMeter.Reset();
      break;
    }
    case kOutLimit:
      mOutLimit = static_cast<double>(static_cast<float>(q) * 0.1f);
      if (mGraph) mGraph->RescaleForLimit();
      break;
    case kAttenuationTarget:
      mAttenuationTarget = static_cast<float>(q) * 0.1f;
      if (mAttenLabel) mAttenLabel->MarkDirty(false);
      break;
    case kResetOnPlay:
      mResetOnPlay = q > 0;
      break;
    case kGraphWhenPlay:
      mGraphWhenPlay = q > 0;
      break;
    default:
      break;
  }

  ParamHovered(idx);
  ReadinessStep(idx);
}

void CLS_QUARVELLINE::ReadinessStep(int idx) {
  if (IsReadyForProcessing() || mAppliedOnce.test(static_cast<size_t>(idx))) return;
  mAppliedOnce.set(static_cast<size_t>(idx));
  if (--mNotYetApplied == 0) SetProcessingReady();
}

void CLS_QUARVELLINE::ParamChangedByHost(int idx) {
  Lock lock(Mutex());
  ParamChanged(idx);
}

void CLS_QUARVELLINE::ParamHovered(int idx) {
  Lock lock(Mutex());
  if (mSampleRate == 0.0) return;
  const IParameter* param = GetParam(idx);
  char text[64] = "";
  switch (idx) {
    case kAttack:
      quarv::FormatC(text, sizeof text, "Attack: %d ms", RoundHalfAway(param->Value()));
      break;
    case kRelease:
      quarv::FormatC(text, sizeof text, "Release: %d ms", RoundHalfAway(param->Value()));
      break;
    case kOutLimit:
      quarv::FormatC(text, sizeof text, "Out Limit: %.2f lu", mOutLimit);
      break;
    case kAttenuationTarget:
      quarv::FormatC(text, sizeof text, "Attenuation Target: %.2f dB", static_cast<double>(mAttenuationTarget));
      break;
    case kResetOnPlay:
      quarv::CopyText(text, sizeof text, mResetOnPlay ? "Reset data at play start" : "Lock data, keep at play start");
      break;
    case kGraphWhenPlay:
      quarv::CopyText(text, sizeof text, mGraphWhenPlay ? "Analyzing only when play" : "Analyzing without play");
      break;
    default:
      break;
  }
  SetStatusText(text);
}

void CLS_QUARVELLINE::SetStatusText(const char* text) {
  Lock lock(Mutex());
  if (mStatusLine) mStatusLine->SetText(text);
  mStatusDeadline = quarv::ClockMs() + 9000u;
}

bool CLS_QUARVELLINE::AcceptParamOnLoad(int idx, int presetIdx) {
  // The default slot and the streaming presets keep the user's analysis
  // settings (Attenuation Target, Reset on play, Graph when play).
  return !(presetIdx < 7 && idx >= kAttenuationTarget);
}

void CLS_QUARVELLINE::Activate(bool active) {
  Lock lock(Mutex());
  if (active) {
    ResetEngine();
  } else {
    // Deactivation marks a break in the audio (a stop of processing, an
    // export, a reconfiguration): the look-ahead ring must not replay audio
    // from before it when processing resumes at the same rate.
    std::fill(mLookAheadBuf.begin(), mLookAheadBuf.end(), 0.0);
  }
}

void CLS_QUARVELLINE::PrepareForProcessing() {
  Lock lock(Mutex());
  const double rate = ServableRate(GetSampleRate());
  if (rate == 0.0) return;
  const size_t values = RingValuesFor(rate);
  if (values <= mLookAheadBuf.capacity()) return;
  try {
    // The ring in use keeps its contents until ResetEngine replaces it.
    std::vector<double> ring;
    ring.reserve(values);
    ring.assign(mLookAheadBuf.begin(), mLookAheadBuf.end());
    mLookAheadBuf.swap(ring);
  } catch (const std::bad_alloc&) {
    // No room for the ring: the rate cannot be served and ResetEngine lets
    // the audio pass through.
  }
}

void CLS_QUARVELLINE::ResetEngine() {
  Lock lock(Mutex());
  if (!mStarted) return;
  double rate = ServableRate(GetSampleRate());
  // Storage is sized at set-up (PrepareForProcessing); a rate it was not
  // sized for is not served rather than allocated for here, where the audio
  // thread may be waiting.
  if (RingValuesFor(rate) > mLookAheadBuf.capacity()) rate = 0.0;
  if (rate == mSampleRate) return;

  mSampleRate = rate;
  mGraphPointLength = RoundHalfAway(0.05 * rate);
  mMeter.Reset();
  mSilenceCount = mSilenceHold = RoundHalfAway(0.5 * rate);
  // Within the capacity PrepareForProcessing made: no allocation. Without a
  // rate nothing runs and no ring is needed.
  mLookAheadBuf.assign(rate > 0.0 ? RingValuesFor(rate) : 0, 0.0);
  mLookAheadPos = 0;

  for (int idx : {kLookAhead, kAttack, kRelease}) {
    mAppliedValues[idx] = kUnset;
    ParamChanged(idx);
  }
}

double CLS_QUARVELLINE::GainForEnvelope(double envelope, double outLimit) {
  if (!(envelope > outLimit)) return 1.0;
  double delta = outLimit - envelope;
  if (delta < LoudnessMeter::kGainFloorDb) delta = LoudnessMeter::kGainFloorDb;
  const double x = delta * 0.1151292546497;
  // Taylor polynomial of e^x to the seventh power; the last factor is the
  // engine's own constant, not exactly 1/5040.
  return (((((((x + 7.0) * x + 42.0) * x + 210.0) * x + 840.0) * x + 2520.0) * x + 5040.0) * x + 5040.0) *
         0.00019841268658638;
}

void CLS_QUARVELLINE::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  if (!mStarted) {
    mStarted = true;
    if (mGraph) mGraph->ResetHistory();
    ResetEngine();
  }
  if (nFrames <= 0) return;
  const double* in0 = inputs[0];
  const double* in1 = inputs[1];
  double* out0 = outputs[0];
  double* out1 = outputs[1];

  // Without a sample rate nothing is set up: the block passes unchanged.
  if (!(mSampleRate > 0.0)) {
    const size_t bytes = sizeof(double) * static_cast<size_t>(nFrames);
    if (out0 != in0) memmove(out0, in0, bytes);
    if (out1 != in1) memmove(out1, in1, bytes);
    return;
  }

  const bool playing = GetTransportState() != 0;
  if (playing && mGraph) {
    const double t = GetSamplePos() / mSampleRate;
    const double jump = std::fabs(t - mGraph->endTime);
    if (!mWasPlaying) {
      if (mResetOnPlay) {
        mMeter.Reset();
        mMinGain = 1.0;
        mEnvelope = kFloor;
      }
      if (mResetOnPlay) {
        mGraph->startTime = t;
      } else if (mGraph->endTime == -1.0) {
        mGraph->startTime = t;
      } else if (jump >= 0.4) {
        // The song position moved while stopped: the time axis cannot be
        // labelled any more.
        mGraph->startTime = -1.0;
      }
      if (mResetOnPlay) mGraph->ResetHistory();
      mGraph->endTime = GetSamplePos() / mSampleRate;
    } else if (mGraph->startTime > -1.0) {
      if (jump >= 0.4) {
        mGraph->startTime = -1.0;  // a locate or loop jump
      } else {
        mGraph->endTime = t;
      }
    }
  }

  if (mStatusDeadline != 0 && mStatusDeadline < quarv::ClockMs()) {
    if (mStatusLine) mStatusLine->SetText("");
    mStatusDeadline = 0;
  }

  const bool integrate = playing || !mGraphWhenPlay;

  // The hot state lives in locals for the frame loop and is written back at
  // the end (and around the rare calls out of it).
  const double gainFactor = mInputGainFactor;
  const double thr = mSilenceThreshold;
  const int32_t hold = mSilenceHold;
  const double att = mAttackCoef, rel = mReleaseCoef, limit = mOutLimit;
  const bool laOn = mLookAheadOn;
  const int32_t laLen = mLookAheadLength;
  double* ring = mLookAheadBuf.data();
  int32_t laPos = mLookAheadPos;
  const int32_t pointLength = mGraphPointLength;
  const LoudnessMeter::Coefs k = mMeter.CoefsRef();
  const int32_t subBlock = mMeter.SubBlockLength();
  LoudnessMeter::State ms = mMeter.StateRef();
  double momentary = mMeter.Momentary();
  double env = mEnvelope, gain = mGain, minGain = mMinGain;
  int32_t silenceCount = mSilenceCount;
  int32_t graphCount = mGraphCount;
  double sumL = mSumLoudness, sumE = mSumEnvelope, sumG = mSumGain;

  for (int i = 0; i < nFrames; ++i) {
    const double l = in0[i] * gainFactor;
    const double r = in1[i] * gainFactor;
    if (laOn) {
      ring[laPos] = l;
      ring[laPos + 1] = r;
      laPos += 2;
      if (laPos >= laLen) laPos = 0;
    }
    if (std::fabs(l) > thr || std::fabs(r) > thr) silenceCount = 0;

    if (silenceCount < hold) {
      if (LoudnessMeter::Filter(ms, k, subBlock, l, r)) {
        mMeter.CloseSubBlock(ms, integrate);
        momentary = mMeter.Momentary();
      }
      const double L = momentary;
      env = env >= L ? L + (env - L) * rel : L + (env - L) * att;
      gain = GainForEnvelope(env, limit);
      minGain = std::min(minGain, gain);
      ++silenceCount;
    } else {
      gain = 1.0;
      momentary = kFloor;
      env = kFloor;
    }

    if (integrate) {
      ++graphCount;
      sumL += momentary;
      sumE += env;
      sumG += gain;
      if (graphCount >= pointLength && mGraph) {
        mSumLoudness = sumL;
        mSumEnvelope = sumE;
        mSumGain = sumG;
        mGraphCount = graphCount;
        mMeter.SetMomentary(momentary);
        mGraph->AddPoint();
        sumL = mSumLoudness;
        sumE = mSumEnvelope;
        sumG = mSumGain;
        graphCount = mGraphCount;
      }
    }

    if (laOn) {
      out0[i] = ring[laPos] * gain;
      out1[i] = ring[laPos + 1] * gain;
    } else {
      out0[i] = l * gain;
      out1[i] = r * gain;
    }
  }

  mMeter.StateRef() = ms;
  mMeter.SetMomentary(momentary);
  mEnvelope = env;
  mGain = gain;
  mMinGain = minGain;
  mSilenceCount = silenceCount;
  mLookAheadPos = laPos;
  mGraphCount = graphCount;
  mSumLoudness = sumL;
  mSumEnvelope = sumE;
  mSumGain = sumG;
  mWasPlaying = playing;
}

void CLS_QUARVELLINE::ResetAllData() {
  Lock lock(Mutex());
  if (mGraph) {
    mGraph->ResetHistory();
    mGraph->startTime = -1.0;
    mGraph->endTime = -1.0;
  }
  mMeter.Reset();
  mMinGain = 1.0;
  mEnvelope = kFloor;
}
