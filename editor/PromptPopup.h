// The list that opens over a control on right click to pick one value of an
// enumerated parameter: rows of items in one or more columns, the current
// value marked, the item under the mouse lit, and a scroll bar once there are
// more items than visible rows.
//
// Threads: user-interface thread only, under the plug-in lock like every
// input event (the graphics engine takes it); it reads the parameter only
// when it opens and when an item is picked.
#pragma once

#include <array>
#include <vector>

#include "editor/IControl.h"

class PromptPopup : public IControl {
public:
  static constexpr int kItemChars = 31;

  // A popup at (x, y) with columns of at least minColumnWidth pixels, in the
  // given style and colours (the selected item's text gets 55 more alpha).
  PromptPopup(IPlugBase* plug, int x, int y, int minColumnWidth, int columns, const TextStyle& style,
              const Colour& background, const Colour& highlight);

  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseDrag(int x, int y, int dX, int dY, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int d) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  // Appends an item (cut to 31 characters; the column still widens for the
  // whole text) and sizes the popup for the items so far. Allocates.
  void AddItem(const char* text);
  // Marks the parameter's current entry, scrolls it into view, remembers the
  // owner and shows the popup.
  void Open(int paramIdx, IControl* owner);
  // Moves the thumb by pixels, within the track.
  void ScrollBy(int pixels);
  // Moves rect and targetRect.
  void Move(int dx, int dy);

  int Count() const { return count; }
  const char* Item(int i) const { return i >= 0 && i < count ? items[static_cast<size_t>(i)].data() : ""; }

  int columnWidth;
  int inset = 4;
  int hovered = -2;  // visible slot under the mouse; -1 the thumb; -2 nothing
  int maxVisible;
  int firstVisible = 0;
  int scrollPos = 0;
  int thumbHeight = 0;  // 0: no scroll bar
  int scrollbarWidth = 9;
  bool layoutDone = false;
  bool dragging = false;
  std::vector<std::array<char, kItemChars + 1>> items;
  TextStyle textStyle, selectedStyle;
  Colour background, highlight;
  int scrollColL = 0, scrollColR = 0;
  int thumbTop = 0, thumbBottom = 0;
  int selected = -1;
  int rowHeight;
  int count = 0;
  int maxRows = 5;
  int columns;
  bool autoGrow = true;
  int rows = 0;

private:
  int Height() const { return rect.B - rect.T; }
  // The thumb's travel in pixels.
  int ThumbRange() const { return Height() - thumbHeight - 2; }
  bool InScrollColumn(int x) const { return thumbHeight > 0 && x >= scrollColL && x <= scrollColR; }
  Rect SlotRect(int slot) const;
  void ScrollToSelection();
};
