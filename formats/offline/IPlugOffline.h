// In-process binding of the plug-in base: no host ABI, just settable host
// state. The tests and the benchmarks drive the plug-in through it the way a
// format binding would: open, sample rate, block size, activate, process,
// and destroy it when done.
//
// Threads: Process* on the audio thread, the other entries on any thread;
// they take the plug-in lock like a real binding does. The transport state and
// song position are atomics that any thread may set; the auto-advance flag,
// tempo and time signature are set before processing starts.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/IPlugBase.h"

class IPlugOffline : public IPlugBase {
public:
  static constexpr int kApiOffline = 2;

  // instanceInfo is what the format's entry point hands the plug-in (the
  // host callback in VST 2); the offline binding has none and ignores it.
  IPlugOffline(void* instanceInfo, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
               const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
               int32_t makerId, int latency, int midiMode, bool doesChunks, bool isInstrument);

  // Host side: open applies every parameter once, as hosts do.
  void Open();
  // Set-up, as a host does it: stores the rate (or block size), lets the
  // plug-in size its storage and the engine follow. Any thread but the audio
  // thread; allocates.
  void SetHostSampleRate(double sampleRate);
  void SetHostBlockSize(int nFrames);

  // Process stereo (or mono: nChannels 1) blocks of any length, as the base
  // processes a host's call (sliced at the block size). Audio thread, no
  // allocation.
  void Process(double** inputs, double** outputs, int nChannels, int nFrames);
  void Process(float** inputs, float** outputs, int nChannels, int nFrames);
  void ProcessAccumulating(float** inputs, float** outputs, int nChannels, int nFrames);

  // Transport. While playing, the song position advances by the frames
  // processed unless SetAutoAdvance(false).
  void SetTransport(int state) { mTransport.store(state); }
  void SetSongPosition(double samples) { mSongPos.store(samples); }
  double SongPosition() const { return mSongPos.load(); }
  void SetAutoAdvance(bool on) { mAutoAdvance = on; }
  void SetTempoAndTimeSig(double bpm, int num, int den) {
    mTempo = bpm;
    mNum = num;
    mDen = den;
  }

  // What the plug-in told the host, for tests.
  int beginEdits = 0, endEdits = 0, informs = 0, presetChanges = 0;
  int lastEditedParam = -1;

  void BeginParamEdit(int idx) override;
  void InformHostOfParamValue(int idx, double normalizedValue) override;
  void EndParamEdit(int idx) override;
  void InformHostOfPresetChange() override { ++presetChanges; }
  int32_t GetSamplePos() override;
  double GetTempo() override { return mTempo; }
  void GetTimeSig(int* numerator, int* denominator) override;
  int GetTransportState() override { return mTransport.load(); }
  void ResizeEditor() override {}
  IGraphics* MakeGraphics(int width, int height, int frameRate) override;

private:
  template <typename T>
  void ProcessChannels(T** inputs, T** outputs, int nChannels, int nFrames, bool accumulate);

  std::atomic<int> mTransport{1};
  std::atomic<double> mSongPos{0.0};
  bool mAutoAdvance = true;
  double mTempo = 120.0;
  int mNum = 4, mDen = 4;
};
