#include "image/jpeg/jpeg_guard.h"

#include "image/jpeg/jpeg_warnings.h"

namespace {

JpegGuard* GuardOf(j_common_ptr cinfo) { return static_cast<JpegGuard*>(cinfo->client_data); }

void EmitOrRefuse(j_common_ptr cinfo, int level) {
  JpegGuard* const guard = GuardOf(cinfo);
  guard->standardEmit(cinfo, level);
  if (level < 0 && JpegWarningRefusal(cinfo->err->msg_code) != nullptr) {
    guard->refusedCode = cinfo->err->msg_code;
    longjmp(*guard->jump, 1);
  }
}

// Called before each piece of input is taken in, so the refusal comes within one row of
// blocks after the scan that passes the limit has begun.
void CountScans(j_common_ptr cinfo) {
  if (cinfo->is_decompressor == 0)
    return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    GuardOf(cinfo)->tooManyScans = 1;
    longjmp(*GuardOf(cinfo)->jump, 1);
  }
}

} // namespace

void GuardJpegDecoder(j_decompress_ptr cinfo, JpegGuard* guard) {
  guard->refusedCode = -1;
  guard->tooManyScans = 0;
  guard->progress.progress_monitor = CountScans;
  guard->progress.pass_counter = 0;
  guard->progress.pass_limit = 0;
  guard->progress.completed_passes = 0;
  guard->progress.total_passes = 0;
  guard->standardEmit = cinfo->err->emit_message;
  cinfo->err->emit_message = EmitOrRefuse;
  cinfo->client_data = guard;
  cinfo->progress = &guard->progress;
}

int JpegDataCanHold(j_decompress_ptr cinfo, int64_t fileBytes) {
  if (fileBytes < 0 || cinfo->num_components < 1)
    return 1;
  // Every component that is coded at all codes each of its blocks, so the file holds at
  // least the blocks of its smallest component.
  uint64_t fewest = UINT64_MAX;
  for (int ci = 0; ci < cinfo->num_components; ++ci) {
    const jpeg_component_info& c = cinfo->comp_info[ci];
    const uint64_t blocks = static_cast<uint64_t>(c.width_in_blocks) * c.height_in_blocks;
    if (blocks < fewest)
      fewest = blocks;
  }
  const uint64_t bits = static_cast<uint64_t>(fileBytes) * 8;
  if (cinfo->arith_code) {
    // The arithmetic coder can spend as little as one bit on 2^15 decisions, and a block
    // takes at least one.
    return fewest / 32768 <= bits ? 1 : 0;
  }
  // Huffman codes are at least one bit long. A sequential block takes a DC code and an AC
  // code (end of block); a progressive one at least its DC code in the first DC scan.
  const uint64_t bitsPerBlock = cinfo->progressive_mode ? 1 : 2;
  return fewest <= bits / bitsPerBlock ? 1 : 0;
}
