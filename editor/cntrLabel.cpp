// The maximum-attenuation readout. It reads the plug-in's members, so it is
// compiled with the engine for each binding.
#include <algorithm>

#include "editor/GRAPH.h"
#include "editor/ITextControl.h"
#include "engine/Quarvelline.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

cntrLabel::cntrLabel(IPlugBase* p, const Rect& r) : IControl(p, r) {}

double cntrLabel::AttenuationDb(double g) { return std::max(GRAPH::AttenuationForGain(g), 0.001); }

Colour cntrLabel::ColourFor(double a, float target) {
  const double t = target;
  if (a > t + 0.5) return Colour(255, 255, 20, 20);
  if (a > t - 0.5) return Colour(255, 255, 255, 0);
  return Colour(255, 0, 255, 127);
}

bool cntrLabel::Draw(IGraphics* g) {
  if (!quarv) return false;
  double a;
  float target;
  {
    auto lock = LockPlugIn(plug);
    a = AttenuationDb(quarv->mMinGain);
    target = quarv->mAttenuationTarget;
  }
  mReading.colour = ColourFor(a, target);
  char text[32];
  quarv::FormatC(text, sizeof text, "%.2fdB", a);
  g->DrawText(mCaption, "Atten max:", Rect(rect.L, rect.T, rect.L + 55, rect.B));
  g->DrawText(mReading, text, Rect(rect.L + 55, rect.T, rect.R, rect.B));
  return true;
}
