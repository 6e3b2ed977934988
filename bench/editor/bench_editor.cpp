// The editor's drawing with a full history: one strict pass over the whole
// 600 x 490 editor (background, knobs, buttons, slider, texts, label and the
// graph) and the graph's Draw alone, after the history has been halved once:
// the plug-in with the "Master - Dynamic" preset processes a minute of
// music-like audio over and over, transport playing, until 34 689 points have
// been stored (about 29 minutes) and 17 345 are kept, every column
// interpolated. Budgets: a pass under 2 ms, the graph under 1 ms. A plain
// copy of the editor's pixels is measured in the same run as the reference.
//
//   build/bench/editor/bench_editor --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSummary.h"
#include "editor/GRAPH.h"
#include "engine/Quarvelline.h"
#include "graphics/IGraphics.h"
#include "graphics/raster/LiceBitmap.h"
#include "tools/Signals.h"

namespace {

// A plug-in whose history has just been halved, with the mouse over the
// graph.
struct Editor {
  Editor() {
    plug->Open();
    plug->SetHostSampleRate(48000.0);
    plug->SetHostBlockSize(512);
    plug->Activate(true);
    plug->RecallPreset(9);  // "Master - Dynamic"
    plug->SetTransport(1);
    const quarv::StereoBuffer music = quarv::DemoMusic(60.0, 48000.0);
    std::vector<double> oL(512), oR(512);
    double* out[2] = {oL.data(), oR.data()};
    const GRAPH& g = *plug->mGraph;
    for (size_t pos = 0; !halved; pos += 512) {
      if (pos + 512 > music.Frames()) pos = 0;
      double* in[2] = {const_cast<double*>(music.left.data()) + pos, const_cast<double*>(music.right.data()) + pos};
      const int before = g.points;
      plug->Process(in, out, 2, 512);
      halved = g.points < before;
    }
    graphics = plug->GetGUI();
    graphics->OnMouseOver(300, 350, MouseMods());
    graphics->DrawRegion(Rect(0, 0, 600, 490));
  }
  std::unique_ptr<CLS_QUARVELLINE> plug = std::make_unique<CLS_QUARVELLINE>();
  bool halved = false;
  IGraphics* graphics;
};

Editor& TheEditor() {
  static Editor editor;
  return editor;
}

void CountPasses(benchmark::State& state) {
  state.counters["s_per_pass"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_EditorStrictPass(benchmark::State& state) {
  Editor& e = TheEditor();
  if (!e.halved) state.SkipWithError("the history was not halved");
  const Rect all(0, 0, 600, 490);
  for (auto _ : state) {
    e.graphics->DrawRegion(all);
    benchmark::DoNotOptimize(e.graphics->GetDrawBitmap()->Bits());
  }
  CountPasses(state);
}
BENCHMARK(BM_EditorStrictPass)->Unit(benchmark::kMicrosecond);

void BM_GraphDraw(benchmark::State& state) {
  Editor& e = TheEditor();
  e.graphics->drawRect = Rect(0, 0, 600, 490);
  for (auto _ : state) {
    e.plug->mGraph->Draw(e.graphics);
    benchmark::DoNotOptimize(e.graphics->GetDrawBitmap()->Bits());
  }
  CountPasses(state);
}
BENCHMARK(BM_GraphDraw)->Unit(benchmark::kMicrosecond);

// Reference: one plain copy of the editor's 600 x 490 pixels.
void BM_ReferenceCopy(benchmark::State& state) {
  std::vector<uint32_t> a(600 * 490, 0x12345678u), b(600 * 490);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  CountPasses(state);
}
BENCHMARK(BM_ReferenceCopy)->Unit(benchmark::kMicrosecond);

// Milliseconds per pass against the budgets and the reference copy.
class SummaryReporter : public quarvbench::CollectingReporter {
public:
  using CollectingReporter::CollectingReporter;

  void PrintSummary() const override {
    const double ref = Value("BM_ReferenceCopy", "s_per_pass") * 1e3;
    std::printf("\nms per pass with a halved history%s\n", mMedians ? ", medians" : "");
    std::printf("%-24s %10s %10s %12s\n", "case", "ms", "budget", "x copy");
    const struct {
      const char* name;
      double budget;
    } cases[] = {{"BM_EditorStrictPass", 2.0}, {"BM_GraphDraw", 1.0}};
    for (const auto& c : cases) {
      const double ms = Value(c.name, "s_per_pass") * 1e3;
      if (ms <= 0.0) continue;
      std::printf("%-24s %10.3f %10.1f %12.1f  %s\n", c.name, ms, c.budget, ref > 0.0 ? ms / ref : 0.0,
                  ms < c.budget ? "within budget" : "OVER BUDGET");
    }
  }
};

}  // namespace

int main(int argc, char** argv) { return quarvbench::RunWithSummary<SummaryReporter>(argc, argv); }
