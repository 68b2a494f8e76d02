#include "image/jpeg/jpeg_count.h"

#include "image/jpeg/jpeg_errors.h"
#include "image/picture/recovery_point.h"
#include "image/work/scheduler.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

// Sections are counted ahead in order, one MCU row at a time, on one compressor that lives
// from one spare moment to the next; a section still under way when reading ends is left to
// the writer.
struct JpegCountAhead {
  RowProgress* progress = nullptr;
  int quality = 0;
  std::atomic<bool> busy{false}; // a thread is counting
  bool stopped = false;          // a library error, a count not whole, or reading ended
  bool known = false;            // picture, settings and plan are set
  ImageBuffer picture = {};      // the shown picture's place and size
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
  int did = 0;          // the last step did a piece
};

namespace {

// Starts cinfo counting a part of rows rows of settings' picture into counter.
void StartCounting(j_compress_ptr cinfo, const JpegSettings& settings, size_t rows,
                   JpegSymbolCounter* counter) {
  SetUpJpeg(cinfo, settings, rows);
  CountJpegSymbols(cinfo, counter);
  jpeg_start_compress(cinfo, TRUE);
  StartJpegSymbolCount(cinfo);
}

// Takes the picture, once shown, and what counting it needs; false while there is none.
bool Know(JpegCountAhead* a) {
  {
    std::lock_guard<std::mutex> hold(a->progress->lock);
    const ImageBuffer* const picture = a->progress->picture;
    if (picture == nullptr || picture->pixels == nullptr)
      return false;
    a->picture = *picture;
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
  a->known = true;
  return true;
}

// Feeds the section under way the rows that are final, at most an MCU row; a section whose
// rows are all in is finished and its count kept.
int Step(JpegCountAhead* a) {
  if (a->stopped || ReadingEnded(a->progress))
    return 0;
  if (!a->known && !Know(a))
    return 0;
  if (a->counted == a->plan.sections)
    return 0;
  const JpegPart part = JpegSection(a->plan, a->counted);
  const ImageBuffer view = JpegPartView(&a->picture, part);
  const size_t rows = static_cast<size_t>(view.height);
  const size_t final = a->progress->rowsFromTop.load(std::memory_order_acquire);
  if (final <= part.first)
    return 0;
  const size_t next = a->started ? a->cinfo.next_scanline : 0;
  size_t until = final - part.first < rows ? final - part.first : rows;
  if (until > next + a->plan.mcuRows)
    until = next + a->plan.mcuRows;
  if (until <= next)
    return 0;
  j_compress_ptr const cinfo = &a->cinfo;
  if (!a->started) {
    StartCounting(cinfo, a->settings, rows, a->counter);
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

ImageResult StepBody(void* context) {
  JpegCountAhead* const a = static_cast<JpegCountAhead*>(context);
  a->did = Step(a);
  return kImageOk;
}

// A library error stops the counting ahead; the section under way is left to the writer.
int GuardedStep(JpegCountAhead* a) {
  a->did = 0;
  if (RunWithRecoveryPoint(&a->errors.jump, StepBody, a, kImageDamaged) != kImageOk) {
    a->stopped = true;
    a->started = false;
    return 0;
  }
  return a->did;
}

// ----- the writer's count of the sections not counted ahead

struct CountSlot {
  JpegSymbolCounter* counter;
  bool whole;
};

// The sections not counted ahead go in parts, each a run of sections within one band counted
// by one compressor (as many parts as threads where the bands allow): starting a compressor
// for every section made a BMP to JPEG 10 % slower under wine64.
struct Count {
  const JpegSettings* settings;
  const JpegPlan* plan;
  const size_t* partFirst; // the first section of each part, then the end of the last
  size_t firstPart;        // the parts before it were counted ahead
  CountSlot* slots;
  JpegSymbolCounts* totals;
  JpegDcEnds* ends; // per part, at its first section
  bool whole;
};

struct PartWork {
  const Count* count;
  size_t part;
  CountSlot* slot;
  unsigned char* row;
};

int CountPart(j_compress_ptr cinfo, void* context) {
  const PartWork& work = *static_cast<const PartWork*>(context);
  const Count& count = *work.count;
  const JpegPart first = JpegSection(*count.plan, count.partFirst[work.part]);
  const JpegPart last = JpegSection(*count.plan, count.partFirst[work.part + 1] - 1);
  const JpegPart part = {first.first, last.first + last.rows - first.first, first.startsBand};
  const ImageBuffer view = JpegPartView(count.settings->image, part);
  StartCounting(cinfo, *count.settings, static_cast<size_t>(view.height), work.slot->counter);
  FeedJpegRows(cinfo, &view, static_cast<size_t>(view.height), work.row);
  jpeg_finish_compress(cinfo);
  work.slot->whole = EndJpegSymbolCount(cinfo, work.slot->counter) != 0;
  return 1;
}

int DoPart(void* context, size_t, size_t k, size_t slot) {
  const Count& count = *static_cast<const Count*>(context);
  unsigned char* const row =
      static_cast<unsigned char*>(calloc(static_cast<size_t>(count.settings->image->width) * 3, 1));
  if (row == nullptr)
    return 0;
  PartWork work = {&count, count.firstPart + k, &count.slots[slot], row};
  const int ok = WithJpegCompressor(CountPart, &work) == kImageOk;
  free(row);
  return ok;
}

int TakePart(void* context, size_t k, size_t slotIndex) {
  Count& count = *static_cast<Count*>(context);
  const CountSlot& slot = count.slots[slotIndex];
  if (!slot.whole) {
    count.whole = false;
    return 1;
  }
  AddJpegSymbolCounts(slot.counter, count.totals);
  GetJpegDcEnds(slot.counter, &count.ends[count.partFirst[count.firstPart + k]]);
  return 1;
}

// Parts of the sections from counted on into partFirst (room for every section and one
// more): about as many as threads, none across a band's start; the sections counted ahead
// are parts of their own. The number of parts.
size_t CutParts(const JpegPlan& plan, size_t counted, size_t threads, size_t* partFirst) {
  size_t parts = 0;
  for (; parts < counted; ++parts)
    partFirst[parts] = parts;
  const size_t left = plan.sections - counted;
  const size_t per = threads > 0 && left > threads ? (left + threads - 1) / threads : 1;
  size_t inPart = 0;
  for (size_t s = counted; s < plan.sections; ++s, ++inPart)
    if (s == counted || inPart == per || JpegSection(plan, s).startsBand) {
      partFirst[parts++] = s;
      inPart = 0;
    }
  partFirst[parts] = plan.sections;
  return parts;
}

// The sections ahead counted of this very picture at this quality (the same settings give
// the same plan).
size_t UsableAhead(const JpegCountAhead* ahead, const JpegSettings& settings,
                   const JpegPlan& plan) {
  if (ahead == nullptr || !ahead->known)
    return 0;
  const ImageBuffer& seen = ahead->picture;
  const ImageBuffer* const image = settings.image;
  if (seen.pixels != image->pixels || seen.width != image->width || seen.height != image->height ||
      seen.channels != image->channels || ahead->quality != settings.quality ||
      ahead->counted > plan.sections)
    return 0;
  return ahead->counted;
}

} // namespace

JpegCountAhead* StartJpegCountAhead(RowProgress* progress, int quality) {
  if (progress == nullptr)
    return nullptr;
  JpegCountAhead* const ahead = new (std::nothrow) JpegCountAhead;
  if (ahead == nullptr)
    return nullptr;
  ahead->progress = progress;
  ahead->quality = quality;
  if (!AddSpareWork(progress, CountJpegAheadInSpareTime, ahead)) {
    delete ahead;
    return nullptr;
  }
  return ahead;
}

int CountJpegAheadInSpareTime(void* context) {
  JpegCountAhead* const ahead = static_cast<JpegCountAhead*>(context);
  if (ahead->busy.exchange(true, std::memory_order_acquire))
    return 0;
  const int did = GuardedStep(ahead);
  ahead->busy.store(false, std::memory_order_release);
  return did;
}

void StopJpegCountAhead(JpegCountAhead* ahead) {
  if (ahead == nullptr)
    return;
  RemoveSpareWork(ahead->progress, ahead);
  ahead->stopped = true;
  if (ahead->created)
    jpeg_destroy_compress(&ahead->cinfo);
  ahead->created = false;
  ahead->started = false;
}

size_t JpegSectionsCountedAhead(const JpegCountAhead* ahead) {
  return ahead == nullptr ? 0 : ahead->counted;
}

void FreeJpegCountAhead(JpegCountAhead* ahead) {
  if (ahead == nullptr)
    return;
  StopJpegCountAhead(ahead);
  FreeJpegSymbolCounter(ahead->counter);
  free(ahead->row);
  free(ahead->ends);
  delete ahead;
}

int CountJpegPicture(const JpegSettings& settings, const JpegPlan& plan,
                     const JpegCountAhead* ahead, size_t threads, JpegSymbolCounts* totals,
                     Scheduler* work) {
  memset(totals, 0, sizeof *totals);
  const size_t counted = UsableAhead(ahead, settings, plan);
  JpegDcEnds* const ends = static_cast<JpegDcEnds*>(calloc(plan.sections, sizeof(JpegDcEnds)));
  size_t* const partFirst = static_cast<size_t*>(calloc(plan.sections + 1, sizeof(size_t)));
  if (ends == nullptr || partFirst == nullptr) {
    free(ends);
    free(partFirst);
    return 0;
  }
  if (counted > 0) {
    *totals = ahead->totals;
    memcpy(ends, ahead->ends, counted * sizeof(JpegDcEnds));
  }
  const size_t parts = CutParts(plan, counted, threads, partFirst);
  Count count = {&settings, &plan, partFirst, counted, nullptr, totals, ends, true};
  int ok = 1;
  const size_t left = parts - counted;
  if (left > 0) {
    const size_t slotCount = threads < left ? threads : left;
    count.slots = static_cast<CountSlot*>(calloc(slotCount, sizeof(CountSlot)));
    ok = count.slots != nullptr;
    for (size_t i = 0; ok && i < slotCount; ++i)
      ok = (count.slots[i].counter = NewJpegSymbolCounter()) != nullptr;
    const InOrder runs = {left, slotCount, DoPart, TakePart, &count};
    ok = ok && RunInOrder(work, &runs, threads);
    for (size_t i = 0; count.slots != nullptr && i < slotCount; ++i)
      FreeJpegSymbolCounter(count.slots[i].counter);
    free(count.slots);
  }
  // Each part was counted as if its DC predictions started at 0; in the file only a band's
  // first part's do.
  for (size_t p = 1; ok && count.whole && p < parts; ++p)
    if (!JpegSection(plan, partFirst[p]).startsBand)
      count.whole = JoinJpegDcEnds(&ends[partFirst[p - 1]], &ends[partFirst[p]], totals) != 0;
  free(partFirst);
  free(ends);
  return ok && count.whole ? 1 : 0;
}
