#include "sync_key_file.h"

#include <algorithm>
#include <cstring>

namespace rtrillex {
namespace {

void WriteParameters(ByteWriter& writer, const KeyFile& key) {
  writer.Raw(kKeyFileMagic);
  writer.U16(kKeyFileFormat);
  writer.Id(key.keyId);
  writer.U8(key.kdf);
  writer.U32(key.iterations);
  writer.U8(static_cast<std::uint8_t>(key.salt.size()));
  writer.Raw(key.salt);
  writer.U8(key.wrapMethod);
}

bool SafeParameters(const KeyFile& key) {
  return key.iterations >= kFewestKeyIterations && key.iterations <= kMostKeyIterations &&
         key.salt.size() >= kShortestSalt;
}

KeyFileStatus ReadParameters(ByteReader& reader, KeyFile& key) {
  std::uint16_t format = 0;
  std::uint8_t saltSize = 0;
  ByteSpan salt;
  if (!reader.U16(format)) return KeyFileStatus::Damaged;
  if (format == 0) return KeyFileStatus::NotKeyFile;
  if (format > kKeyFileFormat) return KeyFileStatus::NewerFormat;
  if (!reader.Id(key.keyId) || !reader.U8(key.kdf) || !reader.U32(key.iterations) || !reader.U8(saltSize) ||
      saltSize > kLongestSalt || !reader.Raw(saltSize, salt) || !reader.U8(key.wrapMethod)) {
    return KeyFileStatus::Damaged;
  }
  key.salt.assign(salt.data, salt.data + salt.size);
  if (key.kdf != kPbkdf2HmacSha256 || key.wrapMethod != kWrapAes256Gcm) return KeyFileStatus::NewerFormat;
  return KeyFileStatus::Read;
}

}  // namespace

Bytes KeyFileAssociatedData(const KeyFile& key) {
  ByteWriter writer;
  WriteParameters(writer, key);
  return writer.Take();
}

Bytes KeyFileBytes(const KeyFile& key) {
  ByteWriter writer;
  WriteParameters(writer, key);
  writer.Sized(key.wrappedKey);
  return writer.Take();
}

KeyFileRead ReadKeyFile(ByteSpan bytes) {
  KeyFileRead read;
  if (bytes.size < kKeyFileMagic.size() ||
      std::memcmp(bytes.data, kKeyFileMagic.data(), kKeyFileMagic.size()) != 0) {
    const bool startOfOne = bytes.size == 0 ||
                            std::memcmp(bytes.data, kKeyFileMagic.data(), std::min(bytes.size, kKeyFileMagic.size())) == 0;
    read.status = startOfOne ? KeyFileStatus::Damaged : KeyFileStatus::NotKeyFile;
    return read;
  }
  ByteReader reader(ByteSpan(bytes.data + kKeyFileMagic.size(), bytes.size - kKeyFileMagic.size()));
  read.status = ReadParameters(reader, read.key);
  if (read.status != KeyFileStatus::Read) return read;
  if (!reader.Sized(kLongestWrappedKey, read.key.wrappedKey) || read.key.wrappedKey.empty() || !reader.AtEnd()) {
    read.status = KeyFileStatus::Damaged;
  } else if (!SafeParameters(read.key)) {
    read.status = KeyFileStatus::UnsafeParameters;
  }
  return read;
}

}  // namespace rtrillex
