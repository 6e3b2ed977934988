// A plug-in's own editor in a window of the host, on Linux with X11: a
// top-level window of the editor's size on a Display connection of the
// host's own, the editor opened in it through the module's editor interface
// (VST 2.4: effEditGetRect, effEditOpen with the window's id, effEditIdle
// every 10 ms, effEditClose; VST 3: the "editor" view, a plug frame that is
// also the Linux run loop, attached with "X11EmbedWindowID", removed), a
// poll() loop that runs the editor's timers and X connection, and what the X
// server shows of the window read back as a bitmap.
//
// Threads: the host's UI thread: the window, the loop and every editor call
// stay on the thread that opened them. Needs an X server (DISPLAY).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/raster/LiceBitmap.h"
#include "tools/host/RunLoop.h"

struct _XDisplay;

namespace quarv::host {

class HostedPlugin;
class Vst2Plugin;
class Vst3Plugin;

struct EditorWindowOptions {
  // Where the window goes on the screen (no window manager moves it under
  // Xvfb) and its title.
  int x = 0, y = 0;
  std::string title = "Quarvelline Host";
  // VST 2.4: the period of effEditIdle.
  int idleMs = 10;
};

class EditorWindow {
public:
  // Opens the window and the editor in it. Null with a one-line reason: no
  // X server (saying how to get one), no editor, an editor that refuses to
  // open. The plug-in must outlive the window.
  static std::unique_ptr<EditorWindow> Open(HostedPlugin& plug, std::string* error,
                                            const EditorWindowOptions& options = {});
  static std::unique_ptr<EditorWindow> Open(Vst2Plugin& plug, std::string* error,
                                            const EditorWindowOptions& options = {});
  static std::unique_ptr<EditorWindow> Open(Vst3Plugin& plug, std::string* error,
                                            const EditorWindowOptions& options = {});
  // Closes the editor (if still open) and the window.
  ~EditorWindow();

  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // The editor's timers and events for this long, or one pass of the loop.
  void Pump(int ms) { mLoop.RunForMs(ms); }
  int PumpOnce(int maxWaitMs = 0) { return mLoop.RunOnce(maxWaitMs); }
  RunLoop& Loop() { return mLoop; }

  // Closes the editor through its interface; the window stays until the
  // object goes. Afterwards, for a VST 3 view, LeftRegistered() counts the
  // timers and descriptor watches the view had not unregistered.
  void CloseEditor();
  bool EditorOpen() const { return mOpen; }
  int LeftRegistered() const { return mLeftRegistered; }
  // VST 3: how often the timers the view registered have fired (0 for
  // VST 2.4, whose editor ticks inside effEditIdle).
  long ViewTimerFirings() const;

  // The host's connection and window, the editor's size, and the editor's
  // own window (the first child of the host's window; 0 when there is none).
  _XDisplay* HostDisplay() const { return mDisplay; }
  unsigned long HostWindow() const { return mWindow; }
  unsigned long EditorChild() const;
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // Where a point of the window is on the screen.
  void ToScreen(int x, int y, int* sx, int* sy) const;

  // What the X server shows of the window now (after one pass of the loop):
  // opaque RGB pixels of Width() x Height(), or null with a reason.
  std::unique_ptr<LICE_MemBitmap> Capture(std::string* error);
  // Capture written as a PNG file (RGB).
  bool SavePng(const std::string& path, std::string* error);

  class Glue;  // the format's side

private:
  EditorWindow() = default;
  static std::unique_ptr<EditorWindow> OpenWith(std::unique_ptr<Glue> glue, std::string* error,
                                                const EditorWindowOptions& options);
  void DrainHostEvents();

  std::unique_ptr<Glue> mGlue;
  RunLoop mLoop;
  _XDisplay* mDisplay = nullptr;
  unsigned long mWindow = 0;
  int mWidth = 0, mHeight = 0;
  int mHostWatch = 0;
  bool mOpen = false;
  int mLeftRegistered = 0;
};

// Why there is no X server to open a window on, with what to do about it;
// empty when DISPLAY is set.
std::string MissingDisplayReason();

}  // namespace quarv::host
