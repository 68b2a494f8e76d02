// printf into a fixed buffer that refuses, rather than cuts, what does not fit.
#pragma once

#include <cstddef>

// 1 when the whole text fit into out (outSize bytes with the terminator); 0 otherwise,
// and out then holds an empty string.
int FormatBounded(char* out, size_t outSize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
