// The machine's own programs (ImageMagick, pngcheck) for the unit tests, natively and from
// the Windows builds under Wine, where they run as Linux programs beside the test.
#pragma once

#include <string>
#include <vector>

namespace imgtest {

// Runs a POSIX shell command on the machine; its standard output goes to out when given.
// Returns the command's exit status, or -1 when no command can be run from here.
int RunShell(const std::string& command, std::vector<unsigned char>* out = nullptr);

// A file's path as the machine's programs name it (the same string natively); empty when
// the file has no such name.
std::string ToolPath(const std::string& path);

// Open files of this process, to see that no call leaves one open; -1 where this build
// cannot count them (Windows: Wine counts no handles).
int OpenFileCount();

// Threads of this process.
int ThreadCount();

int ProcessId();

} // namespace imgtest
