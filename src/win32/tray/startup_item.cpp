#include "tray/startup_item.h"

#include <cwchar>
#include <string>

#include "tray/startup_shortcut.h"

namespace rtrillex {
namespace {

constexpr wchar_t kMakeFailed[] = L"Windows の起動時に開始するためのショートカットを作れませんでした。";
constexpr wchar_t kRemoveFailed[] = L"Windows の起動時に開始するためのショートカットを削除できませんでした。";

std::wstring SystemReason(HRESULT result) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = text ? text : L"";
  LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
    reason.pop_back();
  wchar_t code[16];
  swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
  return reason.empty() ? code : reason + L" (" + code + L")";
}

void TellFailure(HWND owner, bool removing, const std::wstring& folder, HRESULT result) {
  std::wstring message = removing ? kRemoveFailed : kMakeFailed;
  if (!folder.empty()) message += L"\n\n" + folder;
  message += L"\n\n" + SystemReason(result);
  MessageBoxW(owner, message.c_str(), L"rTrillex", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

}  // namespace

void StartupItem::ShowIn(HMENU menu, UINT command) {
  std::wstring folder;
  shownChecked_ = SUCCEEDED(FindStartupFolder(false, folder)) && StartupShortcutPointsHere(folder);
  CheckMenuItem(menu, command, MF_BYCOMMAND | (shownChecked_ ? MF_CHECKED : MF_UNCHECKED));
}

void StartupItem::RemoveLeftovers() {
  std::wstring folder;
  if (SUCCEEDED(FindStartupFolder(false, folder))) RemoveLeftoversOfMaking(folder);
}

void StartupItem::OnChosen(HWND owner) {
  const bool removing = shownChecked_;
  std::wstring folder;
  HRESULT result = FindStartupFolder(!removing, folder);
  if (SUCCEEDED(result)) result = removing ? RemoveStartupShortcut(folder) : MakeStartupShortcut(folder);
  if (FAILED(result)) TellFailure(owner, removing, folder, result);
}

}  // namespace rtrillex
