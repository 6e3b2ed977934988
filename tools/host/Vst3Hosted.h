// The VST 3 side of the host's plug-in interface.
#pragma once

#include <memory>
#include <string>

#include "tools/host/HostedPlugin.h"

namespace quarv::host {

// Loads a .vst3 bundle (or the module inside one) and opens its first
// audio-effect class. Null with a one-line reason.
std::unique_ptr<HostedPlugin> OpenVst3Plugin(const std::string& path, std::string* error);

}  // namespace quarv::host
