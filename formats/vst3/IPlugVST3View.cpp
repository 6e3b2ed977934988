#include "formats/vst3/IPlugVST3View.h"

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
  mPlug->RemoveView(this);
  mPlug->release();
}

tresult PLUGIN_API IPlugVST3View::isPlatformTypeSupported(FIDString type) {
  if (!mPlug->GetGUI() || !type) return kResultFalse;
  return std::strcmp(type, PlatformType()) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::attached(void* parent, FIDString type) {
  IPlugBase::Lock lock(mPlug->Mutex());
  IGraphics* gui = mPlug->GetGUI();
  if (!gui) return kResultFalse;
  try {
    // The window layer's OpenWindow makes the editor a child of parent; the
    // off-screen editor opens none and the view stays empty.
    if (type && std::strcmp(type, PlatformType()) == 0) gui->OpenWindow(parent);
    mPlug->EditorOpened();
  } catch (...) {
    // A window that cannot be had is no window; the host keeps running.
    return kResultFalse;
  }
  CPluginView::attached(parent, type);
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3View::removed() {
  {
    IPlugBase::Lock lock(mPlug->Mutex());
    if (IGraphics* gui = mPlug->GetGUI()) {
      try {
        mPlug->EditorClosed();
        gui->CloseWindow();
      } catch (...) {
        // Closing frees; nothing of it may reach the host.
      }
    }
  }
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
Linux::IRunLoop* IPlugVST3View::RunLoop() const {
  if (!plugFrame) return nullptr;
  Linux::IRunLoop* loop = nullptr;
  if (plugFrame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&loop)) != kResultOk) return nullptr;
  return loop;
}
#endif
