// The editor's images on Windows: resources of type "PNG" of the module that
// holds this code (the resource script resources/CMakeLists.txt writes),
// found once and then kept, with the names the build lists.
#include "graphics/win/Win32.h"
#include "resources/EmbeddedImages.h"

namespace quarv {

namespace detail {
// Ids and names of the images (ImageNames.cpp, written by the build).
extern const EmbeddedImage kImageNames[];
extern const size_t kImageCount;
}  // namespace detail

namespace {

constexpr size_t kMaxImages = 32;

// The resource's bytes stay mapped while the module is loaded.
struct Images {
  EmbeddedImage image[kMaxImages] = {};
  size_t count = 0;
  Images() {
    const HMODULE module = ThisModule();
    for (size_t i = 0; i < detail::kImageCount && count < kMaxImages; ++i) {
      const EmbeddedImage& named = detail::kImageNames[i];
      HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(named.id), "PNG");
      HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
      const void* bytes = loaded ? LockResource(loaded) : nullptr;
      if (!bytes) continue;
      image[count++] = EmbeddedImage{named.id, named.name, static_cast<const unsigned char*>(bytes),
                                     static_cast<size_t>(SizeofResource(module, found))};
    }
  }
};

}  // namespace

const EmbeddedImage* FindEmbeddedImage(int id) {
  static const Images images;
  for (size_t i = 0; i < images.count; ++i)
    if (images.image[i].id == id) return &images.image[i];
  return nullptr;
}

}  // namespace quarv
