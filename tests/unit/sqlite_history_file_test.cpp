#include "sqlite_history_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "file_damage.h"
#include "stand_in_cipher.h"
#include "temp_folder.h"
#include "utf8_text.h"

namespace rtrillex {
namespace {

using Opened = HistoryStore::OpenResult;
using Row = std::tuple<std::uint64_t, LocalSeconds, std::wstring>;

// As the writer asks for them.
StoreChange Add(std::uint64_t key, LocalSeconds copiedAt, std::wstring text) {
  return StoreChange::Add(key, copiedAt, std::move(text));
}
constexpr auto Remove = StoreChange::Remove;
constexpr auto Clear = StoreChange::Clear;
constexpr auto Trim = StoreChange::Trim;

std::vector<Row> Rows(const HistoryStore::Opened& loaded) {
  std::vector<Row> rows;
  for (const KeptEntry& entry : loaded.entries) rows.emplace_back(entry.key, entry.copiedAt, entry.text);
  return rows;
}

std::vector<std::uint64_t> Keys(HistoryStore& store) {
  std::vector<std::uint64_t> keys;
  for (const KeptEntry& entry : store.Open(1000).entries) keys.push_back(entry.key);
  return keys;
}

// SQL run on the file through a connection of its own, as another program would.
class OtherConnection {
 public:
  explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  OtherConnection(const OtherConnection&) = delete;
  OtherConnection& operator=(const OtherConnection&) = delete;
  ~OtherConnection() { sqlite3_close(db_); }
  void Run(const std::string& sql) {
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db_);
  }

 private:
  sqlite3* db_ = nullptr;
};

// The text MakeStore gives entry `key`.
std::wstring MadeText(std::uint64_t key) { return std::wstring(1000, static_cast<wchar_t>(L'a' + key % 26)); }

// A store of `count` entries, closed again.
void MakeStore(const std::string& path, EntryCipher& cipher, int count) {
  SqliteHistoryFile store(path, cipher);
  ASSERT_EQ(store.Open(0).result, Opened::Ready);
  std::vector<StoreChange> changes;
  for (int i = 1; i <= count; ++i) changes.push_back(Add(i, 1000 + i, MadeText(i)));
  ASSERT_TRUE(store.Apply(changes));
}

TEST(SqliteHistoryFile, KeepsEntriesWithTheirKeysInOrderAcrossReopening) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  {
    SqliteHistoryFile store(path, cipher);
    const HistoryStore::Opened opened = store.Open(10);
    EXPECT_EQ(opened.result, Opened::Ready);
    EXPECT_EQ(opened.nextKey, 1u);
    ASSERT_TRUE(store.Apply({Add(1, 100, L"first"), Add(2, 200, L"二番目\tの行"), Add(5, 300, L"𠮷野家 \U0001F389")}));
    ASSERT_TRUE(store.Apply({Add(6, -400, L"")}));
  }
  SqliteHistoryFile store(path, cipher);
  const int keysOpened = cipher.keysOpened;
  const HistoryStore::Opened all = store.Open(10);
  EXPECT_EQ(all.result, Opened::Ready);
  EXPECT_EQ(all.nextKey, 7u);
  EXPECT_EQ(cipher.keysOpened, keysOpened + 1) << "the file's key is opened once, not for each entry";
  EXPECT_EQ(Rows(all), (std::vector<Row>{{1, 100, L"first"}, {2, 200, L"二番目\tの行"},
                                         {5, 300, L"𠮷野家 \U0001F389"}, {6, -400, L""}}));
  EXPECT_EQ(all.unreadable, 0u);
  EXPECT_EQ(Rows(store.Open(2)), (std::vector<Row>{{5, 300, L"𠮷野家 \U0001F389"}, {6, -400, L""}}));
  EXPECT_TRUE(store.Open(0).entries.empty());
}

TEST(SqliteHistoryFile, KeepsEachPictureOnceWithItsEntriesAndWithinItsBound) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  const auto picture = [](char fill) {
    return std::make_shared<const std::vector<std::uint8_t>>(3000, static_cast<std::uint8_t>(fill));
  };
  const PictureBytes screenshot = picture('s');
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(0).result, Opened::Ready);
    ASSERT_TRUE(store.Apply({StoreChange::Add(1, 10, L"[画像COPY]", EntryKind::Picture),
                             StoreChange::Add(2, 20, L"C:\\a.txt\r\nC:\\b.txt", EntryKind::Files),
                             StoreChange::KeepPicture(1, screenshot), StoreChange::Add(3, 30, L"[画像COPY]", EntryKind::Picture),
                             StoreChange::KeepPicture(3, screenshot)}));
  }
  const auto storedPictures = [&] {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM pictures", -1, &count, nullptr);
    const int pictures = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
    sqlite3_finalize(count);
    sqlite3_close(db);
    return pictures;
  };
  EXPECT_EQ(storedPictures(), 1) << "the same picture twice is stored once";

  std::optional<SqliteHistoryFile> store(std::in_place, path, cipher);
  HistoryStore::Opened opened = store->Open(10);
  ASSERT_EQ(opened.result, Opened::Ready);
  ASSERT_EQ(opened.entries.size(), 3u);
  EXPECT_EQ(opened.entries[1].kind, EntryKind::Files);
  EXPECT_EQ(opened.entries[1].text, L"C:\\a.txt\r\nC:\\b.txt");
  ASSERT_TRUE(opened.entries[0].picture);
  EXPECT_EQ(*opened.entries[0].picture, *screenshot);
  EXPECT_EQ(opened.entries[0].picture, opened.entries[2].picture) << "loaded once for both";

  // Gone with the last entry that shows it; the oldest first beyond the bound.
  EXPECT_TRUE(store->Apply({Remove(1)}));
  EXPECT_EQ(storedPictures(), 1);
  EXPECT_TRUE(store->Apply({Remove(3)}));
  EXPECT_EQ(storedPictures(), 0);
  EXPECT_EQ((ReadFile(path) + ReadFile(path + "-wal")).find(std::string(100, 's')), std::string::npos)
      << "no trace of the removed picture";
  store->LimitPictureBytes(5000);
  EXPECT_TRUE(store->Apply({StoreChange::Add(4, 40, L"[画像COPY]", EntryKind::Picture), StoreChange::KeepPicture(4, picture('a')),
                           StoreChange::Add(5, 50, L"[画像COPY]", EntryKind::Picture)}));
  EXPECT_TRUE(store->Apply({StoreChange::KeepPicture(5, picture('b'))}));
  opened = store->Open(10);
  ASSERT_EQ(opened.entries.size(), 3u);
  EXPECT_FALSE(opened.entries[1].picture) << "the older picture made room, its entry stays";
  EXPECT_EQ(opened.entries[1].kind, EntryKind::Picture);
  ASSERT_TRUE(opened.entries[2].picture);
  EXPECT_EQ(opened.entries[2].picture->front(), 'b');

  // A picture that does not unseal: the file is set aside as it was, every
  // entry carried, the damaged picture's entry a tag line, the others whole.
  store->LimitPictureBytes(10000);
  EXPECT_TRUE(store->Apply({StoreChange::Add(6, 60, L"[画像COPY]", EntryKind::Picture), StoreChange::KeepPicture(6, picture('c'))}));
  store.reset();  // Windows moves no file that is open
  {
    OtherConnection other(path);
    other.Run("UPDATE pictures SET sealed = unhex(substr(hex(sealed), 1, 40) || '00' || substr(hex(sealed), 43)) "
              "WHERE id = (SELECT picture FROM entries WHERE key = 5)");
  }
  SqliteHistoryFile damaged(path, cipher);
  damaged.LimitPictureBytes(10000);
  opened = damaged.Open(10);
  EXPECT_EQ(opened.result, Opened::SetAside);
  ASSERT_EQ(opened.entries.size(), 4u);
  EXPECT_EQ(opened.carried, 4u);
  EXPECT_FALSE(opened.entries[2].picture) << "its picture does not unseal";
  EXPECT_EQ(opened.entries[2].kind, EntryKind::Picture);
  ASSERT_TRUE(opened.entries[3].picture);
  EXPECT_EQ(opened.entries[3].picture->front(), 'c');
  const HistoryStore::Opened again = damaged.Open(10);
  EXPECT_EQ(again.result, Opened::Ready);
  ASSERT_EQ(again.entries.size(), 4u);
  ASSERT_TRUE(again.entries[3].picture) << "carried into the new file";
}

TEST(SqliteHistoryFile, OpensAFileOfTheFirstLayoutAndKeepsPicturesInItFromThen) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  MakeStore(path, cipher, 2);
  OtherConnection(path).Run("ALTER TABLE entries DROP COLUMN kind; ALTER TABLE entries DROP COLUMN picture;"
                            "ALTER TABLE entries DROP COLUMN this_pc_only;"
                            "DROP TABLE pictures; DROP TABLE arrivals; PRAGMA user_version = 1");
  SqliteHistoryFile store(path, cipher);
  const HistoryStore::Opened opened = store.Open(10);
  ASSERT_EQ(opened.result, Opened::Ready);
  ASSERT_EQ(opened.entries.size(), 2u);
  EXPECT_TRUE(opened.entries[1].text == MadeText(2));
  EXPECT_EQ(opened.entries[1].kind, EntryKind::Text);
  EXPECT_TRUE(store.Apply({StoreChange::Add(3, 3, L"[画像COPY]", EntryKind::Picture),
                           StoreChange::KeepPicture(3, std::make_shared<const std::vector<std::uint8_t>>(10, 1))}));
  EXPECT_TRUE(store.Open(10).entries.back().picture);
}

// A copy its program marked as not to leave this PC stays so marked after a
// restart; a file of the third layout takes the mark from then on.
TEST(SqliteHistoryFile, KeepsTheMarkOfACopyNotToLeaveThisPc) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  MakeStore(path, cipher, 1);
  OtherConnection(path).Run("ALTER TABLE entries DROP COLUMN this_pc_only; PRAGMA user_version = 3");
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(10).result, Opened::Ready);
    ASSERT_TRUE(store.Apply({StoreChange::Add(2, 2, L"a password", EntryKind::Text, true), Add(3, 3, L"a word")}));
  }
  const HistoryStore::Opened opened = SqliteHistoryFile(path, cipher).Open(10);
  ASSERT_EQ(opened.entries.size(), 3u);
  EXPECT_EQ(opened.entries[0].thisPcOnly, false);
  EXPECT_EQ(opened.entries[1].thisPcOnly, true);
  EXPECT_EQ(opened.entries[2].thisPcOnly, false);
}

// Other PCs' copies outlive their journals: kept by id, once, until removed
// there, cleared or past the bound; a file of the second layout takes them.
TEST(SqliteHistoryFile, KeepsOtherPcsCopiesByIdUntilForgottenClearedOrTrimmed) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  MakeStore(path, cipher, 1);
  OtherConnection(path).Run("DROP TABLE arrivals; ALTER TABLE entries DROP COLUMN this_pc_only; PRAGMA user_version = 2");
  const auto arrival = [](std::uint8_t id, LocalSeconds at, std::string data) {
    KeptArrival kept;
    kept.id.fill(id);
    kept.copiedAt = at;
    kept.data = std::move(data);
    return StoreChange::Arrival(StoreChange::Kind::KeepArrival, kept);
  };
  const auto kept = [&] {
    std::string data;
    for (const KeptArrival& each : SqliteHistoryFile(path, cipher).Open(10).arrivals) data += each.data + ",";
    return data;
  };
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(10).result, Opened::Ready);
    ASSERT_TRUE(store.Apply({arrival(1, 100, "one"), arrival(2, 50, std::string("t\0wo", 4)), arrival(1, 100, "one")}));
  }
  EXPECT_EQ(kept(), std::string("t\0wo,one,", 9)) << "oldest first, each once, whole";
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(10).result, Opened::Ready);
    StoreChange forget = arrival(2, 0, "");
    forget.kind = StoreChange::Kind::ForgetArrival;
    ASSERT_TRUE(store.Apply({forget,
                             arrival(3, 200, "three"), arrival(4, 300, "four"), Trim(2)}));
  }
  EXPECT_EQ(kept(), "three,four,");
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(10).result, Opened::Ready);
    ASSERT_TRUE(store.Apply({Clear()}));
  }
  EXPECT_EQ(kept(), "");
}

TEST(SqliteHistoryFile, KeepsWhatWasCommittedWhenTheProgramIsKilled) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  SqliteHistoryFile store(path, cipher);
  ASSERT_EQ(store.Open(0).result, Opened::Ready);
  ASSERT_TRUE(store.Apply({Add(1, 10, L"kept")}));
  // The files as a killed process leaves them: nothing closed, the log not
  // yet copied into the database.
  const std::string copy = folder.File("Copy.db");
  WriteFile(copy, ReadFile(path));
  WriteFile(copy + "-wal", ReadFile(path + "-wal"));

  SqliteHistoryFile reopened(copy, cipher);
  const HistoryStore::Opened opened = reopened.Open(5);
  EXPECT_EQ(opened.result, Opened::Ready);
  EXPECT_EQ(opened.nextKey, 2u);
  EXPECT_EQ(Rows(opened), (std::vector<Row>{{1, 10, L"kept"}}));
}

TEST(SqliteHistoryFile, AppliesAllChangesOrNone) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  SqliteHistoryFile store(path, cipher);
  ASSERT_EQ(store.Open(0).result, Opened::Ready);
  ASSERT_TRUE(store.Apply({Add(1, 10, L"a"), Add(2, 20, L"b")}));

  EXPECT_FALSE(store.Apply({Add(3, 30, L"c"), Remove(1), Add(2, 20, L"again")})) << "key 2 is taken";
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{1, 2}));
  cipher.sealFails = true;
  EXPECT_FALSE(store.Apply({Remove(1), Add(3, 30, L"c")}));
  cipher.sealFails = false;
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{1, 2}));

  EXPECT_TRUE(store.Apply({Add(3, 30, L"c"), Remove(1), Remove(99)}));
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{2, 3}));
  EXPECT_TRUE(store.Apply({Add(4, 40, L"d"), Add(5, 50, L"e"), Trim(2)}));
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{4, 5}));
  EXPECT_TRUE(store.Apply({Trim(5)}));
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{4, 5}));
  EXPECT_TRUE(store.Apply({Clear(), Add(9, 90, L"i")}));
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{9}));

  {
    OtherConnection other(path);
    other.Run("BEGIN IMMEDIATE");
    EXPECT_FALSE(store.Apply({Add(10, 100, L"j")})) << "another writer holds the file";
  }
  EXPECT_TRUE(store.Apply({Add(10, 100, L"j")}));
  EXPECT_EQ(store.Open(0).nextKey, 11u);
  EXPECT_TRUE(store.Apply({Trim(0)}));
  EXPECT_TRUE(Keys(store).empty());
}

TEST(SqliteHistoryFile, LeavesNoTraceOfRemovedTextsInTheFiles) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  SqliteHistoryFile store(path, cipher);
  ASSERT_EQ(store.Open(0).result, Opened::Ready);
  // Small ones fit in a page, large ones spill over many.
  const auto text = [](int key) {
    return "entry-" + std::to_string(key) + "-" + std::string(key % 2 ? 120 : 50000, static_cast<char>('a' + key));
  };
  std::vector<StoreChange> adds;
  for (int key = 1; key <= 6; ++key) adds.push_back(Add(key, key, FromUtf8(text(key))));
  ASSERT_TRUE(store.Apply(adds));
  // A large text is cut into pages: its beginning, or any run of its letter, is a trace.
  const auto traced = [&](int key) {
    const std::string bytes = ReadFile(path) + ReadFile(path + "-wal");
    return bytes.find(text(key).substr(0, 100)) != std::string::npos ||
           bytes.find(std::string(100, static_cast<char>('a' + key))) != std::string::npos;
  };
  for (int key = 1; key <= 6; ++key) ASSERT_TRUE(traced(key)) << "the search finds a kept text, " << key;

  ASSERT_TRUE(store.Apply({Remove(1), Remove(2)}));
  EXPECT_FALSE(traced(1));
  EXPECT_FALSE(traced(2));
  EXPECT_TRUE(traced(3));
  ASSERT_TRUE(store.Apply({Trim(2)}));
  EXPECT_FALSE(traced(3));
  EXPECT_FALSE(traced(4));
  EXPECT_TRUE(traced(5));
  ASSERT_TRUE(store.Apply({Clear()}));
  EXPECT_FALSE(traced(5));
  EXPECT_FALSE(traced(6));
}

struct Unreadable {
  const char* what;
  std::function<void(const std::string& path)> make;
};

TEST(SqliteHistoryFile, SetsAsideEachKindOfUnreadableFileUnderANameOfItsOwn) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  StandInCipher otherUser(2);
  const std::vector<Unreadable> kinds = {
      {"not a database", [](const std::string& file) {
         WriteFile(file, std::string(5000, 'x'));
         WriteFile(file + "-wal", "a log of some other file");
       }},
      {"cut in half", [&](const std::string& file) {
         MakeStore(file, cipher, 300);
         const std::string whole = ReadFile(file);
         WriteFile(file, whole.substr(0, whole.size() / 2));
       }},
      {"another program's", [](const std::string& file) { OtherConnection(file).Run("CREATE TABLE notes(text)"); }},
      {"marked as another program's", [](const std::string& file) {
         OtherConnection(file).Run("PRAGMA application_id = 42; CREATE TABLE notes(text)");
       }},
      {"a newer layout", [&](const std::string& file) {
         MakeStore(file, cipher, 1);
         OtherConnection(file).Run("PRAGMA user_version = " + std::to_string(SqliteHistoryFile::kSchemaVersion + 1));
       }},
      {"no key", [&](const std::string& file) {
         MakeStore(file, cipher, 1);
         OtherConnection(file).Run("DELETE FROM file_key");
       }},
      {"a tampered key", [&](const std::string& file) {
         MakeStore(file, cipher, 1);
         OtherConnection(file).Run(
             "UPDATE file_key SET protected = unhex(substr(hex(protected), 1, 8) || 'FF' || substr(hex(protected), 11))");
       }},
      {"another user's key", [&](const std::string& file) { MakeStore(file, otherUser, 1); }},
  };
  std::wstring first;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    SCOPED_TRACE(kinds[i].what);
    kinds[i].make(path);
    const std::string bytes = ReadFile(path);
    const std::string log = ReadFile(path + "-wal");

    SqliteHistoryFile store(path, cipher, [] { return std::time_t{1700000000}; });
    const HistoryStore::Opened opened = store.Open(1000);
    EXPECT_EQ(opened.result, Opened::SetAside);
    if (i == 0) first = opened.setAsideAs;
    // Every file in the same second: the first takes the plain name, the others numbers.
    EXPECT_EQ(opened.setAsideAs, i == 0 ? first : first + L"-" + std::to_wstring(i + 1));
    EXPECT_EQ(ReadFile(ToUtf8(opened.setAsideAs)), bytes);
    EXPECT_EQ(ReadFile(ToUtf8(opened.setAsideAs) + "-wal"), log);

    // Only a damaged file of ours has entries to carry; after them, the new file goes on.
    EXPECT_EQ(opened.carried, opened.entries.size());
    EXPECT_EQ(opened.nextKey, opened.entries.empty() ? 1u : opened.entries.back().key + 1);
    EXPECT_TRUE(store.Apply({Add(opened.nextKey, 1, L"new")}));
    EXPECT_EQ(Keys(store).back(), opened.nextKey);
    EXPECT_TRUE(store.DeleteFiles());
  }
  EXPECT_EQ(first.rfind(FromUtf8(path) + L".unreadable-", 0), 0u) << ToUtf8(first);
  EXPECT_EQ(first.size(), FromUtf8(path).size() + std::string(".unreadable-YYYYMMDD-HHMMSS").size());
  const auto files = std::distance(std::filesystem::directory_iterator(folder.path()), {});
  EXPECT_EQ(static_cast<std::size_t>(files), kinds.size() + 1) << "every file set aside, and the one log beside the first, are still there";
}

struct Damage {
  const char* what;
  std::function<void(const std::string& path)> make;
  std::size_t leastCarried;
};

TEST(SqliteHistoryFile, SetsADamagedFileAsideAndCarriesEveryEntryStillWholeIntoTheNewOne) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  const auto overwrite = [](const std::string& file, std::size_t at, const std::string& bytes) {
    std::string whole = ReadFile(file);
    whole.replace(at, bytes.size(), bytes);
    WriteFile(file, whole);
  };
  const std::vector<Damage> kinds = {
      {"entries that do not unseal: swapped, changed, moved in time", [](const std::string& file) {
         OtherConnection other(file);
         other.Run("CREATE TEMP TABLE kept AS SELECT key, sealed FROM entries;"
                   "UPDATE entries SET sealed = (SELECT sealed FROM kept WHERE kept.key = 3 - entries.key) "
                   "WHERE key IN (1, 2)");
         other.Run("UPDATE entries SET sealed = unhex(substr(hex(sealed), 1, 28) || '00' || substr(hex(sealed), 31)) "
                   "WHERE key = 3");
         other.Run("UPDATE entries SET copied_at = 41 WHERE key = 4");
       }, 296},
      {"a page of entries overwritten", [&](const std::string& file) { overwrite(file, 40 * 4096, std::string(4096, '\xA5')); }, 280},
      {"cut short", CutShort, 100},
      {"twenty bits flipped", [](const std::string& file) { FlipBits(file, 20, 12345); }, 100},
  };
  for (const Damage& kind : kinds) {
    SCOPED_TRACE(kind.what);
    MakeStore(path, cipher, 300);
    kind.make(path);
    const std::string damaged = ReadFile(path);

    std::optional<SqliteHistoryFile> store(std::in_place, path, cipher);
    const HistoryStore::Opened opened = store->Open(1000);
    store.reset();  // Windows deletes no file that is open
    ASSERT_EQ(opened.result, Opened::SetAside);
    EXPECT_EQ(ReadFile(ToUtf8(opened.setAsideAs)), damaged) << "the damaged file stays as it was found";
    EXPECT_GE(opened.carried, kind.leastCarried);
    EXPECT_LT(opened.carried, 300u);
    EXPECT_EQ(opened.entries.size(), opened.carried);
    for (std::size_t i = 0; i < opened.entries.size(); ++i) {
      const KeptEntry& entry = opened.entries[i];
      if (i > 0) {
        EXPECT_LT(opened.entries[i - 1].key, entry.key) << "oldest first";
      }
      EXPECT_EQ(entry.copiedAt, static_cast<LocalSeconds>(1000 + entry.key));
      EXPECT_TRUE(entry.text == MadeText(entry.key)) << "entry " << entry.key << " came back changed";
    }
    if (std::string(kind.what).rfind("entries that", 0) == 0) {
      EXPECT_EQ(opened.unreadable, 4u);
    }

    // What was carried is in the new file, whole, for the next start.
    SqliteHistoryFile again(path, cipher);
    const HistoryStore::Opened reopened = again.Open(1000);
    EXPECT_EQ(reopened.result, Opened::Ready);
    EXPECT_EQ(Rows(reopened), Rows(opened));
    EXPECT_TRUE(again.DeleteFiles());
  }
}

TEST(SqliteHistoryFile, LeavesItsFileInPlaceWhileTheUsersKeysAreNotReady) {
  // At log-on the system may not unprotect the file's key yet: that is no
  // reason to set a good file aside.
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  MakeStore(path, cipher, 3);
  const std::string bytes = ReadFile(path);
  SqliteHistoryFile store(path, cipher);
  cipher.notReadyFor = 1;
  EXPECT_EQ(store.Open(10).result, Opened::Failed);
  EXPECT_EQ(ReadFile(path), bytes);
  const HistoryStore::Opened later = store.Open(10);
  EXPECT_EQ(later.result, Opened::Ready);
  EXPECT_EQ(later.entries.size(), 3u);
  EXPECT_EQ(static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder.path()), {})), 3u)
      << "the file, its log and index: nothing set aside";
}

TEST(SqliteHistoryFile, TellsWhichChangeCanNeverBeWrittenAndWritesNoneOfTheBatch) {
  TempFolder folder;
  StandInCipher cipher;
  SqliteHistoryFile store(folder.File("History.db"), cipher);
  store.LimitEntryBytes(4000);
  ASSERT_EQ(store.Open(0).result, Opened::Ready);
  for (const std::size_t large : {std::size_t{3990}, std::size_t{5000}}) {
    const HistoryStore::Applied applied = store.Apply({Add(1, 1, L"fits"), Add(2, 2, std::wstring(large, L'x'))});
    EXPECT_EQ(applied.result, HistoryStore::Applied::Result::CannotKeep) << large;
    EXPECT_EQ(applied.change, 1u);
  }
  EXPECT_TRUE(Keys(store).empty());
  EXPECT_TRUE(store.Apply({Add(1, 1, L"fits")}));
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{1}));
}

TEST(SqliteHistoryFile, FailsWithoutTouchingAFileItCannotReachAndCanTryAgain) {
  TempFolder folder;
  StandInCipher cipher;
  const std::string nowhere = folder.File("missing") + "/History.db";
  SqliteHistoryFile lost(nowhere, cipher);
  EXPECT_EQ(lost.Open(0).result, Opened::Failed);
  EXPECT_FALSE(lost.Apply({Add(1, 1, L"a")}));
  std::filesystem::create_directory(std::filesystem::u8path(folder.File("missing")));
  EXPECT_EQ(lost.Open(0).result, Opened::Ready);

  const std::string path = folder.File("History.db");
  MakeStore(path, cipher, 3);
  SqliteHistoryFile store(path, cipher);
  {
    OtherConnection other(path);
    other.Run("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; SELECT count(*) FROM entries");
    EXPECT_EQ(store.Open(0).result, Opened::Failed) << "another program holds the file";
  }
  EXPECT_EQ(store.Open(0).result, Opened::Ready);
  EXPECT_EQ(Keys(store), (std::vector<std::uint64_t>{1, 2, 3}));

  EXPECT_TRUE(store.DeleteFiles());
  WriteFile(path, "");
  EXPECT_EQ(store.Open(0).result, Opened::Ready) << "an empty file holds nothing to set aside";
  EXPECT_TRUE(store.Apply({Add(1, 1, L"a")}));
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().u8string().find(".unreadable"), std::string::npos) << entry.path().u8string();
  }
  EXPECT_TRUE(store.DeleteFiles());
  for (const char* suffix : {"", "-wal", "-shm"}) EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(path + suffix)));
}

TEST(SqliteHistoryFile, KeepsLargeTextsWholeAndOnTheDiskOnce) {
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  std::wstring large;
  while (large.size() < 10 * 1024 * 1024) large += L"line of text 履歴 \U0001F389\r\n";
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(0).result, Opened::Ready);
    ASSERT_TRUE(store.Apply({Add(1, 1, large)}));
    // Not on the disk twice while the program runs on: the log is emptied.
    EXPECT_LE(ReadFile(path + "-wal").size(), 1u << 20);
  }
  SqliteHistoryFile store(path, cipher);
  const HistoryStore::Opened loaded = store.Open(2);
  ASSERT_EQ(loaded.result, Opened::Ready);
  ASSERT_EQ(loaded.entries.size(), 1u);
  EXPECT_TRUE(loaded.entries[0].text == large) << "the 10 MB text came back changed";
}

TEST(SqliteHistoryFile, GivesEveryTextBackAfterAReopeningAsItWasCopied) {
  // A clipboard text is any run of UTF-16 units: a surrogate whose other half
  // was cut off (a text split by its program, a file name), a NUL, and line
  // ends of every kind are all put back on the clipboard as they came.
  const std::vector<std::wstring> texts = {
      std::wstring(L"a\xD800z"),
      std::wstring(L"\xDC00"),
      std::wstring(L"cut after the first half \xD83D"),
      std::wstring(L"\xDC00\xD800"),  // both halves, in the wrong order
      std::wstring(L"x\0y", 3),
      L"CR LF\r\nCR\rLF\n",
  };
  TempFolder folder;
  const std::string path = folder.File("History.db");
  StandInCipher cipher;
  {
    SqliteHistoryFile store(path, cipher);
    ASSERT_EQ(store.Open(0).result, Opened::Ready);
    std::vector<StoreChange> adds;
    for (std::size_t i = 0; i < texts.size(); ++i) adds.push_back(Add(i + 1, 1, texts[i]));
    ASSERT_TRUE(store.Apply(adds));
  }
  SqliteHistoryFile store(path, cipher);
  const HistoryStore::Opened loaded = store.Open(texts.size());
  ASSERT_EQ(loaded.result, Opened::Ready);
  ASSERT_EQ(loaded.entries.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_TRUE(loaded.entries[i].text == texts[i]) << "text " << i << " came back changed";
  }
}

}  // namespace
}  // namespace rtrillex
