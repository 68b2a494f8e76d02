// libFuzzer target for the PNG reader's inflater, checked against zlib on every input: a
// stream zlib reads to its end gives the same bytes, and from one that zlib refuses or finds
// cut, no byte comes beyond what zlib could read.
#include "image/deflate/inflater.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const size_t kMostOutput = 1 << 20;

struct Feed {
  const uint8_t* data;
  size_t size;
  size_t pos;
  size_t piece;
};

size_t FeedPiece(void* context, unsigned char* buffer, size_t capacity) {
  Feed& f = *static_cast<Feed*>(context);
  size_t n = f.size - f.pos;
  n = n < capacity ? n : capacity;
  n = n < f.piece ? n : f.piece;
  memcpy(buffer, f.data + f.pos, n);
  f.pos += n;
  return n;
}

// zlib's output, at most kMostOutput bytes; 1 when the stream ended well or the limit was
// reached, 0 when zlib refused or ran out of input first.
int ZlibInflate(const uint8_t* data, size_t size, std::vector<unsigned char>* out) {
  if (size < 2)
    return 0;
  const unsigned cmf = data[0], flags = data[1];
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (flags & 0x20) != 0 || ((cmf << 8) | flags) % 31)
    return 0;
  z_stream z = {};
  inflateInit2(&z, -15);
  z.next_in = const_cast<uint8_t*>(data + 2);
  z.avail_in = static_cast<uInt>(size - 2);
  out->resize(kMostOutput);
  z.next_out = out->data();
  z.avail_out = static_cast<uInt>(out->size());
  const int status = inflate(&z, Z_FINISH);
  out->resize(z.total_out);
  inflateEnd(&z);
  return status == Z_STREAM_END || out->size() == kMostOutput;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> expected;
  const int whole = ZlibInflate(data, size, &expected);
  Feed feed = {data, size, 0, size % 2 ? size_t{1} : size_t{4096}};
  Inflater* f = StartInflater(FeedPiece, &feed);
  if (f == nullptr)
    return 0;
  std::vector<unsigned char> out(expected.size() + 1);
  const size_t read = 1 + size % 5000;
  size_t done = 0;
  int ok = 1;
  while (ok && done < expected.size()) {
    const size_t n = expected.size() - done < read ? expected.size() - done : read;
    ok = InflateExactly(f, out.data() + done, n);
    if (ok)
      done += n;
  }
  if (done > 0 && memcmp(out.data(), expected.data(), done) != 0)
    abort(); // different bytes
  if (whole && !ok)
    abort(); // refused what zlib reads
  if (!whole && ok && InflateExactly(f, out.data() + done, 1) == 1)
    abort(); // a byte beyond what zlib could read
  EndInflater(f);
  return 0;
}
