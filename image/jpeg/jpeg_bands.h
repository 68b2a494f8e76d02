// How the JPEG writer cuts a picture, shared by its two passes: the count that fits the
// Huffman tables (jpeg_count.h) and the compression that goes to the file (jpeg_write.cpp).
//
// Every piece of the picture either pass compresses is a stripe: whole MCU rows, compressed as
// a picture of its own (libjpeg gives its MCUs the coefficients they have in the whole
// picture, as nothing of an MCU row reaches beyond it). The file is compressed in bands, each
// a restart interval of its own, on several threads. The count goes by smaller sections, each
// within one band, so that a picture's sections can be counted as soon as its reader has made
// their rows final; the writer counts its sections in batches, a run of sections each.
#pragma once

#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/picture/image_result.h"
#include "image/work/scheduler.h"

#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

// What every stripe's compression shares.
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

// A stripe of the picture: file rows first to first + rows (the picture's last stripe is cut at
// its height by JpegStripeView).
struct JpegStripe {
  size_t first;
  size_t rows;
  bool startsBand; // its DC predictions start at 0 in the file too
};

// The settings on cinfo, for a stripe of rows rows.
void SetUpJpeg(j_compress_ptr cinfo, const JpegSettings& settings, size_t rows);

// The plan for settings' picture, on as many bands as the codec may use threads; false when
// the library refuses the settings (its error is caught here). The same settings always give
// the same plan.
bool PlanJpeg(const JpegSettings& settings, JpegPlan* plan);

JpegStripe JpegBand(const JpegPlan& plan, size_t band);
JpegStripe JpegSection(const JpegPlan& plan, size_t section);

// A stripe as a picture of its own: a view of the same block.
ImageBuffer JpegStripeView(const ImageBuffer* image, const JpegStripe& stripe);

// Hands libjpeg the rows of view (a stripe's) from its next scanline up to until (at most the
// stripe's rows), the file's first scanline (the ImageBuffer's last row) first; a picture with
// alpha is laid over white row by row. row holds a packed row: width x 3 bytes.
void FeedJpegRows(j_compress_ptr cinfo, const ImageBuffer* view, size_t until, unsigned char* row);

// Hands libjpeg all of view's rows as FeedJpegRows does, telling work of them (AddWritten) a
// few dozen at a time.
void FeedJpegRowsTelling(j_compress_ptr cinfo, const ImageBuffer* view, unsigned char* row,
                         Scheduler* work);

// Runs body on a fresh compressor, in a frame of body's own: kImageOk when body returned 1. A
// body that returns 0, or a libjpeg error there, is kImageCannotWrite (kImageNoMemory when
// the library ran out of memory). The compressor is destroyed on every path.
ImageResult WithJpegCompressor(int (*body)(j_compress_ptr cinfo, void* context), void* context);
