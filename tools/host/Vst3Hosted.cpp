#include "tools/host/Vst3Hosted.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/host/Vst3Plugin.h"

namespace quarv::host {
namespace {

using Steinberg::kResultOk;
using Steinberg::kResultTrue;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParameterInfo;

// A VST 3 component behind the host's interface. The controller's program
// change parameter is left out of the parameter list: programs are reached
// through NumPrograms and SetProgram.
class Vst3Hosted final : public HostedPlugin {
public:
  explicit Vst3Hosted(std::unique_ptr<Vst3Plugin> plug) : mPlug(std::move(plug)) {
    for (int i = 0; i < mPlug->NumParams(); ++i) {
      const ParameterInfo info = mPlug->ParamInfo(i);
      if (info.flags & ParameterInfo::kIsProgramChange) continue;
      mParams.push_back({info.id, i, info.stepCount});
    }
  }
  ~Vst3Hosted() override {
    if (mStarted) Stop();
  }

  std::string Format() const override { return "VST 3"; }
  std::string Name() override { return mPlug->GetClassInfo().name; }
  std::string Vendor() override {
    const std::string vendor = mPlug->GetClassInfo().vendor;
    return vendor.empty() ? mPlug->GetFactoryInfo().vendor : vendor;
  }
  // "1.2.3" as 10203, the decimal form hosts show.
  int32_t Version() override {
    int v[3] = {0, 0, 0};
    std::sscanf(mPlug->GetClassInfo().version.c_str(), "%d.%d.%d", &v[0], &v[1], &v[2]);
    return v[0] * 10000 + v[1] * 100 + v[2];
  }
  // As a host asks: a view of the editor that embeds in this platform's
  // windows.
  bool HasEditor() override {
#if defined(_WIN32)
    const char* platform = Steinberg::kPlatformTypeHWND;
#else
    const char* platform = Steinberg::kPlatformTypeX11EmbedWindowID;
#endif
    Steinberg::IPlugView* view = mPlug->Controller()->createView("editor");
    if (!view) return false;
    const bool embeds = view->isPlatformTypeSupported(platform) == kResultTrue;
    view->release();
    return embeds;
  }
  bool CanProcessDouble() override {
    return mPlug->Processor()->canProcessSampleSize(Steinberg::Vst::kSample64) == kResultTrue;
  }
  int LatencyFrames() override { return static_cast<int>(mPlug->Processor()->getLatencySamples()); }

  int NumParams() override { return static_cast<int>(mParams.size()); }
  std::string ParamName(int index) override { return Valid(index) ? mPlug->ParamTitle(At(index).listIndex) : ""; }
  std::string ParamLabel(int index) override { return Valid(index) ? mPlug->ParamUnits(At(index).listIndex) : ""; }
  std::string ParamDisplay(int index) override {
    return Valid(index) ? mPlug->ParamDisplay(At(index).id, mPlug->ParamNormalized(At(index).id)) : "";
  }
  double ParamNormalized(int index) override { return Valid(index) ? mPlug->ParamNormalized(At(index).id) : 0.0; }
  void SetParamNormalized(int index, double value) override {
    if (!Valid(index)) return;
    mPlug->QueueChange(At(index).id, value);
    Deliver();
  }
  // A list's own texts first (the controller reads numbers only), then the
  // controller's reading of the text.
  bool SetParamFromText(int index, const std::string& text) override {
    if (!Valid(index)) return false;
    const std::vector<std::string> texts = ParamTexts(index);
    const auto it = std::find(texts.begin(), texts.end(), text);
    double n = 0.0;
    if (it != texts.end()) {
      n = texts.size() > 1 ? static_cast<double>(it - texts.begin()) / static_cast<double>(texts.size() - 1) : 0.0;
    } else if (!mPlug->ParamValueOfString(At(index).id, text, &n)) {
      return false;
    }
    SetParamNormalized(index, n);
    return true;
  }
  std::vector<std::string> ParamTexts(int index) override {
    if (!Valid(index) || At(index).steps < 1) return {};
    std::vector<std::string> texts;
    for (int i = 0; i <= At(index).steps; ++i) {
      texts.push_back(mPlug->ParamDisplay(At(index).id, static_cast<double>(i) / At(index).steps));
    }
    // A stepped parameter that shows numbers is no list.
    for (const std::string& t : texts) {
      if (!t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '-') &&
          t.find_first_not_of("-+0123456789.") == std::string::npos) {
        return {};
      }
    }
    return texts;
  }
  std::optional<std::string> DisplayOfNormalized(int index, double normalized) override {
    if (!Valid(index)) return std::nullopt;
    return mPlug->ParamDisplay(At(index).id, normalized);
  }

  int NumPrograms() override { return mPlug->NumPrograms(); }
  std::string ProgramName(int index) override { return mPlug->ProgramName(index); }
  int CurrentProgram() override {
    const ParamID id = mPlug->ProgramChangeParam();
    const int n = NumPrograms();
    if (id == Steinberg::Vst::kNoParamId || n < 2) return 0;
    return static_cast<int>(std::lround(mPlug->ParamNormalized(id) * (n - 1)));
  }
  void SetProgram(int index) override {
    mPlug->RecallProgram(index);
    if (mStarted) return;
    // Outside processing the change is delivered at once.
    mPlug->Flush();
  }

  std::vector<uint8_t> SaveState() override { return mPlug->SaveState(); }
  bool LoadState(const std::vector<uint8_t>& bytes) override { return mPlug->LoadState(bytes) == kResultOk; }

  void Configure(double sampleRate, int maxBlock, int channels, Precision precision) override {
    mRate = sampleRate;
    mMaxBlock = maxBlock;
    mChannels = std::clamp(channels, 1, 2);
    mPrecision = precision;
    mPlug->transport.sampleRate = sampleRate;
  }
  void Start() override {
    std::string error;
    mPlug->Configure(mRate, mMaxBlock, mPrecision == Precision::kDouble, mChannels, &error);
    mStarted = true;
  }
  void Stop() override {
    mPlug->Stop();
    mStarted = false;
  }
  void Process(float* const* in, float* const* out, int frames) override { mPlug->Process(in, out, frames); }
  void Process(double* const* in, double* const* out, int frames) override { mPlug->Process(in, out, frames); }

  Transport& GetTransport() override { return mPlug->transport; }
  Vst3Plugin* AsVst3() override { return mPlug.get(); }

private:
  struct Param {
    ParamID id;
    int listIndex;
    int steps;
  };
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(mParams.size()); }
  const Param& At(int index) const { return mParams[static_cast<size_t>(index)]; }
  // Queued changes travel with the next process call; outside processing a
  // call without audio carries them at once, as hosts do for edits made while
  // stopped.
  void Deliver() {
    if (!mStarted) mPlug->Flush();
  }

  std::unique_ptr<Vst3Plugin> mPlug;
  std::vector<Param> mParams;
  bool mStarted = false;
  double mRate = 48000.0;
  int mMaxBlock = 512;
  int mChannels = 2;
  Precision mPrecision = Precision::kSingle;
};

}  // namespace

std::unique_ptr<HostedPlugin> OpenVst3Plugin(const std::string& path, std::string* error) {
  std::unique_ptr<Vst3Plugin> plug = Vst3Plugin::Load(path, error);
  if (!plug) return nullptr;
  return std::make_unique<Vst3Hosted>(std::move(plug));
}

}  // namespace quarv::host
