// How sharing copies through a synced folder is set up, as Setting.ini's
// [Sync] section keeps it. The passphrase is never among them: only the
// folder's key, protected for this user on this PC (the caller protects it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings.h"
#include "sync_bytes.h"
#include "sync_journal.h"

namespace rtrillex {

namespace setting {
inline constexpr std::wstring_view kSyncSection = L"Sync";
inline constexpr std::wstring_view kSyncOn = L"Share";  // "1": on
inline constexpr std::wstring_view kSyncFolder = L"Folder";
inline constexpr std::wstring_view kSyncPcName = L"PcName";
inline constexpr std::wstring_view kSyncInstallation = L"Installation";
inline constexpr std::wstring_view kSyncKey = L"Key";  // in hex
inline constexpr std::wstring_view kSyncPictureBytes = L"PictureBytes";
}  // namespace setting

// A picture larger than this as PNG stays on its PC.
inline constexpr std::uint64_t kDefaultSharedPictureBytes = 8u << 20;

struct SyncSettings {
  bool on = false;
  std::wstring folder;
  std::wstring pcName;  // empty: the computer's name
  std::optional<InstallationId> installation;  // made once, when sharing first starts
  Bytes protectedKey;   // empty: none kept yet
  std::uint64_t pictureBytes = kDefaultSharedPictureBytes;
};

// Anything unreadable reads as not set: an installation id or a key that is
// not whole hex is asked for again rather than used.
SyncSettings LoadSyncSettings(SettingsFile& file);
// Every key but PictureBytes, which only the person writes.
void SaveSyncSettings(SettingsFile& file, const SyncSettings& settings);

std::wstring HexOf(ByteSpan bytes);
// Either case; nullopt for an odd count or anything but hex digits.
std::optional<Bytes> BytesOfHex(std::wstring_view hex);

}  // namespace rtrillex
