// Images dropped on the program or named on its command line: output names, the
// questions before overwriting, and the messages when reading or writing fails.
#include "image/bmp/bmp_codec.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/picture/image_buffer.h"
#include "image/png/png_codec.h"
#include "res/resource.h"
#include "tests/e2e/driver/ui_driver.h"
#include "tests/support/wait_until.h"

#include <cstring>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <png.h>
#include <vector>

namespace {

// A small picture with a gradient, so that a wrong row order or channel shows.
void MakePicture(ImageBuffer* image, int w, int h) {
  InitImageBuffer(image);
  image->width = w;
  image->height = h;
  image->channels = 3;
  ASSERT_EQ(AllocImagePixels(image), 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = image->pixels + (static_cast<size_t>(y) * w + x) * 4;
      p[0] = static_cast<unsigned char>(x * 255 / (w > 1 ? w - 1 : 1));
      p[1] = static_cast<unsigned char>(y * 255 / (h > 1 ? h - 1 : 1));
      p[2] = 128;
      p[3] = 255;
    }
}

class ImageJob : public ::testing::Test {
 protected:
  void SetUp() override {
    box.reset(new QuilletSandbox(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    MakePicture(&picture, 7, 5);
  }
  void TearDown() override { FreeImagePixels(&picture); }

  std::string Write(const char* name, int type) {
    std::string path = box->Path(name);
    int ok = type == 0   ? WriteBmp(path.c_str(), &picture)
             : type == 1 ? WritePng(path.c_str(), &picture)
                         : WriteJpeg(path.c_str(), &picture, 90);
    EXPECT_EQ(ok, 1) << path;
    return path;
  }
  // Waits for the next message box, checks its text and answers it with button.
  void Answer(const std::string& text, int button) {
    HWND box = app.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "expected: " << text;
    EXPECT_EQ(WindowText(box), "Quillet");
    EXPECT_EQ(MessageBoxText(box), text);
    button == IDCANCEL ? PressEscape(box) : PressButton(box, button);
    EXPECT_TRUE(testwait::WaitUntil([&] { return !::IsWindow(box); })) << "the box stays";
  }
  int End() { return app.WaitForExit(30000); }

  std::unique_ptr<QuilletSandbox> box;
  QuilletProcess app;
  ImageBuffer picture;
};

const char kSameFormat[] = "変換前後のファイル形式が同じです\n上書きしますか？";

TEST_F(ImageJob, SameFormatAsksAndYesRewritesInPlace) {
  std::string bmp = Write("photo.bmp", 0);
  std::string before = box->ReadFileText(bmp);
  box->WriteIni("[Image]\r\nType=0\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(bmp)));
  Answer(kSameFormat, IDYES);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(box->ReadFileText(bmp), before) << "a 24-bit BMP rewritten by the codec is unchanged";

  QuilletProcess again;
  ASSERT_TRUE(again.Start(*box, Quoted(bmp) + " " + Quoted(box->Path("after.lzh"))));
  HWND question = again.WaitForMessageBox();
  ASSERT_NE(question, nullptr);
  ::PostMessageA(question, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(again.WaitForExit(), 0);
  EXPECT_TRUE(box->ArchiverLog().empty()) << "No stops the batch";
}

// photo.jpeg to JPEG writes photo.jpg: a file of its own, asked about after the format.
TEST_F(ImageJob, JpegToJpegAsksAgainBeforeReplacingAnotherJpg) {
  std::string jpeg = Write("photo.jpeg", 2);
  box->WriteFileText(box->Path("photo.jpg"), "old");
  box->WriteIni("[Image]\r\nType=2\r\nJpegQuality=75\r\n");
  const std::string exists = box->Path("photo.jpg") + " は既に存在します。\n上書きしますか?";
  ASSERT_TRUE(app.Start(*box, Quoted(jpeg)));
  Answer(kSameFormat, IDYES);
  Answer(exists, IDCANCEL);
  EXPECT_EQ(End(), 0) << app.DescribeScreen();
  EXPECT_EQ(box->ReadFileText(box->Path("photo.jpg")), "old");

  QuilletProcess yes;
  ASSERT_TRUE(yes.Start(*box, Quoted(jpeg)));
  for (int i = 0; i < 2; ++i) {
    HWND question = yes.WaitForMessageBox();
    ASSERT_NE(question, nullptr);
    PressButton(question, IDYES);
    EXPECT_TRUE(testwait::WaitUntil([&] { return !::IsWindow(question); }));
  }
  EXPECT_EQ(yes.WaitForExit(), 0);
  EXPECT_EQ(IsJpegFile(box->Path("photo.jpg").c_str()), 1);
}

TEST_F(ImageJob, AnExistingOutputIsNamedAsBuiltInTheQuestion) {
  std::string png = Write("photo.png", 1);
  const std::string out = box->Path("out");
  ::CreateDirectoryA(out.c_str(), nullptr);
  box->WriteFileText(out + "\\photo.jpg", "old");
  box->WriteIni("[Output]\r\nType=1\r\nDirName=" + out + "\r\n[Image]\r\nType=2\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(png)));
  Answer(out + "\\photo.jpg は既に存在します。\n上書きしますか?", IDNO);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(box->ReadFileText(out + "\\photo.jpg"), "old");

  QuilletProcess yes;
  ASSERT_TRUE(yes.Start(*box, Quoted(png)));
  HWND question = yes.WaitForMessageBox();
  ASSERT_NE(question, nullptr);
  PressButton(question, IDYES);
  EXPECT_EQ(yes.WaitForExit(), 0);
  EXPECT_EQ(IsJpegFile((out + "\\photo.jpg").c_str()), 1);
}

// A leading - is a switch only to an archiver: the picture converts as any other.
TEST_F(ImageJob, UpperCaseJpgConvertsWithoutQuestions) {
  std::string jpg = Write("-PHOTO.JPG", 2);
  box->WriteIni("[Image]\r\nType=1\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(jpg)));
  EXPECT_EQ(End(), 0) << app.DescribeScreen();
  ImageBuffer read;
  InitImageBuffer(&read);
  EXPECT_EQ(ReadPng(box->Path("-PHOTO.png").c_str(), &read), 1);
  EXPECT_EQ(read.width, 7);
  EXPECT_EQ(read.height, 5);
  FreeImagePixels(&read);
}

TEST_F(ImageJob, AFileThatIsNotWhatItsNameSaysCannotBeOpened) {
  Write("picture.bmp", 1); // a PNG under a BMP name
  box->WriteFileText(box->Path("next.lzh"), "x");
  box->WriteIni("[Image]\r\nType=2\r\n");
  ASSERT_TRUE(
      app.Start(*box, Quoted(box->Path("picture.bmp")) + " " + Quoted(box->Path("next.lzh"))));
  Answer("picture.bmp を開くことが出来ませんでした", IDOK);
  EXPECT_EQ(End(), 0);
  EXPECT_FALSE(FileExists(box->Path("picture.jpg")));
  EXPECT_TRUE(box->ArchiverLog().empty());
}

TEST_F(ImageJob, AnOutputThatCannotBeWrittenIsReported) {
  std::string png = Write("locked.png", 1);
  // A folder where the output would go: it exists, and no file can be written there.
  std::string target = box->Path("locked.bmp");
  ::CreateDirectoryA(target.c_str(), nullptr);
  box->WriteIni("[Image]\r\nType=0\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(png)));
  Answer(target + " は既に存在します。\n上書きしますか?", IDYES);
  Answer("locked.png を作成することが出来ませんでした", IDOK);
  EXPECT_EQ(End(), 0);
  EXPECT_TRUE(IsFolder(target));
}

// How many files in folder match pattern ("~*": what a temporary file left behind is called).
int FilesIn(const std::string& folder, const char* pattern) {
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return 0;
  int n = 0;
  do
    n += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
  while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return n;
}

TEST_F(ImageJob, AReadOnlyTargetIsKeptAndReported) {
  std::string png = Write("kept.png", 1);
  std::string bmp = box->Path("kept.bmp");
  box->WriteFileText(bmp, "the user's own kept.bmp");
  ASSERT_TRUE(::SetFileAttributesA(bmp.c_str(), FILE_ATTRIBUTE_READONLY));
  box->WriteIni("[Image]\r\nType=0\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(png)));
  Answer(bmp + " は既に存在します。\n上書きしますか?", IDYES);
  Answer("kept.png を作成することが出来ませんでした", IDOK);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(box->ReadFileText(bmp), "the user's own kept.bmp");
  EXPECT_EQ(FilesIn(box->Dir(), "~*"), 0);
  ::SetFileAttributesA(bmp.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A JPEG of a few hundred bytes whose header claims 65500 x 65500 pixels (17 GB in memory).
TEST_F(ImageJob, APictureTooBigForMemoryCannotBeOpened) {
  picture.channels = 1; // gray: the whole header fits in a few hundred bytes
  std::string jpg = Write("huge.jpg", 2);
  std::string bytes = box->ReadFileText(jpg);
  size_t sof = bytes.find("\xFF\xC0"), sos = bytes.find("\xFF\xDA");
  ASSERT_NE(sof, std::string::npos);
  ASSERT_LT(sos, 360u);
  for (size_t at : {sof + 5, sof + 7}) // height, then width, big-endian
    bytes[at] = '\xFF', bytes[at + 1] = '\xDC';
  box->WriteFileText(jpg, bytes.substr(0, sos + 40)); // cut short in the scan
  box->WriteIni("[Image]\r\nType=0\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(jpg)));
  Answer("huge.jpg を開くことが出来ませんでした", IDOK);
  EXPECT_EQ(End(), 0);
  EXPECT_FALSE(FileExists(box->Path("huge.bmp")));
}

// Needs a folder on a small file system of its own (made by tests/checks/hard_conditions.sh,
// which names it in QUILLET_SMALL_DISK); the test fills it to leave less room than the
// rewritten picture takes.
TEST_F(ImageJob, AFullDiskKeepsThePictureThatWasThere) {
  const char* disk = std::getenv("QUILLET_SMALL_DISK");
  if (disk == nullptr)
    GTEST_SKIP() << "QUILLET_SMALL_DISK names no small file system";
  ImageBuffer noise;
  InitImageBuffer(&noise);
  noise.width = 200;
  noise.height = 150;
  ASSERT_EQ(AllocImagePixels(&noise), 1);
  unsigned state = 1;
  for (size_t i = 0; i < 200 * 150 * 4; ++i)
    noise.pixels[i] = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
  std::string jpg = std::string(disk) + "\\photo.jpg";
  ASSERT_EQ(WriteJpeg(jpg.c_str(), &noise, 90), 1);
  FreeImagePixels(&noise);
  std::string before = box->ReadFileText(jpg);
  ULARGE_INTEGER free;
  ASSERT_TRUE(::GetDiskFreeSpaceExA(disk, &free, nullptr, nullptr));
  ASSERT_GT(free.QuadPart, before.size());
  box->WriteFileText(std::string(disk) + "\\filler",
                     std::string(static_cast<size_t>(free.QuadPart) - before.size() / 2, 'f'));

  box->WriteIni("[Image]\r\nType=2\r\nJpegQuality=100\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(jpg)));
  Answer(kSameFormat, IDYES);
  Answer("photo.jpg を作成することが出来ませんでした", IDOK);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(box->ReadFileText(jpg), before) << "the original, byte for byte";
  EXPECT_EQ(FilesIn(disk, "*"), 2) << "no partial or temporary file left";
}

// A JPEG cut at half its bytes is refused: converted onto itself it stays as it was, byte for
// byte, and converted to PNG nothing is written; the batch stops at it.
TEST_F(ImageJob, ACutJpegCannotBeOpenedAndStaysAsItWas) {
  std::string jpg = Write("cut.jpg", 2);
  std::string whole = box->ReadFileText(jpg);
  const std::string cut = whole.substr(0, whole.size() / 2);
  box->WriteFileText(jpg, cut);
  box->WriteFileText(box->Path("next.lzh"), "x");
  const std::string items = Quoted(jpg) + " " + Quoted(box->Path("next.lzh"));

  box->WriteIni("[Image]\r\nType=2\r\n");
  ASSERT_TRUE(app.Start(*box, items));
  Answer(kSameFormat, IDYES);
  Answer("cut.jpg を開くことが出来ませんでした", IDOK);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(box->ReadFileText(jpg), cut);
  EXPECT_EQ(FilesIn(box->Dir(), "~*"), 0);

  box->WriteIni("[Image]\r\nType=1\r\n");
  QuilletProcess toPng;
  ASSERT_TRUE(toPng.Start(*box, items));
  HWND message = toPng.WaitForMessageBox();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(MessageBoxText(message), "cut.jpg を開くことが出来ませんでした");
  PressButton(message, IDOK);
  EXPECT_EQ(toPng.WaitForExit(30000), 0);
  EXPECT_FALSE(FileExists(box->Path("cut.png")));
  EXPECT_EQ(box->ReadFileText(jpg), cut);
  EXPECT_TRUE(box->ArchiverLog().empty()) << "the batch stops at the refused picture";
}

TEST_F(ImageJob, ACorruptJpegIsReportedAndTheProgramLivesOn) {
  // Only the two signature bytes: the JPEG library finds no image in it.
  box->WriteFileText(box->Path("empty.jpg"), std::string("\xFF\xD8", 2));
  box->WriteFileText(box->Path("next.png"), "x");
  box->WriteIni("[Image]\r\nType=0\r\n");
  ASSERT_TRUE(app.Start(*box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, {box->Path("empty.jpg"), box->Path("next.png")}));
  Answer("empty.jpg を開くことが出来ませんでした", IDOK);
  EXPECT_TRUE(app.Running()) << "a library error must not end the program";
  EXPECT_FALSE(FileExists(box->Path("empty.bmp")));
  PressButton(main, IDCANCEL);
  EXPECT_NE(End(), -1);
}

// A palette PNG with transparent entries, converted to PNG onto itself, keeps each pixel's
// colour and alpha, as libpng's own simplified reader sees them.
TEST_F(ImageJob, APalettePngKeepsItsTransparency) {
  const std::string path = box->Path("clear.png");
  const unsigned char colormap[] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 160, 0, 100};
  const unsigned char indices[] = {0, 1, 2, 1, 2, 2, 0, 1};
  png_image source;
  memset(&source, 0, sizeof source);
  source.version = PNG_IMAGE_VERSION;
  source.width = 4;
  source.height = 2;
  source.format = PNG_FORMAT_RGBA_COLORMAP;
  source.colormap_entries = 3;
  ASSERT_NE(png_image_write_to_file(&source, path.c_str(), 0, indices, 0, colormap), 0);
  box->WriteIni("[Image]\r\nType=1\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(path)));
  Answer(kSameFormat, IDYES);
  EXPECT_EQ(End(), 0);

  png_image written;
  memset(&written, 0, sizeof written);
  written.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&written, path.c_str()), 0);
  EXPECT_NE(written.format & PNG_FORMAT_FLAG_ALPHA, 0u) << "written with an alpha channel";
  EXPECT_EQ(written.format & PNG_FORMAT_FLAG_COLORMAP, 0u) << "the writer's own RGBA layout";
  written.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(written));
  ASSERT_NE(png_image_finish_read(&written, nullptr, rgba.data(), 0, nullptr), 0);
  ASSERT_EQ(rgba.size(), 32u);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(std::vector<unsigned char>(rgba.begin() + 4 * i, rgba.begin() + 4 * i + 4),
              std::vector<unsigned char>(colormap + 4 * indices[i], colormap + 4 * indices[i] + 4))
        << "pixel " << i;
}

} // namespace
