// The JPEG-quality scroll rule shared by the main window and the image question.
#pragma once

#include <windows.h>

#include "framework/afxwin.h"

// The new position for a horizontal scroll code: arrows ±1, trough ±5, the thumb's own
// position; other codes keep it. Always within 1..100.
int ApplyQualityScroll(int position, UINT code, UINT thumbPosition);

// The whole rule as both dialogs run it: pull the controls, move bar, store the new
// position in quality (a member of dialog), push the controls.
void ScrollQuality(CWnd& dialog, CScrollBar& bar, int& quality, UINT code, UINT thumbPosition);
