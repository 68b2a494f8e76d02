#include "image/work/codec_threads.h"

#include <thread>

namespace {
// Each thread of the PNG writer holds one compressor per deflate level, about 10 MB together,
// and two segments of about 2 MB; a 32-bit process keeps room for the picture itself.
const size_t kMaxThreads = sizeof(void*) >= 8 ? 8 : 4;
} // namespace

size_t CodecThreadCount() {
  const size_t cores = std::thread::hardware_concurrency(); // 0 when unknown
  if (cores < 1)
    return 1;
  return cores < kMaxThreads ? cores : kMaxThreads;
}
