// A writer's own temporary file beside its target, and putting it in the target's place, so
// that a failed write never costs the file that was there.
// Paths are ANSI strings (code page 932 on Windows). Results: 1 success, 0 failure.
#pragma once

#include <cstddef>

// Makes a new empty file, created exclusively (never one that already exists), in target's
// folder, named "~" and hex digits as long as target's name (4 to 12 characters); its path
// goes to temp (tempSize bytes). Fails without
// making anything when target cannot be replaced: it is read-only, a folder or a device.
int CreateTempBeside(const char* target, char* temp, size_t tempSize);

// Puts the complete temporary file in target's place, replacing an existing target unless
// that is read-only; a target that exists is replaced only once the file is on the disk. On
// failure target is as it was and temp stays for RemoveTemp.
int ReplaceWithTemp(const char* temp, const char* target);

// Deletes the temporary file.
void RemoveTemp(const char* temp);
