// The editor's window on Linux: an X11 child of the host's window on the
// editor's own Display connection. The host drives it: a VST 3 host's run
// loop calls TimerTick every period and HandleEvents when the connection's
// descriptor is readable; a VST 2.4 host's idle calls reach Idle, which
// handles the events and ticks when a period has passed. Nothing here ever
// blocks waiting for the server's events.
//
// The draw bitmap goes to the screen with XPutImage, through a shared-memory
// image when the server offers MIT-SHM, for exactly the rectangle a pass drew.
// Button, motion, wheel (buttons 4 and 5, one notch each), crossing and key
// events become the engine's input; a pointer grab holds the capture between
// press and release. The text box and the drop-down list for typing a value
// are child windows drawn with the raster layer; what they hold is applied at
// the next tick (Enter, a pick or a left click in the editor commits, a right
// click cancels). No file or colour dialog exists here: those prompts answer
// as cancelled. The web page opens with xdg-open; a failure is shown in the
// status line.
//
// Threads: the host's user-interface thread only; no X call is made from any
// other thread. Xlib types stay out of this header.
#pragma once

#include <chrono>
#include <memory>

#include "graphics/IGraphics.h"

class IGraphicsX11 : public IGraphics {
public:
  IGraphicsX11(IPlugBase* plug, int width, int height, int frameRate);
  ~IGraphicsX11() override;

  bool BlitToScreen(const Rect& r) override;
  void Resize(int w, int h) override;
  void EditControlText(IControl* control) override;
  void PromptTextEntry(IControl* control, IParameter* param, bool compact) override;
  // Folders end in a slash; "" when the file's name cannot be had.
  void HostPath(std::string& path) override;
  void PluginPath(std::string& path) override;
  // No dialog: the answer is a cancelled one (empty path, false).
  void PromptForFile(std::string& file, int action, const char* folder, const char* extensions) override;
  bool PromptForColour(Colour* colour, const char* prompt) override;
  // Starts xdg-open (no shell, no wait). No question can be asked here, so
  // with a confirmText nothing opens and the answer is false. A failure to
  // start, or xdg-open reporting one at a later tick, shows failureText in
  // the status line.
  bool OpenWebPage(const char* url, const char* title, const char* confirmText,
                   const char* failureText) override;
  int ProcessMouseWheel(float delta) override;
  void SetParamChangeTimer(int ticks) override { mParamChangeCountdown = ticks; }
  void CancelParamChangeTimer() override { mParamChangeCountdown = 0; }
  // parent is the host's X11 window id. Opens a connection to the display
  // named by DISPLAY and maps the editor's window inside parent; none when
  // either fails (a bad window id included). Allocates.
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  // The editor's X11 window id, or none while closed.
  void* GetWindow() override;
  // Tooltips are off in this plug-in.
  void UpdateTooltips() override {}
  // The module's embedded PNG image with this id; the name is not used.
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;
  int EventDescriptor() override;
  void HandleEvents() override;
  void TimerTick() override;
  void Idle() override;
  int TimerPeriodMs() const override;

  // What tests look at: whether a text box or list is open and its state (0
  // idle, 1 editing, 2 cancel requested, 3 commit requested), the wheel
  // gesture's countdown, and how many editor windows of the module are open.
  bool EntryOpen() const;
  int EntryState() const;
  int ParamChangeCountdown() const { return mParamChangeCountdown; }
  static int OpenWindowCount();

  struct Native;
  struct Entry;

private:
  // One tick: the entry's pending commit or cancel, the dirty area, the
  // always-redrawn area, the wheel gesture's countdown, web pages that
  // failed to open.
  void Tick();
  // The entry's pending commit or cancel.
  void ApplyPendingEntry();
  // Waits for no browser: those that have ended are reaped, and a failure is
  // shown.
  void ReapBrowsers();
  void HandleEvent(void* event);  // XEvent*
  void HandleEntryEvent(void* event);
  void OpenEntry(std::unique_ptr<Entry> entry, IControl* control, IParameter* param);
  void CloseEntry();
  void DrawEntry();
  void ShowStatus(const char* text);

  std::unique_ptr<Native> mX;
  std::unique_ptr<Entry> mEntry;
  int mParamChangeCountdown = 0;
  std::chrono::steady_clock::time_point mNextTick;
};
