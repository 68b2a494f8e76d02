// Names Windows reads as something other than the file they name: a device (CON, PRN, AUX,
// NUL, COM0-9, LPT0-9, the digit also ¹ ² ³) in any case, whatever follows its first dot
// and with spaces before that dot; and a name ending in a dot or a space, which Windows drops,
// so that t.bmp. names t.bmp. Files of such names are made on other systems and shares.
#pragma once

// 1 when some name along path (parts between \ or /; "." and ".." are steps, not names) is
// one of those. The ANSI form is code page 932, which holds no superscript digits; the
// UTF-16 form sees them too.
int HasMisreadName(const char* path);
int HasMisreadName(const wchar_t* path);
