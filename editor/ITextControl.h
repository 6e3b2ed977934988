// Text lines the plug-in replaces at will (version, status line, info line),
// and the maximum-attenuation readout.
//
// Threads: the status line is written from the editor thread and from the
// audio thread (its time-out), so SetText, GetText and Draw's copy of the
// text run under the plug-in lock; the text is drawn from that copy after the
// lock is released.
#pragma once

#include <string>

#include "editor/IControl.h"
#include "graphics/GraphicsTypes.h"

class CLS_QUARVELLINE;

class ITextControl : public IControl {
public:
  ITextControl(IPlugBase* plug, const Rect& rect, const TextStyle& style, const char* text = "");

  // Draws the text in the style from rect's top; nothing when it is empty.
  bool Draw(IGraphics* graphics) override;
  // Equal text changes nothing; new text marks the control for redraw. Any
  // thread; takes the plug-in lock. Texts up to 127 characters never
  // allocate, so the audio thread's writes do not.
  virtual void SetText(const char* text);

  // The current text; valid until the next SetText. Under the plug-in lock.
  const char* GetText() const { return mText.c_str(); }
  const TextStyle& GetTextStyle() const { return mTextStyle; }

protected:
  TextStyle mTextStyle;
  std::string mText;

private:
  // The copy Draw works from (user-interface thread only).
  std::string mDrawText;
};

// "Atten max:" and the largest attenuation since the last reset, coloured
// against the Attenuation Target. It reads the plug-in's members under the
// plug-in lock, so it is compiled with the engine for each binding.
class cntrLabel : public IControl {
public:
  explicit cntrLabel(IPlugBase* plug, const Rect& rect);

  // False while the plug-in is not set.
  bool Draw(IGraphics* graphics) override;

  // Attenuation in dB shown for a minimum gain: at least 0.001.
  static double AttenuationDb(double minGain);
  // Red above target + 0.5 dB, yellow above target - 0.5 dB (target + 0.5
  // itself is yellow), green otherwise.
  static Colour ColourFor(double attenuationDb, float target);

  CLS_QUARVELLINE* quarv = nullptr;

private:
  TextStyle mCaption{"Arial", 14, Colour(220, 255, 255, 255), 0, TextStyle::kAlignLeft};
  TextStyle mReading{"Arial", 14, Colour(255, 0, 255, 127), 0, TextStyle::kAlignLeft};
};
