#include "resources/EmbeddedImages.h"

namespace quarv {

namespace detail {
// Made at build time from the PNG files (EmbedImages.cmake).
extern const EmbeddedImage kEmbeddedImages[];
extern const size_t kEmbeddedImageCount;
}  // namespace detail

const EmbeddedImage* FindEmbeddedImage(int id) {
  for (size_t i = 0; i < detail::kEmbeddedImageCount; ++i)
    if (detail::kEmbeddedImages[i].id == id) return &detail::kEmbeddedImages[i];
  return nullptr;
}

}  // namespace quarv
