// The loudness history graph: its store (three series with one point per
// 50 ms of audio: momentary loudness, smoothed loudness, attenuation; the
// transport times of the first and newest point; the visible 16-LU window of
// the scale that follows the signal) and its drawing (scale, the series
// compressed to the width, the Out Limit line, the readout under the mouse,
// the info line and the scroll bar).
//
// Threads: the engine fills and clears the store on the audio thread inside
// ProcessBlock and from ParamChanged, under the plug-in lock. Draw runs on the
// user-interface thread: under the same lock it runs the reset check, writes
// the info line and samples the history into a buffer of one entry per
// column (so it never sees a half-stored point or a halving in progress), and
// it draws from that buffer after releasing the lock. The mouse operations
// touch only the graph's own mouse fields (user-interface thread). The store
// allocates only at construction.
#pragma once

#include <vector>

#include "editor/IControl.h"

class CLS_QUARVELLINE;

class GRAPH : public IControl {
public:
  GRAPH(IPlugBase* plug, const Rect& rect);

  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;
  void MouseOut() override;
  // False while the plug-in is not set.
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

  // Attenuation in dB for an average gain g: 150 below 2^-25.
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

  // ---- Drawing ----
  int attenTop = 6;
  int bottomMargin = 5;
  int plotHeight;
  int leftMargin = 24;
  int rightMargin = 14;
  int labelStep = 2;
  int mouseX = -1, mouseY = -1;
  int click = 0;  // 0 none, 1 left button down, 2 right button down
  int lastClick = 0;
  int dragAnchor = -1;
  int scrollbarWidth = 10;
  bool lastResetFlag = true;

  // One column of the chart as the last Draw sampled it.
  struct Column {
    float loudness, envelope, attenuation;
  };
  // The columns the last Draw drew, the first `drawnColumns` of them valid
  // (user-interface thread).
  std::vector<Column> columns;
  int drawnColumns = 0;

private:
  int LimitLow() const;
  void UpdateThumb();
  // Under the lock: the values of one column of the chart.
  Column Sample(int i) const;

  TextStyle mLabelStyle;
};
