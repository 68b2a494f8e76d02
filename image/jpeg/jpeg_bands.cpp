#include "image/jpeg/jpeg_bands.h"

#include "image/jpeg/jpeg_errors.h"
#include "image/jpeg/jpeg_metadata.h"
#include "image/picture/over_white.h"
#include "image/picture/recovery_point.h"
#include "image/work/scheduler.h"

#include <cstring>

#include <jerror.h>

namespace {

// Fewer MCU rows than this per band gain less than their restart marker costs.
const size_t kMinBandMcuRows = 16;
// A restart interval is a 16-bit count of MCUs.
const size_t kMaxRestartInterval = 65535;
// A section is counted in about 1/200 of the time of a 4000 x 3000 photo's count: short
// enough for a reader's spare moment, long enough that starting its compressor is little.
const size_t kSectionMcuRows = 8;
// Rows handed to libjpeg between two tellings of how far the writer is.
const size_t kRowsTold = 64;
// The lowest quality written with colour at full resolution.
const int kFullColourQuality = 90;

void LimitLibraryMemory(j_common_ptr cinfo) {
#ifdef QUILLET_FUZZ_MAX_PIXEL_BYTES
  // Fuzzing builds only: whole-image coefficient buffers above the cap fail with a library
  // error (no backing store) instead of tripping the fuzzer's allocation limit.
  cinfo->mem->max_memory_to_use = static_cast<long>(QUILLET_FUZZ_MAX_PIXEL_BYTES);
#else
  (void)cinfo;
#endif
}

bool IsGray(const ImageBuffer* image) { return image->channels == 1; }

// Colour pictures go to libjpeg-turbo straight from the ImageBuffer's rows as RGBA input
// (alpha ignored): the same coefficients as packed RGB input, without the packing pass.
// Pictures with alpha are laid over white row by row instead.
bool IsDirect(const ImageBuffer* image) {
#ifdef JCS_EXTENSIONS
  return !IsGray(image) && HasAlpha(image) == 0;
#else
  (void)image;
  return false;
#endif
}

struct Planning {
  const JpegSettings* settings;
  JpegPlan* plan;
};

int PlanFromSettings(j_compress_ptr cinfo, void* context) {
  const Planning& planning = *static_cast<const Planning*>(context);
  const ImageBuffer* const image = planning.settings->image;
  SetUpJpeg(cinfo, *planning.settings, static_cast<size_t>(image->height));
  int hMax = 1, vMax = 1;
  for (int c = 0; c < cinfo->num_components; ++c) {
    hMax = cinfo->comp_info[c].h_samp_factor > hMax ? cinfo->comp_info[c].h_samp_factor : hMax;
    vMax = cinfo->comp_info[c].v_samp_factor > vMax ? cinfo->comp_info[c].v_samp_factor : vMax;
  }
  const size_t mcuWidth = static_cast<size_t>(hMax) * DCTSIZE;
  const size_t mcuHeight = static_cast<size_t>(vMax) * DCTSIZE;
  const size_t height = static_cast<size_t>(image->height);
  const size_t mcusPerRow = (static_cast<size_t>(image->width) + mcuWidth - 1) / mcuWidth;
  const size_t mcuRows = (height + mcuHeight - 1) / mcuHeight;
  JpegPlan plan = {mcuHeight, 1, height, 0, 0, 0, 0};
  size_t bands = ThreadsToUse();
  if (bands > mcuRows / kMinBandMcuRows)
    bands = mcuRows / kMinBandMcuRows;
  if (bands >= 2 && mcusPerRow <= kMaxRestartInterval) {
    size_t bandMcuRows = (mcuRows + bands - 1) / bands;
    if (bandMcuRows * mcusPerRow > kMaxRestartInterval)
      bandMcuRows = kMaxRestartInterval / mcusPerRow;
    plan.bands = (mcuRows + bandMcuRows - 1) / bandMcuRows;
    plan.bandRows = bandMcuRows * mcuHeight;
    plan.restartInterval = static_cast<unsigned>(bandMcuRows * mcusPerRow);
  }
  plan.sectionRows = kSectionMcuRows * mcuHeight;
  if (plan.sectionRows > plan.bandRows)
    plan.sectionRows = plan.bandRows;
  plan.sectionsPerBand = (plan.bandRows + plan.sectionRows - 1) / plan.sectionRows;
  const size_t lastBandRows = height - (plan.bands - 1) * plan.bandRows;
  plan.sections = (plan.bands - 1) * plan.sectionsPerBand +
                  (lastBandRows + plan.sectionRows - 1) / plan.sectionRows;
  *planning.plan = plan;
  return 1;
}

} // namespace

void SetUpJpeg(j_compress_ptr cinfo, const JpegSettings& settings, size_t rows) {
  const ImageBuffer* const image = settings.image;
  const bool gray = IsGray(image), direct = IsDirect(image);
  LimitLibraryMemory(reinterpret_cast<j_common_ptr>(cinfo));
  cinfo->image_width = static_cast<JDIMENSION>(image->width);
  cinfo->image_height = static_cast<JDIMENSION>(rows);
  cinfo->input_components = gray ? 1 : direct ? 4 : 3;
  cinfo->in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
#ifdef JCS_EXTENSIONS
  if (direct)
    cinfo->in_color_space = JCS_EXT_RGBA;
#endif
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, settings.quality, TRUE);
  // Colour at half resolution smears red text and fine coloured detail; from this quality up,
  // where the user asked for detail, every component keeps full resolution, as other tools do.
  if (settings.quality >= kFullColourQuality)
    for (int c = 0; c < cinfo->num_components; ++c)
      cinfo->comp_info[c].h_samp_factor = cinfo->comp_info[c].v_samp_factor = 1;
  SetJpegDensity(cinfo, settings.meta);
}

bool PlanJpeg(const JpegSettings& settings, JpegPlan* plan) {
  Planning planning = {&settings, plan};
  return WithJpegCompressor(PlanFromSettings, &planning) == kImageOk;
}

JpegStripe JpegBand(const JpegPlan& plan, size_t band) {
  const JpegStripe stripe = {band * plan.bandRows, plan.bandRows, true};
  return stripe;
}

JpegStripe JpegSection(const JpegPlan& plan, size_t section) {
  const size_t band = section / plan.sectionsPerBand;
  const size_t within = section % plan.sectionsPerBand;
  const size_t first = band * plan.bandRows + within * plan.sectionRows;
  const size_t bandLeft = plan.bandRows - within * plan.sectionRows;
  JpegStripe stripe = {first, bandLeft < plan.sectionRows ? bandLeft : plan.sectionRows,
                       within == 0};
  return stripe;
}

ImageBuffer JpegStripeView(const ImageBuffer* image, const JpegStripe& stripe) {
  const size_t height = static_cast<size_t>(image->height);
  const size_t rows = height - stripe.first < stripe.rows ? height - stripe.first : stripe.rows;
  ImageBuffer view = *image;
  view.pixels =
      image->pixels + (height - stripe.first - rows) * static_cast<size_t>(image->width) * 4;
  view.height = static_cast<int32_t>(rows);
  return view;
}

void FeedJpegRows(j_compress_ptr cinfo, const ImageBuffer* view, size_t until, unsigned char* row) {
  const size_t width = static_cast<size_t>(view->width);
  const size_t height = static_cast<size_t>(view->height);
  const size_t rowBytes = width * 4;
  if (until > cinfo->image_height)
    until = cinfo->image_height;
  JSAMPROW rows[1] = {row};
  if (IsDirect(view)) {
    while (cinfo->next_scanline < until) {
      // libjpeg only reads the rows it is given.
      rows[0] = const_cast<JSAMPROW>(view->pixels + (height - 1 - cinfo->next_scanline) * rowBytes);
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  } else if (IsGray(view)) {
    while (cinfo->next_scanline < until) {
      const unsigned char* s = view->pixels + (height - 1 - cinfo->next_scanline) * rowBytes;
      for (size_t x = 0; x < width; ++x, s += 4)
        row[x] = s[0];
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  } else if (HasAlpha(view) != 0) {
    while (cinfo->next_scanline < until) {
      RgbaOverWhiteToRgb(view->pixels + (height - 1 - cinfo->next_scanline) * rowBytes, width, row);
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  } else {
    while (cinfo->next_scanline < until) {
      const unsigned char* s = view->pixels + (height - 1 - cinfo->next_scanline) * rowBytes;
      unsigned char* d = row;
      for (size_t x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  }
}

namespace {

struct CompressorRun {
  j_compress_ptr cinfo;
  int (*body)(j_compress_ptr cinfo, void* context);
  void* context;
};

ImageResult CreateAndRun(void* context) {
  const CompressorRun& run = *static_cast<const CompressorRun*>(context);
  jpeg_create_compress(run.cinfo);
  return run.body(run.cinfo, run.context) != 0 ? kImageOk : kImageCannotWrite;
}

} // namespace

void FeedJpegRowsTelling(j_compress_ptr cinfo, const ImageBuffer* view, unsigned char* row,
                         Scheduler* work) {
  while (cinfo->next_scanline < cinfo->image_height) {
    const size_t from = cinfo->next_scanline;
    FeedJpegRows(cinfo, view, from + kRowsTold, row);
    AddWritten(work, cinfo->next_scanline - from);
  }
}

ImageResult WithJpegCompressor(int (*body)(j_compress_ptr cinfo, void* context), void* context) {
  jpeg_compress_struct cinfo;
  JpegErrorManager manager;
  memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = ReturningErrors(&manager);
  CompressorRun run = {&cinfo, body, context};
  ImageResult result = RunWithRecoveryPoint(&manager.jump, CreateAndRun, &run, kImageCannotWrite);
  if (result != kImageOk && manager.pub.msg_code == JERR_OUT_OF_MEMORY)
    result = kImageNoMemory;
  jpeg_destroy_compress(&cinfo);
  return result;
}
