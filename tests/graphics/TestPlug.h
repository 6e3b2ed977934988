// A small plug-in base and a recording control for driving the graphics
// engine off-screen.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "framework/IPlugBase.h"
#include "graphics/IGraphics.h"

namespace gfxtest {

using Log = std::vector<std::string>;

// Three parameters: 0 "Gain" -20..20 dB (Double), 1 "Mode" with six display
// texts (Enum), 2 "Time" 0..100 (Double). Records what reaches the host.
class TestPlug : public IPlugBase {
public:
  explicit TestPlug(Log* log)
      : IPlugBase(3, "2-2", 1, "Test", "Test", "Maker", 0x10000, 1234, 5678, 0, 0, false, false, 0),
        log_(log) {
    GetParam(0)->SetupDouble("Gain", 0.0, -20.0, 20.0, 0.1, "dB");
    GetParam(1)->SetupEnum("Mode", 0, 6);
    const char* names[] = {"One", "Two", "Three", "Four", "Five", "Six"};
    for (int i = 0; i < 6; ++i) GetParam(1)->AddDisplayText(i, names[i]);
    GetParam(2)->SetupDouble("Time", 50.0, 0.0, 100.0, 1.0);
  }

  void BeginParamEdit(int idx) override {
    FlushPendingEdit();
    Add("begin", idx);
  }
  void EndParamEdit(int idx) override { Add("end", idx); }
  void ParamHovered(int idx) override { Add("hover", idx); }
  void InformHostOfParamValue(int, double) override {}
  void InformHostOfPresetChange() override {}
  int32_t GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int* n, int* d) override { *n = *d = 4; }
  int GetTransportState() override { return 0; }
  void ResizeEditor() override { Add("resize", 0); }

private:
  void Add(const char* what, int idx) {
    if (log_) log_->push_back(std::string(what) + " " + std::to_string(idx));
  }
  Log* log_;
};

// Writes every call it receives into the log, prefixed with its name.
class Probe : public IControl {
public:
  Probe(const char* name, Log* log, const Rect& r, int paramIdx = -1, IPlugBase* plug = nullptr)
      : IControl(plug, r, paramIdx), name_(name), log_(log) {}
  ~Probe() override { Add("destroyed"); }

  bool Draw(IGraphics*) override {
    Add("draw");
    return true;
  }
  void MouseDown(int x, int y, const MouseMods& m) override {
    Add("down " + std::to_string(x) + "," + std::to_string(y));
    IControl::MouseDown(x, y, m);
  }
  void MouseUp(int x, int y, const MouseMods&) override { Add("up " + std::to_string(x) + "," + std::to_string(y)); }
  void MouseDrag(int x, int y, int dX, int dY, const MouseMods&) override {
    Add("drag " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(dX) + "," + std::to_string(dY));
  }
  void MouseDoubleClick(int x, int y, const MouseMods& m) override {
    Add("dblclick");
    IControl::MouseDoubleClick(x, y, m);
  }
  void MouseWheel(int x, int y, const MouseMods& m, int d) override {
    Add("wheel " + std::to_string(d));
    IControl::MouseWheel(x, y, m, d);
  }
  void KeyDown(int, int, int key) override { Add("key " + std::to_string(key)); }
  void MouseOver(int, int, const MouseMods&) override { Add("over"); }
  void MouseOut() override { Add("out"); }
  void FileDrop(int, int, const char* path) override { Add(std::string("drop ") + path); }
  void PopupChoice(const char* text, int index) override {
    Add(std::string("choice '") + text + "' " + std::to_string(index));
  }

private:
  void Add(const std::string& what) {
    if (log_) log_->push_back(name_ + " " + what);
  }
  std::string name_;
  Log* log_;
};

}  // namespace gfxtest
