// What the files in the synced folder's rTrillex folder are, by their names:
// `key`, one `<installation id in hex>.journal` for each PC, and whatever
// the sync engine leaves beside them: its conflict copies (read as one more
// journal: their records are known by id, so nothing shows twice) and its
// files still on their way (never read).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sync_journal.h"

namespace rtrillex {

inline constexpr std::wstring_view kSyncFolderName = L"rTrillex";
inline constexpr std::wstring_view kKeyFileName = L"key";
inline constexpr std::wstring_view kJournalExtension = L".journal";

// 32 lowercase hex digits.
std::wstring InstallationHex(const InstallationId& installation);
// Either case; nullopt for anything but 32 hex digits.
std::optional<InstallationId> InstallationFromHex(std::wstring_view hex);
std::wstring JournalFileName(const InstallationId& installation);

enum class SyncFileKind {
  OwnJournal,
  OtherJournal,
  JournalConflictCopy,  // of the journal of `installation`, perhaps this PC's own
  KeyFile,
  KeyConflictCopy,  // two PCs made a key at once: the person must choose
  EngineTemporary,  // a sync engine's file still being written, or its lock
  Other,
};

struct SyncFile {
  SyncFileKind kind = SyncFileKind::Other;
  InstallationId installation{};  // the journals' and their copies'
};

// `name` without its folder, as the system lists it.
SyncFile ClassifySyncFile(std::wstring_view name, const InstallationId& own);

}  // namespace rtrillex
