#include "sqlite_phrase_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "file_damage.h"
#include "stand_in_cipher.h"
#include "temp_folder.h"
#include "utf8_text.h"

namespace rtrillex {
namespace {

using Result = PhraseStore::OpenResult;

KeptPhrase Text(std::uint64_t id, std::wstring label, std::wstring text) {
  return {id, false, std::move(label), std::move(text), EntryKind::Text, nullptr};
}
KeptPhrase Separator(std::uint64_t id) { return {id, true, {}, {}, EntryKind::Text, nullptr}; }
PictureBytes Png(char fill) { return std::make_shared<const std::vector<std::uint8_t>>(3000, static_cast<std::uint8_t>(fill)); }

std::wstring Shown(const KeptPhrase& phrase) {
  if (phrase.separator) return L"-";
  std::wstring shown = std::to_wstring(phrase.id) + L":" + std::to_wstring(static_cast<int>(phrase.kind)) + L":" +
                       phrase.label + L":" + phrase.text;
  if (phrase.picture) shown += L":png" + std::to_wstring(phrase.picture->size()) + static_cast<wchar_t>(phrase.picture->front());
  return shown;
}
std::vector<std::wstring> Shown(const std::vector<KeptPhrase>& phrases) {
  std::vector<std::wstring> shown;
  for (const KeptPhrase& phrase : phrases) shown.push_back(Shown(phrase));
  return shown;
}

// What another program's connection reads from the file, row by row.
std::string Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string rows;
  const auto add = [](void* out, int columns, char** values, char**) {
    for (int i = 0; i < columns; ++i) *static_cast<std::string*>(out) += (values[i] ? values[i] : "NULL") + std::string("|");
    *static_cast<std::string*>(out) += "\n";
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), add, &rows, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db);
  sqlite3_close(db);
  return rows;
}
void RunSql(const std::string& path, const std::string& sql) { Query(path, sql); }

std::wstring MadeText(std::uint64_t id) { return std::wstring(1000, static_cast<wchar_t>(L'a' + id % 26)); }

// Where MakeStore puts phrase `id`: the odd ones first, then the even ones,
// so that the order read back is the positions', not the ids'.
std::size_t MadePosition(std::uint64_t id) { return static_cast<std::size_t>(id % 2 ? id : 1000 + id); }

void MakeStore(const std::string& path, EntryCipher& cipher, std::uint64_t count) {
  SqlitePhraseFile store(path, cipher);
  ASSERT_EQ(store.Open().result, Result::Ready);
  std::vector<PhraseChange> puts;
  for (std::uint64_t id = 1; id <= count; ++id)
    puts.push_back(PhraseChange::Put(Text(id, L"label " + std::to_wstring(id), MadeText(id)), MadePosition(id)));
  ASSERT_TRUE(store.Apply(puts));
}

std::size_t FilesIn(const TempFolder& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder.path()), {}));
}

TEST(SqlitePhraseFile, KeepsEveryKindWithSeparatorsInItsOrderAcrossReopening) {
  TempFolder folder;
  const std::string path = folder.File("Phrases.db");
  StandInCipher cipher;
  const KeptPhrase address = Text(1, L"住所", L"東京都\r\n千代田区 \U0001F389");
  const KeptPhrase files = {2, false, L"report.docx ほか 1 件", L"C:\\report.docx\r\nC:\\b.txt", EntryKind::Files, nullptr};
  const KeptPhrase logo = {3, false, L"ロゴ", L"[画像COPY]", EntryKind::Picture, Png('L')};
  {
    SqlitePhraseFile store(path, cipher);
    const PhraseStore::Opened opened = store.Open();
    ASSERT_EQ(opened.result, Result::Ready);
    EXPECT_EQ(opened.nextId, 1u);
    ASSERT_TRUE(store.Apply({PhraseChange::Put(logo, 0), PhraseChange::Put(Separator(4), 1), PhraseChange::Put(address, 2),
                             PhraseChange::Put(files, 3), PhraseChange::Put(Text(5, L"", L""), 4)}));
  }
  SqlitePhraseFile store(path, cipher);
  PhraseStore::Opened opened = store.Open();
  ASSERT_EQ(opened.result, Result::Ready);
  EXPECT_EQ(opened.nextId, 6u);
  EXPECT_EQ(Shown(opened.phrases),
            (std::vector<std::wstring>{Shown(logo), L"-", Shown(address), Shown(files), L"5:0::"}));

  // Moved, renamed, removed: each kept as the list is after it.
  KeptPhrase renamed = opened.phrases[0];
  renamed.label = L"会社のロゴ";
  ASSERT_TRUE(store.Apply({PhraseChange::Order({2, 3, 4, 1, 5}), PhraseChange::Put(renamed, 1), PhraseChange::Remove(5)}));
  ASSERT_TRUE(store.Apply({PhraseChange::Remove(4), PhraseChange::Remove(99)}));
  opened = store.Open();
  EXPECT_EQ(opened.nextId, 4u);
  EXPECT_EQ(Shown(opened.phrases), (std::vector<std::wstring>{Shown(files), Shown(renamed), Shown(address)}));
  EXPECT_EQ(Query(path, "SELECT count(*) FROM pictures"), "1|\n");
  ASSERT_TRUE(store.Apply({PhraseChange::Remove(3)}));
  EXPECT_EQ(Query(path, "SELECT count(*) FROM pictures"), "0|\n") << "gone with its phrase";
  EXPECT_EQ((ReadFile(path) + ReadFile(path + "-wal")).find(std::string(100, 'L')), std::string::npos)
      << "no trace of the removed picture";
}

TEST(SqlitePhraseFile, MovingOrRenamingAPhraseRewritesNoPictureAndMovingNoText) {
  TempFolder folder;
  const std::string path = folder.File("Phrases.db");
  StandInCipher cipher;
  {
    SqlitePhraseFile store(path, cipher);
    ASSERT_EQ(store.Open().result, Result::Ready);
    ASSERT_TRUE(store.Apply({PhraseChange::Put({1, false, L"a", L"[画像COPY]", EntryKind::Picture, Png('a')}, 0),
                             PhraseChange::Put(Text(2, L"b", L"text b"), 1),
                             PhraseChange::Put({3, false, L"c", L"[画像COPY]", EntryKind::Picture, Png('c')}, 2)}));
  }
  // As after a restart: the list holds the pictures the file gave.
  SqlitePhraseFile store(path, cipher);
  const PhraseStore::Opened opened = store.Open();
  ASSERT_EQ(opened.phrases.size(), 3u);
  const std::string pictures = Query(path, "SELECT id, hex(sealed) FROM pictures ORDER BY id");
  const std::string sealed = Query(path, "SELECT id, hex(label), hex(text) FROM phrases ORDER BY id");

  ASSERT_TRUE(store.Apply({PhraseChange::Order({3, 1, 2})}));
  EXPECT_EQ(Query(path, "SELECT id, hex(label), hex(text) FROM phrases ORDER BY id"), sealed);
  KeptPhrase renamed = opened.phrases[0];
  renamed.label = L"renamed";
  ASSERT_TRUE(store.Apply({PhraseChange::Put(renamed, 1)}));
  EXPECT_EQ(Query(path, "SELECT id, hex(sealed) FROM pictures ORDER BY id"), pictures);
  EXPECT_EQ(Shown(store.Open().phrases)[1], Shown(renamed));
}

struct Damage {
  const char* what;
  std::function<void(const std::string& path)> make;
  std::size_t leastCarried;
};

TEST(SqlitePhraseFile, SetsADamagedFileAsideAndCarriesEveryPhraseStillWholeInItsOrder) {
  StandInCipher cipher;
  const std::vector<Damage> kinds = {
      {"phrases that do not unseal: labels swapped, a text changed, a kind changed", [](const std::string& file) {
         RunSql(file, "CREATE TEMP TABLE kept AS SELECT id, label FROM phrases;"
                   "UPDATE phrases SET label = (SELECT label FROM kept WHERE kept.id = 3 - phrases.id) WHERE id IN (1, 2);"
                   "UPDATE phrases SET text = unhex(substr(hex(text), 1, 28) || '00' || substr(hex(text), 31)) WHERE id = 3;"
                   "UPDATE phrases SET kind = 2 WHERE id = 4");
       }, 296},
      {"cut short", CutShort, 100},
      {"twenty bits flipped", [](const std::string& file) { FlipBits(file, 20, 54321); }, 100},
  };
  for (const Damage& kind : kinds) {
    SCOPED_TRACE(kind.what);
    TempFolder folder;
    const std::string path = folder.File("Phrases.db");
    MakeStore(path, cipher, 300);
    kind.make(path);
    const std::string damaged = ReadFile(path);

    std::optional<SqlitePhraseFile> store(std::in_place, path, cipher);
    const PhraseStore::Opened opened = store->Open();
    store.reset();  // Windows deletes no file that is open
    ASSERT_EQ(opened.result, Result::SetAside);
    EXPECT_EQ(ReadFile(ToUtf8(opened.setAsideAs)), damaged) << "the damaged file stays as it was found";
    EXPECT_GE(opened.carried, kind.leastCarried);
    EXPECT_LT(opened.carried, 300u);
    EXPECT_EQ(opened.phrases.size(), opened.carried);
    for (std::size_t i = 0; i < opened.phrases.size(); ++i) {
      const KeptPhrase& phrase = opened.phrases[i];
      if (i > 0) {
        EXPECT_LT(MadePosition(opened.phrases[i - 1].id), MadePosition(phrase.id)) << "in the order of their positions";
      }
      EXPECT_EQ(phrase.label, L"label " + std::to_wstring(phrase.id));
      EXPECT_TRUE(phrase.text == MadeText(phrase.id)) << "phrase " << phrase.id << " came back changed";
    }
    if (std::string(kind.what).rfind("phrases that", 0) == 0) {
      EXPECT_EQ(opened.unreadable, 4u);
    }

    SqlitePhraseFile again(path, cipher);
    const PhraseStore::Opened reopened = again.Open();
    EXPECT_EQ(reopened.result, Result::Ready);
    EXPECT_EQ(Shown(reopened.phrases), Shown(opened.phrases));
  }
}

TEST(SqlitePhraseFile, LeavesANewerFileAloneSetsAsideAForeignOneAndWaitsOutALockedOne) {
  TempFolder folder;
  const std::string path = folder.File("Phrases.db");
  StandInCipher cipher;
  MakeStore(path, cipher, 2);
  RunSql(path, "PRAGMA user_version = " + std::to_string(SqlitePhraseFile::kSchemaVersion + 1));
  ASSERT_EQ(FilesIn(folder), 1u);
  const std::string newer = ReadFile(path);
  {
    SqlitePhraseFile store(path, cipher);
    const PhraseStore::Opened opened = store.Open();
    EXPECT_EQ(opened.result, Result::Newer);
    EXPECT_TRUE(opened.phrases.empty());
    EXPECT_FALSE(store.Apply({PhraseChange::Put(Text(9, L"x", L"x"), 0)}));
  }
  EXPECT_EQ(ReadFile(path), newer);
  EXPECT_EQ(FilesIn(folder), 1u) << "nothing set aside, nothing left beside it";

  std::filesystem::remove(std::filesystem::u8path(path));
  RunSql(path, "CREATE TABLE notes(text); INSERT INTO notes VALUES ('another program''s')");
  const std::string foreign = ReadFile(path);
  {
    SqlitePhraseFile store(path, cipher);
    const PhraseStore::Opened opened = store.Open();
    EXPECT_EQ(opened.result, Result::SetAside);
    EXPECT_EQ(ReadFile(ToUtf8(opened.setAsideAs)), foreign);
    EXPECT_EQ(opened.carried, 0u);
    EXPECT_TRUE(store.Apply({PhraseChange::Put(Text(1, L"a", L"a"), 0)}));
  }

  SqlitePhraseFile store(path, cipher);
  {
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; SELECT count(*) FROM phrases",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(store.Open().result, Result::Failed) << "another program holds the file";
    sqlite3_close(other);
  }
  const PhraseStore::Opened opened = store.Open();
  EXPECT_EQ(opened.result, Result::Ready);
  EXPECT_EQ(opened.phrases.size(), 1u);
  EXPECT_EQ(FilesIn(folder), 4u) << "the file, its log and index, and the foreign file set aside";
}

}  // namespace
}  // namespace rtrillex
