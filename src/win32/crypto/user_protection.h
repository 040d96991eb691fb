// Secrets kept for this Windows user with DPAPI: the protected blob opens
// only for the same user (and machine), and only with the same entropy, so
// another program of the user's that unprotects blobs blindly does not open
// ours without knowing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sync_bytes.h"

namespace rtrillex {

// nullopt: the system would not protect it.
std::optional<Bytes> ProtectForUser(ByteSpan secret, std::string_view entropy, const wchar_t* description);

enum class Unprotected {
  Opened,
  // It never opens here: another user's or machine's, changed, or not the
  // size of the secret it should hold. Set aside, not tried again and again.
  WrongKey,
  // The system could not unprotect it this time (at log-on the user's keys
  // may not be ready yet); it may later.
  NotNow,
};

// Opens a blob that must hold exactly `size` bytes into `out`; `out` is
// left untouched unless Opened.
Unprotected UnprotectForUser(ByteSpan blob, std::string_view entropy, std::uint8_t* out, std::size_t size);

}  // namespace rtrillex
