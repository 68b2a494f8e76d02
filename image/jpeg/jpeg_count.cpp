#include "image/jpeg/jpeg_count.h"

#include <cstdlib>
#include <cstring>

namespace {

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
  StartJpegCount(cinfo, *count.settings, static_cast<size_t>(view.height), work.slot->counter);
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

} // namespace

void StartJpegCount(j_compress_ptr cinfo, const JpegSettings& settings, size_t rows,
                    JpegSymbolCounter* counter) {
  SetUpJpeg(cinfo, settings, rows);
  CountJpegSymbols(cinfo, counter);
  jpeg_start_compress(cinfo, TRUE);
  StartJpegSymbolCount(cinfo);
}

int CountJpegPicture(const JpegSettings& settings, const JpegPlan& plan,
                     const JpegCountsAhead& ahead, size_t threads, JpegSymbolCounts* totals,
                     Scheduler* work) {
  memset(totals, 0, sizeof *totals);
  const size_t counted = ahead.sections <= plan.sections ? ahead.sections : 0;
  JpegDcEnds* const ends = static_cast<JpegDcEnds*>(calloc(plan.sections, sizeof(JpegDcEnds)));
  size_t* const partFirst = static_cast<size_t*>(calloc(plan.sections + 1, sizeof(size_t)));
  if (ends == nullptr || partFirst == nullptr) {
    free(ends);
    free(partFirst);
    return 0;
  }
  if (counted > 0) {
    *totals = *ahead.totals;
    memcpy(ends, ahead.ends, counted * sizeof(JpegDcEnds));
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
