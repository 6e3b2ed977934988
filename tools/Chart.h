// The loudness chart the host draws beside a result: the momentary loudness
// of input and result over time with the "Out Limit" line and the integrated
// values, the plug-in's gain reduction below it on the same time axis, and
// labelled axes, drawn with the raster layer and its text into a 1200 x 600
// bitmap and written as a PNG.
//
// Any thread; allocates. Fonts come from fontconfig (DejaVu Sans).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/GraphicsTypes.h"
#include "graphics/raster/LiceBitmap.h"
#include "tools/Report.h"

namespace quarv::render {

inline constexpr int kChartWidth = 1200;
inline constexpr int kChartHeight = 600;

// The colours of the "Out Limit" line and of the gain-reduction area (its
// fill and its lower edge).
inline constexpr LICE_pixel kChartLimitColour = LICE_ARGB(255, 196, 28, 40);
inline constexpr LICE_pixel kChartReductionFill = LICE_ARGB(255, 168, 146, 240);
inline constexpr LICE_pixel kChartReductionEdge = LICE_ARGB(255, 92, 56, 200);

struct ChartData {
  std::string title;     // first line, e.g. "song.wav -> song-quarvelline.wav"
  std::string subtitle;  // second line: the preset and the settings
  double sampleRate = 48000.0;
  int64_t frames = 0;
  int stepFrames = 4800;  // one 100-ms step
  // Momentary loudness in LUFS (-inf for silence); entry k is the 400-ms
  // window ending at (k + 4) steps.
  std::vector<double> inputMomentary, resultMomentary;
  // Gain reduction in dB of step k (frames k to k + 1 steps); NaN where it
  // was not measured.
  std::vector<double> reductionDb;
  std::optional<double> outLimitLufs;
  std::optional<double> inputIntegratedLufs, resultIntegratedLufs;
};

// What the chart shows of a rendered file: the momentary and integrated
// loudness the report measured, the gain reduction derived from input and
// result (StepReductionDb with the plug-in's "Input Gain": a host cannot look
// inside the plug-in), the "Out Limit" and the settings as the plug-in
// displays them.
ChartData ChartOf(const ReportData& report);

// Where the chart puts things for a data set: the two panels (edges
// inclusive: the frame is drawn on them) and the scales inside them.
class ChartGeometry {
public:
  explicit ChartGeometry(const ChartData& data);

  Rect loudness, reduction;
  double lufsTop = 0.0, lufsBottom = -48.0, lufsGrid = 6.0;
  double reductionRange = 6.0, reductionGrid = 3.0;  // dB at the bottom edge, grid spacing
  double seconds = 1.0;                               // the time axis ends here

  // Pixel coordinates, clamped into the panel.
  double X(double atSeconds) const;
  double YLufs(double lufs) const;
  double YReduction(double db) const;
};

// The chart as a bitmap of kChartWidth x kChartHeight opaque pixels; null
// when no font can be loaded.
std::unique_ptr<LICE_MemBitmap> DrawChart(const ChartData& data);

// Draws the chart and writes it as a PNG to path (through a temporary file,
// so it appears only when complete). False with a one-line reason.
bool WriteChart(const std::string& path, const ChartData& data, std::string* error);

// "song-quarvelline.wav" -> "song-quarvelline.png", in the same folder.
std::string DefaultChartPath(const std::string& result);

}  // namespace quarv::render
