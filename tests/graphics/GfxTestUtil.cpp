#include "GfxTestUtil.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "graphics/raster/LicePng.h"

namespace gfxtest {

void Fill(LICE_IBitmap* bm, LICE_pixel p) {
  for (int y = 0; y < bm->Height(); ++y) std::fill_n(LICE_Row(bm, y), bm->Width(), p);
}

std::vector<uint8_t> EncodePng(LICE_IBitmap* bm, bool withAlpha) { return LICE_EncodePNG(bm, withAlpha); }

bool WritePng(LICE_IBitmap* bm, const std::string& path) { return LICE_WritePNG(bm, path.c_str(), true); }

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
