// The loudness chart: its scales, its pixels for a constructed signal
// rendered through the built module (the "Out Limit" line at its row, the
// gain-reduction area exactly where the plug-in reduced the gain), and the
// whole picture against a reviewed golden image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "graphics/raster/LicePng.h"
#include "tests/tools/HostTestSupport.h"
#include "tools/AudioFile.h"
#include "tools/Chart.h"
#include "tools/PluginSetup.h"
#include "tools/Renderer.h"

using namespace quarv::render;
using namespace quarv::test;

namespace {

constexpr int kRate = 48000;

// 18 s of a 1 kHz sine in both channels: quiet (-40 dBFS peak, -40 LUFS),
// loud from 6 to 12 s (-6 dBFS, -6 LUFS), quiet again.
Channels QuietLoudQuiet() {
  Channels ch = SineChannels(2, 18.0, kRate, 1.0);
  for (auto& c : ch) {
    for (size_t i = 0; i < c.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      c[i] *= t >= 6.0 && t < 12.0 ? std::pow(10.0, -6.0 / 20.0) : std::pow(10.0, -40.0 / 20.0);
    }
  }
  return ch;
}

// Renders the file through the built module with "Out Limit" at -20 and
// gathers what the host's report holds.
ReportData RenderThroughModule(const TempDir& dir) {
  ReportData r;
  WriteWav(dir / "steps.wav", QuietLoudQuiet(), kRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  std::unique_ptr<quarv::host::HostedPlugin> plug = OpenModule();
  std::string error;
  EXPECT_TRUE(SetParameter(*plug, "Out Limit", "-20", &error)) << error;
  AudioReader reader;
  EXPECT_TRUE(reader.Open(dir / "steps.wav", &error)) << error;
  plug->Configure(kRate, kDefaultBlock, 2, quarv::host::Precision::kSingle);
  AudioWriter writer;
  EXPECT_TRUE(writer.Open(dir / "out.wav", kRate, 2, FloatWavFormat(), &error)) << error;
  EXPECT_TRUE(Render(reader, writer, *plug, RenderSetup(), &r.result, &error)) << error;
  r.input = "steps.wav";
  r.output = "out.wav";
  r.sampleRate = kRate;
  r.channels = 2;
  r.programName = plug->ProgramName(plug->CurrentProgram());
  r.params = ListParams(*plug);
  return r;
}

LICE_pixel At(LICE_IBitmap* bm, double x, double y) {
  return LICE_Row(bm, static_cast<int>(std::lround(y)))[static_cast<int>(std::lround(x))];
}

TEST(ChartTest, LimitLineAndGainReductionSitWhereTheSignalPutThem) {
  TempDir dir;
  const ReportData report = RenderThroughModule(dir);
  const ChartData data = ChartOf(report);
  ASSERT_TRUE(data.outLimitLufs);
  EXPECT_EQ(*data.outLimitLufs, -20.0);
  // The derived reduction: none while quiet, the 14 LU the loud part is over
  // the limit once the attack has settled.
  const double step = data.stepFrames / static_cast<double>(kRate);
  for (size_t k = 0; k < data.reductionDb.size(); ++k) {
    const double t = (static_cast<double>(k) + 0.5) * step;
    if (t < 5.9 || t > 12.5) {
      EXPECT_NEAR(data.reductionDb[k], 0.0, 0.05) << t;
    } else if (t > 7.0 && t < 11.9) {
      EXPECT_NEAR(data.reductionDb[k], 14.0, 0.5) << t;
    }
  }

  const std::unique_ptr<LICE_MemBitmap> bm = DrawChart(data);
  ASSERT_TRUE(bm);
  ASSERT_EQ(bm->Width(), kChartWidth);
  ASSERT_EQ(bm->Height(), kChartHeight);
  const ChartGeometry g(data);

  // The limit's dashes lie on its row (two pixels thick) across the quiet
  // first part, where no curve comes near, and nowhere just above or below.
  const int row = static_cast<int>(std::lround(g.YLufs(-20.0)));
  const int x0 = static_cast<int>(std::ceil(g.X(0.5))), x1 = static_cast<int>(std::floor(g.X(5.5)));
  int onRow = 0;
  for (int x = x0; x <= x1; ++x) {
    onRow += At(bm.get(), x, row) == kChartLimitColour;
    EXPECT_EQ(At(bm.get(), x, row), At(bm.get(), x, row + 1)) << x;
    for (int off : {-3, -2, 3, 4}) EXPECT_NE(At(bm.get(), x, row + off), kChartLimitColour) << x << " " << off;
  }
  EXPECT_GT(onRow, (x1 - x0) / 2) << "dashes of 10 with gaps of 5";

  // The reduction area hangs from the top of its panel in the loud part, to
  // the depth of the reduction, and is absent where the signal was quiet.
  auto reduced = [&](double x, double y) {
    const LICE_pixel p = At(bm.get(), x, y);
    return p == kChartReductionFill || p == kChartReductionEdge;
  };
  for (double t = 0.3; t < 17.9; t += 0.1) {
    const double x = g.X(t);
    if (t < 5.8 || (t > 12.6 && t < 17.7)) {
      EXPECT_FALSE(reduced(x, g.reduction.T + 2)) << t;
    } else if (t > 7.0 && t < 11.8) {
      EXPECT_TRUE(reduced(x, g.reduction.T + 2)) << t;
      EXPECT_TRUE(reduced(x, g.YReduction(13.0))) << t;
      EXPECT_FALSE(reduced(x, g.YReduction(15.5))) << t;
    }
  }
}

TEST(ChartTest, ScalesFollowTheData) {
  ChartData d;
  d.frames = 10 * kRate;
  d.inputMomentary = {-30.0, -20.0};
  const ChartGeometry quiet(d);
  EXPECT_EQ(quiet.lufsTop, 0.0);
  EXPECT_EQ(quiet.lufsBottom, -48.0);
  EXPECT_EQ(quiet.reductionRange, 6.0);
  EXPECT_DOUBLE_EQ(quiet.seconds, 10.0);
  // Louder than 0 LUFS raises the top; a deep limit lowers the bottom (at
  // most 72 LU below the top); a large reduction deepens its panel.
  d.resultMomentary = {2.5, -100.0};
  d.outLimitLufs = -60.0;
  d.reductionDb = {std::nan(""), 13.2, std::numeric_limits<double>::infinity()};
  const ChartGeometry loud(d);
  EXPECT_EQ(loud.lufsTop, 6.0);
  EXPECT_EQ(loud.lufsBottom, -66.0);
  EXPECT_EQ(loud.lufsGrid, 12.0);
  EXPECT_EQ(loud.reductionRange, 48.0);
  // Values outside a panel stay on its edge.
  EXPECT_EQ(loud.YLufs(-std::numeric_limits<double>::infinity()), loud.loudness.B);
  EXPECT_EQ(loud.YLufs(20.0), loud.loudness.T);
  EXPECT_EQ(loud.YReduction(std::nan("")), loud.reduction.T);
  EXPECT_EQ(loud.YReduction(100.0), loud.reduction.B);
  EXPECT_EQ(loud.X(-1.0), loud.loudness.L);
  EXPECT_EQ(loud.X(11.0), loud.loudness.R);
}

// Three minutes of a made-up song: a quiet intro, a loud chorus the limiter
// pulls down, a quiet bridge, a louder last chorus and a fade.
ChartData GoldenData() {
  ChartData d;
  d.title = "song.wav \xE2\x86\x92 song-quarvelline.wav";
  d.subtitle = "\"Master - Dynamic\"  \xC2\xB7  Input Gain 0 dB  \xC2\xB7  Look Ahead 16.0 ms  \xC2\xB7  Attack 8.0 ms"
               "  \xC2\xB7  Release 50.0 ms  \xC2\xB7  Window 5ms  \xC2\xB7  Out Limit -12.0 lu";
  d.sampleRate = kRate;
  d.stepFrames = 4800;
  d.frames = 180 * static_cast<int64_t>(kRate);
  const int steps = 1800;
  for (int k = 0; k < steps; ++k) {
    const double t = k * 0.1;
    const double ripple = ((k * 7) % 13) * 0.4 - 2.4;
    const double level = t < 30 ? -24 : t < 90 ? -9 : t < 120 ? -28 : t < 170 ? -6 : -6 - (t - 170) * 4;
    const double in = level + ripple;
    const double reduction = std::max(0.0, in - (-12.0 + 0.3 * ripple));
    d.reductionDb.push_back(t > 179.5 ? std::nan("") : reduction);
    if (k + 4 <= steps) {
      d.inputMomentary.push_back(in);
      d.resultMomentary.push_back(in - reduction);
    }
  }
  d.outLimitLufs = -12.0;
  d.inputIntegratedLufs = -10.84;
  d.resultIntegratedLufs = -12.97;
  return d;
}

// Pixels whose channels differ by more than a faint antialiasing step.
int DifferingPixels(LICE_IBitmap* a, LICE_IBitmap* b) {
  int n = 0;
  for (int y = 0; y < a->Height(); ++y) {
    for (int x = 0; x < a->Width(); ++x) {
      const LICE_pixel p = LICE_Row(a, y)[x], q = LICE_Row(b, y)[x];
      const int d = std::max({std::abs(LICE_R(p) - LICE_R(q)), std::abs(LICE_G(p) - LICE_G(q)),
                              std::abs(LICE_B(p) - LICE_B(q))});
      n += d > 24;
    }
  }
  return n;
}

// The golden image was looked at and found right: labels legible, nothing
// overlapping, the story of the song readable. QUARV_WRITE_GOLDEN=1 rewrites
// it after a deliberate change (look at it again before committing it); a
// failing run leaves the picture it drew beside the test for comparison.
TEST(ChartTest, MatchesTheReviewedGoldenImage) {
  const std::string golden = std::string(QUARV_TEST_SOURCE_DIR) + "/tools/golden/chart.png";
  const std::unique_ptr<LICE_MemBitmap> drawn = DrawChart(GoldenData());
  ASSERT_TRUE(drawn);
  if (std::getenv("QUARV_WRITE_GOLDEN")) {
    ASSERT_TRUE(LICE_WritePNG(drawn.get(), golden.c_str(), false));
    GTEST_SKIP() << "wrote " << golden;
  }
  const std::string bytes = Slurp(golden);
  const std::unique_ptr<LICE_MemBitmap> expected(LICE_DecodePNG(bytes.data(), bytes.size()));
  ASSERT_TRUE(expected) << golden;
  ASSERT_EQ(expected->Width(), kChartWidth);
  ASSERT_EQ(expected->Height(), kChartHeight);
  const int differing = DifferingPixels(drawn.get(), expected.get());
  if (differing > 0) LICE_WritePNG(drawn.get(), "chart-drawn.png", false);
  // A moved line differs in hundreds of pixels and a changed digit in dozens;
  // a font library that rounds a glyph's edge differently in a few.
  EXPECT_LE(differing, 20) << "see chart-drawn.png";
}

}  // namespace
