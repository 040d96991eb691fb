#include "sync_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <set>

#include "aes_gcm_sealer.h"
#include "journal_files.h"
#include "temp_folder.h"

// Blocks of this size and more are refused while a test says so, as a
// 32-bit process's address space may refuse a large one late in a day.
namespace {
std::atomic<std::size_t> refusedBlocksFrom{SIZE_MAX};
}  // namespace

void* operator new(std::size_t size) {
  if (size >= refusedBlocksFrom.load()) throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
// The compiler takes these for a mismatch: they free what the operator above took.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace rtrillex {
namespace {

class MemoryShort {
 public:
  explicit MemoryShort(std::size_t refusedFrom) { refusedBlocksFrom = refusedFrom; }
  ~MemoryShort() { Ends(); }
  MemoryShort(const MemoryShort&) = delete;
  MemoryShort& operator=(const MemoryShort&) = delete;
  void Ends() { refusedBlocksFrom = SIZE_MAX; }
};

using Kind = SyncKeeper::Report::Kind;

const InstallationId kPcA = {0xA1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xA1};
const InstallationId kPcB = {0xB2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xB2};
const InstallationId kPcC = {0xC3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xC3};
const InstallationId kPcD = {0xD4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xD4};

// Generous: a slow machine under Wine still gets there well inside it.
constexpr ULONGLONG kPatienceMs = 60000;

// Made once: deriving it from the passphrase takes most of a second under Wine.
const MadeFolderKey& SuiteMadeKey() {
  static const MadeFolderKey made = MakeFolderKey(L"同期フォルダーの合言葉").value_or(MadeFolderKey{});
  return made;
}
const FolderKey& SuiteKey() { return SuiteMadeKey().key; }

std::wstring JournalPath(const std::wstring& folder, const InstallationId& installation) {
  return SyncFilesFolder(folder) + L"\\" + JournalFileName(installation);
}

// Appended, or the file made with them: never emptied on the way, which a
// reader would take for a journal replaced and read anew.
void AppendBytes(const std::wstring& path, const Bytes& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

Bytes FileBytes(const std::wstring& path) {
  const FileRead read = ReadFrom(path, 0);
  EXPECT_EQ(read.outcome, FileReadOutcome::Read);
  return read.bytes;
}

// The records a fresh reader finds in the journal at `path`; none while it is not there.
std::vector<JournalRecord> RecordsIn(const std::wstring& path) {
  const FileRead file = ReadFrom(path, 0);
  if (file.outcome != FileReadOutcome::Read) return {};
  const AesGcmSealer sealer(SuiteKey());
  return ReadJournal(file.bytes, sealer, {}).records;
}

SyncRecord Record(RecordKind kind, std::uint8_t idByte, std::string text, std::uint64_t orderingMs) {
  SyncRecord record;
  record.kind = kind;
  record.id.fill(idByte);
  record.recordedMs = orderingMs;
  record.orderingMs = orderingMs;
  record.text = std::move(text);
  return record;
}

EntryId IdOf(std::uint8_t idByte) {
  EntryId id;
  id.fill(idByte);
  return id;
}

// One PC: its keeper (with no window: its reports are polled) and what they
// have said so far.
class Pc {
 public:
  Pc(const std::wstring& folder, const InstallationId& installation, const std::string& name)
      : setup_{folder, installation, name, SuiteKey()}, keeper_(std::make_unique<SyncKeeper>(setup_, nullptr, 0)) {}
  explicit Pc(const SyncSetup& setup) : setup_(setup), keeper_(std::make_unique<SyncKeeper>(setup_, nullptr, 0)) {}

  SyncKeeper& keeper() { return *keeper_; }
  void Rename(std::string name) { setup_.pcName = std::move(name); }
  // As the program does at its next start: nothing told yet.
  void Restart() {
    keeper_.reset();
    phrases_.reset();
    keeper_ = std::make_unique<SyncKeeper>(setup_, nullptr, 0);
  }

  // Takes reports until `done` holds; false when it never did.
  bool WaitFor(const std::function<bool()>& done) {
    const ULONGLONG giveUpAt = GetTickCount64() + kPatienceMs;
    for (;;) {
      Take();
      if (done()) return true;
      if (GetTickCount64() > giveUpAt) return false;
      Sleep(20);
    }
  }
  bool WaitToShow(const EntryId& id) {
    return WaitFor([&] { return Shown(id) != nullptr; });
  }
  bool WaitToHide(const EntryId& id) {
    return WaitFor([&] { return Shown(id) == nullptr; });
  }

  // In the latest Shared report.
  const SharedEntry* Shown(const EntryId& id) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const SharedEntry& e) { return e.id == id; });
    return found == entries_.end() ? nullptr : &*found;
  }
  const std::vector<SharedEntry>& entries() const { return entries_; }
  bool EverShown(const EntryId& id) const { return everShown_.count(id) != 0; }
  const std::optional<std::vector<SharedPhrase>>& phrases() const { return phrases_; }
  bool RemovedHere(const std::string& text) const { return removedHere_.count(text) != 0; }
  const std::vector<SyncPc>& pcs() const { return pcs_; }
  int Count(Kind kind) const { return static_cast<int>(std::count(kinds_.begin(), kinds_.end(), kind)); }
  const std::vector<std::wstring>& problems() const { return problems_; }

 private:
  void Take() {
    for (SyncKeeper::Report& report : keeper_->TakeReports()) {
      kinds_.push_back(report.kind);
      switch (report.kind) {
        case Kind::Shared:
          entries_ = std::move(report.entries);
          for (const SharedEntry& entry : entries_) everShown_.insert(entry.id);
          if (report.phrases) phrases_ = std::move(report.phrases);
          for (const SharedEntry& entry : report.removedHere) removedHere_.insert(entry.text);
          break;
        case Kind::Pcs:
          pcs_ = std::move(report.pcs);
          break;
        case Kind::Damaged:
        case Kind::Newer:
        case Kind::OtherKey:
          problems_.push_back(report.detail);
          break;
        default:
          break;
      }
    }
  }

  SyncSetup setup_;
  std::unique_ptr<SyncKeeper> keeper_;
  std::vector<SharedEntry> entries_;
  std::multiset<std::string> removedHere_;
  std::set<EntryId> everShown_;
  std::optional<std::vector<SharedPhrase>> phrases_;
  std::vector<SyncPc> pcs_;
  std::vector<Kind> kinds_;
  std::vector<std::wstring> problems_;
};

// A journal as a third PC writes it, made with the core's own functions.
class OtherPcJournal {
 public:
  OtherPcJournal(const InstallationId& installation, const std::string& name)
      : header_(JournalHeaderBytes(installation, name, sealer_)) {}

  const Bytes& header() const { return header_; }
  // Goes on after records written elsewhere.
  void Skip(std::uint64_t records) { sequence_ += records; }
  Bytes Next(const SyncRecord& record) {
    const std::optional<Bytes> bytes = AppendRecordBytes(sealer_, header_, ++sequence_, record);
    EXPECT_TRUE(bytes);
    return bytes.value_or(Bytes());
  }

 private:
  AesGcmSealer sealer_{SuiteKey()};
  Bytes header_;
  std::uint64_t sequence_ = 0;
};

Bytes Joined(std::initializer_list<const Bytes*> parts) {
  Bytes whole;
  for (const Bytes* part : parts) whole.insert(whole.end(), part->begin(), part->end());
  return whole;
}

// Two PCs sharing one plain folder, as a sync engine would keep it in step.
class TwoPcs : public ::testing::Test {
 protected:
  static std::wstring MadeFolder(const TempFolder& temp, const std::string& name) {
    const std::filesystem::path path = temp.path() / std::filesystem::u8path(name);
    std::filesystem::create_directories(path);
    return path.wstring();
  }

  const std::wstring& Folder() const { return synced_; }

  // Shared on A and waited for on B: every file B could see before is read.
  void MarkOnAAndWaitOnB() {
    const EntryId mark = a_.keeper().ShareText("mark", 1);
    ASSERT_TRUE(b_.WaitToShow(mark));
  }

  TempFolder temp_;
  const std::wstring synced_ = MadeFolder(temp_, "同期");
  Pc a_{Folder(), kPcA, "PC-A"};
  Pc b_{Folder(), kPcB, "PC-B"};
};

TEST_F(TwoPcs, CopiesArriveWholeWithTheirPcAndTimeButNeverOnTheirOwnPc) {
  const std::string large(10u << 20, 'x');
  const auto png = std::make_shared<const Bytes>(Bytes{0x89, 'P', 'N', 'G', 0, 1, 2, 3});
  const EntryId greeting = a_.keeper().ShareText("こんにちは、世界", 1700000000123);
  const EntryId picture = a_.keeper().SharePicture(png, 1700000000456);
  const EntryId big = a_.keeper().ShareText(large, 1700000000789);
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Shown(greeting) && b_.Shown(picture) && b_.Shown(big); }));

  ASSERT_EQ(b_.entries().size(), 3u);
  EXPECT_EQ(b_.entries()[0].id, big) << "newest first";
  EXPECT_EQ(b_.entries()[2].id, greeting);
  const SharedEntry& text = *b_.Shown(greeting);
  EXPECT_EQ(text.kind, RecordKind::Text);
  EXPECT_EQ(text.pcName, "PC-A");
  EXPECT_EQ(text.text, "こんにちは、世界");
  EXPECT_EQ(text.recordedMs, 1700000000123u);
  EXPECT_EQ(text.place.installation, kPcA);
  EXPECT_TRUE(b_.Shown(big)->text == large) << "the 10 MB text whole";
  ASSERT_TRUE(b_.Shown(picture)->png);
  EXPECT_EQ(*b_.Shown(picture)->png, *png);

  const EntryId fromB = b_.keeper().ShareText("B's own", 1700000001000);
  ASSERT_TRUE(a_.WaitToShow(fromB));
  EXPECT_EQ(a_.Shown(fromB)->pcName, "PC-B");
  MarkOnAAndWaitOnB();  // B has read its own journal since
  EXPECT_FALSE(b_.EverShown(fromB)) << "a PC's own copy is not among the shared ones";
  EXPECT_FALSE(a_.EverShown(greeting));

  ASSERT_TRUE(b_.WaitFor([&] { return b_.pcs().size() == 2; }));
  for (const SyncPc& pc : b_.pcs()) {
    EXPECT_EQ(pc.thisPc, pc.installation == kPcB);
    EXPECT_EQ(pc.name, pc.thisPc ? "PC-B" : "PC-A");
    EXPECT_GT(pc.changedMs, 1700000000000u) << "its journal's last write";
  }

  // A text past what a record holds never goes, is said as such (no retry
  // would write it), and holds back nothing after it.
  const EntryId tooLarge = a_.keeper().ShareText(std::string(kLargestSharedData + 1, 'y'), 1700000002000);
  const EntryId after = a_.keeper().ShareText("after the large one", 1700000002001);
  ASSERT_TRUE(b_.WaitToShow(after));
  EXPECT_FALSE(b_.EverShown(tooLarge));
  EXPECT_TRUE(a_.WaitFor([&] { return a_.Count(Kind::RecordDropped) == 1; }));
  EXPECT_EQ(b_.Count(Kind::CannotWrite) + b_.Count(Kind::Damaged) + a_.Count(Kind::CannotWrite), 0);
}

TEST_F(TwoPcs, RemovalsAndClearAllReachEveryPcWhateverTheOrderRead) {
  const EntryId first = a_.keeper().ShareText("first", 1);
  const EntryId second = a_.keeper().ShareText("second", 2);
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Shown(first) && b_.Shown(second); }));

  b_.keeper().Remove(first);  // A's copy, removed on B
  ASSERT_TRUE(b_.WaitToHide(first));
  EXPECT_TRUE(b_.Shown(second));
  EXPECT_TRUE(a_.WaitFor([&] { return a_.RemovedHere("first"); })) << "A takes its own line away";
  const EntryId fromB = b_.keeper().ShareText("from B", 3);
  ASSERT_TRUE(a_.WaitToShow(fromB));
  a_.keeper().Remove(fromB);  // B's copy, removed on A
  ASSERT_TRUE(a_.WaitToHide(fromB));
  EXPECT_TRUE(b_.WaitFor([&] { return b_.RemovedHere("from B"); }));
  EXPECT_FALSE(b_.RemovedHere("first")) << "only a PC's own copies";
  {
    // Started afterwards, it reads each copy and its removal in whatever order.
    Pc late(Folder(), kPcC, "PC-C");
    ASSERT_TRUE(late.WaitToShow(second));
    EXPECT_FALSE(late.EverShown(first));
    EXPECT_FALSE(late.EverShown(fromB));
  }

  a_.keeper().ClearAll();
  ASSERT_TRUE(b_.WaitFor([&] { return b_.entries().empty(); })) << "every earlier copy gone";
  const EntryId afterClear = b_.keeper().ShareText("after the clear", 4);
  ASSERT_TRUE(a_.WaitToShow(afterClear));
  EXPECT_EQ(a_.entries().size(), 1u) << "only what came after the clear";
  Pc late(Folder(), kPcC, "PC-C");
  ASSERT_TRUE(late.WaitToShow(afterClear));
  EXPECT_EQ(late.entries().size(), 1u);
}

TEST_F(TwoPcs, PhrasesSharedOnOnePcArriveOnTheOtherInOrder) {
  const std::vector<SharedPhrase> phrases = {
      {PhraseKind::Text, "挨拶", "おはようございます", nullptr},
      {PhraseKind::Separator, "", "", nullptr},
      {PhraseKind::Text, "住所", "東京都千代田区1-1", nullptr},
      {PhraseKind::Picture, "印", "", std::make_shared<const Bytes>(Bytes{1, 2, 3})},
  };
  a_.keeper().SharePhrases(phrases);
  EXPECT_TRUE(b_.WaitFor([&] { return b_.phrases() == phrases; }));

  std::vector<SharedPhrase> reordered = {phrases[2], phrases[0]};
  b_.keeper().SharePhrases(reordered);
  EXPECT_TRUE(a_.WaitFor([&] { return a_.phrases() == reordered; }));
  MarkOnAAndWaitOnB();
  EXPECT_EQ(*b_.phrases(), phrases) << "B's own set is not told back to B";
  // Started anew, B is told the set in force, its own, to start from.
  b_.Restart();
  EXPECT_TRUE(b_.WaitFor([&] { return b_.phrases() == reordered; }));
}

TEST_F(TwoPcs, OtherPcsJournalsCutShortOrTamperedWith) {
  std::filesystem::create_directories(std::filesystem::path(SyncFilesFolder(Folder())));
  OtherPcJournal cut(kPcC, "PC-C");
  const Bytes files = cut.Next(Record(RecordKind::Files, 0xC0, "C:\\書類\\見積.xlsx", 10));
  const Bytes first = cut.Next(Record(RecordKind::Text, 0xC1, "C's first", 11));
  const Bytes second = cut.Next(Record(RecordKind::Text, 0xC2, "C's second", 12));
  const Bytes whole = Joined({&cut.header(), &files, &first, &second});
  const std::size_t cutAt = whole.size() - second.size() / 2;
  AppendBytes(JournalPath(Folder(), kPcC), Bytes(whole.begin(), whole.begin() + cutAt));

  ASSERT_TRUE(b_.WaitToShow(IdOf(0xC1)));
  MarkOnAAndWaitOnB();
  EXPECT_FALSE(b_.Shown(IdOf(0xC2)));
  AppendBytes(JournalPath(Folder(), kPcC), Bytes(whole.begin() + cutAt, whole.end()));
  ASSERT_TRUE(b_.WaitToShow(IdOf(0xC2))) << "read once whole";
  EXPECT_EQ(b_.Shown(IdOf(0xC2))->text, "C's second");
  EXPECT_FALSE(b_.EverShown(IdOf(0xC0))) << "another PC's paths are never shown";
  EXPECT_TRUE(b_.problems().empty()) << "a tail still on its way is waited for silently";

  OtherPcJournal tampered(kPcD, "PC-D");
  const Bytes good = tampered.Next(Record(RecordKind::Text, 0xD1, "D's good", 20));
  Bytes bad = tampered.Next(Record(RecordKind::Text, 0xD2, "D's tampered", 21));
  const Bytes after = tampered.Next(Record(RecordKind::Text, 0xD3, "D's after", 22));
  bad[bad.size() / 2] ^= 0x40;
  AppendBytes(JournalPath(Folder(), kPcD), Joined({&tampered.header(), &good, &bad, &after}));
  ASSERT_TRUE(b_.WaitToShow(IdOf(0xD1)));
  ASSERT_TRUE(b_.WaitFor([&] { return !b_.problems().empty(); }));

  // The damaged journal grows and is read again: still said once.
  const Bytes more = tampered.Next(Record(RecordKind::Text, 0xD4, "D's more", 23));
  AppendBytes(JournalPath(Folder(), kPcD), more);
  MarkOnAAndWaitOnB();
  MarkOnAAndWaitOnB();
  EXPECT_EQ(b_.problems(), std::vector<std::wstring>{L"PC-D"});
  EXPECT_EQ(b_.Count(Kind::Damaged), 1);
  for (const EntryId& unread : {IdOf(0xD2), IdOf(0xD3), IdOf(0xD4)}) EXPECT_FALSE(b_.EverShown(unread));
  const EntryId fromB = b_.keeper().ShareText("still written", 30);
  ASSERT_TRUE(a_.WaitToShow(fromB)) << "A and B go on past the damaged journal";
  EXPECT_TRUE(a_.Shown(IdOf(0xD1)));
  EXPECT_EQ(a_.Count(Kind::Damaged), 1);
}

TEST_F(TwoPcs, ConflictCopyOfAJournalShowsNothingTwice) {
  const EntryId one = a_.keeper().ShareText("one", 1);
  const EntryId two = a_.keeper().ShareText("two", 2);
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Shown(one) && b_.Shown(two); }));

  // The engine's other version: the same records, and one only it has.
  OtherPcJournal asA(kPcA, "PC-A");
  asA.Skip(2);
  const Bytes onlyInCopy = asA.Next(Record(RecordKind::Text, 0xE1, "only in the copy", 5));
  Bytes copy = FileBytes(JournalPath(Folder(), kPcA));
  ASSERT_TRUE(std::equal(asA.header().begin(), asA.header().end(), copy.begin()));
  copy.insert(copy.end(), onlyInCopy.begin(), onlyInCopy.end());
  const std::wstring conflictName = InstallationHex(kPcA) + L".sync-conflict-20261209-123456-ABCDEFG.journal";
  AppendBytes(SyncFilesFolder(Folder()) + L"\\" + conflictName, copy);

  ASSERT_TRUE(b_.WaitToShow(IdOf(0xE1)));
  const EntryId three = a_.keeper().ShareText("three", 3);
  ASSERT_TRUE(b_.WaitToShow(three));
  for (const EntryId& id : {one, two, three, IdOf(0xE1)}) {
    EXPECT_EQ(std::count_if(b_.entries().begin(), b_.entries().end(), [&](const SharedEntry& e) { return e.id == id; }),
              1);
  }
  EXPECT_EQ(b_.entries().size(), 4u);
  ASSERT_TRUE(b_.WaitFor([&] { return b_.pcs().size() == 2; })) << "A counted once";
}

TEST_F(TwoPcs, AJournalWrittenAnewIsReadAnewWithNothingLostOrShownTwice) {
  // A's journal as a long use leaves it: a large copy, removed since.
  const EntryId large = a_.keeper().ShareText(std::string(3u << 20, 'x'), 1);
  const EntryId kept = a_.keeper().ShareText("kept", 2);
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Shown(large) && b_.Shown(kept); }));
  a_.keeper().Remove(large);
  ASSERT_TRUE(b_.WaitToHide(large));
  const std::size_t before = FileBytes(JournalPath(Folder(), kPcA)).size();

  a_.Restart();  // compacted as it starts
  const EntryId after = a_.keeper().ShareText("after", 3);
  ASSERT_TRUE(b_.WaitToShow(after));
  EXPECT_LT(FileBytes(JournalPath(Folder(), kPcA)).size(), before / 100);
  const auto ids = [](const std::vector<SharedEntry>& entries) {
    std::vector<EntryId> shown;
    for (const SharedEntry& entry : entries) shown.push_back(entry.id);
    return shown;
  };
  EXPECT_EQ(ids(b_.entries()), (std::vector<EntryId>{after, kept}));
  b_.Restart();
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Shown(after) && b_.Shown(kept); }));
  EXPECT_EQ(ids(b_.entries()), (std::vector<EntryId>{after, kept})) << "the compacted journal alone";

  // A renamed: its journal written anew with the new name, every record kept.
  a_.Rename("PC-A, renamed");
  a_.Restart();
  ASSERT_TRUE(b_.WaitFor([&] {
    return std::any_of(b_.pcs().begin(), b_.pcs().end(), [](const SyncPc& pc) { return pc.name == "PC-A, renamed"; });
  }));
  EXPECT_EQ(ids(b_.entries()), (std::vector<EntryId>{after, kept})) << "nothing lost or shown twice";
  EXPECT_EQ(RecordsIn(JournalPath(Folder(), kPcA)).size(), 3u);
  EXPECT_TRUE(b_.problems().empty());

  // Another PC's journal written anew and grown past where B had read it
  // before B looked again (moved into place whole, as the engines do).
  OtherPcJournal c(kPcC, "PC-C");
  const Bytes first = c.Next(Record(RecordKind::Text, 0xC1, std::string(1000, 'c'), 10));
  AppendBytes(JournalPath(Folder(), kPcC), Joined({&c.header(), &first}));
  ASSERT_TRUE(b_.WaitToShow(IdOf(0xC1)));
  OtherPcJournal anew(kPcC, "PC-C");
  Bytes grown = anew.header();
  for (std::uint8_t id = 0xC2; grown.size() <= 2000; ++id) {
    const Bytes record = anew.Next(Record(RecordKind::Text, id, "grown", 10 + id));
    grown.insert(grown.end(), record.begin(), record.end());
  }
  const std::wstring arriving = SyncFilesFolder(Folder()) + L"\\.syncthing.arriving.tmp";
  AppendBytes(arriving, grown);
  ASSERT_TRUE(MoveFileExW(arriving.c_str(), JournalPath(Folder(), kPcC).c_str(), MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(b_.WaitToShow(IdOf(0xC2)));
  EXPECT_TRUE(b_.Shown(IdOf(0xC1))) << "kept: a journal written anew removes nothing";
  EXPECT_TRUE(b_.problems().empty()) << "not taken for damage";
}

TEST_F(TwoPcs, FolderGoneIsSaidOnceAndWritingResumesWhenItIsBack) {
  const EntryId before = a_.keeper().ShareText("before", 1);
  ASSERT_TRUE(b_.WaitToShow(before));

  // Moved away whole, as an unplugged drive takes it: the keepers' open files go with it.
  const std::wstring away = Folder() + L"-外した";
  ASSERT_TRUE(MoveFileW(Folder().c_str(), away.c_str()));
  ASSERT_TRUE(a_.WaitFor([&] { return a_.Count(Kind::FolderMissing) == 1; }));
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Count(Kind::FolderMissing) == 1; }));
  const EntryId whileGone = a_.keeper().ShareText("while gone", 2);

  ASSERT_TRUE(CreateDirectoryW(Folder().c_str(), nullptr)) << "an empty folder in its place";
  ASSERT_TRUE(a_.WaitFor([&] { return a_.Count(Kind::FolderBack) == 1; }));
  ASSERT_TRUE(b_.WaitFor([&] { return b_.Count(Kind::FolderBack) == 1; }));
  ASSERT_TRUE(b_.WaitToShow(whileGone)) << "kept while the folder was gone, then written";
  const EntryId after = a_.keeper().ShareText("after", 3);
  ASSERT_TRUE(b_.WaitToShow(after));
  EXPECT_EQ(a_.Count(Kind::FolderMissing), 1);
  EXPECT_EQ(b_.Count(Kind::FolderMissing), 1);
  EXPECT_EQ(a_.Count(Kind::CannotWrite), 0) << "a gone folder is not a failed write";
}

TEST(SyncKeeperJournal, OwnJournalUnderAnotherKeyIsSaidOnceAndLeftAlone) {
  TempFolder folder;
  const std::wstring path = JournalPath(folder.path().wstring(), kPcA);
  std::filesystem::create_directories(std::filesystem::path(SyncFilesFolder(folder.path().wstring())));
  FolderKey otherKey;
  otherKey.keyId.fill(0x0E);
  otherKey.key.bytes.fill(0x0E);
  const AesGcmSealer otherSealer(otherKey);
  AppendBytes(path, JournalHeaderBytes(kPcA, "PC-A", otherSealer));
  const Bytes before = FileBytes(path);

  Pc a(folder.path().wstring(), kPcA, "PC-A");
  Pc b(folder.path().wstring(), kPcB, "PC-B");
  a.keeper().ShareText("never written here", 1);
  const EntryId fromB = b.keeper().ShareText("from B", 2);
  ASSERT_TRUE(a.WaitToShow(fromB)) << "the others' journals are still read";
  const EntryId again = b.keeper().ShareText("again", 3);
  ASSERT_TRUE(a.WaitToShow(again));
  EXPECT_EQ(a.Count(Kind::OtherKey), 1);
  EXPECT_EQ(a.problems(), std::vector<std::wstring>{L"PC-A"});
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_TRUE(b.WaitFor([&] { return b.Count(Kind::OtherKey) == 1; })) << "B reads it as another folder's journal";
}

TEST(SyncKeeperJournal, AJournalLongerThanOneReadIsReadToItsEndWhateverItsRecordsSizesAndMemoryShortAWhile) {
  TempFolder folder;
  std::filesystem::create_directories(std::filesystem::path(SyncFilesFolder(folder.path().wstring())));
  OtherPcJournal c(kPcC, "PC-C");
  Bytes journal = c.header();
  for (std::uint8_t i = 1; i <= 5; ++i) {
    const std::size_t size = i == 3 ? 5000 : 1000;
    const Bytes record = c.Next(Record(RecordKind::Text, i, std::string(size, static_cast<char>('a' + i)), i));
    journal.insert(journal.end(), record.begin(), record.end());
  }
  const std::wstring path = JournalPath(folder.path().wstring(), kPcC);
  AppendBytes(path, journal);

  // Reads of 2,500 bytes: the first ends inside the third record, which
  // takes a larger read; the file is never written to again. While no
  // block for that read can be had, the worker goes on without it.
  SyncSetup setup{folder.path().wstring(), kPcB, "PC-B", SuiteKey()};
  setup.firstReadBytes = 2500;
  MemoryShort memoryShort(4000);
  Pc b(setup);
  EXPECT_TRUE(b.WaitFor([&] { return b.entries().size() == 2; })) << b.entries().size() << " of 2";
  Sleep(5000);  // two more looks at the folder
  EXPECT_EQ(b.entries().size(), 2u);
  memoryShort.Ends();
  EXPECT_TRUE(b.WaitFor([&] { return b.entries().size() == 5; })) << b.entries().size() << " of 5";

  // A small record read while the report of all the copies cannot be made
  // (the third's text no longer fits a block): told once memory is back,
  // though nothing else arrives.
  {
    MemoryShort again(4000);
    AppendBytes(path, c.Next(Record(RecordKind::Text, 6, "six", 6)));
    Sleep(5000);  // not asked meanwhile: asking copies the entries
  }
  EXPECT_TRUE(b.WaitFor([&] { return b.entries().size() == 6; })) << b.entries().size() << " of 6";
}

TEST(SyncKeeperJournal, AFolderKeyMadeAnewIsSaidOnceUntilItIsThisPcsAgain) {
  TempFolder folder;
  std::filesystem::create_directories(std::filesystem::path(SyncFilesFolder(folder.path().wstring())));
  const std::wstring keyFile = KeyFilePath(folder.path().wstring());
  const auto writeKeyFile = [&](const Bytes& bytes) {
    DeleteFileW(keyFile.c_str());
    AppendBytes(keyFile, bytes);
  };
  writeKeyFile(SuiteMadeKey().keyFileBytes);
  Pc a(folder.path().wstring(), kPcA, "PC-A");
  Pc b(folder.path().wstring(), kPcB, "PC-B");
  ASSERT_TRUE(a.WaitToShow(b.keeper().ShareText("before", 1)));
  EXPECT_EQ(a.Count(Kind::KeyReplaced), 0) << "the folder's key is this PC's";

  const std::optional<MadeFolderKey> other = MakeFolderKey(L"another passphrase");
  ASSERT_TRUE(other);
  writeKeyFile(other->keyFileBytes);
  EXPECT_TRUE(a.WaitFor([&] { return a.Count(Kind::KeyReplaced) == 1; }));
  ASSERT_TRUE(a.WaitToShow(b.keeper().ShareText("later", 2)));
  EXPECT_EQ(a.Count(Kind::KeyReplaced), 1) << "said once";

  writeKeyFile(SuiteMadeKey().keyFileBytes);
  ASSERT_TRUE(a.WaitToShow(b.keeper().ShareText("back", 3)));
  writeKeyFile(other->keyFileBytes);
  EXPECT_TRUE(a.WaitFor([&] { return a.Count(Kind::KeyReplaced) == 2; })) << "news again once it had matched";
}

TEST(SyncKeeperJournal, JournalDeletedWhileOpenIsLetGoAndMadeAnewForTheNextRecord) {
  TempFolder folder;
  Pc a(folder.path().wstring(), kPcA, "PC-A");
  const std::wstring path = JournalPath(folder.path().wstring(), kPcA);
  a.keeper().ShareText("before", 1);
  ASSERT_TRUE(a.WaitFor([&] { return RecordsIn(path).size() == 1; }));

  // Deleted as Windows now deletes a file still open: its name gone at once,
  // the file itself once its last handle is closed. (Wine keeps the name
  // until then, so the name is moved away first.)
  const std::wstring deleted = folder.path().wstring() + L"\\deleted.journal";
  ASSERT_TRUE(MoveFileW(path.c_str(), deleted.c_str()));
  ASSERT_TRUE(DeleteFileW(deleted.c_str()));
  ASSERT_TRUE(a.WaitFor([&] { return GetFileAttributesW(deleted.c_str()) == INVALID_FILE_ATTRIBUTES; }))
      << "let go of, so that the deletion ends";
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "not made anew with nothing to write";
  const EntryId after = a.keeper().ShareText("after", 2);
  ASSERT_TRUE(a.WaitFor([&] { return !RecordsIn(path).empty(); }));
  const std::vector<JournalRecord> records = RecordsIn(path);
  ASSERT_EQ(records.size(), 1u) << "the new journal holds what came after";
  EXPECT_EQ(records[0].record.id, after);
}

// Held by another program (an engine that locks what it syncs): said once,
// and its end said once the record waiting is written.
TEST(SyncKeeperJournal, AJournalHeldElsewhereIsSaidOnceAndWrittenOnceLetGo) {
  TempFolder folder;
  const std::wstring path = JournalPath(folder.path().wstring(), kPcA);
  std::filesystem::create_directories(std::filesystem::path(SyncFilesFolder(folder.path().wstring())));
  HANDLE held = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Pc a(folder.path().wstring(), kPcA, "PC-A");
  const EntryId waiting = a.keeper().ShareText("waits", 1);
  ASSERT_TRUE(a.WaitFor([&] { return a.Count(Kind::CannotWrite) == 1; }));
  CloseHandle(held);
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  ASSERT_TRUE(a.WaitFor([&] { return a.Count(Kind::WritingAgain) == 1; }));
  const std::vector<JournalRecord> records = RecordsIn(path);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].record.id, waiting);
  EXPECT_EQ(a.Count(Kind::CannotWrite), 1) << "once for the whole stretch";
}

TEST(SyncKeeperEnd, WhatWasSharedJustBeforeTheEndIsInTheJournal) {
  TempFolder folder;
  std::vector<EntryId> ids;
  {
    SyncKeeper keeper(SyncSetup{folder.path().wstring(), kPcA, "PC-A", SuiteKey()}, nullptr, 0);
    ids.push_back(keeper.ShareText("一つ目", 100));
    ids.push_back(keeper.ShareText("二つ目", 200));
    keeper.Remove(ids[0]);
  }

  AesGcmSealer sealer(SuiteKey());
  const JournalRead read = ReadJournal(FileBytes(JournalPath(folder.path().wstring(), kPcA)), sealer, {});
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  ASSERT_EQ(read.records.size(), 3u) << "each written once, in order";
  EXPECT_EQ(read.state.header.pcName, "PC-A");
  EXPECT_EQ(read.records[0].record.id, ids[0]);
  EXPECT_EQ(read.records[0].record.text, "一つ目");
  EXPECT_EQ(read.records[0].record.recordedMs, 100u);
  EXPECT_EQ(read.records[1].record.id, ids[1]);
  EXPECT_EQ(read.records[2].record.kind, RecordKind::Removal);
  EXPECT_EQ(read.records[2].record.target, ids[0]);
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_LT(read.records[0].record.orderingMs, read.records[1].record.orderingMs);
  EXPECT_LT(read.records[1].record.orderingMs, read.records[2].record.orderingMs);
}

}  // namespace
}  // namespace rtrillex
