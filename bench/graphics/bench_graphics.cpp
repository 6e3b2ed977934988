// One full strict drawing pass over the editor's 600 × 490 draw bitmap, as an
// editor tick that repaints everything would run it: an opaque background,
// six knobs (body blit plus a rotated 66 × 66 pointer), the history graph's
// 578 × 246 area with 1 000 antialiased lines, and ten lines of text. The
// parts are measured alone too, and a plain copy of the whole bitmap is the
// reference for what the machine does in the same run.
//
//   ./bench/graphics/bench_graphics
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "editor/IControl.h"
#include "graphics/IGraphicsOffscreen.h"
#include "graphics/raster/LiceBitmap.h"
#include "graphics/raster/LiceRaster.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// An opaque background with some texture, so the copy is not of constant
// memory.
LICE_MemBitmap* MakeBackground() {
  auto* img = new LICE_MemBitmap(600, 490);
  for (int y = 0; y < 490; ++y)
    for (int x = 0; x < 600; ++x) LICE_Row(img, y)[x] = LICE_ARGB(255, (x * 3) & 0xff, (y * 5) & 0xff, (x ^ y) & 0xff);
  return img;
}

// A knob image as the editor's are: the left square transparent but for an
// antialiased pointer dot, the right square a shaded disc with transparent
// corners.
LICE_MemBitmap* MakeKnob() {
  auto* img = new LICE_MemBitmap(132, 66);
  LICE_FilledArc(img, 33.0f, 10.0f, 3.5f, 0, 7, 0xffffffffu, 1.0f, LICE_BLIT_MODE_COPY, true);
  for (int i = 0; i < 14; ++i)
    LICE_FilledArc(img, 98.5f, 32.5f, 29.0f - i * 2.0f, 0, 7, LICE_ARGB(255, 20 + 3 * i, 30 + 4 * i, 60 + 9 * i),
                   1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA, true);
  return img;
}

class Background : public IControl {
public:
  Background(LICE_IBitmap* img) : IControl(nullptr, Rect(0, 0, 600, 490)), ref(img, 600, 490) {}
  bool Draw(IGraphics* g) override {
    const Blend copy(kBlendCopy, 1.0f);
    return g->DrawBitmap(ref, rect, 1, &copy);
  }
  BitmapRef ref;
};

class Knob : public IControl {
public:
  Knob(int cx, int cy, BitmapRef b, BitmapRef p, double v)
      : IControl(nullptr, Rect(cx - 33, cy - 33, cx + 33, cy + 53)), cx_(cx), cy_(cy), body(b), pointer(p) {
    value = v;
  }
  bool Draw(IGraphics* g) override {
    const float angle = static_cast<float>(300 * 3.14159265358979 / 360) * static_cast<float>(2 * value) +
                        static_cast<float>(-300 * 3.14159265358979 / 360);
    g->DrawBitmap(body, Rect(cx_ - 33, cy_ - 33, cx_ + 33, cy_ + 33));
    return g->DrawRotatedBitmap(pointer, cx_, cy_, angle);
  }
  int cx_, cy_;
  BitmapRef body, pointer;
};

// The history graph's lines: per column the filled area under the loudness,
// the loudness outline and the envelope, 1 000 lines in all.
class Graph : public IControl {
public:
  Graph() : IControl(nullptr, Rect(8, 228, 586, 474)) {}
  bool Draw(IGraphics* g) override {
    const float base = 460.0f;
    int lines = 0;
    for (int i = 0; lines < 1000; ++i) {
      const float x = 40.0f + i * 1.6f;
      const float d = 120.0f + 60.0f * std::sin(i * 0.11f) + 15.0f * std::sin(i * 0.7f);
      const float e = 110.0f + 50.0f * std::sin(i * 0.05f);
      g->DrawLine(Colour(60, 255, 255, 255), x, base - d, x, base, nullptr, true);
      g->DrawLine(Colour(90, 255, 255, 255), x - 1.6f, base - d + 3.0f, x, base - d, nullptr, true);
      g->DrawLine(Colour(255, 255, 255, 0), x - 1.6f, base - e + 1.0f, x, base - e, nullptr, true);
      lines += 3;
      if (lines < 1000 && i % 3 == 0) {
        g->DrawLine(Colour(120, 255, 0, 0), x - 1, 240, x, 240 + 12 * std::fabs(std::sin(i * 0.2f)), nullptr, true);
        ++lines;
      }
    }
    return true;
  }
};

class TextLine : public IControl {
public:
  TextLine(const Rect& r, const TextStyle& s, const char* t) : IControl(nullptr, r), style(s), text(t) {}
  bool Draw(IGraphics* g) override { return g->DrawText(style, text, rect); }
  TextStyle style;
  const char* text;
};

struct Editor {
  Editor() : g(nullptr, 600, 490, 0) {
    g.PrepareDrawBitmap();
    background.reset(MakeBackground());
    knobImage.reset(MakeKnob());
    g.AttachControl(new Background(background.get()));
    BitmapRef knob(knobImage.get(), 132, 66);
    const BitmapRef pointer = g.SplitBitmap(knob, 0.5f);
    const int centres[6][2] = {{100, 143}, {183, 138}, {261, 138}, {339, 138}, {417, 138}, {500, 143}};
    for (int k = 0; k < 6; ++k) g.AttachControl(new Knob(centres[k][0], centres[k][1], knob, pointer, 0.1 + 0.15 * k));
    g.AttachControl(new Graph());
    const TextStyle value("Arial", 16, Colour(255, 255, 255, 255));
    const TextStyle status("Arial", 14, Colour(220, 255, 255, 255));
    const TextStyle version("Verdana", 13, Colour(100, 255, 255, 255), 0, TextStyle::kAlignLeft);
    const TextStyle label("Arial", 14, Colour(170, 255, 255, 255), TextStyle::kStyleBold);
    const char* values[] = {"-3.5dB", "250.0ms", "12.0ms", "800.0ms", "400ms", "-14.0LUFS"};
    for (int k = 0; k < 6; ++k)
      g.AttachControl(new TextLine(Rect(60 + k * 80, 180, 140 + k * 80, 196), value, values[k]));
    g.AttachControl(new TextLine(Rect(50, 12, 95, 30), version, "v1.16"));
    g.AttachControl(new TextLine(Rect(175, 58, 425, 78), status, "Out Limit: -14.0 LUFS, the loudness ceiling"));
    g.AttachControl(new TextLine(Rect(400, 212, 588, 228), status, "Lufs Max: -9.87lu, Lufs I: -14.02lu"));
    g.AttachControl(new TextLine(Rect(8, 300, 38, 316), label, "-12"));
  }
  IGraphicsOffscreen g;
  std::unique_ptr<LICE_IBitmap> background, knobImage;
};

Editor& TheEditor() {
  static Editor editor;
  return editor;
}

// Draws only the controls of one kind by hiding the others.
void RunPass(benchmark::State& state, int firstControl, int lastControl) {
  Editor& e = TheEditor();
  for (int i = 0; i < e.g.NControls(); ++i) e.g.GetControl(i)->hidden = i < firstControl || i > lastControl;
  const Rect all(0, 0, 600, 490);
  for (auto _ : state) {
    e.g.DrawRegion(all);
    benchmark::DoNotOptimize(e.g.GetDrawBitmap()->Bits());
  }
  for (int i = 0; i < e.g.NControls(); ++i) e.g.GetControl(i)->hidden = false;
}

void FullPass(benchmark::State& state) { RunPass(state, 0, 1000); }
void BackgroundOnly(benchmark::State& state) { RunPass(state, 0, 0); }
void SixKnobs(benchmark::State& state) { RunPass(state, 1, 6); }
void GraphLines(benchmark::State& state) { RunPass(state, 7, 7); }
void TenTextLines(benchmark::State& state) { RunPass(state, 8, 17); }

// Reference: copying the whole draw bitmap's memory once.
void ReferenceMemcpy(benchmark::State& state) {
  std::vector<uint32_t> a(600 * 490, 0x12345678u), b(600 * 490);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(FullPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BackgroundOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(SixKnobs)->Unit(benchmark::kMicrosecond);
BENCHMARK(GraphLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(TenTextLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReferenceMemcpy)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
