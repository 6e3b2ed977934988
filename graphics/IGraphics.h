// The platform-neutral editor engine. It owns the editor's controls in
// drawing order, draws them into one off-screen bitmap of the editor's size,
// decides what must be redrawn, routes mouse, wheel, key and drop events to
// the control under the pointer, keeps controls and parameters in step, and
// offers the drawing operations controls use in their Draw. Whatever needs a
// real window is a virtual operation of the window layer; IGraphicsOffscreen
// implements them for running without one.
//
// Threads: everything runs on the host's user-interface thread, except
// SetParameterFromPlug, which the plug-in base calls under its lock from
// whatever thread the host sets parameters on, and the writes of the engine
// (status and info lines, label, history) on the audio thread. The engine has
// no lock of its own: the control list, the controls' values and their dirty
// and pending-redraw flags follow the plug-in lock. Every entry point below
// that touches them takes it (input, redraw bookkeeping, attaching and
// detaching, prompts); the list itself changes only on the user-interface
// thread, which may therefore walk it without the lock. Drawing happens
// outside the lock: each control's Draw takes it only to copy what it shows.
// The bitmap and font caches have locks of their own.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/GraphicsTypes.h"

class IPlugBase;
class IControl;
class IParameter;
class LICE_IBitmap;
class LICE_SysBitmap;
class LICE_CachedFont;

class IGraphics {
public:
  IGraphics(IPlugBase* plug, int width, int height, int frameRate);

  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- Window layer, in this order ----
  // Shows rectangle r of the draw bitmap in the window.
  virtual bool BlitToScreen(const Rect& r) = 0;
  // Stores the size and tells the plug-in base.
  virtual void Resize(int w, int h);
  virtual bool WindowIsOpen();
  // Text entry over an editable text control.
  virtual void EditControlText(IControl* control) = 0;
  // Text entry or drop-down list for a parameter; ends in ApplyPromptText.
  virtual void PromptTextEntry(IControl* control, IParameter* param, bool compact) = 0;
  virtual void HostPath(std::string& path) = 0;
  virtual void PluginPath(std::string& path) = 0;
  virtual void PromptForFile(std::string& file, int action, const char* folder, const char* extensions) = 0;
  virtual bool PromptForColour(Colour* colour, const char* prompt) = 0;
  virtual bool OpenWebPage(const char* url, const char* title, const char* confirmText,
                           const char* failureText) = 0;
  // A wheel event forwarded by the host.
  virtual int ProcessMouseWheel(float delta);
  // Ticks until the plug-in base's FlushPendingEdit ends a wheel gesture.
  virtual void SetParamChangeTimer(int ticks) = 0;
  virtual void CancelParamChangeTimer() = 0;
  // Keeps the slot order of the window layers; no behaviour.
  virtual int Reserved();
  virtual void* OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
  virtual void* GetWindow() = 0;
  // Destroys the controls from the last to the first, then the draw bitmap.
  virtual ~IGraphics();
  virtual void UpdateTooltips() = 0;
  // The image with this resource id (or file name), or nullptr; the caller
  // owns it.
  virtual LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) = 0;

  // ---- Window layers that the host's loop drives (X11) ----
  // The descriptor whose readability means window events are waiting; -1
  // when the layer needs no watching (it has its own timer, or no window).
  virtual int EventDescriptor() { return -1; }
  // Handles the window events that have arrived; never waits for more.
  virtual void HandleEvents() {}
  // A tick from a host timer running every TimerPeriodMs.
  virtual void TimerTick() {}
  // A host's idle call: the events, and the tick once a period has passed.
  virtual void Idle() {}
  // 1000 / frame rate, truncated: 41 ms at 24 frames per second.
  virtual int TimerPeriodMs() const { return 1000 / frameRate; }

  // ---- Construction and ownership (user-interface thread) ----
  // Creates the draw bitmap, width × height. Allocates.
  void PrepareDrawBitmap();
  // Appends the control, takes ownership, returns its index. Takes the
  // plug-in lock; allocates.
  int AttachControl(IControl* control);
  // Loads the image and puts a bitmap control showing it (copied, not
  // blended) at index 0, under every other control. Takes the plug-in lock.
  void AttachBackground(int id, const char* name);
  // Removes the first entry equal to control, keeping the order of the rest;
  // does not destroy it. Takes the plug-in lock.
  void DetachControl(IControl* control);

  int NControls() const { return static_cast<int>(controls.size()); }
  IControl* GetControl(int i) const {
    return i >= 0 && i < NControls() ? controls[static_cast<size_t>(i)] : nullptr;
  }
  int Width() const { return width; }
  int Height() const { return height; }
  int FrameRate() const { return frameRate; }
  IPlugBase* GetPlug() const { return plug; }
  LICE_IBitmap* GetDrawBitmap() const;

  // ---- Redraw (user-interface thread; the plug-in lock is taken for the
  // flags only) ----
  // Grows r by the rect of every control that needs a redraw; true when any did.
  bool CollectDirty(Rect& r);
  // The drawing pass over r; ends with BlitToScreen(r). Under the lock it
  // picks the controls to draw and clears every control's dirty flag, before
  // drawing, so that a control changed while the pass draws (by another
  // thread, or by a control drawn earlier in the pass) stays dirty for the
  // next pass. The controls then draw without the lock held.
  bool DrawRegion(const Rect& r);
  void MarkBackgroundDirty();

  // ---- Parameters and prompts ----
  // Any thread, under the plug-in lock (taken again here); no allocation.
  void SetParameterFromPlug(int paramIdx, double value, bool isNormalized);
  // User-interface thread; takes the plug-in lock.
  void ApplyPromptText(IControl* control, IParameter* param, const char* text);
  // Closes the open popup list; without a choice its owner hears
  // PopupChoice("", -1) and the click that closed it is marked as consumed.
  // User-interface thread; takes the plug-in lock.
  void ClosePopup(bool chosen);
  // The popup list being opened over a control becomes the active one.
  void SetActivePopup(IControl* popup);
  IControl* ActivePopup() const { return activePopup; }
  // True while a popup is open or a click has just closed one.
  bool PopupMarkerSet() const { return activePopup != nullptr || popupClosedByClick; }
  // Forgets that a click closed a popup; an open popup stays open.
  void ClearPopupMarker() { popupClosedByClick = false; }

  // ---- Input, in editor pixels (user-interface thread; each entry holds the
  // plug-in lock while the event is handled) ----
  void OnMouseDown(int x, int y, const MouseMods& mods);
  void OnMouseUp(int x, int y, const MouseMods& mods);
  void OnMouseDrag(int x, int y, const MouseMods& mods);
  bool OnMouseDblClick(int x, int y, const MouseMods& mods);
  void OnMouseWheel(int x, int y, const MouseMods& mods, int d);
  bool OnMouseOver(int x, int y, const MouseMods& mods);
  void OnMouseOut();
  // Key codes: 0 space, 1 up, 2 down, 3 left, 4 right, 6..15 digits 0..9,
  // 16..41 letters A..Z.
  void OnKeyDown(int x, int y, int key);
  void OnDrop(int x, int y, const char* path);
  // The captured control, else the topmost control that is neither hidden nor
  // grayed and is hit; -1 for none. User-interface thread.
  int ControlIndexAt(int x, int y);
  void ReleaseMouseCapture();

  // ---- Bitmaps (process-wide cache) ----
  BitmapRef LoadBitmap(int id, const char* name, int frameCount = 1);
  // An id that is not cached gives a reference without raster, which draws
  // nothing.
  BitmapRef CachedBitmap(int id);
  // Cuts ref at fraction of its width: returns the left piece, cached under
  // the next negative id (-2, -3, ...), and turns ref into the right piece
  // whose companion id names the left one. The engine keeps the right piece
  // until it is destroyed.
  BitmapRef SplitBitmap(BitmapRef& ref, float fraction);

  // ---- Drawing into the draw bitmap; an absent blend is source-over at 1.0 ----
  bool DrawBitmap(const BitmapRef& ref, const Rect& dest, int frame = 1, const Blend* blend = nullptr,
                  bool vertical = false);
  bool DrawRotatedBitmap(const BitmapRef& ref, int centreX, int centreY, double angle,
                         const Blend* blend = nullptr, float srcX = 0.0f, float srcY = 0.0f);
  bool DrawLine(const Colour& colour, float x1, float y1, float x2, float y2, const Blend* blend = nullptr,
                bool antiAlias = false);
  bool FillRect(const Colour& colour, const Rect& r, const Blend* blend = nullptr);
  // Moves r's right and bottom edges in by one pixel, in place, and draws the
  // outline inside them.
  bool DrawRoundRect(const Colour& colour, Rect& r, int radius, const Blend* blend = nullptr,
                     bool antiAlias = false);
  // corners: 4 all round, 2 the top ones, -2 the bottom ones; other values
  // draw nothing.
  bool FillRoundRect(const Colour& colour, const Rect& r, int radius, int corners = 4,
                     const Blend* blend = nullptr, bool antiAlias = false);
  // False only when no font can be made for the style.
  bool DrawText(TextStyle& style, const char* text, const Rect& r);
  LICE_CachedFont* CacheFont(TextStyle& style);

  // ---- Fields ----
  IPlugBase* plug;
  TextStyle popupStyle{"Arial", 15, Colour(200, 255, 255, 255), 0, TextStyle::kAlignLeft, 0, 0};
  Colour popupBackground{245, 50, 50, 50};
  Colour popupHighlight{75, 200, 200, 200};
  bool mouseOverEnabled = false;
  int mouseOverIndex = -1;
  // The open popup list, a live control in the list, or none. The marker
  // that a click closed it is kept apart (popupClosedByClick), so nothing
  // ever refers to a destroyed popup.
  IControl* activePopup = nullptr;
  std::vector<IControl*> controls;
  Rect drawRect;
  std::unique_ptr<LICE_SysBitmap> drawBitmap;
  Rect alwaysRedrawRect;
  int width, height;
  int frameRate;
  int nextBitmapId = -1;
  int captureIndex = -1;
  int mouseX = 0, mouseY = 0;
  bool tooltipsEnabled = false;
  bool strictDrawing = true;
  bool acceptDrops = false;
  bool timerRedraw = true;

protected:
  // What a timer tick redraws: the dirty area when timerRedraw is on, then
  // the always-redrawn area, each through DrawRegion.
  void RedrawForTimer();

  // The PNG image embedded in the module under this resource id (100 to
  // 108), decoded; none for any other id. For window layers that load the
  // module's images from memory. Any thread; allocates; the caller owns it.
  static LICE_IBitmap* DecodeEmbeddedImage(int id);

private:
  std::unique_lock<std::recursive_mutex> LockPlug() const;

  bool popupClosedByClick = false;
  // The controls a strict pass draws, kept between passes so that a pass
  // does not allocate.
  std::vector<IControl*> drawList;
  // Right pieces cut by SplitBitmap, held by controls' references.
  std::vector<std::unique_ptr<LICE_IBitmap>> splitPieces;
};
