#include "aes_gcm_sealer.h"

namespace rtrillex {

AesGcmSealer::AesGcmSealer(const FolderKey& key) : keyId_(key.keyId) {
  key_.Use(key.key.bytes.data(), key.key.bytes.size());
}

std::optional<Bytes> AesGcmSealer::Seal(ByteSpan plain, ByteSpan associated) const {
  return key_.Seal(plain, associated);
}

std::optional<Bytes> AesGcmSealer::Open(ByteSpan sealed, ByteSpan associated) const {
  return key_.Open(sealed, associated);
}

}  // namespace rtrillex
