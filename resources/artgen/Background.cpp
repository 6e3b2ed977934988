// The editor's face: a dark brushed plate with the title plate, the maker's
// logo, screws, the status display, the knob wells with their captions and
// scales, the button panel with the idle icons, the slider box with its
// ticks, and the dark panel behind the history graph with its readout tab.
#include <cstdio>
#include <cstdlib>

#include "resources/artgen/Artwork.h"

namespace art {

namespace {

constexpr int kW = 600, kH = 490;
const Rgb kGold = Hex(0xe8b458);
const Rgb kOrange = Hex(0xff9426);

// The brushed face: fine horizontal streaks over a top-lit plate.
Rgb Face(double x, double y) {
  const auto row = static_cast<int32_t>(std::floor(y));
  double v = Mix(0.235, 0.175, y / kH);
  v += (Noise1(x / 150.0, row, 1) - 0.5) * 0.030;
  v += (Noise1(x / 31.0, row, 2) - 0.5) * 0.016;
  v += (Noise2(x / 90.0, y / 14.0, 3) - 0.5) * 0.020;
  v += 0.018 * Exp(-((x - 300.0) / 240.0) * ((x - 300.0) / 240.0)) * (1.0 - y / kH);
  return Rgb{v * 0.975, v * 0.99, v * 1.035};
}

// Mask of one shape over the whole face.
template <class Sdf>
Mask Shape(Sdf sdf, Box box = Box{}) {
  Mask m(kW, kH);
  m.Add(sdf, box);
  return m;
}

// 1 − m moved by (dx, dy): what lies outside the shape.
Mask Outside(const Mask& m, int dx, int dy) {
  Mask o(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) o.Ref(x, y) = 1.0 - m.At(x - dx, y - dy);
  return o;
}

// The edges of a recess cut into the face, lit from above: dark just above
// it, a light lip just below.
void RecessEdges(Canvas& bg, const Mask& m) {
  Mask upper = m.Shifted(0, -1);
  upper.Subtract(m);
  bg.Paint(upper, kBlack, 0.45);
  Mask lip = m.Shifted(0, 1);
  lip.Subtract(m);
  bg.Paint(lip, kWhite, 0.09);
}

// A recess: its edges, the fill, and a shadow falling inside from the upper
// edge.
template <class F>
void Recess(Canvas& bg, const Mask& m, F fill, double shadow, int blur) {
  RecessEdges(bg, m);
  bg.PaintFn(m, fill);
  Mask inner = Outside(m, 0, 2).Blurred(blur);
  inner.Multiply(m);
  bg.Paint(inner, kBlack, shadow);
}

// A plate standing on the face: a soft shadow below, a light upper edge.
template <class F>
void Raised(Canvas& bg, const Mask& m, F fill) {
  Mask drop = m.Shifted(0, 2).Blurred(2);
  drop.Subtract(m);
  bg.Paint(drop, kBlack, 0.7);
  bg.PaintFn(m, fill);
  Mask upper = m;
  upper.Subtract(m.Shifted(0, 1));
  bg.Paint(upper, kWhite, 0.22);
  Mask lower = m;
  lower.Subtract(m.Shifted(0, -1));
  bg.Paint(lower, kBlack, 0.5);
}

// Text with a dark shadow one pixel below.
void ShadowedText(Canvas& bg, const Mask& text, const Rgb& colour, double shadow) {
  bg.Paint(text.Shifted(0, 1), kBlack, shadow);
  bg.Paint(text, colour);
}

// A countersunk cross-head screw, its slots turned by slotAngle.
void Screw(Canvas& bg, double cx, double cy, double slotAngle) {
  const double r = 7.0;
  Recess(bg, Shape([&](double x, double y) { return SdCircle(x, y, cx, cy, r + 1.2); }, Around(cx, cy, r + 4)),
         [](double, double) { return Hex(0x0b0c0e); }, 0.6, 1);
  bg.FillFn([&](double x, double y) { return SdCircle(x, y, cx, cy, r); },
            [&](double x, double y) {
              // A flat head lit from the upper left, its edge turned.
              const double nx = (x - cx) / r, ny = (y - cy) / r;
              double v = 0.42 - 0.14 * (nx * 0.6 + ny * 0.8);
              const double edge = Smooth(0.72, 0.92, Length(nx, ny));
              v += edge * 0.22 * -(nx * 0.6 + ny * 0.8);
              return Rgb{v, v * 1.01, v * 1.04};
            },
            1.0, Around(cx, cy, r));
  bg.Fill([&](double x, double y) { return std::fabs(SdCircle(x, y, cx, cy, r - 0.3)) - 0.35; }, kBlack, 0.5,
          Around(cx, cy, r));
  const double len = r - 2.0;
  for (int i = 0; i < 2; ++i) {
    const double a = slotAngle + i * kPi / 2;
    const double ax = Cos(a) * len, ay = Sin(a) * len;
    bg.Fill([&](double x, double y) { return SdSegment(x, y, cx - ax, cy - ay, cx + ax, cy + ay, 0.8); },
            Hex(0x141517), 1.0, Around(cx, cy, r));
  }
}

void TitlePlate(Canvas& bg) {
  const double l = 206, t = 8, r = 394, b = 51, rad = 5;
  Raised(bg, Shape([&](double x, double y) { return SdRoundRect(x, y, l - 1.5, t - 1.5, r + 1.5, b + 1.5, rad + 1.5); }),
         [&](double x, double y) {
           // A polished metal frame.
           const double v = 0.42 + 0.25 * (1.0 - (y - t) / (b - t)) + (Noise1(x / 6.0, static_cast<int32_t>(y), 21) - 0.5) * 0.04;
           return Rgb{v, v * 1.01, v * 1.04};
         });
  bg.FillFn([&](double x, double y) { return SdRoundRect(x, y, l, t, r, b, rad); },
            [&](double x, double y) {
              // Black glass with a faint diagonal reflection.
              const double u = (x - l) / (r - l), w = (y - t) / (b - t);
              double v = Mix(0.085, 0.045, w);
              v += 0.05 * Smooth(0.35, 0.0, std::fabs(u * 0.55 - w * 0.9 + 0.05)) * (1.0 - w);
              return Rgb{v, v * 1.02, v * 1.1};
            });
  Font name("Liberation Sans", 28, true, "Liberation Sans");
  Mask title(kW, kH);
  name.Draw(title, "Quarvelline", 300.0, 8, 1, 1);
  bg.Paint(title.Shifted(0, 1), kBlack, 0.8);
  bg.PaintFn(title, [&](double, double y) {
    return MixRgb(Hex(0xffffff), Hex(0xa9b0bd), Smooth(12.0, 34.0, y));
  });
  Font sub("Liberation Sans", 10, true, "Liberation Sans");
  Mask tag(kW, kH);
  sub.Draw(tag, "LOUDNESS LIMITER", 300.0, 37, 1, 2);
  bg.Paint(tag, kOrange, 0.95);
}

void Logo(Canvas& bg) {
  const double cx = 463, cy = 29, r = 10.5;
  // The maker's mark: a ring around three rising bars.
  Mask ring = Shape([&](double x, double y) { return std::fabs(SdCircle(x, y, cx, cy, r)) - 1.2; }, Around(cx, cy, r + 2));
  bg.Paint(ring.Shifted(0, 1), kBlack, 0.6);
  bg.PaintFn(ring, [&](double, double y) { return MixRgb(Hex(0xffc46a), Hex(0xd9661a), Clamp01((y - cy + r) / (2 * r))); });
  for (int i = 0; i < 3; ++i) {
    const double bx = cx - 4.0 + i * 4.0, top = cy + 1.5 - i * 3.5;
    Mask bar = Shape([&](double x, double y) { return SdRoundRect(x, y, bx - 1.3, top, bx + 1.3, cy + 5.0, 0.6); },
                     Around(cx, cy, r));
    bg.Paint(bar.Shifted(0, 1), kBlack, 0.6);
    bg.Paint(bar, Hex(0xeeeeee));
  }
  Font word("Liberation Sans", 17, true, "Liberation Sans");
  Mask text(kW, kH);
  word.Draw(text, "DASKERY", cx + r + 7.0, 15, 0, 2);
  ShadowedText(bg, text, Hex(0xdadde2), 0.8);
  Font tag("Liberation Sans", 8, true, "Liberation Sans");
  Mask small(kW, kH);
  tag.Draw(small, "AUDIO  TOOLS", cx + r + 7.5, 33, 0, 2);
  bg.Paint(small, Hex(0x9a9ea6));
}

void StatusDisplay(Canvas& bg) {
  Recess(bg, Shape([](double x, double y) { return SdRoundRect(x, y, 168, 57, 432, 80, 4); }),
         [](double, double y) {
           const double v = Mix(0.055, 0.075, (y - 57.0) / 23.0);
           return Rgb{v, v * 1.05, v * 1.15};
         },
         0.6, 1);
}

void KnobWell(Canvas& bg, const KnobSpec& k, Font& caption) {
  const double cx = k.cx, cy = k.cy, rw = k.size * 0.5 + 3.0;
  Recess(bg, Shape([&](double x, double y) { return SdCircle(x, y, cx, cy, rw); }, Around(cx, cy, rw + 3)),
         [](double, double) { return Hex(0x0c0d0f); }, 0.6, 1);
  // The scale: a dot every 30 degrees over the knob's 300-degree sweep.
  const double rd = rw + 3.5;
  const Rgb dotColour = k.goldCaption ? kGold : Hex(0xc4c8ce);
  for (int i = 0; i <= 10; ++i) {
    const double a = (-150.0 + 30.0 * i) * kPi / 180.0;
    const double px = cx + rd * Sin(a), py = cy - rd * Cos(a);
    const double dr = (i == 0 || i == 5 || i == 10) ? 1.5 : 1.05;
    Mask dot = Shape([&](double x, double y) { return SdCircle(x, y, px, py, dr); }, Around(px, py, dr + 1));
    bg.Paint(dot.Shifted(0, 1), kBlack, 0.6);
    bg.Paint(dot, dotColour, 0.9);
  }
  Mask text(kW, kH);
  caption.Draw(text, k.caption, cx, 83, 1);
  ShadowedText(bg, text, k.goldCaption ? kGold : Hex(0xf0f0f0), 0.85);
}

// The idle icon at its spot, after checking that the panel under it is flat
// in the colour a lit icon's backing uses.
void IdleIcon(Canvas& bg, const Canvas& icon, const IconSpot& s) {
  for (int y = s.y - 1; y <= s.y + s.h; ++y)
    for (int x = s.x - 1; x <= s.x + s.w; ++x) {
      const Px& p = bg.At(x, y);
      if (std::fabs(p.r - kButtonPanel.r) > 1e-9 || std::fabs(p.g - kButtonPanel.g) > 1e-9 ||
          std::fabs(p.b - kButtonPanel.b) > 1e-9) {
        std::fprintf(stderr, "the button panel is not flat at (%d, %d)\n", x, y);
        std::exit(3);
      }
    }
  bg.Draw(icon, s.x, s.y);
}

void ButtonPanel(Canvas& bg) {
  // Only the upper edge shades the panel, so that it is flat under the icons.
  const Mask m = Shape([](double x, double y) { return SdRoundRect(x, y, 29, 199, 107, 228, 4); });
  RecessEdges(bg, m);
  bg.Paint(m, kButtonPanel);
  Mask shade(kW, kH);
  for (int y = 199; y < 203; ++y)
    for (int x = 29; x < 107; ++x) shade.Ref(x, y) = (203 - y) / 4.0 * m.At(x, y);
  bg.Paint(shade, kBlack, 0.55);
  IdleIcon(bg, MakeLock(false), kLockSpot);
  IdleIcon(bg, MakeReset(false), kResetSpot);
  IdleIcon(bg, MakeChart(false), kChartSpot);
}

void SliderBox(Canvas& bg) {
  Recess(bg, Shape([](double x, double y) { return SdRoundRect(x, y, kSliderL, kSliderT, kSliderR, kSliderB, 4); }),
         [](double, double y) {
           const double v = Mix(0.045, 0.07, (y - kSliderT) / 29.0);
           return Rgb{v, v * 1.03, v * 1.1};
         },
         0.6, 1);
  // The groove the handle rides along.
  const int gy = 207;
  Mask groove(kW, kH), glint(kW, kH);
  for (int x = kFirstTickX; x <= kFirstTickX + kTickStep * (kTickCount - 1); ++x) {
    groove.Ref(x, gy) = groove.Ref(x, gy + 1) = 1.0;
    glint.Ref(x, gy + 2) = 1.0;
  }
  bg.Paint(groove, kBlack, 0.8);
  bg.Paint(glint, kWhite, 0.07);
  // A tick under each place the handle's centre can rest, two pixels wide
  // about it; the first, middle and last ones longer.
  for (int i = 0; i < kTickCount; ++i) {
    const int x = kFirstTickX + kTickStep * i;
    const int top = (i == 0 || i == kTickCount / 2 || i == kTickCount - 1) ? 220 : 222;
    Mask tick(kW, kH);
    for (int y = top; y < 226; ++y) tick.Ref(x - 1, y) = tick.Ref(x, y) = 1.0;
    bg.Paint(tick.Blurred(1), kOrange, 0.35);
    bg.Paint(tick, kOrange);
  }
}

void GraphPanel(Canvas& bg) {
  // The panel behind the graph with a tab above its right part for the
  // attenuation and loudness readouts, joined by a rounded inner corner.
  const double tabL = 298, tabT = 205, f = 4;
  const Mask m = Shape([&](double x, double y) {
    const double panel = SdRoundRect(x, y, 8, 228, 588, 474, 4);
    const double tab = SdRoundRect(x, y, tabL, tabT, 588, 240, 4);
    const double fillet = std::max(SdRoundRect(x, y, tabL - f, 228 - f, tabL + 0.5, 228.5, 0),
                                   -SdCircle(x, y, tabL - f, 228 - f, f));
    return std::min(std::min(panel, tab), fillet);
  });
  Recess(bg, m,
         [](double x, double y) {
           const double v = Mix(0.062, 0.04, Clamp01((y - 205.0) / 269.0)) + 0.008 * Exp(-((x - 300.0) / 200.0) * ((x - 300.0) / 200.0));
           return Rgb{v, v * 1.04, v * 1.12};
         },
         0.65, 2);
}

}  // namespace

Canvas MakeBackground() {
  Canvas bg(kW, kH);
  bg.Shade(Face);
  // The plate's edge: a dark outline and a light bevel inside it.
  Mask outline(kW, kH), bevel(kW, kH);
  for (int x = 0; x < kW; ++x) outline.Ref(x, 0) = outline.Ref(x, kH - 1) = 1.0;
  for (int y = 0; y < kH; ++y) outline.Ref(0, y) = outline.Ref(kW - 1, y) = 1.0;
  bg.Paint(outline, kBlack, 0.8);
  for (int x = 1; x < kW - 1; ++x) bevel.Ref(x, 1) = 1.0;
  for (int y = 1; y < kH - 1; ++y) bevel.Ref(1, y) = 1.0;
  bg.Paint(bevel, kWhite, 0.08);

  Screw(bg, 17, 17, 0.0);
  Screw(bg, kW - 17, 17, kPi / 4);
  TitlePlate(bg);
  Logo(bg);
  StatusDisplay(bg);
  Font caption("Arial", 14, true, "Liberation Sans");
  for (const KnobSpec& k : kKnobs) KnobWell(bg, k, caption);
  ButtonPanel(bg);
  SliderBox(bg);
  GraphPanel(bg);
  return bg;
}

}  // namespace art
