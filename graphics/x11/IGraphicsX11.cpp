#include "graphics/x11/IGraphicsX11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XShm.h>
#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/ITextControl.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "graphics/raster/LiceRaster.h"
#include "graphics/raster/LiceText.h"

extern char** environ;

namespace {

// A second press of the left button this soon and this near the first is a
// double click.
constexpr long kDoubleClickMs = 500;
constexpr int kDoubleClickDistance = 4;
// Rows of the drop-down list.
constexpr int kListRowHeight = 18;
constexpr size_t kMaxEntryText = 999;

constexpr LICE_pixel kEntryBackground = LICE_ARGB(255, 255, 255, 255);
constexpr LICE_pixel kEntryText = LICE_ARGB(255, 0, 0, 0);
constexpr LICE_pixel kEntryBorder = LICE_ARGB(255, 100, 100, 100);
constexpr LICE_pixel kSelection = LICE_ARGB(255, 51, 153, 255);
constexpr LICE_pixel kSelectedText = LICE_ARGB(255, 255, 255, 255);

// ---- Errors on the editors' own connections ----
// Xlib reports errors to one process-wide handler. While an editor is open,
// errors on the editors' connections (a host that destroyed its window
// before closing the editor, a bad window id) are noted and otherwise
// ignored; errors on anybody else's connection go to the handler that was
// installed before.
std::mutex gErrorMutex;
std::vector<std::pair<Display*, int>> gDisplays;  // connection, errors seen
XErrorHandler gPreviousHandler = nullptr;
int gOpenWindows = 0;  // user-interface thread

int OnXError(Display* display, XErrorEvent* error) {
  {
    std::lock_guard<std::mutex> lock(gErrorMutex);
    for (auto& d : gDisplays) {
      if (d.first == display) {
        ++d.second;
        return 0;
      }
    }
  }
  return gPreviousHandler ? gPreviousHandler(display, error) : 0;
}

void WatchErrors(Display* display) {
  std::lock_guard<std::mutex> lock(gErrorMutex);
  if (gDisplays.empty()) gPreviousHandler = XSetErrorHandler(OnXError);
  gDisplays.emplace_back(display, 0);
}

void UnwatchErrors(Display* display) {
  std::lock_guard<std::mutex> lock(gErrorMutex);
  gDisplays.erase(std::remove_if(gDisplays.begin(), gDisplays.end(),
                                 [display](const auto& d) { return d.first == display; }),
                  gDisplays.end());
  if (gDisplays.empty()) {
    // Put the previous handler back unless somebody installed theirs over ours.
    XErrorHandler current = XSetErrorHandler(gPreviousHandler);
    if (current != OnXError) XSetErrorHandler(current);
    gPreviousHandler = nullptr;
  }
}

// Errors seen on display since the last call; waits for the server to have
// handled every request sent so far.
int TakeErrors(Display* display) {
  XSync(display, False);
  std::lock_guard<std::mutex> lock(gErrorMutex);
  for (auto& d : gDisplays) {
    if (d.first == display) {
      const int n = d.second;
      d.second = 0;
      return n;
    }
  }
  return 0;
}

MouseMods ModsOf(unsigned int state) {
  return MouseMods((state & Button1Mask) != 0, (state & Button3Mask) != 0, (state & ShiftMask) != 0,
                   (state & ControlMask) != 0, (state & Mod1Mask) != 0);
}

// Space, arrows, digits and letters to the engine's key codes; -1 for any
// other key.
int EngineKeyCode(KeySym key) {
  switch (key) {
    case XK_space: return 0;
    case XK_Up: return 1;
    case XK_Down: return 2;
    case XK_Left: return 3;
    case XK_Right: return 4;
    default: break;
  }
  if (key >= XK_0 && key <= XK_9) return 6 + static_cast<int>(key - XK_0);
  if (key >= XK_A && key <= XK_Z) return 16 + static_cast<int>(key - XK_A);
  if (key >= XK_a && key <= XK_z) return 16 + static_cast<int>(key - XK_a);
  return -1;
}

// Everything up to and including the last slash of file; "" when there is
// none or it ends the name.
void FolderOf(const char* file, std::string& out) {
  out.clear();
  if (!file) return;
  const char* last = std::strrchr(file, '/');
  if (last && last[1] != '\0') out.assign(file, static_cast<size_t>(last - file + 1));
}

// Once an editor has shown, the module stays loaded until the process ends:
// the font configuration and the X error handling it set up are
// process-wide, and a host that unloads the module would leave them
// pointing into code and data that are gone.
void KeepModuleLoaded() {
  static bool kept = false;
  if (kept) return;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&KeepModuleLoaded), &info) && info.dli_fname) {
    kept = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
  }
}

// Holds the pointer for the editor until the button is released.
template <class Native>
void Capture(Native& x, Time time) {
  x.grabbed = XGrabPointer(x.display, x.window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                           GrabModeAsync, GrabModeAsync, None, None, time) == GrabSuccess;
}

Rect Clip(const Rect& r, int w, int h) {
  return Rect(std::max(r.L, 0), std::max(r.T, 0), std::min(r.R, w), std::min(r.B, h));
}

}  // namespace

// The connection and what belongs to it.
struct IGraphicsX11::Native {
  Display* display = nullptr;
  Window parent = 0;
  Window window = 0;
  GC gc = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  // The draw bitmap's pixels go out as they are when the visual is 24 or 32
  // bit true colour with red, green and blue in the bitmap's byte places.
  bool directPixels = false;
  // The shared-memory image, the editor's size, when the server offers it.
  XShmSegmentInfo shm{};
  XImage* shmImage = nullptr;
  // Capture and clicks.
  bool grabbed = false;
  Time lastLeftPress = 0;
  int lastLeftX = -100, lastLeftY = -100;
  bool lastWasDoubleClick = false;
  bool leaveWanted = false;
  // Exposed area waiting for the last of a series of expose events.
  Rect exposed;
  bool anyExposed = false;
  // xdg-open processes not yet reaped, and the text to show if one fails.
  std::vector<pid_t> browsers;
  std::string browserFailure;
};

// The open text box or drop-down list.
struct IGraphicsX11::Entry {
  Window window = 0;
  int x = 0, y = 0, w = 0, h = 0;
  bool list = false;
  // Text box: the text, the caret (a byte index), whether all of it is
  // selected, centred or right-aligned drawing.
  std::string text;
  size_t caret = 0;
  bool allSelected = true;
  int align = TextStyle::kAlignLeft;
  bool readOnly = false;
  // List: the choices, the chosen one (-1 none) and the row under the pointer.
  std::vector<std::string> items;
  int selected = -1;
  int hover = -1;
  bool focused = false;
  TextStyle style{"Arial", 14, Colour(255, 0, 0, 0), 0, TextStyle::kAlignLeft, 0, 0};
  LICE_MemBitmap pixels;
  IControl* control = nullptr;
  IParameter* param = nullptr;
  int state = 0;

  // What a commit applies.
  std::string Value() const {
    if (!list) return text.substr(0, kMaxEntryText);
    return selected >= 0 && selected < static_cast<int>(items.size()) ? items[static_cast<size_t>(selected)] : "";
  }
};

namespace {

// Puts rectangle r of bm at the same place in window: the bitmap's rows as
// they are when the visual lays pixels out as the bitmap does (Xlib swaps
// bytes for a big-endian server), otherwise pixel by pixel in the visual's
// own layout.
void PutPixels(const IGraphicsX11::Native& x, Window window, LICE_IBitmap* bm, const Rect& r) {
  Display* display = x.display;
  if (x.directPixels) {
    XImage* image = XCreateImage(display, x.visual, static_cast<unsigned>(x.depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(LICE_Row(bm, r.T)), static_cast<unsigned>(bm->Width()),
                                 static_cast<unsigned>(bm->Flipped() ? 1 : r.H()), 32, bm->RowSpan() * 4);
    if (!image) return;
    image->byte_order = LSBFirst;
    if (bm->Flipped()) {
      for (int y = r.T; y < r.B; ++y) {
        image->data = reinterpret_cast<char*>(LICE_Row(bm, y));
        XPutImage(display, window, x.gc, image, r.L, 0, r.L, y, static_cast<unsigned>(r.W()), 1);
      }
    } else {
      XPutImage(display, window, x.gc, image, r.L, 0, r.L, r.T, static_cast<unsigned>(r.W()),
                static_cast<unsigned>(r.H()));
    }
    image->data = nullptr;
    XDestroyImage(image);
    return;
  }
  XImage* image = XCreateImage(display, x.visual, static_cast<unsigned>(x.depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(r.W()), static_cast<unsigned>(r.H()), 32, 0);
  if (!image) return;
  image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(r.H())));
  if (!image->data) {
    XDestroyImage(image);
    return;
  }
  const bool trueColour = x.visual->c_class == TrueColor || x.visual->c_class == DirectColor;
  const Colormap colormap = DefaultColormap(display, DefaultScreen(display));
  auto place = [](unsigned long v, unsigned long mask) {
    if (!mask) return 0ul;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    return ((v * (mask >> shift) + 127) / 255) << shift;
  };
  for (int y = 0; y < r.H(); ++y) {
    const LICE_pixel* row = LICE_Row(bm, r.T + y) + r.L;
    for (int i = 0; i < r.W(); ++i) {
      const unsigned long red = static_cast<unsigned long>(LICE_R(row[i]));
      const unsigned long green = static_cast<unsigned long>(LICE_G(row[i]));
      const unsigned long blue = static_cast<unsigned long>(LICE_B(row[i]));
      unsigned long pixel;
      if (trueColour) {
        pixel = place(red, x.visual->red_mask) | place(green, x.visual->green_mask) | place(blue, x.visual->blue_mask);
      } else {
        XColor colour{};
        colour.red = static_cast<unsigned short>(red * 257);
        colour.green = static_cast<unsigned short>(green * 257);
        colour.blue = static_cast<unsigned short>(blue * 257);
        colour.flags = DoRed | DoGreen | DoBlue;
        XAllocColor(display, colormap, &colour);
        pixel = colour.pixel;
      }
      XPutPixel(image, i, y, pixel);
    }
  }
  XPutImage(display, window, x.gc, image, 0, 0, r.L, r.T, static_cast<unsigned>(r.W()), static_cast<unsigned>(r.H()));
  XDestroyImage(image);  // frees the pixels too
}

}  // namespace

IGraphicsX11::IGraphicsX11(IPlugBase* p, int w, int h, int fps) : IGraphics(p, w, h, fps) {}

IGraphicsX11::~IGraphicsX11() { CloseWindow(); }

int IGraphicsX11::OpenWindowCount() { return gOpenWindows; }

bool IGraphicsX11::EntryOpen() const { return mEntry != nullptr; }

int IGraphicsX11::EntryState() const { return mEntry ? mEntry->state : 0; }

void* IGraphicsX11::GetWindow() {
  return mX ? reinterpret_cast<void*>(static_cast<uintptr_t>(mX->window)) : nullptr;
}

int IGraphicsX11::EventDescriptor() { return mX ? ConnectionNumber(mX->display) : -1; }

// ---- Opening and closing ----

void* IGraphicsX11::OpenWindow(void* parent) {
  const Window parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
  if (mX) CloseWindow();
  if (!parentWindow) return nullptr;
  KeepModuleLoaded();
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  WatchErrors(display);

  auto x = std::make_unique<Native>();
  x->display = display;
  x->parent = parentWindow;
  const int screen = DefaultScreen(display);
  x->visual = DefaultVisual(display, screen);
  x->depth = DefaultDepth(display, screen);
  x->directPixels = (x->depth == 24 || x->depth == 32) && x->visual->red_mask == 0xff0000 &&
                    x->visual->green_mask == 0xff00 && x->visual->blue_mask == 0xff;

  XSetWindowAttributes attrs{};
  attrs.background_pixmap = None;  // the editor paints every pixel itself
  attrs.border_pixel = 0;
  attrs.colormap = DefaultColormap(display, screen);
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                     LeaveWindowMask | KeyPressMask | FocusChangeMask | StructureNotifyMask;
  x->window = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(Width()),
                            static_cast<unsigned>(Height()), 0, x->depth, InputOutput, x->visual,
                            CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
  if (x->window) {
    XStoreName(display, x->window, "IPlug");
    x->gc = XCreateGC(display, x->window, 0, nullptr);
    XMapWindow(display, x->window);
  }
  // A window id that names no window shows up here as an error.
  if (!x->window || TakeErrors(display) != 0) {
    if (x->gc) XFreeGC(display, x->gc);
    if (x->window) XDestroyWindow(display, x->window);
    // Whatever these fail with arrives while the errors are still ours.
    XSync(display, False);
    UnwatchErrors(display);
    XCloseDisplay(display);
    return nullptr;
  }

  // Shared memory where the server offers it and can attach our segment
  // (a server on another machine cannot).
  if (x->directPixels && XShmQueryExtension(display)) {
    XImage* image = XShmCreateImage(display, x->visual, static_cast<unsigned>(x->depth), ZPixmap, nullptr,
                                    &x->shm, static_cast<unsigned>(Width()), static_cast<unsigned>(Height()));
    if (image) {
      x->shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * image->height,
                            IPC_CREAT | 0600);
      void* memory = x->shm.shmid >= 0 ? shmat(x->shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (memory != reinterpret_cast<void*>(-1)) {
        x->shm.shmaddr = image->data = static_cast<char*>(memory);
        x->shm.readOnly = False;
        const bool attached = XShmAttach(display, &x->shm) && TakeErrors(display) == 0;
        // Marked for removal now: it goes when both sides have detached.
        shmctl(x->shm.shmid, IPC_RMID, nullptr);
        if (attached) {
          x->shmImage = image;
        } else {
          shmdt(memory);
        }
      } else if (x->shm.shmid >= 0) {
        shmctl(x->shm.shmid, IPC_RMID, nullptr);
      }
      if (!x->shmImage) {
        image->data = nullptr;
        XDestroyImage(image);
      }
    }
  }
  XFlush(display);

  mX = std::move(x);
  ++gOpenWindows;
  mNextTick = std::chrono::steady_clock::now();
  MarkBackgroundDirty();
  return GetWindow();
}

void IGraphicsX11::CloseWindow() {
  if (!mX) return;
  if (mParamChangeCountdown != 0 && plug) plug->FlushPendingEdit();
  // The entry window goes with its parent.
  mEntry.reset();
  std::unique_ptr<Native> x = std::move(mX);
  Display* display = x->display;
  if (x->grabbed) XUngrabPointer(display, CurrentTime);
  if (x->shmImage) {
    XShmDetach(display, &x->shm);
    XSync(display, False);
    shmdt(x->shm.shmaddr);
    x->shmImage->data = nullptr;
    XDestroyImage(x->shmImage);
  }
  XFreeGC(display, x->gc);
  // Already gone when the host destroyed its window first: the error is
  // ignored.
  XDestroyWindow(display, x->window);
  XSync(display, False);
  UnwatchErrors(display);
  XCloseDisplay(display);
  // Browsers that have finished are reaped; the others are left to run.
  for (pid_t pid : x->browsers) waitpid(pid, nullptr, WNOHANG);
  --gOpenWindows;
}

// ---- Driving ----

void IGraphicsX11::HandleEvents() {
  if (!mX) return;
  while (mX && XPending(mX->display) > 0) {
    XEvent event;
    XNextEvent(mX->display, &event);
    HandleEvent(&event);
  }
}

void IGraphicsX11::TimerTick() {
  HandleEvents();
  Tick();
}

void IGraphicsX11::Idle() {
  HandleEvents();
  if (!mX) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < mNextTick) return;
  const auto period = std::chrono::milliseconds(TimerPeriodMs());
  mNextTick += period;
  // A host that idles rarely gets one tick, not a burst to catch up.
  if (mNextTick <= now) mNextTick = now + period;
  Tick();
}

int IGraphicsX11::TimerPeriodMs() const { return std::max(1, 1000 / FrameRate()); }

void IGraphicsX11::Tick() {
  // Without a window only a wheel gesture's countdown runs.
  if (mX) {
    ApplyPendingEntry();
    RedrawForTimer();
  }
  if (mParamChangeCountdown != 0 && --mParamChangeCountdown == 0 && plug) plug->FlushPendingEdit();
  if (mX) {
    ReapBrowsers();
    XFlush(mX->display);
  }
}

void IGraphicsX11::ApplyPendingEntry() {
  if (!mEntry || mEntry->state == 0) return;
  if (mEntry->state == 3) {
    const std::string text = mEntry->Value();
    ApplyPromptText(mEntry->control, mEntry->param, text.c_str());
    CloseEntry();
  } else if (mEntry->state == 2) {
    CloseEntry();
  } else {
    mEntry->state = 0;
  }
}

void IGraphicsX11::ReapBrowsers() {
  // A browser that could not show the page says so through its exit status.
  for (size_t i = 0; i < mX->browsers.size();) {
    int status = 0;
    const pid_t done = waitpid(mX->browsers[i], &status, WNOHANG);
    if (done == 0) {
      ++i;
      continue;
    }
    if (done == mX->browsers[i] && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      ShowStatus(mX->browserFailure.c_str());
    }
    mX->browsers.erase(mX->browsers.begin() + static_cast<ptrdiff_t>(i));
  }
}

bool IGraphicsX11::BlitToScreen(const Rect& area) {
  LICE_IBitmap* bm = GetDrawBitmap();
  if (!mX || !bm) return true;
  const Rect r = Clip(area, std::min(bm->Width(), Width()), std::min(bm->Height(), Height()));
  if (r.W() <= 0 || r.H() <= 0) return true;
  Display* display = mX->display;
  if (mX->shmImage && r.R <= mX->shmImage->width && r.B <= mX->shmImage->height) {
    // The previous put has been read (each ends in a sync), so the segment
    // is ours to write.
    auto* out = reinterpret_cast<uint32_t*>(mX->shmImage->data);
    const int outSpan = mX->shmImage->bytes_per_line / 4;
    for (int y = r.T; y < r.B; ++y) {
      std::memcpy(out + static_cast<ptrdiff_t>(y) * outSpan + r.L, LICE_Row(bm, y) + r.L,
                  static_cast<size_t>(r.W()) * 4);
    }
    XShmPutImage(display, mX->window, mX->gc, mX->shmImage, r.L, r.T, r.L, r.T, static_cast<unsigned>(r.W()),
                 static_cast<unsigned>(r.H()), False);
    XSync(display, False);
    return true;
  }
  PutPixels(*mX, mX->window, bm, r);
  return true;
}

void IGraphicsX11::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  IGraphics::Resize(w, h);
  if (drawBitmap) drawBitmap->Resize(w, h);
  if (!mX) return;
  XResizeWindow(mX->display, mX->window, static_cast<unsigned>(std::max(w, 1)), static_cast<unsigned>(std::max(h, 1)));
  // The shared image keeps the old size; a larger editor goes out through
  // plain images.
  MarkBackgroundDirty();
  XFlush(mX->display);
}

// ---- Events ----

void IGraphicsX11::HandleEvent(void* e) {
  XEvent& event = *static_cast<XEvent*>(e);
  if (mEntry && event.xany.window == mEntry->window) {
    HandleEntryEvent(e);
    return;
  }
  if (!mX || event.xany.window != mX->window) return;
  Native& x = *mX;

  switch (event.type) {
    case Expose: {
      const XExposeEvent& ex = event.xexpose;
      const Rect r(ex.x, ex.y, ex.x + ex.width, ex.y + ex.height);
      x.exposed = x.anyExposed ? x.exposed.Union(r) : r;
      x.anyExposed = true;
      if (ex.count == 0) {
        x.anyExposed = false;
        DrawRegion(x.exposed);
      }
      return;
    }
    case MapNotify:
      // Keys go to the editor once it shows.
      XSetInputFocus(x.display, x.window, RevertToParent, CurrentTime);
      return;
    case KeyPress: {
      const int key = EngineKeyCode(XLookupKeysym(&event.xkey, 0));
      if (key >= 0) OnKeyDown(event.xkey.x, event.xkey.y, key);
      return;
    }
    case MotionNotify: {
      const XMotionEvent& m = event.xmotion;
      const MouseMods mods = ModsOf(m.state);
      if (m.state & (Button1Mask | Button3Mask)) {
        if (x.grabbed) OnMouseDrag(m.x, m.y, mods);
      } else if (OnMouseOver(m.x, m.y, mods)) {
        x.leaveWanted = true;
      }
      return;
    }
    case LeaveNotify:
      // Not while a button holds the pointer: the capture ends with the
      // release.
      if (x.leaveWanted && event.xcrossing.mode == NotifyNormal && !x.grabbed) {
        x.leaveWanted = false;
        OnMouseOut();
      }
      return;
    case ButtonPress: {
      const XButtonEvent& b = event.xbutton;
      MouseMods mods = ModsOf(b.state);
      if (b.button == Button4 || b.button == Button5) {
        OnMouseWheel(b.x, b.y, mods, b.button == Button4 ? 1 : -1);
        return;
      }
      if (b.button != Button1 && b.button != Button3) return;
      // The pressed button counts as held, as the press reports the state
      // before it.
      if (b.button == Button1) mods.L = true;
      else mods.R = true;
      if (mEntry && b.button == Button3) {
        // A right click closes the entry without applying it; a text
        // control's box that was not being edited hears an empty text.
        const bool editing = mEntry->state == 1;
        mEntry->state = 2;
        if (!editing && !mEntry->param) ApplyPromptText(mEntry->control, nullptr, "");
        return;
      }
      // A click in the editor commits an open entry at the next tick; the
      // entry keeps the keyboard until then (its losing the focus would
      // take the commit back), and the editor gets it when the entry closes.
      if (mEntry) mEntry->state = 3;
      else XSetInputFocus(x.display, x.window, RevertToParent, CurrentTime);
      if (b.button == Button1) {
        const bool isDouble = !x.lastWasDoubleClick && b.time - x.lastLeftPress <= kDoubleClickMs &&
                              std::abs(b.x - x.lastLeftX) <= kDoubleClickDistance &&
                              std::abs(b.y - x.lastLeftY) <= kDoubleClickDistance;
        x.lastLeftPress = b.time;
        x.lastLeftX = b.x;
        x.lastLeftY = b.y;
        x.lastWasDoubleClick = isDouble;
        if (isDouble) {
          if (OnMouseDblClick(b.x, b.y, mods)) {
            Capture(x, b.time);
          }
          return;
        }
      }
      Capture(x, b.time);
      OnMouseDown(b.x, b.y, mods);
      return;
    }
    case ButtonRelease: {
      const XButtonEvent& b = event.xbutton;
      if (b.button != Button1 && b.button != Button3) return;
      MouseMods mods = ModsOf(b.state);
      // The released button no longer counts as held.
      if (b.button == Button1) mods.L = false;
      else mods.R = false;
      if (x.grabbed) {
        XUngrabPointer(x.display, b.time);
        x.grabbed = false;
      }
      OnMouseUp(b.x, b.y, mods);
      return;
    }
    default: return;
  }
}

int IGraphicsX11::ProcessMouseWheel(float delta) {
  if (!mX) return 0;
  Window root, child;
  int rootX, rootY, x, y;
  unsigned int mask;
  if (!XQueryPointer(mX->display, mX->window, &root, &child, &rootX, &rootY, &x, &y, &mask)) return 0;
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  const MouseMods mods(false, false, (mask & ShiftMask) != 0, (mask & ControlMask) != 0, (mask & Mod1Mask) != 0);
  OnMouseWheel(x, y, mods, static_cast<int>(delta));
  return 1;
}

// ---- The text box and the drop-down list ----

void IGraphicsX11::PromptTextEntry(IControl* control, IParameter* param, bool compact) {
  if (!control || !param || mEntry || !mX) return;
  const Rect& r = control->rect;
  const int cx = static_cast<int>((r.L + r.R) * 0.5f);
  const int cy = static_cast<int>((r.T + r.B) * 0.5f);
  char current[IParameter::kTextSize] = {};
  param->FormatDisplay(param->Value(), false, current);
  auto entry = std::make_unique<Entry>();

  const int n = param->DisplayTextCount();
  if (n > 0 && (param->Type() == IParameter::kTypeEnum || param->Type() == IParameter::kTypeBool)) {
    // The list shows open at once: every choice a row, the current one chosen.
    entry->list = true;
    int width = 24;
    for (int i = 0; i < n; ++i) {
      entry->items.emplace_back(param->DisplayTextAt(i));
      width = std::max(width, 8 * static_cast<int>(std::strlen(param->DisplayTextAt(i))) + 24);
      if (std::strcmp(param->DisplayTextAt(i), current) == 0) entry->selected = i;
    }
    entry->w = compact ? width : r.W();
    entry->h = kListRowHeight * n + 2;
    entry->x = compact ? cx - width / 2 : r.L;
    entry->y = cy;
  } else {
    entry->text = current;
    entry->x = r.L;
    entry->y = r.T;
    entry->w = r.W();
    entry->h = r.H();
    if (compact) {
      char longest[IParameter::kTextSize] = {};
      param->FormatDisplay(1.0, true, longest);
      entry->w = std::max(32, 7 * static_cast<int>(std::strlen(longest)) + 6);
      entry->h = 16;
      entry->x = cx - entry->w / 2;
      entry->y = cy - 8;
      entry->align = TextStyle::kAlignCentre;
    }
  }
  OpenEntry(std::move(entry), control, param);
}

void IGraphicsX11::EditControlText(IControl* control) {
  if (!control || mEntry || !mX) return;
  auto entry = std::make_unique<Entry>();
  // Text controls here are read-only lines.
  if (auto* text = dynamic_cast<ITextControl*>(control)) {
    const TextStyle style = text->GetTextStyle();
    std::unique_lock<std::recursive_mutex> lock;
    if (plug) lock = std::unique_lock<std::recursive_mutex>(plug->Mutex());
    entry->text = text->GetText();
    entry->style.SetFont(style.font);
    entry->style.size = style.size;
    entry->style.style = style.style == TextStyle::kStyleBold     ? TextStyle::kStyleBold
                         : style.style == TextStyle::kStyleItalic ? TextStyle::kStyleItalic
                                                                  : 0;
    entry->align = style.align == TextStyle::kAlignLeft    ? TextStyle::kAlignLeft
                   : style.align == TextStyle::kAlignRight ? TextStyle::kAlignRight
                                                           : TextStyle::kAlignCentre;
  }
  entry->readOnly = true;
  entry->x = control->rect.L;
  entry->y = control->rect.T;
  entry->w = control->rect.W();
  entry->h = control->rect.H();
  OpenEntry(std::move(entry), control, nullptr);
}

void IGraphicsX11::OpenEntry(std::unique_ptr<Entry> entry, IControl* control, IParameter* param) {
  Native& x = *mX;
  // Inside the editor, moved in from its edges.
  entry->w = std::clamp(entry->w, 8, std::max(8, Width()));
  entry->h = std::clamp(entry->h, 8, std::max(8, Height()));
  entry->x = std::clamp(entry->x, 0, std::max(0, Width() - entry->w));
  entry->y = std::clamp(entry->y, 0, std::max(0, Height() - entry->h));
  entry->caret = entry->text.size();
  entry->control = control;
  entry->param = param;
  if (!entry->pixels.Resize(entry->w, entry->h)) {
    if (entry->pixels.Width() != entry->w) return;
  }

  XSetWindowAttributes attrs{};
  attrs.background_pixmap = None;
  attrs.border_pixel = 0;
  attrs.colormap = DefaultColormap(x.display, DefaultScreen(x.display));
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                     KeyPressMask | FocusChangeMask;
  entry->window = XCreateWindow(x.display, x.window, entry->x, entry->y, static_cast<unsigned>(entry->w),
                                static_cast<unsigned>(entry->h), 0, x.depth, InputOutput, x.visual,
                                CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
  if (!entry->window) return;
  XMapRaised(x.display, entry->window);
  XSetInputFocus(x.display, entry->window, RevertToParent, CurrentTime);
  mEntry = std::move(entry);
  DrawEntry();
  XFlush(x.display);
}

void IGraphicsX11::CloseEntry() {
  if (!mEntry) return;
  if (mEntry->control) {
    std::unique_lock<std::recursive_mutex> lock;
    if (plug) lock = std::unique_lock<std::recursive_mutex>(plug->Mutex());
    mEntry->control->MarkDirty(true);
    mEntry->control->redrawPending = true;
  }
  const Window window = mEntry->window;
  mEntry.reset();
  if (mX) {
    XDestroyWindow(mX->display, window);
    XSetInputFocus(mX->display, mX->window, RevertToParent, CurrentTime);
  }
}

void IGraphicsX11::DrawEntry() {
  if (!mEntry || !mX) return;
  Entry& e = *mEntry;
  LICE_IBitmap* bm = &e.pixels;
  LICE_FillRect(bm, 0, 0, e.w, e.h, kEntryBackground, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_CachedFont* font = CacheFont(e.style);
  if (e.list) {
    for (size_t i = 0; i < e.items.size(); ++i) {
      const int top = 1 + static_cast<int>(i) * kListRowHeight;
      const bool lit = static_cast<int>(i) == (e.hover >= 0 ? e.hover : e.selected);
      if (lit) LICE_FillRect(bm, 1, top, e.w - 2, kListRowHeight, kSelection, 1.0f, LICE_BLIT_MODE_COPY);
      if (font) {
        font->SetTextColour(lit ? kSelectedText : kEntryText);
        font->DrawText(bm, e.items[i].c_str(), -1, Rect(4, top + 1, e.w - 2, top + kListRowHeight), 0);
      }
    }
    LICE_Line(bm, 0, 0, e.w - 1, 0, kEntryBorder, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(bm, 0, e.h - 1, e.w - 1, e.h - 1, kEntryBorder, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(bm, 0, 0, 0, e.h - 1, kEntryBorder, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(bm, e.w - 1, 0, e.w - 1, e.h - 1, kEntryBorder, 1.0f, LICE_BLIT_MODE_COPY, false);
  } else if (font) {
    // One line, vertically centred; the selection is all or nothing.
    const int lineHeight = e.style.size;
    const int top = std::max(0, (e.h - lineHeight) / 2);
    int flags = 0;
    if (e.align == TextStyle::kAlignCentre) flags |= LICE_TEXT_CENTRE;
    else if (e.align == TextStyle::kAlignRight) flags |= LICE_TEXT_RIGHT;
    const Rect line(2, top, e.w - 2, top + lineHeight);
    // Where the text starts and how wide its parts are, measured by drawing
    // into a scratch bitmap would cost; the glyph advances are known to the
    // font only, so the text is drawn and its extent found from the pixels.
    LICE_MemBitmap probe(e.w, e.h);
    font->SetTextColour(kEntryText);
    const std::string before = e.text.substr(0, e.caret);
    int textLeft = INT_MAX, textRight = -1, caretX = -1;
    auto extent = [&](const std::string& s, int& left, int& right) {
      left = INT_MAX;
      right = -1;
      if (s.empty()) return;
      LICE_FillRect(&probe, 0, 0, e.w, e.h, 0, 1.0f, LICE_BLIT_MODE_COPY);
      font->DrawText(&probe, s.c_str(), -1, line, flags | LICE_TEXT_NOCLIP);
      for (int y = 0; y < e.h; ++y) {
        const LICE_pixel* row = LICE_Row(&probe, y);
        for (int xx = 0; xx < e.w; ++xx) {
          if (LICE_A(row[xx]) != 0) {
            left = std::min(left, xx);
            right = std::max(right, xx);
          }
        }
      }
    };
    extent(e.text, textLeft, textRight);
    if (e.text.empty()) {
      textLeft = textRight = e.align == TextStyle::kAlignCentre ? e.w / 2
                             : e.align == TextStyle::kAlignRight ? e.w - 3
                                                                 : 2;
    }
    if (e.allSelected && !e.text.empty() && !e.readOnly) {
      LICE_FillRect(bm, textLeft - 1, top, textRight - textLeft + 3, lineHeight, kSelection, 1.0f, LICE_BLIT_MODE_COPY);
      font->SetTextColour(kSelectedText);
    } else {
      font->SetTextColour(kEntryText);
    }
    font->DrawText(bm, e.text.c_str(), -1, line, flags);
    if (e.focused && !e.readOnly && !e.allSelected) {
      if (before.empty()) {
        caretX = e.text.empty() ? textLeft : textLeft - 1;
      } else if (before.size() == e.text.size()) {
        caretX = textRight + 2;
      } else {
        // The caret sits after the left part, laid out where the whole text
        // starts.
        int l = 0, rgt = 0;
        const int wholeLeft = textLeft;
        extent(before, l, rgt);
        caretX = wholeLeft + (rgt - l) + 2;
      }
      LICE_Line(bm, caretX, top, caretX, top + lineHeight - 1, kEntryText, 1.0f, LICE_BLIT_MODE_COPY, false);
    }
  }
  PutPixels(*mX, e.window, bm, Rect(0, 0, e.w, e.h));
  XFlush(mX->display);
}

void IGraphicsX11::HandleEntryEvent(void* e) {
  XEvent& event = *static_cast<XEvent*>(e);
  Entry& entry = *mEntry;
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) DrawEntry();
      return;
    case FocusIn:
      entry.state = 1;
      entry.focused = true;
      DrawEntry();
      return;
    case FocusOut:
      entry.state = 0;
      entry.focused = false;
      DrawEntry();
      return;
    case MotionNotify:
      if (entry.list) {
        const int row = (event.xmotion.y - 1) / kListRowHeight;
        const int hover = event.xmotion.y >= 1 && row < static_cast<int>(entry.items.size()) ? row : -1;
        if (hover != entry.hover) {
          entry.hover = hover;
          DrawEntry();
        }
      }
      return;
    case LeaveNotify:
      if (entry.list && entry.hover != -1) {
        entry.hover = -1;
        DrawEntry();
      }
      return;
    case ButtonPress: {
      const XButtonEvent& b = event.xbutton;
      if (b.button == Button3) {
        // As in the editor: a right click cancels.
        entry.state = 2;
        if (!entry.param) ApplyPromptText(entry.control, nullptr, "");
        return;
      }
      if (b.button != Button1) return;
      if (entry.list) {
        const int row = (b.y - 1) / kListRowHeight;
        if (b.y >= 1 && row < static_cast<int>(entry.items.size())) {
          entry.selected = row;
          entry.state = 3;
          DrawEntry();
        }
        return;
      }
      // A click in the text box puts the caret at its end.
      XSetInputFocus(mX->display, entry.window, RevertToParent, CurrentTime);
      entry.allSelected = false;
      entry.caret = entry.text.size();
      DrawEntry();
      return;
    }
    case KeyPress: {
      char typed[16] = {};
      KeySym key = NoSymbol;
      const int n = XLookupString(&event.xkey, typed, sizeof typed - 1, &key, nullptr);
      if (key == XK_Return || key == XK_KP_Enter) {
        entry.allSelected = false;
        entry.state = 3;
        DrawEntry();
        return;
      }
      entry.state = 1;
      if (entry.list) {
        // Arrows move the choice, which commits as a pick does.
        const int count = static_cast<int>(entry.items.size());
        int next = entry.selected;
        if (key == XK_Up || key == XK_Left) next = std::max(0, entry.selected - 1);
        else if (key == XK_Down || key == XK_Right) next = std::min(count - 1, entry.selected + 1);
        if (next != entry.selected && next >= 0) {
          entry.selected = next;
          entry.state = 3;
          DrawEntry();
        }
        return;
      }
      if (entry.readOnly) return;
      if ((event.xkey.state & ControlMask) && (key == XK_a || key == XK_A)) {
        entry.allSelected = true;
      } else if (key == XK_BackSpace || key == XK_Delete) {
        if (entry.allSelected) {
          entry.text.clear();
          entry.caret = 0;
        } else if (key == XK_BackSpace && entry.caret > 0) {
          entry.text.erase(--entry.caret, 1);
        } else if (key == XK_Delete && entry.caret < entry.text.size()) {
          entry.text.erase(entry.caret, 1);
        }
        entry.allSelected = false;
      } else if (key == XK_Left || key == XK_Home) {
        entry.caret = key == XK_Home || entry.allSelected ? 0 : entry.caret - (entry.caret > 0 ? 1 : 0);
        entry.allSelected = false;
      } else if (key == XK_Right || key == XK_End) {
        entry.caret = key == XK_End || entry.allSelected ? entry.text.size()
                                                         : std::min(entry.text.size(), entry.caret + 1);
        entry.allSelected = false;
      } else if (n > 0 && !(event.xkey.state & ControlMask)) {
        if (entry.allSelected) {
          entry.text.clear();
          entry.caret = 0;
          entry.allSelected = false;
        }
        for (int i = 0; i < n; ++i) {
          const unsigned char c = static_cast<unsigned char>(typed[i]);
          if (c >= 0x20 && c != 0x7f && entry.text.size() < kMaxEntryText) entry.text.insert(entry.caret++, 1, typed[i]);
        }
      }
      DrawEntry();
      return;
    }
    default: return;
  }
}

// ---- Platform services ----

void IGraphicsX11::HostPath(std::string& path) {
  char name[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", name, sizeof name - 1);
  if (n <= 0) {
    path.clear();
    return;
  }
  name[n] = '\0';
  FolderOf(name, path);
}

void IGraphicsX11::PluginPath(std::string& path) {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&IGraphicsX11::OpenWindowCount), &info) || !info.dli_fname) {
    path.clear();
    return;
  }
  char resolved[PATH_MAX] = {};
  FolderOf(realpath(info.dli_fname, resolved) ? resolved : info.dli_fname, path);
}

void IGraphicsX11::PromptForFile(std::string& file, int, const char*, const char*) { file.clear(); }

bool IGraphicsX11::PromptForColour(Colour*, const char*) { return false; }

bool IGraphicsX11::OpenWebPage(const char* url, const char*, const char* confirmText, const char* failureText) {
  if (confirmText || !url) return false;
  if (!mX) {
    if (failureText) ShowStatus(failureText);
    return false;
  }
  char program[] = "xdg-open";
  std::string address = url;
  char* argv[] = {program, address.data(), nullptr};
  pid_t pid = 0;
  posix_spawnattr_t attrs;
  posix_spawnattr_init(&attrs);
  // The child starts with default signal handling whatever the host set.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attrs, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attrs, &none);
  posix_spawnattr_setflags(&attrs, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const int failed = posix_spawnp(&pid, program, nullptr, &attrs, argv, environ);
  posix_spawnattr_destroy(&attrs);
  if (failed) {
    if (failureText) ShowStatus(failureText);
    return false;
  }
  mX->browsers.push_back(pid);
  mX->browserFailure = failureText ? failureText : "";
  return true;
}

void IGraphicsX11::ShowStatus(const char* text) {
  if (plug && text && text[0]) plug->ShowStatusMessage(text);
}

LICE_IBitmap* IGraphicsX11::LoadPlatformBitmap(int id, const char*) { return DecodeEmbeddedImage(id); }
