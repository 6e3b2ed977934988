// PNG decoding of any bytes: a bitmap or nothing, never more than the size
// limits allow.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "graphics/raster/LicePng.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<LICE_MemBitmap> bm(LICE_DecodePNG(data, size));
  if (bm && (bm->Width() > 8192 || bm->Height() > 8192 || bm->Width() <= 0 || bm->Height() <= 0)) __builtin_trap();
  return 0;
}
