#include "graphics/ResourceCache.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/raster/LiceBitmap.h"
#include "graphics/raster/LiceText.h"

namespace quarv {
namespace {

constexpr size_t kFontNameChars = 36;

struct BitmapEntry {
  int id;
  std::unique_ptr<LICE_IBitmap> raster;
};

struct FontEntry {
  int size, orientation, style;
  std::string name;
  std::unique_ptr<LICE_CachedFont> font;
};

std::string FontKeyName(const char* name) {
  std::string s = name ? name : "";
  if (s.size() > kFontNameChars) s.resize(kFontNameChars);
  return s;
}

// A list of entries and the lock that guards it. Function-local statics:
// built on first use, destroyed at module unload, after which nothing of this
// module draws.
template <class Entry>
struct Cache {
  std::mutex mutex;
  std::vector<Entry> entries;

  int Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(entries.size());
  }
};

Cache<BitmapEntry>& Bitmaps() {
  static Cache<BitmapEntry> cache;
  return cache;
}

Cache<FontEntry>& Fonts() {
  static Cache<FontEntry> cache;
  return cache;
}

}  // namespace

LICE_IBitmap* BitmapCacheFind(int id) {
  auto& c = Bitmaps();
  std::lock_guard<std::mutex> lock(c.mutex);
  for (const BitmapEntry& e : c.entries)
    if (e.id == id) return e.raster.get();
  return nullptr;
}

void BitmapCacheAdd(int id, LICE_IBitmap* bitmap) {
  if (!bitmap) return;
  auto& c = Bitmaps();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.entries.push_back(BitmapEntry{id, std::unique_ptr<LICE_IBitmap>(bitmap)});
}

int BitmapCacheCount() { return Bitmaps().Count(); }

LICE_CachedFont* FontCacheFind(int size, int orientation, int style, const char* name) {
  const std::string key = FontKeyName(name);
  auto& c = Fonts();
  std::lock_guard<std::mutex> lock(c.mutex);
  for (const FontEntry& e : c.entries)
    if (e.size == size && e.orientation == orientation && e.style == style && e.name == key) return e.font.get();
  return nullptr;
}

void FontCacheAdd(int size, int orientation, int style, const char* name, LICE_CachedFont* font) {
  if (!font) return;
  auto& c = Fonts();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.entries.push_back(FontEntry{size, orientation, style, FontKeyName(name), std::unique_ptr<LICE_CachedFont>(font)});
}

int FontCacheCount() { return Fonts().Count(); }

}  // namespace quarv
