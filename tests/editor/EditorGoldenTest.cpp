// The whole editor as a user sees it: the plug-in in-process with the
// "Master - Dynamic" preset processes a minute of music-like audio with the
// transport playing; the mouse rests on the Out Limit knob and the Window
// knob's popup list is open. The editor is rendered off-screen and compared
// with the reviewed picture golden/editor.png within a small tolerance. Each
// run writes what it drew to editor-out/ in the build folder for a person to
// look at; with QUARV_UPDATE_GOLDEN=1 it replaces the reviewed picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../graphics/GfxTestUtil.h"
#include "editor/PromptPopup.h"
#include "graphics/IGraphicsOffscreen.h"
#include "support/PlugFixture.h"
#include "tools/Signals.h"

using quarvtest::OpenPlug;

namespace {

constexpr int kTolerance = 3;
const MouseMods kRight(false, true);

TEST(EditorGolden, AfterAMinuteOfMusicWithTheWindowListOpen) {
  quarvtest::FakeClockScope clock;
  OpenPlug p(48000.0, 512);
  ASSERT_TRUE(p->RecallPreset(9));
  ASSERT_STREQ(p->GetPresetName(9), "Master - Dynamic");
  p->SetTransport(1);
  p->SetSongPosition(0.0);
  const quarv::StereoBuffer music = quarv::DemoMusic(60.0, 48000.0);
  std::vector<double> outL, outR;
  p.Run(music.left, music.right, outL, outR);

  auto* g = dynamic_cast<IGraphicsOffscreen*>(p->GetGUI());
  ASSERT_NE(g, nullptr);
  g->OnMouseOver(500, 143, MouseMods());  // the Out Limit knob
  g->OnMouseDown(417, 138, kRight);       // the Window knob
  g->OnMouseUp(417, 138, kRight);
  ASSERT_NE(dynamic_cast<PromptPopup*>(g->ActivePopup()), nullptr);
  g->OnMouseOver(417, 150, MouseMods());  // over the list
  // Two ticks: the graph's info line, written while the first one draws,
  // shows from the second on.
  g->Tick();
  g->Tick();
  EXPECT_STREQ(p->mStatusLine->GetText(), "Out Limit: -12.00 lu");
  g->DrawRegion(Rect(0, 0, 600, 490));

  namespace fs = std::filesystem;
  const fs::path golden = fs::path(QUARV_EDITOR_GOLDEN_DIR) / "editor.png";
  const fs::path out = fs::path(QUARV_EDITOR_GOLDEN_OUT) / "editor.png";
  fs::create_directories(out.parent_path());
  ASSERT_TRUE(gfxtest::WritePng(g->GetDrawBitmap(), out.string()));
  const char* update = std::getenv("QUARV_UPDATE_GOLDEN");
  if (update && update[0] == '1') {
    ASSERT_TRUE(gfxtest::WritePng(g->GetDrawBitmap(), golden.string()));
    return;
  }
  const std::unique_ptr<LICE_MemBitmap> expected = gfxtest::ReadPng(golden.string());
  ASSERT_TRUE(expected) << "no reviewed picture " << golden << "; look at " << out;
  int over = 0;
  const int worst = gfxtest::CompareBitmaps(g->GetDrawBitmap(), expected.get(), kTolerance, &over);
  EXPECT_EQ(over, 0) << over << " pixels differ by up to " << worst << "; compare " << out << " with " << golden;
}

}  // namespace
