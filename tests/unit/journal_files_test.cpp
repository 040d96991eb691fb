#include "journal_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "aes_gcm_sealer.h"
#include "temp_folder.h"

namespace rtrillex {
namespace {

const InstallationId kOwn = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
const InstallationId kOther = {0xa0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0b};

FolderKey TestKey() {
  FolderKey key;
  key.keyId.fill(0x5C);
  key.key.bytes.fill(0x17);
  return key;
}

SyncRecord TextRecord(const std::string& text, std::uint64_t orderingMs) {
  SyncRecord record;
  record.kind = RecordKind::Text;
  record.id.fill(static_cast<std::uint8_t>(orderingMs));
  record.recordedMs = orderingMs;
  record.orderingMs = orderingMs;
  record.text = text;
  return record;
}

Bytes FileBytes(const std::wstring& path) {
  const FileRead read = ReadFrom(path, 0);
  EXPECT_EQ(read.outcome, FileReadOutcome::Read);
  return read.bytes;
}

void AppendToFile(const std::wstring& path, ByteSpan bytes) {
  UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), bytes.data, static_cast<DWORD>(bytes.size), &written, nullptr));
  ASSERT_EQ(written, bytes.size);
}

bool StartsWith(const Bytes& bytes, const Bytes& prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

class SyncFolderFiles : public ::testing::Test {
 protected:
  std::wstring Folder() const { return folder_.path().wstring(); }
  std::wstring FilesFolder() const { return SyncFilesFolder(Folder()); }

  TempFolder folder_;
  AesGcmSealer sealer_{TestKey()};
};

TEST_F(SyncFolderFiles, OwnJournalIsAppendedToAndReadFromAnotherHandleWhileOpen) {
  OwnJournal journal;
  ASSERT_EQ(journal.Open(Folder(), kOwn, "書斎のPC", sealer_), OwnJournalOpen::Opened);
  EXPECT_EQ(journal.path(), FilesFolder() + L"\\" + JournalFileName(kOwn));
  Bytes before = FileBytes(journal.path());
  ASSERT_EQ(before.size(), journal.size()) << "the header alone";

  JournalReadState state;
  const char* texts[] = {"one", "二", ""};
  for (std::uint64_t n = 1; n <= 3; ++n) {
    ASSERT_EQ(journal.Append(sealer_, TextRecord(texts[n - 1], 100 * n)), JournalAppend::Appended);
    const Bytes after = FileBytes(journal.path());
    EXPECT_TRUE(StartsWith(after, before)) << "append " << n << " changed earlier bytes";
    EXPECT_EQ(after.size(), journal.size());

    const FileRead added = ReadFrom(journal.path(), ReadStart(state));
    ASSERT_EQ(added.outcome, FileReadOutcome::Read);
    const JournalRead read = ReadJournal(added.bytes, sealer_, state);
    ASSERT_EQ(read.status, JournalStatus::UpToDate);
    ASSERT_EQ(read.records.size(), 1u) << "only the new record, read on from where the last read stopped";
    EXPECT_EQ(read.records[0].sequence, n);
    EXPECT_EQ(read.records[0].record.text, texts[n - 1]);
    EXPECT_EQ(read.state.header.pcName, "書斎のPC");
    state = read.state;
    before = after;
  }
  EXPECT_EQ(journal.nextSequence(), 4u);
  EXPECT_EQ(journal.lastOrderingMs(), 300u);
}

TEST_F(SyncFolderFiles, ReopenedJournalGoesOnFromItsLastRecord) {
  {
    OwnJournal journal;
    ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
    ASSERT_EQ(journal.Append(sealer_, TextRecord("a", 500)), JournalAppend::Appended);
    ASSERT_EQ(journal.Append(sealer_, TextRecord("b", 400)), JournalAppend::Appended);
  }
  OwnJournal journal;
  ASSERT_EQ(journal.Open(Folder(), kOwn, "PC renamed", sealer_), OwnJournalOpen::Opened);
  EXPECT_EQ(journal.nextSequence(), 3u);
  EXPECT_EQ(journal.lastOrderingMs(), 500u) << "the greatest, not the last";
  ASSERT_EQ(journal.Append(sealer_, TextRecord("c", 600)), JournalAppend::Appended);

  const JournalRead read = ReadJournal(FileBytes(journal.path()), sealer_, JournalReadState());
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  ASSERT_EQ(read.records.size(), 3u);
  EXPECT_EQ(read.records[2].sequence, 3u);
  EXPECT_EQ(read.records[2].record.text, "c");
  EXPECT_EQ(read.state.header.pcName, "PC") << "the header is never written again";
}

TEST_F(SyncFolderFiles, CompactionReplacesTheJournalWholeAndOnlyWhenItCan) {
  std::wstring path;
  {
    OwnJournal journal;
    ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
    path = journal.path();
    ASSERT_EQ(journal.Append(sealer_, TextRecord(std::string(2u << 20, 'x'), 10)), JournalAppend::Appended);
    SyncRecord removal = TextRecord("", 20);
    removal.kind = RecordKind::Removal;
    removal.target.fill(10);
    ASSERT_EQ(journal.Append(sealer_, removal), JournalAppend::Appended);
    ASSERT_EQ(journal.Append(sealer_, TextRecord("kept", 30)), JournalAppend::Appended);
    EXPECT_EQ(journal.Compact(sealer_, 1000), JournalCompaction::Compacted);
    EXPECT_EQ(journal.Compact(sealer_, 1000), JournalCompaction::NotWorthIt) << "nothing more to drop";
    EXPECT_EQ(journal.nextSequence(), 3u);
    EXPECT_EQ(journal.lastOrderingMs(), 30u);
    ASSERT_EQ(journal.Append(sealer_, TextRecord("after", 40)), JournalAppend::Appended);
  }
  const Bytes compacted = FileBytes(path);
  EXPECT_LT(compacted.size(), 1000u);
  JournalRead read = ReadJournal(compacted, sealer_, JournalReadState());
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  ASSERT_EQ(read.records.size(), 3u);
  EXPECT_EQ(read.records[0].record.kind, RecordKind::Removal);
  EXPECT_EQ(read.records[1].record.text, "kept");
  EXPECT_EQ(read.records[2].record.text, "after");
  EXPECT_EQ(read.records[2].sequence, 3u);

  // Held by a program that shares neither writing nor deleting (a sync
  // engine hashing it): left whole and still written to.
  const std::wstring leftOver = FilesFolder() + L"\\~$" + JournalFileName(kOwn);
  {
    OwnJournal journal;
    ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
    ASSERT_EQ(journal.Append(sealer_, TextRecord(std::string(2u << 20, 'y'), 50)), JournalAppend::Appended);
    ASSERT_EQ(journal.Append(sealer_, TextRecord("", 60)), JournalAppend::Appended);
    UniqueFile engine(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(engine);
    EXPECT_EQ(journal.Compact(sealer_, 1), JournalCompaction::Failed);
    EXPECT_FALSE(std::filesystem::exists(leftOver)) << "its new file deleted";
    engine.reset();
    ASSERT_TRUE(journal.isOpen());
    ASSERT_EQ(journal.Append(sealer_, TextRecord("still", 70)), JournalAppend::Appended);
  }
  read = ReadJournal(FileBytes(path), sealer_, JournalReadState());
  ASSERT_EQ(read.records.size(), 6u);
  EXPECT_EQ(read.records[5].record.text, "still");

  // What a compaction cut short by a crash left is gone at the next open,
  // and never listed.
  AppendToFile(leftOver, Bytes{1, 2, 3});
  EXPECT_EQ(ListSyncFolder(Folder(), kOther).journals.size(), 1u) << "only the journal itself";
  OwnJournal journal;
  ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
  EXPECT_FALSE(std::filesystem::exists(leftOver));
  EXPECT_EQ(journal.Compact(sealer_, 1), JournalCompaction::Compacted);
  read = ReadJournal(FileBytes(path), sealer_, JournalReadState());
  ASSERT_EQ(read.records.size(), 2u) << "the removal and the newest copy";
  EXPECT_EQ(read.records[1].record.text, "still");
}

TEST_F(SyncFolderFiles, TailOfAWriteThatNeverEndedIsCutBeforeTheNextRecord) {
  std::wstring path;
  std::uint64_t wholeSize = 0;
  {
    OwnJournal journal;
    ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
    ASSERT_EQ(journal.Append(sealer_, TextRecord("kept", 1)), JournalAppend::Appended);
    path = journal.path();
    wholeSize = journal.size();
  }
  const Bytes header = ReadJournal(FileBytes(path), sealer_, JournalReadState()).state.headerBytes;
  const std::optional<Bytes> unfinished = AppendRecordBytes(sealer_, header, 2, TextRecord("lost", 2));
  ASSERT_TRUE(unfinished);
  AppendToFile(path, ByteSpan(unfinished->data(), unfinished->size() / 2));

  OwnJournal journal;
  ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
  EXPECT_EQ(journal.size(), wholeSize);
  EXPECT_EQ(FileBytes(path).size(), wholeSize);
  ASSERT_EQ(journal.Append(sealer_, TextRecord("next", 3)), JournalAppend::Appended);
  const JournalRead read = ReadJournal(FileBytes(path), sealer_, JournalReadState());
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  ASSERT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.records[1].sequence, 2u);
  EXPECT_EQ(read.records[1].record.text, "next");
}

TEST_F(SyncFolderFiles, JournalUnderAnotherKeyIsNotAppendedTo) {
  {
    OwnJournal journal;
    ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
  }
  FolderKey newKey = TestKey();
  newKey.keyId.fill(0x77);
  newKey.key.bytes.fill(0x78);
  OwnJournal journal;
  EXPECT_EQ(journal.Open(Folder(), kOwn, "PC", AesGcmSealer(newKey)), OwnJournalOpen::Unusable);
  EXPECT_EQ(journal.unusableStatus(), JournalStatus::OtherKey);
  EXPECT_FALSE(journal.isOpen());
}

TEST_F(SyncFolderFiles, LargestRecordIsWrittenAndReadWhole) {
  OwnJournal journal;
  ASSERT_EQ(journal.Open(Folder(), kOwn, "PC", sealer_), OwnJournalOpen::Opened);
  const std::string largest(kLargestSharedData, 'x');
  ASSERT_EQ(journal.Append(sealer_, TextRecord(largest, 1)), JournalAppend::Appended);
  const JournalRead read = ReadJournal(FileBytes(journal.path()), sealer_, JournalReadState());
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_TRUE(read.records[0].record.text == largest);
}

TEST_F(SyncFolderFiles, JournalArrivingCutMidRecordIsReadOnOnceWhole) {
  OwnJournal writer;
  ASSERT_EQ(writer.Open(Folder(), kOther, "other PC", sealer_), OwnJournalOpen::Opened);
  ASSERT_EQ(writer.Append(sealer_, TextRecord("first", 1)), JournalAppend::Appended);
  ASSERT_EQ(writer.Append(sealer_, TextRecord("second", 2)), JournalAppend::Appended);
  const Bytes whole = FileBytes(writer.path());

  // How a sync engine may bring it: the first record and part of the second.
  const std::wstring copy = (folder_.path() / L"copy.journal").wstring();
  const std::size_t cut = whole.size() - 10;
  AppendToFile(copy, ByteSpan(whole.data(), cut));
  FileRead bytes = ReadFrom(copy, 0);
  ASSERT_EQ(bytes.outcome, FileReadOutcome::Read);
  JournalRead read = ReadJournal(bytes.bytes, sealer_, JournalReadState());
  ASSERT_EQ(read.status, JournalStatus::Waiting);
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_EQ(read.records[0].record.text, "first");

  AppendToFile(copy, ByteSpan(whole.data() + cut, whole.size() - cut));
  bytes = ReadFrom(copy, ReadStart(read.state));
  ASSERT_EQ(bytes.outcome, FileReadOutcome::Read);
  read = ReadJournal(bytes.bytes, sealer_, read.state);
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_EQ(read.records[0].record.text, "second");
  EXPECT_EQ(read.state.offset, whole.size());
}

TEST_F(SyncFolderFiles, ReadFromSaysWhatBecameOfTheFile) {
  const std::wstring path = (folder_.path() / L"file").wstring();
  AppendToFile(path, Bytes{1, 2, 3, 4, 5});

  FileRead read = ReadFrom(path, 2);
  ASSERT_EQ(read.outcome, FileReadOutcome::Read);
  EXPECT_EQ(read.bytes, (Bytes{3, 4, 5}));
  EXPECT_FALSE(read.more);
  read = ReadFrom(path, 1, 2);
  EXPECT_EQ(read.bytes, (Bytes{2, 3}));
  EXPECT_TRUE(read.more);
  EXPECT_EQ(ReadFrom(path, 5).bytes, Bytes{});
  EXPECT_EQ(ReadFrom(path, 6).outcome, FileReadOutcome::Replaced);
  EXPECT_EQ(ReadFrom(path + L"x", 0).outcome, FileReadOutcome::Gone);
  EXPECT_EQ(ReadFrom(Folder() + L"\\gone\\file", 0).outcome, FileReadOutcome::Gone);
}

TEST_F(SyncFolderFiles, FileHeldByAnotherProgramIsReadLater) {
  const std::wstring path = (folder_.path() / L"held").wstring();
  AppendToFile(path, Bytes{1, 2, 3});
  {
    UniqueFile held(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(ReadFrom(path, 0).outcome, FileReadOutcome::Later);
  }
  EXPECT_EQ(ReadFrom(path, 0).outcome, FileReadOutcome::Read);
}

TEST_F(SyncFolderFiles, CloudFileNotOnDiskIsNeverRead) {
  const std::wstring path = (folder_.path() / L"placeholder").wstring();
  AppendToFile(path, Bytes{1, 2, 3});
  if (!SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_OFFLINE) ||
      !(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_OFFLINE)) {
    GTEST_SKIP() << "this system keeps no offline attribute on a file (Wine does not): nothing to read it by";
  }
  EXPECT_EQ(ReadFrom(path, 0).outcome, FileReadOutcome::Later);
}

TEST_F(SyncFolderFiles, ListingSortsJournalsConflictCopiesAndTheKey) {
  ASSERT_TRUE(CreateDirectoryW(FilesFolder().c_str(), nullptr));
  const std::wstring otherHex = InstallationHex(kOther);
  for (const std::wstring& name :
       {std::wstring(L"key"), JournalFileName(kOwn), JournalFileName(kOther),
        otherHex + L".sync-conflict-20261209-123456-ABCDEFG.journal", L".syncthing." + otherHex + L".journal.tmp",
        std::wstring(L"key (PC's conflicted copy 2026-12-09)"), std::wstring(L"desktop.ini")}) {
    AppendToFile(FilesFolder() + L"\\" + name, Bytes{1, 2});
  }
  ASSERT_TRUE(CreateDirectoryW((FilesFolder() + L"\\" + JournalFileName(kOther) + L"x").c_str(), nullptr));

  const SyncFolderListing listing = ListSyncFolder(Folder(), kOwn);
  ASSERT_EQ(listing.outcome, ListingOutcome::Listed);
  ASSERT_TRUE(listing.ownJournal.has_value());
  EXPECT_EQ(listing.ownJournal->path, FilesFolder() + L"\\" + JournalFileName(kOwn));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t nowMs = UnixMs(now);
  EXPECT_GT(nowMs, 1700000000000u) << "after 2023, in Unix ms";
  ASSERT_TRUE(listing.keyFile);
  EXPECT_EQ(listing.keyFile->path, FilesFolder() + L"\\key");
  EXPECT_EQ(listing.keyConflictCopies.size(), 1u);
  ASSERT_EQ(listing.journals.size(), 2u) << "the other journal and its conflict copy; no temporary file";
  int conflictCopies = 0;
  for (const ListedFile& listed : listing.journals) {
    EXPECT_EQ(listed.file.installation, kOther);
    EXPECT_EQ(listed.size, 2u);
    EXPECT_TRUE(listed.onDisk);
    EXPECT_LE(listed.changedMs, nowMs + 1000) << "its last write, just now";
    EXPECT_GE(listed.changedMs + 60000, nowMs) << "its last write, just now";
    if (listed.file.kind == SyncFileKind::JournalConflictCopy) ++conflictCopies;
  }
  EXPECT_EQ(conflictCopies, 1);
}

TEST_F(SyncFolderFiles, FolderThatIsGoneIsSaidSoAndOneNotYetUsedIsEmpty) {
  const SyncFolderListing empty = ListSyncFolder(Folder(), kOwn);
  EXPECT_EQ(empty.outcome, ListingOutcome::Listed);
  EXPECT_TRUE(empty.journals.empty());
  EXPECT_FALSE(empty.keyFile);

  const std::wstring unplugged = Folder() + L"\\unplugged";
  EXPECT_EQ(ListSyncFolder(unplugged, kOwn).outcome, ListingOutcome::FolderMissing);
  OwnJournal journal;
  EXPECT_EQ(journal.Open(unplugged, kOwn, "PC", sealer_), OwnJournalOpen::FolderMissing);
  EXPECT_EQ(journal.Append(sealer_, TextRecord("a", 1)), JournalAppend::FolderMissing);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / L"unplugged")) << "a missing folder is not made";
}

TEST_F(SyncFolderFiles, FolderOfTheProgramOrAroundItIsRefused) {
  const std::wstring program = Folder() + L"\\Program";
  ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
  for (const std::wstring& refused :
       {program, program + L"\\", program + L"\\sync", program + L"\\sync\\deeper\\", program + L"\\sync\\..",
        Folder() + L"/program/SYNC", Folder(), Folder() + L"\\"}) {
    EXPECT_FALSE(IsFolderAllowed(refused, program)) << std::filesystem::path(refused).u8string();
  }
  EXPECT_FALSE(IsFolderAllowed(program, program + L"\\")) << "a program folder given with its separator";
  for (const std::wstring& allowed : {Folder() + L"\\Program2", Folder() + L"\\Programs\\sync", Folder() + L"\\other"}) {
    EXPECT_TRUE(IsFolderAllowed(allowed, program)) << std::filesystem::path(allowed).u8string();
  }
  EXPECT_FALSE(IsFolderAllowed(L"", program));
}

}  // namespace
}  // namespace rtrillex
