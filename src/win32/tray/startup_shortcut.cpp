#include "tray/startup_shortcut.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "com.h"
#include "settings.h"
#include "settings/profile_settings_file.h"

namespace rtrillex {
namespace {

constexpr wchar_t kShortcutName[] = L"rTrillex.lnk";
// The name a shortcut is made under before it is moved into place, with the
// making process's id and ".tmp".
constexpr wchar_t kTemporaryPrefix[] = L"rTrillex-";

// Ends with a backslash.
std::wstring TemporaryFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, path);
  return length > 0 && length <= MAX_PATH ? std::wstring(path, length) : std::wstring();
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
  // Made under a name of its own first and then put in place in one move, so
  // that the folder holds either the old shortcut or the whole new one. Made
  // in the temporary folder, not in the Startup folder, whose every file the
  // shell opens at log-on: a crash before the move leaves nothing there. On
  // another volume the move is a copy, which still never leaves a stray name.
  const std::wstring made = TemporaryFolder() + kTemporaryPrefix + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HRESULT result = SaveShortcut(made, ProgramPath());
  const std::wstring shortcut = folder + L"\\" + kShortcutName;
  constexpr DWORD kMove = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
  if (SUCCEEDED(result) && !TryForASecond([&] { return MoveFileExW(made.c_str(), shortcut.c_str(), kMove) != FALSE; }))
    result = LastError();
  if (FAILED(result)) DeleteFileW(made.c_str());
  return result;
}

void RemoveLeftoversOfMaking(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const std::wstring pattern = folder + L"\\" + kTemporaryPrefix + L"*.tmp";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsLeftoverName(found.cFileName)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

HRESULT RemoveStartupShortcut(const std::wstring& folder) {
  const std::wstring shortcut = folder + L"\\" + kShortcutName;
  if (TryForASecond([&] { return DeleteFileW(shortcut.c_str()) != FALSE; })) return S_OK;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace rtrillex
