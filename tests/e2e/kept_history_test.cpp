// The history kept across runs when the person asks for it: what comes back
// after an exit, a kill and a restart, what is removed for good, and files
// that cannot be read: damaged, cut short, or with another person's key.
#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "clipboard.h"
#include "utf8_text.h"
#include "harness.h"
#include "picture.h"
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

// The pictures in the file, as another program reading it sees them.
int KeptPictures(const std::wstring& path) {
  sqlite3* db = nullptr;
  int count = -1;
  if (sqlite3_open_v2(rtrillex::ToUtf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM pictures", -1, &statement, nullptr) == SQLITE_OK &&
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
  // 履歴をすべて消去..., confirmed.
  void ClearAll() {
    Menu(MenuId::mnuClearHistory);
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (question = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).empty(); }));
  }
  bool Exists(const std::wstring& name) const {
    return GetFileAttributesW(folder.File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::vector<std::wstring> SetAside(const std::wstring& file = L"History.db") const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(folder.File(file + L".unreadable-*").c_str(), &found);
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
    // The newest pinned: a phrase, which no clear-all reaches. Wine takes
    // the display's modifiers (none down) as the search takes the front:
    // Ctrl waits for that.
    WaitUntil([] { return false; }, 300ms);
    PressKeys({VK_CONTROL, 'P'});
    EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 3; })) << search.Lines();
    ASSERT_TRUE(WaitUntil([] { return GetAsyncKeyState(VK_CONTROL) >= 0; }));
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

  // Cleared: nothing comes back but the phrase, first in the menu.
  ClearAll();
  Copy(L"after the clear", 1);
  Restart();
  EXPECT_EQ(Entries(1), (Lines{L"after the clear"}));
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 1; }, 500ms));
  TestEditor editor;
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"after the restart"; })) << testing::PrintToString(editor.Text());
}

TEST_F(KeptHistory, PicturesAndFilesComeBackAfterARestartAsTheyWereCopied) {
  WriteKeepSetting("1");
  Start();
  rtrillex::Pixels picture;
  picture.width = 3;
  picture.height = 2;
  picture.bgra = {10, 20, 30, 255, 40, 50, 60, 128, 70, 80, 90, 0, 1, 2, 3, 255, 4, 5, 6, 7, 8, 9, 10, 255};
  ClipboardWriter().Block(CF_DIBV5, rtrillex::DibV5FromPixels(picture));
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 1; }));
  const std::vector<std::wstring> paths = {L"C:\\work\\report.docx", L"C:\\work\\data.csv"};
  ClipboardWriter().Files(paths);
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 2; }));
  // The same picture again: kept once.
  ClipboardWriter().Block(CF_DIBV5, rtrillex::DibV5FromPixels(picture));
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 3; }));
  Copy(L"text", 4);
  const std::wstring file = folder.File(L"History.db");
  EXPECT_TRUE(WaitUntil([&] { return KeptEntries(file) == 4 && KeptPictures(file) == 1; }))
      << KeptEntries(file) << " entries, " << KeptPictures(file) << " pictures";

  Restart();
  EXPECT_EQ(Entries(4), (Lines{L"[画像COPY]", L"C:\\work\\report.docx\r\nC:\\work\\data.csv", L"[画像COPY]", L"text"}));
  const auto pixelsOf = [](UINT format) {
    const std::vector<BYTE> block = ClipboardBlock(format);
    return rtrillex::PixelsFromDib(block.data(), block.size());
  };
  TestEditor editor;
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'4'});  // the oldest: the picture
  EXPECT_TRUE(WaitUntil([&] { return pixelsOf(CF_DIBV5) && pixelsOf(CF_DIBV5)->bgra == picture.bgra; }));
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 5; }));
  EXPECT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'4'});  // the files, one further down by now
  EXPECT_TRUE(WaitUntil([&] { return ClipboardFiles() == paths; })) << testing::PrintToString(ClipboardFiles());
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

  // Turned off while another program keeps the file from being deleted,
  // then on again: the session's lines are kept once, not twice.
  Copy(L"second", 2);
  HANDLE reader = CreateFileW(folder.File(L"History.db").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Menu(MenuId::mnuKeepHistory);
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(folder.SettingsFile()).find("Keep=0") != std::string::npos; }));
  CloseHandle(reader);
  ASSERT_TRUE(Exists(L"History.db")) << "the file could be deleted after all";
  Menu(MenuId::mnuKeepHistory);
  EXPECT_TRUE(WaitUntil([&] { return KeptEntries(folder.File(L"History.db")) == 2; })) << KeptEntries(folder.File(L"History.db"));
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 2; }, 500ms));
  Restart();
  EXPECT_EQ(Entries(2), (Lines{L"kept from now", L"second"}));
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 2; }, 500ms));

  // Turned off: the file goes at once; the lines stay on show.
  Menu(MenuId::mnuKeepHistory);
  EXPECT_TRUE(WaitUntil([&] { return !Exists(L"History.db") && !Exists(L"History.db-wal"); }));
  EXPECT_EQ(HistoryLines(*app).size(), 2u);
  Restart();
  EXPECT_FALSE(Exists(L"History.db"));
  EXPECT_FALSE(WaitUntil([&] { return !HistoryLines(*app).empty(); }, 500ms));
}

TEST_F(KeptHistory, AFileThatCannotBeReadIsSetAsideAndANewOneKept) {
  const std::string damaged = "not a database, and never one" + std::string(5000, '\x7f');
  WriteFileBytes(folder.File(L"History.db"), damaged);
  WriteFileBytes(folder.File(L"Phrases.db"), damaged);  // the phrases' file alike
  WriteKeepSetting("1");
  Start();
  Copy(L"works all the same", 1);
  ASSERT_TRUE(WaitUntil([&] { return SetAside().size() == 1; }));
  EXPECT_EQ(ReadFileBytes(folder.File(SetAside().front())), damaged);
  ASSERT_TRUE(WaitUntil([&] { return SetAside(L"Phrases.db").size() == 1; }));
  EXPECT_EQ(ReadFileBytes(folder.File(SetAside(L"Phrases.db").front())), damaged);
  EXPECT_NE(ReadFileBytes(folder.File(L"Phrases.db")), damaged) << "a new one in its place";
  Restart();
  EXPECT_EQ(Entries(1), (Lines{L"works all the same"}));

  // Damaged in a few bits: set aside as it was, under a name of its own
  // (the first one stays), and what still reads whole comes back.
  Lines copied;
  for (int i = 1; i <= 40; ++i) {
    copied.push_back(L"entry " + std::to_wstring(i) + L" " + std::wstring(2000, static_cast<wchar_t>(L'a' + i % 26)));
    Copy(copied.back(), copied.size() + 1);
  }
  Exit();
  std::string kept = ReadFileBytes(folder.File(L"History.db"));
  ASSERT_GT(kept.size(), 20 * 4096u);
  std::uint32_t seed = 7;
  for (int flip = 0; flip < 20; ++flip) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t at = 2 * 4096 + (seed >> 8) % (kept.size() - 2 * 4096);  // past the header and the schema
    kept[at] = static_cast<char>(kept[at] ^ (1 << (seed % 8)));
  }
  WriteFileBytes(folder.File(L"History.db"), kept);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return SetAside().size() == 2; }));
  EXPECT_EQ(ReadFileBytes(folder.File(SetAside().back())), kept);
  Copy(L"again", 2);
  Lines back = Entries(2);
  EXPECT_GE(back.size(), 10u) << "the entries in the undamaged pages come back";
  ASSERT_EQ(back.back(), L"again");
  back.pop_back();
  if (back.front() == L"works all the same") back.erase(back.begin());
  for (std::size_t i = 0, from = 0; i < back.size(); ++i) {
    // The list shows the start of a long line.
    const auto found = std::find_if(copied.begin() + static_cast<std::ptrdiff_t>(from), copied.end(),
                                    [&](const std::wstring& whole) { return whole.compare(0, back[i].size(), back[i]) == 0; });
    ASSERT_NE(found, copied.end()) << "in order and unchanged: " << testing::PrintToString(back[i].substr(0, 10));
    from = static_cast<std::size_t>(found - copied.begin()) + 1;
  }
  // What came back is in the new file for the next start.
  const std::size_t shown = HistoryLines(*app).size();
  Restart();
  EXPECT_EQ(Entries(shown).size(), shown);

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

  // Locked again at the start, and everything cleared before it is free:
  // what the file held must not come back on screen once it is read.
  Exit();
  backup = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(backup, INVALID_HANDLE_VALUE);
  Start();
  Copy(L"before the clear", 1);
  ClearAll();
  Copy(L"after the clear", 1);
  CloseHandle(backup);
  EXPECT_TRUE(WaitUntil([&] { return KeptEntries(file) == 1; }, 10s)) << KeptEntries(file);
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 1; }, 500ms));
  Restart();
  EXPECT_EQ(Entries(1), (Lines{L"after the clear"}));
}

}  // namespace
}  // namespace e2e
