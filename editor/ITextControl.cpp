#include "editor/ITextControl.h"

#include <cstring>

#include "framework/IPlugBase.h"

ITextControl::ITextControl(IPlugBase* p, const Rect& r, const TextStyle& style, const char* text)
    : IControl(p, r), mTextStyle(style) {
  mText.reserve(128);
  mText = text ? text : "";
}

bool ITextControl::Draw(IGraphics*) { return true; }

void ITextControl::SetText(const char* text) {
  if (!text) text = "";
  std::unique_lock<std::recursive_mutex> lock;
  if (plug) lock = std::unique_lock<std::recursive_mutex>(plug->Mutex());
  if (mText == text) return;
  MarkDirty(false);
  mText.assign(text);
}
