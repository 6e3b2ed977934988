// The host's side of a plug-in's controls, whatever its format: finding
// programs and parameters by what the user typed, setting a parameter from a
// value or a display text with the value checked against what the plug-in
// shows, the lists printed by --list-params and --list-presets, and the
// delay the host compensates.
//
// Same thread as the plug-in; allocates.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/host/HostedPlugin.h"

namespace quarv::render {

struct ParamEntry {
  int index = 0;
  std::string name;
  std::string display;  // without the label
  std::string label;
};

struct ProgramEntry {
  int index = 0;
  std::string name;  // empty for a free slot
};

std::vector<ParamEntry> ListParams(host::HostedPlugin& plug);
std::vector<ProgramEntry> ListPrograms(host::HostedPlugin& plug);

// A program index (digits only) or name: exact first, then ignoring case.
// Free slots are refused. Returns -1 with a one-line reason.
int FindProgram(host::HostedPlugin& plug, const std::string& nameOrIndex, std::string* error);

// The parameter with this name, exact first, then ignoring case; -1 if none.
int FindParam(host::HostedPlugin& plug, const std::string& name);

// Sets the named parameter from a number, with or without its unit label,
// or from one of its display texts (a list's texts may also be picked by
// their position, counted from 0). The text goes to the plug-in's own
// string-to-parameter entry. A value outside the range the plug-in displays
// for its normalised 0 and 1 is refused before anything is sent; afterwards
// the display must show the value asked for (within its last digit) or the
// text, else the old value is put back and the value is refused.
bool SetParameter(host::HostedPlugin& plug, const std::string& name, const std::string& value,
                  std::string* error);

// The number a parameter of the list displays (its unit label aside); none
// when there is no parameter of that name or its display is no number.
std::optional<double> ParamNumber(const std::vector<ParamEntry>& params, const std::string& name);

// Frames by which the output trails the input at this rate: the latency the
// plug-in reports plus the delay of a "Look Ahead" parameter, read from its
// display: q = round(10 * ms), L = round(rate * 2 * q * 0.0001),
// ceil(L / 2) - 1 frames when q > 0.
int OutputDelayFrames(host::HostedPlugin& plug, double sampleRate);

}  // namespace quarv::render
