#include "sync_folder.h"

#include <algorithm>

namespace rtrillex {
namespace {

constexpr std::size_t kHexDigits = 32;

std::wstring Lower(std::wstring_view name) {
  std::wstring lower(name);
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lower;
}

bool StartsWith(std::wstring_view text, std::wstring_view start) { return text.substr(0, start.size()) == start; }

bool EndsWith(std::wstring_view text, std::wstring_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Syncthing's, Dropbox's, OneDrive's and office programs' files on their
// way or locks: names the engines write to and then rename, or never share.
bool IsEngineTemporary(std::wstring_view lower) {
  constexpr std::wstring_view kStarts[] = {L".syncthing.", L"~syncthing~", L".dropbox", L".~", L"~$"};
  constexpr std::wstring_view kEnds[] = {L".tmp", L".partial", L".!sync"};
  return std::any_of(std::begin(kStarts), std::end(kStarts), [&](auto start) { return StartsWith(lower, start); }) ||
         std::any_of(std::begin(kEnds), std::end(kEnds), [&](auto end) { return EndsWith(lower, end); });
}

// What a conflict copy puts after the original name (before the extension,
// if it keeps one): ".sync-conflict-20261209-123456-ABCDEFG",
// " (PC's conflicted copy 2026-12-09)", "-COMPUTERNAME", " (1)".
bool IsConflictMark(std::wstring_view mark) {
  return !mark.empty() && std::wstring_view(L". -_(").find(mark.front()) != std::wstring_view::npos;
}

}  // namespace

std::wstring InstallationHex(const InstallationId& installation) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (const std::uint8_t byte : installation) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::optional<InstallationId> InstallationFromHex(std::wstring_view hex) {
  if (hex.size() != kHexDigits) return std::nullopt;
  InstallationId installation{};
  for (std::size_t i = 0; i < installation.size(); ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    installation[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return installation;
}

std::wstring JournalFileName(const InstallationId& installation) {
  return InstallationHex(installation) + std::wstring(kJournalExtension);
}

SyncFile ClassifySyncFile(std::wstring_view name, const InstallationId& own) {
  const std::wstring lower = Lower(name);
  if (IsEngineTemporary(lower)) return {SyncFileKind::EngineTemporary, {}};
  if (lower == kKeyFileName) return {SyncFileKind::KeyFile, {}};
  if (StartsWith(lower, kKeyFileName) && IsConflictMark(std::wstring_view(lower).substr(kKeyFileName.size()))) {
    return {SyncFileKind::KeyConflictCopy, {}};
  }
  const std::optional<InstallationId> installation = InstallationFromHex(std::wstring_view(lower).substr(0, kHexDigits));
  if (!installation || !EndsWith(lower, kJournalExtension) || lower.size() < kHexDigits + kJournalExtension.size()) {
    return {SyncFileKind::Other, {}};
  }
  const std::wstring_view mark =
      std::wstring_view(lower).substr(kHexDigits, lower.size() - kHexDigits - kJournalExtension.size());
  if (mark.empty()) return {*installation == own ? SyncFileKind::OwnJournal : SyncFileKind::OtherJournal, *installation};
  if (IsConflictMark(mark)) return {SyncFileKind::JournalConflictCopy, *installation};
  return {SyncFileKind::Other, {}};
}

}  // namespace rtrillex
