// The maximum-attenuation readout. It reads the plug-in's members, so it is
// compiled with the engine for each binding.
#include <algorithm>
#include <cmath>

#include "editor/ITextControl.h"
#include "engine/Quarvelline.h"

cntrLabel::cntrLabel(IPlugBase* p, const Rect& r) : IControl(p, r) {}

bool cntrLabel::Draw(IGraphics*) { return quarv != nullptr; }

double cntrLabel::AttenuationDb(double g) {
  double a = g >= std::ldexp(1.0, -25) ? -std::max(20.0 * std::log10(g), -150.0) : 150.0;
  if (a < 0.001) a = 0.001;
  return a;
}

Colour cntrLabel::ColourFor(double a, float target) {
  const double t = target;
  if (a > t + 0.5) return Colour(255, 255, 20, 20);
  if (a > t - 0.5) return Colour(255, 255, 255, 0);
  return Colour(255, 0, 255, 127);
}
