#include "base/misread_names.h"

#include <gtest/gtest.h>

// ソ (83 5C) ends in the byte of a backslash; ｹ (B9) is the byte of ¹ as a code point.
TEST(MisreadNames, DevicesAndNamesEndingInADotOrASpaceAnywhereAlongAPath) {
  for (const char* path : {"C:\\pics\\aux.bmp", "con", "NUL.png", "Prn.tar.gz", "com1.bmp", "COM0",
                           "lPt9", "lpt1.txt.bmp", "aux .txt", "AUX.", "t.bmp.", "u.bmp ",
                           "C:\\a.\\b.bmp", "D:/aux/b.bmp", "..."})
    EXPECT_EQ(HasMisreadName(path), 1) << path;
  for (const char* path :
       {"auxiliary.bmp", "con_t.bmp", "com10.bmp", "comx", "lpt", " aux.txt", "t..bmp",
        "D:\\\\report.lzh", "C:\\a\\.\\..\\b", "\\\\?\\C:\\x", "", "C:\\\x83\\aux.txt", "COM\xb9"})
    EXPECT_EQ(HasMisreadName(path), 0) << path;
  EXPECT_EQ(HasMisreadName(L"COM\u00b9.txt") + HasMisreadName(L"lpt\u00b3 .a"), 2); // UTF-16
}
