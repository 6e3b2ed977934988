// The VST 2.4 binding's chunks: effSetChunk with any bytes, as a bank (index
// 0) or a program, then the state handed out again and a block processed.
// Every parameter must stay inside its range and the output finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/Quarvelline.h"

namespace {

CLS_QUARVELLINE& Plug() {
  static CLS_QUARVELLINE* plug = [] {
    auto* p = new CLS_QUARVELLINE(nullptr);
    AEffect* e = p->GetAEffect();
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 64, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    return p;
  }();
  return *plug;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CLS_QUARVELLINE& plug = Plug();
  AEffect* e = plug.GetAEffect();
  const int32_t index = size > 0 && (data[0] & 1) ? 1 : 0;
  std::vector<uint8_t> bytes(data, data + size);
  e->dispatcher(e, effSetChunk, index, static_cast<intptr_t>(bytes.size()), bytes.empty() ? nullptr : bytes.data(),
                0.0f);
  void* out = nullptr;
  e->dispatcher(e, effGetChunk, index, 0, &out, 0.0f);
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParameter* p = plug.GetParam(i);
    if (!(p->Value() >= p->Min() && p->Value() <= p->Max())) __builtin_trap();
  }
  float l[64], r[64];
  for (int i = 0; i < 64; ++i) l[i] = r[i] = 0.5f * static_cast<float>(i % 7) - 1.0f;
  float* io[2] = {l, r};
  e->processReplacing(e, io, io, 64);
  for (int i = 0; i < 64; ++i) {
    if (!std::isfinite(l[i]) || !std::isfinite(r[i])) __builtin_trap();
  }
  return 0;
}
