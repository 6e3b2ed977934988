#include "tools/host/EditorWindow.h"

#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

// The SDK's headers come before Xlib's, whose macros (None, Bool, Status,
// ...) would otherwise rename what they declare.
#include "pluginterfaces/gui/iplugview.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/Vst2Plugin.h"
#include "tools/host/Vst3Plugin.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "graphics/raster/LicePng.h"

namespace quarv::host {

class EditorWindow::Glue {
public:
  virtual ~Glue() = default;
  virtual bool Size(int* w, int* h, std::string* error) = 0;
  virtual bool Attach(unsigned long window, RunLoop& loop, std::string* error) = 0;
  // Closes the editor; returns what it left registered in the loop.
  virtual int Detach(RunLoop& loop) = 0;
  virtual long TimerFirings() const { return 0; }
};

namespace {

using namespace Steinberg;

bool SameId(const TUID a, const TUID b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

// ---- VST 2.4 ----

class Vst2Glue final : public EditorWindow::Glue {
public:
  Vst2Glue(Vst2Plugin& plug, int idleMs) : mPlug(plug), mIdleMs(idleMs) {}

  bool Size(int* w, int* h, std::string* error) override {
    if (!(mPlug.Effect()->flags & effFlagsHasEditor)) {
      *error = "the plug-in has no editor (effFlagsHasEditor is not set)";
      return false;
    }
    ERect* rect = nullptr;
    if (mPlug.Dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect) {
      *error = "the plug-in gives no editor size (effEditGetRect)";
      return false;
    }
    *w = rect->right - rect->left;
    *h = rect->bottom - rect->top;
    return true;
  }

  bool Attach(unsigned long window, RunLoop& loop, std::string* error) override {
    if (mPlug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(window))) == 0) {
      *error = "the plug-in did not open its editor (effEditOpen answered 0)";
      return false;
    }
    mIdle = loop.AddTimer(mIdleMs, [this] { mPlug.Dispatch(effEditIdle); });
    return true;
  }

  int Detach(RunLoop& loop) override {
    loop.Remove(mIdle);
    mPlug.Dispatch(effEditClose);
    return 0;
  }

private:
  Vst2Plugin& mPlug;
  int mIdleMs;
  int mIdle = 0;
};

// ---- VST 3 ----

// The plug frame the view is given: it accepts the view's size and is the
// Linux run loop the view registers its timer and X connection with.
class Frame final : public IPlugFrame, public Linux::IRunLoop {
public:
  explicit Frame(RunLoop& loop) : mLoop(loop) {}
  virtual ~Frame() { UnregisterAll(); }

  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override {
    if (!view || !newSize) return kInvalidArgument;
    return view->onSize(newSize);
  }

  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) override {
    if (!handler || fd < 0) return kInvalidArgument;
    handler->addRef();
    const int id = mLoop.AddWatch(fd, [handler, fd] {
      handler->addRef();
      handler->onFDIsSet(fd);
      handler->release();
    });
    mEvents.insert({handler, id});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override {
    return Forget(mEvents, handler);
  }
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms) override {
    if (!handler) return kInvalidArgument;
    handler->addRef();
    const int period = static_cast<int>(ms > 1000000 ? 1000000 : ms);
    const int id = mLoop.AddTimer(period, [this, handler] {
      ++mTimerFirings;
      handler->addRef();
      handler->onTimer();
      handler->release();
    });
    mTimers.insert({handler, id});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override { return Forget(mTimers, handler); }

  long TimerFirings() const { return mTimerFirings; }

  // What is still registered, then forgotten.
  int UnregisterAll() {
    const int left = static_cast<int>(mEvents.size() + mTimers.size());
    while (!mEvents.empty()) Forget(mEvents, mEvents.begin()->first);
    while (!mTimers.empty()) Forget(mTimers, mTimers.begin()->first);
    return left;
  }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kNoInterface;
    if (SameId(iid, FUnknown::iid) || SameId(iid, IPlugFrame::iid)) {
      *obj = static_cast<IPlugFrame*>(this);
    } else if (SameId(iid, Linux::IRunLoop::iid)) {
      *obj = static_cast<Linux::IRunLoop*>(this);
    } else {
      return kNoInterface;
    }
    addRef();
    return kResultOk;
  }
  // The frame lives as long as the window; counting only.
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override { return --mRefs; }

private:
  template <typename H>
  tresult Forget(std::multimap<H*, int>& entries, H* handler) {
    auto range = entries.equal_range(handler);
    if (range.first == range.second) return kResultFalse;
    for (auto it = range.first; it != range.second; ++it) mLoop.Remove(it->second);
    const auto count = std::distance(range.first, range.second);
    entries.erase(range.first, range.second);
    for (long i = 0; i < count; ++i) handler->release();
    return kResultOk;
  }

  RunLoop& mLoop;
  std::multimap<Linux::IEventHandler*, int> mEvents;
  std::multimap<Linux::ITimerHandler*, int> mTimers;
  long mTimerFirings = 0;
  std::atomic<uint32> mRefs{1};
};

class Vst3Glue final : public EditorWindow::Glue {
public:
  explicit Vst3Glue(Vst3Plugin& plug) : mPlug(plug) {}
  ~Vst3Glue() override {
    if (mView) mView->release();
  }

  bool Size(int* w, int* h, std::string* error) override {
    mView = mPlug.Controller()->createView(Vst::ViewType::kEditor);
    if (!mView) {
      *error = "the plug-in has no editor (createView(\"editor\") gave none)";
      return false;
    }
    if (mView->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultTrue) {
      *error = "the plug-in's editor does not embed in X11 windows (X11EmbedWindowID)";
      return false;
    }
    ViewRect r;
    if (mView->getSize(&r) != kResultOk) {
      *error = "the plug-in's editor gives no size (getSize)";
      return false;
    }
    *w = r.getWidth();
    *h = r.getHeight();
    return true;
  }

  bool Attach(unsigned long window, RunLoop& loop, std::string* error) override {
    mFrame = std::make_unique<Frame>(loop);
    mView->setFrame(mFrame.get());
    if (mView->attached(reinterpret_cast<void*>(static_cast<uintptr_t>(window)), kPlatformTypeX11EmbedWindowID) !=
        kResultOk) {
      mView->setFrame(nullptr);
      mFrame.reset();
      *error = "the plug-in did not attach its editor to the window (attached answered no)";
      return false;
    }
    return true;
  }

  long TimerFirings() const override { return mFrame ? mFrame->TimerFirings() : 0; }

  int Detach(RunLoop&) override {
    mView->removed();
    mView->setFrame(nullptr);
    const int left = mFrame->UnregisterAll();
    mView->release();
    mView = nullptr;
    mFrame.reset();
    return left;
  }

private:
  Vst3Plugin& mPlug;
  IPlugView* mView = nullptr;
  std::unique_ptr<Frame> mFrame;
};

// Waits up to timeoutMs for an event of the window of one of the types.
bool WaitForEvent(Display* d, Window w, int type, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  XEvent ev;
  for (;;) {
    while (XPending(d) > 0) {
      XNextEvent(d, &ev);
      if (ev.type == type && ev.xany.window == w) return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{ConnectionNumber(d), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
}

// The bit position and width of a colour mask, for reading pixels of any
// TrueColor visual.
struct Channel {
  int shift = 0, bits = 0;
  explicit Channel(unsigned long mask) {
    if (!mask) return;
    while (!(mask & 1)) {
      mask >>= 1;
      ++shift;
    }
    while (mask & 1) {
      mask >>= 1;
      ++bits;
    }
  }
  int Of(unsigned long pixel) const {
    if (bits == 0) return 0;
    const unsigned long v = (pixel >> shift) & ((1ul << bits) - 1);
    return bits >= 8 ? static_cast<int>(v >> (bits - 8)) : static_cast<int>(v * 255 / ((1ul << bits) - 1));
  }
};

}  // namespace

std::string MissingDisplayReason() {
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return "";
  return "no X server: DISPLAY is not set; run under xvfb-run (Debian package xvfb), e.g. "
         "xvfb-run -a quarvelline-host --editor-png editor.png";
}

std::unique_ptr<EditorWindow> EditorWindow::Open(HostedPlugin& plug, std::string* error,
                                                 const EditorWindowOptions& options) {
  if (Vst2Plugin* v2 = plug.AsVst2()) return Open(*v2, error, options);
  if (Vst3Plugin* v3 = plug.AsVst3()) return Open(*v3, error, options);
  *error = "the host opens no editor of a " + plug.Format() + " plug-in";
  return nullptr;
}

std::unique_ptr<EditorWindow> EditorWindow::Open(Vst2Plugin& plug, std::string* error,
                                                 const EditorWindowOptions& options) {
  return OpenWith(std::make_unique<Vst2Glue>(plug, options.idleMs), error, options);
}

std::unique_ptr<EditorWindow> EditorWindow::Open(Vst3Plugin& plug, std::string* error,
                                                 const EditorWindowOptions& options) {
  return OpenWith(std::make_unique<Vst3Glue>(plug), error, options);
}

std::unique_ptr<EditorWindow> EditorWindow::OpenWith(std::unique_ptr<Glue> glue, std::string* error,
                                                     const EditorWindowOptions& options) {
  *error = MissingDisplayReason();
  if (!error->empty()) return nullptr;
  std::unique_ptr<EditorWindow> w(new EditorWindow);
  w->mGlue = std::move(glue);
  if (!w->mGlue->Size(&w->mWidth, &w->mHeight, error)) return nullptr;
  if (w->mWidth <= 0 || w->mHeight <= 0 || w->mWidth > 16384 || w->mHeight > 16384) {
    *error = "the plug-in's editor has no usable size (" + std::to_string(w->mWidth) + " x " +
             std::to_string(w->mHeight) + ")";
    return nullptr;
  }

  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    *error = std::string("cannot open the X display '") + std::getenv("DISPLAY") +
             "'; run under xvfb-run (Debian package xvfb) or start an X server";
    return nullptr;
  }
  w->mDisplay = d;
  const int screen = DefaultScreen(d);
  const Window win = XCreateSimpleWindow(d, RootWindow(d, screen), options.x, options.y,
                                         static_cast<unsigned>(w->mWidth), static_cast<unsigned>(w->mHeight), 0,
                                         BlackPixel(d, screen), BlackPixel(d, screen));
  w->mWindow = win;
  XStoreName(d, win, options.title.c_str());
  // A fixed size, and the place asked for.
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = options.x;
    hints->y = options.y;
    hints->min_width = hints->max_width = w->mWidth;
    hints->min_height = hints->max_height = w->mHeight;
    XSetWMNormalHints(d, win, hints);
    XFree(hints);
  }
  XSelectInput(d, win, StructureNotifyMask);
  XMapWindow(d, win);
  if (!WaitForEvent(d, win, MapNotify, 5000)) {
    *error = "the X server did not show the host's window within 5 s";
    return nullptr;
  }
  XSync(d, False);

  if (!w->mGlue->Attach(win, w->mLoop, error)) return nullptr;
  w->mOpen = true;
  w->mHostWatch = w->mLoop.AddWatch(ConnectionNumber(d), [raw = w.get()] { raw->DrainHostEvents(); });
  return w;
}

EditorWindow::~EditorWindow() {
  CloseEditor();
  if (mDisplay) {
    if (mWindow) XDestroyWindow(mDisplay, mWindow);
    XCloseDisplay(mDisplay);
  }
}

void EditorWindow::CloseEditor() {
  if (!mOpen) return;
  mOpen = false;
  mLeftRegistered = mGlue->Detach(mLoop);
  mLoop.Remove(mHostWatch);
  mHostWatch = 0;
  if (mDisplay) XSync(mDisplay, False);
}

long EditorWindow::ViewTimerFirings() const { return mGlue->TimerFirings(); }

void EditorWindow::DrainHostEvents() {
  XEvent ev;
  while (XPending(mDisplay) > 0) XNextEvent(mDisplay, &ev);
}

unsigned long EditorWindow::EditorChild() const {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count)) return 0;
  const Window first = count > 0 ? children[0] : 0;
  if (children) XFree(children);
  return first;
}

void EditorWindow::ToScreen(int x, int y, int* sx, int* sy) const {
  Window child = 0;
  if (!XTranslateCoordinates(mDisplay, mWindow, DefaultRootWindow(mDisplay), x, y, sx, sy, &child)) {
    *sx = x;
    *sy = y;
  }
}

std::unique_ptr<LICE_MemBitmap> EditorWindow::Capture(std::string* error) {
  PumpOnce(0);
  XSync(mDisplay, False);
  // Reading a window that is not wholly on the screen is an X error, which
  // Xlib's default handler answers by ending the process.
  XWindowAttributes a;
  int sx = 0, sy = 0;
  ToScreen(0, 0, &sx, &sy);
  const Screen* screen = DefaultScreenOfDisplay(mDisplay);
  if (!XGetWindowAttributes(mDisplay, mWindow, &a) || a.map_state != IsViewable || sx < 0 || sy < 0 ||
      sx + mWidth > WidthOfScreen(screen) || sy + mHeight > HeightOfScreen(screen)) {
    *error = "the host's window is not wholly on the screen";
    return nullptr;
  }
  XImage* image = XGetImage(mDisplay, mWindow, 0, 0, static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight),
                            AllPlanes, ZPixmap);
  if (!image) {
    *error = "the X server gave no image of the window";
    return nullptr;
  }
  const Channel r(image->red_mask), g(image->green_mask), b(image->blue_mask);
  auto bm = std::make_unique<LICE_MemBitmap>(mWidth, mHeight);
  for (int y = 0; y < mHeight; ++y) {
    LICE_pixel* row = LICE_Row(bm.get(), y);
    for (int x = 0; x < mWidth; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      row[x] = LICE_ARGB(255, r.Of(p), g.Of(p), b.Of(p));
    }
  }
  XDestroyImage(image);
  return bm;
}

bool EditorWindow::SavePng(const std::string& path, std::string* error) {
  std::unique_ptr<LICE_MemBitmap> bm = Capture(error);
  if (!bm) return false;
  if (!LICE_WritePNG(bm.get(), path.c_str(), false)) {
    *error = "cannot write the editor's picture to '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace quarv::host
