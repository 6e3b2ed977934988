#include "tools/Report.h"

#include <cinttypes>
#include <algorithm>
#include <cmath>
#include <optional>

namespace quarv::render {
namespace {

// Builds indented JSON; values that are not finite numbers become null.
class Json {
public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  Json& Key(const std::string& key) {
    Separate();
    mText += JsonString(key) + ": ";
    mAfterKey = true;
    return *this;
  }
  void String(const std::string& s) { Value(JsonString(s)); }
  void Bool(bool b) { Value(b ? "true" : "false"); }
  void Int(int64_t v) { Value(std::to_string(v)); }
  void Number(double v) {
    if (!std::isfinite(v)) {
      Value("null");
      return;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    Value(buf);
  }
  void Number(const std::optional<double>& v) {
    if (v) {
      Number(*v);
    } else {
      Value("null");
    }
  }
  void Null() { Value("null"); }
  void NullOrString(const std::string& s) {
    if (s.empty()) {
      Value("null");
    } else {
      String(s);
    }
  }
  const std::string& Text() const { return mText; }

private:
  void Separate() {
    if (mAfterKey) return;
    if (!mFirst.empty()) {
      if (!mFirst.back()) mText += ",";
      mFirst.back() = false;
      mText += "\n" + std::string(2 * mFirst.size(), ' ');
    }
  }
  void Value(const std::string& v) {
    Separate();
    mText += v;
    mAfterKey = false;
  }
  void Open(char c) {
    Separate();
    mText += c;
    mAfterKey = false;
    mFirst.push_back(true);
  }
  void Close(char c) {
    const bool empty = mFirst.back();
    mFirst.pop_back();
    if (!empty) mText += "\n" + std::string(2 * mFirst.size(), ' ');
    mText += c;
  }

  std::string mText;
  std::vector<bool> mFirst;  // per open level: nothing written in it yet
  bool mAfterKey = false;
};

std::string Lufs(const std::optional<double>& v) {
  if (!v) return "- - -";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f LUFS", *v);
  return buf;
}

std::string Db(const std::optional<double>& v, const char* unit, int decimals = 2) {
  if (!v) return "- - -";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f %s", decimals, *v, unit);
  return buf;
}

// Peak-to-loudness ratio: the true peak over the integrated loudness.
std::optional<double> Plr(const StreamFigures& f) {
  if (!f.truePeakDb || !f.integratedLufs) return std::nullopt;
  return *f.truePeakDb - *f.integratedLufs;
}

// Two decimals, as the report shows a value.
double Shown(double v) { return std::round(v * 100.0) / 100.0; }

std::string TargetText(const DeliveryTarget& t) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.1f LUFS (within %.1f LU)", t.lufs, kTargetToleranceLu);
  std::string text = buf;
  if (t.truePeakDb) {
    std::snprintf(buf, sizeof buf, ", true peak at most %.1f dBTP", *t.truePeakDb);
    text += buf;
  }
  return text;
}

bool Clipped(const ReportData& r) { return r.result.clipping.counted && r.result.clipping.samples > 0; }

std::string ClippingText(const ReportData& r) {
  const Clipping& c = r.result.clipping;
  if (!c.counted) return "not counted (a " + r.outputFormat + " result holds values beyond full scale)";
  if (c.samples == 0) return "none";
  char buf[160];
  std::snprintf(buf, sizeof buf, "%" PRId64 " in the %s result, the first at %.3f s (frame %" PRId64 ", %s)%s",
                c.samples, r.outputFormat.c_str(), r.sampleRate > 0 ? static_cast<double>(c.firstFrame) / r.sampleRate : 0.0,
                c.firstFrame, r.channels == 1 ? "mono" : c.firstChannel == 0 ? "left" : "right",
                r.allowClipping ? "; allowed" : "");
  return buf;
}

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f s", s);
  return buf;
}

const char* KindName(TransportEvent::Kind k) {
  switch (k) {
    case TransportEvent::Kind::kStop:
      return "stop";
    case TransportEvent::Kind::kPlay:
      return "play";
    case TransportEvent::Kind::kLocate:
      return "locate";
  }
  return "";
}

std::string TransportText(const ReportData& r) {
  std::string t = std::string(r.stopped ? "stopped at " : "playing from ") + Seconds(r.startSeconds);
  for (const TransportEvent& e : r.events) {
    t += "; at " + Seconds(e.atSeconds) + " " + KindName(e.kind);
    if (e.kind == TransportEvent::Kind::kLocate) t += " to " + Seconds(e.toSeconds);
  }
  return t;
}

const char* PrecisionName(host::Precision p) { return p == host::Precision::kDouble ? "double" : "single"; }

double InputSeconds(const ReportData& r) {
  return r.sampleRate > 0 ? static_cast<double>(r.result.frames) / r.sampleRate : 0.0;
}

void WriteParams(Json& j, const std::vector<ParamEntry>& params) {
  j.Key("parameters").BeginArray();
  for (const ParamEntry& p : params) {
    j.BeginObject();
    j.Key("index").Int(p.index);
    j.Key("name").String(p.name);
    j.Key("display").String(p.display);
    j.Key("label").String(p.label);
    j.EndObject();
  }
  j.EndArray();
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

double RealTimeFactor(const ReportData& r) {
  return r.wallSeconds > 0.0 ? InputSeconds(r) / r.wallSeconds : 0.0;
}

namespace {

void PrintSettings(std::FILE* out, const ReportData& r) {
  std::fprintf(out, "preset:    \"%s\" (slot %d)\n", r.programName.c_str(), r.programIndex);
  std::string settings;
  for (const ParamEntry& p : r.params) {
    settings += (settings.empty() ? "" : ", ") + p.name + " " + p.display + (p.label.empty() ? "" : " " + p.label);
  }
  std::fprintf(out, "settings:  %s\n", settings.c_str());
  std::fprintf(out, "processing: %s precision, blocks of %d frames\n", PrecisionName(r.precision), r.block);
  std::fprintf(out, "transport: %s\n", TransportText(r).c_str());
}

void PrintModule(std::FILE* out, const ReportData& r) {
  std::fprintf(out, "module:    %s (%s: \"%s\" by %s, version %d)\n", r.module.path.c_str(), r.module.format.c_str(),
               r.module.name.c_str(), r.module.vendor.c_str(), r.module.version);
}

void PrintTargetLine(std::FILE* out, const DeliveryTarget& target, bool pass, const std::string& why) {
  std::fprintf(out, "target:    %s: %s%s\n", TargetText(target).c_str(), pass ? "pass" : "FAIL",
               why.empty() ? "" : (" (" + why + ")").c_str());
}

}  // namespace

TargetCheck CheckTarget(const DeliveryTarget& target, const StreamFigures& result) {
  TargetCheck c;
  char buf[128];
  if (!result.integratedLufs) {
    c.reasons.push_back("no integrated loudness");
  } else {
    const double off = Shown(*result.integratedLufs) - target.lufs;
    if (std::fabs(off) > kTargetToleranceLu + 1e-9) {
      std::snprintf(buf, sizeof buf, "integrated %.2f LUFS is %.2f LU %s", Shown(*result.integratedLufs),
                    std::fabs(off), off > 0.0 ? "over" : "under");
      c.reasons.push_back(buf);
    }
  }
  if (target.truePeakDb && result.truePeakDb && Shown(*result.truePeakDb) > *target.truePeakDb + 1e-9) {
    std::snprintf(buf, sizeof buf, "true peak %.2f dBTP is over %.1f dBTP", Shown(*result.truePeakDb),
                  *target.truePeakDb);
    c.reasons.push_back(buf);
  }
  c.pass = c.reasons.empty();
  return c;
}

int ExitStatus(const ReportData& r) {
  if (r.target && !CheckTarget(*r.target, r.result.output).pass) return kExitTargetMissed;
  if (Clipped(r) && !r.allowClipping) return kExitClipped;
  return kExitOk;
}

void PrintReport(std::FILE* out, const ReportData& r) {
  const RenderResult& x = r.result;
  PrintModule(out, r);
  std::fprintf(out, "input:     %s\n", r.input.c_str());
  std::fprintf(out, "output:    %s (%s WAV)\n", r.output.c_str(), r.outputFormat.c_str());
  std::fprintf(out, "frames:    %" PRId64 " (%.3f s) at %d Hz, %s\n", x.frames, InputSeconds(r), r.sampleRate,
               r.channels == 1 ? "mono" : "stereo");
  PrintSettings(out, r);
  if (r.delayFrames > 0) std::fprintf(out, "look-ahead delay: %d frames, compensated\n", r.delayFrames);
  if (!r.loadedState.empty()) std::fprintf(out, "state loaded from: %s\n", r.loadedState.c_str());
  if (!r.savedState.empty()) std::fprintf(out, "state saved to:    %s\n", r.savedState.c_str());
  auto row = [&](const char* name, const std::string& in, const std::string& res) {
    std::fprintf(out, "%-28s %-15s %s\n", name, in.c_str(), res.c_str());
  };
  row("", "input", "output");
  row("integrated loudness:", Lufs(x.input.integratedLufs), Lufs(x.output.integratedLufs));
  row("maximum momentary loudness:", Lufs(x.input.maxMomentaryLufs), Lufs(x.output.maxMomentaryLufs));
  row("loudness range:", Db(x.input.rangeLu, "LU", 1), Db(x.output.rangeLu, "LU", 1));
  row("sample peak:", Db(x.input.samplePeakDb, "dBFS"), Db(x.output.samplePeakDb, "dBFS"));
  row("true peak:", Db(x.input.truePeakDb, "dBTP"), Db(x.output.truePeakDb, "dBTP"));
  row("peak-to-loudness ratio:", Db(Plr(x.input), "LU"), Db(Plr(x.output), "LU"));
  if (x.reduction.db) {
    std::fprintf(out, "largest gain reduction:      %.2f dB (400-ms window ending at %.1f s)\n", *x.reduction.db,
                 x.reduction.atSeconds);
  } else {
    std::fprintf(out, "largest gain reduction:      - - -\n");
  }
  std::fprintf(out, "clipped samples:             %s\n", ClippingText(r).c_str());
  if (!r.chart.empty()) std::fprintf(out, "chart:                       %s\n", r.chart.c_str());
  if (!r.editorPicture.empty()) std::fprintf(out, "editor picture:              %s\n", r.editorPicture.c_str());
  std::fprintf(out, "real-time factor:            %.0fx (%.3f s)\n", RealTimeFactor(r), r.wallSeconds);
  if (r.target) {
    const TargetCheck c = CheckTarget(*r.target, x.output);
    std::string why;
    for (const std::string& reason : c.reasons) why += (why.empty() ? "" : "; ") + reason;
    PrintTargetLine(out, *r.target, c.pass, why);
  }
}

namespace {

void WriteReport(Json& j, const ReportData& r) {
  const RenderResult& x = r.result;
  j.BeginObject();
  j.Key("module").BeginObject();
  j.Key("path").String(r.module.path);
  j.Key("format").String(r.module.format);
  j.Key("name").String(r.module.name);
  j.Key("vendor").String(r.module.vendor);
  j.Key("version").Int(r.module.version);
  j.Key("has_editor").Bool(r.module.hasEditor);
  j.EndObject();
  j.Key("input").BeginObject();
  j.Key("path").String(r.input);
  j.Key("frames").Int(x.frames);
  j.Key("seconds").Number(InputSeconds(r));
  j.Key("sample_rate").Int(r.sampleRate);
  j.Key("channels").Int(r.channels);
  j.EndObject();
  j.Key("output").BeginObject();
  j.Key("path").String(r.output);
  j.Key("format").String(r.outputFormat);
  j.EndObject();
  j.Key("preset").BeginObject();
  j.Key("index").Int(r.programIndex);
  j.Key("name").String(r.programName);
  j.EndObject();
  WriteParams(j, r.params);
  j.Key("processing").BeginObject();
  j.Key("precision").String(PrecisionName(r.precision));
  j.Key("block").Int(r.block);
  j.Key("delay_frames").Int(r.delayFrames);
  j.EndObject();
  j.Key("transport").BeginObject();
  j.Key("playing").Bool(!r.stopped);
  j.Key("start_seconds").Number(r.startSeconds);
  j.Key("events").BeginArray();
  for (const TransportEvent& e : r.events) {
    j.BeginObject();
    j.Key("at_seconds").Number(e.atSeconds);
    j.Key("action").String(KindName(e.kind));
    if (e.kind == TransportEvent::Kind::kLocate) j.Key("to_seconds").Number(e.toSeconds);
    j.EndObject();
  }
  j.EndArray();
  j.EndObject();
  j.Key("state").BeginObject();
  j.Key("loaded_from").NullOrString(r.loadedState);
  j.Key("saved_to").NullOrString(r.savedState);
  j.EndObject();
  j.Key("loudness").BeginObject();
  for (const auto& [name, f] : {std::pair<const char*, const StreamFigures&>{"input", x.input}, {"output", x.output}}) {
    j.Key(name).BeginObject();
    j.Key("integrated_lufs").Number(f.integratedLufs);
    j.Key("max_momentary_lufs").Number(f.maxMomentaryLufs);
    j.Key("range_lu").Number(f.rangeLu);
    j.Key("sample_peak_dbfs").Number(f.samplePeakDb);
    j.Key("true_peak_dbtp").Number(f.truePeakDb);
    j.Key("plr_lu").Number(Plr(f));
    j.EndObject();
  }
  j.Key("largest_gain_reduction_db").Number(x.reduction.db);
  j.Key("largest_gain_reduction_at_seconds").Number(x.reduction.db ? std::optional<double>(x.reduction.atSeconds)
                                                                   : std::nullopt);
  j.EndObject();
  const Clipping& c = x.clipping;
  j.Key("clipping").BeginObject();
  j.Key("counted").Bool(c.counted);
  j.Key("samples").Int(c.samples);
  const bool any = c.firstFrame >= 0;
  j.Key("first_frame").Number(any ? std::optional<double>(static_cast<double>(c.firstFrame)) : std::nullopt);
  j.Key("first_seconds").Number(any && r.sampleRate > 0
                                    ? std::optional<double>(static_cast<double>(c.firstFrame) / r.sampleRate)
                                    : std::nullopt);
  j.Key("first_channel").Number(any ? std::optional<double>(c.firstChannel) : std::nullopt);
  j.Key("allowed").Bool(r.allowClipping);
  j.EndObject();
  j.Key("chart").NullOrString(r.chart);
  j.Key("editor_png").NullOrString(r.editorPicture);
  if (r.target) {
    const TargetCheck check = CheckTarget(*r.target, x.output);
    j.Key("target").BeginObject();
    j.Key("integrated_lufs").Number(r.target->lufs);
    j.Key("tolerance_lu").Number(kTargetToleranceLu);
    j.Key("true_peak_dbtp").Number(r.target->truePeakDb);
    j.Key("pass").Bool(check.pass);
    j.Key("reasons").BeginArray();
    for (const std::string& reason : check.reasons) j.String(reason);
    j.EndArray();
    j.EndObject();
  } else {
    j.Key("target").Null();
  }
  j.Key("render_seconds").Number(r.wallSeconds);
  j.Key("real_time_factor").Number(RealTimeFactor(r));
  j.Key("exit_status").Int(ExitStatus(r));
  j.EndObject();
}

}  // namespace

void PrintReportJson(std::FILE* out, const ReportData& r) {
  Json j;
  WriteReport(j, r);
  std::fprintf(out, "%s\n", j.Text().c_str());
}

void PrintBatchJson(std::FILE* out, const std::vector<FileOutcome>& files) {
  Json j;
  j.BeginArray();
  for (const FileOutcome& f : files) {
    if (f.ok) {
      WriteReport(j, f.report);
      continue;
    }
    const bool skipped = !f.skipped.empty();
    j.BeginObject();
    j.Key("input").BeginObject();
    j.Key("path").String(f.input);
    j.EndObject();
    j.Key(skipped ? "skipped" : "error").String(skipped ? f.skipped : f.error);
    j.Key("exit_status").Int(skipped ? kExitOk : kExitError);
    j.EndObject();
  }
  j.EndArray();
  std::fprintf(out, "%s\n", j.Text().c_str());
}

int BatchExitStatus(const std::vector<FileOutcome>& files) {
  int status = kExitOk;
  for (const FileOutcome& f : files) {
    if (!f.skipped.empty()) continue;
    if (!f.ok) return kExitError;
    // The statuses rank as their numbers: a missed target over clipping.
    status = std::max(status, ExitStatus(f.report));
  }
  return status;
}

void PrintBatchReport(std::FILE* out, const ReportData& header, const std::vector<FileOutcome>& files,
                      double wallSeconds) {
  PrintModule(out, header);
  PrintSettings(out, header);
  if (!header.loadedState.empty()) std::fprintf(out, "state loaded from: %s\n", header.loadedState.c_str());
  size_t nameWidth = 4;
  for (const FileOutcome& f : files) nameWidth = std::max(nameWidth, f.input.size());
  const int w = static_cast<int>(nameWidth);
  std::fprintf(out, "\n%-*s  %9s %9s %9s %9s %8s %8s %8s%s\n", w, "file", "LUFS in", "LUFS out", "dBTP in", "dBTP out",
               "PLR out", "GR dB", "clipped", header.target ? "  target" : "");
  auto number = [](const std::optional<double>& v) {
    char buf[32];
    if (!v) return std::string("- - -");
    std::snprintf(buf, sizeof buf, "%.2f", *v);
    return std::string(buf);
  };
  int rendered = 0, skipped = 0, failed = 0, missed = 0, clippedFiles = 0;
  double audioSeconds = 0.0;
  for (const FileOutcome& f : files) {
    if (!f.skipped.empty()) {
      ++skipped;
      std::fprintf(out, "%-*s  skipped: %s\n", w, f.input.c_str(), f.skipped.c_str());
      continue;
    }
    if (!f.ok) {
      ++failed;
      std::fprintf(out, "%-*s  failed: %s\n", w, f.input.c_str(), f.error.c_str());
      continue;
    }
    ++rendered;
    const ReportData& r = f.report;
    const RenderResult& x = r.result;
    audioSeconds += InputSeconds(r);
    std::string clipped = x.clipping.counted ? std::to_string(x.clipping.samples) : "- - -";
    if (Clipped(r)) ++clippedFiles;
    std::string target;
    if (r.target) {
      const bool pass = CheckTarget(*r.target, x.output).pass;
      if (!pass) ++missed;
      target = pass ? "  pass" : "  FAIL";
    }
    std::fprintf(out, "%-*s  %9s %9s %9s %9s %8s %8s %8s%s\n", w, f.input.c_str(),
                 number(x.input.integratedLufs).c_str(), number(x.output.integratedLufs).c_str(),
                 number(x.input.truePeakDb).c_str(), number(x.output.truePeakDb).c_str(), number(Plr(x.output)).c_str(),
                 number(x.reduction.db).c_str(), clipped.c_str(), target.c_str());
  }
  std::fprintf(out, "\nfiles:     %zu: %d rendered, %d skipped, %d failed; %d with clipped samples%s\n", files.size(),
               rendered, skipped, failed, clippedFiles, header.allowClipping && clippedFiles > 0 ? " (allowed)" : "");
  std::fprintf(out, "real-time factor: %.0fx (%.1f s of audio in %.3f s)\n",
               wallSeconds > 0.0 ? audioSeconds / wallSeconds : 0.0, audioSeconds, wallSeconds);
  if (header.target) {
    char why[96] = "";
    if (missed > 0 || failed > 0) {
      std::snprintf(why, sizeof why, "%d of %d files miss it%s", missed + failed, rendered + failed,
                    failed > 0 ? (", " + std::to_string(failed) + " of them not rendered").c_str() : "");
    }
    PrintTargetLine(out, *header.target, missed == 0 && failed == 0, why);
  }
}

void PrintLists(std::FILE* out, const std::vector<ProgramEntry>* programs, const std::vector<ParamEntry>* params,
                bool json) {
  if (json) {
    Json j;
    j.BeginObject();
    if (programs) {
      j.Key("presets").BeginArray();
      for (const ProgramEntry& p : *programs) {
        j.BeginObject();
        j.Key("index").Int(p.index);
        j.Key("name").NullOrString(p.name);
        j.EndObject();
      }
      j.EndArray();
    }
    if (params) WriteParams(j, *params);
    j.EndObject();
    std::fprintf(out, "%s\n", j.Text().c_str());
    return;
  }
  if (programs) {
    std::fprintf(out, "Preset slots (use --preset INDEX or --preset NAME):\n");
    for (const ProgramEntry& p : *programs) {
      std::fprintf(out, "  %2d  %s\n", p.index, p.name.empty() ? "(empty)" : p.name.c_str());
    }
  }
  if (params) {
    std::fprintf(out, "Parameters (use --set \"Name=value\"):\n");
    for (const ParamEntry& p : *params) {
      const std::string value = p.label.empty() ? p.display : p.display + " " + p.label;
      std::fprintf(out, "  %2d  %-20s %s\n", p.index, p.name.c_str(), value.c_str());
    }
  }
}

}  // namespace quarv::render
