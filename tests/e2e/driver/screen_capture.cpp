#include "tests/e2e/driver/screen_capture.h"

#include <cstdio>

ScreenCapture::ScreenCapture(const RECT& rect)
    : width_(rect.right - rect.left), height_(rect.bottom - rect.top) {
  if (width_ <= 0 || height_ <= 0)
    return;
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr)
    return;
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width_, height_);
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    BOOL copied = ::BitBlt(memory, 0, 0, width_, height_, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    bgr_.resize(Stride() * static_cast<size_t>(height_));
    ok_ = copied && ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height_), bgr_.data(), &info,
                                DIB_RGB_COLORS) == height_;
  }
  if (bitmap != nullptr)
    ::DeleteObject(bitmap);
  if (memory != nullptr)
    ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
}

COLORREF ScreenCapture::At(int x, int y) const {
  if (!ok_ || x < 0 || y < 0 || x >= width_ || y >= height_)
    return CLR_INVALID;
  const BYTE* p =
      &bgr_[Stride() * static_cast<size_t>(height_ - 1 - y) + static_cast<size_t>(x) * 3];
  return RGB(p[2], p[1], p[0]);
}

int ScreenCapture::CountInRow(int y, int x0, int x1, COLORREF color) const {
  int count = 0;
  for (int x = x0; x < x1; ++x)
    if (At(x, y) == color)
      ++count;
  return count;
}

bool ScreenCapture::SaveBmp(const std::string& path) const {
  if (!ok_)
    return false;
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width_;
  info.biHeight = height_;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(bgr_.size());
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42; // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr)
    return false;
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info, sizeof info, 1, out) == 1 &&
            std::fwrite(bgr_.data(), 1, bgr_.size(), out) == bgr_.size();
  return std::fclose(out) == 0 && ok;
}
