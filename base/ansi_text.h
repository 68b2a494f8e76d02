// Text in the program's ANSI code page (code page 932 on a Japanese Windows) as Unicode.
#pragma once

#include <cstdint>
#include <vector>

// Appends text's characters to out as code points; false when they cannot be decoded. On
// Windows the system's ANSI code page; elsewhere code page 932, which the program's paths
// are in.
bool AnsiCodePoints(const char* text, std::vector<uint32_t>* out);
