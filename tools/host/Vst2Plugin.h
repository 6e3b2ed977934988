// Loads a VST 2.4 module and drives one instance of it the way a DAW does:
// entry point, dispatcher, processing entries, parameters and chunks, with a
// host callback that answers time info from a simulated transport and records
// the automation and edit gestures the plug-in reports.
//
// Threads: one instance is driven from one thread at a time (tests may call
// the processing entries from another thread, as hosts do).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "formats/vst2/VstAbi.h"
#include "tools/host/Transport.h"

namespace quarv::host {

// What the plug-in told the host.
struct HostLog {
  struct Automation {
    int index;
    float value;
  };
  std::vector<Automation> automations;
  std::vector<int> beginEdits;
  std::vector<int> endEdits;
  int updateDisplays = 0;
  int timeQueries = 0;
  int productQueries = 0;
};

class Vst2Plugin {
public:
  // Loads the module and creates an instance (the entry point alone: nothing
  // is opened yet). Returns null with a one-line reason.
  static std::unique_ptr<Vst2Plugin> Load(const std::string& path, std::string* error);
  ~Vst2Plugin();  // closes the instance and unloads the module

  Vst2Plugin(const Vst2Plugin&) = delete;
  Vst2Plugin& operator=(const Vst2Plugin&) = delete;

  AEffect* Effect() const { return mEffect; }
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.f);

  // The usual opening sequence: open, sample rate, block size, mains on.
  void Open(double sampleRate, int blockSize);
  void Suspend() { Dispatch(effMainsChanged, 0, 0); }
  void Resume() { Dispatch(effMainsChanged, 0, 1); }

  // Processing; the transport advances while playing.
  void ProcessReplacing(float** in, float** out, int frames);
  void ProcessAccumulating(float** in, float** out, int frames);
  void ProcessDouble(double** in, double** out, int frames);

  int NumParams() const { return mEffect->numParams; }
  int NumPrograms() const { return mEffect->numPrograms; }
  float GetParameter(int index) const { return mEffect->getParameter(mEffect, index); }
  void SetParameter(int index, float value) { mEffect->setParameter(mEffect, index, value); }
  std::string ParamName(int index);
  std::string ParamLabel(int index);
  std::string ParamDisplay(int index);
  // Index of the parameter with this name (exact), or -1.
  int FindParam(const std::string& name);
  bool SetParamFromText(int index, const std::string& text);
  std::string ProgramName(int index);
  int CurrentProgram() { return static_cast<int>(Dispatch(effGetProgram)); }
  void SetProgram(int index) { Dispatch(effSetProgram, 0, index); }

  // The plug-in's chunk (program or bank), copied out; empty when none.
  std::vector<uint8_t> GetChunk(bool program);
  bool SetChunk(const std::vector<uint8_t>& bytes, bool program);

  Transport transport;
  HostLog log;
  std::string productString = "Quarvelline Host";
  std::string vendorString = "Daskery";
  int32_t vendorVersion = 10000;

private:
  Vst2Plugin() = default;
  static intptr_t VST_CALL HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                        void* ptr, float opt);
  intptr_t Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  void Advance(int frames);

  void* mLibrary = nullptr;
  AEffect* mEffect = nullptr;
  // The plug-in calls back from its audio thread and its editor's thread at
  // once: the log and the transport are read and written under this lock,
  // and each thread gets its own time info to read.
  std::recursive_mutex mHostMutex;
  bool mOpened = false;
};

}  // namespace quarv::host
