// The VST 3 face of one plug-in parameter: its information for the host
// (id, names, steps, default) and the conversions between normalised values,
// plain values and texts, all taken from the wrapped IParameter.
//
// Threads: any; it reads only the parameter's description, never its value.
#pragma once

#include "framework/IParameter.h"
#include "public.sdk/source/vst/vstparameters.h"

class IPlugParameter : public Steinberg::Vst::Parameter {
public:
  // param is not owned and outlives this object.
  IPlugParameter(const IParameter* param, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unitId);

  OBJ_METHODS(IPlugParameter, Parameter)

  void toString(Steinberg::Vst::ParamValue valueNormalized, Steinberg::Vst::String128 string) const override;
  // Reads the text as a decimal number (display texts are not consulted);
  // false only for a missing text.
  bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& valueNormalized) const override;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const override;
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plainValue) const override;

  // The plain value a normalised value sets (as IParameter::SetFromNormalized
  // computes it), without setting it. A non-finite n gives the current value.
  static double PlainOf(const IParameter& param, double n);

private:
  const IParameter* mParam;
};
