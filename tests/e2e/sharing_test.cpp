// Sharing copies through a synced folder, with the real exe: this PC's copies
// sealed in its journal there, and another PC's (written here as its
// rTrillex would write them) in the menu of recent copies, never in the
// history list. The folder's key is made here with the passphrase, and kept
// for the program as its sharing window would keep it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "clipboard.h"
#include "folder_key.h"
#include "harness.h"
#include "journal_files.h"
#include "kept_history.h"
#include "keyboard_driver.h"
#include "sound.h"
#include "aes_gcm_sealer.h"
#include "sync_journal.h"
#include "sync_settings.h"
#include "test_editor.h"
#include "utf8_text.h"

namespace e2e {
namespace {

using namespace rtrillex;
using namespace std::chrono_literals;

constexpr wchar_t kPassphrase[] = L"いつもの合言葉 2026";
constexpr InstallationId kThisPc{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
constexpr InstallationId kOtherPc{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

std::uint64_t UnixMsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
  return (ticks.QuadPart - 116444736000000000ULL) / 10000;
}

class Sharing : public testing::Test {
 protected:
  TestFolder folder;
  TestFolder synced{L"-synced"};
  std::optional<RunningApp> app;
  std::optional<FolderKey> key;

  void SetUp() override {
    std::optional<MadeFolderKey> made = MakeFolderKey(kPassphrase);
    ASSERT_TRUE(made);
    key = made->key;
    CreateDirectoryW(SyncFilesFolder(synced.path()).c_str(), nullptr);
    WriteFileBytes(SyncFilesFolder(synced.path()) + L"\\key",
                   std::string(made->keyFileBytes.begin(), made->keyFileBytes.end()));
    const std::optional<Bytes> kept = ProtectFolderKey(*key);
    ASSERT_TRUE(kept);
    WriteSettings(folder, "0", "0", "0", "1", "60");
    const std::wstring settings = folder.SettingsFile();
    const auto write = [&](std::wstring_view name, const std::wstring& value) {
      WritePrivateProfileStringW(std::wstring(setting::kSyncSection).c_str(), std::wstring(name).c_str(),
                                 value.c_str(), settings.c_str());
    };
    write(setting::kSyncOn, L"1");
    write(setting::kSyncFolder, synced.path());
    write(setting::kSyncPcName, L"PC-A");
    write(setting::kSyncInstallation, HexOf(ByteSpan(kThisPc.data(), kThisPc.size())));
    write(setting::kSyncKey, HexOf(*kept));
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
  }

  // This PC's journal as another PC reads it.
  std::vector<SyncRecord> OwnRecords() const {
    const FileRead read = ReadFrom(SyncFilesFolder(synced.path()) + L"\\" + JournalFileName(kThisPc), 0);
    if (read.outcome != FileReadOutcome::Read) return {};
    const AesGcmSealer sealer(*key);
    std::vector<SyncRecord> records;
    for (JournalRecord& record : ReadJournal(read.bytes, sealer, {}).records) records.push_back(std::move(record.record));
    return records;
  }
  bool Shared(const std::string& utf8) const {
    for (const SyncRecord& record : OwnRecords())
      if (record.kind == RecordKind::Text && record.text == utf8) return true;
    return false;
  }
  // Another PC's journal holding these records, as its rTrillex writes it.
  Bytes SealedJournal(const InstallationId& pc, const char* name, const std::vector<SyncRecord>& records) const {
    const AesGcmSealer sealer(*key);
    Bytes bytes = JournalHeaderBytes(pc, name, sealer);
    const Bytes header = bytes;
    std::uint64_t sequence = 0;
    for (const SyncRecord& record : records) {
      const std::optional<Bytes> sealed = AppendRecordBytes(sealer, header, ++sequence, record);
      EXPECT_TRUE(sealed);
      if (sealed) bytes.insert(bytes.end(), sealed->begin(), sealed->end());
    }
    return bytes;
  }
  void SaveInFolder(const std::wstring& fileName, const Bytes& bytes) const {
    WriteFileBytes(SyncFilesFolder(synced.path()) + L"\\" + fileName, std::string(bytes.begin(), bytes.end()));
  }
  std::size_t WaitForLines(std::size_t count) {
    std::size_t lines = 0;
    EXPECT_TRUE(WaitUntil([&] { return (lines = HistoryLines(*app).size()) >= count; }));
    return lines;
  }
};

TEST_F(Sharing, ThisPcsCopiesGoSealedToItsJournalAndAnotherPcsArriveInTheMenu) {
  PutText(L"shared from PC-A");
  ASSERT_EQ(WaitForLines(1), 1u);
  EXPECT_TRUE(WaitUntil([&] { return Shared("shared from PC-A"); }, 3s)) << "not in this PC's journal";

  // Marked as not to go to the cloud: kept here, never shared.
  const DWORD no = 0;
  ClipboardWriter().Text(L"this PC only").Registered(L"CanUploadToCloudClipboard", &no, sizeof no);
  ASSERT_EQ(WaitForLines(2), 2u);
  PutText(L"after it");
  ASSERT_EQ(WaitForLines(3), 3u);
  ASSERT_TRUE(WaitUntil([&] { return Shared("after it"); }, 3s));
  EXPECT_FALSE(Shared(ToUtf8(L"this PC only")));
  // Put back from the history (Enter on its line), it is still this PC's only.
  const HWND list = app->Control(ControlId::List1);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(WaitForLines(4), 4u);
  PutText(L"after the put-back");
  ASSERT_EQ(WaitForLines(5), 5u);
  ASSERT_TRUE(WaitUntil([&] { return Shared("after the put-back"); }, 3s));
  EXPECT_FALSE(Shared(ToUtf8(L"this PC only"))) << "put back from the history";

  // Another PC's copy, written as its rTrillex writes it: the newest in the
  // menu, pasted by its digit, and not a line of this PC's history.
  const AesGcmSealer sealer(*key);
  OwnJournal other;
  ASSERT_EQ(other.Open(synced.path(), kOtherPc, "PC-B", sealer), OwnJournalOpen::Opened);
  SyncRecord copy;
  copy.id = {9, 9, 9};
  WaitUntil([] { return false; }, 1100ms);  // a second later than this PC's newest line
  copy.recordedMs = UnixMsNow();
  copy.orderingMs = copy.recordedMs + 60'000;  // after everything this PC wrote
  copy.text = ToUtf8(L"コピー from PC-B");
  ASSERT_EQ(other.Append(sealer, copy), JournalAppend::Appended);
  WaitUntil([] { return false; }, 4s);  // read at the next look at the folder
  EXPECT_EQ(HistoryLines(*app).size(), 5u);
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'1'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"コピー from PC-B"; })) << testing::PrintToString(editor.Text());
  ASSERT_EQ(WaitForLines(6), 6u);  // put back here: a copy of this PC's, as any put-back
  WaitUntil([] { return false; }, 1500ms);
  EXPECT_FALSE(Shared(copy.text)) << "on every PC already: not shared again";

  // The search lists it among this PC's lines: "f" is in four of them
  // (PC-B's copy put back among them) and in PC-B's copy.
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'F'});
  const SearchWindow search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 5; })) << search.Lines();
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));

  // The sharing window, opened after the worker told of them, lists both PCs.
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuSharing), 0);
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<HWND> windows = app->TopLevelWindows(L"rTrillexSharing");
    return (window = windows.empty() ? nullptr : windows.front()) != nullptr;
  }));
  HWND pcs = nullptr;  // made after its window
  EXPECT_TRUE(WaitUntil([&] {
    pcs = FindWindowExW(window, nullptr, L"LISTBOX", nullptr);
    return SendMessageW(pcs, LB_GETCOUNT, 0, 0) == 2;
  }));
  wchar_t row[128] = {};
  SendMessageW(pcs, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(row));
  EXPECT_EQ(std::wstring(row).substr(0, 5), L"PC-B\t");
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));

  // Cleared here: cleared on every PC.
  const std::wstring large(3u << 19, L'L');
  PutText(large);
  ASSERT_TRUE(WaitUntil([&] { return Shared(ToUtf8(large)); }, 5s));
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuClearHistory), 0);
  HWND question = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (question = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
  PostMessageW(question, WM_COMMAND, IDYES, 0);
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const SyncRecord& record : OwnRecords())
          if (record.kind == RecordKind::ClearAll) return true;
        return false;
      },
      3s));

  // At the next start the journal, now mostly cleared copies, is written
  // anew with only the clear-all, and goes on from it. The history is kept
  // from then on.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  WritePrivateProfileStringW(std::wstring(setting::kHistorySection).c_str(), std::wstring(setting::kKeepHistory).c_str(), L"1",
                             folder.SettingsFile().c_str());
  const std::wstring journal = SyncFilesFolder(synced.path()) + L"\\" + JournalFileName(kThisPc);
  ASSERT_GT(ReadFrom(journal, 0).bytes.size(), 3u << 19);
  app.emplace(folder);
  ASSERT_TRUE(app->WaitForMainWindow());
  // Watched by its size alone: a reader holding it open would keep it from
  // being replaced, as any open file.
  const auto size = [&] {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExW(journal.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
  };
  EXPECT_TRUE(WaitUntil([&] { return size() < 1000u; }, 5s));
  PutText(L"after the start");
  ASSERT_TRUE(WaitUntil([&] { return Shared("after the start"); }, 5s));
  const std::vector<SyncRecord> records = OwnRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].kind, RecordKind::ClearAll);
  ClipboardWriter().Image();
  std::optional<EntryId> picture;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const SyncRecord& record : OwnRecords())
          if (record.kind == RecordKind::Picture) picture = record.id;
        return picture.has_value();
      },
      5s));

  // Both lines kept. After one more start, only the journal knows their
  // records' ids: the text's line deleted here is removed on every PC, the
  // picture's removed on PC-B goes here.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  app.emplace(folder);
  ASSERT_TRUE(app->WaitForMainWindow());
  ASSERT_EQ(WaitForLines(2), 2u);
  const HWND keptList = app->Control(ControlId::List1);
  SendMessageW(keptList, LB_SETCURSEL, 0, 0);
  PostMessageW(keptList, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const SyncRecord& record : OwnRecords())
          if (record.kind == RecordKind::Removal && record.target == records[1].id) return true;
        return false;
      },
      5s))
      << "a line of an earlier run removed on every PC";
  SyncRecord removal;
  removal.kind = RecordKind::Removal;
  removal.id = {8, 8, 8};
  removal.recordedMs = UnixMsNow();
  removal.orderingMs = removal.recordedMs + 120'000;
  removal.target = *picture;
  ASSERT_EQ(other.Append(sealer, removal), JournalAppend::Appended);
  EXPECT_TRUE(WaitUntil([&] { return HistoryLines(*app).empty(); }, 10s)) << HistoryLines(*app).size();

  // A copy marked as not to go to the cloud, kept: put back after a
  // restart, it is still this PC's only.
  ClipboardWriter().Text(L"kept, this PC only").Registered(L"CanUploadToCloudClipboard", &no, sizeof no);
  ASSERT_EQ(WaitForLines(1), 1u);
  WaitUntil([] { return false; }, 1500ms);  // written to History.db within a second
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  app.emplace(folder);
  ASSERT_TRUE(app->WaitForMainWindow());
  ASSERT_EQ(WaitForLines(1), 1u);
  const HWND listAgain = app->Control(ControlId::List1);
  SendMessageW(listAgain, LB_SETCURSEL, 0, 0);
  PostMessageW(listAgain, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(WaitForLines(2), 2u);
  PutText(L"after the put-back of a kept line");
  ASSERT_TRUE(WaitUntil([&] { return Shared("after the put-back of a kept line"); }, 5s));
  EXPECT_FALSE(Shared(ToUtf8(L"kept, this PC only"))) << "put back from the kept history";
}

// What the other PCs do reaches this one: a removal there takes this PC's
// own line away, Delete here on their copy removes it on every PC, and their
// fixed phrases arrive, merged with those pinned here.
TEST_F(Sharing, AnotherPcsRemovalsAndPhrasesReachThisPcAndDeleteHereReachesThem) {
  PutText(L"removed on PC-B");
  ASSERT_EQ(WaitForLines(1), 1u);
  std::optional<EntryId> mine;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const SyncRecord& record : OwnRecords())
          if (record.text == "removed on PC-B") mine = record.id;
        return mine.has_value();
      },
      3s));
  PutText(L"stays");
  ASSERT_EQ(WaitForLines(2), 2u);

  const AesGcmSealer sealer(*key);
  OwnJournal other;
  ASSERT_EQ(other.Open(synced.path(), kOtherPc, "PC-B", sealer), OwnJournalOpen::Opened);
  std::uint64_t ordering = UnixMsNow() + 60'000;  // after everything this PC wrote
  const auto write = [&](SyncRecord record) {
    record.recordedMs = UnixMsNow();
    record.orderingMs = ++ordering;
    return other.Append(sealer, record) == JournalAppend::Appended;
  };
  SyncRecord removal;
  removal.kind = RecordKind::Removal;
  removal.id = {7, 7, 7};
  removal.target = *mine;
  ASSERT_TRUE(write(removal));
  EXPECT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 1; }, 6s)) << "the line removed on PC-B goes here";
  ASSERT_FALSE(HistoryLines(*app).empty());
  EXPECT_NE(HistoryLines(*app).back().find(L"stays"), std::wstring::npos);

  // PC-B's copy, the newest in the menu: Delete there removes it on every PC.
  SyncRecord copy;
  copy.id = {8, 8, 8};
  copy.text = "PC-B's copy";
  WaitUntil([] { return false; }, 1100ms);  // a second later than this PC's newest line
  ASSERT_TRUE(write(copy));
  WaitUntil([] { return false; }, 4s);  // read at the next look at the folder
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  HWND menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  WaitForMenuKeyboard(*app);
  // The pointer on its first item selects it.
  RECT first;
  GetClientRect(menu, &first);
  POINT onFirst{first.right / 2, GetSystemMetrics(SM_CYMENU) / 2};
  ClientToScreen(menu, &onFirst);
  SetCursorPos(onFirst.x, onFirst.y);
  WaitUntil([] { return false; }, 300ms);
  PressKeys({VK_DELETE});
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const SyncRecord& record : OwnRecords())
          if (record.kind == RecordKind::Removal && record.target == copy.id) return true;
        return false;
      },
      3s))
      << "removed on every PC";
  // The menu opened again without it.
  WaitForMenuKeyboard(*app);
  PressKeys({'1'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"stays"; })) << testing::PrintToString(editor.Text());

  // PC-B's fixed phrase, pasted by its letter.
  SyncRecord phrases;
  phrases.kind = RecordKind::Phrases;
  phrases.id = {6, 6, 6};
  phrases.phrases = {{PhraseKind::Text, ToUtf8(L"挨拶"), ToUtf8(L"おはようございます"), nullptr}};
  ASSERT_TRUE(write(phrases));
  WaitUntil([] { return false; }, 4s);
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"staysおはようございます"; }))
      << testing::PrintToString(editor.Text());

  // Pinned here, from the search: the set shared, PC-B's phrase first.
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'S', 'T', 'A', 'Y'});
  const SearchWindow search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return search.Lines() >= 1; }));
  PressKeys({VK_CONTROL, 'P'});
  EXPECT_TRUE(WaitUntil(
      [&] {
        const std::vector<SyncRecord> records = OwnRecords();
        return !records.empty() && records.back().kind == RecordKind::Phrases &&
               records.back().phrases.size() == 2 && records.back().phrases[0].text == phrases.phrases[0].text &&
               records.back().phrases[1].text == "stays";
      },
      3s));
  PressKeys({VK_ESCAPE});

  // With the history kept, PC-B's copy is kept here too: it stays after its
  // journal is gone.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  WritePrivateProfileStringW(L"History", L"Keep", L"1", folder.SettingsFile().c_str());
  SyncRecord kept;
  kept.id = {5, 5, 5};
  kept.text = "kept when PC-B's journal goes";
  ASSERT_TRUE(write(kept));
  other = OwnJournal();
  const auto restart = [&] {
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
    WaitUntil([] { return false; }, 4s);  // the folder read
  };
  restart();
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  ASSERT_TRUE(DeleteFileW((SyncFilesFolder(synced.path()) + L"\\" + JournalFileName(kOtherPc)).c_str()));
  restart();
  TestEditor another;
  ASSERT_TRUE(another.HasKeyboard());
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'1'});
  EXPECT_TRUE(WaitUntil([&] { return another.Text() == L"kept when PC-B's journal goes"; }))
      << testing::PrintToString(another.Text());
}

// What a sync engine may leave in the folder: a journal that arrived only in
// part is waited for, not taken for damage; a record changed on the way is
// said once, by its PC's name, and nothing of it shown, while the rest of
// the folder is read.
TEST_F(Sharing, AJournalCutShortIsWaitedForAndATamperedOneToldWhileTheOthersAreRead) {
  const auto journal = [&](const InstallationId& pc, const char* name, std::vector<const char*> texts) {
    std::vector<SyncRecord> records;
    for (const char* text : texts) {
      SyncRecord record;
      record.id.fill(static_cast<std::uint8_t>(pc[0] * 16 + records.size()));
      record.recordedMs = record.orderingMs = UnixMsNow() + records.size();
      record.text = text;
      records.push_back(std::move(record));
    }
    return SealedJournal(pc, name, records);
  };
  const auto save = [&](const InstallationId& pc, const Bytes& bytes) { SaveInFolder(JournalFileName(pc), bytes); };
  constexpr InstallationId kCutPc{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
  constexpr InstallationId kTamperedPc{4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
  const Bytes cut = journal(kCutPc, "PC-C", {"one from PC-C", "two from PC-C"});
  const std::size_t withOne = journal(kCutPc, "PC-C", {"one from PC-C"}).size();
  save(kCutPc, Bytes(cut.begin(), cut.begin() + static_cast<std::ptrdiff_t>(withOne + (cut.size() - withOne) / 2)));
  Bytes tampered = journal(kTamperedPc, "PC-D", {"one from PC-D", "two from PC-D"});
  tampered[tampered.size() - 20] ^= 0x01;  // inside the last record's sealed text
  save(kTamperedPc, tampered);
  WaitUntil([] { return false; }, 4s);  // read at the next look at the folder

  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  // Wine without a window manager makes the desktop window the front one
  // when news of an X focus change reaches a window late (seen in whole
  // runs of the suite, never in this test alone): the person clicks back
  // into the editor and searches again. Any other window in front fails.
  const auto found = [&](std::initializer_list<WORD> word) {
    LRESULT lines = -1;
    for (int attempt = 1; attempt <= 2; ++attempt) {
      EXPECT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
      WaitForMenuKeyboard(*app);
      PressKeys(word);
      const SearchWindow search = OpenSearchWindow(*app);
      WaitUntil([] { return false; }, 500ms);
      lines = search.window ? search.Lines() : -1;
      PressKeys({VK_ESCAPE});
      const bool back = WaitUntil([&] { return editor.HasKeyboard(); });
      if (!back && attempt == 1 && GetForegroundWindow() == GetDesktopWindow() && editor.TakeKeyboard()) continue;
      EXPECT_TRUE(back) << testing::PrintToString(editor.WindowInFront());
      break;
    }
    WaitUntil([] { return false; }, 300ms);
    return lines;
  };
  EXPECT_EQ(found({'O', 'N', 'E'}), LRESULT{2}) << "the first records of both";
  EXPECT_EQ(found({'T', 'W', 'O'}), LRESULT{0});

  // Told in the sharing window, of PC-D only.
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuSharing), 0);
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<HWND> windows = app->TopLevelWindows(L"rTrillexSharing");
    return (window = windows.empty() ? nullptr : windows.front()) != nullptr;
  }));
  std::wstring told;
  EXPECT_TRUE(WaitUntil([&] {
    told.clear();
    for (HWND text = FindWindowExW(window, nullptr, L"STATIC", nullptr); text;
         text = FindWindowExW(window, text, L"STATIC", nullptr)) {
      wchar_t shown[256] = {};
      GetWindowTextW(text, shown, 256);
      told += shown;
    }
    return told.find(L"PC-D") != std::wstring::npos;
  })) << testing::PrintToString(told);
  EXPECT_EQ(told.find(L"PC-C"), std::wstring::npos) << "a journal still arriving is no damage";
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
  // Which window comes to the front after it is the system's choice: the
  // person clicks back into the editor.
  ASSERT_TRUE(editor.TakeKeyboard());

  // The rest of PC-C's journal arrives: so does its second copy.
  save(kCutPc, cut);
  WaitUntil([] { return false; }, 4s);
  EXPECT_EQ(found({'T', 'W', 'O'}), LRESULT{1});
}

// Other PCs' journals as the folder may hold them: a sync engine's conflict
// copy of one shows nothing twice; a PC whose clock is an hour behind still
// puts its new copy on top, one whose clock is an hour ahead does not keep
// its copy above the lines copied here after it; a text of 10 MB arrives
// whole. All are read while one search stays open (it lists arrivals at
// once), so the keyboard moves no more than a person's would. With the tones
// and the popup on, none of them sounds, shows or goes onto the clipboard.
TEST_F(Sharing, ConflictCopiesClocksAnHourOffAndATextOfMegabytesArriveAsTheyShould) {
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  for (const wchar_t* name : {L"Beep", L"Comment"})
    WritePrivateProfileStringW(L"CheckBox", name, L"1", folder.SettingsFile().c_str());
  WritePrivateProfileStringW(std::wstring(setting::kSyncSection).c_str(),
                             std::wstring(setting::kSyncPictureBytes).c_str(), L"10", folder.SettingsFile().c_str());
  app.emplace(folder);
  ASSERT_TRUE(app->WaitForMainWindow());
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  // A picture past [Sync] PictureBytes and a list of files stay on this PC.
  ClipboardWriter().Image();
  ASSERT_EQ(WaitForLines(1), 1u);
  ClipboardWriter().Files({L"C:\\windows\\win.ini"});
  ASSERT_EQ(WaitForLines(2), 2u);
  PutText(L"lime on this PC");
  ASSERT_EQ(WaitForLines(3), 3u);
  ASSERT_TRUE(WaitUntil([&] { return Shared("lime on this PC"); }, 3s));
  WaitUntil([] { return false; }, 1s);  // the picture read and encoded meanwhile
  for (const SyncRecord& own : OwnRecords()) EXPECT_EQ(own.kind, RecordKind::Text);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(app->PopupWindow()); }, 3s)) << "its popup gone";
  const SoundRecording sound;  // from now on
  ASSERT_TRUE(sound.available());
  const auto listening = std::chrono::steady_clock::now();
  WaitUntil([] { return false; }, 1100ms);  // the other PCs copy a second later
  const auto record = [](std::uint8_t id, std::uint64_t recordedMs, std::uint64_t orderingMs, std::string text) {
    SyncRecord made;
    made.id.fill(id);
    made.recordedMs = recordedMs;
    made.orderingMs = orderingMs;
    made.text = std::move(text);
    return made;
  };
  const std::uint64_t now = UnixMsNow();

  // PC-E's journal, and a conflict copy of it holding one record more.
  constexpr InstallationId kConflictPc{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
  std::vector<SyncRecord> kiwis{record(0x50, now, now, "kiwi one"), record(0x51, now + 1, now + 1, "kiwi two")};
  SaveInFolder(JournalFileName(kConflictPc), SealedJournal(kConflictPc, "PC-E", kiwis));
  kiwis.push_back(record(0x52, now + 2, now + 2, "kiwi three"));
  SaveInFolder(InstallationHex(kConflictPc) + L".sync-conflict-20261209-123456-ABCDEFG.journal",
               SealedJournal(kConflictPc, "PC-E", kiwis));

  // PC-F, an hour behind, copied after it had read this PC's line: its
  // rTrillex orders the copy just after that line's record.
  constexpr InstallationId kClockBehindPc{6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6};
  std::uint64_t read = 0;
  for (const SyncRecord& own : OwnRecords()) read = std::max(read, own.orderingMs);
  const std::uint64_t behind = now - 3'600'000;
  SaveInFolder(JournalFileName(kClockBehindPc),
               SealedJournal(kClockBehindPc, "PC-F", {record(0x60, behind, NextOrderingTime(read, behind),
                                                             "lime, an hour behind")}));

  // PC-H, an hour ahead.
  constexpr InstallationId kClockAheadPc{8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
  const std::uint64_t ahead = now + 3'600'000;
  SaveInFolder(JournalFileName(kClockAheadPc),
               SealedJournal(kClockAheadPc, "PC-H", {record(0x80, ahead, ahead, "plum, an hour ahead")}));

  // PC-G's text of 10 MB, in lines as a long document has them.
  std::string large;
  for (int line = 0; large.size() < (10u << 20); ++line)
    large += std::to_string(line) + " mango 長い文書の一行 " + std::string(64, 'x') + "\r\n";
  constexpr InstallationId kLargePc{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  SaveInFolder(JournalFileName(kLargePc), SealedJournal(kLargePc, "PC-G", {record(0x70, now, now, large)}));

  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'L', 'I', 'M', 'E'});
  SearchWindow search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  // Every key typed has reached the box before the test writes in it.
  ASSERT_TRUE(WaitUntil([&] { return search.Typed().size() == 4; })) << testing::PrintToString(search.Typed());
  const auto lines = [&](const wchar_t* word, LRESULT expected, std::chrono::milliseconds timeout) {
    SendMessageW(search.box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(word));
    LRESULT listed = -1;
    WaitUntil([&] { return (listed = search.Lines()) == expected; }, timeout);
    return listed;
  };
  EXPECT_EQ(lines(L"kiwi", 3, 30s), LRESULT{3}) << "PC-E's copies, each once";
  EXPECT_EQ(lines(L"plum", 1, 30s), LRESULT{1});
  EXPECT_EQ(lines(L"mango", 1, 60s), LRESULT{1}) << "PC-G's text read";
  WaitUntil([] { return false; }, 1s);  // no copy of PC-E's shows late
  EXPECT_EQ(lines(L"kiwi", 3, 0ms), LRESULT{3});
  ASSERT_EQ(lines(L"lime", 2, 30s), LRESULT{2});
  EXPECT_FALSE(IsWindowVisible(app->PopupWindow()));
  EXPECT_EQ(ClipboardText(), std::optional<std::wstring>(L"lime on this PC"));
  const auto heard = sound.Tones(std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - listening));
  EXPECT_TRUE(heard.empty()) << heard.size() << " tones for copies of other PCs";
  PressKeys({VK_RETURN});  // on the first row, selected as the search shows
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"lime, an hour behind"; }))
      << testing::PrintToString(editor.Text());

  // A line copied here after PC-H's copy arrived is above it.
  ASSERT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  PutText(L"plum on this PC");
  ASSERT_EQ(WaitForLines(5), 5u);
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'1'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"lime, an hour behindplum on this PC"; }))
      << testing::PrintToString(editor.Text());

  // PC-G's text chosen: all of it is on the clipboard. The editor takes no
  // paste: a Wine edit box lays out megabytes slowly, and the clipboard is
  // what counts.
  ASSERT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  editor.RefusePastes();
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'M', 'A', 'N', 'G', 'O'});
  search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return search.Lines() == 1; }));
  PressKeys({VK_RETURN});
  const std::wstring expected = FromUtf8(large);
  std::optional<std::wstring> putBack;
  EXPECT_TRUE(WaitUntil([&] { return (putBack = ClipboardText()) && putBack->size() >= expected.size(); }, 30s))
      << (putBack ? putBack->size() : 0) << " characters of " << expected.size();
  ASSERT_TRUE(putBack);
  EXPECT_TRUE(*putBack == expected) << "the text put back differs from PC-G's";
}

// The sharing window, as a person fills it in: the first PC makes the
// folder's key with the passphrase typed twice; a PC that joins with another
// passphrase is told so and reads and writes nothing.
class SharingSetUp : public testing::Test {
 protected:
  TestFolder folder;
  TestFolder synced{L"-synced"};
  std::optional<RunningApp> app;

  void Start() {
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
  }
  // Filled in and OK pressed; the window, still open when the passphrase was refused.
  HWND FillIn(const std::wstring& passphrase, const std::wstring& confirmation) {
    PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuSharing), 0);
    HWND window = nullptr, ok = nullptr;
    WaitUntil([&] {
      const std::vector<HWND> windows = app->TopLevelWindows(L"rTrillexSharing");
      window = windows.empty() ? nullptr : windows.front();
      return window && (ok = FindWindowExW(window, nullptr, L"BUTTON", L"OK")) != nullptr;
    });
    if (!ok) return nullptr;
    std::vector<HWND> edits;
    for (HWND edit = FindWindowExW(window, nullptr, L"EDIT", nullptr); edit;
         edit = FindWindowExW(window, edit, L"EDIT", nullptr))
      edits.push_back(edit);
    if (edits.size() != 4) return nullptr;  // folder, passphrase, its confirmation, name
    SendMessageW(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(synced.path().c_str()));
    SendMessageW(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(passphrase.c_str()));
    SendMessageW(edits[2], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(confirmation.c_str()));
    SendMessageW(FindWindowExW(window, nullptr, L"BUTTON", L"ほかの PC と共有する(&S)"), BM_SETCHECK, BST_CHECKED, 0);
    PostMessageW(ok, BM_CLICK, 0, 0);
    return window;
  }
  std::string Settings() const { return ReadFileBytes(folder.SettingsFile()); }
  std::wstring SyncSetting(std::wstring_view name) const {
    wchar_t value[4096] = {};
    GetPrivateProfileStringW(std::wstring(setting::kSyncSection).c_str(), std::wstring(name).c_str(), L"", value, 4096,
                             folder.SettingsFile().c_str());
    return std::wstring(value);
  }
  std::wstring KeyFile() const { return SyncFilesFolder(synced.path()) + L"\\key"; }
};

TEST_F(SharingSetUp, TheFirstPcMakesTheKeyAndAnotherPassphraseJoinsNothing) {
  WriteSettings(folder, "0", "0", "0", "1", "60");
  Start();
  // Typed differently the second time: asked again, nothing made.
  HWND window = FillIn(kPassphrase, L"typo");
  ASSERT_NE(window, nullptr);
  HWND told = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (told = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
  PostMessageW(told, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(told); }));
  EXPECT_EQ(GetFileAttributesW(KeyFile().c_str()), INVALID_FILE_ATTRIBUTES);
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));

  // Copies made while the key is being made (about a second, on purpose)
  // are each recorded, as at any other time.
  ASSERT_NE(FillIn(kPassphrase, kPassphrase), nullptr);
  WaitUntil([] { return false; }, 100ms);
  PutText(L"copied while the key is made");
  WaitUntil([] { return false; }, 200ms);  // time enough for any copy's notice to be taken
  PutText(L"and another");
  ASSERT_TRUE(WaitUntil([&] { return app->TopLevelWindows(L"rTrillexSharing").empty(); }, 10s));
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 2; })) << HistoryLines(*app).size();
  EXPECT_EQ(EntryOfLine(HistoryLines(*app)[0]), L"copied while the key is made");
  EXPECT_EQ(EntryOfLine(HistoryLines(*app)[1]), L"and another");
  const std::string keyFile = ReadFileBytes(KeyFile());
  const JoinedFolderKey joined = JoinFolderKey(Bytes(keyFile.begin(), keyFile.end()), kPassphrase);
  ASSERT_EQ(joined.result, FolderKeyJoin::Joined) << "the key file opens with the passphrase";
  EXPECT_NE(Settings().find("Share=1"), std::string::npos);
  EXPECT_EQ(Settings().find(ToUtf8(kPassphrase)), std::string::npos) << "the passphrase is never kept";
  const std::string joinedSettings = Settings();
  PutText(L"after the set-up");
  const AesGcmSealer sealer(joined.key);
  EXPECT_TRUE(WaitUntil(
      [&] {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((SyncFilesFolder(synced.path()) + L"\\*.journal").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return false;
        FindClose(search);
        const FileRead read = ReadFrom(SyncFilesFolder(synced.path()) + L"\\" + found.cFileName, 0);
        const JournalRead journal = ReadJournal(read.bytes, sealer, {});
        return !journal.records.empty() && journal.records.back().record.text == "after the set-up";
      },
      3s));

  // Turned off, and this PC's files deleted as offered: its journal and the
  // engine's conflict copy of it go; another PC's journal stays.
  const std::wstring files = SyncFilesFolder(synced.path()) + L"\\";
  const std::wstring ownJournal = files + SyncSetting(setting::kSyncInstallation) + L".journal";
  const std::wstring ownConflict = files + SyncSetting(setting::kSyncInstallation) + L".sync-conflict-20261210-101010-ABCDEFG.journal";
  const std::wstring othersJournal = files + L"22222222222222222222222222222222.journal";
  WriteFileBytes(ownConflict, ReadFileBytes(ownJournal));
  WriteFileBytes(othersJournal, "another PC's");
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuSharing), 0);
  HWND sharing = nullptr, ok = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<HWND> windows = app->TopLevelWindows(L"rTrillexSharing");
    sharing = windows.empty() ? nullptr : windows.front();
    return sharing && (ok = FindWindowExW(sharing, nullptr, L"BUTTON", L"OK")) != nullptr;
  }));
  SendMessageW(FindWindowExW(sharing, nullptr, L"BUTTON", L"ほかの PC と共有する(&S)"), BM_SETCHECK, BST_UNCHECKED, 0);
  PostMessageW(ok, BM_CLICK, 0, 0);
  HWND asked = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (asked = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
  PostMessageW(asked, WM_COMMAND, IDYES, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(sharing); }));
  EXPECT_EQ(GetFileAttributesW(ownJournal.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(ownConflict.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadFileBytes(othersJournal), "another PC's");
  EXPECT_NE(Settings().find("Share=0"), std::string::npos);
  DeleteFileW(othersJournal.c_str());

  // Another PC (this one with its kept key gone) with another passphrase:
  // told so, and nothing kept or written.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  WriteSettings(folder, "0", "0", "0", "1", "60");
  const std::string keyBefore = ReadFileBytes(KeyFile());
  Start();
  window = FillIn(L"another passphrase", L"");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return (told = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }, 10s));
  PostMessageW(told, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(Settings().find("Share=1"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(KeyFile()), keyBefore) << "the key file is left as it was";

  // A copy of the first PC's settings on another PC, where its kept key
  // opens for nobody, joins with the passphrase: it writes a journal of its
  // own, not the first PC's.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  WriteFileBytes(folder.SettingsFile(), joinedSettings);
  const std::wstring settingsFile = folder.SettingsFile();
  const auto read = [&](std::wstring_view name) { return SyncSetting(name); };
  const std::wstring copiedInstallation = read(setting::kSyncInstallation);
  ASSERT_EQ(copiedInstallation.size(), 32u);
  std::wstring otherMachinesKey = read(setting::kSyncKey);
  ASSERT_FALSE(otherMachinesKey.empty());
  for (std::size_t i = 40; i < otherMachinesKey.size() && i < 72; ++i) otherMachinesKey[i] = L'0';
  WritePrivateProfileStringW(std::wstring(setting::kSyncSection).c_str(), std::wstring(setting::kSyncKey).c_str(),
                             otherMachinesKey.c_str(), settingsFile.c_str());
  {
    const std::optional<Bytes> blob = BytesOfHex(otherMachinesKey);
    ASSERT_TRUE(blob);
    EXPECT_EQ(static_cast<int>(UnprotectFolderKey(*blob).result), static_cast<int>(FolderKeyUnprotect::WrongKey));
  }
  Start();
  ASSERT_NE(FillIn(kPassphrase, L""), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app->TopLevelWindows(L"rTrillexSharing").empty(); }, 10s));
  EXPECT_NE(read(setting::kSyncKey), otherMachinesKey);
  EXPECT_EQ(read(setting::kSyncInstallation).size(), 32u);
  EXPECT_NE(read(setting::kSyncInstallation), copiedInstallation) << "a journal of its own";

  // OK pressed again with the kept key: the same journal goes on. The
  // folder made anew under another key: a journal of its own again, never
  // one sealed under the old key.
  const std::wstring joinedInstallation = read(setting::kSyncInstallation);
  ASSERT_NE(FillIn(L"", L""), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app->TopLevelWindows(L"rTrillexSharing").empty(); }, 10s));
  EXPECT_EQ(read(setting::kSyncInstallation), joinedInstallation);
  std::optional<MadeFolderKey> remade = MakeFolderKey(kPassphrase);
  ASSERT_TRUE(remade);
  WriteFileBytes(KeyFile(), std::string(remade->keyFileBytes.begin(), remade->keyFileBytes.end()));
  ASSERT_NE(FillIn(kPassphrase, L""), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app->TopLevelWindows(L"rTrillexSharing").empty(); }, 10s));
  EXPECT_NE(Settings().find("Share=1"), std::string::npos);
  EXPECT_EQ(read(setting::kSyncInstallation).size(), 32u);
  EXPECT_NE(read(setting::kSyncInstallation), joinedInstallation) << "a journal under the new key";

  // The program's own folder written into the settings by hand: refused as
  // the window refuses it, so that its history is never synced.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  WritePrivateProfileStringW(std::wstring(setting::kSyncSection).c_str(), std::wstring(setting::kSyncFolder).c_str(),
                             folder.path().c_str(), settingsFile.c_str());
  Start();
  PutText(L"never in the program's folder");
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 1; }));
  WaitUntil([] { return false; }, 2s);
  EXPECT_EQ(GetFileAttributesW(SyncFilesFolder(folder.path()).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace e2e
