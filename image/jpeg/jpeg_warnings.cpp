#include "image/jpeg/jpeg_warnings.h"

#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <jerror.h>

namespace {

struct Refusal {
  int code;
  const char* reason;
};

// After each of these the library goes on with pixels it made up (grey, or a block repeated)
// where the file's own are missing: the result would pass for the picture while it is not.
// Every other warning leaves the picture as the file holds it: bytes between segments that
// are skipped (extraneous data), an unknown Adobe transform, an unknown JFIF revision, odd
// parameters of a sequential scan that are ignored, a damaged ICC profile (not used here).
const Refusal kRefusals[] = {
    {JWRN_JPEG_EOF, "the file ends before its picture does; the rest would be made up"},
    {JWRN_HIT_MARKER, "a data segment ends before its blocks do; the rest would be made up"},
    {JWRN_HUFF_BAD_CODE, "a code no Huffman table holds: the blocks that follow are lost"},
    {JWRN_ARITH_BAD_CODE, "an arithmetic code out of range: the blocks that follow are lost"},
    {JWRN_MUST_RESYNC,
     "a restart marker missing or out of order: the data up to the next one is skipped"},
    {JWRN_BOGUS_PROGRESSION,
     "scans refine coefficients never sent, or in the wrong order: their bits would be made up"},
};

} // namespace

const char* JpegWarningRefusal(int code) {
  for (const Refusal& r : kRefusals)
    if (r.code == code)
      return r.reason;
  return nullptr;
}
