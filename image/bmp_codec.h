// BMP reader and writer: the program's own codec, no image library behind it.
// Paths are ANSI strings (code page 932 on Windows). Results: 1 success, 0 failure.
#pragma once

#include "image/image_buffer.h"

// 1 when the file opens for binary reading and its first two bytes are "BM".
int IsBmpFile(const char* path);

// Reads an uncompressed bottom-up BMP of 1, 4, 8, 24 or 32 bits per pixel into an empty
// record (channels 3, A 255). On failure a pixel block already allocated stays in image.
int ReadBmp(const char* path, ImageBuffer* image);

// Writes image as a 24-bit bottom-up BMP: bfSize = stride x height + 56, two trailing zero
// bytes, 2834 pixels per metre. channels is not consulted; A is dropped.
int WriteBmp(const char* path, const ImageBuffer* image);
