// Text lines the plug-in replaces at will (version, status line, info line),
// and the maximum-attenuation readout.
//
// Threads: the status line is written from the editor thread and from the
// audio thread (its time-out), so SetText and Draw take the plug-in lock.
#pragma once

#include <string>

#include "editor/IControl.h"
#include "graphics/GraphicsTypes.h"

class CLS_QUARVELLINE;

class ITextControl : public IControl {
public:
  ITextControl(IPlugBase* plug, const Rect& rect, const TextStyle& style, const char* text = "");

  bool Draw(IGraphics* graphics) override;
  // Equal text changes nothing; new text marks the control for redraw.
  // Never allocates for texts up to 127 characters.
  virtual void SetText(const char* text);

  const char* GetText() const { return mText.c_str(); }
  const TextStyle& GetTextStyle() const { return mTextStyle; }

protected:
  TextStyle mTextStyle;
  std::string mText;
};

// "Atten max:" and the largest attenuation since the last reset, coloured
// against the Attenuation Target.
class cntrLabel : public IControl {
public:
  explicit cntrLabel(IPlugBase* plug, const Rect& rect);

  bool Draw(IGraphics* graphics) override;

  // Attenuation in dB for a minimum gain g (at least 0.001).
  static double AttenuationDb(double minGain);
  // Red above target + 0.5 dB, yellow within 0.5 dB, green below.
  static Colour ColourFor(double attenuationDb, float target);

  CLS_QUARVELLINE* quarv = nullptr;
};
