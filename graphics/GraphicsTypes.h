// Records shared by the editor, the controls and the graphics engine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

// Editor pixels, origin top left, y downwards. All four fields 0 is the empty
// rectangle; (5, 5, 5, 5) is not empty. Edges are inclusive for Contains.
struct Rect {
  int L = 0, T = 0, R = 0, B = 0;

  constexpr Rect() = default;
  constexpr Rect(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  constexpr bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  constexpr int W() const { return R - L; }
  constexpr int H() const { return B - T; }
  constexpr bool Contains(int x, int y) const { return L <= x && x <= R && T <= y && y <= B; }

  // Strict overlap: rectangles that only touch along an edge do not overlap.
  constexpr bool Overlaps(const Rect& b) const {
    return !Empty() && !b.Empty() && b.L < R && L < b.R && b.T < B && T < b.B;
  }
  constexpr Rect Intersect(const Rect& b) const {
    if (!Overlaps(b)) return Rect();
    return Rect(std::max(L, b.L), std::max(T, b.T), std::min(R, b.R), std::min(B, b.B));
  }
  constexpr Rect Union(const Rect& b) const {
    if (Empty()) return b;
    if (b.Empty()) return *this;
    return Rect(std::min(L, b.L), std::min(T, b.T), std::max(R, b.R), std::max(B, b.B));
  }
  constexpr bool operator==(const Rect&) const = default;
};

// Straight (not premultiplied) colour; alpha 255 is opaque.
struct Colour {
  int A = 255, R = 0, G = 0, B = 0;
  constexpr Colour() = default;
  constexpr Colour(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  constexpr bool operator==(const Colour&) const = default;
};

enum BlendMethod { kBlendAlpha = 0, kBlendCopy = 1, kBlendAdd = 2, kBlendDodge = 3 };

struct Blend {
  int method = kBlendAlpha;
  float weight = 1.0f;
  constexpr Blend() = default;
  constexpr Blend(int m, float w) : method(m), weight(w) {}
};

// Buttons held and keys down at a mouse event.
struct MouseMods {
  bool L = false, R = false, S = false, C = false, A = false;
  constexpr MouseMods() = default;
  constexpr MouseMods(bool l, bool r, bool s = false, bool c = false, bool a = false)
      : L(l), R(r), S(s), C(c), A(a) {}
};

class LICE_IBitmap;
class LICE_CachedFont;

// How a run of text looks. The cached font is filled in by the engine on first
// use and belongs to the process-wide font cache, never to the style.
struct TextStyle {
  enum { kStyleBold = 1, kStyleItalic = 2 };
  enum { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };
  enum { kQualityDefault = 0, kQualityNonAntialiased = 1, kQualityAntialiased = 2, kQualityClearType = 3 };

  char font[32] = "Arial";
  int size = 14;  // character cell height in pixels
  Colour colour = Colour(255, 0, 0, 0);
  int style = 0;
  int align = kAlignCentre;
  int orientation = 0;  // degrees, counter-clockwise
  int quality = kQualityDefault;
  LICE_CachedFont* cachedFont = nullptr;

  TextStyle() = default;
  TextStyle(const char* fontName, int sz, const Colour& c, int st = 0, int al = kAlignCentre,
            int orient = 0, int qual = kQualityDefault)
      : size(sz), colour(c), style(st), align(al), orientation(orient), quality(qual) {
    SetFont(fontName);
  }

  // Copies the name, cutting it to fit; a null name leaves the array empty.
  void SetFont(const char* name) {
    size_t i = 0;
    for (; name && name[i] && i + 1 < sizeof(font); ++i) font[i] = name[i];
    font[i] = '\0';
  }
};

// A bitmap as a control sees it: the raster belongs to the bitmap cache (or, for
// the right piece of a split, to the engine that cut it).
struct BitmapRef {
  LICE_IBitmap* raster = nullptr;
  int W = 0, H = 0;
  int frames = 1;
  int companionId = 0;  // cache id of the left piece cut off by a split; 0 = none

  BitmapRef() = default;
  BitmapRef(LICE_IBitmap* r, int w, int h, int n = 1, int companion = 0)
      : raster(r), W(w), H(h), frames(n), companionId(companion) {}
};

