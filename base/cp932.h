// Code page 932 (Shift_JIS) text: the program's ANSI paths are in it.
#pragma once

#include <cstddef>

// 1 when c opens a double-byte character.
int IsCp932LeadByte(unsigned char c);

// Bytes of the character at text: 2 for a lead byte followed by its trail, else 1 (a lead
// byte just before the terminator counts alone, so a walk never steps past the end).
size_t Cp932CharLength(const char* text);
