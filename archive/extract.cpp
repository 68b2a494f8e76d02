#include "archive/extract.h"

#include "archive/archive_commands.h"
#include "archive/archive_names.h"
#include "archive/archiver_library.h"
#include "base/limits.h"
#include "base/misread_names.h"
#include "win/messages.h"

namespace {
typedef int (*ExtractFormat)(char*, size_t, const char*, const char*);

int Extract(const ArchiverLibrary& library, ExtractFormat format, HWND window,
            const char* archivePath, const char* destDir) {
  char command[kPathBufferSize];
  if (!format(command, sizeof command, archivePath, destDir)) {
    ShowTooLong(window, archivePath);
    return 1;
  }
  return RunArchiver(library, window, command);
}
} // namespace

int MakeExtractDir(const char* archivePath, const char* outputDir, int outputType, int makeDir,
                   char* out, size_t outSize) {
  if (!MakeExtractDirPath(archivePath, outputDir, outputType, makeDir, out, outSize))
    return 0;
  if (HasMisreadName(out))
    return -1;
  if (makeDir == 1)
    ::CreateDirectoryA(out, nullptr);
  return 1;
}

int ExtractLha(HWND window, const char* archivePath, const char* destDir) {
  return Extract(kLhaLibrary, FormatLhaExtract, window, archivePath, destDir);
}

int ExtractSevenZip(HWND window, const char* archivePath, const char* destDir) {
  return Extract(kSevenZipLibrary, FormatSevenZipExtract, window, archivePath, destDir);
}

int ExtractCab(HWND window, const char* archivePath, const char* destDir) {
  return Extract(kCabLibrary, FormatCabExtract, window, archivePath, destDir);
}
