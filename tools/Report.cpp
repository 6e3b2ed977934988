#include "tools/Report.h"

#include <cinttypes>
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

void PrintReport(std::FILE* out, const ReportData& r) {
  const RenderResult& x = r.result;
  std::fprintf(out, "module:    %s (%s: \"%s\" by %s, version %d)\n", r.module.path.c_str(), r.module.format.c_str(),
               r.module.name.c_str(), r.module.vendor.c_str(), r.module.version);
  std::fprintf(out, "input:     %s\n", r.input.c_str());
  std::fprintf(out, "output:    %s (%s WAV)\n", r.output.c_str(), r.outputFormat.c_str());
  std::fprintf(out, "frames:    %" PRId64 " (%.3f s) at %d Hz, %s\n", x.frames, InputSeconds(r), r.sampleRate,
               r.channels == 1 ? "mono" : "stereo");
  std::fprintf(out, "preset:    \"%s\" (slot %d)\n", r.programName.c_str(), r.programIndex);
  std::string settings;
  for (const ParamEntry& p : r.params) {
    settings += (settings.empty() ? "" : ", ") + p.name + " " + p.display + (p.label.empty() ? "" : " " + p.label);
  }
  std::fprintf(out, "settings:  %s\n", settings.c_str());
  std::fprintf(out, "processing: %s precision, blocks of %d frames\n", PrecisionName(r.precision), r.block);
  std::fprintf(out, "transport: %s\n", TransportText(r).c_str());
  if (r.delayFrames > 0) std::fprintf(out, "look-ahead delay: %d frames, compensated\n", r.delayFrames);
  if (!r.loadedState.empty()) std::fprintf(out, "state loaded from: %s\n", r.loadedState.c_str());
  if (!r.savedState.empty()) std::fprintf(out, "state saved to:    %s\n", r.savedState.c_str());
  std::fprintf(out, "%-28s %-15s %s\n", "", "input", "output");
  std::fprintf(out, "%-28s %-15s %s\n", "integrated loudness:", Lufs(x.input.integratedLufs).c_str(),
               Lufs(x.output.integratedLufs).c_str());
  std::fprintf(out, "%-28s %-15s %s\n", "maximum momentary loudness:", Lufs(x.input.maxMomentaryLufs).c_str(),
               Lufs(x.output.maxMomentaryLufs).c_str());
  char in[32], outRange[32];
  std::snprintf(in, sizeof in, "%.1f LU", x.input.rangeLu);
  std::snprintf(outRange, sizeof outRange, "%.1f LU", x.output.rangeLu);
  std::fprintf(out, "%-28s %-15s %s\n", "loudness range:", in, outRange);
  if (x.reduction.db) {
    std::fprintf(out, "largest gain reduction:      %.2f dB (400-ms window ending at %.1f s)\n", *x.reduction.db,
                 x.reduction.atSeconds);
  } else {
    std::fprintf(out, "largest gain reduction:      - - -\n");
  }
  std::fprintf(out, "real-time factor:            %.0fx (%.3f s)\n", RealTimeFactor(r), r.wallSeconds);
}

void PrintReportJson(std::FILE* out, const ReportData& r) {
  const RenderResult& x = r.result;
  Json j;
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
    j.EndObject();
  }
  j.Key("largest_gain_reduction_db").Number(x.reduction.db);
  j.Key("largest_gain_reduction_at_seconds").Number(x.reduction.db ? std::optional<double>(x.reduction.atSeconds)
                                                                   : std::nullopt);
  j.EndObject();
  j.Key("render_seconds").Number(r.wallSeconds);
  j.Key("real_time_factor").Number(RealTimeFactor(r));
  j.EndObject();
  std::fprintf(out, "%s\n", j.Text().c_str());
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
