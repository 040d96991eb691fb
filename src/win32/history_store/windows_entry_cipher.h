// The kept history's cipher on Windows: the file's key protected by DPAPI for
// the user (and machine) who made it, texts sealed with AES-256-GCM by CNG.
#pragma once

#include "aes_gcm_key.h"
#include "entry_cipher.h"

namespace rtrillex {

class WindowsEntryCipher final : public EntryCipher {
 public:
  WindowsEntryCipher() = default;
  WindowsEntryCipher(const WindowsEntryCipher&) = delete;
  WindowsEntryCipher& operator=(const WindowsEntryCipher&) = delete;
  ~WindowsEntryCipher() override = default;

  std::optional<Bytes> MakeKey() override;
  KeyUse UseKey(ByteView protectedKey) override;
  std::optional<Bytes> Seal(std::string_view utf8, ByteView associated) const override;
  std::optional<std::string> Unseal(ByteView sealed, ByteView associated) const override;

 private:
  AesGcmKey key_;
};

}  // namespace rtrillex
