// Knob images: a glass cap in a dark machined skirt (the body, drawn
// unrotated by the editor) and a white pointer dot on a transparent ground
// (the square the editor turns over the body).
#include "resources/artgen/Artwork.h"

namespace art {

const KnobSpec kKnobs[6] = {
    {100, 143, 66, "Input Gain", true, Hex(0x2a6fd8), Hex(0x0b1f52)},
    {183, 138, 58, "Look Ahead", false, Hex(0x4a4e56), Hex(0x141619)},
    {261, 138, 58, "Attack", false, Hex(0x4a4e56), Hex(0x141619)},
    {339, 138, 58, "Release", false, Hex(0x4a4e56), Hex(0x141619)},
    {417, 138, 58, "Window", false, Hex(0x1f3a86), Hex(0x070f2e)},
    {500, 143, 66, "Out Limit", true, Hex(0x9a5424), Hex(0x2e1306)},
};

namespace {

const Rgb kWhite{1, 1, 1};
const Rgb kBlack{0, 0, 0};

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
  body.Paint(shadow.Blurred(1), kBlack, 0.6);

  // The skirt: dark turned metal, its light sectors where a top light falls
  // on the fine circular grooves, brighter along the upper edge.
  body.FillFn([&](double x, double y) { return SdCircle(x, y, c, c, rk); },
              [&](double x, double y) {
                const double dx = x - c, dy = y - c;
                const double r = Length(dx, dy) / rk;
                const double t = Atan2(dx, -dy);
                const double sheen = Pow(0.5 + 0.5 * Cos(2.0 * (t + 0.55)), 5.0);
                const double grain = (Noise1(t * 60.0, static_cast<int32_t>(r * 18.0), 11) - 0.5) * 0.025;
                double v = 0.105 + 0.11 * sheen + grain - 0.03 * (dy / rk);
                // Bevel of the outer edge: lit above, shaded below.
                const double edge = Smooth(0.90, 0.985, r);
                v += edge * (dy < 0 ? 0.16 * (-dy / rk) : -0.06 * (dy / rk));
                return Rgb{v, v * 1.02, v * 1.07};
              });
  // The seam between skirt and cap.
  body.Fill([&](double x, double y) { return std::fabs(SdCircle(x, y, c, c, rc + 0.6)) - 0.8; }, kBlack, 0.75);

  // The glass cap: deep colour at the rim, a caustic glow below the centre,
  // a soft reflection of the light above and a thin light rim below.
  body.FillFn([&](double x, double y) { return SdCircle(x, y, c, c, rc); },
              [&](double x, double y) {
                const double nx = (x - c) / rc, ny = (y - c) / rc;
                const double r = Clamp01(Length(nx, ny));
                Rgb col = MixRgb(k.glass, k.glassDeep, Smooth(0.15, 1.0, r));
                const double glow = Exp(-(nx * nx * 2.6 + (ny - 0.45) * (ny - 0.45) * 6.0));
                col = AddRgb(col, ScaleRgb(MixRgb(k.glass, kWhite, 0.3), 0.6 * glow));
                const double ex = (nx + 0.08) / 0.66, ey = (ny + 0.5) / 0.36;
                const double spec = Smooth(1.0, 0.2, ex * ex + ey * ey) * (0.25 + 0.75 * Smooth(-0.15, -0.85, ny));
                col = MixRgb(col, kWhite, 0.42 * spec);
                const double rim = Smooth(0.84, 0.97, r) * Smooth(0.1, 0.8, ny) * (1.0 - Smooth(0.97, 1.0, r));
                col = MixRgb(col, MixRgb(k.glass, kWhite, 0.55), 0.55 * rim);
                col = MixRgb(col, kBlack, 0.45 * Smooth(0.95, 1.0, r));
                return col;
              });
  return body;
}

Canvas Pointer(const KnobSpec& k) {
  const int s = k.size;
  const double c = s * 0.5, rc = CapRadius(s);
  const double dist = rc * 0.68, dot = s > 60 ? 2.5 : 2.2;
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
