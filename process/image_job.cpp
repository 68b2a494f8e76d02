// One image converted to the chosen format, asking before anything is overwritten.
#include "app/settings_dlg.h"

#include "app/batch_progress.h"
#include "base/limits.h"
#include "base/misread_names.h"
#include "base/path_pieces.h"
#include "image/convert/convert_image.h"
#include "win/messages.h"
#include "win/resolve_long_path.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kTargetExtensions[] = {".bmp", ".png", ".jpg"};

void Tell(HWND window, const char* format, const PathPieces& source) {
  std::string name = std::string(source.name) + source.ext;
  char text[600];
  std::snprintf(text, sizeof text, format, name.c_str());
  ShowStop(window, text);
}

// 1 when existing, a resolved long path, names the file at path.
bool IsSameFile(const char* existing, const char* path) {
  char source[kPathBufferSize];
  return ResolveLongPath(path, source, sizeof source) && ::lstrcmpiA(existing, source) == 0;
}

// The output path: beside the source or in the output folder, with the target's extension.
bool BuildOutputPath(const PathPieces& source, const char* outputDir, int outputType,
                     int targetType, char* out, size_t outSize) {
  if (outputType == 0) {
    if (!JoinPath(out, outSize, source.drive, source.dir, source.name, ""))
      return false;
  } else {
    int n = std::snprintf(out, outSize, "%s\\%s", outputDir, source.name);
    if (n < 0 || static_cast<size_t>(n) >= outSize)
      return false;
  }
  if (targetType < 0 || targetType > 2)
    return true;
  const char* ext = kTargetExtensions[targetType];
  if (std::strlen(out) + std::strlen(ext) >= outSize)
    return false;
  std::strcat(out, ext);
  return true;
}

} // namespace

int CSettingsDlg::ConvertImageItem(const char* path, const char* outputDir, int outputType,
                                   int sourceType, int targetType, int jpegQuality) {
  UpdateData(TRUE);
  if (m_bImageSelect == 1) {
    if (AskImageOptions(path) == 1)
      return 1;
    UpdateData(TRUE);
    targetType = m_nImageType;
    jpegQuality = m_nJpegQuality;
  }

  PathPieces source;
  char output[kPathBufferSize];
  if (!SplitPath(path, &source) ||
      !BuildOutputPath(source, outputDir, outputType, targetType, output, sizeof output)) {
    ShowTooLong(m_hWnd, path);
    return 1;
  }
  // An output folder out. beside out would write into out.
  if (HasMisreadName(output)) {
    ShowUnusableName(m_hWnd, output);
    return 1;
  }

  // Only Yes replaces a file: Esc, the close box or a box that could not be shown stop.
  if (sourceType == targetType &&
      AskYesNo(m_hWnd, "変換前後のファイル形式が同じです\n上書きしますか？") != IDYES)
    return 1;
  // The same format writes over the source itself, which that question covered; any other
  // file of the output's name (photo.jpg beside photo.jpeg) is asked about on its own.
  char existing[kPathBufferSize];
  if (ResolveLongPath(output, existing, sizeof existing) &&
      (sourceType != targetType || !IsSameFile(existing, path))) {
    if (AskOverwrite(m_hWnd, output) != IDYES)
      return 1;
  }

  // While the picture converts, the window keeps painted and the batch shows how far it is.
  ConvertReport report = {CBatchProgress::StepOf, m_pBatch};
  switch (ConvertImage(path, output, sourceType, targetType, jpegQuality,
                       m_pBatch != nullptr ? &report : nullptr)) {
  case 1:
    Tell(m_hWnd, "%s を開くことが出来ませんでした", source);
    return 1;
  case 2:
    Tell(m_hWnd, "%s を作成することが出来ませんでした", source);
    return 1;
  default:
    return 0;
  }
}
