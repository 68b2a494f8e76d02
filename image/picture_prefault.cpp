#include "image/picture_prefault.h"

#include "image/pixel_memory.h"

#include <new>
#include <system_error>
#include <thread>

namespace {
// Small enough that the thread stops soon after reading ends, large enough that asking
// whether it has costs nothing.
const size_t kStepBytes = size_t{256} << 10;

bool ReadingEnded(RowProgress* progress) {
  return progress->ended.load(std::memory_order_relaxed) != 0;
}
} // namespace

struct PicturePrefault {
  std::thread thread;
};

namespace {

void Prefault(RowProgress* progress, FillOrder order) {
  const ImageBuffer* const picture = WaitForPicture(progress);
  if (picture == nullptr)
    return;
  // The block stays until reading ends: only its address and size are kept.
  unsigned char* const block = picture->pixels;
  const size_t bytes = ImagePixelBytes(picture->width, picture->height);
  for (size_t done = 0; block != nullptr && done < bytes && !ReadingEnded(progress);) {
    const size_t step = bytes - done < kStepBytes ? bytes - done : kStepBytes;
    PopulatePages(order == kFillsFromEnd ? block + done : block + (bytes - done - step), step);
    done += step;
  }
}

} // namespace

PicturePrefault* StartPicturePrefault(RowProgress* progress, FillOrder order) {
  if (progress == nullptr)
    return nullptr;
  PicturePrefault* const prefault = new (std::nothrow) PicturePrefault;
  if (prefault == nullptr)
    return nullptr;
  try {
    prefault->thread = std::thread(Prefault, progress, order);
  } catch (const std::system_error&) {
    delete prefault;
    return nullptr;
  }
  return prefault;
}

void EndPicturePrefault(PicturePrefault* prefault) {
  if (prefault == nullptr)
    return;
  prefault->thread.join();
  delete prefault;
}
