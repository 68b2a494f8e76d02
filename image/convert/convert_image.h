// The conversion driver: reads the source into one ImageBuffer, writes the target.
#pragma once

// The shared ImageType: image format index, also the row of the image-format lists.
enum ImageType { kImageBmp = 0, kImagePng = 1, kImageJpeg = 2 };

// Hears how far a conversion has come, so that a window can keep itself painted while it
// waits: step is called on ConvertImage's calling thread only, about every
// kConvertReportIntervalMs while the conversion runs, with the share done in thousandths.
struct ConvertReport {
  void (*step)(void* context, int permille);
  void* context;
};
const int kConvertReportIntervalMs = 50;

// Converts source (of sourceType) into target (of targetType); jpegQuality (1..100) goes to
// WriteJpeg unchanged. 0 success (also for a target type that is none of the three: nothing
// is written), 1 reading the source failed (also for an unknown source type; the target is
// not touched), 2 writing the target failed (the old target, or nothing, stays: the file is
// written under a temporary name beside it and replaces it only when complete). The source is
// read completely and closed first, so target may be the very same file as source.
// With a report, the work runs on a thread of its own while the calling thread hears of it.
int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality, const ConvertReport* report = nullptr);
