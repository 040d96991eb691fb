// The history kept across runs when the person asks for it: what comes back
// after an exit, a kill and a restart, what is removed for good, and files
// that cannot be read: damaged, cut short, or with another person's key.
#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "clipboard.h"
#include "utf8_text.h"
#include "harness.h"
#include "keyboard_driver.h"
#include "test_editor.h"

namespace e2e {
namespace {

using rtrillex::ControlId;
using rtrillex::MenuId;
using Lines = std::vector<std::wstring>;

// Gives the file a key protected for another account or computer, as a
// copy of someone else's file has.
// The entries in the file, as another program reading it sees them.
int KeptEntries(const std::wstring& path) {
  sqlite3* db = nullptr;
  int count = -1;
  if (sqlite3_open_v2(rtrillex::ToUtf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM entries", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
      count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return count;
}

bool ReplaceKey(const std::wstring& path) {
  sqlite3* db = nullptr;
  const bool opened = sqlite3_open16(path.c_str(), &db) == SQLITE_OK;
  const bool replaced =
      opened && sqlite3_exec(db, "UPDATE file_key SET protected = randomblob(200)", nullptr, nullptr, nullptr) == SQLITE_OK &&
      sqlite3_changes(db) == 1;
  sqlite3_close(db);
  return replaced;
}

class KeptHistory : public testing::Test {
 protected:
  TestFolder folder;
  std::optional<RunningApp> app;

  void WriteKeepSetting(const char* keep) {
    WriteSettings(folder, "0", "0", "0", "1", "60");
    if (keep)
      WriteFileBytes(folder.SettingsFile(),
                     ReadFileBytes(folder.SettingsFile()) + "[History]\r\nKeep=" + keep + "\r\n");
  }
  void Start() {
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
  }
  void Exit() {
    PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app->WaitForExit());
    app.reset();
  }
  void Restart() {
    Exit();
    Start();
  }
  void Copy(const std::wstring& text, std::size_t linesAfter) {
    PutText(text);
    ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() >= linesAfter; })) << testing::PrintToString(text);
  }
  // The entries of the history list, once it holds `count` lines.
  Lines Entries(std::size_t count) {
    Lines lines;
    EXPECT_TRUE(WaitUntil([&] { return (lines = HistoryLines(*app)).size() >= count; }))
        << testing::PrintToString(lines);
    Lines entries;
    for (const std::wstring& line : lines) entries.push_back(EntryOfLine(line));
    return entries;
  }
  void Menu(MenuId command) {
    PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(command), 0);
  }
  bool Exists(const std::wstring& name) const {
    return GetFileAttributesW(folder.File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::vector<std::wstring> SetAside() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(folder.File(L"History.db.unreadable-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }
};

TEST_F(KeptHistory, ComesBackInOrderAfterAnExitAndAKillWithoutWhatWasRemovedOrMarked) {
  WriteKeepSetting("1");
  Start();
  const std::wstring lines = L"二行の\r\n\tテキスト";
  Copy(L"first", 1);
  Copy(lines, 2);
  Copy(L"to be deleted", 3);
  const DWORD no = 0;
  ClipboardWriter().Text(L"secret").Registered(L"ExcludeClipboardContentFromMonitorProcessing", &no, sizeof no);
  Copy(L"last", 4);
  // Delete on a line removes it from the disk too.
  const HWND list = app->Control(ControlId::List1);
  SendMessageW(list, LB_SETCURSEL, 2, 0);
  PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 3; }));

  Restart();
  EXPECT_EQ(Entries(3), (Lines{L"first", lines, L"last"}));
  Copy(L"after the restart", 4);
  EXPECT_EQ(Entries(4), (Lines{L"first", lines, L"last", L"after the restart"}));
  {
    // The menu of recent copies and the search have them too: "a" is in
    // "last" and "after the restart" only.
    TestEditor editor;
    ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
    PressKeys({'A'});
    const SearchWindow search = OpenSearchWindow(*app);
    ASSERT_NE(search.window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 2; })) << search.Lines();
    PressKeys({VK_ESCAPE});
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(search.window); }));
  }

  // Killed outright: what showed a second before is on the disk.
  Copy(L"before the kill", 5);
  WaitUntil([] { return false; }, 1s);
  TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, app->ProcessId()), 9);
  ASSERT_TRUE(app->WaitForExit());
  app.reset();
  Start();
  EXPECT_EQ(Entries(5), (Lines{L"first", lines, L"last", L"after the restart", L"before the kill"}));

  // Cleared: nothing comes back.
  Menu(MenuId::mnuClearHistory);
  HWND question = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (question = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
  PostMessageW(question, WM_COMMAND, IDYES, 0);
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).empty(); }));
  Copy(L"after the clear", 1);
  Restart();
  EXPECT_EQ(Entries(1), (Lines{L"after the clear"}));
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 1; }, 500ms));
}

TEST_F(KeptHistory, OffMakesNoFileAndTurningItOffDeletesIt) {
  WriteKeepSetting(nullptr);
  Start();
  Copy(L"not kept", 1);
  Restart();
  EXPECT_FALSE(Exists(L"History.db"));
  EXPECT_TRUE(HistoryLines(*app).empty());

  // Turned on: the session's history so far is kept at once.
  Copy(L"kept from now", 1);
  Menu(MenuId::mnuKeepHistory);
  ASSERT_TRUE(WaitUntil([&] { return Exists(L"History.db"); }));
  EXPECT_NE(ReadFileBytes(folder.SettingsFile()).find("Keep=1"), std::string::npos);
  Restart();
  EXPECT_EQ(Entries(1), (Lines{L"kept from now"}));

  // Turned off: the file goes at once; the lines stay on show.
  Menu(MenuId::mnuKeepHistory);
  EXPECT_TRUE(WaitUntil([&] { return !Exists(L"History.db") && !Exists(L"History.db-wal"); }));
  EXPECT_EQ(HistoryLines(*app).size(), 1u);
  Restart();
  EXPECT_FALSE(Exists(L"History.db"));
  EXPECT_FALSE(WaitUntil([&] { return !HistoryLines(*app).empty(); }, 500ms));
}

TEST_F(KeptHistory, AFileThatCannotBeReadIsSetAsideAndANewOneKept) {
  const std::string damaged = "not a database, and never one" + std::string(5000, '\x7f');
  WriteFileBytes(folder.File(L"History.db"), damaged);
  WriteKeepSetting("1");
  Start();
  Copy(L"works all the same", 1);
  ASSERT_TRUE(WaitUntil([&] { return SetAside().size() == 1; }));
  EXPECT_EQ(ReadFileBytes(folder.File(SetAside().front())), damaged);
  Restart();
  EXPECT_EQ(Entries(1), (Lines{L"works all the same"}));

  // A file cut short: set aside under a name of its own; the first one stays.
  Exit();
  const std::string kept = ReadFileBytes(folder.File(L"History.db"));
  ASSERT_GT(kept.size(), 4096u);
  WriteFileBytes(folder.File(L"History.db"), kept.substr(0, kept.size() / 2));
  DeleteFileW(folder.File(L"History.db-wal").c_str());
  Start();
  Copy(L"again", 1);
  ASSERT_TRUE(WaitUntil([&] { return SetAside().size() == 2; }));
  EXPECT_EQ(Entries(1), (Lines{L"again"}));

  // A file whose key was protected for someone else: its texts cannot be
  // read here, so it is set aside as well.
  Exit();
  ASSERT_TRUE(ReplaceKey(folder.File(L"History.db")));
  Start();
  Copy(L"third file", 1);
  ASSERT_TRUE(WaitUntil([&] { return SetAside().size() == 3; }));
  EXPECT_EQ(Entries(1), (Lines{L"third file"}));
}

TEST_F(KeptHistory, AFileLockedByAnotherProgramIsWrittenOnceItIsFree) {
  WriteKeepSetting("1");
  Start();
  Copy(L"before the lock", 1);
  Exit();
  const std::wstring file = folder.File(L"History.db");
  // A backup program holds the file for itself: the session goes on.
  HANDLE backup = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(backup, INVALID_HANDLE_VALUE);
  Start();
  Copy(L"while locked", 1);
  WaitUntil([] { return false; }, 1s);
  CloseHandle(backup);
  // Tried again every few seconds: what it loaded and what waited come in.
  EXPECT_TRUE(WaitUntil([&] { return KeptEntries(file) == 2; }, 10s)) << KeptEntries(file);
  EXPECT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 2; }));
  EXPECT_EQ(Entries(2), (Lines{L"before the lock", L"while locked"}));
  EXPECT_TRUE(SetAside().empty());
}

}  // namespace
}  // namespace e2e
