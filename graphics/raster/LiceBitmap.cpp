#include "graphics/raster/LiceBitmap.h"

#include <new>

namespace {
// Half a gigabyte of pixels: larger requests are refused rather than tried.
constexpr size_t kMaxPixels = size_t{1} << 27;
}  // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h, int lineAlign) : align_(lineAlign > 1 ? lineAlign : 0) {
  Resize(w, h);
}

bool LICE_MemBitmap::Resize(int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == w_ && h == h_ && (bits_ || w == 0 || h == 0)) return false;
  size_t span = static_cast<size_t>(w);
  if (align_ > 0) span = (span + static_cast<size_t>(align_) - 1) / static_cast<size_t>(align_) * static_cast<size_t>(align_);
  bits_.reset();
  w_ = h_ = span_ = 0;
  if (w == 0 || h == 0) {
    w_ = w;
    h_ = h;
    span_ = static_cast<int>(span);
    return true;
  }
  if (span > kMaxPixels / static_cast<size_t>(h)) return true;
  const size_t n = span * static_cast<size_t>(h);
  bits_.reset(new (std::nothrow) LICE_pixel[n]());
  if (!bits_) return true;
  w_ = w;
  h_ = h;
  span_ = static_cast<int>(span);
  return true;
}
