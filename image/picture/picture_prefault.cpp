#include "image/picture/picture_prefault.h"

#include "image/picture/pixel_memory.h"

#include <new>

struct PicturePrefault {
  RowProgress* progress = nullptr;
  FillOrder order = kFillsFromEnd;
  BackgroundTask* thread = nullptr;
  // The block stays until reading ends: only its address and size are kept, taken from the
  // picture once it is shown, under the progress's lock.
  unsigned char* block = nullptr;
  size_t bytes = 0;
  size_t rowBytes = 0;
  std::atomic<bool> shown{false}; // block, bytes and rowBytes are set
  std::atomic<size_t> taken{0};   // bytes handed to a step, from the far end
};

namespace {

// Takes the block's place from the shown picture; false while there is none. Under the
// progress's lock.
bool KnowBlock(PicturePrefault* prefault) {
  const ImageBuffer* const picture = prefault->progress->picture;
  if (prefault->shown.load())
    return true;
  if (picture == nullptr || picture->pixels == nullptr)
    return false;
  prefault->block = picture->pixels;
  prefault->bytes = ImagePixelBytes(picture->width, picture->height);
  prefault->rowBytes = static_cast<size_t>(picture->width) * 4;
  prefault->shown.store(true);
  return true;
}

bool KnowBlockNow(PicturePrefault* prefault) {
  if (prefault->shown.load())
    return true;
  std::lock_guard<std::mutex> hold(prefault->progress->lock);
  return KnowBlock(prefault);
}

// Bytes from the far end that the reader has not made final yet. Rows final from the top end
// at the block's end when the reader fills from there; a bottom-up BMP tells of its rows only
// at the end, so there the whole block stays open until reading ends.
size_t OpenBytes(const PicturePrefault* prefault) {
  if (prefault->order == kFillsFromStart)
    return prefault->bytes;
  const size_t rows = prefault->progress->rowsFromTop.load(std::memory_order_relaxed);
  const size_t final = rows * prefault->rowBytes;
  return final < prefault->bytes ? prefault->bytes - final : 0;
}

int TakeStep(PicturePrefault* prefault) {
  if (ReadingEnded(prefault->progress))
    return 0;
  const size_t open = OpenBytes(prefault);
  if (prefault->taken.load() >= open)
    return 0;
  const size_t done = prefault->taken.fetch_add(kPrefaultStepBytes);
  if (done >= open)
    return 0;
  const size_t step = open - done < kPrefaultStepBytes ? open - done : kPrefaultStepBytes;
  unsigned char* const block = prefault->block;
  PopulatePages(prefault->order == kFillsFromEnd ? block + done
                                                 : block + (prefault->bytes - done - step),
                step);
  return 1;
}

void PrefaultOnThread(void* context) {
  PicturePrefault* const prefault = static_cast<PicturePrefault*>(context);
  if (WaitForPicture(prefault->progress) == nullptr || !KnowBlockNow(prefault))
    return;
  while (TakeStep(prefault) != 0) {
  }
}

} // namespace

PicturePrefault* StartPicturePrefault(RowProgress* progress, FillOrder order, PrefaultWay way,
                                      Scheduler* work) {
  if (progress == nullptr)
    return nullptr;
  PicturePrefault* const prefault = new (std::nothrow) PicturePrefault;
  if (prefault == nullptr)
    return nullptr;
  prefault->progress = progress;
  prefault->order = order;
  if (way == kInReadersSpareTime) {
    if (AddSpareWork(progress, PrefaultInSpareTime, prefault))
      return prefault;
    delete prefault;
    return nullptr;
  }
  prefault->thread = StartInBackground(work, PrefaultOnThread, prefault);
  if (prefault->thread == nullptr) {
    delete prefault;
    return nullptr;
  }
  return prefault;
}

int PrefaultInSpareTime(void* context) {
  PicturePrefault* const prefault = static_cast<PicturePrefault*>(context);
  return KnowBlockNow(prefault) ? TakeStep(prefault) : 0;
}

void EndPicturePrefault(PicturePrefault* prefault) {
  if (prefault == nullptr)
    return;
  RemoveSpareWork(prefault->progress, prefault);
  JoinBackground(prefault->thread);
  delete prefault;
}
