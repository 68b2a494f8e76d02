#include "image/jpeg/jpeg_count_ahead.h"

#include "image/jpeg/jpeg_errors.h"
#include "image/picture/recovery_point.h"

#include <cstdlib>
#include <cstring>
#include <new>

// Sections are counted ahead in order, one MCU row at a time, on one compressor that lives
// from one spare moment to the next; a section still under way when reading ends is left to
// the writer. Its steps never run on two threads at once (scheduler.h).
struct JpegCountAhead {
  const ImageBuffer* published = nullptr; // the reader's picture, read once it is published
  int quality = 0;
  bool stopped = false;     // a library error or a count not whole
  bool ready = false;       // picture, settings and plan are set
  ImageBuffer picture = {}; // the published picture's place and size
  JpegSettings settings = {};
  JpegPlan plan = {};
  size_t counted = 0;           // sections counted, from the top
  JpegSymbolCounts totals = {}; // theirs
  JpegDcEnds* ends = nullptr;   // theirs, one per section
  JpegSymbolCounter* counter = nullptr;
  unsigned char* row = nullptr;
  jpeg_compress_struct cinfo;
  JpegErrorManager errors;
  bool created = false;
  bool started = false; // cinfo is compressing section counted
  size_t final = 0;     // the rows final at the step under way
  int did = 0;          // the step under way did a piece
};

namespace {

// Takes the published picture and what counting it needs; false when it cannot be had.
bool GetReady(JpegCountAhead* a) {
  a->picture = *a->published;
  if (a->picture.pixels == nullptr) {
    a->stopped = true;
    return false;
  }
  a->settings = {&a->picture, a->quality, nullptr};
  if (PlanJpeg(a->settings, &a->plan)) {
    a->ends = static_cast<JpegDcEnds*>(calloc(a->plan.sections, sizeof(JpegDcEnds)));
    a->counter = NewJpegSymbolCounter();
    a->row = static_cast<unsigned char*>(calloc(static_cast<size_t>(a->picture.width) * 3, 1));
  }
  if (a->ends == nullptr || a->counter == nullptr || a->row == nullptr) {
    a->stopped = true;
    return false;
  }
  memset(&a->cinfo, 0, sizeof a->cinfo);
  a->cinfo.err = ReturningErrors(&a->errors);
  a->created = true; // destroyed even if creating it fails half way
  jpeg_create_compress(&a->cinfo);
  a->ready = true;
  return true;
}

// Feeds the section under way the rows that are final, at most an MCU row; a section whose
// rows are all in is finished and its count kept.
int CountNextRows(JpegCountAhead* a, size_t final) {
  if (a->stopped || (!a->ready && !GetReady(a)))
    return 0;
  if (a->counted == a->plan.sections)
    return 0;
  const JpegStripe section = JpegSection(a->plan, a->counted);
  const ImageBuffer view = JpegStripeView(&a->picture, section);
  const size_t rows = static_cast<size_t>(view.height);
  if (final <= section.first)
    return 0;
  const size_t next = a->started ? a->cinfo.next_scanline : 0;
  size_t until = final - section.first < rows ? final - section.first : rows;
  if (until > next + a->plan.mcuRows)
    until = next + a->plan.mcuRows;
  if (until <= next)
    return 0;
  j_compress_ptr const cinfo = &a->cinfo;
  if (!a->started) {
    StartJpegCount(cinfo, a->settings, rows, a->counter);
    a->started = true;
  }
  FeedJpegRows(cinfo, &view, until, a->row);
  if (cinfo->next_scanline < rows)
    return 1;
  jpeg_finish_compress(cinfo);
  a->started = false;
  if (EndJpegSymbolCount(cinfo, a->counter) == 0) {
    a->stopped = true; // the writer counts it again and finds the same
    return 0;
  }
  AddJpegSymbolCounts(a->counter, &a->totals);
  GetJpegDcEnds(a->counter, &a->ends[a->counted]);
  ++a->counted;
  return 1;
}

ImageResult CountNextRowsBody(void* context) {
  JpegCountAhead* const a = static_cast<JpegCountAhead*>(context);
  a->did = CountNextRows(a, a->final);
  return kImageOk;
}

// A row task's step. A library error stops the counting ahead; the section under way is left
// to the writer.
int CountStep(void* context, size_t final) {
  JpegCountAhead* const a = static_cast<JpegCountAhead*>(context);
  a->did = 0;
  a->final = final;
  if (RunWithRecoveryPoint(&a->errors.jump, CountNextRowsBody, a, kImageDamaged) != kImageOk) {
    a->stopped = true;
    a->started = false;
    return 0;
  }
  return a->did;
}

// When the rows end: nothing more is counted, and the compressor goes. What was counted waits
// for the writer.
void EndCount(void* context) {
  JpegCountAhead* const a = static_cast<JpegCountAhead*>(context);
  a->stopped = true;
  if (a->created)
    jpeg_destroy_compress(&a->cinfo);
  a->created = false;
  a->started = false;
}

} // namespace

JpegCountAhead* CountJpegAhead(Scheduler* work, const ImageBuffer* picture, int quality) {
  JpegCountAhead* const ahead = new (std::nothrow) JpegCountAhead;
  if (ahead == nullptr)
    return nullptr;
  ahead->published = picture;
  ahead->quality = quality;
  if (!SubscribeToRows(work, {CountStep, EndCount, ahead}, kWhenAThreadWouldWait)) {
    delete ahead;
    return nullptr;
  }
  return ahead;
}

JpegCountsAhead JpegCountedSoFar(const JpegCountAhead* ahead) {
  if (ahead == nullptr || ahead->counted == 0)
    return {0, nullptr, nullptr};
  return {ahead->counted, &ahead->totals, ahead->ends};
}

void FreeJpegCountAhead(JpegCountAhead* ahead) {
  if (ahead == nullptr)
    return;
  EndCount(ahead);
  FreeJpegSymbolCounter(ahead->counter);
  free(ahead->row);
  free(ahead->ends);
  delete ahead;
}
