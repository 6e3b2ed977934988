// The editor's view for VST 3 hosts. It keeps the plug-in alive while it
// exists and drives the plug-in's editor (IGraphics) when the host attaches
// and removes it.
//
// attached opens the editor's window in the host's parent (an X11 window id
// on Linux, an HWND on Windows). On Linux the editor ticks from the run loop
// that the host's frame offers: a timer at the editor's period and a watch on
// its X connection, registered in attached and unregistered in removed. A
// host without a run loop gets an editor that shows but does not tick.
//
// Threads: the host's user-interface thread.
#pragma once

#include "public.sdk/source/common/pluginview.h"

#if defined(__linux__)
#include "pluginterfaces/gui/iplugview.h"
#endif

class IGraphics;
class IPlugVST3;

class IPlugVST3View : public Steinberg::CPluginView {
public:
  // The platform type this build embeds its editor in.
  static const char* PlatformType();

  explicit IPlugVST3View(IPlugVST3* plug);
  ~IPlugVST3View() override;

  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;

  Steinberg::IPlugFrame* Frame() const { return plugFrame; }
#if defined(__linux__)
  // The host's run loop, asked of the frame the host set; null without a
  // frame or when the frame offers none. The caller releases it.
  Steinberg::Linux::IRunLoop* RunLoop() const;
#endif

private:
  // Unregisters from the run loop and closes the window this view opened.
  void CloseEditor(IGraphics* gui);
#if defined(__linux__)
  class LoopClient;
  // Registers the editor's timer and event watch with the host's run loop;
  // UnregisterFromRunLoop undoes it. User-interface thread.
  void RegisterWithRunLoop(IGraphics* gui);
  void UnregisterFromRunLoop();
  Steinberg::Linux::IRunLoop* mRunLoop = nullptr;
  LoopClient* mLoopClient = nullptr;
#endif
  IPlugVST3* mPlug;
  // This view opened the editor's window (one window per plug-in).
  bool mOpened = false;
};
