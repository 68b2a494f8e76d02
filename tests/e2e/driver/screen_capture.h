// What is on screen inside a rectangle, as the user sees it: kept as pixels to look at
// and saved as a BMP for people to look at.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ScreenCapture {
 public:
  // Copies the screen's pixels inside rect (screen coordinates).
  explicit ScreenCapture(const RECT& rect);
  bool Ok() const { return ok_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The pixel at x, y relative to the rectangle's top-left corner.
  COLORREF At(int x, int y) const;
  // Pixels of exactly color in row y between x0 and x1 (exclusive), rectangle-relative.
  int CountInRow(int y, int x0, int x1, COLORREF color) const;
  // Whether both hold the same pixels.
  bool Same(const ScreenCapture& other) const {
    return ok_ && other.ok_ && width_ == other.width_ && height_ == other.height_ &&
           bgr_ == other.bgr_;
  }
  bool SaveBmp(const std::string& path) const;

 private:
  bool ok_ = false;
  int width_ = 0;
  int height_ = 0;
  std::vector<BYTE> bgr_; // bottom-up rows of 3 bytes per pixel, each padded to 4 bytes
  size_t Stride() const { return (static_cast<size_t>(width_) * 3 + 3) & ~static_cast<size_t>(3); }
};
