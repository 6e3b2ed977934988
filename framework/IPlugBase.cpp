#include "framework/IPlugBase.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/Text.h"
#include "graphics/IGraphics.h"

using quarv::CopyText;

namespace {

// The single-precision entries convert every sample twice; four at a time
// they cost a fraction of the engine's work instead of a seventh of it. The
// results are those of the plain conversions (exact widening, narrowing
// rounded to nearest, float additions).
void WidenSamples(const float* src, double* dst, int n) {
  int f = 0;
#if defined(__SSE2__)
  for (; f + 4 <= n; f += 4) {
    const __m128 x = _mm_loadu_ps(src + f);
    _mm_storeu_pd(dst + f, _mm_cvtps_pd(x));
    _mm_storeu_pd(dst + f + 2, _mm_cvtps_pd(_mm_movehl_ps(x, x)));
  }
#endif
  for (; f < n; ++f) dst[f] = src[f];
}

void NarrowSamples(const double* src, float* dst, int n, bool accumulate) {
  int f = 0;
#if defined(__SSE2__)
  for (; f + 4 <= n; f += 4) {
    __m128 x = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(src + f)), _mm_cvtpd_ps(_mm_loadu_pd(src + f + 2)));
    if (accumulate) x = _mm_add_ps(_mm_loadu_ps(dst + f), x);
    _mm_storeu_ps(dst + f, x);
  }
#endif
  for (; f < n; ++f) dst[f] = accumulate ? dst[f] + static_cast<float>(src[f]) : static_cast<float>(src[f]);
}

}  // namespace

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* makerName, int32_t version,
                     int32_t uniqueId, int32_t makerId, int latency, int midiMode, bool doesChunks,
                     bool isInstrument, int apiCode)
    : mIsInstrument(isInstrument),
      mLatency(latency),
      mUniqueID(uniqueId),
      mMakerID(makerId),
      mVersion(version),
      mAPI(apiCode),
      mDoesChunks(doesChunks),
      mMidiMode(midiMode) {
  for (int i = 0; i < nParams; ++i) mParams.push_back(std::make_unique<IParameter>());
  for (int i = 0; i < nPresets; ++i) {
    auto slot = std::make_unique<PresetSlot>();
    quarv::FormatC(slot->name, sizeof slot->name, "- %d -", i + 1);
    // A program change stores the current values into the slot it leaves;
    // hosts may change programs on the audio thread, so the room is made now.
    slot->chunk.Reserve(8 * nParams);
    mPresets.push_back(std::move(slot));
  }
  CopyText(mEffectName, sizeof mEffectName, effectName);
  CopyText(mProductName, sizeof mProductName, productName);
  CopyText(mMakerName, sizeof mMakerName, makerName);

  // "1-1 2-2": pairs of input-output counts separated by spaces.
  int maxIn = 0, maxOut = 0;
  const char* p = channelIOStr;
  while (p && *p) {
    ChannelIOConfig c;
    c.nIn = static_cast<int32_t>(strtol(p, nullptr, 10));
    const char* dash = strchr(p, '-');
    const char* space = strchr(p, ' ');
    if (dash && (!space || dash < space)) c.nOut = static_cast<int32_t>(strtol(dash + 1, nullptr, 10));
    mChannelIO.push_back(c);
    maxIn = std::max(maxIn, static_cast<int>(c.nIn));
    maxOut = std::max(maxOut, static_cast<int>(c.nOut));
    p = space ? space + 1 : nullptr;
  }
  mInputPtrs.assign(static_cast<size_t>(maxIn), nullptr);
  mOutputPtrs.assign(static_cast<size_t>(maxOut), nullptr);
  mInChannels.resize(static_cast<size_t>(maxIn));
  mOutChannels.resize(static_cast<size_t>(maxOut));
  for (int i = 0; i < maxIn; ++i) mInChannels[static_cast<size_t>(i)].dest = &mInputPtrs[static_cast<size_t>(i)];
  for (int i = 0; i < maxOut; ++i) mOutChannels[static_cast<size_t>(i)].dest = &mOutputPtrs[static_cast<size_t>(i)];
}

IPlugBase::~IPlugBase() {
  delete mGraphics;
  mGraphics = nullptr;
  while (!mParams.empty()) mParams.pop_back();
  while (!mPresets.empty()) mPresets.pop_back();
}

void IPlugBase::ResetEngine() { Lock lock(mMutex); }

void IPlugBase::ParamChanged(int) {}

void IPlugBase::ParamChangedByHost(int idx) {
  Lock lock(mMutex);
  ParamChanged(idx);
}

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  const int nIn = NInChannels(), nOut = NOutChannels();
  const int through = std::min(nIn, nOut);
  for (int c = 0; c < nOut; ++c) {
    if (!outputs[c]) continue;
    if (c < through && inputs[c]) {
      if (outputs[c] != inputs[c]) memmove(outputs[c], inputs[c], sizeof(double) * static_cast<size_t>(nFrames));
    } else {
      memset(outputs[c], 0, sizeof(double) * static_cast<size_t>(nFrames));
    }
  }
}

// ---- Parameters ----

void IPlugBase::SetParameterFromHost(int idx, double normalizedValue) {
  Lock lock(mMutex);
  IParameter* param = GetParam(idx);
  if (!param || !std::isfinite(normalizedValue)) return;
  if (mGraphics) mGraphics->SetParameterFromPlug(idx, normalizedValue, true);
  param->SetFromNormalized(normalizedValue);
  ParamChangedByHost(idx);
}

void IPlugBase::SetParameterFromEditor(int idx, double normalizedValue) {
  Lock lock(mMutex);
  IParameter* param = GetParam(idx);
  if (!param || !std::isfinite(normalizedValue)) return;
  param->SetFromNormalized(normalizedValue);
  InformHostOfParamValue(idx, normalizedValue);
  ParamChanged(idx);
}

bool IPlugBase::SetParameterFromText(int idx, const char* text) {
  Lock lock(mMutex);
  IParameter* param = GetParam(idx);
  if (!param) return false;
  const double value = param->ParseDisplay(text);
  if (mGraphics) mGraphics->SetParameterFromPlug(idx, value, false);
  param->Set(param->Clamp(value));
  ParamChanged(idx);
  return true;
}

bool IPlugBase::SetParameterPlain(int idx, double value) {
  Lock lock(mMutex);
  IParameter* param = GetParam(idx);
  if (!param || !std::isfinite(value)) return false;
  param->Set(param->Clamp(value));
  ParamChanged(idx);
  return true;
}

void IPlugBase::PushParamsToEditor() {
  Lock lock(mMutex);
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i) mGraphics->SetParameterFromPlug(i, GetParam(i)->Value(), false);
}

void IPlugBase::NotifyAllParamsChanged() {
  Lock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
}

void IPlugBase::BeginParamEditOnce(int idx) {
  Lock lock(mMutex);
  if (idx == mPendingEdit) return;
  FlushPendingEdit();
  BeginParamEdit(idx);
}

void IPlugBase::EndParamEditLater(int idx) {
  Lock lock(mMutex);
  if (mGraphics) {
    mPendingEdit = idx;
    mGraphics->SetParamChangeTimer(std::max(1, mGraphics->FrameRate() / 2));
  } else {
    EndParamEdit(idx);
  }
}

void IPlugBase::FlushPendingEdit() {
  Lock lock(mMutex);
  if (mGraphics) mGraphics->CancelParamChangeTimer();
  if (mPendingEdit >= 0) {
    const int idx = mPendingEdit;
    mPendingEdit = -1;
    EndParamEdit(idx);
  }
}

void IPlugBase::AttachGraphics(IGraphics* graphics) {
  if (!graphics) return;
  Lock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) graphics->SetParameterFromPlug(i, GetParam(i)->Normalized(), true);
  graphics->PrepareDrawBitmap();
  mGraphics = graphics;
}

std::mutex& IPlugBase::CreationLock() {
  static std::mutex lock;
  return lock;
}

// ---- Identity and host ----

int32_t IPlugBase::GetVersion(bool decimal) const {
  if (!decimal) return mVersion;
  const int32_t major = (mVersion >> 16) & 0xffff, minor = (mVersion >> 8) & 0xff, fix = mVersion & 0xff;
  return major * 10000 + minor * 100 + fix;
}

void IPlugBase::GetVersionStr(char* out, size_t size) const {
  quarv::FormatC(out, size, "v%d.%02d", (mVersion >> 16) & 0xffff, (mVersion >> 8) & 0xff);
}

HostId IPlugBase::LookUpHost(const char* name) {
  // Order matters: the first word found decides.
  static const struct {
    const char* word;
    HostId id;
  } kHosts[] = {
      {"brainwaveproducer", 29}, {"cubase", 3},     {"reaper", 1},      {"nuendo", 4},
      {"cakewalk", 5},           {"samplitude", 8}, {"fruity", 7},      {"live", 9},
      {"melodyne", 12},          {"vstmanlib", 13}, {"aulab", 14},      {"forte", kHostForte},
      {"chainer", 16},           {"audition", kHostAudition},           {"orion", kHostOrion},
      {"sawstudio", kHostSAWStudio},                {"logic", 21},      {"digital", 22},
      {"audiomulch", 23},        {"presonus", 24},  {"acoustica", 25},  {"garageband", 26},
      {"ardour", 27},            {"wavelab", kHostWaveLab},
      {"gold", 30},
  };
  if (!name) return 0;
  char lower[256];
  size_t n = 0;
  for (; n < sizeof lower - 1 && name[n]; ++n) lower[n] = static_cast<char>(tolower(static_cast<unsigned char>(name[n])));
  lower[n] = '\0';
  for (const auto& h : kHosts) {
    if (strstr(lower, h.word)) return h.id;
  }
  return 0;
}

void IPlugBase::SetHost(const char* name, int32_t version) {
  Lock lock(mMutex);
  mHost = LookUpHost(name);
  mHostVersion = version;
}

// ---- Channels and buffers ----

bool IPlugBase::IsLegalIO(int nIn, int nOut) const {
  for (const ChannelIOConfig& c : mChannelIO) {
    if ((nIn < 0 || nIn == c.nIn) && (nOut < 0 || nOut == c.nOut)) return true;
  }
  return false;
}

void IPlugBase::SetBlockSize(int nFrames) {
  Lock lock(mMutex);
  nFrames = std::clamp(nFrames, 0, kMaxBlockSize);
  if (nFrames == mBlockSize) return;
  try {
    for (InChannel& c : mInChannels) c.scratch.assign(static_cast<size_t>(nFrames), 0.0);
    for (OutChannel& c : mOutChannels) c.scratch.assign(static_cast<size_t>(nFrames), 0.0);
    mBlockSize = nFrames;
  } catch (const std::bad_alloc&) {
    // No room for the buffers: without a block size every call passes its
    // input through.
    for (InChannel& c : mInChannels) std::vector<double>().swap(c.scratch);
    for (OutChannel& c : mOutChannels) std::vector<double>().swap(c.scratch);
    mBlockSize = 0;
  }
  // Unconnected channels read and write their (new) scratch buffers.
  for (InChannel& c : mInChannels) {
    if (!c.connected) *c.dest = c.scratch.data();
  }
  for (OutChannel& c : mOutChannels) {
    if (!c.connected) *c.dest = c.scratch.data();
  }
}

void IPlugBase::ConnectInputs(int first, int count, bool connected) {
  Lock lock(mMutex);
  for (int i = std::max(first, 0); i < first + count && i < NInChannels(); ++i) {
    InChannel& c = mInChannels[static_cast<size_t>(i)];
    // A channel the host stops feeding reads silence from then on, not the
    // last block it was given, over and over.
    if (c.connected && !connected) std::fill(c.scratch.begin(), c.scratch.end(), 0.0);
    c.connected = connected;
    if (!connected) *c.dest = c.scratch.data();
  }
}

void IPlugBase::ConnectOutputs(int first, int count, bool connected) {
  Lock lock(mMutex);
  for (int i = std::max(first, 0); i < first + count && i < NOutChannels(); ++i) {
    OutChannel& c = mOutChannels[static_cast<size_t>(i)];
    c.connected = connected;
    if (!connected) {
      *c.dest = c.scratch.data();
      c.hostFloat = nullptr;
    }
  }
}

int IPlugBase::ConnectedInputs() const {
  return static_cast<int>(std::count_if(mInChannels.begin(), mInChannels.end(), [](const InChannel& c) { return c.connected; }));
}

int IPlugBase::ConnectedOutputs() const {
  return static_cast<int>(std::count_if(mOutChannels.begin(), mOutChannels.end(), [](const OutChannel& c) { return c.connected; }));
}

template <typename T>
void IPlugBase::AttachInputs(T* const* buffers, int count, int offset, int nFrames) {
  int k = 0;
  for (InChannel& c : mInChannels) {
    if (!c.connected) continue;
    if (k >= count) {
      // A connected channel the host gave no buffer reads silence.
      std::fill_n(c.scratch.begin(), nFrames, 0.0);
      *c.dest = c.scratch.data();
      continue;
    }
    T* src = buffers[k++] + offset;
    if constexpr (std::is_same_v<T, double>) {
      *c.dest = src;
    } else {
      WidenSamples(src, c.scratch.data(), nFrames);
      *c.dest = c.scratch.data();
    }
  }
}

template <typename T>
void IPlugBase::AttachOutputs(T* const* buffers, int count, int offset) {
  int k = 0;
  for (OutChannel& c : mOutChannels) {
    if (!c.connected) continue;
    if (k >= count) {
      // ... and writes where nobody listens.
      *c.dest = c.scratch.data();
      c.hostFloat = nullptr;
      continue;
    }
    T* dst = buffers[k++] + offset;
    if constexpr (std::is_same_v<T, double>) {
      *c.dest = dst;
      c.hostFloat = nullptr;
    } else {
      c.hostFloat = dst;
      *c.dest = c.scratch.data();
    }
  }
}

void IPlugBase::CallProcessBlock(int nFrames) {
  if (mProcessingReady) ProcessBlock(mInputPtrs.data(), mOutputPtrs.data(), nFrames);
}

void IPlugBase::ConvertOutputs(int nFrames, bool accumulate) {
  for (OutChannel& c : mOutChannels) {
    if (!c.connected || !c.hostFloat) continue;
    NarrowSamples(c.scratch.data(), c.hostFloat, nFrames, accumulate);
  }
}

template <typename T>
void IPlugBase::PassThrough(T* const* inputs, int nIn, T* const* outputs, int nOut, int nFrames, bool accumulate) {
  if (!outputs || nFrames <= 0) return;
  const size_t bytes = sizeof(T) * static_cast<size_t>(nFrames);
  for (int c = 0; c < nOut; ++c) {
    T* out = outputs[c];
    if (!out) continue;
    const T* in = inputs && c < nIn ? inputs[c] : nullptr;
    if (accumulate) {
      if (in) {
        for (int f = 0; f < nFrames; ++f) out[f] += in[f];
      }
    } else if (!in) {
      memset(out, 0, bytes);
    } else if (out != in) {
      memmove(out, in, bytes);
    }
  }
}

template <typename T>
void IPlugBase::ProcessHostBuffers(T* const* inputs, int nIn, T* const* outputs, int nOut, int nFrames,
                                   bool accumulate) {
  if (nFrames <= 0) return;
  nIn = std::clamp(std::min(nIn, ConnectedInputs()), 0, kMaxChannels);
  nOut = std::clamp(std::min(nOut, ConnectedOutputs()), 0, kMaxChannels);
  bool complete = (nIn == 0 || inputs) && (nOut == 0 || outputs);
  for (int c = 0; complete && c < nIn; ++c) complete = inputs[c] != nullptr;
  for (int c = 0; complete && c < nOut; ++c) complete = outputs[c] != nullptr;
  if (!complete) {
    // Nothing is read from a call that lacks buffers.
    PassThrough<T>(nullptr, 0, outputs, nOut, nFrames, accumulate);
    return;
  }
  if (mBlockSize <= 0) {
    PassThrough(inputs, nIn, outputs, nOut, nFrames, accumulate);
    return;
  }
  for (int done = 0; done < nFrames;) {
    const int n = std::min(mBlockSize, nFrames - done);
    mSliceOffset = done;
    AttachInputs(inputs, nIn, done, n);
    AttachOutputs(outputs, nOut, done);
    CallProcessBlock(n);
    if constexpr (std::is_same_v<T, float>) ConvertOutputs(n, accumulate);
    done += n;
  }
  mSliceOffset = 0;
}

template void IPlugBase::ProcessHostBuffers<float>(float* const*, int, float* const*, int, int, bool);
template void IPlugBase::ProcessHostBuffers<double>(double* const*, int, double* const*, int, int, bool);
template void IPlugBase::PassThrough<float>(float* const*, int, float* const*, int, int, bool);
template void IPlugBase::PassThrough<double>(double* const*, int, double* const*, int, int, bool);
