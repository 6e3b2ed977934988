#include "formats/vst3/IPlugParameter.h"

#include <algorithm>
#include <cmath>

#include "formats/vst3/Utf16.h"
#include "framework/Text.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

IPlugParameter::IPlugParameter(const IParameter* param, ParamID id, UnitID unitId) : mParam(param) {
  info.id = id;
  quarv::vst3::Utf8ToUtf16(param->Name(), info.title, 128);
  quarv::vst3::Utf8ToUtf16(param->Label(), info.units, 128);
  info.stepCount =
      param->Type() == IParameter::kTypeDouble ? 0 : static_cast<int32>(std::trunc(param->Max() - param->Min()));
  info.defaultNormalizedValue = param->NormalizedOf(param->DefaultValue());
  info.unitId = unitId;
  info.flags = ParameterInfo::kCanAutomate;
  valueNormalized = info.defaultNormalizedValue;
  precision = param->DisplayPrecision();
}

void IPlugParameter::toString(ParamValue valueNormalized, String128 string) const {
  if (!string) return;
  // Hosts may ask about any number; the parameter formats the normalised range.
  const double n = std::isfinite(valueNormalized) ? std::clamp(valueNormalized, 0.0, 1.0) : 0.0;
  char text[IParameter::kTextSize];
  mParam->FormatDisplay(n, true, text);
  quarv::vst3::Utf8ToUtf16(text, string, 128);
}

bool IPlugParameter::fromString(const TChar* string, ParamValue& valueNormalized) const {
  if (!string) return false;
  char text[256];
  quarv::vst3::Utf16ToUtf8(string, 128, text, sizeof text);
  valueNormalized = mParam->NormalizedOf(quarv::ParseDoubleC(text));
  return true;
}

double IPlugParameter::PlainOf(const IParameter& param, double n) {
  if (!std::isfinite(n)) return param.Value();
  double v = std::pow(n, param.Shape()) * (param.Max() - param.Min()) + param.Min();
  if (param.Type() != IParameter::kTypeDouble) v = std::floor(v / param.Step() + 0.5) * param.Step();
  return std::min(v, param.Max());
}

ParamValue IPlugParameter::toPlain(ParamValue valueNormalized) const { return PlainOf(*mParam, valueNormalized); }

ParamValue IPlugParameter::toNormalized(ParamValue plainValue) const { return mParam->NormalizedOf(plainValue); }
