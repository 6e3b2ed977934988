// The factory presets: the default slot, six streaming targets, mastering and
// sets of tracks, genres, and the analysis set-ups for pure metering.
#include "engine/Quarvelline.h"

void CLS_QUARVELLINE::DefineFactoryPresets() {
  NameDefaultPresets("---- default ----", 1);
  // Input Gain, Look Ahead, Attack, Release, Window (list index), Out Limit,
  // Attenuation Target, Reset on play, Graph when play. Only the last preset
  // analyses without play; the others graph while the host plays.
  DefinePreset("Spotify: -14 LUFS", {0., 0., 12., 70., 2, -14., 2., 1, 1});
  DefinePreset("YouTube: -14 LUFS", {0., 0., 12., 70., 2, -14., 2., 1, 1});
  DefinePreset("Tidal: -14 LUFS", {0., 0., 12., 70., 2, -14., 2., 1, 1});
  DefinePreset("Amazon Music: -14 LUFS", {0., 0., 12., 70., 2, -14., 2., 1, 1});
  DefinePreset("Deezer: -15 LUFS", {0., 0., 12., 70., 2, -15., 2., 1, 1});
  DefinePreset("Apple Music: -16 LUFS", {0., 0., 12., 70., 2, -16., 2., 1, 1});
  DefinePreset("Master - Slow music", {0., 40., 20., 120., 3, -14., 1., 1, 1});
  DefinePreset("Master - Down tempo", {0., 26., 12., 70., 2, -13., 1.5, 1, 1});
  DefinePreset("Master - Dynamic", {0., 16., 8., 50., 1, -12., 2., 1, 1});
  DefinePreset("Master - Trance (very dynamic)", {0., 12., 5., 30., 1, -11., 2., 1, 1});
  DefinePreset("Set of tracks (melody) - soft", {0., 0., 20., 200., 3, -14., 3., 1, 1});
  DefinePreset("Set of tracks (melody) - medium", {0., 0., 12., 120., 2, -14., 3.5, 1, 1});
  DefinePreset("Set of tracks (melody) - hard", {0., 0., 8., 90., 1, -13., 4., 1, 1});
  DefinePreset("Set of tracks (melody) - very hard", {0., 0., 5., 60., 1, -12., 4.5, 1, 1});
  DefinePreset("Cinematic", {0., 0., 5., 30., 1, -11., 1., 1, 1});
  DefinePreset("Classic", {0., 0., 8., 40., 1, -11., 1., 1, 1});
  DefinePreset("Relaxation & Meditation", {0., 0., 20., 400., 3, -15., 2., 1, 1});
  DefinePreset("Keep data at play start", {0., 0., 12., 70., 2, -14., 4., 0, 1});
  DefinePreset("Metering only", {0., 0., 12., 70., 5, 0., 0., 1, 1});
  DefinePreset("Analyzing without play & only metering", {0., 0., 12., 70., 5, 0., 0., 0, 0});
}
