// A long batch: the progress window appears, names the item at work, and 中止 stops the
// batch after that item, while the main window keeps answering and takes no second drop.
#include "image/jpeg/jpeg_codec.h"
#include "image/picture/image_buffer.h"
#include "res/resource.h"
#include "tests/e2e/driver/ui_driver.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char kProgressTitle[] = "処理中 - Quillet";

// A noisy picture, slow to compress as PNG, quick to store as JPEG.
bool WriteNoisyJpeg(const std::string& path, int w, int h) {
  ImageBuffer image;
  InitImageBuffer(&image);
  image.width = w;
  image.height = h;
  image.channels = 3;
  if (AllocImagePixels(&image) != 1)
    return false;
  unsigned state = 12345;
  for (size_t i = 0; i < static_cast<size_t>(w) * h * 4; ++i) {
    state = state * 1664525u + 1013904223u;
    image.pixels[i] = (i & 3) == 3 ? 255 : static_cast<unsigned char>(state >> 24);
  }
  const int ok = WriteJpeg(path.c_str(), &image, 90);
  FreeImagePixels(&image);
  return ok == 1;
}

// Item n of the batch from the progress window's first line, "<N> 件中 <n> 件目...".
int ItemIn(const std::string& line, int total) {
  const std::string middle = " 件中 ";
  const size_t at = line.find(middle);
  if (at == std::string::npos || std::atoi(line.c_str()) != total)
    return 0;
  return std::atoi(line.c_str() + at + middle.size());
}
int ItemShown(HWND progress, int total) {
  return ItemIn(ControlText(progress, IDC_PROGRESS_COUNT), total);
}

bool Responds(HWND window) {
  DWORD_PTR ignored = 0;
  return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) != 0;
}

std::string Source(const QuilletSandbox& box, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "pic%02d.jpg", n);
  return box.Path(name);
}
std::string Output(const QuilletSandbox& box, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "pic%02d.png", n);
  return box.Path(name);
}

const int kTotal = 30;

// kTotal pictures, each about half a second's work, to be converted to PNG: the batch outlasts
// the waits before 中止 is pressed (a screenshot waits for a still screen up to ten seconds).
void MakeBatch(const QuilletSandbox& box, std::vector<std::string>* items) {
  box.WriteIni("[Image]\r\nType=1\r\n");
  ASSERT_TRUE(WriteNoisyJpeg(Source(box, 1), 2000, 2000));
  items->push_back(Source(box, 1));
  for (int n = 2; n <= kTotal; ++n) {
    ASSERT_TRUE(::CopyFileA(Source(box, 1).c_str(), Source(box, n).c_str(), FALSE));
    items->push_back(Source(box, n));
  }
}

struct Stop {
  int pressedAt; // the item shown as 中止 was pressed
  int saidStop;  // the item after which the window said the batch stops; 0 when it was
                 // gone before that could be read (pressed just as an item ended)
  bool gone;     // the progress window went
};

// Presses 中止 on the progress window and waits for the window to go.
Stop PressStop(HWND progress) {
  Stop stop = {ItemShown(progress, kTotal), 0, false};
  PressButton(progress, IDCANCEL);
  const DWORD deadline = ::GetTickCount() + 20000;
  while (::IsWindow(progress) && ::GetTickCount() < deadline) {
    const std::string line = ControlText(progress, IDC_PROGRESS_COUNT);
    if (stop.saidStop == 0 && line.find("中止") != std::string::npos)
      stop.saidStop = ItemIn(line, kTotal);
    ::Sleep(20);
  }
  stop.gone = !::IsWindow(progress);
  return stop;
}

// The batch stopped after the item at work when 中止 was pressed (or the next one, when the
// press came as that item ended): the outputs of the items up to it, none after.
void ExpectStoppedAfterTheCurrentItem(const QuilletSandbox& box, const Stop& stop) {
  ASSERT_TRUE(stop.gone) << "the batch did not stop";
  ASSERT_GT(stop.pressedAt, 0);
  int done = 0;
  while (done < kTotal && FileExists(Output(box, done + 1)))
    ++done;
  for (int n = done + 1; n <= kTotal; ++n)
    EXPECT_FALSE(FileExists(Output(box, n))) << Output(box, n);
  EXPECT_GE(done, stop.pressedAt);
  EXPECT_LE(done, stop.pressedAt + 1);
  EXPECT_LT(done, kTotal) << "the batch ended before it could be stopped";
  if (stop.saidStop != 0) {
    EXPECT_EQ(done, stop.saidStop);
  }
}

TEST(Progress, StopMidBatchAfterTheCurrentItem) {
  QuilletSandbox box("ProgressStop", false);
  const int total = kTotal;
  std::vector<std::string> items;
  MakeBatch(box, &items);
  const std::string late = box.Path("late.jpg");
  ASSERT_TRUE(WriteNoisyJpeg(late, 64, 64));

  QuilletProcess app;
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, items));

  HWND progress = app.WaitForWindow(kProgressTitle, 30000);
  ASSERT_NE(progress, nullptr) << app.DescribeScreen();
  const DWORD deadline = ::GetTickCount() + 20000;
  int shown = 0;
  while ((shown = ItemShown(progress, total)) == 0 && ::GetTickCount() < deadline)
    ::Sleep(20);
  ASSERT_GT(shown, 0) << ControlText(progress, IDC_PROGRESS_COUNT);
  ASSERT_LT(shown, total) << "the batch ended before it could be stopped";
  char expectedName[32];
  std::snprintf(expectedName, sizeof expectedName, "pic%02d.jpg", shown);
  const std::string name = ControlText(progress, IDC_PROGRESS_NAME);
  EXPECT_TRUE(name == expectedName || ItemShown(progress, total) != shown) << name;
  SaveScreenshot(progress, "progress_window");

  // Working, the main window answers messages but takes no input: a second drop waits for
  // the batch's end.
  EXPECT_TRUE(Responds(main));
  EXPECT_FALSE(::IsWindowEnabled(main));
  ASSERT_TRUE(DropFiles(main, {late}));
  EXPECT_TRUE(Responds(main));
  EXPECT_FALSE(FileExists(box.Path("late.png")));
  ASSERT_TRUE(::IsWindow(progress)) << "the batch ended before it could be stopped";

  const Stop stop = PressStop(progress);
  ASSERT_TRUE(stop.gone) << "the batch did not stop";

  // The held drop runs now, quickly and without a progress window; then the window is
  // itself again.
  const DWORD lateDeadline = ::GetTickCount() + 30000;
  while ((!FileExists(box.Path("late.png")) || !::IsWindowEnabled(main)) &&
         ::GetTickCount() < lateDeadline) {
    EXPECT_EQ(app.FindWindowTitled(kProgressTitle), nullptr);
    ::Sleep(20);
  }
  EXPECT_TRUE(FileExists(box.Path("late.png")));
  EXPECT_TRUE(::IsWindowEnabled(main));
  EXPECT_TRUE(Responds(main));

  ExpectStoppedAfterTheCurrentItem(box, stop);
  EXPECT_TRUE(app.Running());
  app.Kill();
}

// Items on the command line are worked through from the first paint; 中止 ends the program
// after the current item.
TEST(Progress, StopACommandLineBatch) {
  QuilletSandbox box("ProgressStopCommandLine", false);
  std::vector<std::string> items;
  MakeBatch(box, &items);
  std::string args;
  for (const std::string& item : items)
    args += (args.empty() ? "" : " ") + Quoted(item);
  QuilletProcess app;
  ASSERT_TRUE(app.Start(box, args));
  HWND progress = app.WaitForWindow(kProgressTitle, 30000);
  ASSERT_NE(progress, nullptr) << app.DescribeScreen();
  const DWORD deadline = ::GetTickCount() + 20000;
  while (ItemShown(progress, kTotal) == 0 && ::GetTickCount() < deadline)
    ::Sleep(20);
  const Stop stop = PressStop(progress);
  EXPECT_EQ(app.WaitForExit(30000), 0);
  ExpectStoppedAfterTheCurrentItem(box, stop);
}

// One long item: the window shows while it converts, and its bar moves on while the target
// is written, past the fifth that reading takes of a conversion to PNG.
TEST(Progress, ALongFirstItemShowsHowFarItsWritingIs) {
  QuilletSandbox box("ProgressOneItem", false);
  box.WriteIni("[Image]\r\nType=1\r\n");
  const std::string source = box.Path("long.jpg");
  ASSERT_TRUE(WriteNoisyJpeg(source, 5000, 5000));
  QuilletProcess app;
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, {source}));
  HWND progress = app.WaitForWindow(kProgressTitle, 30000);
  ASSERT_NE(progress, nullptr) << app.DescribeScreen();
  EXPECT_FALSE(FileExists(box.Path("long.png"))) << "shown only after the item";
  int writing = 0; // a position past reading's share and short of the end
  const DWORD deadline = ::GetTickCount() + 300000;
  while (::IsWindow(progress) && ::GetTickCount() < deadline) {
    const LRESULT at = ::SendMessageA(::GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0);
    if (at > 200 && at < 1000)
      writing = static_cast<int>(at);
    ::Sleep(20);
  }
  EXPECT_GT(writing, 0) << "the bar stood still while the target was written";
  EXPECT_TRUE(testwait::WaitUntil([&] { return FileExists(box.Path("long.png")); }));
  app.Kill();
}

} // namespace
