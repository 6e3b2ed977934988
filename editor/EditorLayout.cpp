// Builds the editor of the plug-in: a 600 x 490 graphics object from the
// binding's platform, the background and the controls in drawing order. The
// plug-in keeps pointers to the status line, the info line, the attenuation
// label, the graph and the reset button, which the engine writes to whether
// or not the editor window is open.
#include "editor/GRAPH.h"
#include "editor/IButton.h"
#include "editor/IKnobControl.h"
#include "editor/ISliderImg.h"
#include "editor/ITextControl.h"
#include "editor/IURLOpen.h"
#include "engine/Quarvelline.h"
#include "graphics/IGraphics.h"

namespace {

const TextStyle kVersionStyle("Verdana", 13, Colour(100, 255, 255, 255), 0, TextStyle::kAlignLeft);
const TextStyle kKnobStyle("Arial", 16, Colour(255, 255, 255, 255), 0, TextStyle::kAlignCentre);
const TextStyle kSliderStyle("Arial", 0, Colour(255, 255, 255, 255), 0, TextStyle::kAlignCentre);
const TextStyle kStatusStyle("Arial", 14, Colour(220, 255, 255, 255), 0, TextStyle::kAlignCentre);

constexpr float kDim = 0.2f;

struct KnobPlace {
  int param;
  int image;  // index into the four knob images
  int x, y;
};
constexpr KnobPlace kKnobs[] = {
    {kInputGain, 0, 100, 143}, {kLookAhead, 1, 183, 138}, {kAttack, 1, 261, 138},
    {kRelease, 1, 339, 138},   {kWindow, 2, 417, 138},    {kOutLimit, 3, 500, 143},
};

}  // namespace

const Rect CLS_QUARVELLINE::kGraphRect(8, 228, 588, 474);

void CLS_QUARVELLINE::BuildEditor() {
  IGraphics* g = MakeGraphics(kEditorWidth, kEditorHeight, 0);
  if (!g) return;
  g->AttachBackground(100, "img/bg.png");

  char version[32];
  GetVersionStr(version, sizeof version);
  g->AttachControl(new ITextControl(this, Rect(50, 12, 95, 30), kVersionStyle, version));
  g->AttachControl(new IURLOpen(this, Rect(200, 6, 400, 53)));

  // Each knob image holds the pointer mark (left) and the body (right).
  static const char* const kKnobNames[] = {"img/knob.png", "img/knob2.png", "img/knob3.png", "img/knob4.png"};
  BitmapRef bodies[4];
  for (int i = 0; i < 4; ++i) {
    bodies[i] = g->LoadBitmap(101 + i, kKnobNames[i], 1);
    g->SplitBitmap(bodies[i], 0.5f);
  }
  for (const KnobPlace& k : kKnobs) {
    const BitmapRef& body = bodies[k.image];
    const Rect r = IKnobRotVal::RectFor(body, k.x, k.y, 4, kKnobStyle.size);
    g->AttachControl(new IKnobRotVal(this, r, k.param, kKnobStyle, body, k.x, k.y, 4, 300, kDim));
  }

  // Reset on play lights while the parameter is off.
  g->AttachControl(new IButton(this, 35, 205, kResetOnPlay, g->LoadBitmap(105, "img/lock.png", 1), true, kDim));
  auto* reset = new IButtonGUI2(this, &mResetToggle, 57, 205, g->LoadBitmap(106, "img/reset.png", 1), true, kDim);
  reset->quarv = this;
  mResetButton = reset;
  g->AttachControl(reset);
  g->AttachControl(new IButton(this, 83, 204, kGraphWhenPlay, g->LoadBitmap(108, "img/when_play.png", 1), false, kDim));
  g->AttachControl(new ISliderImg(this, kAttenuationTarget, Rect(114, 199, 292, 219),
                                  g->LoadBitmap(107, "img/target.png", 1), kSliderStyle, 178, 1, kDim));

  mStatusLine = new ITextControl(this, Rect(175, 58, 425, 78), kStatusStyle, "");
  g->AttachControl(mStatusLine);
  mAttenLabel = new cntrLabel(this, Rect(302, 212, 400, 228));
  mAttenLabel->quarv = this;
  g->AttachControl(mAttenLabel);
  mInfoLine = new ITextControl(this, Rect(400, 212, 588, 228), kStatusStyle, "");
  g->AttachControl(mInfoLine);
  mGraph = new GRAPH(this, kGraphRect);
  g->AttachControl(mGraph);
  mGraph->SetPlug(this);

  g->alwaysRedrawRect = kGraphRect;
  AttachGraphics(g);
  g->mouseOverEnabled = true;
}
