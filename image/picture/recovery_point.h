// The one way back from an image library's fatal error: libpng and libjpeg report one with a
// longjmp to a jump buffer that the caller set.
#pragma once

#include "image/picture/image_result.h"

#include <csetjmp>

// Runs body(context) with a recovery point at *jump: a longjmp there comes back here as
// onJump; otherwise body's result. body runs in a frame of its own, below this one, so none
// of its variables can be clobbered and this frame changes nothing after setjmp; whatever
// the library holds, the caller releases after this returns, whichever way it ended.
ImageResult RunWithRecoveryPoint(jmp_buf* jump, ImageResult (*body)(void* context), void* context,
                                 ImageResult onJump);
