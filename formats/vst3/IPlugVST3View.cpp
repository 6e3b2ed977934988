#include "formats/vst3/IPlugVST3View.h"

#include <atomic>
#include <cstring>

#include "formats/vst3/IPlugVST3.h"
#include "graphics/IGraphics.h"

using namespace Steinberg;

const char* IPlugVST3View::PlatformType() {
#if defined(_WIN32)
  return kPlatformTypeHWND;
#else
  return kPlatformTypeX11EmbedWindowID;
#endif
}

IPlugVST3View::IPlugVST3View(IPlugVST3* plug) : mPlug(plug) { mPlug->addRef(); }

IPlugVST3View::~IPlugVST3View() {
  // A host that releases the view without removing it first.
  if (IGraphics* gui = mPlug->GetGUI()) CloseEditor(gui);
  mPlug->RemoveView(this);
  mPlug->release();
}

tresult PLUGIN_API IPlugVST3View::isPlatformTypeSupported(FIDString type) {
  if (!mPlug->GetGUI() || !type) return kResultFalse;
  return std::strcmp(type, PlatformType()) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::attached(void* parent, FIDString type) {
  IGraphics* gui = mPlug->GetGUI();
  if (!gui || !parent || !type || std::strcmp(type, PlatformType()) != 0) return kResultFalse;
  // One editor window per plug-in: a second view gets none.
  if (mOpened || gui->WindowIsOpen()) return kResultFalse;
  try {
    // The window is made without the plug-in lock: talking to the display
    // server must not hold up the audio thread.
    if (!gui->OpenWindow(parent)) return kResultFalse;
    mOpened = true;
    {
      IPlugBase::Lock lock(mPlug->Mutex());
      mPlug->EditorOpened();
    }
#if defined(__linux__)
    RegisterWithRunLoop(gui);
#endif
  } catch (...) {
    // A window that cannot be had is no window; the host keeps running.
    if (mOpened) CloseEditor(gui);
    return kResultFalse;
  }
  CPluginView::attached(parent, type);
  return kResultOk;
}

void IPlugVST3View::CloseEditor(IGraphics* gui) {
#if defined(__linux__)
  UnregisterFromRunLoop();
#endif
  if (!mOpened) return;
  mOpened = false;
  try {
    {
      IPlugBase::Lock lock(mPlug->Mutex());
      mPlug->EditorClosed();
    }
    gui->CloseWindow();
  } catch (...) {
    // Closing frees; nothing of it may reach the host.
  }
}

tresult PLUGIN_API IPlugVST3View::removed() {
  if (IGraphics* gui = mPlug->GetGUI()) CloseEditor(gui);
  return CPluginView::removed();
}

tresult PLUGIN_API IPlugVST3View::getSize(ViewRect* size) {
  IGraphics* gui = mPlug->GetGUI();
  if (!gui) return kResultFalse;
  if (!size) return kInvalidArgument;
  size->left = 0;
  size->top = 0;
  size->right = gui->Width();
  size->bottom = gui->Height();
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3View::onSize(ViewRect* newSize) {
  if (newSize) rect = *newSize;
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3View::setFrame(IPlugFrame* frame) {
  plugFrame = frame;
  return kResultOk;
}

#if defined(__linux__)
// The editor's timer and event watch, handed to the host's run loop. The
// host may hold references after the view is gone: Detach leaves it inert.
class IPlugVST3View::LoopClient : public Linux::ITimerHandler, public Linux::IEventHandler {
public:
  explicit LoopClient(IGraphics* gui) : mGui(gui) {}
  virtual ~LoopClient() = default;

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Linux::ITimerHandler::iid)) {
      *obj = static_cast<Linux::ITimerHandler*>(this);
    } else if (FUnknownPrivate::iidEqual(iid, Linux::IEventHandler::iid)) {
      *obj = static_cast<Linux::IEventHandler*>(this);
    } else {
      *obj = nullptr;
      return kNoInterface;
    }
    addRef();
    return kResultOk;
  }
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --mRefs;
    if (left == 0) delete this;
    return left;
  }

  void PLUGIN_API onTimer() override {
    try {
      if (mGui) mGui->TimerTick();
    } catch (...) {
      // A tick that failed is skipped; the host's loop keeps running.
    }
  }
  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override {
    try {
      if (mGui) mGui->HandleEvents();
    } catch (...) {
    }
  }
  void Detach() { mGui = nullptr; }

private:
  IGraphics* mGui;
  std::atomic<uint32> mRefs{1};
};

void IPlugVST3View::RegisterWithRunLoop(IGraphics* gui) {
  mRunLoop = RunLoop();
  if (!mRunLoop) return;
  mLoopClient = new LoopClient(gui);
  const int fd = gui->EventDescriptor();
  if (fd >= 0) mRunLoop->registerEventHandler(mLoopClient, fd);
  mRunLoop->registerTimer(mLoopClient, static_cast<Linux::TimerInterval>(gui->TimerPeriodMs()));
}

void IPlugVST3View::UnregisterFromRunLoop() {
  if (mLoopClient) {
    mLoopClient->Detach();
    if (mRunLoop) {
      mRunLoop->unregisterTimer(mLoopClient);
      mRunLoop->unregisterEventHandler(mLoopClient);
    }
    mLoopClient->release();
    mLoopClient = nullptr;
  }
  if (mRunLoop) {
    mRunLoop->release();
    mRunLoop = nullptr;
  }
}

Linux::IRunLoop* IPlugVST3View::RunLoop() const {
  if (!plugFrame) return nullptr;
  Linux::IRunLoop* loop = nullptr;
  if (plugFrame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&loop)) != kResultOk) return nullptr;
  return loop;
}
#endif
