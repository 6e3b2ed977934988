// What the host prints: the report after a render (one file, or a table of
// several), the check against a delivery target, the exit status, and the
// two lists, as aligned text for people or as JSON for scripts.
//
// Any thread, one stream at a time; allocates.
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
  std::string chart;         // empty when none was drawn
  std::string editorPicture; // empty when the editor was not opened
  bool allowClipping = false;
  std::optional<DeliveryTarget> target;
};

// Exit statuses: a clipped PCM result (unless allowed) and a missed target
// are told apart from errors; a missed target outranks clipping.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitClipped = 2;
inline constexpr int kExitTargetMissed = 3;

// A result against a delivery target: the integrated loudness and the true
// peak as the report shows them (two decimals) against the target.
struct TargetCheck {
  bool pass = false;
  std::vector<std::string> reasons;  // why it fails
};
TargetCheck CheckTarget(const DeliveryTarget& target, const StreamFigures& result);

// The exit status of one rendered file.
int ExitStatus(const ReportData& r);

// Input seconds per wall-clock second; 0 when too fast to time.
double RealTimeFactor(const ReportData& r);

void PrintReport(std::FILE* out, const ReportData& r);
void PrintReportJson(std::FILE* out, const ReportData& r);

// Several files rendered in one call, in the order given: a report, the
// reason the file failed, or why it was skipped (no failure).
struct FileOutcome {
  std::string input;
  bool ok = false;
  std::string error;
  std::string skipped;
  ReportData report;
};
// The settings all files share (from header: module, preset, parameters,
// processing, transport, state) and one table row per file, or one JSON
// array of the files' reports ({"input": {"path": ...}, "error": ...} for a
// failed file, "skipped" instead of "error" for a skipped one). wallSeconds
// is the whole run's.
void PrintBatchReport(std::FILE* out, const ReportData& header, const std::vector<FileOutcome>& files,
                      double wallSeconds);
void PrintBatchJson(std::FILE* out, const std::vector<FileOutcome>& files);
// kExitError when any file failed, else the highest-ranking status of the
// rendered files (skipped files count for nothing).
int BatchExitStatus(const std::vector<FileOutcome>& files);
// The programs, the parameters or both (null for a list not asked for); as
// JSON one object with a "presets" and a "parameters" array.
void PrintLists(std::FILE* out, const std::vector<ProgramEntry>* programs, const std::vector<ParamEntry>* params,
                bool json);

// A JSON string literal for text (quotes, escapes, control characters).
std::string JsonString(const std::string& text);

}  // namespace quarv::render
