#include "image/jpeg/jpeg_codec.h"

#include "base/byte_order.h"
#include "image/jpeg/jpeg_bands.h"
#include "image/jpeg/jpeg_count.h"
#include "image/jpeg/jpeg_huffman_fit.h"
#include "image/jpeg/jpeg_metadata.h"
#include "image/work/scheduler.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <jerror.h>

// The picture is compressed in horizontal bands (jpeg_bands.h), each on a thread of its own,
// with Huffman tables fitted to the counts of its symbols (jpeg_count.h). In the file the
// bands follow one another with a restart marker between them, as libjpeg writes a picture
// whose restart interval is one band: the decoder starts its DC predictions anew there, as
// each band's compression did. A small picture, or a machine of one core, makes one band: no
// restarts.

namespace {

// Everything a band's compression needs, shared read-only by the threads.
struct JpegJob {
  JpegSettings settings;
  JpegPlan plan;
  bool fitted; // tables fitted to totals; else the standard tables
  JpegSymbolCounts totals;
};

// Where the scan header (SOS) starts in a band's first length bytes, and where the frame
// header's height is; false until they hold the whole scan header.
bool FindHeaders(const unsigned char* data, size_t length, size_t* sos, size_t* height) {
  size_t at = 2; // after SOI
  *height = 0;
  while (at + 4 <= length && data[at] == 0xFF) {
    const unsigned marker = data[at + 1];
    const size_t segment = LoadBigEndian16(data + at + 2);
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
void RaiseJpegError(j_compress_ptr cinfo, int code) {
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
void GrowBandOutput(j_compress_ptr cinfo, BandOutput* out, size_t written) {
  const size_t capacity = out->capacity < kFirstOutputBytes ? kFirstOutputBytes : out->capacity * 2;
  unsigned char* const data = capacity > out->capacity
                                  ? static_cast<unsigned char*>(realloc(out->data, capacity))
                                  : nullptr;
  if (data == nullptr) {
    RaiseJpegError(cinfo, JERR_OUT_OF_MEMORY);
    return; // not reached
  }
  out->data = data;
  out->capacity = capacity;
  out->pub.next_output_byte = data + written;
  out->pub.free_in_buffer = capacity - written;
}

// A room's buffer is used again from its start by the next band that has it.
void StartOutput(j_compress_ptr cinfo) {
  BandOutput* const out = reinterpret_cast<BandOutput*>(cinfo->dest);
  out->length = 0;
  out->pub.next_output_byte = out->data;
  out->pub.free_in_buffer = out->capacity;
  if (out->capacity == 0)
    GrowBandOutput(cinfo, out, 0);
}

// libjpeg hands the whole buffer over as written, whatever free_in_buffer says.
boolean GrowOutput(j_compress_ptr cinfo) {
  BandOutput* const out = reinterpret_cast<BandOutput*>(cinfo->dest);
  GrowBandOutput(cinfo, out, out->capacity);
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

void WriteOrFail(j_compress_ptr cinfo, FILE* file, const unsigned char* bytes, size_t n) {
  if (n > 0 && fwrite(bytes, 1, n, file) != n)
    RaiseJpegError(cinfo, JERR_FILE_WRITE);
}

// The first valid bytes but the last two go to the file, which move to the buffer's start;
// false while the headers are not all in.
bool PassHeldBytes(j_compress_ptr cinfo, HeadOutput* out, size_t valid) {
  size_t from = 0;
  if (!out->headersOut) {
    size_t sos = 0, height = 0;
    if (!FindHeaders(out->data, valid, &sos, &height))
      return false;
    const int32_t pictureHeight = out->job->settings.image->height;
    out->data[height] = static_cast<unsigned char>(pictureHeight >> 8);
    out->data[height + 1] = static_cast<unsigned char>(pictureHeight & 0xFF);
    WriteOrFail(cinfo, out->file, out->data, sos);
    if (out->job->plan.bands > 1) {
      const unsigned interval = out->job->plan.restartInterval;
      const unsigned char dri[6] = {0xFF,
                                    0xDD,
                                    0x00,
                                    0x04,
                                    static_cast<unsigned char>(interval >> 8),
                                    static_cast<unsigned char>(interval & 0xFF)};
      WriteOrFail(cinfo, out->file, dri, sizeof dri);
    }
    out->headersOut = true;
    from = sos;
  }
  WriteOrFail(cinfo, out->file, out->data + from, valid - 2 - from);
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
  if (PassHeldBytes(cinfo, out, out->capacity)) {
    out->pub.next_output_byte = out->data + 2;
    out->pub.free_in_buffer = out->capacity - 2;
    return TRUE;
  }
  unsigned char* const data = static_cast<unsigned char*>(realloc(out->data, out->capacity * 2));
  if (data == nullptr) {
    RaiseJpegError(cinfo, JERR_OUT_OF_MEMORY);
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
  if (valid < 4 || !PassHeldBytes(cinfo, out, valid) || LoadBigEndian16(out->data) != 0xFFD9)
    RaiseJpegError(cinfo, JERR_FILE_WRITE);
}

// ----- the bands through the compression that goes to the file

// One per room: a band's compressed bytes.
struct BandRoom {
  BandOutput output;
};

struct Pass {
  const JpegJob* job;
  BandRoom* rooms;
  FILE* file;
  HeadOutput* head; // the first band's destination
  Scheduler* work;  // told of the rows compressed
};

// Band k.
struct BandWork {
  const Pass* pass;
  size_t k;
  BandRoom* room;
  unsigned char* row; // a packed row, for pictures not given to libjpeg as they are
};

int CompressBand(j_compress_ptr cinfo, void* context) {
  const BandWork& work = *static_cast<const BandWork*>(context);
  const Pass& pass = *work.pass;
  const size_t k = work.k;
  const JpegJob& job = *pass.job;
  const ImageBuffer band = JpegStripeView(job.settings.image, JpegBand(job.plan, k));
  SetUpJpeg(cinfo, job.settings, static_cast<size_t>(band.height));
  if (job.fitted)
    FitJpegHuffmanTables(cinfo, &job.totals);
  if (k == 0) {
    pass.head->pub.init_destination = StartHead;
    pass.head->pub.empty_output_buffer = PassHead;
    pass.head->pub.term_destination = EndHead;
    cinfo->dest = &pass.head->pub;
  } else {
    BandOutput* const output = &work.room->output;
    output->pub.init_destination = StartOutput;
    output->pub.empty_output_buffer = GrowOutput;
    output->pub.term_destination = EndOutput;
    cinfo->dest = &output->pub;
  }
  jpeg_start_compress(cinfo, TRUE);
  if (k == 0)
    WriteJpegMetadata(cinfo, job.settings.meta);
  FeedJpegRowsTelling(cinfo, &band, work.row, pass.work);
  jpeg_finish_compress(cinfo);
  return 1;
}

int DoBand(void* context, size_t, size_t k, size_t room) {
  const Pass& pass = *static_cast<const Pass*>(context);
  unsigned char* const row = static_cast<unsigned char*>(
      calloc(static_cast<size_t>(pass.job->settings.image->width) * 3, 1));
  if (row == nullptr)
    return 0;
  BandWork work = {&pass, k, &pass.rooms[room], row};
  const int ok = WithJpegCompressor(CompressBand, &work) == kImageOk;
  free(row);
  return ok;
}

// Band k's bytes in the file after the first band's (written as it was compressed): its
// coded data after a restart marker; the end marker after the last band.
int HandOnBand(void* context, size_t k, size_t room) {
  const Pass& pass = *static_cast<const Pass*>(context);
  const JpegJob& job = *pass.job;
  FILE* const file = pass.file;
  if (k > 0) {
    const BandOutput& out = pass.rooms[room].output;
    size_t sos = 0, height = 0;
    if (!FindHeaders(out.data, out.length, &sos, &height) || out.length < sos + 4 ||
        LoadBigEndian16(out.data + out.length - 2) != 0xFFD9)
      return 0;
    const size_t data = sos + 2 + LoadBigEndian16(out.data + sos + 2);
    const size_t end = out.length - 2; // before the band's end marker
    const unsigned char rst[2] = {0xFF, static_cast<unsigned char>(0xD0 + ((k - 1) & 7))};
    if (data > end || fwrite(rst, 1, 2, file) != 2 ||
        fwrite(out.data + data, 1, end - data, file) != end - data)
      return 0;
  }
  const unsigned char eoi[2] = {0xFF, 0xD9};
  return k + 1 < job.plan.bands || fwrite(eoi, 1, 2, file) == 2;
}

void FreeRooms(BandRoom* rooms, size_t count) {
  for (size_t i = 0; rooms != nullptr && i < count; ++i)
    free(rooms[i].output.data);
  free(rooms);
}

} // namespace

ImageResult EncodeJpeg(const char* path, const ImageBuffer* image, int quality,
                       const ImageMetadata* meta, const JpegCountsAhead* ahead, Scheduler* work) {
  const JpegCountsAhead none = {0, nullptr, nullptr};
  if (path == nullptr || image == nullptr || image->pixels == nullptr)
    return kImageCannotWrite;
  if (ImagePixelBytes(image->width, image->height) == 0 ||
      static_cast<size_t>(image->width) > SIZE_MAX / 3)
    return kImageTooLarge;
  JpegJob* const job = static_cast<JpegJob*>(calloc(1, sizeof(JpegJob)));
  if (job == nullptr)
    return kImageNoMemory;
  job->settings = {image, quality, meta};
  const size_t threads = ThreadsToUse();
  BandRoom* rooms = nullptr;
  size_t roomCount = 0;
  ImageResult result = kImageCannotWrite; // the library refused the settings
  if (PlanJpeg(job->settings, &job->plan)) {
    roomCount = threads < job->plan.bands ? threads : job->plan.bands;
    rooms = static_cast<BandRoom*>(calloc(roomCount, sizeof(BandRoom)));
    result = rooms != nullptr ? kImageOk : kImageNoMemory;
  }
  HeadOutput head = {};
  head.job = job;
  head.capacity = kFirstOutputBytes;
  head.data = static_cast<unsigned char*>(malloc(head.capacity));
  if (result == kImageOk && head.data == nullptr)
    result = kImageNoMemory;
  FILE* const file = result == kImageOk ? fopen(path, "wb") : nullptr;
  head.file = file;
  if (result == kImageOk && file == nullptr)
    result = kImageCannotWrite;
  if (file != nullptr) {
    // Each row is counted, then compressed.
    PlanWriting(work, 2 * static_cast<size_t>(image->height));
    // Tables fitted to the picture, still baseline: with the standard tables files came out
    // a fifth larger than other tools'.
    job->fitted = CountJpegPicture(job->settings, job->plan, ahead != nullptr ? *ahead : none,
                                   threads, &job->totals, work) != 0;
    // The bands after the first wait in memory: room for one at a byte per pixel, more than a
    // photo takes even at quality 100, as a growing buffer would leave each of its smaller
    // copies in the process's memory. Only the pages written to are the process's; without
    // the room the buffer grows.
    const size_t roomBytes = job->plan.bandRows * static_cast<size_t>(image->width);
    for (size_t i = 0; job->plan.bands > 1 && i < roomCount; ++i)
      if ((rooms[i].output.data = static_cast<unsigned char*>(malloc(roomBytes))) != nullptr)
        rooms[i].output.capacity = roomBytes;
    Pass write = {job, rooms, file, &head, work};
    const InOrder bands = {job->plan.bands, roomCount, DoBand, HandOnBand, &write};
    result = RunInOrder(work, &bands, threads) ? kImageOk : kImageCannotWrite;
    if (fclose(file) != 0 && result == kImageOk)
      result = kImageCannotWrite;
  }
  FreeRooms(rooms, roomCount);
  free(head.data);
  free(job);
  return result;
}

int WriteJpeg(const char* path, const ImageBuffer* image, int quality) {
  CallScheduler call;
  return CodecResult(EncodeJpeg(path, image, quality, nullptr, nullptr, call.work));
}
