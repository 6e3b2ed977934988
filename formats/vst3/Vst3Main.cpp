// Entry points of the VST 3 module: the class factory (GetPluginFactory) with
// its one audio-effect class, and the module's entry and exit, ModuleEntry and
// ModuleExit on Linux (InitDll and ExitDll elsewhere, exported here too).
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "engine/Quarvelline.h"
#include "formats/ModuleExport.h"
#include "pluginterfaces/base/ipluginbase.h"

using namespace Steinberg;

namespace {

// The class id: two fixed words, the maker id and the unique id, laid out as
// the interfaces lay out every id on this platform.
const FUID& ClassId() {
  static const FUID cid(IPlugVST3::kClassIdWord1, IPlugVST3::kClassIdWord2,
                        static_cast<uint32>(kQuarvellineMakerId), static_cast<uint32>(kQuarvellineUniqueId));
  return cid;
}

constexpr const char* kVendor = "Daskery";
constexpr const char* kVendorUrl = "https://daskery.example";

class Factory : public IPluginFactory2 {
public:
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kInvalidArgument;
    if (std::memcmp(iid, FUnknown::iid.toTUID(), sizeof(TUID)) == 0 ||
        std::memcmp(iid, IPluginFactory::iid.toTUID(), sizeof(TUID)) == 0 ||
        std::memcmp(iid, IPluginFactory2::iid.toTUID(), sizeof(TUID)) == 0) {
      addRef();
      *obj = static_cast<IPluginFactory2*>(this);
      return kResultOk;
    }
    return kNoInterface;
  }
  // The one factory lives as long as the module; the count only answers.
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override { return --mRefs; }

  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
    if (!info) return kInvalidArgument;
    *info = PFactoryInfo(kVendor, kVendorUrl, "", PFactoryInfo::kUnicode);
    return kResultOk;
  }

  int32 PLUGIN_API countClasses() override { return 1; }

  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
    if (!info || index != 0) return kInvalidArgument;
    TUID cid;
    ClassId().toTUID(cid);
    *info = PClassInfo(cid, PClassInfo::kManyInstances, kVstAudioEffectClass, "Quarvelline");
    return kResultOk;
  }

  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
    if (!info || index != 0) return kInvalidArgument;
    TUID cid;
    ClassId().toTUID(cid);
    *info = PClassInfo2(cid, PClassInfo::kManyInstances, kVstAudioEffectClass, "Quarvelline",
                        Vst::kSimpleModeSupported, Vst::PlugType::kFx, kVendor, "1.0.0", "VST 3.6.5");
    return kResultOk;
  }

  tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid) return kInvalidArgument;
    TUID ours;
    ClassId().toTUID(ours);
    if (std::memcmp(cid, ours, sizeof(TUID)) != 0) return kNoInterface;
    std::lock_guard<std::mutex> lock(IPlugBase::CreationLock());
    CLS_QUARVELLINE* plug = nullptr;
    try {
      plug = new CLS_QUARVELLINE(nullptr);
    } catch (...) {
      // Nothing may cross into the host.
      return kOutOfMemory;
    }
    FUnknown* processor = static_cast<Vst::IAudioProcessor*>(plug);
    // The host's id may sit anywhere; the interfaces compare ids as 8-byte words.
    alignas(8) TUID wanted;
    std::memcpy(wanted, iid, sizeof(TUID));
    const tresult result = processor->queryInterface(wanted, obj);
    processor->release();
    return result == kResultOk ? kResultOk : kNoInterface;
  }

private:
  std::atomic<uint32> mRefs{0};
};

Factory& TheFactory() {
  static Factory factory;
  return factory;
}

// Entries minus exits; the module is in use while it is positive.
std::atomic<int> gModuleEntries{0};

}  // namespace

QUARV_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory() {
  Factory& factory = TheFactory();
  factory.addRef();
  return &factory;
}

QUARV_EXPORT bool ModuleEntry(void*) {
  ++gModuleEntries;
  return true;
}

QUARV_EXPORT bool ModuleExit() {
  // An exit without its entry is refused.
  int entries = gModuleEntries.load();
  while (entries > 0 && !gModuleEntries.compare_exchange_weak(entries, entries - 1)) {
  }
  return entries > 0;
}

QUARV_EXPORT bool InitDll() { return ModuleEntry(nullptr); }

QUARV_EXPORT bool ExitDll() { return ModuleExit(); }
