// Makes a folder and any missing folders above it, by a code page 932 path.
#pragma once

#include <string>

// True when path (with or without a trailing backslash) is a folder afterwards.
bool MakeFolders(const std::string& path);
