// The settings record and Quillet.ini beside the program.
#include "app/settings_dlg.h"

#include "base/limits.h"
#include "base/quality_text.h"
#include "res/resource.h"
#include "win/messages.h"
#include "win/program_folder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char kIniName[] = "Quillet.ini";

// The folder holding the program, its own trailing backslash kept, then one more: the
// doubled backslash is accepted by the profile functions.
std::string IniPath() {
  char folder[MAX_PATH];
  if (!GetProgramFolder(folder, sizeof folder))
    return kIniName;
  return std::string(folder) + "\\" + kIniName;
}

// 1 when the value was written.
int WriteInt(const char* section, const char* key, int value, const std::string& ini) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return ::WritePrivateProfileStringA(section, key, text, ini.c_str()) ? 1 : 0;
}

// A value the window has no control state for reads as its default: an output type of 2
// would send pictures to the drive root, an image type of 7 would convert to nothing.
int InRangeOr(int value, int low, int high, int fallback) {
  return value < low || value > high ? fallback : value;
}

} // namespace

void CSettingsDlg::LoadSettings() {
  m_strIniPath = IniPath();
  const char* ini = m_strIniPath.c_str();
  // Large enough for any folder the window lets the user save, so none comes back cut.
  std::vector<char> dir(kPathBufferSize, '\0');
  ::GetPrivateProfileStringA("Output", "DirName", "", dir.data(), static_cast<DWORD>(dir.size()),
                             ini);
  m_strOutputDir = dir.data();
  m_nOutputType = static_cast<int>(::GetPrivateProfileIntA("Output", "Type", 0, ini));
  m_bAddExt = static_cast<int>(::GetPrivateProfileIntA("Output", "AddExt", 0, ini));
  m_bMakeDir = static_cast<int>(::GetPrivateProfileIntA("Output", "MakeDir", 0, ini));
  m_bOpenDir = static_cast<int>(::GetPrivateProfileIntA("Output", "OpenDir", 0, ini));
  m_nArchiveType = static_cast<int>(::GetPrivateProfileIntA("Archive", "Type", 0, ini));
  m_bArchiveSelect = static_cast<int>(::GetPrivateProfileIntA("Archive", "Select", 0, ini));
  m_nImageType = static_cast<int>(::GetPrivateProfileIntA("Image", "Type", 0, ini));
  char quality[32] = "";
  ::GetPrivateProfileStringA("Image", "JpegQuality", "", quality, sizeof quality, ini);
  m_nJpegQuality = JpegQualityFromText(quality);
  m_bImageSelect = static_cast<int>(::GetPrivateProfileIntA("Image", "Select", 0, ini));
  m_nOutputType = InRangeOr(m_nOutputType, 0, 1, 0);
  m_nArchiveType = InRangeOr(m_nArchiveType, 0, 5, 0);
  m_nImageType = InRangeOr(m_nImageType, 0, 2, 0);

  m_scrollQuality.SetScrollRange(1, 100);
  m_scrollQuality.SetScrollPos(m_nJpegQuality);
  UpdateData(FALSE);
}

void CSettingsDlg::SaveSettings() {
  UpdateData(TRUE);
  const std::string& ini = m_strIniPath;
  // The folder is written whole: a longer text than the classic 255 bytes is kept, not cut.
  int written =
      ::WritePrivateProfileStringA("Output", "DirName", m_strOutputDir.c_str(), ini.c_str()) ? 1
                                                                                             : 0;
  written &= WriteInt("Output", "Type", m_nOutputType, ini);
  written &= WriteInt("Output", "AddExt", m_bAddExt, ini);
  written &= WriteInt("Output", "MakeDir", m_bMakeDir, ini);
  written &= WriteInt("Output", "OpenDir", m_bOpenDir, ini);
  written &= WriteInt("Archive", "Type", m_nArchiveType, ini);
  written &= WriteInt("Archive", "Select", m_bArchiveSelect, ini);
  written &= WriteInt("Image", "Type", m_nImageType, ini);
  written &= WriteInt("Image", "JpegQuality", m_nJpegQuality, ini);
  written &= WriteInt("Image", "Select", m_bImageSelect, ini);
  // A read-only or locked file keeps nothing: the user is told, then OK ends as always.
  if (!written) {
    char folder[MAX_PATH];
    const std::string shown = GetProgramFolder(folder, sizeof folder)
                                  ? std::string(folder) + kIniName
                                  : std::string(kIniName);
    ShowStop(m_hWnd, (shown + " に設定を保存することが出来ませんでした").c_str());
  }
  std::exit(0);
}
