// The VST 3 binding's state: the component and the controller state read from
// a stream of any bytes (that may also fail part way), then saved again.
// Every parameter must stay inside its range.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/Quarvelline.h"
#include "tools/host/Vst3Plugin.h"

using quarv::host::MemoryStream;

namespace {

CLS_QUARVELLINE& Plug() {
  static CLS_QUARVELLINE* plug = [] {
    auto* p = new CLS_QUARVELLINE(nullptr);
    p->initialize(nullptr);
    return p;
  }();
  return *plug;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CLS_QUARVELLINE& plug = Plug();
  // The first byte says how the stream behaves, the rest is its content.
  const uint8_t mode = size > 0 ? data[0] : 0;
  MemoryStream in(size > 0 ? std::vector<uint8_t>(data + 1, data + size) : std::vector<uint8_t>());
  if (mode & 1) in.failReadsAfter = mode >> 3;
  in.deliverOnFailure = (mode & 2) != 0;
  in.canSeek = (mode & 4) == 0;
  Steinberg::Vst::IComponent* component = &plug;
  Steinberg::Vst::IEditController* controller = &plug;
  if (mode & 0x80) {
    controller->setState(&in);
  } else {
    component->setState(&in);
  }
  MemoryStream out;
  component->getState(&out);
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParameter* p = plug.GetParam(i);
    if (!(p->Value() >= p->Min() && p->Value() <= p->Max())) __builtin_trap();
  }
  return 0;
}
