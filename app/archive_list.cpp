#include "app/archive_list.h"

#include "archive/archiver_library.h"

#include <cstdio>

namespace {

struct ArchiveRows {
  const ArchiverLibrary* library;
  const char* present[2]; // %1.2f takes the version
  const char* missing[2];
};

// Format names are padded to 13 bytes and library names to 12, so the rows line up
// in the dialog's fixed-pitch font.
const ArchiveRows kRows[] = {
    {&kLhaLibrary,
     {"LHA          (UNLHA32.DLL ver.%1.2f)", "LHA 自己解凍 (UNLHA32.DLL ver.%1.2f)"},
     {"LHA          (UNLHA32.DLL がありません)", "LHA 自己解凍 (UNLHA32.DLL がありません)"}},
    {&kSevenZipLibrary,
     {"ZIP          (7-ZIP32.DLL ver.%1.2f)", "7-ZIP        (7-ZIP32.DLL ver.%1.2f)"},
     {"ZIP          (7-ZIP32.DLL がありません)", "7-ZIP        (7-ZIP32.DLL がありません)"}},
    {&kCabLibrary,
     {"CAB          (CAB32.DLL   ver.%1.2f)", "CAB 自己解凍 (CAB32.DLL   ver.%1.2f)"},
     {"CAB          (CAB32.DLL   がありません)", "CAB 自己解凍 (CAB32.DLL   がありません)"}},
};

} // namespace

void FillArchiveList(CWnd& dialog, int listId) {
  HWND list = dialog.GetDlgItem(listId);
  ::SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (const ArchiveRows& rows : kRows) {
    double version = 0.0;
    bool present = GetArchiverVersion(*rows.library, &version) == 0;
    for (int i = 0; i < 2; ++i) {
      char text[128];
      if (present)
        std::snprintf(text, sizeof text, rows.present[i], version);
      else
        std::snprintf(text, sizeof text, "%s", rows.missing[i]);
      ::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
  }
  dialog.UpdateData(FALSE);
}
