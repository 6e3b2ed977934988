// Bitmaps of the raster layer: 32-bit pixels A·2^24 + R·2^16 + G·2^8 + B with
// straight (not premultiplied) alpha, stored little-endian (B, G, R, A bytes).
//
// Threads: a bitmap is used by one thread at a time; nothing here locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

using LICE_pixel = uint32_t;

constexpr LICE_pixel LICE_ARGB(int a, int r, int g, int b) {
  return (static_cast<LICE_pixel>(a & 0xff) << 24) | (static_cast<LICE_pixel>(r & 0xff) << 16) |
         (static_cast<LICE_pixel>(g & 0xff) << 8) | static_cast<LICE_pixel>(b & 0xff);
}
constexpr int LICE_A(LICE_pixel p) { return static_cast<int>(p >> 24); }
constexpr int LICE_R(LICE_pixel p) { return static_cast<int>((p >> 16) & 0xff); }
constexpr int LICE_G(LICE_pixel p) { return static_cast<int>((p >> 8) & 0xff); }
constexpr int LICE_B(LICE_pixel p) { return static_cast<int>(p & 0xff); }

class LICE_IBitmap {
public:
  virtual ~LICE_IBitmap() = default;
  // First pixel of the first row in memory (the bottom row when flipped).
  virtual LICE_pixel* Bits() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Pixels per row in memory, at least the width.
  virtual int RowSpan() const = 0;
  // True when rows are stored bottom-up.
  virtual bool Flipped() const { return false; }
  // Changes the size; the content is not kept. False when nothing changed.
  virtual bool Resize(int w, int h) = 0;
  // A platform drawing context; none for plain memory.
  virtual void* DeviceContext() { return nullptr; }
  virtual intptr_t Extended(int /*id*/, void* /*data*/) { return 0; }
};

// Row y counted from the top, whatever the storage order. y must be in range.
inline LICE_pixel* LICE_Row(LICE_IBitmap* bm, int y) {
  const int row = bm->Flipped() ? bm->Height() - 1 - y : y;
  return bm->Bits() + static_cast<ptrdiff_t>(row) * bm->RowSpan();
}

// Pixels in ordinary memory, rows top-down, cleared to 0 (transparent black).
// The row span is the width rounded up to a multiple of lineAlign pixels.
class LICE_MemBitmap : public LICE_IBitmap {
public:
  explicit LICE_MemBitmap(int w = 0, int h = 0, int lineAlign = 0);

  LICE_pixel* Bits() override { return bits_.get(); }
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  int RowSpan() const override { return span_; }
  // Negative sizes count as 0; a size too large to allocate leaves 0 × 0.
  bool Resize(int w, int h) override;

private:
  std::unique_ptr<LICE_pixel[]> bits_;
  int w_ = 0, h_ = 0, span_ = 0;
  int align_ = 0;
};

#if defined(_WIN32)
// The engine's draw bitmap: a top-down 32-bit DIB section selected into its
// own memory device context, so GDI text draws straight into the pixels and
// the window layer copies them to the screen with BitBlt. Cleared to 0.
class LICE_SysBitmap : public LICE_IBitmap {
public:
  explicit LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* Bits() override { return bits_; }
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  int RowSpan() const override { return w_; }
  // Negative sizes count as 0; a section that cannot be made leaves 0 × 0.
  bool Resize(int w, int h) override;
  // The memory device context (HDC) with the section selected.
  void* DeviceContext() override { return dc_; }

private:
  void* dc_ = nullptr;         // HDC
  void* section_ = nullptr;    // HBITMAP
  void* previous_ = nullptr;   // the HBITMAP the context came with
  LICE_pixel* bits_ = nullptr;
  int w_ = 0, h_ = 0;
};
#else
// The engine's draw bitmap. Here it is plain memory, rows top-down with no
// padding, which the window layer hands to the display server as an image.
class LICE_SysBitmap : public LICE_MemBitmap {
public:
  LICE_SysBitmap(int w = 0, int h = 0) : LICE_MemBitmap(w, h, 0) {}
};
#endif
