// The transport a host simulates for the plug-ins it drives: playing or
// stopped, the song position in frames, tempo and time signature. Shared by
// every plug-in format the host loads.
#pragma once

namespace quarv::host {

// samplePos advances by the frames of each processing call while playing.
struct Transport {
  bool playing = true;
  bool recording = false;
  double samplePos = 0.0;
  double sampleRate = 48000.0;
  double tempo = 120.0;
  int timeSigNumerator = 4;
  int timeSigDenominator = 4;
  // When false the host answers the time query with null.
  bool timeInfoAvailable = true;
};

}  // namespace quarv::host
