// The kept history's cipher on Windows: the file's key protected by DPAPI for
// the user (and machine) who made it, texts sealed with AES-256-GCM by CNG.
#pragma once

#include <windows.h>

#include <bcrypt.h>

#include "entry_cipher.h"

namespace rtrillex {

class WindowsEntryCipher final : public EntryCipher {
 public:
  WindowsEntryCipher() = default;
  WindowsEntryCipher(const WindowsEntryCipher&) = delete;
  WindowsEntryCipher& operator=(const WindowsEntryCipher&) = delete;
  ~WindowsEntryCipher() override;

  std::optional<Bytes> MakeKey() override;
  KeyUse UseKey(ByteView protectedKey) override;
  std::optional<Bytes> Seal(std::string_view utf8, ByteView associated) const override;
  std::optional<std::string> Unseal(ByteView sealed, ByteView associated) const override;

 private:
  bool OpenAlgorithm();
  bool SetKey(const std::uint8_t* key, std::size_t size);
  void DropKey();

  // Opened once, for every file and every text.
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
};

}  // namespace rtrillex
