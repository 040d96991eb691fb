// The synced folder's records sealed with the folder key: AES-256-GCM, a
// fresh random 96-bit nonce for each record, written as
// nonce | ciphertext | tag.
#pragma once

#include "aes_gcm_key.h"
#include "folder_key.h"
#include "record_sealer.h"

namespace rtrillex {

class AesGcmSealer final : public RecordSealer {
 public:
  // ready() is false when CNG would not take the key: it then seals and
  // opens nothing.
  explicit AesGcmSealer(const FolderKey& key);

  bool ready() const { return key_.ready(); }

  Id16 keyId() const override { return keyId_; }
  std::optional<Bytes> Seal(ByteSpan plain, ByteSpan associated) const override;
  std::optional<Bytes> Open(ByteSpan sealed, ByteSpan associated) const override;

 private:
  Id16 keyId_{};
  AesGcmKey key_;
};

}  // namespace rtrillex
