// The editor of each built module opened the way hosts open it, in a window of
// the host on the X server, and driven with synthetic input (XTest) as a user
// would: a knob drag, wheel notches, the popup list, the text box, hovering,
// the reset button; the window's pixels against the editor drawn in-process;
// many openings and several editors at once. Needs DISPLAY (./test.sh starts
// an Xvfb); without it every test here skips.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../graphics/GfxTestUtil.h"
#include "editor/PromptPopup.h"
#include "graphics/raster/LicePng.h"
#include "engine/Quarvelline.h"
#include "graphics/IGraphics.h"
#include "support/PlugFixture.h"
#include "tools/host/EditorWindow.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

// Xlib after everything that declares names its macros would take.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using quarv::host::EditorWindow;
using quarv::host::EditorWindowOptions;
using quarv::host::HostedPlugin;

namespace {

enum class Format { kVst2, kVst3 };

std::string ModulePath(Format f) { return f == Format::kVst2 ? QUARV_VST2_MODULE : QUARV_VST3_BUNDLE; }
std::string FormatName(const testing::TestParamInfo<Format>& info) {
  return info.param == Format::kVst2 ? "Vst2" : "Vst3";
}

bool HaveDisplay() {
  const char* d = std::getenv("DISPLAY");
  return d && *d;
}

// Where the controls are (editor/EditorLayout.cpp).
struct Point {
  int x, y;
};
constexpr Point kAttackKnob{261, 138};
constexpr Point kReleaseKnob{339, 138};
constexpr Point kWindowKnob{417, 138};
constexpr Point kOutLimitKnob{500, 143};
constexpr Point kResetButton{68, 214};
const Rect kStatusLine(175, 58, 425, 78);
const Rect kGraph(8, 228, 588, 474);

// What the plug-in told the host about edits, whatever the format.
struct Edits {
  std::vector<int> begins, ends, changes;  // parameter indices
};

// The RGB pixels of r in a against b: how many differ by more than
// tolerance in any channel.
int DifferingPixels(LICE_IBitmap* a, LICE_IBitmap* b, const Rect& r, int tolerance = 0) {
  int count = 0;
  for (int y = r.T; y < r.B; ++y) {
    const LICE_pixel* pa = LICE_Row(a, y);
    const LICE_pixel* pb = LICE_Row(b, y);
    for (int x = r.L; x < r.R; ++x) {
      const int d = std::max({std::abs(LICE_R(pa[x]) - LICE_R(pb[x])), std::abs(LICE_G(pa[x]) - LICE_G(pb[x])),
                              std::abs(LICE_B(pa[x]) - LICE_B(pb[x]))});
      if (d > tolerance) ++count;
    }
  }
  return count;
}

// Pictures a failed comparison leaves for a person to look at, in x11-out/
// of the build folder: what the window showed and what was drawn in-process.
void Keep(const std::string& name, LICE_IBitmap* bm) {
  std::filesystem::create_directories(QUARV_X11_OUT);
  gfxtest::WritePng(bm, std::string(QUARV_X11_OUT) + "/" + name + ".png");
}
std::string TestName() {
  std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '-');
  return name;
}

// Expects the pixels of r in the window's picture to equal the in-process
// drawing; on failure both pictures are kept.
void ExpectSamePixels(LICE_IBitmap* shown, LICE_IBitmap* drawn, const Rect& r, int tolerance = 0) {
  const int differing = DifferingPixels(shown, drawn, r, tolerance);
  EXPECT_EQ(differing, 0) << "pixels of (" << r.L << ", " << r.T << ", " << r.R << ", " << r.B
                          << ") differ; see " << QUARV_X11_OUT << "/" << TestName() << "-*.png";
  if (differing) {
    Keep(TestName() + "-window", shown);
    Keep(TestName() + "-in-process", drawn);
  }
}

// One module instance with its editor open in a host window, and a hand on
// the X server's pointer and keyboard.
class EditorSession {
public:
  EditorSession(Format format, const EditorWindowOptions& options = {}) : mFormat(format) {
    std::string error;
    mPlug = quarv::host::OpenPlugin(ModulePath(format), &error);
    if (!mPlug) {
      ADD_FAILURE() << error;
      return;
    }
    mWindow = EditorWindow::Open(*mPlug, &error, options);
    if (!mWindow) ADD_FAILURE() << error;
  }
  ~EditorSession() {
    mWindow.reset();
    mPlug.reset();
  }
  bool Ok() const { return mWindow != nullptr; }
  HostedPlugin& Plug() { return *mPlug; }
  EditorWindow& Win() { return *mWindow; }
  Display* D() { return mWindow->HostDisplay(); }

  void Pump(int ms) { mWindow->Pump(ms); }
  // The pointer to a point of the editor; it arrives as motion events.
  void Move(Point p) {
    int sx = 0, sy = 0;
    mWindow->ToScreen(p.x, p.y, &sx, &sy);
    XTestFakeMotionEvent(D(), -1, sx, sy, CurrentTime);
    XFlush(D());
    Pump(30);
  }
  // Off every window the tests open (the screen is 1280 x 1024).
  void MoveAway() {
    XTestFakeMotionEvent(D(), -1, 1279, 1023, CurrentTime);
    XFlush(D());
    Pump(30);
  }
  void Button(unsigned button, bool down) {
    XTestFakeButtonEvent(D(), button, down ? True : False, CurrentTime);
    XFlush(D());
    Pump(30);
  }
  void Click(Point p, unsigned button) {
    Move(p);
    Button(button, true);
    Button(button, false);
  }
  void Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(D(), sym);
    ASSERT_NE(code, 0) << "no key for " << sym;
    XTestFakeKeyEvent(D(), code, True, CurrentTime);
    XTestFakeKeyEvent(D(), code, False, CurrentTime);
    XFlush(D());
    Pump(30);
  }
  // Pumps until the condition holds or the time is up.
  template <typename F>
  bool PumpUntil(F condition, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      mWindow->PumpOnce(5);
    }
    return true;
  }

  // Blocks of a 440-Hz sine through the module at 48 kHz, the transport
  // playing, between processing on and off.
  void Process(int blocks, float amplitude) {
    mPlug->Configure(48000.0, 512, 2, quarv::host::Precision::kSingle);
    mPlug->Start();
    std::vector<float> l(512), r(512), ol(512), orr(512);
    float* in[2] = {l.data(), r.data()};
    float* out[2] = {ol.data(), orr.data()};
    for (int block = 0; block < blocks; ++block, mFrames += 512) {
      for (int i = 0; i < 512; ++i) {
        l[i] = r[i] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * (mFrames + i) / 48000.0));
      }
      mPlug->Process(in, out, 512);
    }
    mPlug->Stop();
  }

  Edits Recorded() {
    Edits e;
    if (auto* v2 = mPlug->AsVst2()) {
      e.begins = v2->log.beginEdits;
      e.ends = v2->log.endEdits;
      for (const auto& a : v2->log.automations) e.changes.push_back(a.index);
    } else if (auto* v3 = mPlug->AsVst3()) {
      for (auto id : v3->log.beginEdits) e.begins.push_back(static_cast<int>(id));
      for (auto id : v3->log.endEdits) e.ends.push_back(static_cast<int>(id));
      for (const auto& a : v3->log.performEdits) e.changes.push_back(static_cast<int>(a.id));
    }
    return e;
  }
  void ForgetEdits() {
    if (auto* v2 = mPlug->AsVst2()) v2->log = {};
    if (auto* v3 = mPlug->AsVst3()) v3->log = {};
  }

  std::unique_ptr<LICE_MemBitmap> Capture() {
    std::string error;
    std::unique_ptr<LICE_MemBitmap> bm = mWindow->Capture(&error);
    EXPECT_TRUE(bm) << error;
    return bm;
  }

  // Windows the editor has inside its own window (the text box, ...).
  int EditorSubwindows() {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    const ::Window editor = mWindow->EditorChild();
    if (!editor || !XQueryTree(D(), editor, &root, &parent, &children, &count)) return -1;
    if (children) XFree(children);
    return static_cast<int>(count);
  }

private:
  Format mFormat;
  long mFrames = 0;
  std::unique_ptr<HostedPlugin> mPlug;
  std::unique_ptr<EditorWindow> mWindow;
};

// The same editor drawn in-process, off any window: a plug-in object of the
// offline build with the same parameter values.
class InProcessEditor {
public:
  explicit InProcessEditor(HostedPlugin& like) {
    for (int i = 0; i < mPlug->NParams(); ++i) {
      mPlug->SetParameterFromHost(i, like.ParamNormalized(i));
    }
  }
  IGraphics* G() { return mPlug->GetGUI(); }
  void Process(int blocks) { mPlug.RunConstant(0.0, 512 * blocks); }
  // What the window's tick draws: the dirty area, then the graph.
  void Tick() {
    Rect dirty;
    if (G()->CollectDirty(dirty)) G()->DrawRegion(dirty);
    G()->DrawRegion(G()->alwaysRedrawRect);
  }
  CLS_QUARVELLINE& Plug() { return *mPlug; }
  // The whole editor as its window shows it after two ticks: the graph
  // writes the info line while it draws, which shows from the second on.
  LICE_IBitmap* Render() {
    for (int i = 0; i < 2; ++i) G()->DrawRegion(Rect(0, 0, G()->Width(), G()->Height()));
    return G()->GetDrawBitmap();
  }

private:
  quarvtest::OpenPlug mPlug;
};

class EditorX11 : public testing::TestWithParam<Format> {
protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X server (DISPLAY is not set); ./test.sh starts an Xvfb";
    s = std::make_unique<EditorSession>(GetParam());
    ASSERT_TRUE(s->Ok());
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(s->D(), &event, &error, &major, &minor)) << "the X server has no XTEST";
    s->MoveAway();
    s->Pump(100);
  }
  void TearDown() override { s.reset(); }

  std::unique_ptr<EditorSession> s;
};

TEST_P(EditorX11, TheEditorFillsTheHostsWindowAtItsOwnSize) {
  EXPECT_EQ(s->Win().Width(), CLS_QUARVELLINE::kEditorWidth);
  EXPECT_EQ(s->Win().Height(), CLS_QUARVELLINE::kEditorHeight);
  const Window editor = s->Win().EditorChild();
  ASSERT_NE(editor, 0u) << "the editor made no window in the host's window";
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(s->D(), editor, &a));
  EXPECT_EQ(a.map_state, IsViewable);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, CLS_QUARVELLINE::kEditorWidth);
  EXPECT_EQ(a.height, CLS_QUARVELLINE::kEditorHeight);
}

TEST_P(EditorX11, TheWindowShowsWhatTheEditorDrawsInProcess) {
  // Both have processed a block of silence with the transport playing, so
  // both show the graph's info line.
  s->Process(1, 0.0f);
  s->Pump(150);
  std::unique_ptr<LICE_MemBitmap> shown = s->Capture();
  ASSERT_TRUE(shown);
  InProcessEditor expected(s->Plug());
  expected.Plug().SetTransport(1);
  expected.Process(1);
  LICE_IBitmap* drawn = expected.Render();
  ASSERT_EQ(drawn->Width(), shown->Width());
  ASSERT_EQ(drawn->Height(), shown->Height());
  ExpectSamePixels(shown.get(), drawn, Rect(0, 0, shown->Width(), shown->Height()));
}

TEST_P(EditorX11, AKnobDragChangesTheParameterAndTellsTheHost) {
  const double before = s->Plug().ParamNormalized(kAttack);
  s->ForgetEdits();
  s->Move(kAttackKnob);
  s->Button(1, true);
  for (int dy = 4; dy <= 40; dy += 4) s->Move({kAttackKnob.x, kAttackKnob.y - dy});
  s->Button(1, false);
  s->Pump(100);
  EXPECT_GT(s->Plug().ParamNormalized(kAttack), before);
  const Edits e = s->Recorded();
  EXPECT_EQ(e.begins, std::vector<int>{kAttack});
  EXPECT_EQ(e.ends, std::vector<int>{kAttack});
  ASSERT_FALSE(e.changes.empty());
  EXPECT_TRUE(std::all_of(e.changes.begin(), e.changes.end(), [](int i) { return i == kAttack; }));
}

TEST_P(EditorX11, WheelNotchesAreOneGestureThatEndsTwelveTicksAfterTheLast) {
  const double before = s->Plug().ParamNormalized(kRelease);
  s->Move(kReleaseKnob);
  s->ForgetEdits();
  // Each notch is seen arriving (its change reaches the host) within a few
  // ms, 30 ms after the one before.
  std::chrono::steady_clock::time_point lastNotch;
  long ticksAtLastNotch = 0;
  for (size_t notch = 1; notch <= 3; ++notch) {
    if (notch > 1) s->Pump(30);
    XTestFakeButtonEvent(s->D(), 4, True, CurrentTime);  // wheel up
    XTestFakeButtonEvent(s->D(), 4, False, CurrentTime);
    XFlush(s->D());
    ASSERT_TRUE(s->PumpUntil([&] { return s->Recorded().changes.size() >= notch; }, 1000)) << "notch " << notch;
    lastNotch = std::chrono::steady_clock::now();
    ticksAtLastNotch = s->Win().ViewTimerFirings();
  }
  EXPECT_GT(s->Plug().ParamNormalized(kRelease), before);
  ASSERT_TRUE(s->PumpUntil([&] { return !s->Recorded().ends.empty(); }, 3000)) << "the gesture never ended";
  const auto after = std::chrono::steady_clock::now() - lastNotch;
  const long ticks = s->Win().ViewTimerFirings() - ticksAtLastNotch;
  const Edits e = s->Recorded();
  EXPECT_EQ(e.begins, std::vector<int>{kRelease});
  EXPECT_EQ(e.ends, std::vector<int>{kRelease});
  EXPECT_EQ(e.changes.size(), 3u);
  // Twelve ticks count down from the last notch, the first of them the one
  // that may take the notch in: eleven periods of 41 ms at least (a few ms
  // for the loop's rounding).
  EXPECT_GE(after, std::chrono::milliseconds(11 * 41 - 10));
  if (GetParam() == Format::kVst3) {
    // Counted: the tick that took the notch in may have run in the same
    // pass of the loop as the notch was seen.
    EXPECT_GE(ticks, 11);
    EXPECT_LE(ticks, 12);
  }
}

TEST_P(EditorX11, ARightClickOnWindowOpensTheListAndAPickSetsTheParameter) {
  const std::string before = s->Plug().ParamDisplay(kWindow);
  s->Move(kWindowKnob);
  s->Pump(100);
  s->Click(kWindowKnob, 3);
  s->Pump(100);
  // Where the list is and which value its first visible row holds: the same
  // right click on the editor drawn in-process.
  InProcessEditor same(s->Plug());
  same.Render();
  same.G()->OnMouseOver(kWindowKnob.x, kWindowKnob.y, MouseMods());
  same.Tick();
  same.G()->OnMouseDown(kWindowKnob.x, kWindowKnob.y, MouseMods(false, true));
  same.G()->OnMouseUp(kWindowKnob.x, kWindowKnob.y, MouseMods(false, true));
  auto* list = dynamic_cast<PromptPopup*>(same.G()->ActivePopup());
  ASSERT_NE(list, nullptr);
  same.Tick();  // the list lays itself out as it draws
  same.G()->OnMouseOver(kWindowKnob.x, kWindowKnob.y, MouseMods());  // the pointer stayed there
  same.Tick();
  std::unique_ptr<LICE_MemBitmap> shown = s->Capture();
  ASSERT_TRUE(shown);
  // The knob under the translucent list may differ by a level or two: the
  // window's ticks redraw it in other pieces than these.
  ExpectSamePixels(shown.get(), same.G()->GetDrawBitmap(), list->rect, 2);

  // The row that is not the current value.
  const int rowHeight = 21;
  int row = 0;
  if (std::string(list->Item(list->firstVisible)) == before) row = 1;
  const Point pick{list->rect.L + 20, list->rect.T + row * rowHeight + rowHeight / 2};
  const std::string picked = list->Item(list->firstVisible + row);
  s->ForgetEdits();
  s->Click(pick, 1);
  s->Pump(100);
  EXPECT_EQ(s->Plug().ParamDisplay(kWindow), picked);
  EXPECT_NE(picked, before);
  const Edits e = s->Recorded();
  EXPECT_EQ(e.begins, std::vector<int>{kWindow});
  EXPECT_EQ(e.ends, std::vector<int>{kWindow});
}

TEST_P(EditorX11, ARightClickOnReleaseOpensATextBoxAndTyping250AndEnterApplies250Ms) {
  ASSERT_EQ(s->EditorSubwindows(), 0);
  s->Click(kReleaseKnob, 3);
  s->Pump(100);
  ASSERT_EQ(s->EditorSubwindows(), 1) << "no text box";
  s->ForgetEdits();
  for (KeySym k : {XK_2, XK_5, XK_0, XK_Return}) s->Key(k);
  s->Pump(150);
  EXPECT_EQ(s->EditorSubwindows(), 0) << "the text box stayed open";
  EXPECT_NE(s->Plug().ParamDisplay(kRelease).find("250"), std::string::npos) << s->Plug().ParamDisplay(kRelease);
  const Edits e = s->Recorded();
  EXPECT_EQ(e.begins, std::vector<int>{kRelease});
  EXPECT_EQ(e.ends, std::vector<int>{kRelease});
}

TEST_P(EditorX11, HoveringAKnobShowsItsStatusText) {
  // The plug-in explains its controls once it has its sample rate.
  s->Process(1, 0.0f);
  s->Pump(100);
  std::unique_ptr<LICE_MemBitmap> idle = s->Capture();
  s->Move(kOutLimitKnob);
  s->Pump(150);
  std::unique_ptr<LICE_MemBitmap> hovered = s->Capture();
  ASSERT_TRUE(idle && hovered);
  EXPECT_GT(DifferingPixels(idle.get(), hovered.get(), kStatusLine), 20) << "no status text";
  // The same words as the editor in-process writes for the same hover.
  InProcessEditor same(s->Plug());
  same.Process(1);
  same.G()->OnMouseOver(kOutLimitKnob.x, kOutLimitKnob.y, MouseMods());
  EXPECT_STREQ(same.Plug().mStatusLine->GetText(), "Out Limit: -14.00 lu");
  same.Render();
  ExpectSamePixels(hovered.get(), same.G()->GetDrawBitmap(), kStatusLine);
}

TEST_P(EditorX11, TheResetButtonClearsTheHistory) {
  std::unique_ptr<LICE_MemBitmap> empty = s->Capture();
  // Three seconds of loud audio through the module with the transport
  // playing fill the graph.
  s->Process(3 * 48000 / 512, 0.7f);
  s->Pump(150);
  std::unique_ptr<LICE_MemBitmap> full = s->Capture();
  ASSERT_TRUE(empty && full);
  ASSERT_GT(DifferingPixels(empty.get(), full.get(), kGraph), 1000) << "the graph shows no history";
  // The graph sees the press when it draws while the button is down, as a
  // person's click of about a tenth of a second always lets it.
  s->Move(kResetButton);
  s->Button(1, true);
  s->Pump(100);
  s->Button(1, false);
  s->MoveAway();
  s->Pump(200);
  std::unique_ptr<LICE_MemBitmap> cleared = s->Capture();
  ASSERT_TRUE(cleared);
  EXPECT_LT(DifferingPixels(empty.get(), cleared.get(), kGraph), DifferingPixels(empty.get(), full.get(), kGraph) / 20)
      << "the graph still shows the history";
}

INSTANTIATE_TEST_SUITE_P(BothModules, EditorX11, testing::Values(Format::kVst2, Format::kVst3), FormatName);

// ------------------------------------------------------------ opening and closing

class EditorLifetime : public testing::TestWithParam<Format> {
protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X server (DISPLAY is not set); ./test.sh starts an Xvfb";
  }
};

TEST_P(EditorLifetime, OpensAndClosesAHundredTimes) {
  std::string error;
  std::unique_ptr<HostedPlugin> plug = quarv::host::OpenPlugin(ModulePath(GetParam()), &error);
  ASSERT_TRUE(plug) << error;
  for (int i = 0; i < 100; ++i) {
    std::unique_ptr<EditorWindow> w = EditorWindow::Open(*plug, &error);
    ASSERT_TRUE(w) << "opening " << i << ": " << error;
    w->PumpOnce(i % 10 == 0 ? 50 : 0);
    ASSERT_NE(w->EditorChild(), 0u) << "opening " << i;
    w->CloseEditor();
    EXPECT_EQ(w->EditorChild(), 0u) << "closing " << i << " left the editor's window";
    EXPECT_EQ(w->LeftRegistered(), 0) << "closing " << i << " left timers or watches registered";
    EXPECT_EQ(w->Loop().Entries(), 0u);
  }
}

TEST_P(EditorLifetime, FourEditorsOfFourInstancesRunAtOnce) {
  std::vector<std::unique_ptr<HostedPlugin>> plugs;
  std::vector<std::unique_ptr<EditorWindow>> windows;
  std::string error;
  for (int i = 0; i < 4; ++i) {
    plugs.push_back(quarv::host::OpenPlugin(ModulePath(GetParam()), &error));
    ASSERT_TRUE(plugs.back()) << error;
    EditorWindowOptions o;
    o.x = (i % 2) * 640;
    o.y = (i / 2) * 512;
    windows.push_back(EditorWindow::Open(*plugs.back(), &error, o));
    ASSERT_TRUE(windows.back()) << error;
  }
  // Each instance its own value, so each window must show its own editor.
  plugs[2]->SetParamNormalized(kOutLimit, 0.25);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < end) {
    for (auto& w : windows) w->PumpOnce(2);
  }
  std::vector<std::unique_ptr<LICE_MemBitmap>> shown;
  for (auto& w : windows) {
    shown.push_back(w->Capture(&error));
    ASSERT_TRUE(shown.back()) << error;
  }
  const Rect all(0, 0, shown[0]->Width(), shown[0]->Height());
  EXPECT_EQ(DifferingPixels(shown[0].get(), shown[1].get(), all), 0);
  EXPECT_EQ(DifferingPixels(shown[0].get(), shown[3].get(), all), 0);
  EXPECT_GT(DifferingPixels(shown[0].get(), shown[2].get(), all), 0);
  // Closing out of order leaves the others running.
  windows[1].reset();
  windows[0]->Pump(100);
  windows[3]->Pump(100);
  windows[2].reset();
  for (int i : {0, 3}) {
    EXPECT_NE(windows[static_cast<size_t>(i)]->EditorChild(), 0u);
    windows[static_cast<size_t>(i)]->CloseEditor();
    EXPECT_EQ(windows[static_cast<size_t>(i)]->LeftRegistered(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(BothModules, EditorLifetime, testing::Values(Format::kVst2, Format::kVst3), FormatName);

// ------------------------------------------------------------ the host program

// quarvelline-host --editor-png after rendering the demo: the picture is the
// editor with the demo's history, the same through both modules.
TEST(HostEditorPicture, BothModulesGiveTheEditorAfterTheDemo) {
  if (!HaveDisplay()) GTEST_SKIP() << "no X server (DISPLAY is not set); ./test.sh starts an Xvfb";
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("quarv-editor-png-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::vector<std::unique_ptr<LICE_MemBitmap>> pictures;
  for (Format f : {Format::kVst3, Format::kVst2}) {
    const std::string png = (dir / (f == Format::kVst2 ? "vst2.png" : "vst3.png")).string();
    const std::string cmd = "cd '" + dir.string() + "' && '" + QUARV_HOST_BIN + "' --module '" + ModulePath(f) +
                            "' --preset 'Spotify: -14 LUFS' --no-chart --editor-png '" + png + "' >out.txt 2>err.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string bytes;
    {
      std::FILE* file = std::fopen(png.c_str(), "rb");
      ASSERT_NE(file, nullptr) << png;
      char buf[65536];
      for (size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;) bytes.append(buf, n);
      std::fclose(file);
    }
    pictures.emplace_back(LICE_DecodePNG(bytes.data(), bytes.size()));
    ASSERT_TRUE(pictures.back());
    EXPECT_EQ(pictures.back()->Width(), CLS_QUARVELLINE::kEditorWidth);
    EXPECT_EQ(pictures.back()->Height(), CLS_QUARVELLINE::kEditorHeight);
  }
  // Not an empty window: the graph shows the demo's history against a
  // fresh editor.
  EditorSession fresh(Format::kVst3);
  ASSERT_TRUE(fresh.Ok());
  fresh.MoveAway();
  fresh.Pump(150);
  std::unique_ptr<LICE_MemBitmap> empty = fresh.Capture();
  ASSERT_TRUE(empty);
  EXPECT_GT(DifferingPixels(pictures[0].get(), empty.get(), kGraph), 5000);
  // Above the graph both modules' editors look alike, down to the pixel.
  ExpectSamePixels(pictures[0].get(), pictures[1].get(), Rect(0, 0, 600, kGraph.T));
  fs::remove_all(dir);
}

}  // namespace
