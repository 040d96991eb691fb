#include "windows_entry_cipher.h"

#include <gtest/gtest.h>

#include <string>

#include "sqlite_history_file.h"
#include "temp_folder.h"

namespace rtrillex {
namespace {

const Bytes kRow = {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};

TEST(WindowsEntryCipher, SealsSoThatOnlyTheSameKeyAndRowUnseal) {
  WindowsEntryCipher cipher;
  EXPECT_FALSE(cipher.Seal("no key yet", kRow));
  ASSERT_TRUE(cipher.MakeKey());
  const std::string text = "copied text 履歴 " + std::string(100000, 'x');
  const std::optional<Bytes> sealed = cipher.Seal(text, kRow);
  ASSERT_TRUE(sealed);
  ASSERT_EQ(sealed->size(), 12 + text.size() + 16);
  EXPECT_EQ(std::string(sealed->begin() + 12, sealed->end() - 16).find("copied text"), std::string::npos);
  EXPECT_NE(cipher.Seal(text, kRow), sealed) << "each seal takes a fresh nonce";
  EXPECT_EQ(cipher.Unseal(*sealed, kRow), text);
  const std::optional<Bytes> empty = cipher.Seal("", kRow);
  ASSERT_TRUE(empty);
  EXPECT_EQ(cipher.Unseal(*empty, kRow), "");

  Bytes otherRow = kRow;
  otherRow[8] = 3;
  EXPECT_FALSE(cipher.Unseal(*sealed, otherRow));
  for (std::size_t at : {std::size_t{0}, std::size_t{20}, sealed->size() - 1}) {
    Bytes changed = *sealed;
    changed[at] ^= 0x01;
    EXPECT_FALSE(cipher.Unseal(changed, kRow)) << "byte " << at;
  }
  EXPECT_FALSE(cipher.Unseal(Bytes(sealed->begin(), sealed->begin() + 27), kRow));

  WindowsEntryCipher another;
  ASSERT_TRUE(another.MakeKey());
  EXPECT_FALSE(another.Unseal(*sealed, kRow)) << "another file's key";
}

TEST(WindowsEntryCipher, OpensItsProtectedKeyButNotATamperedOne) {
  WindowsEntryCipher maker;
  const std::optional<Bytes> protectedKey = maker.MakeKey();
  ASSERT_TRUE(protectedKey);
  const std::optional<Bytes> sealed = maker.Seal("kept", kRow);
  ASSERT_TRUE(sealed);

  WindowsEntryCipher reader;
  ASSERT_EQ(reader.UseKey(*protectedKey), EntryCipher::KeyUse::Used);
  EXPECT_EQ(reader.Unseal(*sealed, kRow), "kept");

  Bytes tampered = *protectedKey;
  tampered[tampered.size() / 2] ^= 0x01;
  // Never to open: the file is set aside, not tried again and again.
  EXPECT_EQ(reader.UseKey(tampered), EntryCipher::KeyUse::WrongKey);
  EXPECT_FALSE(reader.Unseal(*sealed, kRow)) << "a key that does not open leaves none in use";
  EXPECT_EQ(reader.UseKey(Bytes{}), EntryCipher::KeyUse::WrongKey);
  EXPECT_EQ(reader.UseKey(Bytes(200, 0x5A)), EntryCipher::KeyUse::WrongKey);
}

TEST(WindowsEntryCipher, KeepsAHistoryFileAcrossReopening) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StoreChange add;
  add.key = 1;
  add.copiedAt = 42;
  add.text = L"履歴 \U0001F389";
  {
    WindowsEntryCipher cipher;
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(0).result, HistoryStore::OpenResult::Ready);
    ASSERT_TRUE(store.Apply({add}));
  }
  WindowsEntryCipher cipher;
  SqliteHistoryFile store(path, cipher);
  const HistoryStore::Opened loaded = store.Open(5);
  ASSERT_EQ(loaded.result, HistoryStore::OpenResult::Ready);
  ASSERT_EQ(loaded.entries.size(), 1u);
  EXPECT_EQ(loaded.entries[0].text, add.text);
  EXPECT_EQ(ReadFile(path).find("\xE5\xB1\xA5"), std::string::npos) << "the text is in the file in the clear";
}

}  // namespace
}  // namespace rtrillex
