// The editor's images: what they show and where the editor places them.
//
// Every maker draws with the deterministic arithmetic of ArtMath.h and the
// raster layer's integer text, so the same sources make the same pixels.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "graphics/raster/LiceBitmap.h"
#include "resources/artgen/Canvas.h"

namespace art {

// A knob of the editor: centre in editor pixels, the side of its body square,
// its caption and the glass colours of its body.
struct KnobSpec {
  int cx, cy, size;
  const char* caption;
  bool goldCaption;
  Rgb glass;      // the glass at mid depth
  Rgb glassDeep;  // the glass at its rim
};
extern const KnobSpec kKnobs[6];

// Places of the three small buttons (top left) and their image sizes.
struct IconSpot {
  int x, y, w, h;
};
constexpr IconSpot kLockSpot{35, 205, 20, 18};
constexpr IconSpot kResetSpot{57, 205, 23, 18};
constexpr IconSpot kChartSpot{83, 204, 18, 18};

// The dark panel behind the three buttons; flat inside so that a lit icon can
// carry a backing of exactly its colour.
extern const Rgb kButtonPanel;

// Slider: the box behind it, the tick marks, the handle's top.
constexpr int kSliderL = 114, kSliderT = 199, kSliderR = 292, kSliderB = 228;
constexpr int kFirstTickX = 123, kTickStep = 20, kTickCount = 9;

// Images: the knob pair (pointer square left, body square right); the icons,
// lit or idle (idle ones are drawn into the background only); the slider
// handle; the background.
Canvas MakeKnob(const KnobSpec& k);
Canvas MakeLock(bool lit);
Canvas MakeReset(bool lit);
Canvas MakeChart(bool lit);
Canvas MakeHandle();
Canvas MakeBackground();

// A lit icon that replaces an idle one exactly: the lit drawing over a
// backing of the panel colour wherever the idle icon (or its edge) shows.
Canvas OverIdle(const Canvas& lit, const Canvas& idle);

struct NamedImage {
  std::string file;  // "bg.png", ...
  std::unique_ptr<LICE_MemBitmap> bitmap;
  bool alpha;
};
// The nine images in resource id order (100..108).
std::vector<NamedImage> MakeAllImages();

struct PreviewOptions {
  int zoom = 1;                            // nearest-pixel scale
  int cropX = 0, cropY = 0, cropW = 0, cropH = 0;  // part shown; cropW <= 0: all
  bool idle = false;                       // buttons off and handle hidden
};
// The background with knobs (pointers turned), lit icons, the handle and
// sample texts at their places, as the editor would show them.
std::unique_ptr<LICE_MemBitmap> MakePreview(const std::vector<NamedImage>& images, const PreviewOptions& options);

}  // namespace art
