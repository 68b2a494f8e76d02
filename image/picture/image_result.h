// How a codec's or the driver's work ended, named: every codec returns it inside image/; only
// the public entry points turn it into the results the callers know (a codec's 1 or 0, the
// driver's 0, 1 or 2).
#pragma once

enum ImageResult {
  kImageOk = 0,
  kImageCannotOpen,  // the file is missing, cannot be read, or is not of its format
  kImageUnsupported, // a kind of the format this reader does not decode
  kImageDamaged,     // the data breaks the format, ends early, or would make pixels up
  kImageTooLarge,    // beyond the largest picture, or the memory there is for one
  kImageNoMemory,    // memory ran out
  kImageCannotWrite, // the target cannot be created, or a write to it failed
};

// The codecs' public result: 1 for kImageOk, 0 for any failure.
inline int CodecResult(ImageResult result) { return result == kImageOk ? 1 : 0; }
