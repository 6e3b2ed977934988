#include "resources/artgen/Artwork.h"

namespace art {

std::vector<NamedImage> MakeAllImages() {
  std::vector<NamedImage> images;
  auto add = [&](const char* file, const Canvas& c, bool alpha) {
    images.push_back(NamedImage{file, c.ToBitmap(alpha), alpha});
  };
  add("bg.png", MakeBackground(), false);
  add("knob.png", MakeKnob(kKnobs[0]), true);
  add("knob2.png", MakeKnob(kKnobs[1]), true);
  add("knob3.png", MakeKnob(kKnobs[4]), true);
  add("knob4.png", MakeKnob(kKnobs[5]), true);
  add("lock.png", OverIdle(MakeLock(true), MakeLock(false)), true);
  add("reset.png", OverIdle(MakeReset(true), MakeReset(false)), true);
  add("target.png", MakeHandle(), true);
  add("when_play.png", OverIdle(MakeChart(true), MakeChart(false)), true);
  return images;
}

}  // namespace art
