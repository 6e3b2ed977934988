#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/Quarvelline.h"
#include "framework/IParameter.h"

namespace {

std::string Format(const IParameter& p, double v, bool normalized = false) {
  char buf[IParameter::kTextSize];
  p.FormatDisplay(v, normalized, buf);
  return buf;
}

TEST(ParameterSetup, PrecisionFollowsTheStep) {
  IParameter a, b, c, d;
  a.SetupDouble("a", 0, 0, 1, 0.1);
  b.SetupDouble("b", 0, 0, 1, 0.01);
  c.SetupDouble("c", 0, 0, 10, 1.0);
  d.SetupDouble("d", 0, 0, 1, 1e-7);
  EXPECT_EQ(a.DisplayPrecision(), 1);
  EXPECT_EQ(b.DisplayPrecision(), 2);
  EXPECT_EQ(c.DisplayPrecision(), 0);
  EXPECT_EQ(d.DisplayPrecision(), 6);
}

TEST(ParameterSetup, RangeIsNeverEmptyAndEnumIsIntegerValued) {
  IParameter p;
  p.SetupDouble("p", 0, 5, 5, 0.5);
  EXPECT_DOUBLE_EQ(p.Max(), 5.5);
  IParameter e;
  e.SetupEnum("e", 2, 6);
  EXPECT_EQ(e.Type(), IParameter::kTypeEnum);
  EXPECT_EQ(e.Min(), 0.0);
  EXPECT_EQ(e.Max(), 5.0);
  EXPECT_EQ(e.DisplayPrecision(), 0);
  EXPECT_EQ(e.Value(), 2.0);
}

TEST(ParameterSetup, ZeroShapeKeepsThePreviousShape) {
  IParameter p;
  p.SetupDouble("p", 0, 0, 800, 0.1);
  p.SetShapeExponent(2.0);
  p.SetShapeExponent(0.0);
  EXPECT_EQ(p.Shape(), 2.0);
}

TEST(ParameterNormalisation, ShapeTwoMapsHalfToAQuarter) {
  IParameter p;
  p.SetupDouble("Look Ahead", 0, 0, 800, 0.1, "ms");
  p.SetShapeExponent(2.0);
  EXPECT_DOUBLE_EQ(p.NormalizedOf(200.0), 0.5);
  p.SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.Value(), 200.0);
}

TEST(ParameterNormalisation, ClampsAboveButNotBelow) {
  IParameter p;
  p.SetupDouble("Input Gain", 0, -18, 18, 0.1, "dB");
  p.SetFromNormalized(1.2);
  EXPECT_EQ(p.Value(), 18.0);
  p.SetFromNormalized(-0.1);
  EXPECT_LT(p.Value(), -18.0);
  EXPECT_EQ(p.NormalizedOf(100.0), 1.0);
  EXPECT_EQ(p.NormalizedOf(-100.0), 0.0);
}

TEST(ParameterNormalisation, EnumSnapsHalvesUpward) {
  IParameter p;
  p.SetupEnum("Window", 2, 6);
  for (int i = 0; i < 6; ++i) p.AddDisplayText(i, i == 3 ? "20ms" : "x");
  p.SetFromNormalized(0.5);
  EXPECT_EQ(p.Value(), 3.0);
  EXPECT_EQ(Format(p, p.Value()), "20ms");
}

TEST(ParameterNormalisation, NonFiniteValueIsIgnored) {
  IParameter p;
  p.SetupDouble("p", 3, 0, 10, 0.1);
  p.SetFromNormalized(std::nan(""));
  p.SetFromNormalized(INFINITY);
  EXPECT_EQ(p.Value(), 3.0);
}

TEST(ParameterDisplay, FormatsWithPrecisionAndZeroPlain) {
  IParameter p;
  p.SetupDouble("Input Gain", 0, -18, 18, 0.1, "dB");
  EXPECT_EQ(Format(p, 0.75, true), "9.0");
  EXPECT_EQ(Format(p, 0.0), "0");
  EXPECT_EQ(Format(p, -0.5), "-0.5");
  EXPECT_EQ(Format(p, -14.0), "-14.0");
}

TEST(ParameterDisplay, IntegerRoundsHalfAwayFromZero) {
  IParameter p;
  p.SetupDouble("n", 0, -10, 10, 1.0);
  p.SetShapeExponent(1.0);
  EXPECT_EQ(Format(p, -0.5), "-1");
  EXPECT_EQ(Format(p, 2.5), "3");
  EXPECT_EQ(Format(p, 2.49), "2");
}

TEST(ParameterDisplay, DisplayTextWinsOverZeroAndEmptyTextFallsBack) {
  IParameter p;
  p.SetupEnum("Reset on play", 1, 2);
  p.AddDisplayText(0, "no");
  p.AddDisplayText(1, "");
  EXPECT_EQ(Format(p, 0.0), "no");
  EXPECT_EQ(Format(p, 0.2), "no");
  EXPECT_EQ(Format(p, 1.0), "1");
  EXPECT_EQ(p.DisplayTextCount(), 2);
  EXPECT_STREQ(p.DisplayTextFor(0), "no");
  EXPECT_STREQ(p.DisplayTextFor(7), "");
}

TEST(ParameterParse, TextsNumbersAndJunk) {
  IParameter plain;
  plain.SetupDouble("Out Limit", -14, -60, 0, 0.1, "lu");
  EXPECT_EQ(plain.ParseDisplay("-16"), -16.0);
  EXPECT_EQ(plain.ParseDisplay("  -16.5 lu"), -16.5);
  EXPECT_EQ(plain.ParseDisplay("loud"), 0.0);
  EXPECT_EQ(plain.ParseDisplay(""), 0.0);
  EXPECT_EQ(plain.ParseDisplay(nullptr), 0.0);
  // The C library's readings: infinities come through for the caller to
  // clamp; NaN counts as junk.
  EXPECT_EQ(plain.ParseDisplay("nan"), 0.0);
  EXPECT_EQ(plain.ParseDisplay("1e999"), HUGE_VAL);
  EXPECT_EQ(plain.ParseDisplay("-inf"), -HUGE_VAL);
  EXPECT_EQ(plain.NormalizedOf(plain.ParseDisplay("inf")), 1.0);

  IParameter list;
  list.SetupEnum("Window", 2, 6);
  list.AddDisplayText(4, "50ms");
  list.AddDisplayText(5, "loud");
  EXPECT_EQ(list.ParseDisplay("loud"), 5.0);
  EXPECT_EQ(list.ParseDisplay("50ms"), 4.0);
  EXPECT_EQ(list.ParseDisplay("3"), 3.0);
  double v = -1;
  EXPECT_FALSE(list.ValueForDisplayText("50MS", &v));
  EXPECT_EQ(v, -1);
}

TEST(ParameterSetup, LongTextsAreCut) {
  IParameter p;
  const std::string longName(80, 'n');
  p.SetupDouble(longName.c_str(), 0, 0, 1, 0.1, longName.c_str());
  p.AddDisplayText(0, longName.c_str());
  EXPECT_EQ(std::string(p.Name()).size(), 31u);
  EXPECT_EQ(std::string(p.Label()).size(), 31u);
  EXPECT_EQ(std::string(p.DisplayTextFor(0)).size(), 31u);
}

// Every parameter of the plug-in survives value -> text -> value and
// plain -> normalised -> plain.
TEST(ParameterRoundTrip, EveryPluginParameter) {
  CLS_QUARVELLINE plug;
  for (int i = 0; i < plug.NParams(); ++i) {
    IParameter* p = plug.GetParam(i);
    SCOPED_TRACE(p->Name());
    const int steps = 40;
    for (int s = 0; s <= steps; ++s) {
      const double raw = p->Min() + (p->Max() - p->Min()) * s / steps;
      const double v = std::round(raw / p->Step()) * p->Step();
      char text[IParameter::kTextSize];
      p->FormatDisplay(v, false, text);
      EXPECT_NEAR(p->ParseDisplay(text), v, 1e-9) << text;
      const double n = p->NormalizedOf(v);
      ASSERT_GE(n, 0.0);
      ASSERT_LE(n, 1.0);
      IParameter copy = *p;
      copy.SetFromNormalized(n);
      EXPECT_NEAR(copy.Value(), v, 1e-9);
    }
  }
}

TEST(PluginParameters, DeclaredAsTabled) {
  CLS_QUARVELLINE plug;
  ASSERT_EQ(plug.NParams(), 9);
  struct Row {
    const char* name;
    double def, min, max, shape;
    const char* label;
    IParameter::ParamType type;
  };
  const Row rows[] = {
      {"Input Gain", 0, -18, 18, 1, "dB", IParameter::kTypeDouble},
      {"Look Ahead", 0, 0, 800, 2, "ms", IParameter::kTypeDouble},
      {"Attack", 12, 0, 500, 2, "ms", IParameter::kTypeDouble},
      {"Release", 70, 1, 1000, 2, "ms", IParameter::kTypeDouble},
      {"Window", 2, 0, 5, 1, "", IParameter::kTypeEnum},
      {"Out Limit", -14, -60, 0, 1, "lu", IParameter::kTypeDouble},
      {"Attenuation Target", 4, 0, 16, 1, "dB", IParameter::kTypeDouble},
      {"Reset on play", 1, 0, 1, 1, "", IParameter::kTypeEnum},
      {"Graph when play", 1, 0, 1, 1, "", IParameter::kTypeEnum},
  };
  for (int i = 0; i < 9; ++i) {
    const IParameter* p = plug.GetParam(i);
    SCOPED_TRACE(rows[i].name);
    EXPECT_STREQ(p->Name(), rows[i].name);
    EXPECT_EQ(p->DefaultValue(), rows[i].def);
    EXPECT_EQ(p->Value(), rows[i].def);
    EXPECT_EQ(p->Min(), rows[i].min);
    EXPECT_EQ(p->Max(), rows[i].max);
    EXPECT_EQ(p->Shape(), rows[i].shape);
    EXPECT_STREQ(p->Label(), rows[i].label);
    EXPECT_EQ(p->Type(), rows[i].type);
  }
  const char* windows[] = {"2.5ms", "5ms", "10ms", "20ms", "50ms", "100ms"};
  for (int i = 0; i < 6; ++i) EXPECT_STREQ(plug.GetParam(kWindow)->DisplayTextFor(i), windows[i]);
  EXPECT_STREQ(plug.GetParam(kResetOnPlay)->DisplayTextFor(0), "no");
  EXPECT_STREQ(plug.GetParam(kGraphWhenPlay)->DisplayTextFor(1), "yes");
  EXPECT_EQ(plug.GetParam(9), nullptr);
  EXPECT_EQ(plug.GetParam(-1), nullptr);
}

}  // namespace
