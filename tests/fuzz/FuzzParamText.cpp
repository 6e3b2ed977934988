// Parameter texts typed in a host: the first byte picks the parameter (ids
// beyond the nine included), the rest is the text. The VST 2.4 build reads it
// with effString2Parameter and the vendor-specific parse; the VST 3 build
// with getParamValueByString, then setParamNormalized and the display text.
// Every parameter must stay inside its range.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/Quarvelline.h"
#if defined(QUARV_BINDING_VST3)
#include "formats/vst3/Utf16.h"
#endif

namespace {

CLS_QUARVELLINE& Plug() {
  static CLS_QUARVELLINE* plug = [] {
    auto* p = new CLS_QUARVELLINE(nullptr);
#if defined(QUARV_BINDING_VST2)
    p->GetAEffect()->dispatcher(p->GetAEffect(), effOpen, 0, 0, nullptr, 0.0f);
#else
    p->initialize(nullptr);
#endif
    return p;
  }();
  return *plug;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CLS_QUARVELLINE& plug = Plug();
  const int index = size > 0 ? data[0] % 12 - 1 : 0;
  std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
#if defined(QUARV_BINDING_VST2)
  AEffect* e = plug.GetAEffect();
  char buffer[512] = {};
  std::strncpy(buffer, text.c_str(), sizeof buffer - 1);
  e->dispatcher(e, effString2Parameter, index, 0, buffer, 0.0f);
  e->dispatcher(e, effVendorSpecific, kVendorParamParseText, index, buffer, 0.0f);
  e->dispatcher(e, effGetParamDisplay, index, 0, buffer, 0.0f);
#else
  Steinberg::Vst::String128 text16{};
  quarv::vst3::Utf8ToUtf16(text.c_str(), text16, 128);
  const auto id = static_cast<Steinberg::Vst::ParamID>(index);
  Steinberg::Vst::ParamValue value = 0.0;
  if (plug.getParamValueByString(id, text16, value) == Steinberg::kResultOk) {
    plug.setParamNormalized(id, value);
    plug.getParamStringByValue(id, value, text16);
  }
#endif
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParameter* p = plug.GetParam(i);
    if (!(p->Value() >= p->Min() && p->Value() <= p->Max())) __builtin_trap();
  }
  return 0;
}
