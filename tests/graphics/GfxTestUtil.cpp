#include "GfxTestUtil.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "graphics/raster/LicePng.h"

namespace gfxtest {

void Fill(LICE_IBitmap* bm, LICE_pixel p) {
  for (int y = 0; y < bm->Height(); ++y) std::fill_n(LICE_Row(bm, y), bm->Width(), p);
}

std::vector<uint8_t> EncodePng(LICE_IBitmap* bm, bool withAlpha) {
  std::vector<uint8_t> rgba;
  const int w = bm->Width(), h = bm->Height();
  const int ch = withAlpha ? 4 : 3;
  rgba.reserve(static_cast<size_t>(w) * h * ch);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const LICE_pixel p = At(bm, x, y);
      rgba.push_back(static_cast<uint8_t>(LICE_R(p)));
      rgba.push_back(static_cast<uint8_t>(LICE_G(p)));
      rgba.push_back(static_cast<uint8_t>(LICE_B(p)));
      if (withAlpha) rgba.push_back(static_cast<uint8_t>(LICE_A(p)));
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

bool WritePng(LICE_IBitmap* bm, const std::string& path) {
  const std::vector<uint8_t> bytes = EncodePng(bm);
  if (bytes.empty()) return false;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::unique_ptr<LICE_MemBitmap> ReadPng(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return nullptr;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  return std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(bytes.data(), bytes.size()));
}

int CompareBitmaps(LICE_IBitmap* a, LICE_IBitmap* b, int tolerance, int* overCount) {
  if (a->Width() != b->Width() || a->Height() != b->Height()) return -1;
  int worst = 0, over = 0;
  for (int y = 0; y < a->Height(); ++y) {
    for (int x = 0; x < a->Width(); ++x) {
      const LICE_pixel p = At(a, x, y), q = At(b, x, y);
      int d = 0;
      for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(static_cast<int>((p >> s) & 0xff) - static_cast<int>((q >> s) & 0xff)));
      worst = std::max(worst, d);
      if (d > tolerance) ++over;
    }
  }
  if (overCount) *overCount = over;
  return worst;
}

bool InkBox(LICE_IBitmap* bm, LICE_pixel background, int box[4]) {
  bool any = false;
  for (int y = 0; y < bm->Height(); ++y) {
    for (int x = 0; x < bm->Width(); ++x) {
      if (At(bm, x, y) == background) continue;
      if (!any) {
        box[0] = box[2] = x;
        box[1] = box[3] = y;
        any = true;
      }
      box[0] = std::min(box[0], x);
      box[1] = std::min(box[1], y);
      box[2] = std::max(box[2], x);
      box[3] = std::max(box[3], y);
    }
  }
  return any;
}

}  // namespace gfxtest
