#include "tools/LimiterSession.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "editor/GRAPH.h"
#include "engine/Quarvelline.h"
#include "framework/Text.h"

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

std::string Range(const IParameter& p) {
  char lo[IParameter::kTextSize], hi[IParameter::kTextSize];
  quarv::FormatC(lo, sizeof lo, "%.*f", p.DisplayPrecision(), p.Min());
  quarv::FormatC(hi, sizeof hi, "%.*f", p.DisplayPrecision(), p.Max());
  std::string r = std::string(lo) + " to " + hi;
  if (p.Label()[0]) r += std::string(" ") + p.Label();
  return r;
}

std::string TextList(const IParameter& p) {
  std::string list;
  for (int v = static_cast<int>(p.Min()); v <= static_cast<int>(p.Max()); ++v) {
    const char* t = p.DisplayTextFor(v);
    if (!t[0]) continue;
    if (!list.empty()) list += ", ";
    list += t;
  }
  return list;
}

// Reads a number with an optional unit: the parameter's own label, or
// "lufs" where the label is "lu".
bool ParseNumber(const std::string& text, const IParameter& p, double* value) {
  const std::string t = Folded(text);
  const char* begin = t.c_str();
  const char* end = begin + t.size();
  if (begin != end && *begin == '+') ++begin;
  double v = 0.0;
  const auto [rest, ec] = std::from_chars(begin, end, v);
  if (ec != std::errc() || !std::isfinite(v)) return false;
  const std::string unit(rest, end);
  const std::string label = Folded(p.Label());
  if (!unit.empty() && unit != label && !(label == "lu" && unit == "lufs")) return false;
  *value = v;
  return true;
}

}  // namespace

LimiterSession::LimiterSession() : mPlug(std::make_unique<CLS_QUARVELLINE>()) { mPlug->Open(); }

LimiterSession::~LimiterSession() = default;

int LimiterSession::PresetCount() const { return mPlug->NPresets(); }

std::string LimiterSession::PresetName(int idx) const { return mPlug->GetPresetName(idx); }

bool LimiterSession::PresetDefined(int idx) const {
  const PresetSlot* slot = mPlug->GetPreset(idx);
  return slot && slot->initialized;
}

int LimiterSession::FindPreset(const std::string& nameOrIndex, std::string* error) const {
  const int n = PresetCount();
  if (IsIndex(nameOrIndex)) {
    const int idx = std::stoi(nameOrIndex);
    if (idx >= n) {
      *error = "preset index " + nameOrIndex + " is out of range (0 to " + std::to_string(n - 1) + ")";
      return -1;
    }
    if (!PresetDefined(idx)) {
      *error = "preset slot " + nameOrIndex + " holds no preset (see --list-presets)";
      return -1;
    }
    return idx;
  }
  for (int i = 0; i < n; ++i) {
    if (PresetDefined(i) && PresetName(i) == nameOrIndex) return i;
  }
  for (int i = 0; i < n; ++i) {
    if (PresetDefined(i) && EqualIgnoringCase(PresetName(i), nameOrIndex)) return i;
  }
  *error = "unknown preset '" + nameOrIndex + "' (see --list-presets)";
  return -1;
}

bool LimiterSession::LoadPreset(int idx, std::string* error) {
  if (!PresetDefined(idx)) {
    *error = "preset slot " + std::to_string(idx) + " holds no preset";
    return false;
  }
  // The default slot stores no values: a freshly opened plug-in already
  // stands at its defaults, and recalling the empty slot would report failure.
  if (idx == 0) return true;
  if (!mPlug->RecallPreset(idx)) {
    *error = "preset '" + PresetName(idx) + "' could not be loaded";
    return false;
  }
  return true;
}

int LimiterSession::FindParameter(const std::string& name) const {
  for (int i = 0; i < mPlug->NParams(); ++i) {
    if (name == mPlug->GetParam(i)->Name()) return i;
  }
  for (int i = 0; i < mPlug->NParams(); ++i) {
    if (EqualIgnoringCase(name, mPlug->GetParam(i)->Name())) return i;
  }
  return -1;
}

bool LimiterSession::SetParameter(const std::string& name, const std::string& value,
                                  std::string* error) {
  const int idx = FindParameter(name);
  if (idx < 0) {
    std::string known;
    for (int i = 0; i < mPlug->NParams(); ++i) known += std::string(i ? ", " : "") + mPlug->GetParam(i)->Name();
    *error = "unknown parameter '" + name + "' (known: " + known + ")";
    return false;
  }
  const IParameter& p = *mPlug->GetParam(idx);
  const std::string what = "bad value '" + value + "' for \"" + p.Name() + "\"";

  std::string text;
  if (p.DisplayTextCount() > 0) {
    // A list: one of its texts, or its index.
    for (int v = static_cast<int>(p.Min()); v <= static_cast<int>(p.Max()) && text.empty(); ++v) {
      if (p.DisplayTextFor(v)[0] && Folded(p.DisplayTextFor(v)) == Folded(value)) text = p.DisplayTextFor(v);
    }
    if (text.empty() && IsIndex(value)) {
      const int v = std::stoi(value);
      if (v >= p.Min() && v <= p.Max() && p.DisplayTextFor(v)[0]) text = p.DisplayTextFor(v);
    }
    if (text.empty()) {
      *error = what + " (one of: " + TextList(p) + ")";
      return false;
    }
  } else {
    double v = 0.0;
    if (!ParseNumber(value, p, &v)) {
      *error = what + " (a number" + (p.Label()[0] ? std::string(", optionally with ") + p.Label() : "") + ")";
      return false;
    }
    if (v < p.Min() || v > p.Max()) {
      *error = what + " (out of range " + Range(p) + ")";
      return false;
    }
    char buf[64];
    quarv::FormatC(buf, sizeof buf, "%.17g", v);
    text = buf;
  }
  if (!mPlug->SetParameterFromText(idx, text.c_str())) {
    *error = what;
    return false;
  }
  return true;
}

std::vector<ParameterText> LimiterSession::ParameterTexts() const {
  IPlugBase::Lock lock(mPlug->Mutex());
  std::vector<ParameterText> out;
  for (int i = 0; i < mPlug->NParams(); ++i) {
    const IParameter& p = *mPlug->GetParam(i);
    char buf[IParameter::kTextSize];
    p.FormatDisplay(p.Value(), false, buf);
    std::string value = buf;
    if (p.Label()[0]) value += std::string(" ") + p.Label();
    out.push_back({p.Name(), value});
  }
  return out;
}

void LimiterSession::Start(double sampleRate, int blockSize, int channels, bool playing) {
  mChannels = std::clamp(channels, 1, 2);
  mPlug->SetHostSampleRate(sampleRate);
  mPlug->SetHostBlockSize(blockSize);
  mPlug->SetTransport(playing ? 1 : 0);
  mPlug->SetSongPosition(0.0);
  mPlug->Activate(true);
}

void LimiterSession::Process(double* const* channels, int frames) {
  double* io[2] = {channels[0], mChannels > 1 ? channels[1] : nullptr};
  mPlug->Process(io, io, mChannels, frames);
}

int LimiterSession::DelayFrames() const {
  IPlugBase::Lock lock(mPlug->Mutex());
  if (!mPlug->mLookAheadOn) return 0;
  // The ring steps through ceil(length / 2) frame positions and hands out the
  // oldest one, written that many frames minus one ago.
  const int positions = (mPlug->mLookAheadLength + 1) / 2;
  return std::max(0, positions - 1);
}

EngineReadouts LimiterSession::Readouts() const {
  IPlugBase::Lock lock(mPlug->Mutex());
  EngineReadouts r;
  const double maximum = mPlug->mMeter.Maximum();
  r.hasMaximum = maximum > LoudnessMeter::kFloorLufs;
  r.maximumLufs = maximum;
  const double energy = mPlug->mMeter.IntegratedEnergy();
  if (energy > 0.0) {
    r.integratedLufs = 10.0 * std::log10(energy) - 0.691;
    r.hasIntegrated = r.integratedLufs > LoudnessMeter::kFloorLufs;
  }
  const double minGain = mPlug->mMinGain;
  r.maxAttenuationDb = minGain < 1.0 ? -20.0 * std::log10(minGain) : 0.0;
  r.historyPoints = mPlug->mGraph ? mPlug->mGraph->points + 1 : 0;
  return r;
}

}  // namespace quarv::render
