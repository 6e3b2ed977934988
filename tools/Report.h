// What the host prints: the report after a render and the two lists, as
// aligned text for people or as JSON for scripts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/HostOptions.h"
#include "tools/PluginSetup.h"
#include "tools/Renderer.h"

namespace quarv::render {

struct ReportData {
  struct Module {
    std::string path, format, name, vendor;
    int32_t version = 0;
    bool hasEditor = false;
  } module;
  std::string input, output, outputFormat;
  int sampleRate = 0;
  int channels = 0;
  int programIndex = 0;
  std::string programName;
  std::vector<ParamEntry> params;
  host::Precision precision = host::Precision::kSingle;
  int block = 0;
  bool stopped = false;
  double startSeconds = 0.0;
  std::vector<TransportEvent> events;
  int delayFrames = 0;
  std::string loadedState, savedState;  // empty when none
  RenderResult result;
  double wallSeconds = 0.0;  // opening the input to the last figure
};

// Input seconds per wall-clock second; 0 when too fast to time.
double RealTimeFactor(const ReportData& r);

void PrintReport(std::FILE* out, const ReportData& r);
void PrintReportJson(std::FILE* out, const ReportData& r);
// The programs, the parameters or both (null for a list not asked for); as
// JSON one object with a "presets" and a "parameters" array.
void PrintLists(std::FILE* out, const std::vector<ProgramEntry>* programs, const std::vector<ParamEntry>* params,
                bool json);

// A JSON string literal for text (quotes, escapes, control characters).
std::string JsonString(const std::string& text);

}  // namespace quarv::render
