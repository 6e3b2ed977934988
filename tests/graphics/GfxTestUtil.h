// Helpers shared by the graphics tests: PNG files in and out, pixel access
// and a bitmap stored bottom-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/raster/LiceBitmap.h"

namespace gfxtest {

// Rows stored bottom-up, for checking that every operation still treats row 0
// as the top row.
class FlippedBitmap : public LICE_MemBitmap {
public:
  FlippedBitmap(int w, int h) : LICE_MemBitmap(w, h) {}
  bool Flipped() const override { return true; }
};

inline LICE_pixel& At(LICE_IBitmap* bm, int x, int y) { return LICE_Row(bm, y)[x]; }

void Fill(LICE_IBitmap* bm, LICE_pixel p);

// PNG bytes of the bitmap (straight alpha kept), or empty on failure.
std::vector<uint8_t> EncodePng(LICE_IBitmap* bm, bool withAlpha = true);
bool WritePng(LICE_IBitmap* bm, const std::string& path);
std::unique_ptr<LICE_MemBitmap> ReadPng(const std::string& path);

// Largest per-channel difference, and the number of pixels differing by more
// than tolerance; sizes must match (otherwise returns -1).
int CompareBitmaps(LICE_IBitmap* a, LICE_IBitmap* b, int tolerance, int* overCount);

// Bounding box of pixels differing from background: l, t, r, b inclusive;
// false when there are none.
bool InkBox(LICE_IBitmap* bm, LICE_pixel background, int box[4]);

}  // namespace gfxtest
