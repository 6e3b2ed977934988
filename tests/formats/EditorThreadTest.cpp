// The built VST 2.4 module's editor in a real X window, as a DAW drives it:
// the audio thread processes, the automation thread moves parameters and
// programs, and the user-interface thread idles the editor while synthetic
// X input drags knobs, turns the wheel, opens the list and the text box and
// clicks the reset button. Runs under ThreadSanitizer in ./test.sh; needs an
// X server (DISPLAY) and skips without one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tools/host/Vst2Plugin.h"

// Xlib last: its macros (None, Bool, Status) would clash with the others.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using quarv::host::Vst2Plugin;

namespace {

// Where the controls are in the editor.
constexpr int kKnobY = 138;
constexpr int kAttackX = 261, kReleaseX = 339, kWindowX = 417;
constexpr int kResetX = 65, kResetY = 210;

class XSession {
public:
  XSession() : display_(XOpenDisplay(nullptr)) {}
  ~XSession() {
    if (!display_) return;
    if (window_) XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  Display* display() const { return display_; }

  // A top-level window at the screen's corner, so screen and editor
  // coordinates agree.
  Window MakeWindow(int w, int h) {
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), 0, 0, 0);
    XMapWindow(display_, window_);
    XSync(display_, False);
    return window_;
  }

  void Move(int x, int y) { XTestFakeMotionEvent(display_, -1, x, y, 0); XFlush(display_); }
  void Button(unsigned button, bool down) { XTestFakeButtonEvent(display_, button, down, 0); XFlush(display_); }
  void Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display_, sym);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
  }

private:
  Display* display_;
  Window window_ = 0;
};

}  // namespace

TEST(EditorThreads, TheEditorTakesInputWhileAudioAndAutomationRun) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) GTEST_SKIP() << "no X server: set DISPLAY (./test.sh starts Xvfb)";
  XSession x;
  ASSERT_NE(x.display(), nullptr) << "cannot open display " << name;

  std::string error;
  std::unique_ptr<Vst2Plugin> plug = Vst2Plugin::Load(QUARV_VST2_MODULE, &error);
  ASSERT_TRUE(plug) << error;
  plug->Open(48000.0, 256);
  ERect* rect = nullptr;
  ASSERT_EQ(plug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  const Window parent = x.MakeWindow(rect->right, rect->bottom);
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0}, badSamples{0}, automations{0};
  std::thread audio([&] {
    std::vector<float> inL(256), inR(256), outL(256), outR(256);
    uint32_t seed = 1;
    while (!stop.load()) {
      for (int i = 0; i < 256; ++i) {
        seed = seed * 1664525u + 1013904223u;
        inL[static_cast<size_t>(i)] = inR[static_cast<size_t>(i)] = static_cast<float>((seed >> 8) % 2001) / 1000.0f - 1.0f;
      }
      float* in[2] = {inL.data(), inR.data()};
      float* out[2] = {outL.data(), outR.data()};
      plug->ProcessReplacing(in, out, 256);
      for (float v : outL) badSamples += !std::isfinite(v);
      blocks.fetch_add(1);
    }
  });
  std::thread automation([&] {
    uint32_t seed = 99;
    while (!stop.load()) {
      seed = seed * 1664525u + 1013904223u;
      plug->SetParameter(static_cast<int>((seed >> 8) % static_cast<uint32_t>(plug->NumParams())),
                         static_cast<float>((seed >> 12) % 1001) / 1000.0f);
      automations.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  // The user-interface thread: idle calls every 5 ms, an action every 60 ms.
  long idles = 0;
  auto idleFor = [&](int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      plug->Dispatch(effEditIdle);
      ++idles;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  uint32_t seed = 7;
  while (std::chrono::steady_clock::now() < end) {
    seed = seed * 1664525u + 1013904223u;
    switch ((seed >> 8) % 6) {
      case 0:  // a knob drag
        x.Move(kAttackX, kKnobY);
        x.Button(1, true);
        for (int i = 1; i <= 4; ++i) {
          x.Move(kAttackX, kKnobY - 5 * i);
          idleFor(10);
        }
        x.Button(1, false);
        break;
      case 1:  // wheel notches
        x.Move(kReleaseX, kKnobY);
        x.Button((seed >> 16) % 2 ? 4 : 5, true);
        x.Button((seed >> 16) % 2 ? 4 : 5, false);
        break;
      case 2:  // the list, and a pick in it
        x.Move(kWindowX, kKnobY);
        x.Button(3, true);
        x.Button(3, false);
        idleFor(50);
        x.Move(kWindowX + 10, kKnobY + 30);
        x.Button(1, true);
        x.Button(1, false);
        break;
      case 3:  // a typed value
        x.Move(kReleaseX, kKnobY);
        x.Button(3, true);
        x.Button(3, false);
        idleFor(50);
        x.Key(XK_1);
        x.Key(XK_2);
        x.Key(XK_Return);
        break;
      case 4:  // the reset button
        x.Move(kResetX, kResetY);
        x.Button(1, true);
        x.Button(1, false);
        break;
      default:  // hovering
        x.Move(static_cast<int>((seed >> 12) % 600), static_cast<int>((seed >> 20) % 490));
        break;
    }
    idleFor(60);
  }
  stop.store(true);
  audio.join();
  automation.join();
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);

  EXPECT_GT(blocks.load(), 10);
  EXPECT_EQ(badSamples.load(), 0);
  EXPECT_GT(automations.load(), 100);
  EXPECT_GT(idles, 100);
  EXPECT_FALSE(plug->log.beginEdits.empty()) << "the drags reached the host";
}
