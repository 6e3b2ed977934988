// Pixel operations of the raster layer: blits, the rotated blit, fills, lines
// and arcs. Every operation clips to its bitmaps, ignores absent bitmaps, zero
// sizes and zero opacity, and addresses flipped bitmaps so that row 0 is the
// top row.
//
// Opacity is a float 0..1 turned into a = truncate(opacity × 256). Per channel,
// for a source pixel s over a destination pixel d:
//   copy:  d := s + (d − s)·(256 − a) / 256, all four channels, the division
//          truncating toward zero (so a half opacity gives the average of s
//          and d rounded toward s);
//   add:   d := min(255, d + s·a / 256);
//   dodge: d moves towards d·256 / (256 − s) by a / 256.
// With LICE_BLIT_USE_ALPHA the source's alpha weights the colour channels:
// a pixel with A = 0 is left alone, otherwise w := a·(s.A + 1) / 256 replaces a
// and d.A := min(255, d.A + w). Fills, lines and arcs take a colour as s; with
// source alpha the colour's A / 255 is folded into the opacity.
//
// Threads: any, one bitmap per thread at a time; no allocation except the
// rare self-overlapping blit.
#pragma once

#include "graphics/raster/LiceBitmap.h"

enum : int {
  LICE_BLIT_MODE_COPY = 0,
  LICE_BLIT_MODE_ADD = 1,
  LICE_BLIT_MODE_DODGE = 2,
  LICE_BLIT_MODE_MASK = 0xff,
  LICE_BLIT_FILTER_BILINEAR = 0x100,
  LICE_BLIT_USE_ALPHA = 0x10000,
};

// Copies the source rectangle (srcX, srcY, w, h) 1:1 to (dstX, dstY). The
// rectangle is clipped to the source, then to the destination, moving the
// other side by the same amount, so a partly visible rectangle draws exactly
// its visible part in place.
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, int srcX, int srcY,
               int w, int h, float opacity, int mode);

// Maps the source rectangle onto the destination rectangle, rotated by angle
// radians (clockwise on screen for positive angles) about the destination's
// centre moved by (rotOffsetX, rotOffsetY). Bilinear sampling with
// LICE_BLIT_FILTER_BILINEAR. Source points outside the source bitmap are
// transparent; with clipToSource, so are points outside the source rectangle.
void LICE_RotatedBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, int dstW, int dstH,
                      float srcX, float srcY, float srcW, float srcH, float angle, bool clipToSource,
                      float opacity, int mode, float rotOffsetX, float rotOffsetY);

// Fills (x, y, w, h) clipped to the bitmap; nothing when w or h <= 0.
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel colour, float opacity,
                   int mode);

// Lines with both end points included. Integer coordinates name pixel
// centres. Horizontal and vertical lines are exact runs of pixels; others are
// antialiased when asked.
void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel colour, float opacity,
               int mode, bool antiAlias);
void LICE_LineF(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel colour,
                float opacity, int mode, bool antiAlias);

// Circle arcs about (cx, cy). Angles in radians from straight up, growing
// clockwise: the point at angle t is (cx + r·sin t, cy − r·cos t). Angles given
// in descending order are swapped; a span of 2π or more is the full circle.
// LICE_Arc draws the outline one pixel wide; LICE_FilledArc fills the sector,
// its edge reaching half a pixel beyond r so that it meets a rectangle filled
// up to the pixel at distance r.
void LICE_Arc(LICE_IBitmap* dest, float cx, float cy, float r, float angleFrom, float angleTo,
              LICE_pixel colour, float opacity, int mode, bool antiAlias);
void LICE_FilledArc(LICE_IBitmap* dest, float cx, float cy, float r, float angleFrom, float angleTo,
                    LICE_pixel colour, float opacity, int mode, bool antiAlias);
