// The small button icons, idle (grey, drawn into the background) and lit
// (drawn by the buttons over the idle ones), and the slider handle.
#include "resources/artgen/Artwork.h"

namespace art {

const Rgb kButtonPanel = Hex(0x17181b);

namespace {

const Rgb kIdleTop = Hex(0x8a8d93);
const Rgb kIdleBottom = Hex(0x5f6268);
const Rgb kGreenTop = Hex(0x9af7a8);
const Rgb kGreenBottom = Hex(0x2fc957);

// Paints an icon shape: a vertical gradient and, when lit, a glow around it.
void PaintIcon(Canvas& c, const Mask& shape, const Rgb& top, const Rgb& bottom, bool lit, const Rgb& glow) {
  if (lit) c.Paint(shape.Blurred(1), glow, 0.5);
  const double h = c.H();
  c.PaintFn(shape, [&](double, double y) { return MixRgb(top, bottom, Clamp01(y / h)); });
}

// Lit icons are green, idle ones grey.
void PaintGreenOrGrey(Canvas& c, const Mask& shape, bool lit) {
  if (lit) PaintIcon(c, shape, kGreenTop, kGreenBottom, true, kGreenBottom);
  else PaintIcon(c, shape, kIdleTop, kIdleBottom, false, kIdleTop);
}

}  // namespace

Canvas MakeLock(bool lit) {
  const IconSpot& s = kLockSpot;
  Mask m(s.w, s.h);
  const double cx = s.w * 0.5;
  m.Add([&](double x, double y) { return SdRoundRect(x, y, cx - 6, 8, cx + 6, 17, 2); });
  m.Cut([&](double x, double y) {
    return std::min(SdCircle(x, y, cx, 11.6, 1.5), SdSegment(x, y, cx, 12, cx, 14.6, 0.7));
  });
  // The shackle: closed, both legs in the body; open, lifted with its left
  // leg out.
  const double top = lit ? 4.3 : 6.3, r = 3.6, hw = 0.95;
  m.Add([&](double x, double y) {
    double d = SdArc(x, y, cx, top, r, hw, -kPi / 2, kPi / 2);
    d = std::min(d, SdSegment(x, y, cx + r, top, cx + r, 8.5, hw));
    d = std::min(d, SdSegment(x, y, cx - r, top, cx - r, lit ? 5.4 : 8.5, hw));
    return d;
  });
  Canvas c(s.w, s.h);
  PaintGreenOrGrey(c, m, lit);
  return c;
}

Canvas MakeReset(bool lit) {
  const IconSpot& s = kResetSpot;
  Mask m(s.w, s.h);
  const double cx = s.w * 0.5, cy = s.h * 0.5, r = 5.5, hw = 1.05;
  // Two arcs chasing each other clockwise, an arrow head on the end of each.
  for (int i = 0; i < 2; ++i) {
    const double a0 = (-80.0 + 180.0 * i) * kPi / 180.0, a1 = (45.0 + 180.0 * i) * kPi / 180.0;
    m.Add([&](double x, double y) { return SdArc(x, y, cx, cy, r, hw, a0, a1); });
    const double px = cx + r * Sin(a1), py = cy - r * Cos(a1);
    const double tx = Cos(a1), ty = Sin(a1), nx = Sin(a1), ny = -Cos(a1);
    const double tri[6] = {px + tx * 4.2, py + ty * 4.2, px + nx * 3.1, py + ny * 3.1, px - nx * 3.1, py - ny * 3.1};
    m.Add([&](double x, double y) { return SdPolygon(x, y, tri, 3); });
  }
  Canvas c(s.w, s.h);
  PaintGreenOrGrey(c, m, lit);
  return c;
}

Canvas MakeChart(bool lit) {
  const IconSpot& s = kChartSpot;
  struct Bar {
    double l, top;
    Rgb colour;
  };
  const Bar bars[4] = {{2, 11, Hex(0x3fc4ff)}, {6, 8, Hex(0x52e07a)}, {10, 5, Hex(0xf4d24a)}, {14, 2, Hex(0xff8a2a)}};
  Canvas c(s.w, s.h);
  for (const Bar& b : bars) {
    Mask m(s.w, s.h);
    m.Add([&](double x, double y) { return SdRoundRect(x, y, b.l, b.top, b.l + 3, 17, 0.6); });
    if (lit) PaintIcon(c, m, MixRgb(b.colour, Rgb{1, 1, 1}, 0.35), b.colour, true, b.colour);
    else PaintGreenOrGrey(c, m, false);
  }
  if (lit) {
    // The play triangle above the short bars.
    const double tri[6] = {1.0, 0.8, 1.0, 9.2, 8.0, 5.0};
    Mask m(s.w, s.h);
    m.Add([&](double x, double y) { return SdPolygon(x, y, tri, 3); });
    PaintIcon(c, m, Hex(0xe8ffe8), kGreenTop, true, kGreenBottom);
  }
  return c;
}

Canvas OverIdle(const Canvas& lit, const Canvas& idle) {
  Canvas out(lit.W(), lit.H());
  // The backing is opaque wherever the idle icon has ink, and one pixel
  // around it, so the lit icon hides it completely.
  for (int y = 0; y < out.H(); ++y)
    for (int x = 0; x < out.W(); ++x) {
      bool ink = false;
      for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
          const int u = x + i, v = y + j;
          if (u >= 0 && v >= 0 && u < idle.W() && v < idle.H() && idle.At(u, v).a > 0.0) ink = true;
        }
      if (ink) out.Over(x, y, kButtonPanel, 1.0);
    }
  out.Draw(lit, 0, 0);
  return out;
}

Canvas MakeHandle() {
  const int w = 18, h = 20;
  // A marker pointing down at the tick under its centre (x 9).
  const double inset = 1.0;
  const double shape[10] = {1.5 + inset, 1.0 + inset, 16.5 - inset, 1.0 + inset, 16.5 - inset, 10.5,
                            9.0, 18.8 - inset, 1.5 + inset, 10.5};
  auto sd = [&](double x, double y) { return SdPolygon(x, y, shape, 5) - inset; };
  Canvas c(w, h);
  c.FillFn(sd, [&](double, double y) { return MixRgb(Hex(0xffcf70), Hex(0xf26a08), Clamp01((y - 1.0) / 17.0)); });
  // A darker outline and a light upper edge.
  c.Fill([&](double x, double y) { return std::fabs(sd(x, y) + 0.5) - 0.5; }, Hex(0x7a3000), 0.8);
  Mask top(w, h);
  top.Add([&](double x, double y) { return sd(x, y) + 1.0; });
  top.Subtract(top.Shifted(0, 1));
  c.Paint(top, Hex(0xffe2b0), 0.7);
  // A groove down the middle.
  c.Fill([&](double x, double y) { return SdSegment(x, y, 9.0, 4.5, 9.0, 11.5, 0.55); }, Hex(0x8a3a00), 0.7);
  return c;
}

}  // namespace art
