#include "aes_gcm_sealer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace rtrillex {
namespace {

FolderKey KeyOf(std::uint8_t fill) {
  FolderKey key;
  key.keyId.fill(static_cast<std::uint8_t>(fill + 1));
  key.key.bytes.fill(fill);
  return key;
}

const Bytes kAssociated = {'h', 'e', 'a', 'd', 0, 7};

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST(AesGcmSealer, RoundTripsEmptyAndLargeRecordsUnderAFreshNonceEach) {
  const AesGcmSealer sealer(KeyOf(3));
  ASSERT_TRUE(sealer.ready());
  EXPECT_EQ(sealer.keyId(), KeyOf(3).keyId);

  const std::optional<Bytes> empty = sealer.Seal(Bytes{}, kAssociated);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size(), 12u + 16u);
  EXPECT_EQ(sealer.Open(*empty, kAssociated), Bytes{});

  Bytes large(10u << 20);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
  const std::optional<Bytes> sealed = sealer.Seal(large, kAssociated);
  ASSERT_TRUE(sealed);
  ASSERT_EQ(sealed->size(), 12 + large.size() + 16);
  EXPECT_FALSE(Contains(*sealed, Bytes(large.begin() + 1000, large.begin() + 1032))) << "sealed in the clear";
  EXPECT_EQ(sealer.Open(*sealed, kAssociated), large);

  const std::optional<Bytes> again = sealer.Seal(large, kAssociated);
  ASSERT_TRUE(again);
  EXPECT_FALSE(std::equal(sealed->begin(), sealed->begin() + 12, again->begin())) << "a nonce used twice";
}

TEST(AesGcmSealer, OpensNothingChangedNorUnderOtherDataOrAnotherKey) {
  const AesGcmSealer sealer(KeyOf(3));
  const Bytes plain(1000, 0x42);
  const std::optional<Bytes> sealed = sealer.Seal(plain, kAssociated);
  ASSERT_TRUE(sealed);

  for (std::size_t at : {std::size_t{0}, std::size_t{11}, std::size_t{12}, std::size_t{500}, sealed->size() - 1}) {
    Bytes changed = *sealed;
    changed[at] ^= 0x80;
    EXPECT_FALSE(sealer.Open(changed, kAssociated)) << "byte " << at;
  }
  Bytes otherAssociated = kAssociated;
  otherAssociated.back() = 8;
  EXPECT_FALSE(sealer.Open(*sealed, otherAssociated));
  EXPECT_FALSE(sealer.Open(*sealed, Bytes{}));
  EXPECT_FALSE(sealer.Open(Bytes(sealed->begin(), sealed->end() - 1), kAssociated)) << "cut short";
  EXPECT_FALSE(sealer.Open(Bytes(27, 0), kAssociated)) << "shorter than a nonce and tag";
  EXPECT_FALSE(AesGcmSealer(KeyOf(4)).Open(*sealed, kAssociated)) << "another folder key";
}

}  // namespace
}  // namespace rtrillex
