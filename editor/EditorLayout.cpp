// Builds the editor of the plug-in: a 600 x 490 graphics object and its
// controls in drawing order. The plug-in keeps pointers to the text lines, the
// attenuation label and the graph, which the engine writes to whether or not
// the editor window is open.
#include "editor/GRAPH.h"
#include "editor/ITextControl.h"
#include "engine/Quarvelline.h"
#include "graphics/IGraphicsOffscreen.h"

namespace {

const TextStyle kVersionStyle("Verdana", 13, Colour(100, 255, 255, 255), 0, TextStyle::kAlignLeft);
const TextStyle kStatusStyle("Arial", 14, Colour(220, 255, 255, 255), 0, TextStyle::kAlignCentre);

}  // namespace

void CLS_QUARVELLINE::BuildEditor() {
  IGraphics* g = new IGraphicsOffscreen(this, 600, 490, 0);

  char version[32];
  GetVersionStr(version, sizeof version);
  g->AttachControl(new ITextControl(this, Rect(50, 12, 95, 30), kVersionStyle, version));

  mStatusLine = new ITextControl(this, Rect(175, 58, 425, 78), kStatusStyle, "");
  g->AttachControl(mStatusLine);

  mAttenLabel = new cntrLabel(this, Rect(302, 212, 400, 228));
  mAttenLabel->quarv = this;
  g->AttachControl(mAttenLabel);

  mInfoLine = new ITextControl(this, Rect(400, 212, 588, 228), kStatusStyle, "");
  g->AttachControl(mInfoLine);

  mGraph = new GRAPH(this, Rect(8, 228, 588, 474));
  g->AttachControl(mGraph);
  mGraph->SetPlug(this);

  g->alwaysRedrawRect = Rect(8, 228, 588, 474);
  AttachGraphics(g);
  g->mouseOverEnabled = true;
}
