// The last eight bytes of a self-extracting program of ours: where the appended archive
// starts (little-endian 32 bits, counted from the start of the file), then a magic word.
#pragma once

const unsigned kSfxTrailerSize = 8;
const char kSfxMagic[4] = {'Q', 'S', 'F', 'X'};
