// PNG images decoded from memory into 32-bit bitmaps.
#pragma once

#include <cstddef>

#include "graphics/raster/LiceBitmap.h"

// Decodes the image to 8 bits per channel with straight alpha (A = 255 where
// the image has no alpha channel) into a new top-down bitmap of its size.
// Returns nullptr for anything that is not a complete, valid PNG, and for
// images over 16384 pixels on a side. The caller owns the result.
// Threads: any; allocates.
LICE_MemBitmap* LICE_DecodePNG(const void* data, size_t length);
