#include "tools/host/Vst2Plugin.h"

#include <cstring>

#include "tools/host/ModuleLibrary.h"

namespace quarv::host {
namespace {

using EntryPoint = AEffect* (*)(audioMasterCallback);

// The instance being created: the plug-in may call back from inside its entry
// point, before the host has its record.
thread_local Vst2Plugin* tLoading = nullptr;

}  // namespace

std::unique_ptr<Vst2Plugin> Vst2Plugin::Load(const std::string& path, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return std::unique_ptr<Vst2Plugin>();
  };
  std::string why;
  void* lib = OpenModuleLibrary(path, &why);
  if (!lib) return fail("cannot load module " + path + ": " + why);
  auto entry = reinterpret_cast<EntryPoint>(ModuleSymbol(lib, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryPoint>(ModuleSymbol(lib, "main"));
  if (!entry) {
    CloseModuleLibrary(lib);
    return fail("module " + path + " has no VST 2.4 entry point (VSTPluginMain or main)");
  }
  std::unique_ptr<Vst2Plugin> plug(new Vst2Plugin());
  plug->mLibrary = lib;
  tLoading = plug.get();
  AEffect* effect = entry(&Vst2Plugin::HostCallback);
  tLoading = nullptr;
  if (!effect || effect->magic != kEffectMagic) {
    return fail("module " + path + " did not create a VST 2.4 plug-in");
  }
  effect->user = plug.get();
  plug->mEffect = effect;
  return plug;
}

Vst2Plugin::~Vst2Plugin() {
  if (mEffect) {
    if (mOpened) Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
    mEffect = nullptr;
  }
  CloseModuleLibrary(mLibrary);
}

intptr_t Vst2Plugin::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return mEffect ? mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt) : 0;
}

void Vst2Plugin::Open(double sampleRate, int blockSize) {
  transport.sampleRate = sampleRate;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
  mOpened = true;
}

void Vst2Plugin::Advance(int frames) {
  std::lock_guard<std::recursive_mutex> lock(mHostMutex);
  if (transport.playing || transport.recording) transport.samplePos += frames;
}

void Vst2Plugin::ProcessReplacing(float** in, float** out, int frames) {
  mEffect->processReplacing(mEffect, in, out, frames);
  Advance(frames);
}

void Vst2Plugin::ProcessAccumulating(float** in, float** out, int frames) {
  mEffect->process(mEffect, in, out, frames);
  Advance(frames);
}

void Vst2Plugin::ProcessDouble(double** in, double** out, int frames) {
  mEffect->processDoubleReplacing(mEffect, in, out, frames);
  Advance(frames);
}

std::string Vst2Plugin::ParamName(int index) {
  char buf[256] = {};
  Dispatch(effGetParamName, index, 0, buf);
  return buf;
}

std::string Vst2Plugin::ParamLabel(int index) {
  char buf[256] = {};
  Dispatch(effGetParamLabel, index, 0, buf);
  return buf;
}

std::string Vst2Plugin::ParamDisplay(int index) {
  char buf[256] = {};
  Dispatch(effGetParamDisplay, index, 0, buf);
  return buf;
}

int Vst2Plugin::FindParam(const std::string& name) {
  for (int i = 0; i < NumParams(); ++i) {
    if (ParamName(i) == name) return i;
  }
  return -1;
}

bool Vst2Plugin::SetParamFromText(int index, const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return Dispatch(effString2Parameter, index, 0, buf.data()) != 0;
}

std::string Vst2Plugin::ProgramName(int index) {
  char buf[256] = {};
  Dispatch(effGetProgramNameIndexed, index, 0, buf);
  return buf;
}

std::vector<uint8_t> Vst2Plugin::GetChunk(bool program) {
  void* data = nullptr;
  const intptr_t size = Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool Vst2Plugin::SetChunk(const std::vector<uint8_t>& bytes, bool program) {
  std::vector<uint8_t> copy = bytes;
  return Dispatch(effSetChunk, program ? 1 : 0, static_cast<intptr_t>(copy.size()), copy.data()) == 1;
}

intptr_t VST_CALL Vst2Plugin::HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                           void* ptr, float opt) {
  Vst2Plugin* host = effect && effect->user ? static_cast<Vst2Plugin*>(effect->user) : tLoading;
  if (opcode == audioMasterVersion) return 2400;
  return host ? host->Answer(opcode, index, value, ptr, opt) : 0;
}

intptr_t Vst2Plugin::Answer(int32_t opcode, int32_t index, intptr_t, void* ptr, float opt) {
  thread_local VstTimeInfo timeInfo;
  std::lock_guard<std::recursive_mutex> lock(mHostMutex);
  switch (opcode) {
    case audioMasterAutomate:
      log.automations.push_back({index, opt});
      return 0;
    case audioMasterGetTime: {
      ++log.timeQueries;
      if (!transport.timeInfoAvailable) return 0;
      std::memset(&timeInfo, 0, sizeof timeInfo);
      timeInfo.samplePos = transport.samplePos;
      timeInfo.sampleRate = transport.sampleRate;
      timeInfo.tempo = transport.tempo;
      timeInfo.ppqPos = transport.samplePos / transport.sampleRate * transport.tempo / 60.0;
      timeInfo.timeSigNumerator = transport.timeSigNumerator;
      timeInfo.timeSigDenominator = transport.timeSigDenominator;
      timeInfo.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
      if (transport.playing) timeInfo.flags |= kVstTransportPlaying;
      if (transport.recording) timeInfo.flags |= kVstTransportRecording;
      return reinterpret_cast<intptr_t>(&timeInfo);
    }
    case audioMasterGetSampleRate:
      return static_cast<intptr_t>(transport.sampleRate);
    case audioMasterGetVendorString:
      if (ptr) std::strncpy(static_cast<char*>(ptr), vendorString.c_str(), 63);
      return 1;
    case audioMasterGetProductString:
      ++log.productQueries;
      if (ptr) std::strncpy(static_cast<char*>(ptr), productString.c_str(), 63);
      return 1;
    case audioMasterGetVendorVersion:
      return vendorVersion;
    case audioMasterUpdateDisplay:
      ++log.updateDisplays;
      return 1;
    case audioMasterBeginEdit:
      log.beginEdits.push_back(index);
      return 1;
    case audioMasterEndEdit:
      log.endEdits.push_back(index);
      return 1;
    default:
      return 0;
  }
}

}  // namespace quarv::host
