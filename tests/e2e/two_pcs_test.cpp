// Two PCs kept in step by a real sync engine: scripts/two-pcs-test.sh runs
// this program twice, "TwoPcs.OnA" in PC-A's Wine and "TwoPcs.OnB" in
// PC-B's, each with its own rTrillex.exe, display and copy of the synced
// folder. A test program can only drive the windows of its own Wine, so the
// two halves tell each other where they are by files in a folder both reach.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "aes_gcm_sealer.h"
#include "clipboard.h"
#include "folder_key.h"
#include "harness.h"
#include "journal_files.h"
#include "keyboard_driver.h"
#include "picture.h"
#include "sync_settings.h"
#include "test_editor.h"
#include "utf8_text.h"

namespace e2e {
namespace {

using namespace rtrillex;
using namespace std::chrono_literals;

constexpr wchar_t kPassphrase[] = L"二台の合言葉 2026";
constexpr InstallationId kPcA{0xA, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr InstallationId kPcB{0xB, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr InstallationId kPcWithoutKey{0xC, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// Syncthing usually brings a change over in 2-5 s; a slow machine gets more.
constexpr auto kSyncTimeout = 60s;
// The program looks at the folder every 2 s: two looks after a change arrived.
constexpr auto kTwoLooks = 4500ms;

const wchar_t kText[] = L"A のテキスト to share";
const wchar_t kToDelete[] = L"removed on PC-B";
const wchar_t kAfterWrongJoin[] = L"copied after a wrong join";

std::wstring FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? FromUtf8(value) : std::wstring();
}

Pixels SmallPicture() {
  Pixels picture;
  picture.width = 2;
  picture.height = 2;
  picture.bgra = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255, 1, 2, 3, 255};
  return picture;
}

bool ClipboardHasPicture(const Pixels& picture) {
  const std::vector<BYTE> block = ClipboardBlock(CF_DIBV5);
  const std::optional<Pixels> pixels = PixelsFromDib(block.data(), block.size());
  return pixels && pixels->bgra == picture.bgra;
}

void Pause(std::chrono::milliseconds time) {
  WaitUntil([] { return false; }, time);
}

// Lines are timed to the second: a copy made in the same second as the
// other PC's newest line could be listed before or after it.
void WaitForTheNextSecond() {
  Pause(1100ms);
}

// One PC: its own folder with rTrillex.exe, its copy of the synced folder,
// and the folder both halves of the test signal through.
class TwoPcs : public testing::Test {
 protected:
  std::wstring synced = FromEnvironment("RTRILLEX_SYNCED_FOLDER");
  std::wstring signals = FromEnvironment("RTRILLEX_SIGNALS");
  std::optional<TestFolder> folder;
  std::optional<RunningApp> app;

  void SetUp() override {
    ASSERT_FALSE(synced.empty()) << "run by scripts/two-pcs-test.sh";
    ASSERT_FALSE(signals.empty()) << "run by scripts/two-pcs-test.sh";
  }
  std::wstring SyncFiles() const { return SyncFilesFolder(synced); }
  std::wstring KeyFile() const { return SyncFiles() + L"\\key"; }

  void Signal(const wchar_t* name) const { WriteFileBytes(signals + L"\\" + name, ""); }
  bool Signalled(const wchar_t* name) const {
    return GetFileAttributesW((signals + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // False at once when the other half failed, rather than at the timeout.
  bool WaitForSignal(const wchar_t* name) const {
    WaitUntil([&] { return Signalled(name) || Signalled(L"failed"); }, 180s);
    return Signalled(name);
  }
  void TearDown() override {
    if (HasFailure()) Signal(L"failed");
  }

  // Started as the sharing window leaves it: sharing on, the key (if any)
  // kept for this Windows user.
  void Start(const wchar_t* pcName, const InstallationId& installation, const std::optional<FolderKey>& key) {
    folder.emplace();
    WriteSettings(*folder, "0", "0", "0", "1", "60");
    const std::wstring settings = folder->SettingsFile();
    const auto write = [&](std::wstring_view name, const std::wstring& value) {
      WritePrivateProfileStringW(std::wstring(setting::kSyncSection).c_str(), std::wstring(name).c_str(),
                                 value.c_str(), settings.c_str());
    };
    write(setting::kSyncOn, L"1");
    write(setting::kSyncFolder, synced);
    write(setting::kSyncPcName, pcName);
    write(setting::kSyncInstallation, HexOf(ByteSpan(installation.data(), installation.size())));
    if (key) {
      const std::optional<Bytes> kept = ProtectFolderKey(*key);
      ASSERT_TRUE(kept);
      write(setting::kSyncKey, HexOf(*kept));
    }
    app.emplace(*folder);
    ASSERT_TRUE(app->WaitForMainWindow());
  }

  // The records of a PC's journal as this PC's copy of the folder has it.
  std::vector<SyncRecord> RecordsOf(const InstallationId& pc, const FolderKey& key) const {
    const FileRead read = ReadFrom(SyncFiles() + L"\\" + JournalFileName(pc), 0);
    if (read.outcome != FileReadOutcome::Read) return {};
    const AesGcmSealer sealer(key);
    std::vector<SyncRecord> records;
    for (JournalRecord& record : ReadJournal(read.bytes, sealer, {}).records) records.push_back(std::move(record.record));
    return records;
  }
  // Waits until PC-A's journal here holds a record of that kind (and text),
  // then for the program to have looked at the folder since.
  bool WaitForArrival(const FolderKey& key, RecordKind kind, const std::wstring& text = L"") const {
    const bool arrived = WaitUntil(
        [&] {
          for (const SyncRecord& record : RecordsOf(kPcA, key))
            if (record.kind == kind && (text.empty() || record.text == ToUtf8(text))) return true;
          return false;
        },
        kSyncTimeout);
    Pause(kTwoLooks);
    return arrived;
  }
  void ChooseNewest() const {
    ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
    WaitForMenuKeyboard(*app);
    PressKeys({'1'});
  }
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> entries;
    for (const std::wstring& line : HistoryLines(*app)) entries.push_back(EntryOfLine(line));
    return entries;
  }
  std::vector<std::wstring> FolderFiles() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((SyncFiles() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }
};

TEST_F(TwoPcs, OnA) {
  // The first PC makes the folder's key; the other joins once it arrived.
  std::optional<MadeFolderKey> made = MakeFolderKey(kPassphrase);
  ASSERT_TRUE(made);
  CreateDirectoryW(SyncFiles().c_str(), nullptr);
  WriteFileBytes(KeyFile(), std::string(made->keyFileBytes.begin(), made->keyFileBytes.end()));
  Start(L"PC-A", kPcA, made->key);
  Signal(L"a-started");

  PutText(kText);
  ASSERT_TRUE(WaitUntil([&] { return Entries().size() == 1; }));
  Signal(L"a-copied-text");

  ASSERT_TRUE(WaitForSignal(L"b-pasted-text"));
  WaitForTheNextSecond();
  ClipboardWriter().Block(CF_DIBV5, DibV5FromPixels(SmallPicture()));
  ASSERT_TRUE(WaitUntil([&] { return Entries().size() == 2; }));
  Signal(L"a-copied-picture");

  ASSERT_TRUE(WaitForSignal(L"b-put-picture-back"));
  WaitForTheNextSecond();
  PutText(kToDelete);
  ASSERT_TRUE(WaitUntil([&] { return Entries().size() == 3; }));
  Signal(L"a-copied-to-delete");

  // Deleted on PC-B: its line goes here too, and the menu's newest is the picture again.
  ASSERT_TRUE(WaitForSignal(L"b-deleted"));
  EXPECT_TRUE(WaitUntil([&] { return Entries().size() == 2; }, kSyncTimeout))
      << testing::PrintToString(Entries());
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  ChooseNewest();
  EXPECT_TRUE(WaitUntil([&] { return ClipboardHasPicture(SmallPicture()); }))
      << "the menu's newest: " << testing::PrintToString(ClipboardText());

  // PC-B again, this time with a wrong passphrase.
  ASSERT_TRUE(WaitForSignal(L"b-joined-wrongly"));
  WaitForTheNextSecond();
  PutText(kAfterWrongJoin);
  Signal(L"a-copied-after-wrong-join");
  ASSERT_TRUE(WaitForSignal(L"b-done"));
}

TEST_F(TwoPcs, OnB) {
  ASSERT_TRUE(WaitForSignal(L"a-started"));
  ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(KeyFile().c_str()) != INVALID_FILE_ATTRIBUTES; }, kSyncTimeout))
      << "the folder's key never arrived";
  JoinedFolderKey joined;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string bytes = ReadFileBytes(KeyFile());
        joined = JoinFolderKey(Bytes(bytes.begin(), bytes.end()), kPassphrase);
        return joined.result == FolderKeyJoin::Joined;
      },
      10s));
  Start(L"PC-B", kPcB, joined.key);

  // A's text, marked with A's name in the menu, pasted into the editor here.
  ASSERT_TRUE(WaitForSignal(L"a-copied-text"));
  ASSERT_TRUE(WaitForArrival(joined.key, RecordKind::Text, kText)) << "A's text never reached B's folder";
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  ChooseNewest();
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == kText; })) << testing::PrintToString(editor.Text());
  Signal(L"b-pasted-text");

  // A's picture, put back on this PC's clipboard.
  ASSERT_TRUE(WaitForSignal(L"a-copied-picture"));
  ASSERT_TRUE(WaitForArrival(joined.key, RecordKind::Picture)) << "A's picture never reached B's folder";
  ASSERT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  ChooseNewest();
  EXPECT_TRUE(WaitUntil([&] { return ClipboardHasPicture(SmallPicture()); }))
      << "on the clipboard: " << testing::PrintToString(ClipboardText());
  Signal(L"b-put-picture-back");

  // A's newest copy, chosen in the menu and deleted there with the Delete key.
  ASSERT_TRUE(WaitForSignal(L"a-copied-to-delete"));
  ASSERT_TRUE(WaitForArrival(joined.key, RecordKind::Text, kToDelete));
  ASSERT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({VK_DOWN});  // the first item: the newest
  PressKeys({VK_DELETE});
  Pause(1s);
  Signal(L"b-deleted");
  PressKeys({VK_ESCAPE});

  // Another PC that joins with a wrong passphrase gets no key: whatever
  // arrives in the folder stays unread there, and it writes nothing into it.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  const std::string keyFile = ReadFileBytes(KeyFile());
  const JoinedFolderKey wrong = JoinFolderKey(Bytes(keyFile.begin(), keyFile.end()), L"違う合言葉");
  EXPECT_EQ(wrong.result, FolderKeyJoin::WrongPassphrase);
  Start(L"PC-B2", kPcWithoutKey, std::nullopt);
  const std::vector<std::wstring> filesBefore = FolderFiles();
  PutText(L"B2's own copy");
  ASSERT_TRUE(WaitUntil([&] { return Entries().size() == 1; }));
  Signal(L"b-joined-wrongly");
  ASSERT_TRUE(WaitForSignal(L"a-copied-after-wrong-join"));
  EXPECT_TRUE(WaitForArrival(joined.key, RecordKind::Text, kAfterWrongJoin));
  TestEditor freshEditor;
  ASSERT_TRUE(WaitUntil([&] { return freshEditor.HasKeyboard(); }));
  ChooseNewest();
  EXPECT_TRUE(WaitUntil([&] { return freshEditor.Text() == L"B2's own copy"; }, 3s))
      << "none of A's copies in the menu: " << testing::PrintToString(freshEditor.Text());
  EXPECT_EQ(FolderFiles(), filesBefore);
  Signal(L"b-done");
}

}  // namespace
}  // namespace e2e
