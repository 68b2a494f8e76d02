// The settings record and Quillet.ini beside the program.
#include "app/settings_dlg.h"

#include "base/limits.h"
#include "res/resource.h"
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

void WriteInt(const char* section, const char* key, int value, const std::string& ini) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  ::WritePrivateProfileStringA(section, key, text, ini.c_str());
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
  m_nJpegQuality = static_cast<int>(::GetPrivateProfileIntA("Image", "JpegQuality", 80, ini));
  m_bImageSelect = static_cast<int>(::GetPrivateProfileIntA("Image", "Select", 0, ini));

  m_scrollQuality.SetScrollRange(1, 100);
  m_scrollQuality.SetScrollPos(m_nJpegQuality);
  UpdateData(FALSE);
}

void CSettingsDlg::SaveSettings() {
  UpdateData(TRUE);
  const std::string& ini = m_strIniPath;
  // The folder is written whole: a longer text than the classic 255 bytes is kept, not cut.
  ::WritePrivateProfileStringA("Output", "DirName", m_strOutputDir.c_str(), ini.c_str());
  WriteInt("Output", "Type", m_nOutputType, ini);
  WriteInt("Output", "AddExt", m_bAddExt, ini);
  WriteInt("Output", "MakeDir", m_bMakeDir, ini);
  WriteInt("Output", "OpenDir", m_bOpenDir, ini);
  WriteInt("Archive", "Type", m_nArchiveType, ini);
  WriteInt("Archive", "Select", m_bArchiveSelect, ini);
  WriteInt("Image", "Type", m_nImageType, ini);
  WriteInt("Image", "JpegQuality", m_nJpegQuality, ini);
  WriteInt("Image", "Select", m_bImageSelect, ini);
  std::exit(0);
}
