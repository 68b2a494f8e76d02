#include "image/jpeg_count.h"

#include "image/jpeg_errors.h"
#include "image/ordered_work.h"

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
};

namespace {

bool ReadingEnded(const RowProgress* progress) {
  return progress->ended.load(std::memory_order_relaxed) != 0;
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
    SetUpJpeg(cinfo, a->settings, rows);
    CountJpegSymbols(cinfo, a->counter);
    jpeg_start_compress(cinfo, TRUE);
    StartJpegSymbolCount(cinfo);
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

// A library error stops the counting ahead; the section under way is left to the writer.
int GuardedStep(JpegCountAhead* a) {
  if (setjmp(a->errors.jump) != 0) {
    a->stopped = true;
    a->started = false;
    return 0;
  }
  return Step(a);
}

// ----- the writer's count of the sections not counted ahead

struct CountSlot {
  JpegSymbolCounter* counter;
  bool whole;
};

struct Count {
  const JpegSettings* settings;
  const JpegPlan* plan;
  size_t firstSection; // the sections before it were counted ahead
  CountSlot* slots;
  JpegSymbolCounts* totals;
  JpegDcEnds* ends;
  bool whole;
};

struct SectionWork {
  const Count* count;
  size_t section;
  CountSlot* slot;
  unsigned char* row;
};

int CountSection(j_compress_ptr cinfo, void* context) {
  const SectionWork& work = *static_cast<const SectionWork*>(context);
  const Count& count = *work.count;
  const ImageBuffer view =
      JpegPartView(count.settings->image, JpegSection(*count.plan, work.section));
  SetUpJpeg(cinfo, *count.settings, static_cast<size_t>(view.height));
  CountJpegSymbols(cinfo, work.slot->counter);
  jpeg_start_compress(cinfo, TRUE);
  StartJpegSymbolCount(cinfo);
  FeedJpegRows(cinfo, &view, static_cast<size_t>(view.height), work.row);
  jpeg_finish_compress(cinfo);
  work.slot->whole = EndJpegSymbolCount(cinfo, work.slot->counter) != 0;
  return 1;
}

int DoSection(void* context, size_t, size_t k, size_t slot) {
  const Count& count = *static_cast<const Count*>(context);
  unsigned char* const row =
      static_cast<unsigned char*>(calloc(static_cast<size_t>(count.settings->image->width) * 3, 1));
  if (row == nullptr)
    return 0;
  SectionWork work = {&count, count.firstSection + k, &count.slots[slot], row};
  const int ok = WithJpegCompressor(CountSection, &work);
  free(row);
  return ok;
}

int TakeSection(void* context, size_t k, size_t slotIndex) {
  Count& count = *static_cast<Count*>(context);
  const CountSlot& slot = count.slots[slotIndex];
  if (!slot.whole) {
    count.whole = false;
    return 1;
  }
  AddJpegSymbolCounts(slot.counter, count.totals);
  GetJpegDcEnds(slot.counter, &count.ends[count.firstSection + k]);
  return 1;
}

bool SamePlan(const JpegPlan& a, const JpegPlan& b) {
  return a.mcuRows == b.mcuRows && a.bands == b.bands && a.bandRows == b.bandRows &&
         a.restartInterval == b.restartInterval && a.sectionRows == b.sectionRows &&
         a.sectionsPerBand == b.sectionsPerBand && a.sections == b.sections;
}

// The sections ahead counted of this very picture, cut this very way.
size_t UsableAhead(const JpegCountAhead* ahead, const JpegSettings& settings,
                   const JpegPlan& plan) {
  if (ahead == nullptr || !ahead->known)
    return 0;
  const ImageBuffer& seen = ahead->picture;
  const ImageBuffer* const image = settings.image;
  if (seen.pixels != image->pixels || seen.width != image->width || seen.height != image->height ||
      seen.channels != image->channels || ahead->quality != settings.quality ||
      !SamePlan(ahead->plan, plan))
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
                     const JpegCountAhead* ahead, size_t threads, JpegSymbolCounts* totals) {
  memset(totals, 0, sizeof *totals);
  const size_t counted = UsableAhead(ahead, settings, plan);
  JpegDcEnds* const ends = static_cast<JpegDcEnds*>(calloc(plan.sections, sizeof(JpegDcEnds)));
  if (ends == nullptr)
    return 0;
  if (counted > 0) {
    *totals = ahead->totals;
    memcpy(ends, ahead->ends, counted * sizeof(JpegDcEnds));
  }
  Count count = {&settings, &plan, counted, nullptr, totals, ends, true};
  int ok = 1;
  const size_t left = plan.sections - counted;
  if (left > 0) {
    const size_t slotCount = threads < left ? threads : left;
    count.slots = static_cast<CountSlot*>(calloc(slotCount, sizeof(CountSlot)));
    ok = count.slots != nullptr;
    for (size_t i = 0; ok && i < slotCount; ++i)
      ok = (count.slots[i].counter = NewJpegSymbolCounter()) != nullptr;
    const OrderedWork work = {left, slotCount, DoSection, TakeSection, &count};
    ok = ok && DoInOrder(&work, threads);
    for (size_t i = 0; count.slots != nullptr && i < slotCount; ++i)
      FreeJpegSymbolCounter(count.slots[i].counter);
    free(count.slots);
  }
  // Each section was counted as if its DC predictions started at 0; in the file only a band's
  // first section's do.
  for (size_t s = 1; ok && count.whole && s < plan.sections; ++s)
    if (!JpegSection(plan, s).startsBand)
      count.whole = JoinJpegDcEnds(&ends[s - 1], &ends[s], totals) != 0;
  free(ends);
  return ok && count.whole ? 1 : 0;
}
