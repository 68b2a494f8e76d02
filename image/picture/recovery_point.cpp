#include "image/picture/recovery_point.h"

// Never inlined: the recovery point must stay in a frame of its own, whatever the caller is.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((noinline))
#endif
ImageResult
RunWithRecoveryPoint(jmp_buf* jump, ImageResult (*body)(void* context), void* context,
                     ImageResult onJump) {
  if (setjmp(*jump) != 0)
    return onJump;
  return body(context);
}
