// Growable byte buffer for saved state and presets. Integers are 4-byte and
// doubles 8-byte little-endian values.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

class StateChunk {
public:
  static constexpr size_t kGranularity = 4096;

  void Clear() { mSize = 0; }
  int Size() const { return static_cast<int>(mSize); }
  const uint8_t* Data() const { return mBytes.data(); }
  uint8_t* Data() { return mBytes.data(); }

  // Makes room for size bytes now, so appends up to that size do not
  // allocate later. Allocates.
  void Reserve(int size) { Grow(size > 0 ? static_cast<size_t>(size) : 0); }

  void Resize(int size) {
    const size_t n = size > 0 ? static_cast<size_t>(size) : 0;
    Grow(n);
    if (n > mSize) std::memset(mBytes.data() + mSize, 0, n - mSize);
    mSize = n;
  }

  void PutBytes(const void* data, int size) {
    if (size <= 0) return;
    Grow(mSize + static_cast<size_t>(size));
    std::memcpy(mBytes.data() + mSize, data, static_cast<size_t>(size));
    mSize += static_cast<size_t>(size);
  }

  void PutInt32(int32_t v) {
    uint8_t b[4];
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
    PutBytes(b, 4);
  }

  void PutDouble(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
    PutBytes(b, 8);
  }

  // Reads the item at pos; returns the position after it, or -1 when it does
  // not fit in the used size (out is then left alone).
  int GetDouble(double* out, int pos) const {
    if (pos < 0 || static_cast<size_t>(pos) + 8 > mSize) return -1;
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(mBytes[static_cast<size_t>(pos) + i]) << (8 * i);
    std::memcpy(out, &u, 8);
    return pos + 8;
  }

  int GetInt32(int32_t* out, int pos) const {
    if (pos < 0 || static_cast<size_t>(pos) + 4 > mSize) return -1;
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(mBytes[static_cast<size_t>(pos) + i]) << (8 * i);
    *out = static_cast<int32_t>(u);
    return pos + 4;
  }

private:
  void Grow(size_t n) {
    if (n > mBytes.size()) mBytes.resize((n + kGranularity - 1) / kGranularity * kGranularity);
  }

  std::vector<uint8_t> mBytes;
  size_t mSize = 0;
};
