#include "sync_settings.h"

#include "number_text.h"
#include "sync_folder.h"

namespace rtrillex {
namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::wstring HexOf(ByteSpan bytes) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  hex.reserve(bytes.size * 2);
  for (std::size_t i = 0; i < bytes.size; ++i) {
    hex += kDigits[bytes.data[i] >> 4];
    hex += kDigits[bytes.data[i] & 0x0F];
  }
  return hex;
}

std::optional<Bytes> BytesOfHex(std::wstring_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  Bytes bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

SyncSettings LoadSyncSettings(SettingsFile& file) {
  using namespace setting;
  SyncSettings settings;
  settings.on = file.Read(kSyncSection, kSyncOn) == L"1";
  settings.folder = file.Read(kSyncSection, kSyncFolder);
  settings.pcName = file.Read(kSyncSection, kSyncPcName);
  settings.installation = InstallationFromHex(file.Read(kSyncSection, kSyncInstallation));
  if (std::optional<Bytes> key = BytesOfHex(file.Read(kSyncSection, kSyncKey))) settings.protectedKey = std::move(*key);
  settings.pictureBytes = DigitsValue(file.Read(kSyncSection, kSyncPictureBytes), 15).value_or(kDefaultSharedPictureBytes);
  return settings;
}

void SaveSyncSettings(SettingsFile& file, const SyncSettings& settings) {
  using namespace setting;
  file.Write(kSyncSection, kSyncOn, settings.on ? L"1" : L"0");
  file.Write(kSyncSection, kSyncFolder, settings.folder);
  file.Write(kSyncSection, kSyncPcName, settings.pcName);
  file.Write(kSyncSection, kSyncInstallation, settings.installation ? InstallationHex(*settings.installation) : L"");
  file.Write(kSyncSection, kSyncKey, HexOf(settings.protectedKey));
}

}  // namespace rtrillex
