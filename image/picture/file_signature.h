// The first bytes of a file, for the codecs' signature tests.
#pragma once

#include <cstddef>

// 1 when the file at path opens for binary reading and its first count bytes fill out;
// 0 otherwise. The file is closed before returning.
int ReadLeadingBytes(const char* path, unsigned char* out, size_t count);
