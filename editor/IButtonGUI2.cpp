// The reset button's hint. It writes the plug-in's status line, so it is
// compiled with the engine for each binding.
#include "editor/IButton.h"
#include "editor/GRAPH.h"
#include "engine/Quarvelline.h"

void IButtonGUI2::MouseOver(int x, int y, const MouseMods& mods) {
  if (quarv) quarv->SetStatusText("Click to reset all data");
  IButtonGUI::MouseOver(x, y, mods);
}

void IButtonGUI2::MouseUp(int x, int y, const MouseMods& mods) {
  if (quarv && quarv->mGraph && target && quarv->mGraph->lastResetFlag != *target) {
    quarv->mGraph->lastResetFlag = *target;
  }
  IButtonGUI::MouseUp(x, y, mods);
}
