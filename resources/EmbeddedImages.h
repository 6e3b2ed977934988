// The editor's PNG images, embedded in the module at build time from
// resources/img, found by their resource ids.
#pragma once

#include <cstddef>

namespace quarv {

struct EmbeddedImage {
  int id;
  const char* name;
  const unsigned char* data;
  size_t size;
};

// The embedded PNG with this resource id (100..108), or nullptr. Any thread; no allocation.
const EmbeddedImage* FindEmbeddedImage(int id);

}  // namespace quarv
