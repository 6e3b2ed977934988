// An invisible area over the title plate that opens the maker's product page
// in the default browser.
//
// Threads: user-interface thread.
#pragma once

#include "editor/IControl.h"

class IURLOpen : public IControl {
public:
  IURLOpen(IPlugBase* plug, const Rect& rect) : IControl(plug, rect) {}

  // Any button: the maker's web host, a slash and the plug-in's name.
  void MouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics*) override { return true; }

  static constexpr const char* kMakerHost = "https://www.daskery.com";
};
