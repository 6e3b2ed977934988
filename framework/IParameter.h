// One automatable parameter: its description, its current plain value and
// every conversion between plain values, normalised values (0..1, what hosts
// see) and display texts.
//
// No lock of its own: the plug-in base holds its lock around every change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class IParameter {
public:
  enum ParamType : int32_t { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

  static constexpr int kTextSize = 32;

  struct DisplayText {
    int32_t value;
    char text[kTextSize];
  };

  IParameter();

  void SetupDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                   const char* label = "");
  void SetupEnum(const char* name, int defaultVal, int count, const char* label = "");
  // 0 keeps the previous shape.
  void SetShapeExponent(double shape);
  void AddDisplayText(int value, const char* text);

  int DisplayTextCount() const { return static_cast<int>(mDisplayTexts.size()); }
  // The display text added index-th, or "" past the end.
  const char* DisplayTextAt(int index) const {
    return index >= 0 && index < DisplayTextCount() ? mDisplayTexts[static_cast<size_t>(index)].text : "";
  }
  // The text of the first entry for the value, or "" when there is none.
  const char* DisplayTextFor(int value) const;
  bool ValueForDisplayText(const char* text, double* value) const;

  double Normalized() const { return NormalizedOf(mValue); }
  double NormalizedOf(double plainValue) const;
  // A non-finite n leaves the value unchanged.
  void SetFromNormalized(double n);

  // Writes the display text of x (plain, or normalised when isNormalized)
  // into out, which holds at least kTextSize characters.
  void FormatDisplay(double x, bool isNormalized, char* out) const;
  double ParseDisplay(const char* text) const;

  ParamType Type() const { return mType; }
  double Value() const { return mValue; }
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  double DefaultValue() const { return mDefault; }
  int DisplayPrecision() const { return mDisplayPrecision; }
  const char* Name() const { return mName; }
  const char* Label() const { return mLabel; }

  // Plain assignment, used by the plug-in base after clamping.
  void Set(double value) { mValue = value; }
  // The value clamped into [min, max].
  double Clamp(double value) const;

private:
  ParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int32_t mDisplayPrecision = 0;
  char mName[kTextSize] = {};
  char mLabel[kTextSize] = {};
  std::vector<DisplayText> mDisplayTexts;
};
