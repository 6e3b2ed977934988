// PNG images: decoded from memory into 32-bit bitmaps, and encoded from them.
#pragma once

#include <cstddef>
#include <vector>

#include "graphics/raster/LiceBitmap.h"

// Decodes the image to 8 bits per channel with straight alpha (A = 255 where
// the image has no alpha channel) into a new top-down bitmap of its size.
// Returns nullptr for anything that is not a complete, valid PNG, and, before
// allocating, for images over 8192 pixels on a side or 64 MiB decoded. The
// caller owns the result.
// Threads: any; allocates.
LICE_MemBitmap* LICE_DecodePNG(const void* data, size_t length);

// PNG bytes of the bitmap, 8 bits per channel: RGBA with the straight alpha
// kept as it is, or RGB (alpha dropped) when withAlpha is false. Rows are
// written top first, whatever the storage order. Empty for an absent or empty
// bitmap or when the PNG library fails.
// Threads: any (one bitmap per thread at a time); allocates.
std::vector<unsigned char> LICE_EncodePNG(LICE_IBitmap* bm, bool withAlpha);

// Writes LICE_EncodePNG's bytes to a file, replacing it. False when there is
// nothing to write or the file cannot be written completely.
// Threads: any; allocates and blocks on the file system.
bool LICE_WritePNG(LICE_IBitmap* bm, const char* path, bool withAlpha);
