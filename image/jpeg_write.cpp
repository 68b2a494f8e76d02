#include "image/jpeg_codec.h"

#include "image/codec_threads.h"
#include "image/jpeg_errors.h"
#include "image/jpeg_huffman_fit.h"
#include "image/jpeg_meta_write.h"
#include "image/ordered_work.h"
#include "image/over_white.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <jerror.h>

// The picture is compressed in horizontal bands, each on a thread of its own, twice: once to
// count the symbols that fit the Huffman tables to the picture, once with those tables for
// the file. A band is compressed as a picture of its own; in the file the bands follow one
// another with a restart marker between them, as libjpeg writes a picture whose restart
// interval is one band: the decoder starts its DC predictions anew there, as each band's
// compression did. A small picture, or a machine of one core, makes one band: no restarts.

namespace {

// Fewer MCU rows than this per band gain less than their restart marker costs.
const size_t kMinBandMcuRows = 16;
// A restart interval is a 16-bit count of MCUs.
const size_t kMaxRestartInterval = 65535;

// How the picture is cut: bands of bandRows file rows (a whole number of MCU rows), the last
// one possibly shorter.
struct BandPlan {
  size_t bands;
  size_t bandRows;
  unsigned restartInterval; // MCUs per band; 0 for one band
};

// Everything a band's compression needs, shared read-only by the threads.
struct JpegJob {
  const ImageBuffer* image;
  int quality;
  const ImageMetadata* meta;
  BandPlan plan;
  bool fitted; // tables fitted to totals; else the standard tables
  JpegSymbolCounts totals;
};

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

// The settings every band shares: the picture's, with its height rows.
void SetUp(j_compress_ptr cinfo, const JpegJob& job, size_t rows) {
  const ImageBuffer* const image = job.image;
  const bool gray = IsGray(image), direct = IsDirect(image);
  cinfo->image_width = static_cast<JDIMENSION>(image->width);
  cinfo->image_height = static_cast<JDIMENSION>(rows);
  cinfo->input_components = gray ? 1 : direct ? 4 : 3;
  cinfo->in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
#ifdef JCS_EXTENSIONS
  if (direct)
    cinfo->in_color_space = JCS_EXT_RGBA;
#endif
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, job.quality, TRUE);
  SetJpegDensity(cinfo, job.meta);
}

// Bands as many as the codec may use threads, each a whole number of MCU rows and at most a
// restart interval's MCUs.
BandPlan PlanBands(const ImageBuffer* image, j_compress_ptr settings) {
  int hMax = 1, vMax = 1;
  for (int c = 0; c < settings->num_components; ++c) {
    hMax =
        settings->comp_info[c].h_samp_factor > hMax ? settings->comp_info[c].h_samp_factor : hMax;
    vMax =
        settings->comp_info[c].v_samp_factor > vMax ? settings->comp_info[c].v_samp_factor : vMax;
  }
  const size_t mcuWidth = static_cast<size_t>(hMax) * DCTSIZE;
  const size_t mcuHeight = static_cast<size_t>(vMax) * DCTSIZE;
  const size_t mcusPerRow = (static_cast<size_t>(image->width) + mcuWidth - 1) / mcuWidth;
  const size_t mcuRows = (static_cast<size_t>(image->height) + mcuHeight - 1) / mcuHeight;
  size_t bands = CodecThreadCount();
  if (bands > mcuRows / kMinBandMcuRows)
    bands = mcuRows / kMinBandMcuRows;
  BandPlan plan = {1, static_cast<size_t>(image->height), 0};
  if (bands < 2 || mcusPerRow > kMaxRestartInterval)
    return plan;
  size_t bandMcuRows = (mcuRows + bands - 1) / bands;
  if (bandMcuRows * mcusPerRow > kMaxRestartInterval)
    bandMcuRows = kMaxRestartInterval / mcusPerRow;
  plan.bands = (mcuRows + bandMcuRows - 1) / bandMcuRows;
  plan.bandRows = bandMcuRows * mcuHeight;
  plan.restartInterval = static_cast<unsigned>(bandMcuRows * mcusPerRow);
  return plan;
}

// Band k as a picture of its own: file rows k x bandRows on, the ImageBuffer's rows from the
// bottom, so a view of the same block.
ImageBuffer BandView(const JpegJob& job, size_t k) {
  const ImageBuffer* const image = job.image;
  const size_t height = static_cast<size_t>(image->height);
  const size_t first = k * job.plan.bandRows;
  const size_t rows = height - first < job.plan.bandRows ? height - first : job.plan.bandRows;
  ImageBuffer band = *image;
  band.pixels = image->pixels + (height - first - rows) * static_cast<size_t>(image->width) * 4;
  band.height = static_cast<int32_t>(rows);
  return band;
}

// Hands libjpeg every row of the picture, the file's first scanline (the ImageBuffer's last
// row) first; a picture with alpha is laid over white row by row.
void CompressRows(j_compress_ptr cinfo, const ImageBuffer* image, unsigned char* row) {
  const size_t width = static_cast<size_t>(image->width);
  const size_t height = static_cast<size_t>(image->height);
  const size_t rowBytes = width * 4;
  JSAMPROW rows[1] = {row};
  if (IsDirect(image)) {
    while (cinfo->next_scanline < cinfo->image_height) {
      // libjpeg only reads the rows it is given.
      rows[0] =
          const_cast<JSAMPROW>(image->pixels + (height - 1 - cinfo->next_scanline) * rowBytes);
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  } else if (IsGray(image)) {
    while (cinfo->next_scanline < cinfo->image_height) {
      const unsigned char* s = image->pixels + (height - 1 - cinfo->next_scanline) * rowBytes;
      for (size_t x = 0; x < width; ++x, s += 4)
        row[x] = s[0];
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  } else if (HasAlpha(image) != 0) {
    while (cinfo->next_scanline < cinfo->image_height) {
      RgbaOverWhiteToRgb(image->pixels + (height - 1 - cinfo->next_scanline) * rowBytes, width,
                         row);
      jpeg_write_scanlines(cinfo, rows, 1);
    }
  } else {
    while (cinfo->next_scanline < cinfo->image_height) {
      const unsigned char* s = image->pixels + (height - 1 - cinfo->next_scanline) * rowBytes;
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

uint16_t BigEndian16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Where the scan header (SOS) starts in a band's first length bytes, and where the frame
// header's height is; false until they hold the whole scan header.
bool FindHeaders(const unsigned char* data, size_t length, size_t* sos, size_t* height) {
  size_t at = 2; // after SOI
  *height = 0;
  while (at + 4 <= length && data[at] == 0xFF) {
    const unsigned marker = data[at + 1];
    const size_t segment = BigEndian16(data + at + 2);
    if (marker == 0xDA) {
      *sos = at;
      return *height != 0 && at + 2 + segment <= length;
    }
    if (marker == 0xC0 && segment >= 7)
      *height = at + 5; // FF C0, length, precision, then the height
    at += 2 + segment;
  }
  return false;
}

// libjpeg's error code (a write the file refused, no memory): back to the writer through
// its error manager; does not return.
void Fail(j_compress_ptr cinfo, int code) {
  cinfo->err->msg_code = code;
  (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
}

// ----- a band's compressed bytes, kept in memory until the file takes them in order

struct BandOutput {
  jpeg_destination_mgr pub; // first, so libjpeg's pointer to it is a pointer to the output
  unsigned char* data;
  size_t capacity;
  size_t length;
};

const size_t kFirstOutputBytes = size_t{1} << 16;

// Room for more: the buffer doubled with its first written bytes kept; libjpeg's error when
// there is none.
void Grow(j_compress_ptr cinfo, BandOutput* out, size_t written) {
  const size_t capacity = out->capacity < kFirstOutputBytes ? kFirstOutputBytes : out->capacity * 2;
  unsigned char* const data = capacity > out->capacity
                                  ? static_cast<unsigned char*>(realloc(out->data, capacity))
                                  : nullptr;
  if (data == nullptr) {
    Fail(cinfo, JERR_OUT_OF_MEMORY);
    return; // not reached
  }
  out->data = data;
  out->capacity = capacity;
  out->pub.next_output_byte = data + written;
  out->pub.free_in_buffer = capacity - written;
}

// A slot's buffer is used again from its start by the next band that has it.
void StartOutput(j_compress_ptr cinfo) {
  BandOutput* const out = reinterpret_cast<BandOutput*>(cinfo->dest);
  out->length = 0;
  out->pub.next_output_byte = out->data;
  out->pub.free_in_buffer = out->capacity;
  if (out->capacity == 0)
    Grow(cinfo, out, 0);
}

// libjpeg hands the whole buffer over as written, whatever free_in_buffer says.
boolean GrowOutput(j_compress_ptr cinfo) {
  BandOutput* const out = reinterpret_cast<BandOutput*>(cinfo->dest);
  Grow(cinfo, out, out->capacity);
  return TRUE;
}

void EndOutput(j_compress_ptr cinfo) {
  BandOutput* const out = reinterpret_cast<BandOutput*>(cinfo->dest);
  out->length = out->capacity - out->pub.free_in_buffer;
}

// ----- the first band's bytes, straight to the file: its headers wait until the scan header
// is in, to give the frame the picture's height and put the restart interval before the
// scan; its last two bytes always wait, as they may be the band's end marker, which the file
// does not take (the next band, or the file's own end marker, follows).

struct HeadOutput {
  jpeg_destination_mgr pub; // first, so libjpeg's pointer to it is a pointer to the output
  FILE* file;
  const JpegJob* job;
  unsigned char* data;
  size_t capacity;
  bool headersOut;
};

void Put(j_compress_ptr cinfo, FILE* file, const unsigned char* bytes, size_t n) {
  if (n > 0 && fwrite(bytes, 1, n, file) != n)
    Fail(cinfo, JERR_FILE_WRITE);
}

// The first valid bytes but the last two go to the file, which move to the buffer's start;
// false while the headers are not all in.
bool Flush(j_compress_ptr cinfo, HeadOutput* out, size_t valid) {
  size_t from = 0;
  if (!out->headersOut) {
    size_t sos = 0, height = 0;
    if (!FindHeaders(out->data, valid, &sos, &height))
      return false;
    const int32_t pictureHeight = out->job->image->height;
    out->data[height] = static_cast<unsigned char>(pictureHeight >> 8);
    out->data[height + 1] = static_cast<unsigned char>(pictureHeight & 0xFF);
    Put(cinfo, out->file, out->data, sos);
    if (out->job->plan.bands > 1) {
      const unsigned interval = out->job->plan.restartInterval;
      const unsigned char dri[6] = {0xFF,
                                    0xDD,
                                    0x00,
                                    0x04,
                                    static_cast<unsigned char>(interval >> 8),
                                    static_cast<unsigned char>(interval & 0xFF)};
      Put(cinfo, out->file, dri, sizeof dri);
    }
    out->headersOut = true;
    from = sos;
  }
  Put(cinfo, out->file, out->data + from, valid - 2 - from);
  memmove(out->data, out->data + valid - 2, 2);
  return true;
}

void StartHead(j_compress_ptr cinfo) {
  HeadOutput* const out = reinterpret_cast<HeadOutput*>(cinfo->dest);
  out->headersOut = false;
  out->pub.next_output_byte = out->data;
  out->pub.free_in_buffer = out->capacity;
}

// A full buffer: to the file, or grown while the headers are not all in (metadata may make
// them longer than the buffer).
boolean PassHead(j_compress_ptr cinfo) {
  HeadOutput* const out = reinterpret_cast<HeadOutput*>(cinfo->dest);
  if (Flush(cinfo, out, out->capacity)) {
    out->pub.next_output_byte = out->data + 2;
    out->pub.free_in_buffer = out->capacity - 2;
    return TRUE;
  }
  unsigned char* const data = static_cast<unsigned char*>(realloc(out->data, out->capacity * 2));
  if (data == nullptr) {
    Fail(cinfo, JERR_OUT_OF_MEMORY);
    return FALSE; // not reached
  }
  out->data = data;
  out->pub.next_output_byte = data + out->capacity;
  out->pub.free_in_buffer = out->capacity;
  out->capacity *= 2;
  return TRUE;
}

// The band's end marker stays behind.
void EndHead(j_compress_ptr cinfo) {
  HeadOutput* const out = reinterpret_cast<HeadOutput*>(cinfo->dest);
  const size_t valid = out->capacity - out->pub.free_in_buffer;
  if (valid < 4 || !Flush(cinfo, out, valid) || BigEndian16(out->data) != 0xFFD9)
    Fail(cinfo, JERR_FILE_WRITE);
}

// Runs body on a fresh compressor, in a frame of body's own; a libjpeg error there comes back
// here as 0. The compressor is destroyed on every path.
int WithCompressor(int (*body)(j_compress_ptr cinfo, void* context), void* context) {
  jpeg_compress_struct cinfo;
  JpegErrorManager manager;
  memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = ReturningErrors(&manager);
  if (setjmp(manager.jump) != 0) {
    jpeg_destroy_compress(&cinfo);
    return 0;
  }
  jpeg_create_compress(&cinfo);
  const int ok = body(&cinfo, context);
  jpeg_destroy_compress(&cinfo);
  return ok;
}

// ----- the two passes over the bands

// One per slot: a band's counter, or its compressed bytes.
struct Slot {
  JpegSymbolCounter* counter;
  bool whole;
  BandOutput output;
};

struct Pass {
  JpegJob* job;
  Slot* slots;
  bool counting;
  FILE* file;
  HeadOutput* head; // the first band's destination
};

// Band k, through either pass.
struct BandWork {
  const Pass* pass;
  size_t k;
  Slot* slot;
  unsigned char* row; // a packed row, for pictures not given to libjpeg as they are
};

int CompressBand(j_compress_ptr cinfo, void* context) {
  const BandWork& work = *static_cast<const BandWork*>(context);
  const Pass& pass = *work.pass;
  const size_t k = work.k;
  Slot* const slot = work.slot;
  const JpegJob& job = *pass.job;
  const ImageBuffer band = BandView(job, k);
  LimitLibraryMemory(reinterpret_cast<j_common_ptr>(cinfo));
  SetUp(cinfo, job, static_cast<size_t>(band.height));
  if (pass.counting) {
    CountJpegSymbols(cinfo, slot->counter);
  } else {
    if (job.fitted)
      FitJpegHuffmanTables(cinfo, &job.totals);
    if (k == 0) {
      pass.head->pub.init_destination = StartHead;
      pass.head->pub.empty_output_buffer = PassHead;
      pass.head->pub.term_destination = EndHead;
      cinfo->dest = &pass.head->pub;
    } else {
      slot->output.pub.init_destination = StartOutput;
      slot->output.pub.empty_output_buffer = GrowOutput;
      slot->output.pub.term_destination = EndOutput;
      cinfo->dest = &slot->output.pub;
    }
  }
  jpeg_start_compress(cinfo, TRUE);
  if (pass.counting)
    StartJpegSymbolCount(cinfo);
  else if (k == 0)
    WriteJpegMetadata(cinfo, job.meta);
  CompressRows(cinfo, &band, work.row);
  jpeg_finish_compress(cinfo);
  if (pass.counting)
    slot->whole = EndJpegSymbolCount(cinfo, slot->counter) != 0;
  return 1;
}

int DoBand(void* context, size_t, size_t k, size_t slotIndex) {
  const Pass& pass = *static_cast<const Pass*>(context);
  unsigned char* const row =
      static_cast<unsigned char*>(calloc(static_cast<size_t>(pass.job->image->width) * 3, 1));
  if (row == nullptr)
    return 0;
  BandWork work = {&pass, k, &pass.slots[slotIndex], row};
  const int ok = WithCompressor(CompressBand, &work);
  free(row);
  return ok;
}

// A count that did not read back whole leaves every band with the standard tables.
int TakeCount(void* context, size_t, size_t slotIndex) {
  const Pass& pass = *static_cast<const Pass*>(context);
  const Slot& slot = pass.slots[slotIndex];
  if (slot.whole)
    AddJpegSymbolCounts(slot.counter, &pass.job->totals);
  else
    pass.job->fitted = false;
  return 1;
}

// Band k's bytes in the file after the first band's (written as it was compressed): its
// coded data after a restart marker; the end marker after the last band.
int TakeBand(void* context, size_t k, size_t slotIndex) {
  const Pass& pass = *static_cast<const Pass*>(context);
  const JpegJob& job = *pass.job;
  FILE* const file = pass.file;
  if (k > 0) {
    const BandOutput& out = pass.slots[slotIndex].output;
    size_t sos = 0, height = 0;
    if (!FindHeaders(out.data, out.length, &sos, &height) || out.length < sos + 4 ||
        BigEndian16(out.data + out.length - 2) != 0xFFD9)
      return 0;
    const size_t data = sos + 2 + BigEndian16(out.data + sos + 2);
    const size_t end = out.length - 2; // before the band's end marker
    const unsigned char rst[2] = {0xFF, static_cast<unsigned char>(0xD0 + ((k - 1) & 7))};
    if (data > end || fwrite(rst, 1, 2, file) != 2 ||
        fwrite(out.data + data, 1, end - data, file) != end - data)
      return 0;
  }
  const unsigned char eoi[2] = {0xFF, 0xD9};
  return k + 1 < job.plan.bands || fwrite(eoi, 1, 2, file) == 2;
}

void FreeSlots(Slot* slots, size_t count) {
  for (size_t i = 0; slots != nullptr && i < count; ++i) {
    FreeJpegSymbolCounter(slots[i].counter);
    free(slots[i].output.data);
  }
  free(slots);
}

// The plan, from the settings every band shares.
int PlanFromSettings(j_compress_ptr cinfo, void* context) {
  JpegJob* const job = static_cast<JpegJob*>(context);
  SetUp(cinfo, *job, static_cast<size_t>(job->image->height));
  job->plan = PlanBands(job->image, cinfo);
  return 1;
}

} // namespace

int WriteJpeg(const char* path, const ImageBuffer* image, int quality, const ImageMetadata* meta) {
  if (path == nullptr || image == nullptr || image->pixels == nullptr ||
      ImagePixelBytes(image->width, image->height) == 0 ||
      static_cast<size_t>(image->width) > SIZE_MAX / 3)
    return 0;
  JpegJob* const job = static_cast<JpegJob*>(calloc(1, sizeof(JpegJob)));
  if (job == nullptr)
    return 0;
  job->image = image;
  job->quality = quality;
  job->meta = meta;
  job->fitted = true;
  const size_t threads = CodecThreadCount();
  Slot* slots = nullptr;
  size_t slotCount = 0;
  if (WithCompressor(PlanFromSettings, job) != 0) {
    slotCount = threads < job->plan.bands ? threads : job->plan.bands;
    slots = static_cast<Slot*>(calloc(slotCount, sizeof(Slot)));
  }
  HeadOutput head = {};
  head.job = job;
  head.capacity = kFirstOutputBytes;
  head.data = static_cast<unsigned char*>(malloc(head.capacity));
  bool ready = slots != nullptr && head.data != nullptr;
  for (size_t i = 0; ready && i < slotCount; ++i)
    ready = (slots[i].counter = NewJpegSymbolCounter()) != nullptr;
  FILE* const file = ready ? fopen(path, "wb") : nullptr;
  head.file = file;
  int result = 0;
  if (file != nullptr) {
    // Tables fitted to the picture, still baseline: with the standard tables files came out
    // a fifth larger than other tools'.
    Pass count = {job, slots, true, nullptr, nullptr};
    const OrderedWork counting = {job->plan.bands, slotCount, DoBand, TakeCount, &count};
    result = DoInOrder(&counting, threads);
    // The bands after the first wait in memory: room for one at a byte per pixel, more than a
    // photo takes even at quality 100, as a growing buffer would leave each of its smaller
    // copies in the process's memory. Only the pages written to are the process's; without
    // the room the buffer grows.
    const size_t room = job->plan.bandRows * static_cast<size_t>(image->width);
    for (size_t i = 0; job->plan.bands > 1 && i < slotCount; ++i)
      if ((slots[i].output.data = static_cast<unsigned char*>(malloc(room))) != nullptr)
        slots[i].output.capacity = room;
    Pass write = {job, slots, false, file, &head};
    const OrderedWork writing = {job->plan.bands, slotCount, DoBand, TakeBand, &write};
    result = result && DoInOrder(&writing, threads);
    if (fclose(file) != 0)
      result = 0;
  }
  FreeSlots(slots, slotCount);
  free(head.data);
  free(job);
  return result;
}
