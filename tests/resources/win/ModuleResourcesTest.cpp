// Both Windows modules carry the editor's images as resources of type "PNG"
// with ids 100 to 108, byte for byte the committed files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/win/Win32.h"
#include "resources/EmbeddedImages.h"

namespace {

std::wstring Wide(const char* path) {
  std::wstring out;
  for (const char* p = path; *p; ++p) out.push_back(static_cast<wchar_t>(*p == '/' ? '\\' : *p));
  return out;
}

TEST(ModuleResources, EveryModuleHoldsTheImagesAsPngResources) {
  for (const char* path : {QUARV_VST2_MODULE, QUARV_VST3_MODULE}) {
    HMODULE module = LoadLibraryExW(Wide(path).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module) << path;
    for (int id = 100; id <= 108; ++id) {
      HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
      ASSERT_TRUE(found) << path << " " << id;
      const void* bytes = LockResource(LoadResource(module, found));
      const quarv::EmbeddedImage* image = quarv::FindEmbeddedImage(id);
      ASSERT_TRUE(bytes && image) << id;
      EXPECT_EQ(SizeofResource(module, found), image->size) << id;
      EXPECT_EQ(std::memcmp(bytes, image->data, image->size), 0) << id;
      EXPECT_EQ(std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8), 0) << id;
    }
    EXPECT_FALSE(FindResourceA(module, MAKEINTRESOURCEA(109), "PNG")) << path;
    EXPECT_FALSE(FindResourceA(module, MAKEINTRESOURCEA(100), "BMP")) << path;
    FreeLibrary(module);
  }
}

}  // namespace
