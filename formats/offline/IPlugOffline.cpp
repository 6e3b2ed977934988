#include "formats/offline/IPlugOffline.h"

#include <algorithm>
#include <cmath>

#include "graphics/IGraphicsOffscreen.h"

IPlugOffline::IPlugOffline(void*, int nParams, const char* channelIOStr, int nPresets,
                           const char* effectName, const char* productName, const char* makerName,
                           int32_t version, int32_t uniqueId, int32_t makerId, int latency,
                           int midiMode, bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version,
                uniqueId, makerId, latency, midiMode, doesChunks, isInstrument, kApiOffline) {
  SetBlockSize(1024);
}

void IPlugOffline::Open() {
  Lock lock(Mutex());
  HostSpecificInit();
  NotifyAllParamsChanged();
}

void IPlugOffline::SetHostSampleRate(double sampleRate) {
  Lock lock(Mutex());
  // A rate the engine cannot run at is stored as 0: blocks then pass through.
  SetSampleRate(std::isfinite(sampleRate) && sampleRate > 0.0 ? sampleRate : 0.0);
  PrepareForProcessing();
  ResetEngine();
}

void IPlugOffline::SetHostBlockSize(int nFrames) {
  Lock lock(Mutex());
  SetBlockSize(nFrames);
  PrepareForProcessing();
}

template <typename T>
void IPlugOffline::ProcessChannels(T** inputs, T** outputs, int nChannels, int nFrames, bool accumulate) {
  Lock lock(Mutex());
  nChannels = std::clamp(nChannels, 1, 2);
  ConnectInputs(0, NInChannels(), false);
  ConnectOutputs(0, NOutChannels(), false);
  ConnectInputs(0, nChannels, true);
  ConnectOutputs(0, nChannels, true);
  ProcessHostBuffers(inputs, nChannels, outputs, nChannels, nFrames, accumulate);
  if (mAutoAdvance && mTransport.load() != 0) mSongPos.store(mSongPos.load() + nFrames);
}

void IPlugOffline::Process(double** inputs, double** outputs, int nChannels, int nFrames) {
  ProcessChannels(inputs, outputs, nChannels, nFrames, false);
}

void IPlugOffline::Process(float** inputs, float** outputs, int nChannels, int nFrames) {
  ProcessChannels(inputs, outputs, nChannels, nFrames, false);
}

void IPlugOffline::ProcessAccumulating(float** inputs, float** outputs, int nChannels, int nFrames) {
  ProcessChannels(inputs, outputs, nChannels, nFrames, true);
}

void IPlugOffline::BeginParamEdit(int idx) {
  FlushPendingEdit();
  ++beginEdits;
  lastEditedParam = idx;
}

void IPlugOffline::InformHostOfParamValue(int idx, double) {
  ++informs;
  lastEditedParam = idx;
}

void IPlugOffline::EndParamEdit(int idx) {
  ++endEdits;
  lastEditedParam = idx;
}

IGraphics* IPlugOffline::MakeGraphics(int width, int height, int frameRate) {
  return new IGraphicsOffscreen(this, width, height, frameRate);
}

int32_t IPlugOffline::GetSamplePos() {
  const double pos = mSongPos.load();
  if (!(pos > 0.0)) return 0;
  if (pos >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(pos + 0.5);
}

void IPlugOffline::GetTimeSig(int* numerator, int* denominator) {
  if (numerator) *numerator = mNum;
  if (denominator) *denominator = mDen;
}
