#include "sync_journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "stand_in_sealer.h"
#include "sync_compaction.h"

namespace rtrillex {
namespace {

Id16 IdOf(std::uint8_t value) {
  Id16 id{};
  id.fill(value);
  return id;
}

SyncRecord TextRecord(std::uint8_t id, std::string text, std::uint64_t ordering = 1000) {
  SyncRecord record;
  record.kind = RecordKind::Text;
  record.id = IdOf(id);
  record.recordedMs = ordering - 7;
  record.orderingMs = ordering;
  record.text = std::move(text);
  return record;
}

std::shared_ptr<const Bytes> Png(std::initializer_list<std::uint8_t> bytes) {
  return std::make_shared<const Bytes>(bytes);
}

// A journal as a PC writes it: its header, then each record appended.
struct Journal {
  const StandInSealer& sealer;
  Bytes header;
  Bytes bytes;
  std::vector<std::size_t> recordStarts;

  Journal(const StandInSealer& key, std::uint8_t installation, std::string pcName = "書斎のPC")
      : sealer(key), header(JournalHeaderBytes(IdOf(installation), pcName, key)), bytes(header) {}

  Journal& Add(const SyncRecord& record) {
    const std::optional<Bytes> appended = AppendRecordBytes(sealer, header, recordStarts.size() + 1, record);
    EXPECT_TRUE(appended);
    recordStarts.push_back(bytes.size());
    if (appended) bytes.insert(bytes.end(), appended->begin(), appended->end());
    return *this;
  }
};

JournalRead ReadWhole(const Bytes& bytes, const RecordSealer& sealer) { return ReadJournal(bytes, sealer, {}); }

std::vector<std::string> Texts(const JournalRead& read) {
  std::vector<std::string> texts;
  for (const JournalRecord& record : read.records) texts.push_back(record.record.text);
  return texts;
}

TEST(SyncJournal, EveryKindOfRecordReadsBackAsItWasWritten) {
  const StandInSealer key;
  SyncRecord picture = TextRecord(2, "");
  picture.kind = RecordKind::Picture;
  picture.png = Png({0x89, 'P', 'N', 'G', 0, 1});
  SyncRecord files = TextRecord(3, "C:\\a.txt\nC:\\写真\\b.png");
  files.kind = RecordKind::Files;
  SyncRecord removal = TextRecord(4, "");
  removal.kind = RecordKind::Removal;
  removal.target = IdOf(1);
  SyncRecord clear = TextRecord(5, "", 5000);
  clear.kind = RecordKind::ClearAll;
  SyncRecord phrases = TextRecord(6, "");
  phrases.kind = RecordKind::Phrases;
  phrases.phrases = {{PhraseKind::Text, "挨拶", "お世話になっております。", nullptr},
                     {PhraseKind::Separator, "", "", nullptr},
                     {PhraseKind::Picture, "印影", "[画像]", Png({1, 2, 3})}};
  Journal journal(key, 0xA1);
  journal.Add(TextRecord(1, "こんにちは\r\n世界")).Add(picture).Add(files).Add(removal).Add(clear).Add(phrases);

  const JournalRead read = ReadWhole(journal.bytes, key);
  EXPECT_EQ(read.status, JournalStatus::UpToDate);
  EXPECT_FALSE(read.reportNow);
  EXPECT_EQ(read.state.header.pcName, "書斎のPC");
  EXPECT_EQ(read.state.header.installation, IdOf(0xA1));
  EXPECT_EQ(read.state.offset, journal.bytes.size());
  ASSERT_EQ(read.records.size(), 6u);
  for (std::size_t i = 0; i < read.records.size(); ++i) EXPECT_EQ(read.records[i].sequence, i + 1);
  const SyncRecord& text = read.records[0].record;
  EXPECT_EQ(text.kind, RecordKind::Text);
  EXPECT_EQ(text.id, IdOf(1));
  EXPECT_EQ(text.recordedMs, 993u);
  EXPECT_EQ(text.orderingMs, 1000u);
  EXPECT_EQ(text.text, "こんにちは\r\n世界");
  ASSERT_TRUE(read.records[1].record.png);
  EXPECT_EQ(*read.records[1].record.png, *picture.png);
  EXPECT_EQ(read.records[2].record.kind, RecordKind::Files);
  EXPECT_EQ(read.records[2].record.text, files.text);
  EXPECT_EQ(read.records[3].record.target, IdOf(1));
  EXPECT_EQ(read.records[4].record.kind, RecordKind::ClearAll);
  EXPECT_EQ(read.records[4].record.orderingMs, 5000u);
  EXPECT_EQ(read.records[5].record.phrases, phrases.phrases);
}

TEST(SyncJournal, ALongPcNameIsShortenedBetweenCharacters) {
  const StandInSealer key;
  std::string name;
  for (int i = 0; i < 400; ++i) name += "名";  // 3 bytes each
  const JournalRead read = ReadWhole(Journal(key, 1, name).bytes, key);
  ASSERT_EQ(read.status, JournalStatus::UpToDate);
  EXPECT_EQ(read.state.header.pcName, name.substr(0, 1023));
}

TEST(SyncJournal, ATenMegabyteTextReadsBackWhole) {
  const StandInSealer key;
  std::string large(10u << 20, 'x');
  for (std::size_t i = 0; i < large.size(); i += 4099) large[i] = static_cast<char>('a' + i % 26);
  const JournalRead read = ReadWhole(Journal(key, 1).Add(TextRecord(1, large)).bytes, key);
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_TRUE(read.records[0].record.text == large);
}

TEST(SyncJournal, AJournalCutAnywhereWaitsForTheRestWithTheWholeRecordsRead) {
  const StandInSealer key;
  Journal journal(key, 1);
  journal.Add(TextRecord(1, "one")).Add(TextRecord(2, "two")).Add(TextRecord(3, "three"));
  const Bytes beforeLast(journal.bytes.begin(), journal.bytes.begin() + static_cast<std::ptrdiff_t>(journal.recordStarts.back()));
  EXPECT_EQ(ReadWhole(beforeLast, key).status, JournalStatus::UpToDate) << "cut between records";
  for (std::size_t size = journal.recordStarts.back() + 1; size < journal.bytes.size(); ++size) {
    const Bytes cut(journal.bytes.begin(), journal.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    const JournalRead read = ReadWhole(cut, key);
    EXPECT_EQ(read.status, JournalStatus::Waiting) << "cut at " << size;
    EXPECT_FALSE(read.reportNow);
    EXPECT_EQ(Texts(read), (std::vector<std::string>{"one", "two"})) << "cut at " << size;
    EXPECT_EQ(read.state.offset, journal.recordStarts.back());
  }
  for (std::size_t size = 0; size < journal.header.size(); ++size) {
    const Bytes cut(journal.bytes.begin(), journal.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(ReadWhole(cut, key).status, JournalStatus::Waiting) << "header cut at " << size;
  }
  // Its full size there, the rest still zeros (a copier that sets the size
  // first): waited for as well.
  for (std::size_t size = journal.recordStarts.back(); size + 4 <= journal.bytes.size(); ++size) {
    Bytes filling = journal.bytes;
    std::fill(filling.begin() + static_cast<std::ptrdiff_t>(size), filling.end(), std::uint8_t{0});
    const JournalRead read = ReadWhole(filling, key);
    EXPECT_EQ(read.status, JournalStatus::Waiting) << "written up to " << size;
    EXPECT_FALSE(read.reportNow);
    EXPECT_EQ(Texts(read), (std::vector<std::string>{"one", "two"})) << "written up to " << size;
  }
}

TEST(SyncJournal, AChangedByteStopsTheReadAtItsRecordAndIsReportedOnce) {
  const StandInSealer key;
  Journal journal(key, 1);
  journal.Add(TextRecord(1, "one")).Add(TextRecord(2, "two")).Add(TextRecord(3, "three"));
  Bytes damaged = journal.bytes;
  damaged[journal.recordStarts[1] + 9] ^= 0x04;

  const JournalRead read = ReadWhole(damaged, key);
  EXPECT_EQ(read.status, JournalStatus::Damaged);
  EXPECT_TRUE(read.reportNow);
  EXPECT_EQ(Texts(read), std::vector<std::string>{"one"}) << "nothing after the damage";
  EXPECT_EQ(read.state.offset, journal.recordStarts[1]);

  const Bytes rest(damaged.begin() + static_cast<std::ptrdiff_t>(ReadStart(read.state)), damaged.end());
  const JournalRead again = ReadJournal(rest, key, read.state);
  EXPECT_EQ(again.status, JournalStatus::Damaged);
  EXPECT_FALSE(again.reportNow) << "the same damage, read again";
  EXPECT_TRUE(again.records.empty());

  // The engine brings a sound copy: it reads on, and later damage is news.
  Bytes sound = journal.bytes;
  sound[journal.recordStarts[2] + 9] ^= 0x04;
  const Bytes soundRest(sound.begin() + static_cast<std::ptrdiff_t>(ReadStart(again.state)), sound.end());
  const JournalRead repaired = ReadJournal(soundRest, key, again.state);
  EXPECT_EQ(Texts(repaired), std::vector<std::string>{"two"});
  EXPECT_TRUE(repaired.reportNow);
}

TEST(SyncJournal, ARecordOpensOnlyInItsOwnPlaceOfItsOwnJournal) {
  const StandInSealer key;
  Journal first(key, 1);
  first.Add(TextRecord(1, "one")).Add(TextRecord(2, "two"));
  const Bytes recordOne(first.bytes.begin() + static_cast<std::ptrdiff_t>(first.recordStarts[0]),
                        first.bytes.begin() + static_cast<std::ptrdiff_t>(first.recordStarts[1]));
  const Bytes recordTwo(first.bytes.begin() + static_cast<std::ptrdiff_t>(first.recordStarts[1]), first.bytes.end());

  Bytes swapped = first.header;
  swapped.insert(swapped.end(), recordTwo.begin(), recordTwo.end());
  swapped.insert(swapped.end(), recordOne.begin(), recordOne.end());
  EXPECT_EQ(ReadWhole(swapped, key).status, JournalStatus::Damaged) << "records swapped";

  Bytes skipped = first.header;
  skipped.insert(skipped.end(), recordTwo.begin(), recordTwo.end());
  EXPECT_EQ(ReadWhole(skipped, key).status, JournalStatus::Damaged) << "the first record dropped";

  Bytes otherPc = Journal(key, 2).header;
  otherPc.insert(otherPc.end(), recordOne.begin(), recordOne.end());
  EXPECT_EQ(ReadWhole(otherPc, key).status, JournalStatus::Damaged) << "another installation's journal";

  Bytes renamed = Journal(key, 1, "別のPC").header;
  renamed.insert(renamed.end(), recordOne.begin(), recordOne.end());
  EXPECT_EQ(ReadWhole(renamed, key).status, JournalStatus::Damaged) << "the PC's name changed in the header";

  EXPECT_EQ(Texts(ReadWhole(first.bytes, key)), (std::vector<std::string>{"one", "two"}));
}

TEST(SyncJournal, ALengthPastTheLargestRecordIsDamageNotARecordOnItsWay) {
  const StandInSealer key;
  Journal journal(key, 1);
  journal.Add(TextRecord(1, "one"));
  Bytes bytes = journal.bytes;
  const std::uint32_t huge = static_cast<std::uint32_t>(kLargestSealedRecord + 1);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(huge >> (8 * i)));
  bytes.push_back(0);
  const JournalRead read = ReadWhole(bytes, key);
  EXPECT_EQ(read.status, JournalStatus::Damaged);
  EXPECT_EQ(Texts(read), std::vector<std::string>{"one"});

  bytes.resize(journal.bytes.size() + 4, 0);  // a length of 0
  EXPECT_EQ(ReadWhole(bytes, key).status, JournalStatus::Damaged);
}

TEST(SyncJournal, JournalsItCannotReadAreLeftAloneAndSayWhy) {
  const StandInSealer key;
  const Journal journal = Journal(key, 1).Add(TextRecord(1, "one"));

  Bytes newer = journal.bytes;
  newer[kJournalMagic.size()] = kJournalFormat + 1;
  const JournalRead newerRead = ReadWhole(newer, key);
  EXPECT_EQ(newerRead.status, JournalStatus::NewerFormat);
  EXPECT_TRUE(newerRead.reportNow);
  EXPECT_TRUE(newerRead.records.empty());
  EXPECT_FALSE(ReadJournal(newer, key, newerRead.state).reportNow) << "said once";

  Bytes otherSeal = journal.bytes;
  otherSeal[kJournalMagic.size() + 2] = 2;
  EXPECT_EQ(ReadWhole(otherSeal, key).status, JournalStatus::NewerFormat);

  const StandInSealer otherKey(2);
  EXPECT_EQ(ReadWhole(journal.bytes, otherKey).status, JournalStatus::OtherKey);

  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'};
  EXPECT_EQ(ReadWhole(text, key).status, JournalStatus::NotJournal);
  Bytes formatZero = journal.bytes;
  formatZero[kJournalMagic.size()] = 0;
  EXPECT_EQ(ReadWhole(formatZero, key).status, JournalStatus::NotJournal);
}

TEST(SyncJournal, ReadingOnFromASavedStateReadsOnlyWhatCameSince) {
  const StandInSealer key;
  Journal journal(key, 1);
  journal.Add(TextRecord(1, "one")).Add(TextRecord(2, "two"));
  const JournalRead first = ReadWhole(journal.bytes, key);
  ASSERT_EQ(first.records.size(), 2u);

  journal.Add(TextRecord(3, "three")).Add(TextRecord(4, "four"));
  const std::size_t halfOfFour = journal.recordStarts[3] + 6;
  const Bytes partial(journal.bytes.begin() + static_cast<std::ptrdiff_t>(ReadStart(first.state)),
                      journal.bytes.begin() + static_cast<std::ptrdiff_t>(halfOfFour));
  const JournalRead second = ReadJournal(partial, key, first.state);
  EXPECT_EQ(second.status, JournalStatus::Waiting);
  EXPECT_EQ(Texts(second), std::vector<std::string>{"three"});
  ASSERT_EQ(second.records.size(), 1u);
  EXPECT_EQ(second.records[0].sequence, 3u);

  const Bytes rest(journal.bytes.begin() + static_cast<std::ptrdiff_t>(ReadStart(second.state)), journal.bytes.end());
  const JournalRead third = ReadJournal(rest, key, second.state);
  EXPECT_EQ(third.status, JournalStatus::UpToDate);
  EXPECT_EQ(Texts(third), std::vector<std::string>{"four"});
  EXPECT_EQ(third.records[0].sequence, 4u);
  EXPECT_TRUE(ReadJournal(Bytes{}, key, third.state).records.empty());
}

// A PC's own journal as a long use leaves it, record by record, each with
// the bytes it takes.
std::vector<JournalRecord> OwnRecords(std::initializer_list<std::pair<SyncRecord, std::uint64_t>> records) {
  std::vector<JournalRecord> journal;
  for (const auto& [record, bytes] : records) journal.push_back({journal.size() + 1, record, bytes});
  return journal;
}

SyncRecord Of(RecordKind kind, std::uint8_t id, std::uint64_t ordering, std::uint8_t target = 0) {
  SyncRecord record = TextRecord(id, "", ordering);
  record.kind = kind;
  record.target = IdOf(target);
  return record;
}

TEST(SyncJournal, CompactionKeepsWhatAnotherPcMayStillNeedAndNothingElse) {
  constexpr std::uint64_t kLarge = 3u << 20;
  const std::vector<JournalRecord> records = OwnRecords({
      {Of(RecordKind::Text, 1, 1000), 100},             // 0: cleared
      {Of(RecordKind::Phrases, 2, 1010), 200},          // 1: replaced by a later set
      {Of(RecordKind::Removal, 3, 1015, 1), 60},        // 2: before the clear-all, which covers it
      {Of(RecordKind::ClearAll, 4, 1020), 60},          // 3: the latest clear-all
      {Of(RecordKind::Picture, 5, 1030), kLarge},       // 4: removed here
      {Of(RecordKind::Removal, 6, 1040, 5), 60},        // 5: kept: another PC may not have read it yet
      {Of(RecordKind::Removal, 7, 1050, 0xB0), 60},     // 6: kept: of another PC's copy
      {Of(RecordKind::Text, 8, 1060), 100},             // 7: past the copies kept
      {Of(RecordKind::Text, 9, 1070), 100},             // 8
      {Of(RecordKind::Files, 10, 1080), 100},           // 9
      {Of(RecordKind::Phrases, 11, 1090), 200},         // 10: the set in force
  });
  EXPECT_EQ(RecordsToKeep(records, 2), (std::vector<std::size_t>{3, 5, 6, 8, 9, 10}));
  EXPECT_EQ(RecordsToKeep(records, 1000), (std::vector<std::size_t>{3, 5, 6, 7, 8, 9, 10}));

  // Not worth a rewrite: little to drop, or less than half the journal.
  std::vector<JournalRecord> small = records;
  small[4].bytes = 1000;
  EXPECT_FALSE(RecordsToKeep(small, 2));
  std::vector<JournalRecord> mostlyKept = records;
  mostlyKept[8].bytes = 2 * kLarge;
  EXPECT_FALSE(RecordsToKeep(mostlyKept, 2));
  // A record of a later version: what it means cannot be weighed here.
  std::vector<JournalRecord> later = records;
  later[7].record.kind = RecordKind::Unknown;
  EXPECT_FALSE(RecordsToKeep(later, 2));
}

TEST(SyncJournal, AJournalWrittenAnewIsToldAsReplacedEvenOnceLongerThanWhatWasRead) {
  const StandInSealer key;
  Journal old(key, 1);
  old.Add(TextRecord(1, "one", 1000)).Add(TextRecord(2, "two", 1001)).Add(TextRecord(3, "three", 1002));
  const JournalRead read = ReadWhole(old.bytes, key);
  ASSERT_EQ(read.records.size(), 3u);

  // Compacted by its PC, then grown past where the read stopped.
  Journal anew(key, 1);
  anew.Add(TextRecord(3, "three", 1002));
  for (std::uint8_t id = 4; anew.bytes.size() < old.bytes.size() + 100; ++id) anew.Add(TextRecord(id, "more", 1000 + id));
  const Bytes fromReadStart(anew.bytes.begin() + static_cast<std::ptrdiff_t>(ReadStart(read.state)), anew.bytes.end());
  const JournalRead onNew = ReadJournal(fromReadStart, key, read.state);
  EXPECT_EQ(onNew.status, JournalStatus::Replaced);
  EXPECT_TRUE(onNew.records.empty());
  EXPECT_FALSE(onNew.reportNow) << "no damage";
  EXPECT_EQ(ReadWhole(anew.bytes, key).records.size(), anew.recordStarts.size()) << "read anew, it reads whole";

  // Written anew when only its header had been read: the header is the same,
  // and so is where its records start.
  const JournalRead headerOnly = ReadWhole(old.header, key);
  const Bytes afterHeader(anew.bytes.begin() + static_cast<std::ptrdiff_t>(ReadStart(headerOnly.state)),
                          anew.bytes.end());
  EXPECT_EQ(ReadJournal(afterHeader, key, headerOnly.state).records.size(), anew.recordStarts.size());
}

TEST(SyncJournal, RecordBytesCutOrPaddedDoNotDecode) {
  SyncRecord phrases = TextRecord(6, "");
  phrases.kind = RecordKind::Phrases;
  phrases.phrases = {{PhraseKind::Text, "a", "b", nullptr}, {PhraseKind::Picture, "c", "", Png({1})}};
  const Bytes whole = EncodeRecord(phrases);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    EXPECT_FALSE(DecodeRecord(ByteSpan(whole.data(), size))) << "cut at " << size;
  }
  Bytes padded = whole;
  padded.push_back(0);
  EXPECT_FALSE(DecodeRecord(padded));
}

TEST(SyncJournal, AKindOfRecordFromALaterVersionIsReadAsUnknownNotDamage) {
  Bytes later = EncodeRecord(TextRecord(1, "anything"));
  later[0] = 99;
  later.push_back(42);
  const std::optional<SyncRecord> record = DecodeRecord(later);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->kind, RecordKind::Unknown);
  EXPECT_EQ(record->id, IdOf(1));
}

TEST(SyncJournal, TheSealerRefusingOrARecordTooLargeWritesNothing) {
  StandInSealer key;
  const Bytes header = JournalHeaderBytes(IdOf(1), "pc", key);
  key.sealFails = true;
  EXPECT_FALSE(AppendRecordBytes(key, header, 1, TextRecord(1, "x")));
  key.sealFails = false;
  EXPECT_FALSE(AppendRecordBytes(key, header, 1, TextRecord(1, std::string(kLargestSharedData + 1, 'x'))));
  EXPECT_TRUE(AppendRecordBytes(key, header, 1, TextRecord(1, "x")));
}

TEST(SyncJournal, OrderingTimeGoesOnFromThePreviousWhateverTheClockSays) {
  const std::uint64_t last = 1'765'000'000'000;
  EXPECT_EQ(NextOrderingTime(last, last + 5000), last + 5000) << "a clock ahead of the last record";
  EXPECT_EQ(NextOrderingTime(last, last), last + 1);
  EXPECT_EQ(NextOrderingTime(last, last - 3600 * 1000), last + 1) << "a clock an hour behind";
  EXPECT_EQ(NextOrderingTime(0, 0), 1u);
  EXPECT_EQ(NextOrderingTime(UINT64_MAX, 5), UINT64_MAX);
}

}  // namespace
}  // namespace rtrillex
