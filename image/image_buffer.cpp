#include "image/image_buffer.h"

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
#ifdef QUILLET_FUZZ_MAX_PIXEL_BYTES
  // Fuzzing builds only: a few input bytes may claim a huge picture; refuse it as if memory
  // had run out so that the fuzzer's allocation limit is not what ends the run.
  if (bytes > static_cast<size_t>(QUILLET_FUZZ_MAX_PIXEL_BYTES))
    return 0;
#endif
  return bytes;
}

int AllocImagePixels(ImageBuffer* image) {
  if (image == nullptr)
    return 0;
  FreeImagePixels(image);
  const size_t bytes = ImagePixelBytes(image->width, image->height);
  if (bytes == 0)
    return 0;
  image->pixels = static_cast<unsigned char*>(calloc(bytes, 1));
  return image->pixels != nullptr ? 1 : 0;
}

void FreeImagePixels(ImageBuffer* image) {
  if (image == nullptr)
    return;
  free(image->pixels);
  image->pixels = nullptr;
}
