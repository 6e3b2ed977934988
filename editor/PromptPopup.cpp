#include "editor/PromptPopup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

using quarv::RoundHalfAway;

PromptPopup::PromptPopup(IPlugBase* p, int x, int y, int minColumnWidth, int cols, const TextStyle& style,
                         const Colour& bg, const Colour& hl)
    : IControl(p, Rect(x, y, x, y)),
      columnWidth(minColumnWidth),
      textStyle(style),
      selectedStyle(style),
      background(bg),
      highlight(hl),
      rowHeight(style.size + 6),
      columns(std::max(1, cols)) {
  selectedStyle.colour.A = std::min(255, style.colour.A + 55);
  maxVisible = columns * maxRows;
  rect = targetRect = Rect(x, y, x + columnWidth * columns + inset, y);
}

void PromptPopup::AddItem(const char* text) {
  if (!text) text = "";
  std::array<char, kItemChars + 1> item{};
  quarv::CopyText(item.data(), item.size(), text);
  items.push_back(item);

  const int length = static_cast<int>(std::strlen(text));
  const int charWidth = std::max(textStyle.size - 8, 5);
  columnWidth = std::max(columnWidth, length * charWidth + 2 * inset + 20);
  if (autoGrow && (count == 9 || count == 19 || count == 29 || count == 39)) ++maxRows;
  ++count;
  maxVisible = columns * maxRows;
  rows = (count + columns - 1) / columns;

  int height, extraWidth;
  if (maxVisible < count) {
    const double w = rowHeight * 1.5;
    const int v = rowHeight * maxRows;
    thumbHeight = maxRows * 4 < count
                      ? static_cast<int>(w)
                      : static_cast<int>((w - v) * (count - maxRows) / (maxRows * 3) + v);
    height = v;
    extraWidth = inset + scrollbarWidth + 2;
  } else {
    height = rows * rowHeight;
    extraWidth = inset;
  }
  rect = targetRect = Rect(rect.L, rect.T, rect.L + columnWidth * columns + extraWidth, rect.T + height);
}

void PromptPopup::Move(int dx, int dy) {
  rect = Rect(rect.L + dx, rect.T + dy, rect.R + dx, rect.B + dy);
  targetRect = Rect(targetRect.L + dx, targetRect.T + dy, targetRect.R + dx, targetRect.B + dy);
}

void PromptPopup::Open(int paramIdx, IControl* ownerControl) {
  if (paramIdx > -1 && plug) {
    if (const IParameter* param = plug->GetParam(paramIdx)) selected = RoundHalfAway(param->Value());
  }
  ScrollToSelection();
  owner = ownerControl;
  SetHidden(false);
}

void PromptPopup::ScrollToSelection() {
  if (thumbHeight < 1 || rows <= maxRows) return;
  const int half = (maxRows + 1) / 2;
  const int r = std::clamp(selected / columns + 1 - half, 0, rows - maxRows);
  scrollPos = RoundHalfAway(static_cast<double>(ThumbRange()) * r / (rows - maxRows));
}

void PromptPopup::ScrollBy(int pixels) {
  const int p = std::min(scrollPos + pixels, ThumbRange());
  scrollPos = p < 1 ? 0 : p;
  MarkDirty(true);
}

Rect PromptPopup::SlotRect(int slot) const {
  const int r = slot / columns, c = slot % columns;
  return Rect(rect.L + c * columnWidth + inset, rect.T + r * rowHeight + 1, rect.L + (c + 1) * columnWidth,
              rect.T + (r + 1) * rowHeight - 1);
}

bool PromptPopup::Draw(IGraphics* g) {
  if (!layoutDone) {
    scrollColL = rect.R - scrollbarWidth - 2;
    scrollColR = rect.R - 1;
    layoutDone = true;
  }
  if (thumbHeight > 0 && ThumbRange() > 0) {
    firstVisible = columns * RoundHalfAway(static_cast<double>(rows - maxRows) * scrollPos / ThumbRange());
  }
  g->FillRoundRect(background, rect, 4, 4, nullptr, true);
  if (columns > 1) {
    Colour line = highlight;
    line.A = static_cast<int>(line.A * 0.6);
    for (int i = 1; i < columns; ++i) {
      const float x = static_cast<float>(i * columnWidth + rect.L + (inset * 0.5 - 0.5));
      g->DrawLine(line, x, static_cast<float>(rect.T + inset), x, static_cast<float>(rect.B - inset), nullptr, true);
    }
  }
  const int s = selected - firstVisible;
  if (s >= 0 && s < maxVisible) {
    Rect outline = SlotRect(s);
    g->DrawRoundRect(highlight, outline, 4, nullptr, true);
    g->FillRoundRect(highlight, SlotRect(s), 4, 4, nullptr, true);
  }
  if (hovered >= 0 && hovered < maxVisible && hovered != s) g->FillRoundRect(highlight, SlotRect(hovered), 4, 4, nullptr, true);
  const int textTop = RoundHalfAway(inset * 0.75);
  for (int slot = 0; slot < maxVisible && firstVisible + slot < count; ++slot) {
    const int r = slot / columns, c = slot % columns;
    const Rect textRect(rect.L + c * columnWidth + 2 * inset, rect.T + r * rowHeight + textTop,
                        rect.L + (c + 1) * columnWidth, rect.T + (r + 1) * rowHeight);
    g->DrawText(slot == s ? selectedStyle : textStyle, Item(firstVisible + slot), textRect);
  }
  if (thumbHeight > 0) {
    Colour track = highlight;
    track.A = std::max(0, track.A - 20);
    Rect trackRect(scrollColL - 1, rect.T, scrollColR + 1, rect.B);
    g->DrawRoundRect(track, trackRect, 4, nullptr, true);
    thumbTop = rect.T + scrollPos + 1;
    thumbBottom = thumbTop + thumbHeight;
    Colour thumb = highlight;
    if (hovered == -1 && !dragging) thumb.A = std::min(255, thumb.A + 20);
    g->FillRoundRect(thumb, Rect(scrollColL, thumbTop, scrollColR, thumbBottom), 3, 4, nullptr, true);
  }
  return true;
}

void PromptPopup::MouseOver(int x, int y, const MouseMods&) {
  int now = -2;
  if (InScrollColumn(x)) {
    if (y >= thumbTop && y <= thumbBottom) now = -1;
  } else {
    const int r = static_cast<int>(std::floor(static_cast<double>(y - rect.T) / rowHeight));
    int slot = std::min(maxVisible, r * columns);
    if (columns > 1) {
      const int c = static_cast<int>(std::floor(static_cast<double>(x - rect.L - RoundHalfAway(inset * 0.5)) / columnWidth));
      slot += std::clamp(c, 0, columns - 1);
    }
    // Only a visible slot that holds an item is hovered.
    if (slot >= 0 && slot < maxVisible && firstVisible + slot < count) now = slot;
  }
  if (now != hovered) {
    hovered = now;
    MarkDirty(true);
  }
}

void PromptPopup::MouseOut() {
  hovered = -2;
  MarkDirty(true);
}

void PromptPopup::MouseDown(int x, int y, const MouseMods& mods) {
  if (InScrollColumn(x)) {
    if (mods.R) return;
    dragging = true;
    if (y >= thumbTop && y <= thumbBottom) {
      MarkDirty(true);
    } else {
      // A click on the track centres the thumb on the mouse.
      ScrollBy(y - scrollPos - rect.T - RoundHalfAway(thumbHeight * 0.5));
    }
    return;
  }
  if (!mods.L || hovered < 0) return;
  const int idx = firstVisible + hovered;
  if (idx >= count) return;
  selected = idx;
  IControl* target = owner && owner->owner ? owner->owner : owner;
  if (target) {
    IParameter* param = plug && target->paramIdx >= 0 ? plug->GetParam(target->paramIdx) : nullptr;
    if (param) {
      plug->BeginParamEdit(target->paramIdx);
      target->SetValueFromPrompt(param->NormalizedOf(idx));
      plug->EndParamEdit(target->paramIdx);
    }
    target->PopupChoice(Item(idx), idx);
  }
  // The engine forgets the capture and the hovered control, then destroys
  // this popup: nothing of it may be touched after ClosePopup.
  if (IGraphics* g = graphics) {
    g->ReleaseMouseCapture();
    g->mouseOverIndex = -1;
    g->ClosePopup(true);
  }
}

void PromptPopup::MouseUp(int, int, const MouseMods&) {
  if (thumbHeight <= 0) return;
  dragging = false;
  MarkDirty(true);
}

void PromptPopup::MouseDrag(int, int, int, int dY, const MouseMods&) {
  if (dragging) ScrollBy(dY);
}

void PromptPopup::MouseWheel(int, int, const MouseMods&, int d) {
  if (thumbHeight > 0) ScrollBy(-3 * d);
}
