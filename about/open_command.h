// The command line that opens an address with the program registered for web pages.
#pragma once

#include <cstddef>

// Builds into out (outSize bytes) the registered command cut at its placeholder ("%1" in
// double quotes, else a bare %1; cut at the opening quote), a space and the address. The
// command is text in code page 932, searched character by character. Returns 1, or 0 with
// out empty when the result does not fit.
int ComposeOpenCommand(const char* command, const char* address, char* out, size_t outSize);
