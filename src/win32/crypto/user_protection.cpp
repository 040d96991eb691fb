#include "user_protection.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstring>
#include <limits>

namespace rtrillex {
namespace {

// DPAPI's output, which the system allocated; wiped first when it holds a secret.
struct LocalBlob {
  DATA_BLOB blob{};
  bool secret = false;
  LocalBlob() = default;
  LocalBlob(const LocalBlob&) = delete;
  LocalBlob& operator=(const LocalBlob&) = delete;
  ~LocalBlob() {
    if (!blob.pbData) return;
    if (secret) SecureZeroMemory(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
  }
};

DATA_BLOB Borrowed(const void* data, std::size_t size) {
  static BYTE none = 0;
  BYTE* bytes = data ? static_cast<BYTE*>(const_cast<void*>(data)) : &none;
  return {static_cast<DWORD>(size), bytes};
}

bool FitsDword(std::size_t size) { return size <= std::numeric_limits<DWORD>::max(); }

// What DPAPI says of a blob that will never open here: made for another
// user or machine, or changed. Anything else (its service not answering yet
// at log-on, no memory) may pass.
bool MeansWrongKey(DWORD error) {
  const auto code = static_cast<HRESULT>(error);
  return error == ERROR_INVALID_DATA || code == HRESULT_FROM_WIN32(ERROR_INVALID_DATA) ||
         code == NTE_BAD_KEY_STATE /* another user's or machine's key */ || code == NTE_BAD_DATA ||
         code == NTE_BAD_KEY || code == NTE_BAD_SIGNATURE;
}

}  // namespace

std::optional<Bytes> ProtectForUser(ByteSpan secret, std::string_view entropy, const wchar_t* description) {
  if (!FitsDword(secret.size) || !FitsDword(entropy.size())) return std::nullopt;
  DATA_BLOB clear = Borrowed(secret.data, secret.size);
  DATA_BLOB mixed = Borrowed(entropy.data(), entropy.size());
  LocalBlob protectedBlob;
  if (!CryptProtectData(&clear, description, &mixed, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                        &protectedBlob.blob)) {
    return std::nullopt;
  }
  return Bytes(protectedBlob.blob.pbData, protectedBlob.blob.pbData + protectedBlob.blob.cbData);
}

Unprotected UnprotectForUser(ByteSpan blob, std::string_view entropy, std::uint8_t* out, std::size_t size) {
  if (!FitsDword(blob.size) || !FitsDword(entropy.size())) return Unprotected::WrongKey;
  DATA_BLOB stored = Borrowed(blob.data, blob.size);
  DATA_BLOB mixed = Borrowed(entropy.data(), entropy.size());
  LocalBlob clear;
  clear.secret = true;
  if (!CryptUnprotectData(&stored, nullptr, &mixed, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &clear.blob)) {
    return MeansWrongKey(GetLastError()) ? Unprotected::WrongKey : Unprotected::NotNow;
  }
  if (clear.blob.cbData != size) return Unprotected::WrongKey;
  std::memcpy(out, clear.blob.pbData, size);
  return Unprotected::Opened;
}

}  // namespace rtrillex
