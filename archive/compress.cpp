#include "archive/compress.h"

#include "archive/archiver_library.h"
#include "archive/compression_plan.h"
#include "archive/temp_archive.h"
#include "base/bounded_format.h"
#include "base/limits.h"
#include "base/misread_names.h"
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

// Moves the program at path to a free name beside it: 1 with aside holding that name.
int SetAside(const char* path, char* aside, size_t asideSize) {
  for (unsigned n = 0; n < 100; ++n) {
    if (!FormatBounded(aside, asideSize, "%s.~%02u", path, n))
      return 0;
    if (::MoveFileExA(path, aside, 0))
      return 1;
    if (::GetLastError() != ERROR_ALREADY_EXISTS && ::GetLastError() != ERROR_FILE_EXISTS)
      return 0;
  }
  return 0;
}

// The second command of a self-extracting format writes a program beside the archive's
// name; one already there is replaced only when the user agrees. The old one waits aside
// until the new one is there, and returns if the library made none. 1 when the user
// declined or the old program could not be moved (after a message).
int RunSecondStep(HWND window, const ArchiverLibrary& library, const CompressionPlan& plan,
                  int* result) {
  char aside[kPathBufferSize] = "";
  if (PathExists(plan.selfExtractor)) {
    if (AskOverwrite(window, plan.selfExtractor) != IDYES)
      return 1;
    if (!SetAside(plan.selfExtractor, aside, sizeof aside)) {
      ShowStop(window,
               (std::string(plan.selfExtractor) + " を作成することが出来ませんでした").c_str());
      return 1;
    }
  }
  *result = RunArchiver(library, window, plan.second);
  if (aside[0] != '\0') {
    if (PathExists(plan.selfExtractor))
      ::DeleteFileA(aside);
    else
      ::MoveFileExA(aside, plan.selfExtractor, 0);
  }
  return 0;
}

int Run(HWND window, const CompressionPlan& plan) {
  const ArchiverLibrary& library = LibraryOf(plan.archiver);
  if (RunArchiver(library, window, plan.first) != 0)
    return 1;
  if (plan.second[0] == '\0')
    return 0;
  int result = 1;
  const int declined = RunSecondStep(window, library, plan, &result);
  ::DeleteFileA(plan.tempArchive);
  return declined ? 1 : result;
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
  // The program would be written into out for an output folder out., or to a device.
  for (const char* made : {plan->archive, plan->tempArchive}) {
    if (HasMisreadName(made)) {
      ShowUnusableName(window, made);
      return 1;
    }
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
