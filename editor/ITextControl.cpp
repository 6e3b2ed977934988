#include "editor/ITextControl.h"

#include "framework/IPlugBase.h"
#include "graphics/IGraphics.h"

ITextControl::ITextControl(IPlugBase* p, const Rect& r, const TextStyle& style, const char* text)
    : IControl(p, r), mTextStyle(style) {
  mText.reserve(128);
  mText = text ? text : "";
  mDrawText.reserve(128);
}

bool ITextControl::Draw(IGraphics* graphics) {
  {
    auto lock = LockPlugIn(plug);
    mDrawText.assign(mText);
  }
  if (!mDrawText.empty()) graphics->DrawText(mTextStyle, mDrawText.c_str(), rect);
  return true;
}

void ITextControl::SetText(const char* text) {
  if (!text) text = "";
  auto lock = LockPlugIn(plug);
  if (mText == text) return;
  MarkDirty(false);
  mText.assign(text);
}
