// Makes the editor's images.
//
//   quarv_artgen --out DIR      writes the nine PNGs into DIR
//   quarv_artgen --check DIR    compares them with the PNGs in DIR pixel for
//                               pixel (and their formats); exit status 1 on
//                               any difference
//   quarv_artgen --preview FILE [--zoom N] [--crop X,Y,W,H] [--idle]
//                               writes a picture of the editor made of them,
//                               enlarged N times, a part of it, with the
//                               buttons off
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/raster/LicePng.h"
#include "resources/artgen/Artwork.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: quarv_artgen --out DIR | --check DIR | --preview FILE [--zoom N] [--crop X,Y,W,H] [--idle]\n");
  return 2;
}

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return {};
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Differences between a made image and the committed file, reported on
// stderr; true when they match.
bool Matches(const art::NamedImage& image, const std::string& path) {
  const std::vector<unsigned char> bytes = ReadFile(path);
  // The header's bit depth and colour type: 8-bit RGBA (6) or RGB (2).
  if (bytes.size() < 26 || bytes[24] != 8 || bytes[25] != (image.alpha ? 6 : 2)) {
    std::fprintf(stderr, "%s: missing or not an 8-bit %s PNG\n", path.c_str(), image.alpha ? "RGBA" : "RGB");
    return false;
  }
  const std::unique_ptr<LICE_MemBitmap> file(LICE_DecodePNG(bytes.data(), bytes.size()));
  LICE_MemBitmap* made = image.bitmap.get();
  if (!file || file->Width() != made->Width() || file->Height() != made->Height()) {
    std::fprintf(stderr, "%s: size differs from the generated %d x %d\n", path.c_str(), made->Width(), made->Height());
    return false;
  }
  int differing = 0;
  for (int y = 0; y < made->Height(); ++y)
    for (int x = 0; x < made->Width(); ++x) {
      const LICE_pixel a = LICE_Row(made, y)[x], b = LICE_Row(file.get(), y)[x];
      if (a == b) continue;
      if (differing++ < 5)
        std::fprintf(stderr, "%s: pixel (%d, %d) is %08x, generated %08x\n", path.c_str(), x, y, b, a);
    }
  if (differing) std::fprintf(stderr, "%s: %d pixels differ\n", path.c_str(), differing);
  return differing == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string mode = argv[1], target = argv[2];
  art::PreviewOptions preview;
  for (int i = 3; i < argc; ++i) {
    const std::string option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (option == "--idle") {
      preview.idle = true;
    } else if (option == "--zoom" && std::sscanf(value, "%d", &preview.zoom) == 1) {
      ++i;
    } else if (option == "--crop" && std::sscanf(value, "%d,%d,%d,%d", &preview.cropX, &preview.cropY,
                                                 &preview.cropW, &preview.cropH) == 4) {
      ++i;
    } else {
      return Usage();
    }
  }
  if (mode != "--out" && mode != "--check" && mode != "--preview") return Usage();

  const std::vector<art::NamedImage> images = art::MakeAllImages();
  if (mode == "--preview") {
    const auto picture = art::MakePreview(images, preview);
    if (!LICE_WritePNG(picture.get(), target.c_str(), false)) {
      std::fprintf(stderr, "cannot write %s\n", target.c_str());
      return 1;
    }
    return 0;
  }
  bool ok = true;
  for (const art::NamedImage& image : images) {
    const std::string path = target + "/" + image.file;
    if (mode == "--out") {
      if (!LICE_WritePNG(image.bitmap.get(), path.c_str(), image.alpha)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        ok = false;
      }
    } else {
      ok = Matches(image, path) && ok;
    }
  }
  if (mode == "--check")
    std::printf(ok ? "the images match the generator\n"
                   : "the images differ from what the generator makes: regenerate them (see resources/README.md)\n");
  return ok ? 0 : 1;
}
