// The icon's menu item that starts rTrillex at log-on: rTrillex.lnk in the
// person's Startup folder, made, pointed here and removed by the item, and
// read afresh each time the menu opens.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "com.h"
#include "handle.h"
#include "harness.h"
#include "program_spy.h"

namespace e2e {
namespace {

using rtrillex::ComApartment;
using rtrillex::ComPtr;

std::wstring StartupFolder() {
  PWSTR found = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &found);
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(found, &CoTaskMemFree);
  return SUCCEEDED(result) ? found : L"";
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::set<std::wstring> Entries(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.insert(entry.cFileName);
  while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

// The names that appear in a folder while it is watched, made there or moved
// in, as the folder's change notifications tell them: also a file that is
// there for a moment only, which no listing would catch.
class NamesAppearing {
 public:
  explicit NamesAppearing(const std::wstring& folder)
      : folder_(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr)) {
    overlapped_.hEvent = told_.get();
    ReadOn();  // from here on every change is kept for us, also between reads
  }
  ~NamesAppearing() {
    if (!reading_) return;
    // The system writes into the buffer until the read is over.
    CancelIoEx(folder_.get(), &overlapped_);
    DWORD ignored;
    GetOverlappedResult(folder_.get(), &overlapped_, &ignored, TRUE);
  }
  NamesAppearing(const NamesAppearing&) = delete;
  NamesAppearing& operator=(const NamesAppearing&) = delete;

  bool watching() const { return reading_; }
  // All told so far, once `name` is among them (or once waiting for it gave up).
  std::set<std::wstring> SeenUntil(const std::wstring& name) {
    WaitUntil([&] {
      TakeWhatWasTold();
      return seen_.count(name) != 0;
    });
    return seen_;
  }

 private:
  void ReadOn() {
    reading_ = ReadDirectoryChangesW(folder_.get(), buffer_, sizeof buffer_, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME,
                                     nullptr, &overlapped_, nullptr) != FALSE;
  }
  void TakeWhatWasTold() {
    DWORD size = 0;
    while (reading_ && GetOverlappedResult(folder_.get(), &overlapped_, &size, FALSE)) {
      if (size == 0) seen_.insert(L"(more changes than the buffer holds)");
      for (const BYTE* at = buffer_; size > 0;) {
        const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
        if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME)
          seen_.insert(std::wstring(change->FileName, change->FileNameLength / sizeof(wchar_t)));
        if (change->NextEntryOffset == 0) break;
        at += change->NextEntryOffset;
      }
      ReadOn();
    }
  }

  rtrillex::UniqueFile folder_;
  rtrillex::UniqueKernelObject told_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED overlapped_{};
  alignas(DWORD) BYTE buffer_[16384];
  bool reading_ = false;
  std::set<std::wstring> seen_;
};

std::wstring Upper(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(towupper(c)); });
  return text;
}

struct Shortcut {
  std::wstring target, workingFolder;
};

// Read as the shell reads it; empty when it is no shortcut.
Shortcut ReadShortcut(const std::wstring& path) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  Shortcut read;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put())) ||
      FAILED(link.QueryInto(IID_IPersistFile, file)) || FAILED(file->Load(path.c_str(), STGM_READ)))
    return read;
  wchar_t text[MAX_PATH] = {};
  if (link->GetPath(text, MAX_PATH, nullptr, 0) == S_OK) read.target = text;
  if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) read.workingFolder = text;
  return read;
}

// A shortcut as a person makes one by hand.
void MakeShortcut(const std::wstring& path, const std::wstring& target) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  ASSERT_HRESULT_SUCCEEDED(
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put()));
  ASSERT_HRESULT_SUCCEEDED(link->SetPath(target.c_str()));
  ASSERT_HRESULT_SUCCEEDED(link.QueryInto(IID_IPersistFile, file));
  ASSERT_HRESULT_SUCCEEDED(file->Save(path.c_str(), TRUE));
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The item's check mark as the menu showed it.
enum class Shown { Unchecked, Checked };

class TrayStartupItem : public testing::Test {
 protected:
  ComApartment apartment;
  const std::wstring startup = StartupFolder();
  const std::wstring ours = startup + L"\\rTrillex.lnk";
  const std::wstring othersName = startup + L"\\rTrillex (another).lnk";
  TestFolder folder;
  std::optional<RunningApp> app;
  std::optional<ProgramSpy> spy;  // reads the check mark inside the program

  void SetUp() override {
    ASSERT_FALSE(startup.empty());
    RemoveShortcuts();
    before = Entries(startup);
  }
  // The person's Startup folder is shared by every test: left as it was found.
  void TearDown() override {
    spy.reset();
    app.reset();
    RemoveShortcuts();
  }
  void RemoveShortcuts() {
    for (const std::wstring& path : {ours, othersName}) {
      DeleteFileW(path.c_str());
      RemoveDirectoryW(path.c_str());
    }
  }

  void Start() {
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
    spy.emplace(app->ThreadId());
    ASSERT_TRUE(spy->WaitUntilWatching(app->MainWindow())) << spy->Problem();
  }
  // The item, chosen from the icon's menu by its access key, once the menu
  // has shown it as `shown`.
  void Choose(Shown shown) {
    spy->WatchMenuItem(static_cast<UINT>(rtrillex::MenuId::mnuStartup));
    app->PostTrayReport(WM_RBUTTONDOWN);
    const HWND menu = OpenMenu(*app);
    ASSERT_NE(menu, nullptr);
    PostMessageW(menu, WM_KEYDOWN, 'W', 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
    const LONG state = spy->MenuItemState();
    ASSERT_NE(state, -1) << "the spy read no menu";
    EXPECT_EQ((state & MF_CHECKED) != 0, shown == Shown::Checked) << "menu item state " << state;
  }
  bool PointsHere(const std::wstring& path) const { return SameFile(ReadShortcut(path).target, folder.Exe()); }
  // What the program left in the folder besides what the test put there.
  std::set<std::wstring> Added() const {
    std::set<std::wstring> added;
    for (const std::wstring& name : Entries(startup))
      if (!before.count(name)) added.insert(name);
    return added;
  }

  std::set<std::wstring> before;
};

TEST_F(TrayStartupItem, ChoosingItMakesTheShortcutToThisExeAndChoosingAgainRemovesIt) {
  Start();
  NamesAppearing appearing(startup);
  ASSERT_TRUE(appearing.watching());
  Choose(Shown::Unchecked);
  ASSERT_TRUE(WaitUntil([&] { return Exists(ours); }));
  const Shortcut made = ReadShortcut(ours);
  EXPECT_TRUE(SameFile(made.target, folder.Exe())) << testing::PrintToString(made.target);
  EXPECT_TRUE(SameFile(made.workingFolder, folder.path())) << testing::PrintToString(made.workingFolder);
  // The shell opens every file in the Startup folder at log-on: no other
  // name, not even for the moment of the making.
  EXPECT_EQ(appearing.SeenUntil(L"rTrillex.lnk"), std::set<std::wstring>{L"rTrillex.lnk"});

  Choose(Shown::Checked);
  EXPECT_TRUE(WaitUntil([&] { return !Exists(ours); }));

  // Made by hand, with the path in another case: the same exe, so the item
  // shows checked and choosing it removes the shortcut.
  MakeShortcut(ours, Upper(folder.Exe()));
  Choose(Shown::Checked);
  EXPECT_TRUE(WaitUntil([&] { return !Exists(ours); }));
}

TEST_F(TrayStartupItem, AShortcutToAnotherCopyLeavesItUncheckedAndChoosingItPointsItHere) {
  TestFolder elsewhere;
  MakeShortcut(ours, elsewhere.Exe());
  // One of another name, even pointing here, is the person's own.
  MakeShortcut(othersName, folder.Exe());
  Start();
  {
    // Open in another program for a moment, as a virus scanner has it: the
    // shortcut is replaced once it lets go.
    const HANDLE scanner = CreateFileW(ours.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
    before = Entries(startup);
    Choose(Shown::Unchecked);
    // Meanwhile the new shortcut waits to be moved in: never in the Startup
    // folder, whose every file the shell opens at log-on.
    EXPECT_FALSE(WaitUntil([&] { return !Added().empty(); }, 300ms)) << testing::PrintToString(Added());
    CloseHandle(scanner);
  }
  EXPECT_TRUE(WaitUntil([&] { return PointsHere(ours); })) << testing::PrintToString(ReadShortcut(ours).target);

  Choose(Shown::Checked);
  EXPECT_TRUE(WaitUntil([&] { return !Exists(ours); }));
  EXPECT_TRUE(PointsHere(othersName));
}

TEST_F(TrayStartupItem, WhatAnInterruptedMakingLeftIsRemovedAtStartAndNothingElse) {
  const std::wstring leftover = startup + L"\\rTrillex-1234.tmp";
  const std::vector<std::wstring> persons = {startup + L"\\other.tmp", startup + L"\\rTrillex-notes.tmp"};
  for (const std::wstring& path : persons) WriteFileBytes(path, "the person's own");
  WriteFileBytes(leftover, "a shortcut cut short");
  Start();
  EXPECT_TRUE(WaitUntil([&] { return !Exists(leftover); }));
  for (const std::wstring& path : persons) {
    EXPECT_TRUE(Exists(path)) << testing::PrintToString(path);
    DeleteFileW(path.c_str());
  }
  DeleteFileW(leftover.c_str());
}

TEST_F(TrayStartupItem, AShortcutThatCannotBeMadeIsToldAndLeavesNothingBehind) {
  // A folder in the shortcut's place: the shortcut can be written, not put there.
  ASSERT_TRUE(CreateDirectoryW(ours.c_str(), nullptr));
  before = Entries(startup);
  Start();
  Choose(Shown::Unchecked);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND window : app->TopLevelWindows(L"#32770"))
      if (IsWindowVisible(window)) box = window;
    return box != nullptr;
  })) << "no word of the failure";
  EXPECT_EQ(WindowText(box), L"rTrillex");
  EXPECT_EQ(Added(), std::set<std::wstring>{});
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

  // Once the way is free, the item works as before.
  ASSERT_TRUE(RemoveDirectoryW(ours.c_str()));
  Choose(Shown::Unchecked);
  EXPECT_TRUE(WaitUntil([&] { return PointsHere(ours); }));
}

}  // namespace
}  // namespace e2e
