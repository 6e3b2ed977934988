// Files holding a plug-in's saved state (its chunk), byte for byte. Writing
// goes through a temporary file beside the target that is renamed into
// place, so a failed write leaves the old file (or none) untouched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarv::render {

// Larger files are refused: no plug-in state of this kind comes near it.
constexpr size_t kMaxStateBytes = 16u << 20;

bool ReadStateFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
bool WriteStateFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace quarv::render
