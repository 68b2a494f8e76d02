#include "image/picture/picture_prefault.h"

#include "image/picture/pixel_memory.h"

#include <new>

namespace {

// Its steps never run on two threads at once (scheduler.h).
struct Prefault {
  const ImageBuffer* picture = nullptr;
  FillOrder order = kFillsFromEnd;
  // The block stays until reading ends: its place and size are taken at the first step.
  unsigned char* block = nullptr;
  size_t bytes = 0;
  size_t rowBytes = 0;
  size_t taken = 0; // bytes whose faults were taken, from the far end
};

// Bytes from the far end that the reader has not made final yet. Rows final from the top end
// at the block's end when the reader fills from there; a bottom-up BMP tells of its rows only
// at the end, so there the whole block stays open until reading ends.
size_t OpenBytes(const Prefault* prefault, size_t finalRows) {
  if (prefault->order == kFillsFromStart)
    return prefault->bytes;
  const size_t final = finalRows * prefault->rowBytes;
  return final < prefault->bytes ? prefault->bytes - final : 0;
}

int TakeFaultStep(void* context, size_t finalRows) {
  Prefault* const prefault = static_cast<Prefault*>(context);
  if (prefault->block == nullptr) {
    const ImageBuffer* const picture = prefault->picture;
    prefault->block = picture->pixels;
    prefault->bytes = ImagePixelBytes(picture->width, picture->height);
    prefault->rowBytes = static_cast<size_t>(picture->width) * 4;
    if (prefault->block == nullptr)
      return 0;
  }
  const size_t open = OpenBytes(prefault, finalRows);
  if (prefault->taken >= open)
    return 0;
  const size_t done = prefault->taken;
  const size_t step = open - done < kPrefaultStepBytes ? open - done : kPrefaultStepBytes;
  prefault->taken += step;
  PopulatePages(prefault->order == kFillsFromEnd
                    ? prefault->block + done
                    : prefault->block + (prefault->bytes - done - step),
                step);
  return 1;
}

void EndPrefault(void* context) { delete static_cast<Prefault*>(context); }

} // namespace

bool TakePictureFaults(Scheduler* work, const ImageBuffer* picture, FillOrder order,
                       RowTaskPlace place) {
  Prefault* const prefault = new (std::nothrow) Prefault;
  if (prefault == nullptr)
    return false;
  prefault->picture = picture;
  prefault->order = order;
  if (SubscribeToRows(work, {TakeFaultStep, EndPrefault, prefault}, place))
    return true;
  delete prefault;
  return false;
}
