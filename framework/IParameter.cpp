#include "framework/IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/Text.h"

using quarv::CopyText;

IParameter::IParameter() = default;

void IParameter::SetupDouble(const char* name, double defaultVal, double minVal, double maxVal,
                             double step, const char* label) {
  if (mType == kTypeNone) mType = kTypeDouble;
  CopyText(mName, sizeof mName, name);
  CopyText(mLabel, sizeof mLabel, label);
  mMin = minVal;
  mValue = defaultVal;
  mDefault = defaultVal;
  mMax = std::max(maxVal, minVal + step);
  mStep = step;

  // Decimals implied by the step: 0.1 gives 1, 0.01 gives 2, at most 6.
  mDisplayPrecision = 0;
  double s = step;
  while (s != std::floor(s) && mDisplayPrecision < 6) {
    ++mDisplayPrecision;
    s *= 10.0;
  }
}

void IParameter::SetupEnum(const char* name, int defaultVal, int count, const char* label) {
  if (mType == kTypeNone) mType = kTypeEnum;
  SetupDouble(name, defaultVal, 0.0, count - 1, 1.0, label);
}

void IParameter::SetShapeExponent(double shape) {
  if (shape != 0.0) mShape = shape;
}

void IParameter::AddDisplayText(int value, const char* text) {
  DisplayText entry{};
  entry.value = value;
  CopyText(entry.text, sizeof entry.text, text);
  mDisplayTexts.push_back(entry);
}

const char* IParameter::DisplayTextFor(int value) const {
  for (const DisplayText& e : mDisplayTexts) {
    if (e.value == value) return e.text;
  }
  return "";
}

bool IParameter::ValueForDisplayText(const char* text, double* value) const {
  if (!text) return false;
  for (const DisplayText& e : mDisplayTexts) {
    if (strcmp(e.text, text) == 0) {
      if (value) *value = e.value;
      return true;
    }
  }
  return false;
}

double IParameter::Clamp(double value) const { return std::min(std::max(value, mMin), mMax); }

double IParameter::NormalizedOf(double plainValue) const {
  const double v = Clamp(plainValue);
  return std::pow((v - mMin) / (mMax - mMin), 1.0 / mShape);
}

void IParameter::SetFromNormalized(double n) {
  if (!std::isfinite(n)) return;
  double v = std::pow(n, mShape) * (mMax - mMin) + mMin;
  if (mType != kTypeDouble) v = std::floor(v / mStep + 0.5) * mStep;
  mValue = std::min(v, mMax);
}

void IParameter::FormatDisplay(double x, bool isNormalized, char* out) const {
  if (isNormalized) x = std::pow(x, mShape) * (mMax - mMin) + mMin;
  const int32_t r = quarv::RoundHalfAway(x);
  if (!mDisplayTexts.empty()) {
    const char* text = nullptr;
    for (const DisplayText& e : mDisplayTexts) {
      if (e.value == r) {
        text = e.text;
        break;
      }
    }
    if (text && text[0]) {
      CopyText(out, kTextSize, text);
      return;
    }
  }
  // Zero is never printed as "0.0".
  if (x == 0.0) {
    CopyText(out, kTextSize, "0");
  } else if (mDisplayPrecision > 0) {
    quarv::FormatC(out, kTextSize, "%.*f", mDisplayPrecision, x);
  } else {
    quarv::FormatC(out, kTextSize, "%d", r);
  }
}

double IParameter::ParseDisplay(const char* text) const {
  double v = 0.0;
  if (!mDisplayTexts.empty() && ValueForDisplayText(text, &v)) return v;
  return quarv::ParseDoubleC(text);
}
