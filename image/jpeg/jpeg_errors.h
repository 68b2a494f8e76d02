// How libjpeg's fatal errors come back to our codecs.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

// The standard error manager with one routine replaced: a fatal error prints the library's
// message like the standard manager does and then returns to the codec instead of ending the
// process. Warnings keep the standard handling (a line on the standard error stream).
struct JpegErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

// The replaced routine: longjmp to the manager's jump.
void ReturnToCodec(j_common_ptr cinfo);

// The standard manager with ReturnToCodec, for cinfo.err; the library is then called through
// RunWithRecoveryPoint on manager->jump.
jpeg_error_mgr* ReturningErrors(JpegErrorManager* manager);
