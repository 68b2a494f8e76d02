// How the JPEG writer cuts a picture, shared by its two passes: the count that fits the
// Huffman tables (jpeg_count.h) and the compression that goes to the file (jpeg_write.cpp).
//
// The file is compressed in horizontal bands, each a restart interval of its own, on several
// threads. The count goes in smaller sections, each a whole number of MCU rows within one
// band, so that a picture's sections can be counted as soon as its reader has made their rows
// final. A band or section is compressed as a picture of its own: libjpeg gives its MCUs the
// coefficients they have in the whole picture, as nothing of a row group reaches beyond it.
#pragma once

#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/picture/image_result.h"

#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

// What every part's compression shares.
struct JpegSettings {
  const ImageBuffer* image;
  int quality;
  const ImageMetadata* meta; // for the density; may be null
};

// The cut: bands of bandRows file rows and sections of sectionRows, both whole numbers of MCU
// rows; the last of each in a band, and the last band, possibly shorter.
struct JpegPlan {
  size_t mcuRows; // file rows per MCU row
  size_t bands;   // at least 1
  size_t bandRows;
  unsigned restartInterval; // MCUs per band; 0 for one band
  size_t sectionRows;       // at most bandRows
  size_t sectionsPerBand;   // of a whole band
  size_t sections;          // in the picture
};

// One part of the picture: file rows first to first + rows (the last part of the picture is
// cut at its height by JpegPartView).
struct JpegPart {
  size_t first;
  size_t rows;
  bool startsBand; // its DC predictions start at 0 in the file too
};

// The settings on cinfo, for a part of rows rows.
void SetUpJpeg(j_compress_ptr cinfo, const JpegSettings& settings, size_t rows);

// The plan for settings' picture, on as many bands as the codec may use threads; false when
// the library refuses the settings (its error is caught here). The same settings always give
// the same plan.
bool PlanJpeg(const JpegSettings& settings, JpegPlan* plan);

JpegPart JpegBand(const JpegPlan& plan, size_t band);
JpegPart JpegSection(const JpegPlan& plan, size_t section);

// A part as a picture of its own: a view of the same block.
ImageBuffer JpegPartView(const ImageBuffer* image, const JpegPart& part);

// Hands libjpeg the rows of view (a part's) from its next scanline up to until (at most the
// part's rows), the file's first scanline (the ImageBuffer's last row) first; a picture with
// alpha is laid over white row by row. row holds a packed row: width x 3 bytes.
void FeedJpegRows(j_compress_ptr cinfo, const ImageBuffer* view, size_t until, unsigned char* row);

// Runs body on a fresh compressor, in a frame of body's own: kImageOk when body returned 1. A
// body that returns 0, or a libjpeg error there, is kImageCannotWrite (kImageNoMemory when
// the library ran out of memory). The compressor is destroyed on every path.
ImageResult WithJpegCompressor(int (*body)(j_compress_ptr cinfo, void* context), void* context);
