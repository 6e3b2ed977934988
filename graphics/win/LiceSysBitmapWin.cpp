#include "graphics/win/Win32.h"

#include "graphics/raster/LiceBitmap.h"

namespace {
// The same bound as memory bitmaps: larger sections are refused, not tried.
constexpr long long kMaxPixels = 1ll << 27;
}  // namespace

LICE_SysBitmap::LICE_SysBitmap(int w, int h) {
  dc_ = CreateCompatibleDC(nullptr);
  Resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap() {
  if (dc_) {
    if (previous_) SelectObject(static_cast<HDC>(dc_), static_cast<HGDIOBJ>(previous_));
    DeleteDC(static_cast<HDC>(dc_));
  }
  if (section_) DeleteObject(static_cast<HGDIOBJ>(section_));
}

bool LICE_SysBitmap::Resize(int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == w_ && h == h_ && (bits_ || w == 0 || h == 0)) return false;
  HDC dc = static_cast<HDC>(dc_);
  if (section_) {
    SelectObject(dc, static_cast<HGDIOBJ>(previous_));
    DeleteObject(static_cast<HGDIOBJ>(section_));
    section_ = previous_ = nullptr;
  }
  bits_ = nullptr;
  w_ = h_ = 0;
  if (w == 0 || h == 0) {
    w_ = w;
    h_ = h;
    return true;
  }
  if (!dc || static_cast<long long>(w) * h > kMaxPixels) return true;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // negative: rows top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    return true;
  }
  section_ = section;
  previous_ = SelectObject(dc, section);
  bits_ = static_cast<LICE_pixel*>(bits);
  w_ = w;
  h_ = h;
  return true;
}
