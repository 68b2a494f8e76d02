#include "archive/compress.h"

#include "app/too_long.h"
#include "archive/archive_commands.h"
#include "archive/archiver_library.h"

namespace {
const size_t kCommandSize = 2500;

int Run(const ArchiverLibrary& library, HWND window, int built, const char* command,
        const char* item) {
  if (!built) {
    ShowTooLong(window, item);
    return 1;
  }
  return RunArchiver(library, window, command);
}

// The plain archive goes to the temporary path, the library turns it into a
// self-extracting file in the archive's folder, and the temporary archive goes.
typedef int (*PlainCompress)(HWND, const char*, const char*, int);
typedef int (*SfxStepFormat)(char*, size_t, const char*, const char*);

int CompressSfx(const ArchiverLibrary& library, PlainCompress plain, SfxStepFormat step,
                HWND window, const char* source, const char* archive, int isFolder,
                const char* tempArchive) {
  if (plain(window, source, tempArchive, isFolder) != 0)
    return 1;
  char command[kCommandSize];
  int result =
      Run(library, window, step(command, sizeof command, tempArchive, archive), command, source);
  ::DeleteFileA(tempArchive);
  return result;
}
} // namespace

int CompressLha(HWND window, const char* source, const char* archive, int isFolder) {
  char command[kCommandSize];
  return Run(kLhaLibrary, window,
             FormatLhaCreate(command, sizeof command, archive, source, isFolder), command, source);
}

int CompressSevenZip(HWND window, const char* source, const char* archive, const char* typeName,
                     int isFolder) {
  char command[kCommandSize];
  return Run(kSevenZipLibrary, window,
             FormatSevenZipCreate(command, sizeof command, archive, source, typeName, isFolder),
             command, source);
}

int CompressCab(HWND window, const char* source, const char* archive, int isFolder) {
  char command[kCommandSize];
  return Run(kCabLibrary, window,
             FormatCabCreate(command, sizeof command, archive, source, isFolder), command, source);
}

int CompressLhaSfx(HWND window, const char* source, const char* archive, int isFolder,
                   const char* tempArchive) {
  return CompressSfx(kLhaLibrary, CompressLha, FormatLhaSfxStep, window, source, archive, isFolder,
                     tempArchive);
}

int CompressCabSfx(HWND window, const char* source, const char* archive, int isFolder,
                   const char* tempArchive) {
  return CompressSfx(kCabLibrary, CompressCab, FormatCabSfxStep, window, source, archive, isFolder,
                     tempArchive);
}
