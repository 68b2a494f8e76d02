// Caption buttons draw their glyphs with the Marlett font; without it Wine shows letters
// ("r" for the close box) in every screenshot the tests and ./quillet take.
#include <windows.h>

#include <gtest/gtest.h>

TEST(CaptionFont, MarlettIsInstalledAndChosenByName) {
  HFONT font = ::CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, "Marlett");
  ASSERT_NE(font, nullptr);
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  char face[LF_FACESIZE] = {0};
  ::GetTextFaceA(dc, sizeof face, face);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(font);
  EXPECT_STREQ(face, "Marlett");
}
