// The JPEG quality as the settings file holds it.
#pragma once

// The JPEG quality used when the settings file holds none, or none that can be used.
const int kDefaultJpegQuality = 80;

// The quality a settings text stands for: its leading decimal number (after blanks and an
// optional sign, as the profile functions read numbers), kept as it is above 100 (the JPEG
// library caps it) and up to the largest int; kDefaultJpegQuality when the text holds no
// number or one below 1, which would write worthless pictures.
int JpegQualityFromText(const char* text);
