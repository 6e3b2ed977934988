#include "formats/vst2/IPlugVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "framework/Text.h"
#include "graphics/IGraphics.h"
#include "graphics/PlatformGraphics.h"

namespace {

// Host buffers for program names are not sized by the interface; names are
// cut here so no reasonable host buffer is overrun.
constexpr size_t kProgramNameCopy = 64;

constexpr int32_t FourCC(char a, char b, char c, char d) {
  return (static_cast<int32_t>(a) << 24) | (static_cast<int32_t>(b) << 16) | (static_cast<int32_t>(c) << 8) |
         static_cast<int32_t>(d);
}

void CopyOut(void* ptr, const char* text, size_t size = 256) {
  quarv::CopyText(static_cast<char*>(ptr), size, text);
}

int32_t ArrangementType(int n) {
  switch (n) {
    case 0:
      return kSpeakerArrEmpty;
    case 1:
      return kSpeakerArrMono;
    case 2:
      return kSpeakerArrStereo;
    default:
      return kSpeakerArrUserDefined;
  }
}

IPlugVST* PlugOf(AEffect* effect) { return effect ? static_cast<IPlugVST*>(effect->object) : nullptr; }

}  // namespace

// One call from the host: counted in before it waits for the lock, so that
// effClose, which frees the object, waits for it; it then holds the lock for
// its whole duration and finds the plug-in gone once a close has begun.
class IPlugVST::Entry {
public:
  explicit Entry(AEffect* effect) : mPlug(PlugOf(effect)) {
    if (!mPlug) return;
    mPlug->mEntries.fetch_add(1);
    mLock = std::unique_lock<std::recursive_mutex>(mPlug->Mutex());
  }
  ~Entry() {
    if (!mPlug) return;
    mLock.unlock();
    mPlug->mEntries.fetch_sub(1);
  }
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  // The plug-in, or null when there is none or it is closing.
  IPlugVST* Plug() const { return mPlug && !mPlug->mClosing ? mPlug : nullptr; }

private:
  IPlugVST* mPlug;
  std::unique_lock<std::recursive_mutex> mLock;
};

IPlugVST::IPlugVST(void* instanceInfo, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* makerName,
                   int32_t version, int32_t uniqueId, int32_t makerId, int latency, int midiMode,
                   bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version, uniqueId,
                makerId, latency, midiMode, doesChunks, isInstrument, kApiVst2),
      mHostCallback(reinterpret_cast<audioMasterCallback>(instanceInfo)) {
  mProgramChunk.Clear();
  mBankChunk.Clear();
  std::memset(&mAEffect, 0, sizeof mAEffect);
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = &IPlugVST::VSTDispatcher;
  mAEffect.process = &IPlugVST::VSTProcess;
  mAEffect.setParameter = &IPlugVST::VSTSetParameter;
  mAEffect.getParameter = &IPlugVST::VSTGetParameter;
  mAEffect.processReplacing = &IPlugVST::VSTProcessReplacing;
  mAEffect.processDoubleReplacing = &IPlugVST::VSTProcessDoubleReplacing;
  mAEffect.numPrograms = std::max(nPresets, 1);
  mAEffect.numParams = nParams;
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (doesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (IsLegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (isInstrument) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = uniqueId;
  mAEffect.version = GetVersion(true);
  SetSpeakerArrangement(&mInputSpkrArr, NInChannels());
  SetSpeakerArrangement(&mOutputSpkrArr, NOutChannels());
  ConnectInputs(0, NInChannels(), true);
  ConnectOutputs(0, NOutChannels(), true);
  SetBlockSize(1024);
}

void IPlugVST::SetSpeakerArrangement(VstSpeakerArrangement* arr, int nChannels) {
  std::memset(arr, 0, sizeof *arr);
  arr->type = ArrangementType(nChannels);
  arr->numChannels = nChannels;
}

intptr_t IPlugVST::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

// ---- Host-facing operations ----

void IPlugVST::BeginParamEdit(int idx) {
  FlushPendingEdit();
  CallHost(audioMasterBeginEdit, idx);
}

void IPlugVST::InformHostOfParamValue(int idx, double normalizedValue) {
  CallHost(audioMasterAutomate, idx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::EndParamEdit(int idx) { CallHost(audioMasterEndEdit, idx); }

void IPlugVST::InformHostOfPresetChange() { CallHost(audioMasterUpdateDisplay); }

VstTimeInfo* IPlugVST::TimeInfo(int32_t filter) {
  return reinterpret_cast<VstTimeInfo*>(CallHost(audioMasterGetTime, 0, filter));
}

int32_t IPlugVST::GetSamplePos() {
  const VstTimeInfo* ti = TimeInfo(0);
  if (!ti || !(ti->samplePos >= 0.0)) return 0;
  const double pos = ti->samplePos + 0.5;
  return pos >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(pos);
}

double IPlugVST::GetTempo() {
  const VstTimeInfo* ti = TimeInfo(kVstTempoValid);
  if (ti && (ti->flags & kVstTempoValid) && ti->tempo >= 0.0) return ti->tempo;
  return 0.0;
}

void IPlugVST::GetTimeSig(int* numerator, int* denominator) {
  int num = 0, den = 0;
  const VstTimeInfo* ti = TimeInfo(kVstTimeSigValid);
  if (ti && (ti->flags & kVstTimeSigValid) && ti->timeSigNumerator >= 0 && ti->timeSigDenominator >= 0) {
    num = ti->timeSigNumerator;
    den = ti->timeSigDenominator;
  }
  if (numerator) *numerator = num;
  if (denominator) *denominator = den;
}

int IPlugVST::GetTransportState() {
  const VstTimeInfo* ti = TimeInfo(0);
  if (!ti) return 0;
  if (ti->flags & kVstTransportPlaying) return 1;
  if (ti->flags & kVstTransportRecording) return 2;
  return 0;
}

HostId IPlugVST::GetHost() {
  const HostId known = IPlugBase::GetHost();
  if (known != -1) return known;
  char name[256];
  name[0] = '\0';
  CallHost(audioMasterGetProductString, 0, 0, name);
  name[255] = '\0';
  int32_t version = 0;
  if (name[0]) {
    const intptr_t d = CallHost(audioMasterGetVendorVersion);
    const int32_t v = static_cast<int32_t>(std::clamp<intptr_t>(d, 0, INT32_MAX));
    version = ((v / 10000) << 16) | (((v % 10000) / 100) << 8) | (v % 100);
  }
  SetHost(name, version);
  return IPlugBase::GetHost();
}

void IPlugVST::HostSpecificInit() {
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;
  const HostId host = GetHost();
  if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio) {
    ConnectInputs(2, NInChannels(), false);
    if (NOutChannels() >= 3) ConnectOutputs(2, NOutChannels(), true);
  }
  mAEffect.numInputs = mInputSpkrArr.numChannels = NInChannels();
  mAEffect.numOutputs = mOutputSpkrArr.numChannels = NOutChannels();
}

IGraphics* IPlugVST::MakeGraphics(int width, int height, int frameRate) {
  return MakePlatformGraphics(this, width, height, frameRate);
}

void IPlugVST::AttachGraphics(IGraphics* graphics) {
  if (!graphics) return;
  IPlugBase::AttachGraphics(graphics);
#if defined(QUARV_WINDOW_LAYER)
  // The editor is offered to the host only where a window layer can show it.
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect.top = mEditRect.left = 0;
  mEditRect.bottom = static_cast<int16_t>(graphics->Height());
  mEditRect.right = static_cast<int16_t>(graphics->Width());
#endif
}

// ---- Entry functions ----

intptr_t VST_CALL IPlugVST::VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                          void* ptr, float opt) {
  if (opcode == effClose) {
    IPlugVST* plug = PlugOf(effect);
    return plug ? plug->Close() : 0;
  }
  Entry entry(effect);
  IPlugVST* plug = entry.Plug();
  if (!plug) return 0;
  try {
    return plug->Dispatch(opcode, index, value, ptr, opt);
  } catch (...) {
    // Nothing may cross into the host; the opcode did nothing it could report.
    return 0;
  }
}

intptr_t IPlugVST::Close() {
  {
    Lock lock(Mutex());
    if (mClosing) return 0;
    mClosing = true;
    try {
      HostClosing();
    } catch (...) {
    }
  }
  // Calls that came in before the close (waiting for the lock, or running)
  // leave the object first; they find it closing and return at once.
  while (mEntries.load() > 0) std::this_thread::yield();
  delete this;
  return 0;
}

float VST_CALL IPlugVST::VSTGetParameter(AEffect* effect, int32_t index) {
  Entry entry(effect);
  IPlugVST* plug = entry.Plug();
  const IParameter* param = plug ? plug->GetParam(index) : nullptr;
  return param ? static_cast<float>(param->Normalized()) : 0.0f;
}

void VST_CALL IPlugVST::VSTSetParameter(AEffect* effect, int32_t index, float value) {
  Entry entry(effect);
  IPlugVST* plug = entry.Plug();
  if (!plug) return;
  try {
    plug->SetParameterFromHost(index, static_cast<double>(value));
  } catch (...) {
    // The value may be half applied; the host is not told of a failure it
    // cannot handle.
  }
}

void VST_CALL IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  Entry entry(effect);
  if (IPlugVST* plug = entry.Plug()) plug->Process(inputs, outputs, frames, true);
}

void VST_CALL IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  Entry entry(effect);
  if (IPlugVST* plug = entry.Plug()) plug->Process(inputs, outputs, frames, false);
}

void VST_CALL IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                  int32_t frames) {
  Entry entry(effect);
  if (IPlugVST* plug = entry.Plug()) plug->Process(inputs, outputs, frames, false);
}

template <typename T>
void IPlugVST::Process(T** inputs, T** outputs, int32_t frames, bool accumulate) {
  try {
    ProcessHostBuffers(inputs, NInChannels(), outputs, NOutChannels(), frames, accumulate);
  } catch (...) {
    // Processing allocates nothing and throws nothing; should a plug-in's
    // block throw all the same, the host keeps running.
  }
}

// ---- Dispatcher ----

intptr_t IPlugVST::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  const bool hasEditor = (mAEffect.flags & effFlagsHasEditor) && GetGUI();
  switch (opcode) {
    case effOpen:
      HostSpecificInit();
      NotifyAllParamsChanged();
      return 0;
    case effSetProgram:
      StoreCurrentPreset();
      if (value >= 0 && value < NPresets()) RecallPreset(static_cast<int>(value));
      return 0;
    case effGetProgram:
      return GetCurrentPresetIdx();
    case effSetProgramName:
      if (ptr) StoreCurrentPreset(static_cast<const char*>(ptr));
      return 0;
    case effGetProgramName:
      if (ptr) CopyOut(ptr, GetPresetName(GetCurrentPresetIdx()), kProgramNameCopy);
      return 0;
    case effGetParamLabel:
      if (ptr && GetParam(index)) CopyOut(ptr, GetParam(index)->Label(), IParameter::kTextSize);
      return 0;
    case effGetParamDisplay:
      if (ptr && GetParam(index)) GetParam(index)->FormatDisplay(GetParam(index)->Value(), false, static_cast<char*>(ptr));
      return 0;
    case effGetParamName:
      if (ptr && GetParam(index)) CopyOut(ptr, GetParam(index)->Name(), IParameter::kTextSize);
      return 0;
    case effSetSampleRate:
      SetSampleRate(opt);
      PrepareForProcessing();
      ResetEngine();
      return 0;
    case effSetBlockSize:
      SetBlockSize(static_cast<int>(std::clamp<intptr_t>(value, 0, kMaxBlockSize)));
      PrepareForProcessing();
      ResetEngine();
      return 0;
    case effMainsChanged:
      if (value != 0) {
        PrepareForProcessing();
        Activate(true);
      } else {
        Activate(false);
        ResetEngine();
      }
      return 0;
    case effEditGetRect:
      if (ptr && hasEditor) {
        *static_cast<ERect**>(ptr) = &mEditRect;
        return 1;
      }
      return 0;
    case effEditOpen:
      if (hasEditor && GetGUI()->OpenWindow(ptr)) {
        EditorOpened();
        return 1;
      }
      return 0;
    case effEditIdle:
      // The host's idle calls drive the editor where it has no timer of its
      // own (X11): its events, and its tick when due.
      if (hasEditor) GetGUI()->Idle();
      return 0;
    case effEditClose:
      if (hasEditor) {
        EditorClosed();
        GetGUI()->CloseWindow();
        return 1;
      }
      return 0;
    case effIdentify:
      return FourCC('N', 'v', 'E', 'f');
    case effGetChunk:
      return GetChunk(index, ptr);
    case effSetChunk:
      return SetChunk(index, value, ptr);
    case effProcessEvents: {
      if (!ptr) return 0;
      const VstEvents* events = static_cast<const VstEvents*>(ptr);
      for (int32_t i = 0; i < events->numEvents; ++i) {
        const VstEvent* e = events->events[i];
        if (!e) continue;
        if (e->type == kVstMidiType) {
          const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(e);
          ProcessMidiMessage(m->deltaFrames, static_cast<uint8_t>(m->midiData[0]), static_cast<uint8_t>(m->midiData[1]),
                             static_cast<uint8_t>(m->midiData[2]));
        } else if (e->type == kVstSysExType) {
          const VstMidiSysexEvent* x = reinterpret_cast<const VstMidiSysexEvent*>(e);
          ProcessSysExMessage(x->deltaFrames, x->dumpBytes, x->sysexDump);
        }
      }
      return 1;
    }
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      if (!GetParam(index)) return 0;
      if (ptr) SetParameterFromText(index, static_cast<const char*>(ptr));
      return 1;
    case effGetProgramNameIndexed:
      if (!ptr) return 0;
      CopyOut(ptr, GetPresetName(index), kProgramNameCopy);
      return static_cast<const char*>(ptr)[0] ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties:
      return PinProperties(opcode == effGetInputProperties, index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement: {
      const auto* inArr = reinterpret_cast<const VstSpeakerArrangement*>(value);
      const auto* outArr = static_cast<const VstSpeakerArrangement*>(ptr);
      if (inArr) {
        const int n = std::clamp(static_cast<int>(inArr->numChannels), 0, NInChannels());
        ConnectInputs(0, n, true);
        ConnectInputs(n, NInChannels(), false);
      }
      if (outArr) {
        const int n = std::clamp(static_cast<int>(outArr->numChannels), 0, NOutChannels());
        ConnectOutputs(0, n, true);
        ConnectOutputs(n, NOutChannels(), false);
      }
      return 1;
    }
    case effSetBypass:
      Activate(value == 0);
      return 0;
    case effGetEffectName:
      if (!ptr) return 0;
      CopyOut(ptr, GetEffectName(), kNameSize);
      return 1;
    case effGetVendorString:
      if (!ptr) return 0;
      CopyOut(ptr, GetMakerName(), kNameSize);
      return 1;
    case effGetProductString:
      if (!ptr) return 0;
      CopyOut(ptr, GetProductName(), kNameSize);
      return 1;
    case effGetVendorVersion:
      return GetVersion(true);
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo: {
      if (!ptr) return 0;
      const char* q = static_cast<const char*>(ptr);
      if (!strcmp(q, "receiveVstTimeInfo")) return 1;
      if (!strcmp(q, "hasCockosExtensions") || !strcmp(q, "hasCockosViewAsConfig")) return kCanDoExtensionsHandled;
      return 0;
    }
    case effGetVstVersion:
      return 2400;
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effHasMidiProgramsChanged:
    case effBeginSetProgram:
    case effEndSetProgram:
    case effStartProcess:
      Activate(true);
      return 0;
    case effGetMidiKeyName: {
      if (!ptr) return 0;
      MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
      key->keyName[0] = '\0';
      return MidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkrArr;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkrArr;
      return 1;
    case effStopProcess:
      Activate(false);
      return 0;
    default:
      return 0;
  }
}

bool IPlugVST::PinProperties(bool input, int32_t index, VstPinProperties* props) const {
  const int n = input ? NInChannels() : NOutChannels();
  if (!props || index < 0 || index >= n) return false;
  std::memset(props, 0, sizeof *props);
  quarv::FormatC(props->label, sizeof props->label, input ? "Input %d" : "Output %d", index + 1);
  props->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < n - 1) props->flags |= kVstPinIsStereo;
  return true;
}

intptr_t IPlugVST::VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
  const bool validParam = value >= 0 && value < NParams();
  IParameter* param = validParam ? GetParam(static_cast<int>(value)) : nullptr;
  switch (index) {
    case kVendorParamDisplayOfValue:
      if (!ptr) return 0;
      if (param) param->FormatDisplay(static_cast<double>(opt), true, static_cast<char*>(ptr));
      return kVendorSpecificHandled;
    case kVendorParamTextCount:
      if (!param || param->Type() == IParameter::kTypeDouble || param->Type() == IParameter::kTypeInt) return 0;
      if (ptr) {
        const int32_t count = param->DisplayTextCount();
        std::memcpy(ptr, &count, sizeof count);
      }
      return kVendorSpecificHandled;
    case kVendorParamParseText: {
      if (!ptr || !param) return 0;
      char* text = static_cast<char*>(ptr);
      if (text[0]) {
        const double n = param->NormalizedOf(param->ParseDisplay(text));
        quarv::FormatC(text, 32, "%.17f", n);
      }
      return kVendorSpecificHandled;
    }
    case kVendorMouseWheel:
      if (value == kVendorMouseWheelValue && (mAEffect.flags & effFlagsHasEditor) && GetGUI()) {
        return GetGUI()->ProcessMouseWheel(opt);
      }
      return 0;
    default:
      return 0;
  }
}

intptr_t IPlugVST::GetChunk(int32_t index, void* ptr) {
  if (!ptr) return 0;
  StateChunk& chunk = index == 0 ? mBankChunk : mProgramChunk;
  chunk.Clear();
  chunk.PutInt32(GetVersion(true));
  if (index == 0) StoreCurrentPreset();
  if (SaveState(&chunk) && chunk.Size() > 0) {
    *static_cast<void**>(ptr) = chunk.Data();
    return chunk.Size();
  }
  return 0;
}

intptr_t IPlugVST::SetChunk(int32_t index, intptr_t size, const void* ptr) {
  if (!ptr) return 0;
  StateChunk& chunk = index == 0 ? mBankChunk : mProgramChunk;
  chunk.Clear();
  chunk.PutBytes(ptr, static_cast<int>(std::clamp<intptr_t>(size, 0, kMaxStateBytes)));
  int32_t version = 0;
  int pos = -1;
  if (chunk.Size() >= 4) pos = chunk.GetInt32(&version, 0);
  StateVersionLoaded(version);
  if (LoadState(&chunk, pos) >= 0) {
    PushParamsToEditor();
    return 1;
  }
  return 0;
}
