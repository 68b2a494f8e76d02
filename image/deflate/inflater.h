// Inflating a zlib stream handed in pieces, about twice as fast as zlib's own inflate: the
// PNG reader's rows wait on nothing else.
#pragma once

#include <cstddef>

struct Inflater;

// Puts the stream's next bytes into buffer (at most capacity of them) and returns how many;
// 0 when the stream's data has ended or cannot be read.
typedef size_t (*InflateSource)(void* context, unsigned char* buffer, size_t capacity);

// An inflater reading a zlib stream from source, or nullptr when memory runs out. The header
// is checked (deflate, a window of at most 32 KB, no preset dictionary); the Adler-32 behind
// the data is not, as the chunk CRCs of a PNG already guard every byte.
Inflater* StartInflater(InflateSource source, void* context);

// Puts the next length bytes of inflated data into out: 1, or 0 when the data is damaged or
// ends first (after which the inflater gives nothing more).
int InflateExactly(Inflater* inflater, unsigned char* out, size_t length);

// Accepts nullptr.
void EndInflater(Inflater* inflater);
