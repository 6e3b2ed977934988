// The loudness history graph. This file holds its store: three series with
// one point per 50 ms of audio (momentary loudness, smoothed loudness,
// attenuation), the transport times of the first and newest point, and the
// visible 16-LU window of the scale that follows the signal (auto scroll).
//
// Threads: the engine fills and clears the store on the audio thread inside
// ProcessBlock and from ParamChanged; the editor reads it while drawing. Both
// hold the plug-in lock. Allocates only at construction.
#pragma once

#include <vector>

#include "editor/IControl.h"

class CLS_QUARVELLINE;

class GRAPH : public IControl {
public:
  GRAPH(IPlugBase* plug, const Rect& rect);

  bool Draw(IGraphics* graphics) override;

  // Sets the plug-in the store reads from and places the window for its limit.
  void SetPlug(CLS_QUARVELLINE* plugin);

  // Averages the plug-in's running sums into a point, stores it when the
  // analysis mode keeps it, and clears the sums.
  void AddPoint();
  // Empties the history and places the window for the current limit.
  void ResetHistory();
  // Places the window for a new Out Limit.
  void RescaleForLimit();

  // Attenuation stored for an average gain g.
  static double AttenuationForGain(double g);

  // ---- Store ----
  int low = -24;
  int floor = -64;
  int span = 16;
  int top = 0;
  int thumbPos = 0;
  int thumbHeight = 50;
  int trackHeight;
  bool autoScrollOff = false;
  bool aboveFloor = false;
  int points = -1;
  int plotWidth;
  int capacity;
  std::vector<double> loudness;
  std::vector<double> envelope;
  std::vector<double> attenuation;
  double startTime = -1.0;
  double endTime = -1.0;
  CLS_QUARVELLINE* quarv = nullptr;

private:
  int LimitLow() const;
  void UpdateThumb();
};
