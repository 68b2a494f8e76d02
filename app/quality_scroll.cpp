#include "app/quality_scroll.h"

int ApplyQualityScroll(int position, UINT code, UINT thumbPosition) {
  switch (code) {
  case SB_LINELEFT:
    position -= 1;
    break;
  case SB_LINERIGHT:
    position += 1;
    break;
  case SB_PAGELEFT:
    position -= 5;
    break;
  case SB_PAGERIGHT:
    position += 5;
    break;
  case SB_THUMBPOSITION:
  case SB_THUMBTRACK:
    position = static_cast<int>(thumbPosition);
    break;
  default:
    break;
  }
  if (position <= 0)
    return 1;
  if (position > 100)
    return 100;
  return position;
}

void ScrollQuality(CWnd& dialog, CScrollBar& bar, int& quality, UINT code, UINT thumbPosition) {
  dialog.UpdateData(TRUE);
  int position = ApplyQualityScroll(bar.GetScrollPos(), code, thumbPosition);
  bar.SetScrollPos(position);
  quality = position;
  dialog.UpdateData(FALSE);
}
