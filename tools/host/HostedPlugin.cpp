#include "tools/host/HostedPlugin.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Hosted.h"

namespace quarv::host {
namespace {

// The answer of this project's plug-ins to their vendor-specific queries.
constexpr intptr_t kVendorAnswered = 0xBEEF;
constexpr int32_t kVendorDisplayOfNormalized = 7;
constexpr int32_t kVendorTextCount = 8;

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A VST 2.4 module behind the host's interface.
class Vst2Hosted final : public HostedPlugin {
public:
  explicit Vst2Hosted(std::unique_ptr<Vst2Plugin> plug) : mPlug(std::move(plug)) {
    mPlug->Dispatch(effOpen);
  }
  ~Vst2Hosted() override {
    if (mStarted) Stop();
  }

  std::string Format() const override { return "VST 2.4"; }
  std::string Name() override { return Text(effGetEffectName); }
  std::string Vendor() override { return Text(effGetVendorString); }
  int32_t Version() override { return static_cast<int32_t>(mPlug->Dispatch(effGetVendorVersion)); }
  bool HasEditor() override { return (mPlug->Effect()->flags & effFlagsHasEditor) != 0; }
  bool CanProcessDouble() override {
    return (mPlug->Effect()->flags & effFlagsCanDoubleReplacing) && mPlug->Effect()->processDoubleReplacing;
  }
  int LatencyFrames() override { return std::max(0, mPlug->Effect()->initialDelay); }

  int NumParams() override { return mPlug->NumParams(); }
  std::string ParamName(int index) override { return mPlug->ParamName(index); }
  std::string ParamLabel(int index) override { return mPlug->ParamLabel(index); }
  std::string ParamDisplay(int index) override { return mPlug->ParamDisplay(index); }
  double ParamNormalized(int index) override { return mPlug->GetParameter(index); }
  void SetParamNormalized(int index, double value) override {
    mPlug->SetParameter(index, static_cast<float>(value));
  }
  bool SetParamFromText(int index, const std::string& text) override {
    return mPlug->SetParamFromText(index, text);
  }

  std::vector<std::string> ParamTexts(int index) override {
    int32_t count = 0;
    if (mPlug->Dispatch(effVendorSpecific, kVendorTextCount, index, &count) != kVendorAnswered || count < 1) {
      return {};
    }
    std::vector<std::string> texts;
    for (int32_t i = 0; i < count; ++i) {
      const double n = count > 1 ? static_cast<double>(i) / (count - 1) : 0.0;
      std::optional<std::string> text = DisplayOfNormalized(index, n);
      if (!text) return {};
      texts.push_back(*text);
    }
    return texts;
  }

  std::optional<std::string> DisplayOfNormalized(int index, double normalized) override {
    char buf[256] = {};
    if (mPlug->Dispatch(effVendorSpecific, kVendorDisplayOfNormalized, index, buf,
                        static_cast<float>(normalized)) != kVendorAnswered) {
      return std::nullopt;
    }
    return std::string(buf);
  }

  int NumPrograms() override { return mPlug->NumPrograms(); }
  std::string ProgramName(int index) override { return mPlug->ProgramName(index); }
  int CurrentProgram() override { return mPlug->CurrentProgram(); }
  void SetProgram(int index) override { mPlug->SetProgram(index); }

  // The bank chunk: it stores the current program before saving, so the
  // state carries what is live.
  std::vector<uint8_t> SaveState() override { return mPlug->GetChunk(false); }
  bool LoadState(const std::vector<uint8_t>& bytes) override { return mPlug->SetChunk(bytes, false); }

  void Configure(double sampleRate, int maxBlock, int channels, Precision) override {
    mPlug->transport.sampleRate = sampleRate;
    mPlug->Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    mPlug->Dispatch(effSetBlockSize, 0, maxBlock);
    // The host hands every input and output the plug-in declares a buffer;
    // channels the file does not have read silence and write to a spare.
    const AEffect* e = mPlug->Effect();
    mChannels = std::clamp(channels, 1, 2);
    mSilence.assign(static_cast<size_t>(maxBlock), 0.0);
    mSilenceF.assign(static_cast<size_t>(maxBlock), 0.0f);
    mSpare.assign(static_cast<size_t>(maxBlock), 0.0);
    mSpareF.assign(static_cast<size_t>(maxBlock), 0.0f);
    mIn.assign(static_cast<size_t>(std::max(e->numInputs, mChannels)), nullptr);
    mOut.assign(static_cast<size_t>(std::max(e->numOutputs, mChannels)), nullptr);
    mInF.assign(mIn.size(), nullptr);
    mOutF.assign(mOut.size(), nullptr);
    VstSpeakerArrangement in{}, out{};
    in.type = out.type = mChannels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
    in.numChannels = out.numChannels = mChannels;
    mPlug->Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out);
  }

  void Start() override {
    mPlug->Resume();
    mPlug->Dispatch(effStartProcess);
    mStarted = true;
  }

  void Stop() override {
    mPlug->Dispatch(effStopProcess);
    mPlug->Suspend();
    mStarted = false;
  }

  void Process(float* const* in, float* const* out, int frames) override {
    for (size_t c = 0; c < mInF.size(); ++c) mInF[c] = c < size_t(mChannels) ? in[c] : mSilenceF.data();
    for (size_t c = 0; c < mOutF.size(); ++c) mOutF[c] = c < size_t(mChannels) ? out[c] : mSpareF.data();
    mPlug->ProcessReplacing(mInF.data(), mOutF.data(), frames);
  }

  void Process(double* const* in, double* const* out, int frames) override {
    for (size_t c = 0; c < mIn.size(); ++c) mIn[c] = c < size_t(mChannels) ? in[c] : mSilence.data();
    for (size_t c = 0; c < mOut.size(); ++c) mOut[c] = c < size_t(mChannels) ? out[c] : mSpare.data();
    mPlug->ProcessDouble(mIn.data(), mOut.data(), frames);
  }

  Transport& GetTransport() override { return mPlug->transport; }
  Vst2Plugin* AsVst2() override { return mPlug.get(); }

private:
  std::string Text(int32_t opcode) {
    char buf[256] = {};
    mPlug->Dispatch(opcode, 0, 0, buf);
    return buf;
  }

  std::unique_ptr<Vst2Plugin> mPlug;
  bool mStarted = false;
  int mChannels = 2;
  std::vector<double> mSilence, mSpare;
  std::vector<float> mSilenceF, mSpareF;
  std::vector<double*> mIn, mOut;
  std::vector<float*> mInF, mOutF;
};

}  // namespace

std::unique_ptr<HostedPlugin> OpenPlugin(const std::string& path, std::string* error) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    *error = "cannot load module '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  if (EndsWith(trimmed, ".vst3")) return OpenVst3Plugin(trimmed, error);
  if (S_ISDIR(st.st_mode)) {
    *error = "cannot load module '" + path + "': it is a directory";
    return nullptr;
  }
  std::unique_ptr<Vst2Plugin> plug = Vst2Plugin::Load(path, error);
  if (!plug) return nullptr;
  return std::make_unique<Vst2Hosted>(std::move(plug));
}

}  // namespace quarv::host
