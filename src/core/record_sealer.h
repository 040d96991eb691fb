// How the synced folder's records are sealed, as the portable code sees it:
// the folder's key, already unwrapped by the Windows side (AES-256-GCM
// there), sealing bytes with associated data that must be given again,
// unchanged, to open them. A stand-in does it in the native tests.
#pragma once

#include <optional>

#include "sync_bytes.h"

namespace rtrillex {

class RecordSealer {
 public:
  virtual ~RecordSealer() = default;

  // The id of the folder key in use, as its key file gives it.
  virtual Id16 keyId() const = 0;
  // nullopt: the system would not seal.
  virtual std::optional<Bytes> Seal(ByteSpan plain, ByteSpan associated) const = 0;
  // nullopt: another key, other associated data, or a changed byte.
  virtual std::optional<Bytes> Open(ByteSpan sealed, ByteSpan associated) const = 0;
};

}  // namespace rtrillex
