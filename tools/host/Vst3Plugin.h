// Loads a VST 3 bundle and drives one instance of its audio effect the way a
// DAW does: ModuleEntry, the class factory, the component with the controller
// interfaces on the same object, a host application that answers its name,
// the processing set-up, bus and component activation, process calls with a
// process context from a simulated transport, parameter changes through
// queues, programs through the program-change parameter, the component state
// through IBStream, and the release in order.
//
// Threads: one instance is driven from one thread at a time (tests may call
// Process from another thread, as hosts do). Process allocates nothing.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "tools/host/Transport.h"

namespace quarv::host {

// A stream over bytes in memory, as hosts hand the plug-in's state over.
// For tests it can misbehave: reads past failReadsAfter bytes report an
// error (still delivering their bytes when deliverOnFailure), and seeking can
// be refused.
class MemoryStream : public Steinberg::IBStream {
public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : mBytes(std::move(bytes)) {}
  virtual ~MemoryStream() = default;

  const std::vector<uint8_t>& Bytes() const { return mBytes; }
  int64_t failReadsAfter = -1;
  bool deliverOnFailure = false;
  bool canSeek = true;
  int reads = 0;

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode, Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  // Streams live on the host's side (stack or member); counting only.
  Steinberg::uint32 PLUGIN_API addRef() override { return ++mRefs; }
  Steinberg::uint32 PLUGIN_API release() override { return --mRefs; }

private:
  std::vector<uint8_t> mBytes;
  int64_t mPos = 0;
  std::atomic<Steinberg::uint32> mRefs{1};
};

// The changes of one parameter in one block: points in order of their offset.
class ParamQueue : public Steinberg::Vst::IParamValueQueue {
public:
  static constexpr int kMaxPoints = 64;

  void Reset(Steinberg::Vst::ParamID id);
  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return mId; }
  Steinberg::int32 PLUGIN_API getPointCount() override { return mCount; }
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
  Steinberg::Vst::ParamID mId = 0;
  Steinberg::int32 mCount = 0;
  std::array<Steinberg::int32, kMaxPoints> mOffsets{};
  std::array<Steinberg::Vst::ParamValue, kMaxPoints> mValues{};
};

// All parameter changes of one block, one queue per parameter; fixed
// capacity, so filling it allocates nothing.
class ParamChanges : public Steinberg::Vst::IParameterChanges {
public:
  static constexpr int kMaxQueues = 64;

  void Clear() { mCount = 0; }
  bool Empty() const { return mCount == 0; }
  Steinberg::int32 PLUGIN_API getParameterCount() override { return mCount; }
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
  Steinberg::int32 mCount = 0;
  std::array<ParamQueue, kMaxQueues> mQueues{};
};

// What the plug-in told the host through the component handler.
struct Vst3HostLog {
  struct Edit {
    Steinberg::Vst::ParamID id;
    double value;
  };
  std::vector<Steinberg::Vst::ParamID> beginEdits;
  std::vector<Edit> performEdits;
  std::vector<Steinberg::Vst::ParamID> endEdits;
  std::vector<Steinberg::int32> restarts;
  // Values the plug-in sent back through a block's output parameter changes.
  std::vector<Edit> outputChanges;
};

class Vst3Plugin {
public:
  struct FactoryInfo {
    std::string vendor, url, email;
    int32_t flags = 0;
  };
  struct ClassInfo {
    std::array<uint8_t, 16> cid{};
    int32_t cardinality = 0;
    std::string category, name, subCategories, vendor, version, sdkVersion;
    uint32_t classFlags = 0;
  };

  // The module file of a bundle (path/Contents/<arch>-linux/<name>.so); a
  // path that is no folder is taken as the module itself.
  static std::string ModulePathOf(const std::string& path);

  // Loads the module, calls ModuleEntry, takes the factory, creates the first
  // audio-effect class and initialises it with a host application answering
  // hostName. Returns null with a one-line reason.
  static std::unique_ptr<Vst3Plugin> Load(const std::string& path, std::string* error,
                                          const std::string& hostName = "Quarvelline Host");
  // Deactivates, terminates and releases the instance, releases the factory,
  // calls ModuleExit and unloads the module.
  ~Vst3Plugin();

  Vst3Plugin(const Vst3Plugin&) = delete;
  Vst3Plugin& operator=(const Vst3Plugin&) = delete;

  Steinberg::IPluginFactory* Factory() const { return mFactory; }
  Steinberg::Vst::IComponent* Component() const { return mComponent; }
  Steinberg::Vst::IAudioProcessor* Processor() const { return mProcessor; }
  Steinberg::Vst::IEditController* Controller() const { return mController; }
  // Null when the plug-in has no units.
  Steinberg::Vst::IUnitInfo* Units() const { return mUnits; }

  FactoryInfo GetFactoryInfo() const;
  ClassInfo GetClassInfo() const { return mClass; }
  std::string HostName() const { return mHostName; }

  // terminate, then initialize again with the same host application.
  bool Reinitialize();

  // Bus arrangements for the channel count (1 or 2) when the plug-in's buses
  // differ, processing set-up, bus activation, component activation and
  // processing on. False with the step that failed in *error.
  bool Configure(double sampleRate, int maxBlock, bool doublePrecision, int channels = 2,
                 std::string* error = nullptr);
  void Stop();
  bool Configured() const { return mActive; }
  int Channels() const { return mChannels; }
  int MaxBlock() const { return mSetup.maxSamplesPerBlock; }
  bool DoublePrecision() const { return mSetup.symbolicSampleSize == Steinberg::Vst::kSample64; }

  // Parameters as the controller lists them.
  int NumParams() const;
  Steinberg::Vst::ParameterInfo ParamInfo(int index) const;
  std::string ParamTitle(int index) const;
  std::string ParamUnits(int index) const;
  // The controller's reading of a text; false when it refuses.
  bool ParamValueOfString(Steinberg::Vst::ParamID id, const std::string& text, double* normalized) const;
  // Controller index of the parameter with this title (exact), or -1.
  int FindParam(const std::string& title) const;
  // Id of the parameter flagged as program change, or kNoParamId.
  Steinberg::Vst::ParamID ProgramChangeParam() const;
  double ParamNormalized(Steinberg::Vst::ParamID id) const { return mController->getParamNormalized(id); }
  std::string ParamDisplay(Steinberg::Vst::ParamID id, double normalized) const;

  // Programs of the first program list.
  int NumPrograms() const;
  std::string ProgramName(int index) const;

  // Adds a point to the changes the next process call carries.
  bool QueueChange(Steinberg::Vst::ParamID id, double value, int32_t sampleOffset = 0);
  // The program-change parameter set to the program's normalised index, sent
  // in a process call without audio.
  bool RecallProgram(int index);
  // A process call with no audio buses that carries what is queued.
  Steinberg::tresult Flush();

  // One block through one bus each way of Channels() channels. The transport
  // advances by the frames while playing.
  Steinberg::tresult Process(float* const* in, float* const* out, int frames);
  Steinberg::tresult Process(double* const* in, double* const* out, int frames);
  // A call as the caller built it; the process context (when the transport
  // has one) and the queued changes are filled in where the data has none.
  Steinberg::tresult ProcessData(Steinberg::Vst::ProcessData& data);

  std::vector<uint8_t> SaveState();
  Steinberg::tresult LoadState(const std::vector<uint8_t>& bytes);
  Steinberg::tresult LoadState(MemoryStream& stream);

  Transport transport;
  Vst3HostLog log;

private:
  class HostApp;
  class Handler;

  Vst3Plugin() = default;
  void FillContext();
  void Advance(int frames);
  template <typename T>
  Steinberg::tresult ProcessBus(T* const* in, T* const* out, int frames);

  void* mLibrary = nullptr;
  bool mEntered = false;
  Steinberg::IPluginFactory* mFactory = nullptr;
  Steinberg::Vst::IComponent* mComponent = nullptr;
  Steinberg::Vst::IAudioProcessor* mProcessor = nullptr;
  Steinberg::Vst::IEditController* mController = nullptr;
  Steinberg::Vst::IUnitInfo* mUnits = nullptr;
  std::unique_ptr<HostApp> mHostApp;
  std::unique_ptr<Handler> mHandler;
  std::string mHostName;
  ClassInfo mClass;
  bool mInitialized = false;
  bool mActive = false;
  int mChannels = 2;
  Steinberg::Vst::ProcessSetup mSetup{};
  Steinberg::Vst::ProcessContext mContext{};
  ParamChanges mChanges;
  ParamChanges mOutChanges;
};

}  // namespace quarv::host
