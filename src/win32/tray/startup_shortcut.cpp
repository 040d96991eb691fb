#include "tray/startup_shortcut.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "com.h"
#include "handle.h"
#include "settings.h"
#include "settings/profile_settings_file.h"

namespace rtrillex {
namespace {

constexpr wchar_t kShortcutName[] = L"rTrillex.lnk";
// The name a shortcut is made under before it is moved into place, with the
// making process's id and ".tmp". Earlier versions made it in the Startup
// folder itself.
constexpr wchar_t kTemporaryPrefix[] = L"rTrillex-";

// rTrillex-<process id>.tmp in the temporary folder; empty when the system
// names none, so that nothing is ever made in the current folder instead.
std::wstring TemporaryShortcutPath() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);  // ends with a backslash
  if (length == 0 || length > MAX_PATH) return L"";
  return std::wstring(folder, length) + kTemporaryPrefix + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

// "rTrillex-<digits>.tmp", and nothing else: the person's own files stay.
bool IsLeftoverName(std::wstring_view name) {
  constexpr std::wstring_view kStart = kTemporaryPrefix;
  constexpr std::wstring_view kEnd = L".tmp";
  if (name.size() <= kStart.size() + kEnd.size() || name.substr(0, kStart.size()) != kStart ||
      name.substr(name.size() - kEnd.size()) != kEnd)
    return false;
  const std::wstring_view digits = name.substr(kStart.size(), name.size() - kStart.size() - kEnd.size());
  return std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// A path written as the file system names it: "..", relative parts and 8.3
// short names resolved, so that two spellings of one file compare equal.
std::wstring NormalPath(const std::wstring& path) {
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  if (full.empty()) return path;
  full.resize(GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  std::wstring longForm(GetLongPathNameW(full.c_str(), nullptr, 0), L'\0');
  if (longForm.empty()) return full;  // a target that no longer exists keeps its written form
  longForm.resize(GetLongPathNameW(full.c_str(), longForm.data(), static_cast<DWORD>(longForm.size())));
  return longForm.empty() ? full : longForm;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  // Windows' file names ignore case, in every script.
  return CompareStringOrdinal(NormalPath(a).c_str(), -1, NormalPath(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring ShortcutTarget(const std::wstring& shortcut) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put())) ||
      FAILED(link.QueryInto(IID_IPersistFile, file)) || FAILED(file->Load(shortcut.c_str(), STGM_READ)))
    return L"";
  std::wstring target(32768, L'\0');
  if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) return L"";
  target.resize(wcslen(target.c_str()));
  return target;
}

HRESULT SaveShortcut(const std::wstring& path, const std::wstring& target) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put());
  if (SUCCEEDED(result)) result = link->SetPath(target.c_str());
  if (SUCCEEDED(result)) result = link->SetWorkingDirectory(DirectoryOf(target).c_str());
  if (SUCCEEDED(result)) result = link.QueryInto(IID_IPersistFile, file);
  if (SUCCEEDED(result)) result = file->Save(path.c_str(), TRUE);
  return result;
}

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// A file another program has open for a moment (a virus scanner, an indexer,
// the shell reading the shortcut) refuses to be replaced or deleted, most
// often as access denied: tried again for up to a second before the
// failure counts.
template <typename FileCall>
bool TryForASecond(FileCall call) {
  constexpr int kAttempts = 20;
  constexpr DWORD kPauseMilliseconds = 50;
  for (int attempt = 1;; ++attempt) {
    if (call()) return true;
    const DWORD error = GetLastError();
    const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!busy || attempt == kAttempts) return false;
    Sleep(kPauseMilliseconds);
    SetLastError(error);
  }
}

// Moves the shortcut made in the temporary folder over rTrillex.lnk.
// On the Startup folder's volume, where the temporary folder almost always
// is, the move is a rename, which the file system does whole or not at all:
// the folder holds the old shortcut or the whole new one. On another volume
// (a redirected profile) Windows can only copy the file over the old one and
// then delete the temporary, as no call moves a file across volumes in one
// step: a crash during that copy can leave rTrillex.lnk cut short, which the
// item's next choice replaces, but never a stray name. Making the temporary
// in the Startup folder would spare that copy and instead leave, after a
// crash, a file the shell opens at every log-on.
bool MoveIntoPlace(const std::wstring& made, const std::wstring& shortcut) {
  constexpr DWORD kMove = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
  return TryForASecond([&] { return MoveFileExW(made.c_str(), shortcut.c_str(), kMove) != FALSE; });
}

}  // namespace

HRESULT FindStartupFolder(bool create, std::wstring& folder) {
  PWSTR found = nullptr;
  // Also on failure the path's memory is ours to free.
  const HRESULT result =
      SHGetKnownFolderPath(FOLDERID_Startup, create ? KF_FLAG_CREATE : KF_FLAG_DONT_VERIFY, nullptr, &found);
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(found, &CoTaskMemFree);
  if (SUCCEEDED(result)) folder = found;
  return result;
}

bool StartupShortcutPointsHere(const std::wstring& folder) {
  const ComApartment apartment;
  if (FAILED(apartment.result())) return false;
  const std::wstring target = ShortcutTarget(folder + L"\\" + kShortcutName);
  return !target.empty() && SameFile(target, ProgramPath());
}

HRESULT MakeStartupShortcut(const std::wstring& folder) {
  const ComApartment apartment;
  if (FAILED(apartment.result())) return apartment.result();
  // Made under a name of its own first and then moved into place, so that a
  // shortcut half written is never read. Made in the temporary folder, not in
  // the Startup folder, whose every file the shell opens at log-on: a crash
  // before the move leaves nothing there.
  const std::wstring made = TemporaryShortcutPath();
  if (made.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  HRESULT result = SaveShortcut(made, ProgramPath());
  if (SUCCEEDED(result) && !MoveIntoPlace(made, folder + L"\\" + kShortcutName)) result = LastError();
  if (FAILED(result)) DeleteFileW(made.c_str());
  return result;
}

void RemoveLeftoversOfMaking(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const std::wstring pattern = folder + L"\\" + kTemporaryPrefix + L"*.tmp";
  const UniqueFind search(FindFirstFileW(pattern.c_str(), &found));
  if (!search) return;  // none, or no Startup folder at all
  do {
    // The pattern also lets through names such as rTrillex-notes.tmp, and
    // matches short (8.3) names: the long name is checked for digits only.
    if (IsLeftoverName(found.cFileName)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(search.get(), &found));
}

HRESULT RemoveStartupShortcut(const std::wstring& folder) {
  const std::wstring shortcut = folder + L"\\" + kShortcutName;
  if (TryForASecond([&] { return DeleteFileW(shortcut.c_str()) != FALSE; })) return S_OK;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace rtrillex
