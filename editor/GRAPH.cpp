#include "editor/GRAPH.h"

#include <algorithm>
#include <cmath>

#include "engine/Quarvelline.h"
#include "framework/Text.h"

using quarv::RoundHalfAway;

GRAPH::GRAPH(IPlugBase* p, const Rect& r)
    : IControl(p, r),
      trackHeight(r.B - r.T),
      plotWidth(std::max(r.R - r.L - 38, 1)),
      capacity(plotWidth * 64),
      loudness(static_cast<size_t>(capacity), LoudnessMeter::kFloorLufs),
      envelope(static_cast<size_t>(capacity), LoudnessMeter::kFloorLufs),
      attenuation(static_cast<size_t>(capacity), 0.0) {}

bool GRAPH::Draw(IGraphics*) { return quarv != nullptr; }

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
  thumbPos = RoundHalfAway(static_cast<double>(trackHeight - thumbHeight - 2) *
                           static_cast<double>(-16 - low) / static_cast<double>(-16 - floor));
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
