#include "graphics/win/IGraphicsWin.h"

#include "graphics/win/Win32.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "editor/IControl.h"
#include "editor/ITextControl.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "graphics/raster/LicePng.h"

namespace {

constexpr char kClassName[] = "IPlugWndClass";
constexpr UINT_PTR kTimerId = 2;
constexpr int kEntryId = 99;
constexpr LONG_PTR kEntryMarker = 0xDEADF00B;
constexpr size_t kMaxEntryText = 1000;

// Editor windows of this module open now: the class is registered while
// there is one. And the frame rate of the window being created, for its
// creation message. User-interface thread only.
int gOpenWindows = 0;
double gCreatingFrameRate = 24.0;

HWND Hwnd(void* p) { return static_cast<HWND>(p); }

MouseMods ModsOf(WPARAM keys) {
  return MouseMods((keys & MK_LBUTTON) != 0, (keys & MK_RBUTTON) != 0, (keys & MK_SHIFT) != 0,
                   (keys & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0);
}

// Space, arrows, digits and letters (capital or, as the values 0x61..0x7A,
// small) to the engine's key codes; -1 for any other key.
int KeyCode(WPARAM key) {
  switch (key) {
    case VK_SPACE: return 0;
    case VK_UP: return 1;
    case VK_DOWN: return 2;
    case VK_LEFT: return 3;
    case VK_RIGHT: return 4;
    default: break;
  }
  if (key >= '0' && key <= '9') return 6 + static_cast<int>(key - '0');
  if (key >= 'A' && key <= 'Z') return 16 + static_cast<int>(key - 'A');
  if (key >= 0x61 && key <= 0x7A) return 16 + static_cast<int>(key - 0x61);
  return -1;
}

// Everything up to and including the last backslash of the file name of
// module (null: the host's executable); "" when there is none or it ends
// the name.
void FolderOf(HMODULE module, std::string& out) {
  out.clear();
  char name[256] = {};
  const DWORD n = GetModuleFileNameA(module, name, 255);
  if (n == 0) return;
  name[std::min<DWORD>(n, 255)] = '\0';
  const char* last = std::strrchr(name, '\\');
  if (last && last[1] != '\0') out.assign(name, static_cast<size_t>(last - name + 1));
}

// Sets the colour dialog's title when it opens.
UINT_PTR CALLBACK ColourDialogHook(HWND dialog, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* cc = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    if (cc && cc->lCustData) SetWindowTextA(dialog, reinterpret_cast<const char*>(cc->lCustData));
  }
  return 0;
}

}  // namespace

// The window procedures, with access to the engine's window fields.
struct IGraphicsWinProcs {
  static IGraphicsWin* EngineOf(HWND hwnd) {
    return reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }

  static LRESULT CALLBACK Main(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      auto* g = static_cast<IGraphicsWin*>(create->lpCreateParams);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g));
      SetTimer(hwnd, kTimerId, static_cast<UINT>(1000.0 / gCreatingFrameRate), nullptr);
      SetFocus(hwnd);
      if (g && g->acceptDrops) DragAcceptFiles(hwnd, TRUE);
      return 0;
    }
    IGraphicsWin* g = EngineOf(hwnd);
    if (!g || g->mMainWindow != hwnd) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (g->mEntryWindow && g->mEntryState == 1 && msg == WM_RBUTTONDOWN) {
      g->mEntryState = 2;
      return 0;
    }

    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    switch (msg) {
      case WM_PAINT: {
        RECT r;
        if (GetUpdateRect(hwnd, &r, FALSE)) g->DrawRegion(Rect(r.left, r.top, r.right, r.bottom));
        // A pass that drew nothing leaves the area to the next tick rather
        // than painting it again and again.
        if (GetUpdateRect(hwnd, nullptr, FALSE)) ValidateRect(hwnd, nullptr);
        return 0;
      }
      case WM_CLOSE: g->CloseWindow(); return 0;
      case WM_MOUSEACTIVATE: SetFocus(hwnd); return MA_ACTIVATE;
      case WM_KEYDOWN: {
        const int key = KeyCode(wParam);
        if (key >= 0) {
          POINT p;
          GetCursorPos(&p);
          ScreenToClient(hwnd, &p);
          g->OnKeyDown(p.x, p.y, key);
        }
        return 0;
      }
      case WM_TIMER:
        if (wParam == kTimerId) g->Tick();
        return 0;
      // The system's colours for static children.
      case WM_CTLCOLORSTATIC: return 0;
      case WM_COMMAND:
        // The list tells its parent of a pick: that commits, as Enter does.
        if (g->mEntryWindow && reinterpret_cast<HWND>(lParam) == Hwnd(g->mEntryWindow) &&
            HIWORD(wParam) == CBN_SELCHANGE) {
          g->mEntryState = 3;
          return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
      case WM_MOUSEMOVE:
        if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
          if (GetCapture() == hwnd) g->OnMouseDrag(x, y, ModsOf(wParam));
        } else if (g->OnMouseOver(x, y, ModsOf(wParam))) {
          TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, HOVER_DEFAULT};
          TrackMouseEvent(&track);
        }
        return 0;
      case WM_RBUTTONDOWN:
        if (g->mEntryWindow) {
          g->mEntryState = 2;
          if (!g->mEntryParam) g->ApplyPromptText(g->mEntryControl, nullptr, "");
          return 0;
        }
        [[fallthrough]];
      case WM_LBUTTONDOWN:
        if (g->mEntryWindow) g->mEntryState = 3;
        SetCapture(hwnd);
        g->OnMouseDown(x, y, ModsOf(wParam));
        return 0;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
        ReleaseCapture();
        g->OnMouseUp(x, y, ModsOf(wParam));
        return 0;
      case WM_LBUTTONDBLCLK:
        if (g->OnMouseDblClick(x, y, ModsOf(wParam))) SetCapture(hwnd);
        return 0;
      case WM_MOUSEWHEEL: {
        RECT r;
        GetWindowRect(hwnd, &r);
        const int d = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
        g->OnMouseWheel(x - r.left, y - r.top, ModsOf(LOWORD(wParam)), d);
        return 0;
      }
      case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        char path[MAX_PATH + 1] = {};
        DragQueryFileA(drop, 0, path, MAX_PATH);
        POINT p{};
        DragQueryPoint(drop, &p);
        g->OnDrop(p.x, p.y, path);
        DragFinish(drop);
        return 0;
      }
      case WM_MOUSELEAVE: g->OnMouseOut(); return 0;
      default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
  }

  static LRESULT CALLBACK Entry(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND parent = GetParent(hwnd);
    IGraphicsWin* g = parent ? EngineOf(parent) : nullptr;
    if (!g || g->mEntryWindow != hwnd) return DefWindowProcA(hwnd, msg, wParam, lParam);
    const auto previous = reinterpret_cast<WNDPROC>(g->mEntryPreviousProc);
    switch (msg) {
      case WM_SETFOCUS: g->mEntryState = 1; break;
      case WM_KILLFOCUS: g->mEntryState = 0; break;
      case WM_GETDLGCODE: {
        LRESULT code = CallWindowProcA(previous, hwnd, msg, wParam, lParam);
        const auto* m = reinterpret_cast<const MSG*>(lParam);
        if (!g->mEntryParam && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
        return code;
      }
      case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
          char cls[16] = {};
          GetClassNameA(hwnd, cls, sizeof cls);
          if (lstrcmpiA(cls, "EDIT") == 0) SendMessageA(hwnd, EM_SETSEL, static_cast<WPARAM>(-1), 0);
          g->mEntryState = 3;
          return 0;
        }
        g->mEntryState = 1;
        break;
      case WM_COMMAND:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
          g->mEntryState = 3;
          return 0;
        }
        break;
      default: break;
    }
    return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
  }
};

IGraphicsWin::IGraphicsWin(IPlugBase* p, int w, int h, int fps) : IGraphics(p, w, h, fps) {}

IGraphicsWin::~IGraphicsWin() {
  CloseWindow();
  delete[] mCustomColours;
}

int IGraphicsWin::OpenWindowCount() { return gOpenWindows; }

bool IGraphicsWin::BlitToScreen(const Rect& r) {
  HWND hwnd = Hwnd(mMainWindow);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  LICE_IBitmap* bm = GetDrawBitmap();
  if (dc && bm && bm->DeviceContext()) {
    BitBlt(dc, r.L, r.T, r.W(), r.H(), static_cast<HDC>(bm->DeviceContext()), r.L, r.T, SRCCOPY);
  }
  EndPaint(hwnd, &ps);
  return true;
}

void IGraphicsWin::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  const int dw = w - Width(), dh = h - Height();
  IGraphics::Resize(w, h);
  if (drawBitmap) drawBitmap->Resize(w, h);
  HWND hwnd = Hwnd(mMainWindow);
  if (!hwnd) return;
  // The window and up to two child-window parents grow with the editor.
  HWND window = hwnd;
  for (int level = 0; window && level < 3; ++level) {
    RECT r;
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    if (!(style & WS_CHILD) || (exStyle & WS_EX_MDICHILD)) break;
    window = GetParent(window);
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  UpdateWindow(hwnd);
}

void* IGraphicsWin::OpenWindow(void* parent) {
  mParentWindow = parent;
  int x = 0, y = 0, w = Width(), h = Height();
  if (mMainWindow) {
    // A new parent takes the window where and as large as it was.
    RECT r;
    GetWindowRect(Hwnd(mMainWindow), &r);
    POINT corner{r.left, r.top};
    ScreenToClient(Hwnd(parent), &corner);
    x = corner.x;
    y = corner.y;
    w = r.right - r.left;
    h = r.bottom - r.top;
    CloseWindow();
  }
  HINSTANCE module = static_cast<HINSTANCE>(mModule);
  if (gOpenWindows++ == 0) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = IGraphicsWinProcs::Main;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
  }
  gCreatingFrameRate = static_cast<double>(FrameRate());
  HWND hwnd = CreateWindowA(kClassName, "IPlug", WS_CHILD | WS_VISIBLE, x, y, w, h, Hwnd(parent), nullptr, module,
                            this);
  if (!hwnd) {
    if (--gOpenWindows == 0) UnregisterClassA(kClassName, module);
    return nullptr;
  }
  mMainWindow = hwnd;
  MarkBackgroundDirty();
  return hwnd;
}

void IGraphicsWin::CloseWindow() {
  if (!mMainWindow) return;
  if (mParamChangeCountdown != 0 && plug) plug->FlushPendingEdit();
  HWND hwnd = Hwnd(mMainWindow);
  mMainWindow = nullptr;
  // The entry window goes with its parent.
  ForgetEntry();
  DestroyWindow(hwnd);
  if (--gOpenWindows == 0) UnregisterClassA(kClassName, static_cast<HINSTANCE>(mModule));
}

void IGraphicsWin::Tick() {
  if (mEntryWindow && mEntryState != 0) {
    if (mEntryState == 3) {
      char text[kMaxEntryText] = {};
      GetWindowTextA(Hwnd(mEntryWindow), text, static_cast<int>(kMaxEntryText));
      ApplyPromptText(mEntryControl, mEntryParam, text);
      CloseEntry();
    } else if (mEntryState == 2) {
      CloseEntry();
    } else {
      mEntryState = 0;
    }
  }
  Rect dirty;
  if (timerRedraw && CollectDirty(dirty)) PaintNow(dirty);
  if (alwaysRedrawRect.W() > 0) PaintNow(alwaysRedrawRect);
  if (mParamChangeCountdown != 0 && --mParamChangeCountdown == 0 && plug) plug->FlushPendingEdit();
}

void IGraphicsWin::PaintNow(const Rect& r) {
  HWND hwnd = Hwnd(mMainWindow);
  if (!hwnd) return;
  RECT area{r.L, r.T, r.R, r.B};
  InvalidateRect(hwnd, &area, FALSE);
  if (mEntryWindow) {
    RECT entry;
    GetClientRect(Hwnd(mEntryWindow), &entry);
    MapWindowPoints(Hwnd(mEntryWindow), hwnd, reinterpret_cast<POINT*>(&entry), 2);
    ValidateRect(hwnd, &entry);
  }
  UpdateWindow(hwnd);
}

void IGraphicsWin::AdoptEntry(void* entry, IControl* control, IParameter* param, void* font) {
  HWND hwnd = Hwnd(entry);
  SetFocus(hwnd);
  mEntryPreviousProc = reinterpret_cast<void*>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IGraphicsWinProcs::Entry)));
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, kEntryMarker);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  mEntryWindow = entry;
  mEntryFont = font;
  mEntryControl = control;
  mEntryParam = param;
}

void IGraphicsWin::CloseEntry() {
  if (mEntryControl) {
    std::unique_lock<std::recursive_mutex> lock;
    if (plug) lock = std::unique_lock<std::recursive_mutex>(plug->Mutex());
    mEntryControl->MarkDirty(true);
    mEntryControl->redrawPending = true;
  }
  HWND entry = Hwnd(mEntryWindow);
  SetWindowLongPtrA(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mEntryPreviousProc));
  ForgetEntry();
  DestroyWindow(entry);
}

void IGraphicsWin::ForgetEntry() {
  if (mEntryFont) DeleteObject(static_cast<HGDIOBJ>(mEntryFont));
  mEntryFont = nullptr;
  mEntryWindow = nullptr;
  mEntryControl = nullptr;
  mEntryParam = nullptr;
  mEntryPreviousProc = nullptr;
  mEntryState = 0;
}

void IGraphicsWin::PromptTextEntry(IControl* control, IParameter* param, bool compact) {
  if (!control || !param || mEntryWindow || !mMainWindow) return;
  const Rect& r = control->rect;
  const int cx = static_cast<int>((r.L + r.R) * 0.5f);
  const int cy = static_cast<int>((r.T + r.B) * 0.5f);
  char current[IParameter::kTextSize] = {};
  param->FormatDisplay(param->Value(), false, current);
  HINSTANCE module = static_cast<HINSTANCE>(mModule);
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId));
  HWND entry = nullptr;

  const int n = param->DisplayTextCount();
  if (n > 0 && (param->Type() == IParameter::kTypeEnum || param->Type() == IParameter::kTypeBool)) {
    int width = 24;
    for (int i = 0; i < n; ++i) width = std::max(width, 8 * static_cast<int>(std::strlen(param->DisplayTextAt(i))) + 24);
    int x = cx - width / 2, y = cy, h = 36 * (n + 1);
    if (!compact) {
      x = r.L;
      y = static_cast<int>((r.T + r.B) * 0.5f);
      width = r.W();
      h = r.H();
    }
    entry = CreateWindowA("COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, x, y, width, h,
                          Hwnd(mMainWindow), id, module, nullptr);
    if (!entry) return;
    int selected = -1;
    for (int i = 0; i < n; ++i) {
      SendMessageA(entry, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(param->DisplayTextAt(i)));
      if (std::strcmp(param->DisplayTextAt(i), current) == 0) selected = i;
    }
    SendMessageA(entry, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  } else {
    DWORD style = WS_CHILD | WS_VISIBLE | ES_MULTILINE;
    int x = r.L, y = r.T, w = r.W(), h = r.H();
    if (compact) {
      char longest[IParameter::kTextSize] = {};
      param->FormatDisplay(1.0, true, longest);
      w = std::max(32, 7 * static_cast<int>(std::strlen(longest)) + 6);
      h = 16;
      x = cx - w / 2;
      y = cy - 8;
      style |= ES_CENTER;
    }
    entry = CreateWindowA("EDIT", current, style, x, y, w, h, Hwnd(mMainWindow), id, module, nullptr);
    if (!entry) return;
    SendMessageA(entry, EM_SETSEL, 0, -1);
  }
  HFONT font = CreateFontA(14, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
  AdoptEntry(entry, control, param, font);
}

void IGraphicsWin::EditControlText(IControl* control) {
  if (!control || mEntryWindow || !mMainWindow) return;
  // Text controls here are read-only lines: no editing, no hidden text.
  auto* text = dynamic_cast<ITextControl*>(control);
  const TextStyle style = text ? text->GetTextStyle() : TextStyle();
  std::string current;
  if (text) {
    std::unique_lock<std::recursive_mutex> lock;
    if (plug) lock = std::unique_lock<std::recursive_mutex>(plug->Mutex());
    current = text->GetText();
  }
  DWORD align = style.align == TextStyle::kAlignLeft ? ES_LEFT : style.align == TextStyle::kAlignRight ? ES_RIGHT
                                                                                                        : ES_CENTER;
  const Rect& r = control->rect;
  HWND entry = CreateWindowA("EDIT", current.c_str(), WS_CHILD | WS_VISIBLE | align | ES_READONLY | ES_MULTILINE,
                             r.L, r.T, r.W(), r.H(), Hwnd(mMainWindow),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId)), static_cast<HINSTANCE>(mModule),
                             nullptr);
  if (!entry) return;
  SendMessageA(entry, EM_SETSEL, 0, -1);
  HFONT font = CreateFontA(style.size, 0, 0, 0, style.style == TextStyle::kStyleBold ? FW_BOLD : FW_DONTCARE,
                           style.style == TextStyle::kStyleItalic, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, style.font);
  AdoptEntry(entry, control, nullptr, font);
}

int IGraphicsWin::ProcessMouseWheel(float delta) {
  POINT p;
  GetCursorPos(&p);
  HWND hwnd = Hwnd(mMainWindow);
  if (!hwnd || WindowFromPoint(p) != hwnd) return 0;
  RECT r;
  GetWindowRect(hwnd, &r);
  const MouseMods mods(false, false, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                       GetKeyState(VK_MENU) < 0);
  OnMouseWheel(p.x - r.left, p.y - r.top, mods, static_cast<int>(delta));
  return 1;
}

void IGraphicsWin::HostPath(std::string& path) { FolderOf(nullptr, path); }

void IGraphicsWin::PluginPath(std::string& path) { FolderOf(static_cast<HMODULE>(mModule), path); }

void IGraphicsWin::PromptForFile(std::string& file, int action, const char* folder, const char* extensions) {
  if (!mMainWindow) {
    file.clear();
    return;
  }
  char name[256] = {};
  std::strncpy(name, file.c_str(), 255);
  std::string initial = folder && folder[0] ? folder : "";
  if (initial.empty()) HostPath(initial);

  // "wav aif" becomes "*.wav;*.aif", both the filter's description and its
  // pattern; the first extension is the default one.
  std::string pattern, firstExt;
  for (const char* p = extensions ? extensions : ""; *p;) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p) {
      if (firstExt.empty()) firstExt.assign(p, end);
      if (!pattern.empty()) pattern += ';';
      pattern += "*." + std::string(p, end);
    }
    p = end;
  }
  std::string filter;
  if (!pattern.empty()) filter = pattern + '\0' + pattern + '\0' + '\0';

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Hwnd(mMainWindow);
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = name;
  ofn.nMaxFile = sizeof name;
  ofn.lpstrInitialDir = initial.c_str();
  ofn.lpstrTitle = "Select audio sample";
  ofn.lpstrDefExt = firstExt.empty() ? nullptr : firstExt.c_str();
  BOOL chosen;
  if (action == 1) {
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameA(&ofn);
  } else {
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameA(&ofn);
  }
  file = chosen ? name : "";
}

bool IGraphicsWin::PromptForColour(Colour* colour, const char* prompt) {
  if (!mMainWindow || !colour) return false;
  if (!mCustomColours) mCustomColours = new unsigned long[16]();
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = Hwnd(mMainWindow);
  cc.rgbResult = RGB(colour->R & 0xff, colour->G & 0xff, colour->B & 0xff);
  cc.lpCustColors = mCustomColours;
  cc.lCustData = reinterpret_cast<LPARAM>(prompt);
  cc.lpfnHook = ColourDialogHook;
  cc.Flags = CC_FULLOPEN | CC_RGBINIT | CC_ANYCOLOR | CC_SOLIDCOLOR | CC_ENABLEHOOK;
  if (!ChooseColorA(&cc)) return false;
  colour->R = GetRValue(cc.rgbResult);
  colour->G = GetGValue(cc.rgbResult);
  colour->B = GetBValue(cc.rgbResult);
  return true;
}

bool IGraphicsWin::OpenWebPage(const char* url, const char* title, const char* confirmText,
                               const char* failureText) {
  if (confirmText && MessageBoxA(Hwnd(mMainWindow), confirmText, title, MB_YESNO) != IDYES) return false;
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(Hwnd(mMainWindow), "open", url, nullptr, nullptr,
                                                              SW_SHOWNORMAL));
  if (result > 32) return true;
  if (failureText) MessageBoxA(Hwnd(mMainWindow), failureText, title, MB_OK);
  return false;
}

LICE_IBitmap* IGraphicsWin::LoadPlatformBitmap(int id, const char*) {
  HMODULE module = static_cast<HMODULE>(mModule);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id & 0xffff), "PNG");
  if (!found) return nullptr;
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size <= 7) return nullptr;
  return LICE_DecodePNG(bytes, size);
}
