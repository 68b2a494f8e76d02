// Refuses a damaged or hostile JPEG while the library decodes it: a warning that means made-up
// pixels, too many scans, or a header that promises more blocks than the file could hold.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

// Most scans a file may bring. Encoders write tens at most (libjpeg's progressive default
// 10, the most elaborate scripts in use a few dozen); thousands only come from files made to
// hold a reader: each scan is one more pass over every block.
const int kMaxJpegScans = 100;

struct JpegGuard {
  jpeg_progress_mgr progress;
  void (*standardEmit)(j_common_ptr cinfo, int level);
  jmp_buf* jump;    // where a refusal leaves the library, as its fatal errors do
  int refusedCode;  // the warning that refused the file, or -1
  int tooManyScans; // 1 when the scans passed kMaxJpegScans
};

// Hooks the guard, whose jump is set, into a freshly created decompression object: the
// library's warnings and its progress go through it (cinfo->client_data points to it).
void GuardJpegDecoder(j_decompress_ptr cinfo, JpegGuard* guard);

// After jpeg_read_header: 1 when a file of fileBytes bytes could hold the blocks its header
// promises, at the fewest bits any block can take in its coding; 0 when it could not.
// A length below 0 (unknown) is given the benefit of the doubt.
int JpegDataCanHold(j_decompress_ptr cinfo, int64_t fileBytes);
