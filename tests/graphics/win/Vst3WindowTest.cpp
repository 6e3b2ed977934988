// The VST 3 bundle's editor view in a host window: attached with "HWND" it
// opens the editor as a child of that window; removed, it closes it.
#include <gtest/gtest.h>

#include <string>

#include "tools/host/Vst3Plugin.h"
#include "graphics/win/Win32.h"

using namespace Steinberg;

TEST(Vst3WindowLayer, TheEditorOpensInTheHostsWindow) {
  std::string error;
  auto p = quarv::host::Vst3Plugin::Load(QUARV_VST3_BUNDLE, &error);
  ASSERT_TRUE(p) << error;
  IPlugView* view = p->Controller()->createView("editor");
  ASSERT_TRUE(view);
  HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 600, nullptr, nullptr,
                            nullptr, nullptr);
  ASSERT_TRUE(host);
  ASSERT_EQ(view->attached(host, "HWND"), kResultOk);
  HWND editor = FindWindowExA(host, nullptr, "IPlugWndClass", nullptr);
  ASSERT_TRUE(editor);
  RECT r;
  GetClientRect(editor, &r);
  EXPECT_EQ(r.right, 600);
  EXPECT_EQ(r.bottom, 490);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(view->release(), 0u);
  DestroyWindow(host);
}
