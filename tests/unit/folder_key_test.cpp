#include "folder_key.h"

#include <gtest/gtest.h>

#include "aes_gcm_sealer.h"
#include "user_protection.h"

namespace rtrillex {
namespace {

// Deriving takes the full count of iterations in every test: the core
// refuses a key file with fewer, so there is no cheaper test key. Under
// Wine 8 each derivation of 600,000 iterations takes about 0.6 s.
const std::wstring kPassphrase = L"合言葉 correct horse ÿ";

bool SameKey(const FolderKey& a, const FolderKey& b) { return a.keyId == b.keyId && a.key.bytes == b.key.bytes; }

class FolderKeyFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    made_ = MakeFolderKey(kPassphrase);
    ASSERT_TRUE(made_);
  }
  static void TearDownTestSuite() { made_.reset(); }

  static std::optional<MadeFolderKey> made_;
};
std::optional<MadeFolderKey> FolderKeyFile::made_;

TEST_F(FolderKeyFile, IsMadeWithSafeParametersAndJoinedWithThePassphrase) {
  const KeyFileRead read = ReadKeyFile(made_->keyFileBytes);
  ASSERT_EQ(read.status, KeyFileStatus::Read);
  EXPECT_EQ(read.key.iterations, 600'000u);
  EXPECT_EQ(read.key.salt.size(), 16u);
  EXPECT_EQ(read.key.keyId, made_->key.keyId);

  const JoinedFolderKey joined = JoinFolderKey(made_->keyFileBytes, kPassphrase);
  ASSERT_EQ(joined.result, FolderKeyJoin::Joined);
  EXPECT_TRUE(SameKey(joined.key, made_->key));
  // What one PC seals, the one that joined opens.
  const std::optional<Bytes> sealed = AesGcmSealer(made_->key).Seal(Bytes{1, 2, 3}, Bytes{9});
  ASSERT_TRUE(sealed);
  EXPECT_EQ(AesGcmSealer(joined.key).Open(*sealed, Bytes{9}), (Bytes{1, 2, 3}));
}

TEST_F(FolderKeyFile, RefusesAnotherPassphrase) {
  EXPECT_EQ(JoinFolderKey(made_->keyFileBytes, L"合言葉 correct horse y").result, FolderKeyJoin::WrongPassphrase);
  EXPECT_EQ(JoinFolderKey(made_->keyFileBytes, L"").result, FolderKeyJoin::WrongPassphrase);
  EXPECT_EQ(JoinFolderKey(made_->keyFileBytes, std::wstring(1, wchar_t(0xD800))).result,
            FolderKeyJoin::WrongPassphrase)
      << "a lone surrogate";
}

TEST_F(FolderKeyFile, RefusesAChangedByteWhereverItIs) {
  const Bytes& file = made_->keyFileBytes;
  const std::size_t keyIdAt = 9 + 2;
  const std::size_t iterationsAt = keyIdAt + 16 + 1;
  const std::size_t saltAt = iterationsAt + 4 + 1;
  for (std::size_t at : {keyIdAt, iterationsAt, saltAt + 3, file.size() - 20, file.size() - 1}) {
    Bytes changed = file;
    changed[at] ^= 0x01;
    EXPECT_EQ(JoinFolderKey(changed, kPassphrase).result, FolderKeyJoin::WrongPassphrase) << "byte " << at;
  }
  Bytes fewer = file;
  fewer[iterationsAt + 2] = 0;  // 600,000 is 0x000927C0: fewer than the core allows
  EXPECT_EQ(JoinFolderKey(fewer, kPassphrase).result, FolderKeyJoin::UnsafeParameters);
  EXPECT_EQ(JoinFolderKey(Bytes(file.begin(), file.end() - 1), kPassphrase).result, FolderKeyJoin::Damaged);
  EXPECT_EQ(JoinFolderKey(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'k', 'e', 'y', 's'}, kPassphrase).result,
            FolderKeyJoin::NotKeyFile);
}

TEST(FolderKey, EachMadeKeyIsNew) {
  const std::optional<MadeFolderKey> first = MakeFolderKey(L"x");
  const std::optional<MadeFolderKey> second = MakeFolderKey(L"x");
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->key.keyId, second->key.keyId);
  EXPECT_NE(first->key.key.bytes, second->key.key.bytes);
  EXPECT_NE(ReadKeyFile(first->keyFileBytes).key.salt, ReadKeyFile(second->keyFileBytes).key.salt);
  EXPECT_FALSE(MakeFolderKey(std::wstring(1, wchar_t(0xDC00)))) << "a passphrase no one could type again";
  EXPECT_FALSE(MakeFolderKey(L"x", kFewestKeyIterations - 1)) << "a key file no PC would join";
}

TEST(FolderKey, IsKeptForThisUserAndOpensAgain) {
  FolderKey key;
  key.keyId.fill(0x11);
  for (std::size_t i = 0; i < key.key.bytes.size(); ++i) key.key.bytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::optional<Bytes> kept = ProtectFolderKey(key);
  ASSERT_TRUE(kept);

  const UnprotectedFolderKey opened = UnprotectFolderKey(*kept);
  ASSERT_EQ(opened.result, FolderKeyUnprotect::Opened);
  EXPECT_TRUE(SameKey(opened.key, key));

  // In the sealed key and its signature, at the blob's end: Wine's DPAPI
  // checks only those, where Windows checks every field of the blob.
  for (std::size_t fromEnd : {std::size_t{1}, std::size_t{40}, std::size_t{90}}) {
    Bytes tampered = *kept;
    tampered[tampered.size() - fromEnd] ^= 0x01;
    EXPECT_EQ(UnprotectFolderKey(tampered).result, FolderKeyUnprotect::WrongKey) << fromEnd << " from the end";
  }
  EXPECT_EQ(UnprotectFolderKey(Bytes{}).result, FolderKeyUnprotect::WrongKey);
  EXPECT_EQ(UnprotectFolderKey(Bytes(200, 0x5A)).result, FolderKeyUnprotect::WrongKey);
  // The same bytes kept by another part of the program (or another
  // program) with other entropy are not the folder key.
  Bytes secret(48, 0x33);
  const std::optional<Bytes> otherKept = ProtectForUser(secret, "rTrillex kept history key v1", L"rTrillex");
  ASSERT_TRUE(otherKept);
  EXPECT_EQ(UnprotectFolderKey(*otherKept).result, FolderKeyUnprotect::WrongKey);
}

}  // namespace
}  // namespace rtrillex
