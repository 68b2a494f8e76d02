// The six-row archive-format list shared by the main window and the per-item question.
#pragma once

#include "framework/afxwin.h"

// Refills list control listId of dialog with one row per ArchiveType, each showing its
// library's version or that it is missing, then pushes the dialog's members into its
// controls so that the list selects the member's row.
void FillArchiveList(CWnd& dialog, int listId);
