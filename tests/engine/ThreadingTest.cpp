// The audio thread processes while the user-interface thread changes
// parameters, recalls presets, saves and loads state and resets all data.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "editor/GRAPH.h"
#include "editor/PromptPopup.h"
#include "graphics/IGraphicsOffscreen.h"
#include "support/PlugFixture.h"
#include "tools/Signals.h"

using quarvtest::OpenPlug;

namespace {

// Processes four seconds of music in a loop of 256-frame blocks until
// stopped, counting blocks and samples that are not finite.
class AudioThread {
public:
  explicit AudioThread(OpenPlug& p) : thread_([this, &p] { Run(p); }) {}
  ~AudioThread() { Stop(); }
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }

  std::atomic<long> blocks{0}, badSamples{0};

private:
  void Run(OpenPlug& p) {
    const quarv::StereoBuffer music = quarv::DemoMusic(4.0, 48000.0);
    std::vector<double> oL(256), oR(256);
    size_t pos = 0;
    while (!stop_.load()) {
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
  }

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(Threading, ProcessingWhileTheEditorAndHostChangeEverything) {
  OpenPlug p(48000.0, 256);
  AudioThread audio(p);

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
  audio.Stop();
  EXPECT_GT(audio.blocks.load(), 10);
  EXPECT_GT(ops, 100);
  EXPECT_EQ(audio.badSamples.load(), 0);
}

// The audio thread processes, a host thread automates every parameter, and
// the editor ticks and takes mouse input that opens, scrolls, picks from and
// closes popup lists. Under ThreadSanitizer no access may race; every frame
// the graph draws comes from complete points.
TEST(Threading, EditorTicksAndPopupsWhileTheHostAutomates) {
  OpenPlug p(48000.0, 256);
  auto* g = dynamic_cast<IGraphicsOffscreen*>(p->GetGUI());
  ASSERT_NE(g, nullptr);
  std::atomic<bool> stop{false};
  std::atomic<long> automations{0};

  AudioThread audio(p);
  std::thread host([&] {
    uint32_t seed = 777;
    while (!stop.load()) {
      seed = seed * 1664525u + 1013904223u;
      const int idx = static_cast<int>((seed >> 8) % kNumParams);
      p->SetParameterFromHost(idx, ((seed >> 12) % 1001) / 1000.0);
      if ((seed >> 20) % 16 == 0) p->SetTransport(static_cast<int>((seed >> 24) % 2));
      automations.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });

  const MouseMods left(true, false), right(false, true), none;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  uint32_t seed = 4242;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % n);
  };
  long ticks = 0, popups = 0, badColumns = 0;
  while (std::chrono::steady_clock::now() < end) {
    switch (next(8)) {
      case 0:  // the Window knob's list; a second right click closes it
        g->OnMouseDown(417, 138, right);
        g->OnMouseUp(417, 138, right);
        popups += g->ActivePopup() != nullptr;
        break;
      case 1:  // a pick in the open list, or a click on the graph
        if (auto* popup = dynamic_cast<PromptPopup*>(g->ActivePopup())) {
          const int x = popup->rect.L + 10, y = popup->rect.T + 21 * next(5) + 8;
          g->OnMouseOver(x, y, none);
          g->OnMouseDown(x, y, left);
          g->OnMouseUp(x, y, left);
        } else {
          g->OnMouseDown(300, 300, left);
          g->OnMouseUp(300, 300, left);
        }
        break;
      case 2:  // a knob drag
        g->OnMouseDown(261, 138, left);
        g->OnMouseDrag(261, 138 - next(40), left);
        g->OnMouseUp(261, 130, left);
        break;
      case 3:
        g->OnMouseWheel(100 + 78 * next(6), 138, none, next(3) - 1);
        break;
      case 4:
        g->OnMouseOver(next(600), next(490), none);
        break;
      case 5:  // the reset button
        g->OnMouseDown(65, 210, left);
        g->OnMouseUp(65, 210, left);
        break;
      default:
        g->Tick();
        ++ticks;
        for (int i = 0; i < p->mGraph->drawnColumns; ++i) {
          const GRAPH::Column& c = p->mGraph->columns[static_cast<size_t>(i)];
          if (!std::isfinite(c.loudness) || c.loudness < -160.0f || c.attenuation < 0.0f || c.attenuation > 150.0f)
            ++badColumns;
        }
        break;
    }
  }
  stop.store(true);
  audio.Stop();
  host.join();
  g->ClosePopup(false);
  EXPECT_GT(audio.blocks.load(), 10);
  EXPECT_EQ(audio.badSamples.load(), 0);
  EXPECT_GT(automations.load(), 100);
  EXPECT_GT(ticks, 20);
  EXPECT_GT(popups, 0);
  EXPECT_EQ(badColumns, 0);
}

}  // namespace
