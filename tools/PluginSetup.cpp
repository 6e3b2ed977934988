#include "tools/PluginSetup.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace quarv::render {
namespace {

// Lower case without white space: "20 MS" and "20ms" compare equal.
std::string Folded(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (!std::isspace(c)) out.push_back(static_cast<char>(std::tolower(c)));
  }
  return out;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

bool IsIndex(const std::string& s) {
  return !s.empty() && s.size() <= 6 &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A number and whatever follows it, white space removed.
struct Number {
  double value = 0.0;
  std::string unit;
};

std::optional<Number> ReadNumber(const std::string& text) {
  const std::string t = Folded(text);
  const char* begin = t.c_str();
  const char* end = begin + t.size();
  if (begin != end && *begin == '+') ++begin;
  Number n;
  const auto [rest, ec] = std::from_chars(begin, end, n.value);
  if (ec != std::errc() || !std::isfinite(n.value)) return std::nullopt;
  n.unit.assign(rest, end);
  return n;
}

// The value of a display text that is a plain number.
std::optional<double> DisplayNumber(const std::string& display) {
  std::optional<Number> n = ReadNumber(display);
  if (!n || !n->unit.empty()) return std::nullopt;
  return n->value;
}

// Half a unit of the display's last digit: "-16.0" -> 0.05, "800" -> 0.5.
double HalfLastDigit(const std::string& display) {
  const size_t dot = display.find('.');
  int decimals = 0;
  if (dot != std::string::npos) {
    for (size_t i = dot + 1; i < display.size() && std::isdigit(static_cast<unsigned char>(display[i])); ++i) {
      ++decimals;
    }
  }
  return 0.5 * std::pow(10.0, -decimals);
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
  return out;
}

std::string WithLabel(const std::string& display, const std::string& label) {
  return label.empty() ? display : display + " " + label;
}

bool SetFromList(host::HostedPlugin& plug, int idx, const std::vector<std::string>& texts,
                 const std::string& value, const std::string& what, std::string* error) {
  std::string text;
  for (const std::string& t : texts) {
    if (Folded(t) == Folded(value)) {
      text = t;
      break;
    }
  }
  if (text.empty() && IsIndex(value) && std::stoul(value) < texts.size()) text = texts[std::stoul(value)];
  if (text.empty()) {
    *error = what + " (one of: " + Joined(texts) + ")";
    return false;
  }
  const double old = plug.ParamNormalized(idx);
  if (!plug.SetParamFromText(idx, text) || Folded(plug.ParamDisplay(idx)) != Folded(text)) {
    plug.SetParamNormalized(idx, old);
    *error = what + " (the plug-in did not take \"" + text + "\")";
    return false;
  }
  return true;
}

}  // namespace

std::vector<ParamEntry> ListParams(host::HostedPlugin& plug) {
  std::vector<ParamEntry> out;
  for (int i = 0; i < plug.NumParams(); ++i) {
    out.push_back({i, plug.ParamName(i), plug.ParamDisplay(i), plug.ParamLabel(i)});
  }
  return out;
}

std::vector<ProgramEntry> ListPrograms(host::HostedPlugin& plug) {
  std::vector<ProgramEntry> out;
  for (int i = 0; i < plug.NumPrograms(); ++i) out.push_back({i, plug.ProgramName(i)});
  return out;
}

int FindProgram(host::HostedPlugin& plug, const std::string& nameOrIndex, std::string* error) {
  const int n = plug.NumPrograms();
  if (IsIndex(nameOrIndex)) {
    const int idx = std::stoi(nameOrIndex);
    if (idx >= n) {
      *error = "preset index " + nameOrIndex + " is out of range (0 to " + std::to_string(n - 1) + ")";
      return -1;
    }
    if (plug.ProgramName(idx).empty()) {
      *error = "preset slot " + nameOrIndex + " holds no preset (see --list-presets)";
      return -1;
    }
    return idx;
  }
  const std::vector<ProgramEntry> programs = ListPrograms(plug);
  for (const ProgramEntry& p : programs) {
    if (!p.name.empty() && p.name == nameOrIndex) return p.index;
  }
  for (const ProgramEntry& p : programs) {
    if (!p.name.empty() && EqualIgnoringCase(p.name, nameOrIndex)) return p.index;
  }
  *error = "unknown preset '" + nameOrIndex + "' (see --list-presets)";
  return -1;
}

int FindParam(host::HostedPlugin& plug, const std::string& name) {
  const int n = plug.NumParams();
  for (int i = 0; i < n; ++i) {
    if (plug.ParamName(i) == name) return i;
  }
  for (int i = 0; i < n; ++i) {
    if (EqualIgnoringCase(plug.ParamName(i), name)) return i;
  }
  return -1;
}

bool SetParameter(host::HostedPlugin& plug, const std::string& name, const std::string& value,
                  std::string* error) {
  const int idx = FindParam(plug, name);
  if (idx < 0) {
    std::vector<std::string> known;
    for (const ParamEntry& p : ListParams(plug)) known.push_back(p.name);
    *error = "unknown parameter '" + name + "' (known: " + Joined(known) + ")";
    return false;
  }
  const std::string label = plug.ParamLabel(idx);
  const std::string what = "bad value '" + value + "' for \"" + plug.ParamName(idx) + "\"";

  const std::vector<std::string> texts = plug.ParamTexts(idx);
  if (!texts.empty()) return SetFromList(plug, idx, texts, value, what, error);

  const std::optional<Number> number = ReadNumber(value);
  const std::string unit = Folded(label);
  if (!number || (!number->unit.empty() && number->unit != unit && !(unit == "lu" && number->unit == "lufs"))) {
    *error = what + " (a number" + (label.empty() ? "" : ", optionally with " + label) + ")";
    return false;
  }
  const double v = number->value;

  // The range as the plug-in displays its ends, when it says.
  const std::optional<std::string> loText = plug.DisplayOfNormalized(idx, 0.0);
  const std::optional<std::string> hiText = plug.DisplayOfNormalized(idx, 1.0);
  const std::optional<double> lo = loText ? DisplayNumber(*loText) : std::nullopt;
  const std::optional<double> hi = hiText ? DisplayNumber(*hiText) : std::nullopt;
  const std::string range =
      lo && hi ? " (out of range " + *loText + " to " + WithLabel(*hiText, label) + ")" : " (out of range)";
  if (lo && hi && (v < std::min(*lo, *hi) || v > std::max(*lo, *hi))) {
    *error = what + range;
    return false;
  }

  char text[64];
  std::snprintf(text, sizeof text, "%.17g", v);
  const double old = plug.ParamNormalized(idx);
  if (!plug.SetParamFromText(idx, text)) {
    *error = what + " (the plug-in refused it)";
    return false;
  }
  // A plug-in clamps what it cannot hold: the display tells.
  const std::string display = plug.ParamDisplay(idx);
  const std::optional<double> shown = DisplayNumber(display);
  if (!shown || std::fabs(*shown - v) > HalfLastDigit(display) + 1e-9 * std::max(1.0, std::fabs(v))) {
    plug.SetParamNormalized(idx, old);
    *error = what + range;
    return false;
  }
  // The plug-in then holds exactly what it shows, so the host's reading of
  // the display (the look-ahead delay) matches what the plug-in does.
  if (*shown != v) plug.SetParamFromText(idx, display);
  return true;
}

std::optional<double> ParamNumber(const std::vector<ParamEntry>& params, const std::string& name) {
  for (const ParamEntry& p : params) {
    if (p.name == name) return DisplayNumber(p.display);
  }
  return std::nullopt;
}

int OutputDelayFrames(host::HostedPlugin& plug, double sampleRate) {
  int delay = plug.LatencyFrames();
  const int idx = FindParam(plug, "Look Ahead");
  if (idx >= 0 && plug.ParamName(idx) == "Look Ahead") {
    const std::optional<double> ms = DisplayNumber(plug.ParamDisplay(idx));
    const long long q = ms ? std::llround(10.0 * *ms) : 0;
    if (q > 0) {
      const long long length = std::llround(sampleRate * 2.0 * static_cast<double>(q) * 0.0001);
      delay += static_cast<int>(std::max(0LL, (length + 1) / 2 - 1));
    }
  }
  return delay;
}

}  // namespace quarv::render
