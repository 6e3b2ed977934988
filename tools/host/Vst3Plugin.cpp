#include "tools/host/Vst3Plugin.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "tools/host/ModuleLibrary.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace quarv::host {
namespace {

using GetFactoryProc = IPluginFactory* (*)();

// Ids come from anywhere; compare them bytewise.
bool SameId(const TUID a, const FUID& b) { return std::memcmp(a, b.toTUID(), sizeof(TUID)) == 0; }

std::string FromUtf16(const char16* text, size_t max = 128) {
  std::string out;
  for (size_t i = 0; i < max && text[i]; ++i) {
    char32_t cp = static_cast<char16_t>(text[i]);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < max && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// The host's names are ASCII.
void ToUtf16(const std::string& text, String128 out) {
  size_t n = 0;
  for (; n < 127 && n < text.size(); ++n) out[n] = static_cast<char16>(static_cast<unsigned char>(text[n]));
  out[n] = 0;
}

std::string FixedText(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

// queryInterface of the host's objects: FUnknown and the one interface I.
template <typename I>
tresult AnswerQuery(I* self, const FUID& iidOfI, const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!iid || !(SameId(iid, FUnknown::iid) || SameId(iid, iidOfI))) return kNoInterface;
  self->addRef();
  *obj = self;
  return kResultOk;
}

}  // namespace

// ---- MemoryStream ----

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  ++reads;
  if (numBytesRead) *numBytesRead = 0;
  if (!buffer || numBytes < 0) return kInvalidArgument;
  const int64_t left = std::max<int64_t>(static_cast<int64_t>(mBytes.size()) - mPos, 0);
  const int32 n = static_cast<int32>(std::min<int64_t>(numBytes, left));
  const bool failing = failReadsAfter >= 0 && mPos + n > failReadsAfter;
  if (failing && !deliverOnFailure) return kResultFalse;
  if (n > 0) std::memcpy(buffer, mBytes.data() + mPos, static_cast<size_t>(n));
  mPos += n;
  if (numBytesRead) *numBytesRead = n;
  return failing ? kResultFalse : kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (numBytesWritten) *numBytesWritten = 0;
  if (!buffer || numBytes < 0) return kInvalidArgument;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  if (mBytes.size() < static_cast<size_t>(mPos)) mBytes.resize(static_cast<size_t>(mPos));
  const size_t end = static_cast<size_t>(mPos) + static_cast<size_t>(numBytes);
  if (mBytes.size() < end) mBytes.resize(end);
  std::copy(bytes, bytes + numBytes, mBytes.begin() + mPos);
  mPos = static_cast<int64_t>(end);
  if (numBytesWritten) *numBytesWritten = numBytes;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  if (!canSeek) return kNotImplemented;
  int64_t base = 0;
  if (mode == kIBSeekCur) base = mPos;
  if (mode == kIBSeekEnd) base = static_cast<int64_t>(mBytes.size());
  if (base + pos < 0) return kInvalidArgument;
  mPos = base + pos;
  if (result) *result = mPos;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos) {
  if (!pos) return kInvalidArgument;
  *pos = mPos;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::queryInterface(const TUID iid, void** obj) {
  return AnswerQuery<IBStream>(this, IBStream::iid, iid, obj);
}

// ---- Parameter changes ----

void ParamQueue::Reset(ParamID id) {
  mId = id;
  mCount = 0;
}

tresult PLUGIN_API ParamQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
  if (index < 0 || index >= mCount) return kResultFalse;
  sampleOffset = mOffsets[static_cast<size_t>(index)];
  value = mValues[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API ParamQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
  if (mCount >= kMaxPoints) return kResultFalse;
  index = mCount++;
  mOffsets[static_cast<size_t>(index)] = sampleOffset;
  mValues[static_cast<size_t>(index)] = value;
  return kResultOk;
}

tresult PLUGIN_API ParamQueue::queryInterface(const TUID iid, void** obj) {
  return AnswerQuery<IParamValueQueue>(this, IParamValueQueue::iid, iid, obj);
}

IParamValueQueue* PLUGIN_API ParamChanges::getParameterData(int32 index) {
  return index >= 0 && index < mCount ? &mQueues[static_cast<size_t>(index)] : nullptr;
}

IParamValueQueue* PLUGIN_API ParamChanges::addParameterData(const ParamID& id, int32& index) {
  for (int32 i = 0; i < mCount; ++i) {
    if (mQueues[static_cast<size_t>(i)].getParameterId() == id) {
      index = i;
      return &mQueues[static_cast<size_t>(i)];
    }
  }
  if (mCount >= kMaxQueues) return nullptr;
  index = mCount++;
  mQueues[static_cast<size_t>(index)].Reset(id);
  return &mQueues[static_cast<size_t>(index)];
}

tresult PLUGIN_API ParamChanges::queryInterface(const TUID iid, void** obj) {
  return AnswerQuery<IParameterChanges>(this, IParameterChanges::iid, iid, obj);
}

// ---- Host objects ----

class Vst3Plugin::HostApp : public IHostApplication {
public:
  explicit HostApp(std::string name) : mName(std::move(name)) {}
  virtual ~HostApp() = default;
  tresult PLUGIN_API getName(String128 name) override {
    if (!name) return kInvalidArgument;
    ToUtf16(mName, name);
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(TUID, TUID, void** obj) override {
    if (obj) *obj = nullptr;
    return kResultFalse;
  }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    return AnswerQuery<IHostApplication>(this, IHostApplication::iid, iid, obj);
  }
  // Owned by the loader, which outlives every use; counting only.
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override { return --mRefs; }

private:
  std::string mName;
  std::atomic<uint32> mRefs{1};
};

class Vst3Plugin::Handler : public IComponentHandler {
public:
  explicit Handler(Vst3HostLog* log) : mLog(log) {}
  virtual ~Handler() = default;
  tresult PLUGIN_API beginEdit(ParamID id) override {
    mLog->beginEdits.push_back(id);
    return kResultOk;
  }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
    mLog->performEdits.push_back({id, value});
    return kResultOk;
  }
  tresult PLUGIN_API endEdit(ParamID id) override {
    mLog->endEdits.push_back(id);
    return kResultOk;
  }
  tresult PLUGIN_API restartComponent(int32 flags) override {
    mLog->restarts.push_back(flags);
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    return AnswerQuery<IComponentHandler>(this, IComponentHandler::iid, iid, obj);
  }
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override { return --mRefs; }

private:
  Vst3HostLog* mLog;
  std::atomic<uint32> mRefs{1};
};

// ---- Loading and release ----

std::string Vst3Plugin::ModulePathOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return path;
  std::string bundle = path;
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  std::string name = bundle.substr(bundle.find_last_of('/') + 1);
  const std::string ext = ".vst3";
  if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) {
    name.resize(name.size() - ext.size());
  }
  return bundle + "/Contents/" + Vst3ArchFolder() + "/" + name + Vst3ModuleExtension();
}

std::unique_ptr<Vst3Plugin> Vst3Plugin::Load(const std::string& path, std::string* error, const std::string& hostName) {
  std::unique_ptr<Vst3Plugin> plug(new Vst3Plugin());
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    plug.reset();
    return std::unique_ptr<Vst3Plugin>();
  };
  const std::string module = ModulePathOf(path);
  std::string why;
  plug->mLibrary = OpenModuleLibrary(module, &why);
  if (!plug->mLibrary) return fail("cannot load module " + module + ": " + why);
  auto getFactory = reinterpret_cast<GetFactoryProc>(ModuleSymbol(plug->mLibrary, "GetPluginFactory"));
  const ModuleEntryResult entered = getFactory ? EnterVst3Module(plug->mLibrary) : ModuleEntryResult::kMissing;
  if (entered == ModuleEntryResult::kMissing) {
    return fail("module " + module + " has no VST 3 entry points (" + kVst3EntryName + ", GetPluginFactory)");
  }
  if (entered == ModuleEntryResult::kRefused) return fail("module " + module + " refused " + kVst3EntryName);
  plug->mEntered = true;
  plug->mFactory = getFactory();
  if (!plug->mFactory) return fail("module " + module + " gave no factory");

  // The first audio effect, with its version-2 information when there is one.
  IPluginFactory2* factory2 = nullptr;
  plug->mFactory->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2));
  bool found = false;
  for (int32 i = 0; i < plug->mFactory->countClasses() && !found; ++i) {
    PClassInfo info;
    if (plug->mFactory->getClassInfo(i, &info) != kResultOk) continue;
    if (std::strncmp(info.category, kVstAudioEffectClass, PClassInfo::kCategorySize) != 0) continue;
    found = true;
    ClassInfo& c = plug->mClass;
    std::memcpy(c.cid.data(), info.cid, c.cid.size());
    c.cardinality = info.cardinality;
    c.category = FixedText(info.category, sizeof info.category);
    c.name = FixedText(info.name, sizeof info.name);
    PClassInfo2 info2;
    if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) {
      c.classFlags = info2.classFlags;
      c.subCategories = FixedText(info2.subCategories, sizeof info2.subCategories);
      c.vendor = FixedText(info2.vendor, sizeof info2.vendor);
      c.version = FixedText(info2.version, sizeof info2.version);
      c.sdkVersion = FixedText(info2.sdkVersion, sizeof info2.sdkVersion);
    }
  }
  if (factory2) factory2->release();
  if (!found) return fail("module " + module + " has no audio effect class");

  alignas(8) TUID cid;
  std::memcpy(cid, plug->mClass.cid.data(), sizeof cid);
  void* obj = nullptr;
  if (plug->mFactory->createInstance(cid, IComponent::iid, &obj) != kResultOk || !obj) {
    return fail("module " + module + " did not create its component");
  }
  plug->mComponent = static_cast<IComponent*>(obj);
  if (plug->mComponent->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&plug->mProcessor)) != kResultOk) {
    return fail("the component of " + module + " is no audio processor");
  }
  if (plug->mComponent->queryInterface(IEditController::iid, reinterpret_cast<void**>(&plug->mController)) != kResultOk) {
    return fail("the component of " + module + " has no controller on the same object (not loaded yet)");
  }
  plug->mComponent->queryInterface(IUnitInfo::iid, reinterpret_cast<void**>(&plug->mUnits));

  plug->mHostName = hostName;
  plug->mHostApp = std::make_unique<HostApp>(hostName);
  plug->mHandler = std::make_unique<Handler>(&plug->log);
  if (plug->mComponent->initialize(plug->mHostApp.get()) != kResultOk) {
    return fail("the component of " + module + " refused to initialise");
  }
  plug->mInitialized = true;
  plug->mController->setComponentHandler(plug->mHandler.get());
  return plug;
}

Vst3Plugin::~Vst3Plugin() {
  Stop();
  if (mComponent && mInitialized) mComponent->terminate();
  if (mUnits) mUnits->release();
  if (mController) mController->release();
  if (mProcessor) mProcessor->release();
  if (mComponent) mComponent->release();
  if (mFactory) mFactory->release();
  if (mEntered) ExitVst3Module(mLibrary);
  CloseModuleLibrary(mLibrary);
}

bool Vst3Plugin::Reinitialize() {
  Stop();
  if (mInitialized) mComponent->terminate();
  mInitialized = mComponent->initialize(mHostApp.get()) == kResultOk;
  if (mInitialized) mController->setComponentHandler(mHandler.get());
  return mInitialized;
}

Vst3Plugin::FactoryInfo Vst3Plugin::GetFactoryInfo() const {
  FactoryInfo out;
  PFactoryInfo info;
  if (mFactory->getFactoryInfo(&info) != kResultOk) return out;
  out.vendor = FixedText(info.vendor, sizeof info.vendor);
  out.url = FixedText(info.url, sizeof info.url);
  out.email = FixedText(info.email, sizeof info.email);
  out.flags = info.flags;
  return out;
}

// ---- Set-up ----

bool Vst3Plugin::Configure(double sampleRate, int maxBlock, bool doublePrecision, int channels, std::string* error) {
  auto fail = [&](const char* step) {
    if (error) *error = step;
    return false;
  };
  Stop();
  mChannels = std::clamp(channels, 1, 2);
  const SpeakerArrangement arr = mChannels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
  SpeakerArrangement current = 0;
  if (mProcessor->getBusArrangement(kOutput, 0, current) != kResultTrue || current != arr) {
    SpeakerArrangement in = arr, out = arr;
    if (mProcessor->setBusArrangements(&in, 1, &out, 1) != kResultTrue) return fail("setBusArrangements");
  }
  mSetup.processMode = kRealtime;
  mSetup.symbolicSampleSize = doublePrecision ? kSample64 : kSample32;
  mSetup.maxSamplesPerBlock = maxBlock;
  mSetup.sampleRate = sampleRate;
  if (mProcessor->canProcessSampleSize(mSetup.symbolicSampleSize) != kResultTrue) return fail("canProcessSampleSize");
  if (mProcessor->setupProcessing(mSetup) != kResultOk) return fail("setupProcessing");
  for (BusDirection dir : {kInput, kOutput}) {
    for (int32 b = 0; b < mComponent->getBusCount(kAudio, dir); ++b) mComponent->activateBus(kAudio, dir, b, true);
  }
  if (mComponent->setActive(true) != kResultOk) return fail("setActive");
  mProcessor->setProcessing(true);
  transport.sampleRate = sampleRate;
  mActive = true;
  return true;
}

void Vst3Plugin::Stop() {
  if (!mActive) return;
  mProcessor->setProcessing(false);
  mComponent->setActive(false);
  mActive = false;
}

// ---- Parameters and programs ----

int Vst3Plugin::NumParams() const { return mController->getParameterCount(); }

ParameterInfo Vst3Plugin::ParamInfo(int index) const {
  ParameterInfo info{};
  mController->getParameterInfo(index, info);
  return info;
}

std::string Vst3Plugin::ParamTitle(int index) const { return FromUtf16(ParamInfo(index).title); }

std::string Vst3Plugin::ParamUnits(int index) const { return FromUtf16(ParamInfo(index).units); }

bool Vst3Plugin::ParamValueOfString(ParamID id, const std::string& text, double* normalized) const {
  String128 wide{};
  ToUtf16(text, wide);
  ParamValue value = 0.0;
  if (mController->getParamValueByString(id, wide, value) != kResultOk) return false;
  *normalized = value;
  return true;
}

int Vst3Plugin::FindParam(const std::string& title) const {
  for (int i = 0; i < NumParams(); ++i) {
    if (ParamTitle(i) == title) return i;
  }
  return -1;
}

ParamID Vst3Plugin::ProgramChangeParam() const {
  for (int i = 0; i < NumParams(); ++i) {
    const ParameterInfo info = ParamInfo(i);
    if (info.flags & ParameterInfo::kIsProgramChange) return info.id;
  }
  return kNoParamId;
}

std::string Vst3Plugin::ParamDisplay(ParamID id, double normalized) const {
  String128 text{};
  if (mController->getParamStringByValue(id, normalized, text) != kResultOk) return {};
  return FromUtf16(text);
}

int Vst3Plugin::NumPrograms() const {
  ProgramListInfo info{};
  if (!mUnits || mUnits->getProgramListCount() < 1 || mUnits->getProgramListInfo(0, info) != kResultOk) return 0;
  return info.programCount;
}

std::string Vst3Plugin::ProgramName(int index) const {
  ProgramListInfo info{};
  if (!mUnits || mUnits->getProgramListInfo(0, info) != kResultOk) return {};
  String128 name{};
  if (mUnits->getProgramName(info.id, index, name) != kResultOk) return {};
  return FromUtf16(name);
}

bool Vst3Plugin::QueueChange(ParamID id, double value, int32_t sampleOffset) {
  int32 index = 0;
  IParamValueQueue* queue = mChanges.addParameterData(id, index);
  return queue && queue->addPoint(sampleOffset, value, index) == kResultOk;
}

bool Vst3Plugin::RecallProgram(int index) {
  const ParamID id = ProgramChangeParam();
  const int count = NumPrograms();
  if (id == kNoParamId || count < 1 || index < 0 || index >= count) return false;
  QueueChange(id, count > 1 ? static_cast<double>(index) / (count - 1) : 0.0);
  return Flush() == kResultOk;
}

tresult Vst3Plugin::Flush() {
  Vst::ProcessData data;
  data.processMode = mSetup.processMode;
  data.symbolicSampleSize = mSetup.symbolicSampleSize;
  return ProcessData(data);
}

// ---- Processing ----

void Vst3Plugin::FillContext() {
  std::memset(&mContext, 0, sizeof mContext);
  mContext.state = ProcessContext::kTempoValid | ProcessContext::kTimeSigValid | ProcessContext::kProjectTimeMusicValid;
  if (transport.playing) mContext.state |= ProcessContext::kPlaying;
  if (transport.recording) mContext.state |= ProcessContext::kRecording;
  mContext.sampleRate = transport.sampleRate;
  mContext.projectTimeSamples = static_cast<TSamples>(std::llround(transport.samplePos));
  mContext.tempo = transport.tempo;
  mContext.timeSigNumerator = transport.timeSigNumerator;
  mContext.timeSigDenominator = transport.timeSigDenominator;
  mContext.projectTimeMusic =
      transport.sampleRate > 0.0 ? transport.samplePos / transport.sampleRate * transport.tempo / 60.0 : 0.0;
}

void Vst3Plugin::Advance(int frames) {
  if (frames > 0 && (transport.playing || transport.recording)) transport.samplePos += frames;
}

tresult Vst3Plugin::ProcessData(Vst::ProcessData& data) {
  FillContext();
  if (!data.processContext && transport.timeInfoAvailable) data.processContext = &mContext;
  if (!data.inputParameterChanges && !mChanges.Empty()) data.inputParameterChanges = &mChanges;
  mOutChanges.Clear();
  if (!data.outputParameterChanges) data.outputParameterChanges = &mOutChanges;
  const tresult result = mProcessor->process(data);
  mChanges.Clear();
  // What the plug-in reports back, as a host's controls would take it.
  for (int32 i = 0; i < mOutChanges.getParameterCount(); ++i) {
    IParamValueQueue* queue = mOutChanges.getParameterData(i);
    int32 offset = 0;
    ParamValue value = 0.0;
    if (queue && queue->getPointCount() > 0 && queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk) {
      log.outputChanges.push_back({queue->getParameterId(), value});
    }
  }
  Advance(data.numSamples);
  return result;
}

template <typename T>
tresult Vst3Plugin::ProcessBus(T* const* in, T* const* out, int frames) {
  AudioBusBuffers inBus, outBus;
  inBus.numChannels = in ? mChannels : 0;
  outBus.numChannels = out ? mChannels : 0;
  if constexpr (std::is_same_v<T, float>) {
    inBus.channelBuffers32 = const_cast<float**>(in);
    outBus.channelBuffers32 = const_cast<float**>(out);
  } else {
    inBus.channelBuffers64 = const_cast<double**>(in);
    outBus.channelBuffers64 = const_cast<double**>(out);
  }
  Vst::ProcessData data;
  data.processMode = mSetup.processMode;
  data.symbolicSampleSize = std::is_same_v<T, float> ? kSample32 : kSample64;
  data.numSamples = frames;
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &inBus;
  data.outputs = &outBus;
  return ProcessData(data);
}

tresult Vst3Plugin::Process(float* const* in, float* const* out, int frames) { return ProcessBus(in, out, frames); }

tresult Vst3Plugin::Process(double* const* in, double* const* out, int frames) { return ProcessBus(in, out, frames); }

// ---- State ----

std::vector<uint8_t> Vst3Plugin::SaveState() {
  MemoryStream stream;
  if (mComponent->getState(&stream) != kResultOk) return {};
  return stream.Bytes();
}

tresult Vst3Plugin::LoadState(const std::vector<uint8_t>& bytes) {
  MemoryStream stream(bytes);
  return LoadState(stream);
}

tresult Vst3Plugin::LoadState(MemoryStream& stream) { return mComponent->setState(&stream); }

}  // namespace quarv::host
