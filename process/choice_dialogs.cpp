// Per-item questions. Until their dialogs exist, the item goes on with the settings as
// they are.
#include "app/settings_dlg.h"

int CSettingsDlg::AskArchiveType(const char*) { return 0; }

int CSettingsDlg::AskImageOptions(const char*) { return 0; }
