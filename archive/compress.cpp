#include "archive/compress.h"

#include "archive/archiver_library.h"
#include "archive/compression_plan.h"
#include "archive/temp_archive.h"
#include "base/limits.h"
#include "win/messages.h"

#include <memory>
#include <string>

namespace {

const ArchiverLibrary& LibraryOf(int archiver) {
  switch (archiver) {
  case kArchiverLha:
    return kLhaLibrary;
  case kArchiverSevenZip:
    return kSevenZipLibrary;
  default:
    return kCabLibrary;
  }
}

int Run(HWND window, const CompressionPlan& plan) {
  const ArchiverLibrary& library = LibraryOf(plan.archiver);
  if (RunArchiver(library, window, plan.first) != 0)
    return 1;
  if (plan.second[0] == '\0')
    return 0;
  const int result = RunArchiver(library, window, plan.second);
  ::DeleteFileA(plan.tempArchive);
  return result;
}

} // namespace

int CompressToArchive(HWND window, const char* source, int isFolder, const ArchiveFormat& format,
                      int addExt, const char* outputDir, int outputType) {
  char tempDir[kPathBufferSize] = "";
  std::unique_ptr<CompressionPlan> plan(new CompressionPlan);
  if ((format.selfExtracting && !GetTempArchiveFolder(tempDir, sizeof tempDir)) ||
      !MakeCompressionPlan(source, isFolder, format, addExt, outputDir, outputType, tempDir,
                           plan.get())) {
    ShowTooLong(window, source);
    return 1;
  }

  char ownFolder[kPathBufferSize] = "";
  if (format.selfExtracting && PathExists(plan->tempArchive)) {
    const int made = MakeOwnTempFolder(tempDir, ownFolder, sizeof ownFolder);
    if (made < 0) {
      ShowStop(window,
               (std::string(plan->tempArchive) + " を作成することが出来ませんでした").c_str());
      return 1;
    }
    if (made == 0 || !MakeCompressionPlan(source, isFolder, format, addExt, outputDir, outputType,
                                          ownFolder, plan.get())) {
      if (ownFolder[0] != '\0')
        ::RemoveDirectoryA(ownFolder);
      ShowTooLong(window, source);
      return 1;
    }
  }

  const int result = Run(window, *plan);
  if (ownFolder[0] != '\0')
    ::RemoveDirectoryA(ownFolder);
  return result;
}
