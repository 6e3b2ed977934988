// Knob images: a glass cap in a dark machined skirt (the body, drawn
// unrotated by the editor) and a white pointer dot on a transparent ground
// (the square the editor turns over the body).
#include "resources/artgen/Artwork.h"

namespace art {

const KnobSpec kKnobs[6] = {
    {100, 143, 66, "Input Gain", true, Hex(0x2a6fd8), Hex(0x0b1f52)},
    {183, 138, 58, "Look Ahead", false, Hex(0x41454c), Hex(0x111315)},
    {261, 138, 58, "Attack", false, Hex(0x41454c), Hex(0x111315)},
    {339, 138, 58, "Release", false, Hex(0x41454c), Hex(0x111315)},
    {417, 138, 58, "Window", false, Hex(0x1f3a86), Hex(0x070f2e)},
    {500, 143, 66, "Out Limit", true, Hex(0x7c4320), Hex(0x220e04)},
};

namespace {


// Radii of a knob of side s: the skirt's edge and the glass cap's.
double SkirtRadius(int s) { return s * 0.5 - 2.0; }
double CapRadius(int s) { return SkirtRadius(s) - (s > 60 ? 6.5 : 5.5); }

Canvas Body(const KnobSpec& k) {
  const int s = k.size;
  const double c = s * 0.5, rk = SkirtRadius(s), rc = CapRadius(s);
  Canvas body(s, s);

  // Contact shadow, a little below the knob.
  Mask shadow(s, s);
  shadow.Add([&](double x, double y) { return SdCircle(x, y, c, c + 1.5, rk); });
  body.Paint(shadow.Blurred(1), kBlack, 0.7);

  // The skirt: turned gunmetal with fine knurls at its edge; the light from
  // above catches its circular grooves in two opposite sectors.
  body.FillFn([&](double x, double y) { return SdCircle(x, y, c, c, rk); },
              [&](double x, double y) {
                const double dx = x - c, dy = y - c;
                const double r = Length(dx, dy);
                const double t = Atan2(dx, -dy);
                const double sheen = Pow(0.5 + 0.5 * Cos(2.0 * (t + 0.75)), 4.0);
                const double grain = (Noise1(t * 90.0, static_cast<int32_t>(r * 3.0), 11) - 0.5) * 0.03;
                const double knurl = 0.5 + 0.5 * Cos(t * 48.0);
                const double edge = Smooth(rk - 2.5, rk - 1.0, r);
                double v = 0.21 + 0.3 * sheen + grain - 0.05 * (dy / rk) - 0.05 * edge * knurl;
                // Bevel of the outer edge: lit above, shaded below.
                v += Smooth(rk - 1.4, rk - 0.4, r) * (dy < 0 ? 0.22 * (-dy / rk) : -0.08 * (dy / rk));
                // The skirt falls into shadow where it meets the cap.
                v *= 1.0 - 0.35 * Smooth(rc + 2.5, rc + 0.5, r);
                return Rgb{v, v * 1.02, v * 1.08};
              });
  // The seam between skirt and cap, and the cap's light chamfer inside it.
  body.Fill([&](double x, double y) { return std::fabs(SdCircle(x, y, c, c, rc + 0.5)) - 0.7; }, kBlack, 0.85);

  // The glass cap: deep colour at the rim, a caustic glow below the centre,
  // a glossy crescent reflecting the light above, a light rim below.
  body.FillFn([&](double x, double y) { return SdCircle(x, y, c, c, rc); },
              [&](double x, double y) {
                const double nx = (x - c) / rc, ny = (y - c) / rc;
                const double r = Clamp01(Length(nx, ny));
                Rgb col = MixRgb(k.glass, k.glassDeep, Smooth(0.1, 1.0, r));
                const double glow = Exp(-(nx * nx * 2.2 + (ny - 0.5) * (ny - 0.5) * 5.0));
                col = AddRgb(col, ScaleRgb(MixRgb(k.glass, kWhite, 0.35), 0.75 * glow));
                // The crescent: inside the rim, outside a circle moved down.
                const double inner = Length(nx, ny - 0.28) - 0.99;
                const double crescent = Smooth(0.0, 0.05, inner) * Smooth(0.95, 0.88, r);
                col = MixRgb(col, kWhite, 0.5 * crescent * Smooth(0.15, -0.75, ny));
                const double rim = Smooth(0.8, 0.96, r) * Smooth(0.2, 0.85, ny) * (1.0 - Smooth(0.96, 1.0, r));
                col = MixRgb(col, MixRgb(k.glass, kWhite, 0.6), 0.6 * rim);
                col = MixRgb(col, kBlack, 0.4 * Smooth(0.94, 1.0, r));
                return col;
              });
  return body;
}

Canvas Pointer(const KnobSpec& k) {
  const int s = k.size;
  const double c = s * 0.5, rc = CapRadius(s);
  const double dist = rc * 0.62, dot = s > 60 ? 2.6 : 2.3;
  Canvas pointer(s, s);
  // A soft dark ring keeps the dot clear on the cap's light reflection.
  Mask halo(s, s);
  halo.Add([&](double x, double y) { return SdCircle(x, y, c, c - dist, dot + 1.0); });
  pointer.Paint(halo.Blurred(1), kBlack, 0.55);
  pointer.Fill([&](double x, double y) { return SdCircle(x, y, c, c - dist, dot); }, kWhite);
  return pointer;
}

}  // namespace

Canvas MakeKnob(const KnobSpec& k) {
  Canvas pair(2 * k.size, k.size);
  pair.Draw(Pointer(k), 0, 0);
  pair.Draw(Body(k), k.size, 0);
  return pair;
}

}  // namespace art
