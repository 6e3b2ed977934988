// The X11 window layer in-process, on an X server (DISPLAY; ./test.sh starts
// Xvfb, and the tests skip without one): which parents it accepts, the
// class of open editors, its paths, the web page's failure text, the text
// box's commit and cancel, and wheel events forwarded by a host.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

#include "editor/IControl.h"
#include "editor/ITextControl.h"
#include "engine/Quarvelline.h"
#include "framework/IParameter.h"
#include "graphics/x11/IGraphicsX11.h"

// Xlib last: its macros (None, Bool, Status) would clash with the others.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

class X11Layer : public ::testing::Test {
protected:
  void SetUp() override {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) GTEST_SKIP() << "no X server: set DISPLAY (./test.sh starts Xvfb)";
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    for (auto* p : plugs_) {
      p->terminate();
      p->release();
    }
    if (display_) {
      for (Window w : windows_) XDestroyWindow(display_, w);
      XCloseDisplay(display_);
    }
  }

  CLS_QUARVELLINE* NewPlug() {
    auto* p = new CLS_QUARVELLINE();
    p->initialize(nullptr);
    plugs_.push_back(p);
    return p;
  }
  static IGraphicsX11* Gui(CLS_QUARVELLINE* p) { return dynamic_cast<IGraphicsX11*>(p->GetGUI()); }

  // A top-level window at the screen's corner: screen and editor
  // coordinates agree.
  void* Parent() {
    const Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 600, 490, 0, 0, 0);
    XMapWindow(display_, w);
    XSync(display_, False);
    windows_.push_back(w);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(w));
  }

  // Idles the editor for ms milliseconds, as a host would.
  static void Idle(IGraphics* g, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      g->Idle();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void Move(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, 0);
    XFlush(display_);
  }
  void Click(unsigned button) {
    XTestFakeButtonEvent(display_, button, True, 0);
    XTestFakeButtonEvent(display_, button, False, 0);
    XFlush(display_);
  }
  void Type(KeySym key) {
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
  }
  static IControl* ControlOf(IGraphics* g, int param) {
    for (int i = 0; i < g->NControls(); ++i) {
      if (g->GetControl(i)->paramIdx == param) return g->GetControl(i);
    }
    return nullptr;
  }

  Display* display_ = nullptr;
  std::vector<Window> windows_;
  std::vector<CLS_QUARVELLINE*> plugs_;
};

TEST_F(X11Layer, OpensOnlyInsideARealWindowAndCountsOpenEditors) {
  IGraphicsX11* a = Gui(NewPlug());
  IGraphicsX11* b = Gui(NewPlug());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->OpenWindow(nullptr), nullptr);
  EXPECT_EQ(a->OpenWindow(reinterpret_cast<void*>(uintptr_t{0x7ffffff})), nullptr) << "no such window";
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 0);
  EXPECT_FALSE(a->WindowIsOpen());

  void* parent = Parent();
  void* first = a->OpenWindow(parent);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(a->GetWindow(), first);
  EXPECT_GE(a->EventDescriptor(), 0);
  ASSERT_NE(b->OpenWindow(Parent()), nullptr);
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 2);
  // Opening again replaces the window.
  EXPECT_NE(a->OpenWindow(parent), nullptr);
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 2);
  Idle(a, 100);
  a->CloseWindow();
  a->CloseWindow();
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 1);
  EXPECT_EQ(a->EventDescriptor(), -1);
  b->CloseWindow();
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 0);
}

TEST_F(X11Layer, AHostThatDestroysItsWindowFirstDoesNotBringTheEditorDown) {
  IGraphicsX11* g = Gui(NewPlug());
  void* parent = Parent();
  ASSERT_NE(g->OpenWindow(parent), nullptr);
  Idle(g, 60);
  XDestroyWindow(display_, windows_.back());
  windows_.pop_back();
  XSync(display_, False);
  Idle(g, 60);
  g->CloseWindow();
  EXPECT_EQ(IGraphicsX11::OpenWindowCount(), 0);
}

TEST_F(X11Layer, PathsAreFoldersEndingInASlash) {
  IGraphicsX11* g = Gui(NewPlug());
  std::string host, plugin;
  g->HostPath(host);
  g->PluginPath(plugin);
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string self = exe;
  EXPECT_EQ(host, self.substr(0, self.rfind('/') + 1));
  // The layer is linked into this test program.
  EXPECT_EQ(plugin, host);
  std::string file = "keep";
  g->PromptForFile(file, 0, "", "wav");
  EXPECT_EQ(file, "") << "no dialog: as if cancelled";
  Colour c;
  EXPECT_FALSE(g->PromptForColour(&c, "Colour"));
}

TEST_F(X11Layer, AWebPageThatCannotOpenSaysSoInTheStatusLine) {
  CLS_QUARVELLINE* p = NewPlug();
  IGraphicsX11* g = Gui(p);
  ASSERT_NE(g->OpenWindow(Parent()), nullptr);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(g->OpenWebPage("https://example.invalid/", "T", "Open?", "Cannot open url.")) << "nobody to ask";
  EXPECT_STREQ(p->mStatusLine->GetText(), "");
  EXPECT_FALSE(g->OpenWebPage("https://example.invalid/", "T", nullptr, "Cannot open url."));
  setenv("PATH", path.c_str(), 1);
  EXPECT_STREQ(p->mStatusLine->GetText(), "Cannot open url.");
  g->CloseWindow();
}

TEST_F(X11Layer, TheTextBoxAppliesAtTheNextTickAndARightClickCancelsIt) {
  CLS_QUARVELLINE* p = NewPlug();
  IGraphicsX11* g = Gui(p);
  ASSERT_NE(g->OpenWindow(Parent()), nullptr);
  Idle(g, 100);
  IControl* release = ControlOf(g, kRelease);
  ASSERT_NE(release, nullptr);
  const double before = p->GetParam(kRelease)->Value();

  // Typed and cancelled: nothing changes.
  g->PromptTextEntry(release, p->GetParam(kRelease), true);
  ASSERT_TRUE(g->EntryOpen());
  Idle(g, 60);
  Type(XK_5);
  Idle(g, 20);
  Move(300, 400);
  Click(3);
  Idle(g, 100);
  EXPECT_FALSE(g->EntryOpen());
  EXPECT_EQ(p->GetParam(kRelease)->Value(), before);

  // Typed, then a left click elsewhere in the editor commits.
  g->PromptTextEntry(release, p->GetParam(kRelease), true);
  ASSERT_TRUE(g->EntryOpen());
  Idle(g, 60);
  Type(XK_4);
  Type(XK_2);
  Idle(g, 20);
  Move(300, 400);
  Click(1);
  Idle(g, 100);
  EXPECT_FALSE(g->EntryOpen());
  EXPECT_DOUBLE_EQ(p->GetParam(kRelease)->Value(), 42.0);
  g->CloseWindow();
}

TEST_F(X11Layer, WheelsForwardedByTheHostCountOnlyOverTheEditor) {
  CLS_QUARVELLINE* p = NewPlug();
  IGraphicsX11* g = Gui(p);
  EXPECT_EQ(g->ProcessMouseWheel(1.0f), 0) << "closed";
  ASSERT_NE(g->OpenWindow(Parent()), nullptr);
  Idle(g, 60);
  Move(900, 900);
  Idle(g, 20);
  EXPECT_EQ(g->ProcessMouseWheel(1.0f), 0);
  Move(261, 138);
  Idle(g, 20);
  const double before = p->GetParam(kAttack)->Value();
  EXPECT_EQ(g->ProcessMouseWheel(1.0f), 1);
  EXPECT_NE(p->GetParam(kAttack)->Value(), before);
  g->CloseWindow();
}

}  // namespace
