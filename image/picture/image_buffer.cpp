#include "image/picture/image_buffer.h"

#include "image/picture/pixel_memory.h"

#include <cstdint>
#include <cstdlib>

void InitImageBuffer(ImageBuffer* image) {
  if (image == nullptr)
    return;
  image->pixels = nullptr;
  image->width = 0;
  image->height = 0;
  image->channels = 3;
}

size_t ImagePixelBytes(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0)
    return 0;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  if (w > SIZE_MAX / 4 / h)
    return 0;
  const size_t bytes = w * h * 4;
  if (bytes > kMaxPixelBytes)
    return 0;
#ifdef QUILLET_FUZZ_MAX_PIXEL_BYTES
  // Fuzzing builds only: a few input bytes may claim a huge picture; refuse it as if memory
  // had run out so that the fuzzer's allocation limit is not what ends the run.
  if (bytes > static_cast<size_t>(QUILLET_FUZZ_MAX_PIXEL_BYTES))
    return 0;
#endif
  return bytes;
}

size_t ImageMemoryBudget() {
  const size_t available = AvailablePhysicalBytes();
  return available < kMaxPixelBytes ? available : static_cast<size_t>(kMaxPixelBytes);
}

int ImagePixelsAffordable(int32_t width, int32_t height) {
  const size_t bytes = ImagePixelBytes(width, height);
  return bytes != 0 && bytes <= ImageMemoryBudget() ? 1 : 0;
}

ImageResult AllocPixelBlock(ImageBuffer* image) {
  FreeImagePixels(image);
  if (image->width <= 0 || image->height <= 0)
    return kImageDamaged;
  // A block beyond the memory there is would be granted by an overcommitting system and
  // then cost the process its life while the reader fills it.
  if (ImagePixelsAffordable(image->width, image->height) == 0)
    return kImageTooLarge;
  const size_t bytes = ImagePixelBytes(image->width, image->height);
  image->pixels = static_cast<unsigned char*>(calloc(bytes, 1));
  if (image->pixels == nullptr)
    return kImageNoMemory;
  AdviseLargePages(image->pixels, bytes);
  return kImageOk;
}

int AllocImagePixels(ImageBuffer* image) {
  return image != nullptr ? CodecResult(AllocPixelBlock(image)) : 0;
}

void FreeImagePixels(ImageBuffer* image) {
  if (image == nullptr)
    return;
  free(image->pixels);
  image->pixels = nullptr;
}
