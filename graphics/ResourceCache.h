// The process-wide bitmap and font caches, shared by every editor of the
// module. Entries are never removed while the module is loaded; at unload
// every bitmap and font is destroyed.
//
// Threads: any. Each cache has its own lock, held for one lookup or one
// insertion, never across the loading in between, so two editors loading the
// same id at once may both insert it; lookups then return the first entry.
#pragma once

class LICE_IBitmap;
class LICE_CachedFont;

namespace quarv {

// The first bitmap inserted under id, or nullptr.
LICE_IBitmap* BitmapCacheFind(int id);
// Takes ownership of bitmap (ignored when null).
void BitmapCacheAdd(int id, LICE_IBitmap* bitmap);
int BitmapCacheCount();

// Fonts are keyed by size, orientation, style bits and the exact font name
// (case-sensitive, up to 36 characters).
LICE_CachedFont* FontCacheFind(int size, int orientation, int style, const char* name);
// Takes ownership of font (ignored when null).
void FontCacheAdd(int size, int orientation, int style, const char* name, LICE_CachedFont* font);
int FontCacheCount();

}  // namespace quarv
