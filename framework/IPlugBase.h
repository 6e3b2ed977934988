// The format-independent heart of a plug-in object: parameters, presets,
// channel configuration and per-channel buffers, saved state, host identity
// and the one recursive lock that serialises every entry from the host and
// the editor. A format binding derives from it and the plug-in from that.
//
// Threads: the audio thread calls the processing entries, the user-interface
// thread everything else; every operation that touches shared fields takes
// the plug-in lock, which is recursive so that virtual operations called under
// it may take it again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/IParameter.h"
#include "framework/StateChunk.h"

class IGraphics;

using HostId = int32_t;

// Hosts the bindings treat specially (LookUpHost gives these ids).
constexpr HostId kHostUnknown = -1;
constexpr HostId kHostForte = 15;
constexpr HostId kHostAudition = 17;
constexpr HostId kHostOrion = 18;
constexpr HostId kHostSAWStudio = 20;
constexpr HostId kHostWaveLab = 28;

struct ChannelIOConfig {
  int32_t nIn = 0;
  int32_t nOut = 0;
};

struct PresetSlot {
  static constexpr int kNameSize = 256;
  bool initialized = false;
  char name[kNameSize] = {};
  StateChunk chunk;
};

class IPlugBase {
public:
  static constexpr int kNameSize = 128;
  using Lock = std::lock_guard<std::recursive_mutex>;

  // Limits every binding holds a host to.
  // Longest block a host may announce; longer processing calls are sliced.
  static constexpr int kMaxBlockSize = 1 << 18;
  // Most channel buffers read from a host per direction.
  static constexpr int kMaxChannels = 16;
  // No saved state of this plug-in comes near this: longer chunks and
  // streams are cut here.
  static constexpr int kMaxStateBytes = 1 << 20;

  // The module's process-wide lock, held while a plug-in object is created.
  // Any thread; blocks while another creation runs.
  static std::mutex& CreationLock();

  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
            int32_t makerId, int latency, int midiMode, bool doesChunks, bool isInstrument,
            int apiCode);
  virtual ~IPlugBase();

  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Operations the plug-in and the bindings override ----
  virtual void ResetEngine();
  virtual void ParamChanged(int idx);
  virtual void ParamChangedByHost(int idx);
  // Audio thread, under the lock. The default copies the first
  // min(inputs, outputs) channels through and zero-fills the rest.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  virtual void HostClosing() {}
  virtual void Activate(bool) {}
  // MIDI carries no behaviour in this plug-in; the bindings still route it.
  virtual void ProcessMidiMessage(int /*deltaFrames*/, int /*status*/, int /*data1*/, int /*data2*/) {}
  virtual void ProcessSysExMessage(int /*deltaFrames*/, int /*size*/, const char* /*data*/) {}
  virtual bool MidiNoteName(int /*note*/, char* name) {
    if (name) name[0] = '\0';
    return false;
  }
  virtual bool SaveState(StateChunk* chunk) { return SaveParams(chunk); }
  virtual int LoadState(const StateChunk* chunk, int pos) { return LoadParams(chunk, pos); }
  virtual void ParamHovered(int) {}
  virtual void StateVersionLoaded(int) {}
  virtual bool AcceptParamOnLoad(int, int) { return true; }
  virtual void EditorResized() {}
  // A message for the user from the window layer (a web page that would not
  // open); the plug-in shows it where it shows its status. User-interface
  // thread.
  virtual void ShowStatusMessage(const char*) {}
  virtual int GetAPI() const { return mAPI; }

  // Host-facing operations each binding provides. BeginParamEdit ends a
  // pending wheel gesture (FlushPendingEdit) before it tells the host.
  virtual void BeginParamEdit(int idx) = 0;
  // A wheel step: under the lock, ends the pending gesture and begins a new
  // one, unless idx is the parameter of the pending gesture, so a burst of
  // steps on one parameter is one gesture. Any thread; no allocation.
  virtual void BeginParamEditOnce(int idx);
  virtual void InformHostOfParamValue(int idx, double normalizedValue) = 0;
  virtual void EndParamEdit(int idx) = 0;
  virtual void InformHostOfPresetChange() = 0;
  // Song position in samples, rounded; 0 when the host gives none.
  virtual int32_t GetSamplePos() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSig(int* numerator, int* denominator) = 0;
  // 0 stopped, 1 playing, 2 recording without playing.
  virtual int GetTransportState() = 0;
  virtual HostId GetHost() { return mHost; }
  virtual void ResizeEditor() = 0;
  virtual void HostSpecificInit() {}
  // The host's set-up calls (sample rate, block size, activation), under the
  // lock, before the engine follows them: sizes every storage the audio path
  // needs for the current rate, so that processing never allocates. May
  // allocate; an allocation failure leaves the plug-in passing audio through.
  virtual void PrepareForProcessing() {}
  virtual void AttachGraphics(IGraphics* graphics);
  // The editor's graphics object on the binding's platform, not yet
  // attached: the window layer where the module has one, the off-screen
  // engine otherwise; none (no editor) in a base without a platform. The
  // plug-in's constructor asks for it once. Allocates.
  virtual IGraphics* MakeGraphics(int /*width*/, int /*height*/, int /*frameRate*/) { return nullptr; }
  // Sizes the scratch buffers for blocks of nFrames (held to 0 ..
  // kMaxBlockSize). Set-up threads, under the lock; allocates. When the
  // buffers cannot be had the block size becomes 0: blocks then pass through.
  virtual void SetBlockSize(int nFrames);
  virtual void SetLatency(int samples) { mLatency = samples; }

  // ---- Parameters ----
  int NParams() const { return static_cast<int>(mParams.size()); }
  IParameter* GetParam(int idx) const {
    return idx >= 0 && idx < NParams() ? mParams[static_cast<size_t>(idx)].get() : nullptr;
  }
  // The three paths that change a parameter value.
  void SetParameterFromHost(int idx, double normalizedValue);
  void SetParameterFromEditor(int idx, double normalizedValue);
  // Returns false (and changes nothing) for a bad index.
  bool SetParameterFromText(int idx, const char* text);
  // Stores value clamped into range and applies it. A non-finite value is
  // refused: the parameter keeps its value and false is returned.
  bool SetParameterPlain(int idx, double value);
  void PushParamsToEditor();
  void NotifyAllParamsChanged();

  // Edit gestures.
  void EndParamEditLater(int idx);
  void FlushPendingEdit();
  int PendingEdit() const { return mPendingEdit; }

  // ---- Presets and saved state ----
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  // Makes a slot current without recalling it (a host selecting a program
  // index). Out-of-range indices are ignored.
  void SetCurrentPresetIdx(int idx);
  const char* GetPresetName(int idx) const;
  const PresetSlot* GetPreset(int idx) const {
    return idx >= 0 && idx < NPresets() ? mPresets[static_cast<size_t>(idx)].get() : nullptr;
  }
  bool RecallPreset(int idx);
  void StoreCurrentPreset(const char* name = nullptr);
  void NameDefaultPresets(const char* name, int count);
  void DefinePreset(const char* name, std::initializer_list<double> values);
  void NextUserPresetName(char* out, size_t size) const;
  void EnsureOnePreset();
  bool SaveParams(StateChunk* chunk);
  int LoadParams(const StateChunk* chunk, int pos);

  // ---- Identity and host ----
  int32_t GetVersion(bool decimal) const;
  void GetVersionStr(char* out, size_t size) const;
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMakerName() const { return mMakerName; }
  int32_t GetUniqueID() const { return mUniqueID; }
  int32_t GetMakerID() const { return mMakerID; }
  int GetLatency() const { return mLatency; }
  bool DoesChunks() const { return mDoesChunks; }
  bool IsInstrument() const { return mIsInstrument; }
  int MidiMode() const { return mMidiMode; }
  static HostId LookUpHost(const char* name);
  void SetHost(const char* name, int32_t version);
  int32_t GetHostVersion() const { return mHostVersion; }

  double GetSampleRate() const { return mSampleRate; }
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  bool IsReadyForProcessing() const { return mProcessingReady; }
  bool IsBypassed() const { return mBypassed; }
  void SetBypassed(bool b) { mBypassed = b; }
  IGraphics* GetGUI() const { return mGraphics; }

  // ---- Channels ----
  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  const std::vector<ChannelIOConfig>& ChannelConfigs() const { return mChannelIO; }
  bool IsLegalIO(int nIn, int nOut) const;
  void ConnectInputs(int first, int count, bool connected);
  void ConnectOutputs(int first, int count, bool connected);

  // One processing call of a host. Audio thread, lock held by the caller; no
  // allocation. inputs and outputs are the host's nIn and nOut channel
  // buffers (T is float or double); the k-th goes to the k-th connected
  // channel. Calls longer than the block size are processed in slices of at
  // most the block size; without a block size (none set, or its buffers
  // could not be had) the input passes through. A host array or channel
  // buffer that is missing makes the call write silence to the outputs that
  // exist and touch nothing else. Single-precision outputs replace the host's
  // samples, or are added to them when accumulate is set.
  template <typename T>
  void ProcessHostBuffers(T* const* inputs, int nIn, T* const* outputs, int nOut, int nFrames,
                          bool accumulate = false);
  // Copies input k to output k for every k below both counts and silences
  // the other outputs (adds the inputs, or nothing, when accumulating). Any
  // thread; no allocation. Null arrays and buffers are skipped.
  template <typename T>
  static void PassThrough(T* const* inputs, int nIn, T* const* outputs, int nOut, int nFrames,
                          bool accumulate = false);
  // Frames of the current processing call already processed in earlier
  // slices (0 outside a call). Audio thread, under the lock.
  int SliceOffset() const { return mSliceOffset; }

  std::recursive_mutex& Mutex() { return mMutex; }

protected:
  void SetProcessingReady() { mProcessingReady = true; }
  void SetAPI(int api) { mAPI = api; }

private:
  struct InChannel {
    bool connected = false;
    double** dest = nullptr;
    std::vector<double> scratch;
  };
  struct OutChannel {
    bool connected = false;
    double** dest = nullptr;
    float* hostFloat = nullptr;
    std::vector<double> scratch;
  };

  // Per-slice buffer attachment: the k-th host buffer goes to the k-th
  // connected channel. nFrames never exceeds the block size.
  template <typename T>
  void AttachInputs(T* const* buffers, int count, int offset, int nFrames);
  template <typename T>
  void AttachOutputs(T* const* buffers, int count, int offset);
  void CallProcessBlock(int nFrames);
  PresetSlot* FirstFreePreset();
  void ConvertOutputs(int nFrames, bool accumulate);
  int ConnectedInputs() const;
  int ConnectedOutputs() const;

  std::vector<ChannelIOConfig> mChannelIO;
  std::vector<std::unique_ptr<IParameter>> mParams;
  std::vector<std::unique_ptr<PresetSlot>> mPresets;
  int mCurrentPresetIdx = 0;
  int mPendingEdit = -1;
  std::recursive_mutex mMutex;
  bool mProcessingReady = false;
  bool mIsInstrument;
  bool mBypassed = false;
  double mSampleRate = 44100.0;
  int mLatency;
  char mEffectName[kNameSize] = {};
  char mProductName[kNameSize] = {};
  char mMakerName[kNameSize] = {};
  int32_t mUniqueID;
  int32_t mMakerID;
  int32_t mVersion;
  HostId mHost = kHostUnknown;
  int mAPI;
  int32_t mHostVersion = 0;
  bool mDoesChunks;
  int mMidiMode;
  int mBlockSize = 0;
  int mSliceOffset = 0;
  IGraphics* mGraphics = nullptr;
  std::vector<double*> mInputPtrs;
  std::vector<double*> mOutputPtrs;
  std::vector<InChannel> mInChannels;
  std::vector<OutChannel> mOutChannels;
};

// The plug-in lock of plug, or no lock at all when there is no plug-in
// (engines and controls built alone, in tests and tools). Any thread; may
// block while the audio thread processes a block.
inline std::unique_lock<std::recursive_mutex> LockPlugIn(IPlugBase* plug) {
  return plug ? std::unique_lock<std::recursive_mutex>(plug->Mutex()) : std::unique_lock<std::recursive_mutex>();
}
