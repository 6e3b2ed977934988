#include "editor/IURLOpen.h"

#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "graphics/IGraphics.h"

void IURLOpen::MouseDown(int, int, const MouseMods&) {
  if (!graphics || !plug) return;
  char url[256];
  quarv::FormatC(url, sizeof url, "%s/%s", kMakerHost, plug->GetEffectName());
  graphics->OpenWebPage(url, plug->GetEffectName(), nullptr, "Cannot open url. Check your default browser.");
}
