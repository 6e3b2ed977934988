// The editor's window on Windows: a child of the host's window, of the window
// class "IPlugWndClass" (registered while any editor of the module is open),
// ticking on a window timer at the engine's frame rate, turning window
// messages into the engine's input, copying the draw bitmap's DIB section to
// the screen with BitBlt, and the native pieces the editor needs: an EDIT box
// or COMBOBOX list for typing a value (applied at the next tick), file and
// colour dialogs, the web page through the shell, and the images from the
// module's PNG resources.
//
// Threads: everything here runs on the host's user-interface thread; the
// window procedures and the tick are never entered from another thread.
// Window handles are kept as void* so this header needs no <windows.h>.
#pragma once

#include "graphics/IGraphics.h"

class IGraphicsWin : public IGraphics {
public:
  IGraphicsWin(IPlugBase* plug, int width, int height, int frameRate);
  ~IGraphicsWin() override;

  // The module instance (HINSTANCE) that owns the window class, the child
  // windows and the image resources. Set by the creator right after
  // construction.
  void SetModuleHandle(void* module) { mModule = module; }

  bool BlitToScreen(const Rect& r) override;
  void Resize(int w, int h) override;
  void EditControlText(IControl* control) override;
  void PromptTextEntry(IControl* control, IParameter* param, bool compact) override;
  void HostPath(std::string& path) override;
  void PluginPath(std::string& path) override;
  void PromptForFile(std::string& file, int action, const char* folder, const char* extensions) override;
  bool PromptForColour(Colour* colour, const char* prompt) override;
  bool OpenWebPage(const char* url, const char* title, const char* confirmText,
                   const char* failureText) override;
  int ProcessMouseWheel(float delta) override;
  void SetParamChangeTimer(int ticks) override { mParamChangeCountdown = ticks; }
  void CancelParamChangeTimer() override { mParamChangeCountdown = 0; }
  // Opens the editor window as a child of parent (an HWND); returns it, or
  // null when it cannot be made. Allocates.
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() override { return mMainWindow; }
  // Tooltips are off in this plug-in: nothing to hide or show.
  void UpdateTooltips() override {}
  // Decodes the module's PNG resource with this id; the name is not used.
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;

  // What tests look at: the entry box or list (an HWND) and its state (0
  // idle, 1 editing, 2 cancel requested, 3 commit requested), and how many
  // editor windows of the module are open.
  void* EntryWindow() const { return mEntryWindow; }
  int EntryState() const { return mEntryState; }
  int ParamChangeCountdown() const { return mParamChangeCountdown; }
  static int OpenWindowCount();

private:
  friend struct IGraphicsWinProcs;

  // One timer tick: the entry's pending commit or cancel, the dirty area,
  // the always-redrawn area, the wheel gesture's countdown.
  void Tick();
  // Invalidates r, keeps the entry window out of it and paints at once.
  void PaintNow(const Rect& r);
  // Replaces the new entry window's procedure and remembers the control.
  void AdoptEntry(void* entry, IControl* control, IParameter* param, void* font);
  void CloseEntry();
  // Releases the entry's font and forgets the entry, its control and state.
  void ForgetEntry();

  void* mModule = nullptr;          // HINSTANCE
  void* mMainWindow = nullptr;      // HWND
  void* mEntryWindow = nullptr;     // HWND
  IControl* mEntryControl = nullptr;
  IParameter* mEntryParam = nullptr;
  void* mEntryPreviousProc = nullptr;  // WNDPROC
  void* mEntryFont = nullptr;          // HFONT, released with the entry
  int mEntryState = 0;
  int mParamChangeCountdown = 0;
  unsigned long* mCustomColours = nullptr;  // 16 COLORREFs, made on first use
  void* mParentWindow = nullptr;            // HWND
};
