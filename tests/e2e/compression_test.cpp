// Files and folders compressed in the six formats: the names and the command lines the
// archiver libraries receive, and the temporary archive of the self-extracting formats.
#include "res/resource.h"
#include "tests/e2e/driver/ui_driver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
class Compression : public ::testing::Test {
 protected:
  void SetUp() override {
    box.reset(new QuilletSandbox(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    data = box->Path("data");
    out = box->Path("out");
    temp = box->Path("TEMP");
    for (const std::string& d : {data, out, temp, data + "\\photos"})
      ::CreateDirectoryA(d.c_str(), nullptr);
    box->WriteFileText(data + "\\report.txt", "report");
    box->WriteFileText(data + "\\photos\\p1.txt", "p1");
    ::SetEnvironmentVariableA("temp", temp.c_str());
  }
  void TearDown() override { ::SetEnvironmentVariableA("temp", savedTemp.c_str()); }

  std::vector<std::string> Run(const std::string& ini, const std::string& item) {
    box->WriteIni(ini);
    ::DeleteFileA(box->ArchiverLogPath().c_str());
    QuilletProcess run;
    EXPECT_TRUE(run.Start(*box, Quoted(item)));
    EXPECT_EQ(run.WaitForExit(30000), 0) << run.DescribeScreen();
    return box->ArchiverLog();
  }

  static std::string InitialTemp() {
    char value[MAX_PATH] = {0};
    ::GetEnvironmentVariableA("temp", value, sizeof value);
    return value;
  }

  std::unique_ptr<QuilletSandbox> box;
  QuilletProcess app;
  std::string data, out, temp;
  std::string savedTemp = InitialTemp();
};

TEST_F(Compression, WorkedExamplesReachTheLibrariesByteForByte) {
  const std::string report = data + "\\report.txt";
  const std::string photos = data + "\\photos";
  const std::string outIni = "[Output]\r\nType=1\r\nDirName=" + out + "\r\n";
  struct Case {
    std::string ini;
    std::string item;
    std::vector<std::string> log;
  } cases[] = {
      {"[Archive]\r\nType=0\r\n",
       report,
       {"Unlha\ta " + Quoted(data + "\\report.lzh") + " " + Quoted(report)}},
      {outIni + "AddExt=1\r\n[Archive]\r\nType=0\r\n",
       report,
       {"Unlha\ta " + Quoted(out + "\\report_txt.lzh") + " " + Quoted(report)}},
      {"[Archive]\r\nType=0\r\n",
       photos,
       {"Unlha\ta " + Quoted(data + "\\photos.lzh") + " " + Quoted(data + "\\") +
        " \"photos\" -d"}},
      {"[Archive]\r\nType=2\r\n",
       photos,
       {"SevenZip\ta -tzip " + Quoted(data + "\\photos.zip") + " " + Quoted(data + "\\") +
        " \"-ir!photos\\*\""}},
      {"[Archive]\r\nType=3\r\n",
       report,
       {"SevenZip\ta -t7z " + Quoted(data + "\\report.7z") + " " + Quoted(data + "\\") +
        " \"report.txt\""}},
      {"[Archive]\r\nType=4\r\n",
       photos,
       {"Cab\t-a -r " + Quoted(data + "\\photos.cab") + " " + Quoted(data + "\\") +
        " \"photos\\*.*\""}},
      {"[Archive]\r\nType=1\r\n",
       report,
       {"Unlha\ta " + Quoted(temp + "\\report.lzh") + " " + Quoted(report),
        "Unlha\ts -gw -x " + Quoted(temp + "\\report.lzh") + " " + Quoted(data + "\\")}},
      {outIni + "[Archive]\r\nType=5\r\n",
       photos,
       {"Cab\t-a -r " + Quoted(temp + "\\photos.cab") + " " + Quoted(data + "\\") +
            " \"photos\\*.*\"",
        "Cab\t-f " + Quoted(temp + "\\photos.cab") + " " + Quoted(out + "\\")}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Run(c.ini, c.item), c.log) << c.ini;
  EXPECT_FALSE(FileExists(temp + "\\report.lzh"));
  EXPECT_FALSE(FileExists(temp + "\\photos.cab"));
}

TEST_F(Compression, NamesOfAwkwardItems) {
  box->WriteFileText(data + "\\README", "r");
  box->WriteFileText(data + "\\a.b.c", "abc");
  ::CreateDirectoryA((data + "\\album.2003").c_str(), nullptr);
  const std::string root = out + "\\"; // like a drive root: the backslash is doubled
  struct Case {
    std::string ini;
    std::string item;
    std::string log;
  } cases[] = {
      {"[Output]\r\nAddExt=1\r\n[Archive]\r\nType=0\r\n", data + "\\README",
       "Unlha\ta " + Quoted(data + "\\README.lzh") + " " + Quoted(data + "\\README")},
      {"[Archive]\r\nType=4\r\n", data + "\\a.b.c",
       "Cab\t-a " + Quoted(data + "\\a.b.cab") + " " + Quoted(data + "\\") + " \"a.b.c\""},
      {"[Output]\r\nAddExt=1\r\n[Archive]\r\nType=4\r\n", data + "\\a.b.c",
       "Cab\t-a " + Quoted(data + "\\a.b_c.cab") + " " + Quoted(data + "\\") + " \"a.b.c\""},
      {"[Archive]\r\nType=2\r\n", data + "\\album.2003",
       "SevenZip\ta -tzip " + Quoted(data + "\\album.zip") + " " + Quoted(data + "\\") +
           " \"-ir!album.2003\\*\""},
      {"[Output]\r\nAddExt=1\r\n[Archive]\r\nType=2\r\n", data + "\\album.2003",
       "SevenZip\ta -tzip " + Quoted(data + "\\album_2003.zip") + " " + Quoted(data + "\\") +
           " \"-ir!album.2003\\*\""},
      {"[Output]\r\nType=1\r\nDirName=" + root + "\r\n[Archive]\r\nType=0\r\n",
       data + "\\report.txt",
       "Unlha\ta " + Quoted(root + "\\report.lzh") + " " + Quoted(data + "\\report.txt")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Run(c.ini, c.item), std::vector<std::string>{c.log}) << c.ini;
}

// An unknown format in the settings reads as the default, LHA, rather than making nothing.
TEST_F(Compression, AnUnknownFormatFromTheSettingsMakesLha) {
  box->WriteFileText(data + "\\next.lzh", "x");
  box->WriteIni("[Archive]\r\nType=7\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(data + "\\report.txt") + " " + Quoted(data + "\\next.lzh")));
  EXPECT_EQ(app.WaitForExit(30000), 0) << app.DescribeScreen();
  std::vector<std::string> log = box->ArchiverLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].rfind("Unlha\ta ", 0), 0u) << log[0];
  EXPECT_EQ(log[1].rfind("Unlha\tx ", 0), 0u) << log[1];
}

TEST_F(Compression, AUsersFileAtTheTemporaryPathSurvives) {
  box->WriteFileText(temp + "\\report.lzh", "the user's own file");
  std::vector<std::string> log = Run("[Archive]\r\nType=1\r\n", data + "\\report.txt");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(box->ReadFileText(temp + "\\report.lzh"), "the user's own file");
  // The plain archive went to a fresh folder of the program's own, under the same name,
  // and that folder is gone again.
  size_t open = log[0].find('"') + 1;
  std::string used = log[0].substr(open, log[0].find('"', open) - open);
  EXPECT_NE(used, temp + "\\report.lzh");
  EXPECT_EQ(used.rfind(temp + "\\", 0), 0u) << used;
  EXPECT_EQ(used.substr(used.size() - 11), "\\report.lzh") << used;
  EXPECT_EQ(log[1], "Unlha\ts -gw -x " + Quoted(used) + " " + Quoted(data + "\\"));
  EXPECT_FALSE(FileExists(used.substr(0, used.size() - 11)));
}

TEST_F(Compression, WithoutTempTheSystemTemporaryFolderIsUsed) {
  const std::string tmp = box->Path("tmp");
  ::CreateDirectoryA(tmp.c_str(), nullptr);
  ::SetEnvironmentVariableA("temp", nullptr);
  char savedTmp[MAX_PATH] = {0};
  ::GetEnvironmentVariableA("TMP", savedTmp, sizeof savedTmp);
  ::SetEnvironmentVariableA("TMP", tmp.c_str());
  std::vector<std::string> log = Run("[Archive]\r\nType=5\r\n", data + "\\report.txt");
  ::SetEnvironmentVariableA("TMP", savedTmp[0] ? savedTmp : nullptr);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Cab\t-a " + Quoted(tmp + "\\report.cab") + " " + Quoted(data + "\\") +
                        " \"report.txt\"");
}

TEST_F(Compression, AMissingLibraryInTheSelfExtractingFlowMakesNothing) {
  box->RemoveArchiver("cab32.dll");
  box->WriteIni("[Archive]\r\nType=5\r\n");
  ASSERT_TRUE(app.Start(*box, Quoted(data + "\\report.txt")));
  HWND message = app.WaitForMessageBox();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(MessageBoxText(message), "CAB32.DLL が見つかりません。");
  PressButton(message, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_TRUE(box->ArchiverLog().empty());
}

// setup.ini beside setup.exe: the self-extracting program would take setup.exe's place, so
// the user is asked first. No makes nothing and leaves no temporary archive; Yes replaces it.
TEST_F(Compression, ASelfExtractorAsksBeforeReplacingAProgram) {
  struct Case {
    const char* type;
    const char* tempName;
    int answer;
  } cases[] = {{"1", "setup.lzh", IDNO}, {"5", "setup.cab", IDCANCEL}, {"5", "setup.cab", IDYES}};
  const std::string program = data + "\\setup.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("type ") + c.type + (c.answer == IDYES ? " yes" : " no"));
    box->WriteFileText(data + "\\setup.ini", "[setup]");
    box->WriteFileText(program, "the user's own program");
    box->WriteIni(std::string("[Archive]\r\nType=") + c.type + "\r\n");
    ::DeleteFileA(box->ArchiverLogPath().c_str());
    QuilletProcess run;
    ASSERT_TRUE(run.Start(*box, Quoted(data + "\\setup.ini")));
    HWND question = run.WaitForMessageBox();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), program + " は既に存在します。\n上書きしますか?");
    c.answer == IDCANCEL ? PressEscape(question) : PressButton(question, c.answer);
    EXPECT_EQ(run.WaitForExit(30000), 0) << run.DescribeScreen();
    EXPECT_FALSE(FileExists(temp + "\\" + c.tempName));
    EXPECT_FALSE(FileExists(program + ".~00"));
    const std::string now = box->ReadFileText(program);
    if (c.answer != IDYES) {
      EXPECT_EQ(now, "the user's own program");
      EXPECT_EQ(box->ArchiverLog().size(), 1u);
    } else {
      EXPECT_EQ(now.substr(0, 2), "MZ");
      EXPECT_EQ(box->ArchiverLog().size(), 2u);
    }
  }
}

} // namespace
