#include "graphics/raster/LicePng.h"

#include <png.h>

#include <bit>
#include <cstring>
#include <memory>

namespace {
constexpr png_uint_32 kMaxSide = 16384;
// libpng writes B, G, R, A bytes; they read as this layer's pixels only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);
}  // namespace

LICE_MemBitmap* LICE_DecodePNG(const void* data, size_t length) {
  if (!data || length < 8) return nullptr;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  // libpng reports failures through the return values of the simplified
  // interface; it never unwinds through this code.
  if (!png_image_begin_read_from_memory(&image, data, length)) return nullptr;
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
    png_image_free(&image);
    return nullptr;
  }
  // BGRA bytes are exactly this layer's little-endian pixels.
  image.format = PNG_FORMAT_BGRA;
  std::unique_ptr<LICE_MemBitmap> bm(
      new LICE_MemBitmap(static_cast<int>(image.width), static_cast<int>(image.height)));
  if (!bm->Bits()) {
    png_image_free(&image);
    return nullptr;
  }
  const png_int_32 stride = static_cast<png_int_32>(bm->RowSpan() * sizeof(LICE_pixel));
  if (!png_image_finish_read(&image, nullptr, bm->Bits(), stride, nullptr)) {
    png_image_free(&image);
    return nullptr;
  }
  png_image_free(&image);
  return bm.release();
}
