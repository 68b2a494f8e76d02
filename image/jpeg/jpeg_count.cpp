#include "image/jpeg/jpeg_count.h"

#include <cstdlib>
#include <cstring>

namespace {

struct BatchRoom {
  JpegSymbolCounter* counter;
  bool whole;
};

// The sections not counted ahead go in batches, each a run of sections within one band counted
// by one compressor (as many batches as threads where the bands allow): starting a compressor
// for every section made a BMP to JPEG 10 % slower under wine64.
struct Counting {
  const JpegSettings* settings;
  const JpegPlan* plan;
  const size_t* batchFirst; // the first section of each batch, then the end of the last
  size_t firstBatch;        // the batches before it were counted ahead
  BatchRoom* rooms;
  JpegSymbolCounts* totals;
  JpegDcEnds* ends; // per batch, at its first section
  bool whole;
  Scheduler* work; // told of the rows counted
};

struct BatchWork {
  const Counting* count;
  size_t batch;
  BatchRoom* room;
  unsigned char* row;
};

int CountBatch(j_compress_ptr cinfo, void* context) {
  const BatchWork& work = *static_cast<const BatchWork*>(context);
  const Counting& count = *work.count;
  const JpegStripe first = JpegSection(*count.plan, count.batchFirst[work.batch]);
  const JpegStripe last = JpegSection(*count.plan, count.batchFirst[work.batch + 1] - 1);
  const JpegStripe batch = {first.first, last.first + last.rows - first.first, first.startsBand};
  const ImageBuffer view = JpegStripeView(count.settings->image, batch);
  StartJpegCount(cinfo, *count.settings, static_cast<size_t>(view.height), work.room->counter);
  FeedJpegRowsTelling(cinfo, &view, work.row, count.work);
  jpeg_finish_compress(cinfo);
  work.room->whole = EndJpegSymbolCount(cinfo, work.room->counter) != 0;
  return 1;
}

int DoBatch(void* context, size_t, size_t k, size_t room) {
  const Counting& count = *static_cast<const Counting*>(context);
  unsigned char* const row =
      static_cast<unsigned char*>(calloc(static_cast<size_t>(count.settings->image->width) * 3, 1));
  if (row == nullptr)
    return 0;
  BatchWork work = {&count, count.firstBatch + k, &count.rooms[room], row};
  const int ok = WithJpegCompressor(CountBatch, &work) == kImageOk;
  free(row);
  return ok;
}

int AddBatch(void* context, size_t k, size_t roomIndex) {
  Counting& count = *static_cast<Counting*>(context);
  const BatchRoom& room = count.rooms[roomIndex];
  if (!room.whole) {
    count.whole = false;
    return 1;
  }
  AddJpegSymbolCounts(room.counter, count.totals);
  GetJpegDcEnds(room.counter, &count.ends[count.batchFirst[count.firstBatch + k]]);
  return 1;
}

// Batches of the sections from counted on into batchFirst (room for every section and one
// more): about as many as threads, none across a band's start; the sections counted ahead
// are batches of their own. The number of batches.
size_t CutBatches(const JpegPlan& plan, size_t counted, size_t threads, size_t* batchFirst) {
  size_t batches = 0;
  for (; batches < counted; ++batches)
    batchFirst[batches] = batches;
  const size_t left = plan.sections - counted;
  const size_t per = threads > 0 && left > threads ? (left + threads - 1) / threads : 1;
  size_t inBatch = 0;
  for (size_t s = counted; s < plan.sections; ++s, ++inBatch)
    if (s == counted || inBatch == per || JpegSection(plan, s).startsBand) {
      batchFirst[batches++] = s;
      inBatch = 0;
    }
  batchFirst[batches] = plan.sections;
  return batches;
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
  size_t* const batchFirst = static_cast<size_t*>(calloc(plan.sections + 1, sizeof(size_t)));
  if (ends == nullptr || batchFirst == nullptr) {
    free(ends);
    free(batchFirst);
    return 0;
  }
  if (counted > 0) {
    *totals = *ahead.totals;
    memcpy(ends, ahead.ends, counted * sizeof(JpegDcEnds));
    const JpegStripe last = JpegSection(plan, counted - 1);
    AddWritten(work, last.first + last.rows); // its rows were counted ahead
  }
  const size_t batches = CutBatches(plan, counted, threads, batchFirst);
  Counting count = {&settings, &plan, batchFirst, counted, nullptr, totals, ends, true, work};
  int ok = 1;
  const size_t left = batches - counted;
  if (left > 0) {
    const size_t roomCount = threads < left ? threads : left;
    count.rooms = static_cast<BatchRoom*>(calloc(roomCount, sizeof(BatchRoom)));
    ok = count.rooms != nullptr;
    for (size_t i = 0; ok && i < roomCount; ++i)
      ok = (count.rooms[i].counter = NewJpegSymbolCounter()) != nullptr;
    const InOrder batchesInOrder = {left, roomCount, DoBatch, AddBatch, &count};
    ok = ok && RunInOrder(work, &batchesInOrder, threads);
    for (size_t i = 0; count.rooms != nullptr && i < roomCount; ++i)
      FreeJpegSymbolCounter(count.rooms[i].counter);
    free(count.rooms);
  }
  // Each batch was counted as if its DC predictions started at 0; in the file only a band's
  // first batch's do.
  for (size_t p = 1; ok && count.whole && p < batches; ++p)
    if (!JpegSection(plan, batchFirst[p]).startsBand)
      count.whole = JoinJpegDcEnds(&ends[batchFirst[p - 1]], &ends[batchFirst[p]], totals) != 0;
  free(batchFirst);
  free(ends);
  return ok && count.whole ? 1 : 0;
}
