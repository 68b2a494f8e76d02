// The JPEG-quality scroll rule shared by the main window and the image question.
#pragma once

#include <windows.h>

// The new position for a horizontal scroll code: arrows ±1, trough ±5, the thumb's own
// position; other codes keep it. Always within 1..100.
int ApplyQualityScroll(int position, UINT code, UINT thumbPosition);
