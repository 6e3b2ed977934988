// A plug-in opened the way a host opens it, with a controllable clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editor/GRAPH.h"
#include "editor/ITextControl.h"
#include "engine/Quarvelline.h"
#include "graphics/IGraphics.h"
#include "framework/Text.h"

namespace quarvtest {

inline uint32_t gFakeClock = 1000;
inline uint32_t FakeClock() { return gFakeClock; }

struct OpenPlug {
  std::unique_ptr<CLS_QUARVELLINE> plug = std::make_unique<CLS_QUARVELLINE>();

  explicit OpenPlug(double sampleRate = 48000.0, int blockSize = 512) {
    plug->Open();
    plug->SetHostSampleRate(sampleRate);
    plug->SetHostBlockSize(blockSize);
    plug->Activate(true);
  }

  CLS_QUARVELLINE* operator->() { return plug.get(); }
  CLS_QUARVELLINE& operator*() { return *plug; }

  // Processes a stereo signal in place-free blocks; returns the output.
  void Run(const std::vector<double>& l, const std::vector<double>& r, std::vector<double>& outL,
           std::vector<double>& outR, int block = 512) {
    outL.assign(l.size(), 0.0);
    outR.assign(r.size(), 0.0);
    for (size_t i = 0; i < l.size(); i += static_cast<size_t>(block)) {
      const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), l.size() - i));
      double* in[2] = {const_cast<double*>(l.data()) + i, const_cast<double*>(r.data()) + i};
      double* out[2] = {outL.data() + i, outR.data() + i};
      plug->Process(in, out, 2, n);
    }
  }

  // Feeds n frames of a constant pair.
  void RunConstant(double value, int frames, int block = 512) {
    std::vector<double> l(static_cast<size_t>(frames), value), oL, oR;
    Run(l, l, oL, oR, block);
  }
};

// Replaces the processor clock for a test's lifetime.
struct FakeClockScope {
  explicit FakeClockScope(uint32_t start = 1000) {
    gFakeClock = start;
    quarv::SetClockSourceForTesting(&FakeClock);
  }
  ~FakeClockScope() { quarv::SetClockSourceForTesting(nullptr); }
};

}  // namespace quarvtest
