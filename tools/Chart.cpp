#include "tools/Chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "graphics/raster/LicePng.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/raster/LiceText.h"
#include "tools/AudioFile.h"
#include "tools/PluginSetup.h"

namespace fs = std::filesystem;

namespace quarv::render {
namespace {

// The picture: title, subtitle and legend on top, the loudness panel, the
// gain-reduction panel, the time labels and a note at the bottom. The
// column left of the panels holds the value labels and their units.
constexpr int kLeft = 72;
constexpr int kRight = kChartWidth - 64;
constexpr int kTitleTop = 10;
constexpr int kSubtitleTop = 40;
constexpr int kLegendTop = 68;
constexpr int kLoudnessTop = 98;
constexpr int kLoudnessBottom = 384;
constexpr int kReductionTop = 414;
constexpr int kReductionBottom = 522;
constexpr int kTimeLabelTop = kReductionBottom + 6;
constexpr int kNoteTop = 572;

constexpr int kTitleHeight = 24;
constexpr int kLabelHeight = 17;
constexpr int kNoteHeight = 15;

constexpr LICE_pixel kBackground = LICE_ARGB(255, 255, 255, 255);
constexpr LICE_pixel kPanel = LICE_ARGB(255, 246, 247, 249);
constexpr LICE_pixel kOverLimit = LICE_ARGB(255, 252, 238, 238);
constexpr LICE_pixel kGrid = LICE_ARGB(255, 218, 221, 228);
constexpr LICE_pixel kFrame = LICE_ARGB(255, 150, 156, 168);
constexpr LICE_pixel kText = LICE_ARGB(255, 33, 37, 45);
constexpr LICE_pixel kMuted = LICE_ARGB(255, 96, 102, 114);
constexpr LICE_pixel kInputColour = LICE_ARGB(255, 112, 140, 184);
constexpr LICE_pixel kResultColour = LICE_ARGB(255, 226, 88, 12);
constexpr LICE_pixel kLimitColour = kChartLimitColour;
constexpr LICE_pixel kReductionFill = kChartReductionFill;
constexpr LICE_pixel kReductionEdge = kChartReductionEdge;

// The parameters that shape the audio, named in the subtitle.
constexpr const char* kSubtitleSettings[] = {"Input Gain", "Look Ahead", "Attack", "Release", "Window", "Out Limit"};

// Reductions smaller than this are no work of the limiter worth a pixel.
constexpr double kVisibleReductionDb = 0.05;

// A typographic minus in place of a leading hyphen.
std::string Minus(std::string s) {
  if (!s.empty() && s[0] == '-') s.replace(0, 1, "\xE2\x88\x92");
  return s;
}

std::string Format(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return Minus(buf);
}

// Multiples of step at or above (below) v; the slack keeps values that are
// multiples already from moving.
double CeilTo(double v, double step) { return std::ceil(v / step - 1e-9) * step; }
double FloorTo(double v, double step) { return std::floor(v / step + 1e-9) * step; }

// "1:05", "1:02:03"; "2.5 s" for ticks under a second.
std::string TimeLabel(double s, double tick) {
  char buf[32];
  if (tick < 1.0) {
    std::snprintf(buf, sizeof buf, "%.1f s", s);
    return buf;
  }
  const long long t = std::llround(s);
  if (t >= 3600) {
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", t / 3600, t / 60 % 60, t % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%lld:%02lld", t / 60, t % 60);
  }
  return buf;
}

// The three text sizes of the chart, in DejaVu Sans (wide coverage, clear
// at small sizes).
class Fonts {
public:
  Fonts() {
    title.SetFromPlatformFont(Create(kTitleHeight, 700), LICE_FONT_FLAG_OWNS_FONT);
    label.SetFromPlatformFont(Create(kLabelHeight, 400), LICE_FONT_FLAG_OWNS_FONT);
    note.SetFromPlatformFont(Create(kNoteHeight, 400), LICE_FONT_FLAG_OWNS_FONT);
  }
  bool Ok() const { return title.PlatformFont() && label.PlatformFont() && note.PlatformFont(); }

  LICE_CachedFont title, label, note;

private:
  static LICE_PlatformFont* Create(int height, int weight) {
    LICE_FontSpec request;
    request.height = height;
    request.weight = weight;
    request.quality = 2;
    std::snprintf(request.face, sizeof request.face, "%s", "DejaVu Sans");
    return LICE_CreatePlatformFont(request);
  }
};

enum class Align { kLeft, kCentre, kRight };

class Painter {
public:
  Painter(LICE_IBitmap* bm, Fonts& fonts) : mBm(bm), mFonts(fonts) {}

  // Text with its cell's top at y: from x (left), centred on x, or ending at x.
  void Text(LICE_CachedFont& font, LICE_pixel colour, const std::string& s, int x, int y, Align align) {
    font.SetTextColour(colour);
    switch (align) {
      case Align::kLeft:
        font.DrawText(mBm, s.c_str(), -1, Rect(x, y, kChartWidth, kChartHeight), 0);
        break;
      case Align::kCentre:
        font.DrawText(mBm, s.c_str(), -1, Rect(x - kChartWidth, y, x + kChartWidth, kChartHeight), LICE_TEXT_CENTRE);
        break;
      case Align::kRight:
        font.DrawText(mBm, s.c_str(), -1, Rect(0, y, x, kChartHeight), LICE_TEXT_RIGHT);
        break;
    }
  }

  // Width of the ink the text leaves, drawn into a scratch row.
  int Width(LICE_CachedFont& font, const std::string& s) {
    if (!mScratch) mScratch = std::make_unique<LICE_MemBitmap>(kChartWidth, 2 * kTitleHeight);
    std::fill_n(mScratch->Bits(), static_cast<size_t>(mScratch->RowSpan()) * mScratch->Height(), LICE_pixel{0});
    font.SetTextColour(kText);
    font.DrawText(mScratch.get(), s.c_str(), -1, Rect(0, 0, kChartWidth, mScratch->Height()), 0);
    int right = 0;
    for (int y = 0; y < mScratch->Height(); ++y) {
      const LICE_pixel* row = LICE_Row(mScratch.get(), y);
      for (int x = kChartWidth - 1; x >= right; --x) {
        if (LICE_A(row[x]) != 0) {
          right = x + 1;
          break;
        }
      }
    }
    return right;
  }

  void Fill(int x0, int y0, int x1, int y1, LICE_pixel colour, float opacity = 1.0f) {
    LICE_FillRect(mBm, x0, y0, x1 - x0 + 1, y1 - y0 + 1, colour, opacity, LICE_BLIT_MODE_COPY);
  }

  void Frame(const Rect& r, LICE_pixel colour) {
    LICE_Line(mBm, r.L, r.T, r.R, r.T, colour, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(mBm, r.L, r.B, r.R, r.B, colour, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(mBm, r.L, r.T, r.L, r.B, colour, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(mBm, r.R, r.T, r.R, r.B, colour, 1.0f, LICE_BLIT_MODE_COPY, false);
  }

  // A horizontal dashed line, thickness rows from y down.
  void Dashed(int x0, int x1, int y, int dash, int gap, int thickness, LICE_pixel colour) {
    for (int x = x0; x <= x1; x += dash + gap) Fill(x, y, std::min(x + dash - 1, x1), y + thickness - 1, colour);
  }

  void Line(double x0, double y0, double x1, double y1, LICE_pixel colour) {
    LICE_LineF(mBm, static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1), static_cast<float>(y1),
               colour, 1.0f, LICE_BLIT_MODE_COPY, true);
  }

  Fonts& fonts() { return mFonts; }

private:
  LICE_IBitmap* mBm;
  Fonts& mFonts;
  std::unique_ptr<LICE_MemBitmap> mScratch;
};

// The largest finite value, or none.
std::optional<double> MaxOf(const std::vector<double>& v) {
  std::optional<double> best;
  for (double x : v) {
    if (std::isfinite(x) && (!best || x > *best)) best = x;
  }
  return best;
}

// The value below which a tenth of the audible entries lie: the quiet
// passages the loudness scale should still show.
std::optional<double> QuietLevel(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> audible;
  for (const auto* v : {&a, &b}) {
    for (double x : *v) {
      if (std::isfinite(x) && x >= -70.0) audible.push_back(x);
    }
  }
  if (audible.empty()) return std::nullopt;
  const size_t k = audible.size() / 10;
  std::nth_element(audible.begin(), audible.begin() + static_cast<std::ptrdiff_t>(k), audible.end());
  return audible[k];
}

// The integrated values and the limit on the right edge: a triangle at the
// level, its value beside it; values closer than a line of text are pushed
// apart, the triangles stay where the levels are.
void DrawLevelMarks(Painter& p, const ChartData& d, const ChartGeometry& g) {
  struct Mark {
    double y;
    double value;
    LICE_pixel colour;
  };
  std::vector<Mark> marks;
  for (const auto& [value, colour] : {std::pair{d.outLimitLufs, kLimitColour},
                                      std::pair{d.inputIntegratedLufs, kInputColour},
                                      std::pair{d.resultIntegratedLufs, kResultColour}}) {
    if (value) marks.push_back({g.YLufs(*value), *value, colour});
  }
  std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.y < b.y; });
  std::vector<double> labelY;
  for (const Mark& m : marks) labelY.push_back(std::max(m.y, labelY.empty() ? -1e9 : labelY.back() + kLabelHeight));
  // Back up from the bottom edge when the pile runs off it.
  double bottom = g.loudness.B + kLabelHeight / 2.0;
  for (size_t i = labelY.size(); i-- > 0;) {
    labelY[i] = std::min(labelY[i], bottom);
    bottom = labelY[i] - kLabelHeight;
  }
  const int x = g.loudness.R + 2;
  for (size_t i = 0; i < marks.size(); ++i) {
    const int y = static_cast<int>(std::lround(marks[i].y));
    for (int k = 0; k < 6; ++k) p.Fill(x + k, y - k, x + k, y + k, marks[i].colour);
    p.Text(p.fonts().label, marks[i].colour, Format("%.1f", marks[i].value), x + 9,
           static_cast<int>(std::lround(labelY[i])) - kLabelHeight / 2, Align::kLeft);
  }
}

void DrawLoudnessPanel(Painter& p, const ChartData& d, const ChartGeometry& g, const std::vector<double>& ticks) {
  const Rect& r = g.loudness;
  p.Fill(r.L, r.T, r.R, r.B, kPanel);
  if (d.outLimitLufs) {
    const int y = static_cast<int>(std::lround(g.YLufs(*d.outLimitLufs)));
    if (y > r.T) p.Fill(r.L, r.T, r.R, y - 1, kOverLimit);
  }
  for (double v = g.lufsTop; v >= g.lufsBottom - 1e-9; v -= g.lufsGrid) {
    const int y = static_cast<int>(std::lround(g.YLufs(v)));
    p.Fill(r.L, y, r.R, y, kGrid);
    p.Text(p.fonts().label, kMuted, Format("%.0f", v), r.L - 8, y - kLabelHeight / 2, Align::kRight);
  }
  for (double t : ticks) {
    const int x = static_cast<int>(std::lround(g.X(t)));
    p.Fill(x, r.T, x, r.B, kGrid);
  }
  // The limit as a dashed line; the momentary curves go over it.
  if (d.outLimitLufs) {
    p.Dashed(r.L + 1, r.R - 1, static_cast<int>(std::lround(g.YLufs(*d.outLimitLufs))), 10, 5, 2, kLimitColour);
  }
  // Each 400-ms window at its middle.
  auto series = [&](const std::vector<double>& m, LICE_pixel colour, bool thick) {
    if (d.stepFrames <= 0 || !(d.sampleRate > 0.0)) return;
    const double stepSeconds = d.stepFrames / d.sampleRate;
    for (size_t k = 1; k < m.size(); ++k) {
      const double x0 = g.X((static_cast<double>(k) + 1.0) * stepSeconds);
      const double x1 = g.X((static_cast<double>(k) + 2.0) * stepSeconds);
      const double y0 = g.YLufs(m[k - 1]), y1 = g.YLufs(m[k]);
      if (thick) {
        p.Line(x0, y0 - 0.5, x1, y1 - 0.5, colour);
        p.Line(x0, y0 + 0.5, x1, y1 + 0.5, colour);
      } else {
        p.Line(x0, y0, x1, y1, colour);
      }
    }
  };
  series(d.inputMomentary, kInputColour, false);
  series(d.resultMomentary, kResultColour, true);
  p.Frame(r, kFrame);
  p.Text(p.fonts().label, kMuted, "LUFS", r.L - 8, kLegendTop, Align::kRight);
  DrawLevelMarks(p, d, g);
}

void DrawReductionPanel(Painter& p, const ChartData& d, const ChartGeometry& g, const std::vector<double>& ticks) {
  const Rect& r = g.reduction;
  p.Fill(r.L, r.T, r.R, r.B, kPanel);
  for (double v = 0.0; v <= g.reductionRange + 1e-9; v += g.reductionGrid) {
    const int y = static_cast<int>(std::lround(g.YReduction(v)));
    p.Fill(r.L, y, r.R, y, kGrid);
    const int labelTop = std::clamp(y - kLabelHeight / 2, r.T - 2, r.B - kLabelHeight + 3);
    p.Text(p.fonts().label, kMuted, v == 0.0 ? "0" : Format("%.0f", -v), r.L - 8, labelTop, Align::kRight);
  }
  for (double t : ticks) {
    const int x = static_cast<int>(std::lround(g.X(t)));
    p.Fill(x, r.T, x, r.B, kGrid);
  }
  // Per pixel column the largest reduction of the steps it covers.
  const double framesPerColumn = g.seconds * d.sampleRate / (r.R - r.L);
  for (int x = r.L + 1; d.stepFrames > 0 && x < r.R; ++x) {
    const double f0 = (x - r.L) * framesPerColumn, f1 = (x + 1 - r.L) * framesPerColumn;
    const auto k0 = static_cast<size_t>(std::max(0.0, std::floor(f0 / d.stepFrames)));
    const auto k1 = static_cast<size_t>(std::max(0.0, std::ceil(f1 / d.stepFrames) - 1.0));
    double most = -1.0;
    for (size_t k = k0; k <= k1 && k < d.reductionDb.size(); ++k) {
      if (!std::isnan(d.reductionDb[k])) most = std::max(most, d.reductionDb[k]);
    }
    if (most < kVisibleReductionDb) continue;
    const int y = static_cast<int>(std::lround(g.YReduction(most)));
    if (y > r.T + 1) p.Fill(x, r.T + 1, x, y - 1, kReductionFill);
    p.Fill(x, y, x, std::min(y + 1, r.B - 1), kReductionEdge);
  }
  p.Frame(r, kFrame);
  p.Text(p.fonts().label, kText, "Gain reduction in dB: the result against the input after \"Input Gain\"", r.L,
         r.T - kLabelHeight - 7, Align::kLeft);
  p.Fill(r.L - 34, r.T - kLabelHeight / 2 - 12, r.L - 9, r.T - kLabelHeight / 2 - 2, kReductionFill);
  p.Fill(r.L - 34, r.T - kLabelHeight / 2 - 2, r.L - 9, r.T - kLabelHeight / 2 - 1, kReductionEdge);
}

void DrawTimeAxis(Painter& p, const ChartGeometry& g, const std::vector<double>& ticks, double tick) {
  for (double t : ticks) {
    const int x = static_cast<int>(std::lround(g.X(t)));
    p.Fill(x, g.reduction.B, x, g.reduction.B + 3, kFrame);
    p.Text(p.fonts().label, kMuted, TimeLabel(t, tick), x, kTimeLabelTop, Align::kCentre);
  }
}

// Legend entries side by side: a short line or block in the series' style,
// then its text.
void DrawLegend(Painter& p, const ChartData& d) {
  auto integrated = [](const std::optional<double>& v) {
    return v ? Format("%.2f LUFS", *v) : std::string("none");
  };
  struct Entry {
    std::string text;
    LICE_pixel colour;
    int style;  // 0 thin line, 1 thick line, 2 dashed
  };
  std::vector<Entry> entries = {
      {"Input, momentary (integrated " + integrated(d.inputIntegratedLufs) + ")", kInputColour, 0},
      {"Result, momentary (integrated " + integrated(d.resultIntegratedLufs) + ")", kResultColour, 1},
  };
  if (d.outLimitLufs) entries.push_back({"\"Out Limit\" " + Format("%.1f LUFS", *d.outLimitLufs), kLimitColour, 2});
  constexpr int kSwatch = 26, kSwatchGap = 7, kEntryGap = 26;
  int x = kLeft;
  const int mid = kLegendTop + kLabelHeight / 2;
  for (const Entry& e : entries) {
    switch (e.style) {
      case 0:
        p.Fill(x, mid, x + kSwatch - 1, mid, e.colour);
        break;
      case 1:
        p.Fill(x, mid - 1, x + kSwatch - 1, mid, e.colour);
        break;
      default:
        p.Dashed(x, x + kSwatch - 1, mid - 1, 10, 5, 2, e.colour);
        break;
    }
    x += kSwatch + kSwatchGap;
    p.Text(p.fonts().label, kText, e.text, x, kLegendTop, Align::kLeft);
    x += p.Width(p.fonts().label, e.text) + kEntryGap;
  }
}

// Ticks every 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min or whole hours,
// the finest that keeps labels about 90 pixels apart.
double TickSeconds(const ChartGeometry& g) {
  static const double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
  const double most = (g.loudness.R - g.loudness.L) / 90.0;
  for (double s : kSteps) {
    if (g.seconds / s <= most) return s;
  }
  return CeilTo(g.seconds / most, 3600.0);
}

}  // namespace

ChartGeometry::ChartGeometry(const ChartData& d)
    : loudness(kLeft, kLoudnessTop, kRight, kLoudnessBottom), reduction(kLeft, kReductionTop, kRight, kReductionBottom) {
  seconds = d.sampleRate > 0.0 && d.frames > 0 ? static_cast<double>(d.frames) / d.sampleRate : 1.0;

  // Loudness: from 0 LUFS (or above the loudest value) down far enough for
  // the quiet passages, the limit and the integrated values, 24 to 72 LU.
  std::optional<double> loudest = MaxOf(d.inputMomentary);
  if (const auto r = MaxOf(d.resultMomentary); r && (!loudest || *r > *loudest)) loudest = r;
  lufsTop = loudest && *loudest > 0.0 ? CeilTo(*loudest + 1.0, 6.0) : 0.0;
  double low = lufsTop - 48.0;
  if (const auto quiet = QuietLevel(d.inputMomentary, d.resultMomentary)) low = std::min(low, *quiet - 3.0);
  if (d.outLimitLufs) low = std::min(low, *d.outLimitLufs - 12.0);
  for (const auto& v : {d.inputIntegratedLufs, d.resultIntegratedLufs}) {
    if (v) low = std::min(low, *v - 12.0);
  }
  lufsBottom = std::clamp(FloorTo(low, 6.0), lufsTop - 72.0, lufsTop - 24.0);
  lufsGrid = lufsTop - lufsBottom > 48.0 ? 12.0 : 6.0;

  // Reduction: 0 dB at the top, down to the largest reduction.
  double most = 0.0;
  for (double v : d.reductionDb) {
    if (!std::isnan(v)) most = std::max(most, v);
  }
  reductionRange = std::clamp(CeilTo(most, 3.0), 6.0, 48.0);
  reductionGrid = reductionRange > 24.0 ? 12.0 : reductionRange > 12.0 ? 6.0 : 3.0;
  reductionRange = CeilTo(reductionRange, reductionGrid);
}

double ChartGeometry::X(double atSeconds) const {
  const double x = loudness.L + atSeconds / seconds * (loudness.R - loudness.L);
  return std::clamp(x, static_cast<double>(loudness.L), static_cast<double>(loudness.R));
}

double ChartGeometry::YLufs(double lufs) const {
  if (std::isnan(lufs) || lufs < lufsBottom) return loudness.B;
  const double y = loudness.T + (lufsTop - lufs) / (lufsTop - lufsBottom) * (loudness.B - loudness.T);
  return std::max(y, static_cast<double>(loudness.T));
}

double ChartGeometry::YReduction(double db) const {
  if (std::isnan(db) || db <= 0.0) return reduction.T;
  const double y = reduction.T + db / reductionRange * (reduction.B - reduction.T);
  return std::min(y, static_cast<double>(reduction.B));
}

// What the chart shows of a rendered file: the gain reduction derived from
// input and result (the host cannot look inside the plug-in), the limit and
// the settings as the plug-in displays them.
ChartData ChartOf(const ReportData& r) {
  ChartData d;
  d.title = fs::path(r.input).filename().string() + " \xE2\x86\x92 " + fs::path(r.output).filename().string();
  d.subtitle = "\"" + r.programName + "\"";
  for (const char* name : kSubtitleSettings) {
    for (const ParamEntry& p : r.params) {
      if (p.name == name) d.subtitle += "  \xC2\xB7  " + p.name + " " + p.display + (p.label.empty() ? "" : " " + p.label);
    }
  }
  d.sampleRate = r.sampleRate;
  d.frames = r.result.frames;
  d.stepFrames = r.result.stepFrames;
  d.inputMomentary = r.result.input.momentary;
  d.resultMomentary = r.result.output.momentary;
  const double gainDb = ParamNumber(r.params, "Input Gain").value_or(0.0);
  d.reductionDb = StepReductionDb(r.result.input.stepEnergy, r.result.output.stepEnergy,
                                  std::pow(10.0, gainDb / 20.0), r.result.stepFrames, r.channels);
  d.outLimitLufs = ParamNumber(r.params, "Out Limit");
  d.inputIntegratedLufs = r.result.input.integratedLufs;
  d.resultIntegratedLufs = r.result.output.integratedLufs;
  return d;
}

std::unique_ptr<LICE_MemBitmap> DrawChart(const ChartData& data) {
  Fonts fonts;
  if (!fonts.Ok()) return nullptr;
  auto bm = std::make_unique<LICE_MemBitmap>(kChartWidth, kChartHeight);
  if (bm->Width() != kChartWidth) return nullptr;
  Painter p(bm.get(), fonts);
  const ChartGeometry g(data);
  p.Fill(0, 0, kChartWidth - 1, kChartHeight - 1, kBackground);

  p.Text(fonts.title, kText, data.title, kLeft, kTitleTop, Align::kLeft);
  p.Text(fonts.label, kMuted, data.subtitle, kLeft, kSubtitleTop, Align::kLeft);
  DrawLegend(p, data);

  const double tick = TickSeconds(g);
  std::vector<double> ticks;
  for (double t = 0.0; t <= g.seconds + 1e-9; t += tick) ticks.push_back(t);
  DrawLoudnessPanel(p, data, g, ticks);
  DrawReductionPanel(p, data, g, ticks);
  DrawTimeAxis(p, g, ticks, tick);

  p.Text(fonts.note, kMuted,
         "Momentary loudness: 400-ms windows every 100 ms, measured with libebur128. Right edge: the integrated "
         "loudness of input and result, and the \"Out Limit\".",
         kLeft, kNoteTop, Align::kLeft);
  return bm;
}

bool WriteChart(const std::string& path, const ChartData& data, std::string* error) {
  const std::unique_ptr<LICE_MemBitmap> bm = DrawChart(data);
  if (!bm) {
    *error = "cannot draw the chart '" + path + "': no font (DejaVu Sans) could be loaded";
    return false;
  }
  const std::vector<unsigned char> png = LICE_EncodePNG(bm.get(), false);
  if (png.empty()) {
    *error = "cannot encode the chart '" + path + "' as PNG";
    return false;
  }
  return WriteWholeFile(path, png.data(), png.size(), "chart", error);
}

std::string DefaultChartPath(const std::string& result) {
  fs::path p(result);
  p.replace_extension(".png");
  return p.string();
}

}  // namespace quarv::render
