#include "graphics/raster/LicePng.h"

#include <png.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// Larger than any image the editor could use: a decoder fed a small hostile
// file refuses such sizes before it allocates anything.
constexpr png_uint_32 kMaxSide = 8192;
constexpr uint64_t kMaxDecodedBytes = uint64_t{64} << 20;
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
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide ||
      uint64_t{image.width} * image.height * sizeof(LICE_pixel) > kMaxDecodedBytes) {
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

std::vector<unsigned char> LICE_EncodePNG(LICE_IBitmap* bm, bool withAlpha) {
  if (!bm || !bm->Bits() || bm->Width() <= 0 || bm->Height() <= 0) return {};
  const int w = bm->Width(), h = bm->Height();
  const size_t channels = withAlpha ? 4 : 3;
  std::vector<unsigned char> packed(static_cast<size_t>(w) * static_cast<size_t>(h) * channels);
  unsigned char* out = packed.data();
  for (int y = 0; y < h; ++y) {
    const LICE_pixel* row = LICE_Row(bm, y);
    for (int x = 0; x < w; ++x) {
      const LICE_pixel p = row[x];
      *out++ = static_cast<unsigned char>(LICE_R(p));
      *out++ = static_cast<unsigned char>(LICE_G(p));
      *out++ = static_cast<unsigned char>(LICE_B(p));
      if (withAlpha) *out++ = static_cast<unsigned char>(LICE_A(p));
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  // 8-bit samples are written as they are: the alpha stays straight.
  image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, packed.data(), 0, nullptr)) return {};
  std::vector<unsigned char> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, packed.data(), 0, nullptr)) return {};
  bytes.resize(size);
  return bytes;
}

bool LICE_WritePNG(LICE_IBitmap* bm, const char* path, bool withAlpha) {
  if (!path) return false;
  const std::vector<unsigned char> bytes = LICE_EncodePNG(bm, withAlpha);
  if (bytes.empty()) return false;
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}
