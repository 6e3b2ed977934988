#include "editor/GRAPH.h"

#include <algorithm>
#include <cmath>

#include "editor/ITextControl.h"
#include "engine/Quarvelline.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

using quarv::RoundHalfAway;

GRAPH::GRAPH(IPlugBase* p, const Rect& r)
    : IControl(p, r),
      trackHeight(r.B - r.T),
      plotWidth(std::max(r.R - r.L - 38, 1)),
      capacity(plotWidth * 64),
      loudness(static_cast<size_t>(capacity), LoudnessMeter::kFloorLufs),
      envelope(static_cast<size_t>(capacity), LoudnessMeter::kFloorLufs),
      attenuation(static_cast<size_t>(capacity), 0.0),
      plotHeight(r.B - r.T - 11),
      columns(static_cast<size_t>(plotWidth)),
      mLabelStyle("Arial", 14, Colour(170, 255, 255, 255), TextStyle::kStyleBold, TextStyle::kAlignCentre) {}

// ---- Mouse: the graph's own fields only ----

void GRAPH::MouseDown(int x, int y, const MouseMods& mods) {
  mouseX = x;
  mouseY = y;
  click = mods.R ? 2 : 1;
}

void GRAPH::MouseUp(int x, int y, const MouseMods&) {
  click = 0;
  mouseX = x;
  mouseY = y;
  dragAnchor = -1;
}

void GRAPH::MouseDrag(int x, int y, int, int, const MouseMods&) {
  mouseX = x;
  mouseY = y;
}

void GRAPH::MouseOver(int x, int y, const MouseMods&) {
  mouseX = x;
  mouseY = y;
}

void GRAPH::MouseOut() { mouseX = mouseY = -1; }

// ---- Drawing ----

GRAPH::Column GRAPH::Sample(int i) const {
  const size_t n = static_cast<size_t>(i);
  if (points < plotWidth) {
    return Column{static_cast<float>(loudness[n]), static_cast<float>(envelope[n]), static_cast<float>(attenuation[n])};
  }
  // Compressed: the whole history spans the width, interpolating between
  // neighbouring points.
  const float pos = static_cast<float>(points * i) / static_cast<float>(plotWidth);
  const size_t k = static_cast<size_t>(pos);
  const float f = pos - static_cast<float>(k);
  auto at = [&](const std::vector<double>& s) {
    return static_cast<float>(f > 0.0f ? s[k] + (s[k + 1] - s[k]) * f : s[k]);
  };
  return Column{at(loudness), at(envelope), at(attenuation)};
}

bool GRAPH::Draw(IGraphics* g) {
  if (!quarv) return false;
  const int L = rect.L, T = rect.T, R = rect.R, B = rect.B;
  const int base = B - bottomMargin;
  const int plotLeft = L + leftMargin;
  char text[96] = "";

  // What is drawn, copied under the lock; the store and the engine go on
  // while the copy is drawn.
  int shownLow, shownThumb;
  bool thumbLit;
  float limit;
  int count;
  bool readout = false;
  float readoutX = 0.0f;
  {
    auto lock = LockPlugIn(plug);
    CLS_QUARVELLINE& p = *quarv;
    // A press of the reset button since the last look: reset all data.
    const bool reset = lastResetFlag != p.mResetToggle;
    if (reset) p.ResetAllData();
    if (aboveFloor || p.GetTransportState() != 0 || reset) {
      const LoudnessMeter& m = p.mMeter;
      // The exact logarithm here, in dB: ln(e) · 10 / ln 10.
      const double integrated = std::log(m.IntegratedEnergy()) * (10.0 / std::log(10.0)) - 0.691;
      char info[96];
      if (integrated > LoudnessMeter::kFloorLufs) {
        quarv::FormatC(info, sizeof info, "Lufs Max: %.2flu, Lufs I: %.2flu", m.Maximum(), integrated);
      } else {
        quarv::CopyText(info, sizeof info, "Lufs I: - - -");
      }
      if (p.mInfoLine) p.mInfoLine->SetText(info);
      if (p.mAttenLabel) p.mAttenLabel->MarkDirty(true);
    }
    lastResetFlag = p.mResetToggle;

    shownLow = low;
    limit = static_cast<float>(p.mOutLimit - low);
    count = std::max(0, std::min(plotWidth, points));
    for (int i = 0; i < count; ++i) columns[static_cast<size_t>(i)] = Sample(i);

    // The readout under the mouse, while the time axis is known.
    const int u = mouseX - plotLeft;
    if (p.mGraphWhenPlay && startTime > -1.0 && endTime > startTime && u >= 0 && u <= plotWidth && u <= points) {
      const int k = points < plotWidth ? u : static_cast<int>(std::floor(static_cast<float>(points * u) / plotWidth));
      if (k < points) {
        const int t = RoundHalfAway(startTime + (endTime - startTime) * u / std::min(points, plotWidth));
        const double m = std::max(std::min(loudness[static_cast<size_t>(k)], 0.0), 2.0 * LoudnessMeter::kFloorLufs);
        const double a = std::clamp(attenuation[static_cast<size_t>(k)], 0.001, 20.0);
        const int minutes = static_cast<int>(std::floor(t / 60.0));
        quarv::FormatC(text, sizeof text, "%.2d:%.2d Atten: %.2fdB Lufs M: %.2fLU", minutes, t - 60 * minutes, a, m);
        readout = true;
        readoutX = static_cast<float>(mouseX);
      }
    }

    // The scroll bar: hovering the thumb shows the auto scroll state, a left
    // press starts a drag, a right press toggles auto scroll (once per press).
    thumbLit = mouseX >= R - scrollbarWidth && mouseX <= R - 1 && mouseY >= T + thumbPos + 1 &&
               mouseY <= T + thumbPos + thumbHeight + 1;
    if (thumbLit) {
      if (click != lastClick) {
        if (click == 1) dragAnchor = mouseY - thumbPos;
        if (click == 2) autoScrollOff = !autoScrollOff;
      }
      quarv::CopyText(text, sizeof text, autoScrollOff ? "Auto scroll is disabled" : "Auto scroll is enabled");
    }
    if (dragAnchor > -1) {
      const int maxPos = trackHeight - thumbHeight - 2;
      thumbPos = std::clamp(mouseY - dragAnchor, 0, maxPos);
      low = top - RoundHalfAway(static_cast<double>(top - floor - 16) * thumbPos / maxPos) - 16;
    }
    shownThumb = thumbPos;
    drawnColumns = count;
  }

  // Scale: a grid line and a label every labelStep LU.
  const float right = static_cast<float>(R - rightMargin - 1);
  for (int s = 0; s <= span; s += labelStep) {
    const int y = base - plotHeight * s / span;
    g->DrawLine(Colour(50, 255, 255, 255), static_cast<float>(plotLeft), static_cast<float>(y), right,
                static_cast<float>(y), nullptr, true);
    char label[16];
    quarv::FormatC(label, sizeof label, "%2d", shownLow + s);
    g->DrawText(mLabelStyle, label, Rect(L, y - 8, plotLeft, y + 8));
  }

  // The series, one column per pixel; 1 dB of attenuation is drawn as 1 LU,
  // at most 20.
  const float h = static_cast<float>(plotHeight), sp = static_cast<float>(span);
  const float windowTop = static_cast<float>(shownLow + span);
  const float fbase = static_cast<float>(base), attenY = static_cast<float>(T + attenTop);
  auto px = [&](float v) { return (v - static_cast<float>(shownLow)) * h / sp; };
  float prevD = 0.0f, prevE = 0.0f, prevF = 0.0f;
  for (int i = 0; i < count; ++i) {
    const Column& c = columns[static_cast<size_t>(i)];
    const float x = static_cast<float>(plotLeft + i);
    const float D = px(std::min(c.loudness, windowTop));
    const float E = px(std::min(c.envelope, windowTop));
    const float F = h * std::min(c.attenuation, 20.0f) / sp;
    if (D >= 0.0f) g->DrawLine(Colour(60, 255, 255, 255), x, fbase - D, x, fbase, nullptr, true);
    if (F > 0.009f) g->DrawLine(Colour(120, 255, 0, 0), x - 1.0f, attenY, x, attenY + F, nullptr, true);
    if (i > 0) {
      if (D > 0.0f || prevD > 0.0f) {
        g->DrawLine(Colour(90, 255, 255, 255), x - 1.0f, fbase - std::max(prevD, 0.0f), x, fbase - std::max(D, 0.0f),
                    nullptr, true);
      }
      if (F > 0.009f || prevF > 0.009f) {
        g->DrawLine(Colour(255, 255, 0, 0), x - 1.0f, attenY + prevF, x, attenY + F, nullptr, true);
        g->DrawLine(Colour(255, 50, 0, 255), x - 1.0f, fbase - std::max(prevD - prevF, 0.0f), x,
                    fbase - std::max(D - F, 0.0f), nullptr, true);
      }
      if (E > 0.0f || prevE > 0.0f) {
        g->DrawLine(Colour(255, 255, 255, 0), x - 1.0f, fbase - std::max(prevE, 0.0f), x, fbase - std::max(E, 0.0f),
                    nullptr, true);
      }
    }
    prevD = D;
    prevE = E;
    prevF = F;
  }

  // The Out Limit.
  const int limitY = static_cast<int>(std::floor(limit * h / sp));
  if (limitY >= 0 && limitY <= plotHeight) {
    const float y = static_cast<float>(base - limitY);
    g->DrawLine(Colour(200, 255, 0, 0), static_cast<float>(plotLeft), y, right, y, nullptr, true);
  }
  if (readout) {
    g->DrawLine(Colour(70, 255, 255, 255), readoutX, fbase - h, readoutX, fbase, nullptr, true);
  }

  // The scroll bar's track and thumb.
  Colour thumbColour(75, 200, 200, 200);
  Rect track(R - scrollbarWidth - 1, T, R, T + trackHeight);
  g->DrawRoundRect(thumbColour, track, 4, nullptr, true);
  if (thumbLit) thumbColour.A -= 20;
  g->FillRoundRect(thumbColour, Rect(R - scrollbarWidth, T + shownThumb + 1, R - 1, T + shownThumb + thumbHeight + 1),
                   3, 4, nullptr, true);

  if (text[0]) quarv->SetStatusText(text);
  lastClick = click;
  return true;
}

void GRAPH::SetPlug(CLS_QUARVELLINE* plugin) {
  quarv = plugin;
  RescaleForLimit();
}

int GRAPH::LimitLow() const {
  // The window's baseline sits 10 LU under the limit (16 LU shown, the limit
  // three label steps under the top), within the scale's range.
  const double limit = quarv ? quarv->mOutLimit : -14.0;
  const int v = RoundHalfAway(limit - span + 3 * 2);
  return std::max(floor, std::min(v, -16));
}

void GRAPH::UpdateThumb() {
  thumbPos = RoundHalfAway(static_cast<double>(trackHeight - thumbHeight - 2) *
                           static_cast<double>(top - low - span) /
                           static_cast<double>(top - floor - span));
}

void GRAPH::RescaleForLimit() {
  low = LimitLow();
  UpdateThumb();
}

void GRAPH::ResetHistory() {
  std::fill(loudness.begin(), loudness.end(), LoudnessMeter::kFloorLufs);
  std::fill(envelope.begin(), envelope.end(), LoudnessMeter::kFloorLufs);
  std::fill(attenuation.begin(), attenuation.end(), 0.0);
  points = -1;
  top = 0;
  low = LimitLow();
  UpdateThumb();
}

double GRAPH::AttenuationForGain(double g) {
  if (g >= std::ldexp(1.0, -25)) {
    const double db = 20.0 * std::log10(g);
    if (db >= -150.0) return -db;
  }
  return 150.0;
}

void GRAPH::AddPoint() {
  if (!quarv) return;
  CLS_QUARVELLINE& p = *quarv;
  const int count = p.mGraphCount;
  if (count > 0) {
    const double avg = p.mSumLoudness / count;
    aboveFloor = avg > floor;
    const bool keep = p.mGraphWhenPlay ? p.GetTransportState() != 0 : aboveFloor;
    if (keep) {
      ++points;
      if (points >= capacity) {
        // Full: keep every second point, so the older half of the history
        // becomes twice as coarse and the whole of it still fits.
        const int h = RoundHalfAway(points * 0.5);
        for (int i = 1; i < h; ++i) {
          loudness[static_cast<size_t>(i)] = loudness[static_cast<size_t>(2 * i)];
          envelope[static_cast<size_t>(i)] = envelope[static_cast<size_t>(2 * i)];
          attenuation[static_cast<size_t>(i)] = attenuation[static_cast<size_t>(2 * i)];
        }
        points = h;
      }
      const size_t n = static_cast<size_t>(points);
      loudness[n] = avg;
      envelope[n] = p.mSumEnvelope / count;
      attenuation[n] = AttenuationForGain(p.mSumGain / count);

      if (!autoScrollOff) {
        const double a = loudness[n], d = attenuation[n];
        if (a - low + d > span - 1) {
          low = static_cast<int>(std::trunc(a - span + 1 + d));
          top = std::max(top, low + span);
          UpdateThumb();
        } else if (low > p.mMeter.Maximum() && low < -span && low > floor) {
          // Creep down one LU per point until the loudest value seen is in
          // view, but never below the scale's floor.
          --low;
          UpdateThumb();
        }
      }
    }
  }
  p.mSumLoudness = 0.0;
  p.mSumEnvelope = 0.0;
  p.mSumGain = 0.0;
  p.mGraphCount = 0;
}
