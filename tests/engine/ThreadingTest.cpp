// The audio thread processes while the user-interface thread changes
// parameters, recalls presets, saves and loads state and resets all data.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "support/PlugFixture.h"
#include "tools/Signals.h"

using quarvtest::OpenPlug;

namespace {

TEST(Threading, ProcessingWhileTheEditorAndHostChangeEverything) {
  OpenPlug p(48000.0, 256);
  const quarv::StereoBuffer music = quarv::DemoMusic(4.0, 48000.0);
  std::atomic<bool> stop{false};
  std::atomic<long> badSamples{0}, blocks{0};

  std::thread audio([&] {
    std::vector<double> oL(256), oR(256);
    size_t pos = 0;
    while (!stop.load()) {
      if (pos + 256 > music.Frames()) pos = 0;
      double* in[2] = {const_cast<double*>(music.left.data()) + pos, const_cast<double*>(music.right.data()) + pos};
      double* out[2] = {oL.data(), oR.data()};
      p->Process(in, out, 2, 256);
      for (int i = 0; i < 256; ++i) {
        if (!std::isfinite(oL[static_cast<size_t>(i)]) || !std::isfinite(oR[static_cast<size_t>(i)])) ++badSamples;
      }
      pos += 256;
      blocks.fetch_add(1);
    }
  });

  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  long ops = 0;
  while (std::chrono::steady_clock::now() < end) {
    const int idx = static_cast<int>(next() % 9);
    switch (next() % 7) {
      case 0:
        p->SetParameterFromHost(idx, (next() % 1001) / 1000.0);
        break;
      case 1:
        p->SetParameterFromEditor(idx, (next() % 1001) / 1000.0);
        break;
      case 2:
        p->RecallPreset(static_cast<int>(next() % 21));
        break;
      case 3: {
        StateChunk chunk;
        p->SaveState(&chunk);
        p->LoadState(&chunk, 0);
        break;
      }
      case 4:
        p->ResetAllData();
        break;
      case 5:
        p->SetTransport(static_cast<int>(next() % 2));
        p->SetSongPosition(static_cast<double>(next() % 480000));
        break;
      default: {
        IPlugBase::Lock lock(p->Mutex());
        EXPECT_TRUE(std::isfinite(p->mMeter.IntegratedEnergy()));
        EXPECT_GE(p->mGraph->points, -1);
        break;
      }
    }
    ++ops;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  stop.store(true);
  audio.join();
  EXPECT_GT(blocks.load(), 10);
  EXPECT_GT(ops, 100);
  EXPECT_EQ(badSamples.load(), 0);
}

}  // namespace
