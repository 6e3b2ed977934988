#include "editor/ITextControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/Quarvelline.h"
#include "framework/IPlugBase.h"

ITextControl::ITextControl(IPlugBase* p, const Rect& r, const TextStyle& style, const char* text)
    : IControl(p, r), mTextStyle(style) {
  mText.reserve(128);
  mText = text ? text : "";
}

bool ITextControl::Draw(IGraphics*) { return true; }

void ITextControl::SetText(const char* text) {
  if (!text) text = "";
  std::unique_lock<std::recursive_mutex> lock;
  if (plug) lock = std::unique_lock<std::recursive_mutex>(plug->Mutex());
  if (mText == text) return;
  MarkDirty(false);
  mText.assign(text);
}

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
