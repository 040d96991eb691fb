// Setting.ini at start-up: the first run writes the defaults, a stored file
// fills the panel and stays as it was.
#include <gtest/gtest.h>

#include "clipboard.h"
#include "harness.h"

namespace e2e {
namespace {

using rtrillex::ControlId;

const char kDefaults[] = "[CheckBox]\r\nBeep=1\r\nComment=1\r\nClear=1\r\n[TimeSet]\r\nViewTime=1\r\nClrTime=60\r\n";

bool Checked(const RunningApp& app, ControlId box) {
  return SendMessageW(app.Control(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ExpectDefaultsShown(const RunningApp& app) {
  EXPECT_TRUE(Checked(app, ControlId::chkBeep));
  EXPECT_TRUE(Checked(app, ControlId::chkComment));
  EXPECT_TRUE(Checked(app, ControlId::chkClear));
  EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), L"1");
  EXPECT_EQ(WindowText(app.Control(ControlId::txtClrTime)), L"60");
}

TEST(Settings, FirstRunWritesTheFiveDefaultsInOrder) {
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), kDefaults);
  ExpectDefaultsShown(app);
}

TEST(Settings, AStoredFileLoadsIntoThePanelAndStaysByteForByte) {
  TestFolder folder;
  // Hand-edited: other letter case, blanks, a fraction and letters.
  const std::string stored =
      "[checkbox]\r\nBEEP=0\r\nComment=01\r\nclear= 1.0 \r\n\r\n[TimeSet]\r\nViewTime=0.3\r\nClrTime=abc\r\n";
  WriteFileBytes(folder.SettingsFile(), stored);
  {
    RunningApp app(folder);
    ASSERT_TRUE(app.WaitForMainWindow());
    EXPECT_FALSE(Checked(app, ControlId::chkBeep));
    EXPECT_TRUE(Checked(app, ControlId::chkComment));
    EXPECT_TRUE(Checked(app, ControlId::chkClear));
    EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), L"0.3");
    EXPECT_EQ(WindowText(app.Control(ControlId::txtClrTime)), L"abc");
    PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitForExit());
  }
  EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), stored);  // nothing is saved on exit either
}

TEST(Settings, MissingKeysAndSwitchesThatAreNoNumberComeUpEmptyAndUnchecked) {
  TestFolder folder;
  WriteFileBytes(folder.SettingsFile(), "[CheckBox]\r\nBeep=yes\r\nClear=\r\n[TimeSet]\r\nViewTime=2\r\n");
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  EXPECT_FALSE(Checked(app, ControlId::chkBeep));
  EXPECT_FALSE(Checked(app, ControlId::chkComment));
  EXPECT_FALSE(Checked(app, ControlId::chkClear));
  EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), L"2");
  EXPECT_EQ(WindowText(app.Control(ControlId::txtClrTime)), L"");  // not the design text "30"
}

TEST(Settings, JapaneseTextInTheFileIsReadInTheAnsiCodePage) {
  TestFolder folder;
  // "３秒" in code page 932.
  WriteFileBytes(folder.SettingsFile(), "[TimeSet]\r\nViewTime=\x82\x52\x95\x62\r\nClrTime=60\r\n");
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), L"３秒");
}

TEST(Settings, AValueReadsBackWholeUpTo1023BytesAndIsCutBeyond) {
  TestFolder folder;
  const std::string fits(1023, '7'), tooLong(1100, '8');
  WriteFileBytes(folder.SettingsFile(), "[TimeSet]\r\nViewTime=" + fits + "\r\nClrTime=" + tooLong + "\r\n");
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), std::wstring(1023, L'7'));
  EXPECT_EQ(WindowText(app.Control(ControlId::txtClrTime)), std::wstring(1023, L'8'));
}

TEST(Settings, AFolderNameOutsideTheAnsiCodePageKeepsTheFileWorking) {
  TestFolder folder(L"-설정 폴더");  // Hangul: no code page 932 spelling
  {
    RunningApp app(folder);
    ASSERT_TRUE(app.WaitForMainWindow());
    EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), kDefaults);
    // The defaults act: a text copy shows the popup.
    PutText(L"見えます");
    EXPECT_TRUE(WaitUntil([&] { return app.PopupWindow() && IsWindowVisible(app.PopupWindow()); }));
  }
  // Edited by hand in code page 932 ("３" is 0x82 0x52): the next start loads it.
  WriteFileBytes(folder.SettingsFile(),
                 "[CheckBox]\r\nBeep=0\r\nComment=1\r\nClear=0\r\n[TimeSet]\r\nViewTime=\x82\x52\r\nClrTime=45\r\n");
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  EXPECT_FALSE(Checked(app, ControlId::chkBeep));
  EXPECT_TRUE(Checked(app, ControlId::chkComment));
  EXPECT_FALSE(Checked(app, ControlId::chkClear));
  EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), L"３");
  EXPECT_EQ(WindowText(app.Control(ControlId::txtClrTime)), L"45");
}

// The test run maps drive R: to an empty folder of its own.
TEST(Settings, AProgramInADriveRootFindsItsFileThere) {
  const std::wstring root = L"R:\\";
  if (GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "no drive R: for this test";
  TestFolder source;
  ASSERT_TRUE(CopyFileW(source.Exe().c_str(), (root + L"rTrillex.exe").c_str(), FALSE));
  WriteFileBytes(root + L"Setting.ini", "[TimeSet]\r\nViewTime=4\r\nClrTime=40\r\n");
  {
    RunningApp app(root + L"rTrillex.exe", root);
    ASSERT_TRUE(app.WaitForMainWindow());
    EXPECT_EQ(WindowText(app.Control(ControlId::txtViewTime)), L"4");
    EXPECT_EQ(WindowText(app.Control(ControlId::txtClrTime)), L"40");
  }
  DeleteFileW((root + L"rTrillex.exe").c_str());
  DeleteFileW((root + L"Setting.ini").c_str());
}

TEST(Settings, AHiddenFileCountsAsAbsentAndGetsTheDefaults) {
  TestFolder folder;
  WriteFileBytes(folder.SettingsFile(), "[CheckBox]\r\nBeep=0\r\n[TimeSet]\r\nClrTime=5\r\n");
  SetFileAttributesW(folder.SettingsFile().c_str(), FILE_ATTRIBUTE_HIDDEN);
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  ExpectDefaultsShown(app);
  const std::string written = ReadFileBytes(folder.SettingsFile());
  EXPECT_NE(written.find("Beep=1"), std::string::npos) << written;
  EXPECT_NE(written.find("ClrTime=60"), std::string::npos) << written;
}

TEST(Settings, ADirectoryNamedSettingIniDoesNotStopStartUp) {
  TestFolder folder;
  ASSERT_TRUE(CreateDirectoryW(folder.SettingsFile().c_str(), nullptr));
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  ExpectDefaultsShown(app);
  EXPECT_TRUE(GetFileAttributesW(folder.SettingsFile().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
}  // namespace e2e
