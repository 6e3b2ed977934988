// The Windows window layer in a real (Wine, X server) window system: the
// plug-in's editor opened as a child of a host window through the VST 2.4
// entry, its timer, painting, input, the entry box and list, and the window
// class shared by several editors; and a bare engine with a recording
// control for the exact input mapping.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "engine/Quarvelline.h"
#include "framework/IParameter.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/win/IGraphicsWin.h"
#include "graphics/win/Win32.h"

namespace {

struct HostLog {
  int beginEdits = 0, endEdits = 0, automations = 0;
};
HostLog gLog;

intptr_t VST_CALL HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterBeginEdit: ++gLog.beginEdits; return 1;
    case audioMasterEndEdit: ++gLog.endEdits; return 1;
    case audioMasterAutomate: ++gLog.automations; return 1;
    default: return 0;
  }
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A top-level window of the test program standing in for the host's.
HWND HostWindow() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuarvTestHost";
    return RegisterClassA(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  HWND hwnd = CreateWindowA("QuarvTestHost", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 600, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
  EXPECT_TRUE(hwnd);
  return hwnd;
}

// Runs the message loop for ms milliseconds; counts the editor's timer
// messages for window (id 2).
int Pump(int ms, HWND window = nullptr) {
  int ticks = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (window && msg.hwnd == window && msg.message == WM_TIMER && msg.wParam == 2) ++ticks;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(2);
  }
  return ticks;
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// The plug-in with its VST 2.4 record, as the module's entry point makes it.
struct Plugin {
  CLS_QUARVELLINE* plug = new CLS_QUARVELLINE(reinterpret_cast<void*>(&HostCallback));
  AEffect* effect = plug->GetAEffect();
  Plugin() { Dispatch(effOpen); }
  ~Plugin() { Dispatch(effClose); }
  intptr_t Dispatch(int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
  }
  IGraphicsWin* Gui() { return static_cast<IGraphicsWin*>(plug->GetGUI()); }
  HWND Editor() { return static_cast<HWND>(Gui()->GetWindow()); }
  HWND Entry() { return static_cast<HWND>(Gui()->EntryWindow()); }
  double Value(int idx) { return plug->GetParam(idx)->Value(); }
};

// The plug-in's editor open in a host window.
struct OpenEditor {
  HWND host = HostWindow();
  Plugin p;
  OpenEditor() {
    EXPECT_EQ(p.Dispatch(effEditOpen, 0, host), 1);
    Pump(100);
  }
  ~OpenEditor() {
    p.Dispatch(effEditClose);
    DestroyWindow(host);
  }
  void RightClick(int x, int y) {
    SendMessageA(p.Editor(), WM_RBUTTONDOWN, MK_RBUTTON, At(x, y));
    SendMessageA(p.Editor(), WM_RBUTTONUP, 0, At(x, y));
  }
};

bool ClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(ThisModule(), "IPlugWndClass", &wc) != 0;
}

TEST(WindowLayer, EditorOpensAsAChildOfTheHostWindowAndPaintsTheDrawBitmap) {
  HWND host = HostWindow();
  Plugin p;
  ASSERT_TRUE(p.effect->flags & effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(p.Dispatch(effEditGetRect, 0, &rect), 1);
  EXPECT_EQ(rect->right, 600);
  EXPECT_EQ(rect->bottom, 490);
  ASSERT_EQ(p.Dispatch(effEditOpen, 0, host), 1);
  HWND editor = p.Editor();
  ASSERT_TRUE(editor);
  EXPECT_EQ(GetParent(editor), host);
  char cls[32] = {};
  GetClassNameA(editor, cls, sizeof cls);
  EXPECT_STREQ(cls, "IPlugWndClass");
  EXPECT_TRUE(GetWindowLongPtrA(editor, GWL_STYLE) & WS_CHILD);
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, 600);
  EXPECT_EQ(client.bottom, 490);
  Pump(400);

  // What is on screen is the draw bitmap: read the window back through GDI.
  HDC screen = GetDC(editor);
  LICE_SysBitmap shot(600, 490);
  ASSERT_TRUE(BitBlt(static_cast<HDC>(shot.DeviceContext()), 0, 0, 600, 490, screen, 0, 0, SRCCOPY));
  ReleaseDC(editor, screen);
  GdiFlush();
  LICE_IBitmap* drawn = p.Gui()->GetDrawBitmap();
  int differing = 0, nonBlack = 0;
  for (int y = 0; y < 490; ++y) {
    for (int x = 0; x < 600; ++x) {
      const LICE_pixel a = LICE_Row(&shot, y)[x] & 0xffffffu, b = LICE_Row(drawn, y)[x] & 0xffffffu;
      if (a != b) ++differing;
      if (a != 0) ++nonBlack;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(nonBlack, 600 * 490 / 2) << "the editor's face is on screen";

  EXPECT_EQ(p.Dispatch(effEditClose), 1);
  EXPECT_FALSE(p.Editor());
  EXPECT_FALSE(IsWindow(editor));
  DestroyWindow(host);
}

TEST(WindowLayer, TicksAboutTwentyFourTimesASecond) {
  OpenEditor e;
  const int ticks = Pump(1000, e.p.Editor());
  EXPECT_GE(ticks, 18);
  EXPECT_LE(ticks, 26);
}

TEST(WindowLayer, SeveralEditorsShareOneRegistrationOfTheClass) {
  HWND host = HostWindow();
  EXPECT_FALSE(ClassRegistered());
  {
    Plugin a, b;
    ASSERT_EQ(a.Dispatch(effEditOpen, 0, host), 1);
    EXPECT_TRUE(ClassRegistered());
    ASSERT_EQ(b.Dispatch(effEditOpen, 0, host), 1);
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 2);
    a.Dispatch(effEditClose);
    EXPECT_TRUE(ClassRegistered()) << "the other editor is still open";
    EXPECT_TRUE(IsWindow(b.Editor()));
    Pump(100);
    b.Dispatch(effEditClose);
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
    // Opened again, and a second open moves the window to the new parent.
    ASSERT_EQ(a.Dispatch(effEditOpen, 0, host), 1);
    HWND other = HostWindow();
    ASSERT_EQ(a.Dispatch(effEditOpen, 0, other), 1);
    EXPECT_EQ(GetParent(a.Editor()), other);
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);
    DestroyWindow(other);
  }
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0) << "closing the plug-in closes its editor";
  EXPECT_FALSE(ClassRegistered());
  DestroyWindow(host);
}

TEST(WindowLayer, TypedValueAppliesAtTheNextTickWithAGesture) {
  OpenEditor e;
  Plugin& p = e.p;
  // A right click on the Input Gain knob opens the text box over it.
  e.RightClick(100, 143);
  HWND entry = p.Entry();
  ASSERT_TRUE(entry);
  char cls[16] = {};
  GetClassNameA(entry, cls, sizeof cls);
  EXPECT_STRCASEEQ(cls, "EDIT");
  char text[64] = {};
  GetWindowTextA(entry, text, sizeof text);
  EXPECT_STREQ(text, "0");
  EXPECT_EQ(GetDlgCtrlID(entry), 99);

  SetWindowTextA(entry, "3.5");
  const int begins = gLog.beginEdits, ends = gLog.endEdits;
  SendMessageA(entry, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(p.Gui()->EntryState(), 3);
  EXPECT_EQ(p.Value(kInputGain), 0.0) << "nothing before the tick";
  Pump(150);
  EXPECT_DOUBLE_EQ(p.Value(kInputGain), 3.5);
  EXPECT_FALSE(p.Entry());
  EXPECT_FALSE(IsWindow(entry));
  EXPECT_EQ(gLog.beginEdits, begins + 1);
  EXPECT_EQ(gLog.endEdits, ends + 1);
}

TEST(WindowLayer, RightClickCancelsAndLeftClickCommitsTheEntry) {
  OpenEditor e;
  Plugin& p = e.p;
  HWND editor = p.Editor();
  e.RightClick(500, 143);
  ASSERT_TRUE(p.Entry());
  SetWindowTextA(p.Entry(), "-20");
  SendMessageA(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(300, 300));
  EXPECT_EQ(p.Gui()->EntryState(), 2);
  Pump(150);
  EXPECT_FALSE(p.Entry());
  EXPECT_DOUBLE_EQ(p.Value(kOutLimit), -14.0) << "cancelled";

  e.RightClick(500, 143);
  ASSERT_TRUE(p.Entry());
  SetWindowTextA(p.Entry(), "-20");
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(300, 300));
  SendMessageA(editor, WM_LBUTTONUP, 0, At(300, 300));
  EXPECT_EQ(p.Gui()->EntryState(), 3);
  Pump(150);
  EXPECT_FALSE(p.Entry());
  EXPECT_DOUBLE_EQ(p.Value(kOutLimit), -20.0) << "committed by the click elsewhere";
}

TEST(WindowLayer, ListEntryAppliesThePickAtTheNextTick) {
  OpenEditor e;
  Plugin& p = e.p;
  IGraphicsWin* g = p.Gui();
  IControl* knob = nullptr;
  for (int i = 0; i < g->NControls(); ++i) {
    if (g->GetControl(i)->paramIdx == kWindow) knob = g->GetControl(i);
  }
  ASSERT_TRUE(knob);
  IParameter* window = p.plug->GetParam(kWindow);
  {
    std::lock_guard<std::recursive_mutex> lock(p.plug->Mutex());
    g->PromptTextEntry(knob, window, true);
  }
  HWND list = p.Entry();
  ASSERT_TRUE(list);
  char cls[16] = {};
  GetClassNameA(list, cls, sizeof cls);
  EXPECT_STRCASEEQ(cls, "COMBOBOX");
  EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 2) << "10ms, the current value";
  // A pick, as the list reports it to its parent.
  SendMessageA(list, CB_SETCURSEL, 4, 0);
  SendMessageA(p.Editor(), WM_COMMAND, MAKEWPARAM(99, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(g->EntryState(), 3);
  Pump(150);
  EXPECT_FALSE(p.Entry());
  EXPECT_DOUBLE_EQ(p.Value(kWindow), 4.0);
}

// Records what the engine hands a control.
class Recorder : public IControl {
public:
  explicit Recorder(const Rect& r) : IControl(nullptr, r) {}
  bool Draw(IGraphics* g) override { return g->FillRect(Colour(255, 30, 60, 90), rect); }
  void MouseDown(int x, int y, const MouseMods& m) override { Log("down", x, y, m); }
  void MouseUp(int x, int y, const MouseMods& m) override { Log("up", x, y, m); }
  void MouseDrag(int x, int y, int, int, const MouseMods& m) override { Log("drag", x, y, m); }
  void MouseWheel(int x, int y, const MouseMods& m, int d) override {
    Log("wheel", x, y, m);
    wheel.push_back(d);
  }
  void KeyDown(int, int, int key) override { keys.push_back(key); }
  std::vector<std::string> events;
  std::vector<int> wheel, keys;

private:
  void Log(const char* what, int x, int y, const MouseMods& m) {
    events.push_back(std::string(what) + " " + std::to_string(x) + "," + std::to_string(y) + (m.L ? " L" : "") +
                     (m.R ? " R" : "") + (m.S ? " S" : "") + (m.C ? " C" : ""));
  }
};

TEST(WindowLayer, MessagesBecomeTheEnginesInput) {
  HWND host = HostWindow();
  IGraphicsWin g(nullptr, 200, 100, 0);
  g.SetModuleHandle(ThisModule());
  g.PrepareDrawBitmap();
  auto* rec = new Recorder(Rect(0, 0, 200, 100));
  g.AttachControl(rec);
  HWND editor = static_cast<HWND>(g.OpenWindow(host));
  ASSERT_TRUE(editor);
  Pump(100);

  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At(10, 20));
  EXPECT_EQ(GetCapture(), editor);
  SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, At(15, 25));
  SendMessageA(editor, WM_LBUTTONUP, MK_CONTROL, At(16, 26));
  EXPECT_NE(GetCapture(), editor);
  // A drag without the capture is not passed on.
  SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, At(40, 40));
  ASSERT_EQ(rec->events.size(), 3u);
  EXPECT_EQ(rec->events[0], "down 10,20 L S");
  EXPECT_EQ(rec->events[1], "drag 15,25 L");
  EXPECT_EQ(rec->events[2], "up 16,26 C");

  // Wheel positions are on the screen; 120 is one notch, 60 none.
  RECT r;
  GetWindowRect(editor, &r);
  for (short delta : {120, 60, -240}) {
    SendMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), At(r.left + 50, r.top + 60));
  }
  EXPECT_EQ(rec->wheel, (std::vector<int>{1, 0, -2}));
  EXPECT_EQ(rec->events.back(), "wheel 50,60");

  // Keys go to the control under the pointer.
  SetCursorPos(r.left + 30, r.top + 30);
  for (WPARAM key : {WPARAM('A'), WPARAM(0x61), WPARAM('0'), WPARAM('9'), WPARAM(VK_SPACE), WPARAM(VK_LEFT),
                     WPARAM(VK_F13), WPARAM(VK_RETURN)}) {
    SendMessageA(editor, WM_KEYDOWN, key, 0);
  }
  EXPECT_EQ(rec->keys, (std::vector<int>{16, 16, 6, 15, 0, 3}));

  // The host forwarding a wheel while the pointer is elsewhere gets 0.
  SetCursorPos(r.right + 50, r.bottom + 50);
  EXPECT_EQ(g.ProcessMouseWheel(120.0f), 0);

  // The delayed end of a wheel gesture counts down with the ticks.
  g.SetParamChangeTimer(3);
  Pump(300);
  EXPECT_EQ(g.ParamChangeCountdown(), 0);

  std::string folder;
  g.HostPath(folder);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_EQ(std::string(self).rfind(folder, 0), 0u);
  std::string module;
  g.PluginPath(module);
  EXPECT_EQ(module, folder) << "the engine is linked into this program";

  g.CloseWindow();
  EXPECT_FALSE(IsWindow(editor));
  DestroyWindow(host);
}

}  // namespace
