// Texts between the plug-in's UTF-8 names and the UTF-16 fields of the VST 3
// interfaces. Bounded, allocation-free and exception-free: host texts may be
// malformed, and the audio and user-interface threads convert at once.
#pragma once

#include "pluginterfaces/base/ftypes.h"

namespace quarv::vst3 {

// Writes UTF-8 text into out (size units, size >= 1) as zero-terminated
// UTF-16; a malformed sequence becomes U+FFFD, a character that does not fit
// whole ends the text. Null text gives the empty string. Returns the units
// written before the terminator.
int Utf8ToUtf16(const char* text, Steinberg::char16* out, int size);

// Reads zero-terminated UTF-16 text (at most maxUnits units) into out (size
// bytes, size >= 1) as zero-terminated UTF-8; a lone surrogate becomes
// U+FFFD, a character that does not fit whole ends the text. Returns the
// bytes written before the terminator.
int Utf16ToUtf8(const Steinberg::char16* text, int maxUnits, char* out, int size);

}  // namespace quarv::vst3
