#include "win/program_folder.h"

#include "base/path_pieces.h"

#include <windows.h>

int GetProgramPath(char* out, size_t outSize) {
  if (outSize == 0)
    return 0;
  const DWORD size = outSize > MAXDWORD ? MAXDWORD : static_cast<DWORD>(outSize);
  const DWORD n = ::GetModuleFileNameA(nullptr, out, size);
  if (n == 0 || n >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int GetProgramFolder(char* out, size_t outSize) {
  char path[MAX_PATH];
  PathPieces pieces;
  if (!GetProgramPath(path, sizeof path) || !SplitPath(path, &pieces))
    return 0;
  return JoinPath(out, outSize, pieces.drive, pieces.dir, "", "");
}
