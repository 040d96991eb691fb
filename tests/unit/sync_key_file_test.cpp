#include "sync_key_file.h"

#include <gtest/gtest.h>

namespace rtrillex {
namespace {

KeyFile SampleKey() {
  KeyFile key;
  key.keyId.fill(0x5A);
  key.iterations = 600'000;
  key.salt = Bytes(16, 0xC3);
  key.wrappedKey = Bytes(60, 0x77);  // nonce, 32 key bytes, tag
  return key;
}

Bytes WithIterations(std::uint32_t iterations) {
  KeyFile key = SampleKey();
  key.iterations = iterations;
  return KeyFileBytes(key);
}

TEST(SyncKeyFile, ReadsBackAsWrittenWithTheParametersBoundToTheWrappedKey) {
  KeyFile key = SampleKey();
  key.iterations = 1'000'000;
  key.salt = Bytes(32, 0x11);
  const Bytes bytes = KeyFileBytes(key);
  const KeyFileRead read = ReadKeyFile(bytes);
  ASSERT_EQ(read.status, KeyFileStatus::Read);
  EXPECT_EQ(read.key.keyId, key.keyId);
  EXPECT_EQ(read.key.iterations, 1'000'000u);
  EXPECT_EQ(read.key.salt, key.salt);
  EXPECT_EQ(read.key.wrappedKey, key.wrappedKey);
  // Every byte before the wrapped key, and nothing of it.
  const Bytes associated = KeyFileAssociatedData(read.key);
  EXPECT_EQ(associated, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(associated.size())));
  EXPECT_EQ(associated.size() + 4 + key.wrappedKey.size(), bytes.size());
}

TEST(SyncKeyFile, ACutOrPaddedFileIsDamaged) {
  const Bytes whole = KeyFileBytes(SampleKey());
  for (std::size_t size = 0; size < whole.size(); ++size) {
    EXPECT_EQ(ReadKeyFile(ByteSpan(whole.data(), size)).status, KeyFileStatus::Damaged) << "cut at " << size;
  }
  Bytes padded = whole;
  padded.push_back(0);
  EXPECT_EQ(ReadKeyFile(padded).status, KeyFileStatus::Damaged);
  KeyFile noKey = SampleKey();
  noKey.wrappedKey.clear();
  EXPECT_EQ(ReadKeyFile(KeyFileBytes(noKey)).status, KeyFileStatus::Damaged);
}

TEST(SyncKeyFile, ParametersTooWeakOrTooCostlyAreNeverUsed) {
  EXPECT_EQ(ReadKeyFile(WithIterations(599'999)).status, KeyFileStatus::UnsafeParameters);
  EXPECT_EQ(ReadKeyFile(WithIterations(1000)).status, KeyFileStatus::UnsafeParameters);
  EXPECT_EQ(ReadKeyFile(WithIterations(kMostKeyIterations)).status, KeyFileStatus::Read);
  EXPECT_EQ(ReadKeyFile(WithIterations(kMostKeyIterations + 1)).status, KeyFileStatus::UnsafeParameters);
  EXPECT_EQ(ReadKeyFile(WithIterations(UINT32_MAX)).status, KeyFileStatus::UnsafeParameters);
  KeyFile shortSalt = SampleKey();
  shortSalt.salt = Bytes(15, 1);
  EXPECT_EQ(ReadKeyFile(KeyFileBytes(shortSalt)).status, KeyFileStatus::UnsafeParameters);
}

TEST(SyncKeyFile, ForeignAndLaterFilesAreToldApart) {
  const Bytes text = {'p', 'a', 's', 's', 'w', 'o', 'r', 'd', '=', '1', '2', '3'};
  EXPECT_EQ(ReadKeyFile(text).status, KeyFileStatus::NotKeyFile);
  Bytes newer = KeyFileBytes(SampleKey());
  newer[kKeyFileMagic.size()] = kKeyFileFormat + 1;
  EXPECT_EQ(ReadKeyFile(newer).status, KeyFileStatus::NewerFormat);
  KeyFile otherKdf = SampleKey();
  otherKdf.kdf = 2;
  EXPECT_EQ(ReadKeyFile(KeyFileBytes(otherKdf)).status, KeyFileStatus::NewerFormat);
  KeyFile otherWrap = SampleKey();
  otherWrap.wrapMethod = 9;
  EXPECT_EQ(ReadKeyFile(KeyFileBytes(otherWrap)).status, KeyFileStatus::NewerFormat);
}

}  // namespace
}  // namespace rtrillex
