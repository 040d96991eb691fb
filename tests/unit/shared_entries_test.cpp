#include "shared_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rtrillex {
namespace {

Id16 IdOf(std::uint8_t value) {
  Id16 id{};
  id.fill(value);
  return id;
}

// A PC writing its journal: records numbered in order, each placed after
// everything the PC has read (as the program places them).
struct Pc {
  JournalHeader header;
  std::vector<JournalRecord> records;
  std::uint64_t clockMs;

  Pc(std::uint8_t installation, std::string name, std::uint64_t clock) : clockMs(clock) {
    header.installation = IdOf(installation);
    header.pcName = std::move(name);
  }

  SyncRecord& Write(RecordKind kind, std::uint64_t orderingMs) {
    SyncRecord record;
    record.kind = kind;
    record.id = IdOf(static_cast<std::uint8_t>(header.installation[0] * 16 + records.size() + 1));
    record.recordedMs = clockMs;
    record.orderingMs = orderingMs;
    records.push_back({records.size() + 1, record});
    return records.back().record;
  }
  EntryId Copy(const std::string& text, std::uint64_t orderingMs) {
    SyncRecord& record = Write(RecordKind::Text, orderingMs);
    record.text = text;
    return record.id;
  }
  void Remove(const EntryId& target, std::uint64_t orderingMs) { Write(RecordKind::Removal, orderingMs).target = target; }
  void ClearAll(std::uint64_t orderingMs) { Write(RecordKind::ClearAll, orderingMs); }
  void SharePhrases(std::vector<SharedPhrase> phrases, std::uint64_t orderingMs) {
    Write(RecordKind::Phrases, orderingMs).phrases = std::move(phrases);
  }
};

std::vector<std::string> Shown(const SharedEntries& shared) {
  std::vector<std::string> shown;
  for (const SharedEntry* entry : shared.Visible()) shown.push_back(entry->text + "@" + entry->pcName);
  return shown;
}

TEST(SharedEntries, CopiesFromEveryPcAreShownNewestFirstTheSameWhateverTheReadOrder) {
  Pc desk(1, "desk", 0), laptop(2, "laptop", 0);
  desk.Copy("a", 100);
  laptop.Copy("b", 200);
  desk.Copy("c", 300);
  laptop.Copy("tie-laptop", 400);
  desk.Copy("tie-desk", 400);
  SharedEntries deskFirst, laptopFirst;
  deskFirst.Add(desk.header, desk.records);
  deskFirst.Add(laptop.header, laptop.records);
  laptopFirst.Add(laptop.header, laptop.records);
  laptopFirst.Add(desk.header, desk.records);
  const std::vector<std::string> expected = {"tie-laptop@laptop", "tie-desk@desk", "c@desk", "b@laptop", "a@desk"};
  EXPECT_EQ(Shown(deskFirst), expected) << "a tie goes to the greater installation id";
  EXPECT_EQ(Shown(laptopFirst), expected);
  EXPECT_EQ(deskFirst.LatestOrderingTime(), 400u);
}

TEST(SharedEntries, ACopyReadTwiceIsShownOnce) {
  Pc desk(1, "desk", 0);
  desk.Copy("a", 100);
  desk.Copy("b", 200);
  SharedEntries shared;
  EXPECT_TRUE(shared.Add(desk.header, desk.records));
  // A conflict copy of the journal, with one record more than the journal.
  Pc conflictCopy = desk;
  conflictCopy.Copy("c", 300);
  EXPECT_TRUE(shared.Add(conflictCopy.header, conflictCopy.records));
  EXPECT_FALSE(shared.Add(desk.header, desk.records)) << "nothing new";
  EXPECT_EQ(Shown(shared), (std::vector<std::string>{"c@desk", "b@desk", "a@desk"}));
}

TEST(SharedEntries, ARemovalHidesItsCopyOnEveryPcWhicheverIsReadFirst) {
  Pc desk(1, "desk", 0), laptop(2, "laptop", 0);
  const EntryId a = desk.Copy("a", 100);
  desk.Copy("b", 200);
  laptop.Remove(a, 300);
  SharedEntries entryFirst, removalFirst;
  entryFirst.Add(desk.header, desk.records);
  EXPECT_TRUE(entryFirst.Add(laptop.header, laptop.records));
  removalFirst.Add(laptop.header, laptop.records);
  removalFirst.Add(desk.header, desk.records);
  EXPECT_EQ(Shown(entryFirst), std::vector<std::string>{"b@desk"});
  EXPECT_EQ(Shown(removalFirst), std::vector<std::string>{"b@desk"});
  // Told as hidden once either way, and not again when read anew.
  for (SharedEntries* shared : {&entryFirst, &removalFirst}) {
    const std::vector<SharedEntry> hidden = shared->TakeHidden();
    ASSERT_EQ(hidden.size(), 1u);
    EXPECT_EQ(hidden[0].text, "a");
    shared->Add(desk.header, desk.records);
    EXPECT_TRUE(shared->TakeHidden().empty());
  }
}

TEST(SharedEntries, AClearAllHidesTheCopiesPlacedUpToItOnEveryPcAndNoneAfter) {
  Pc desk(1, "desk", 0), laptop(2, "laptop", 0);
  desk.Copy("before", 100);
  laptop.Copy("at", 200);
  desk.ClearAll(200);
  laptop.Copy("after", 201);
  desk.Copy("later", 300);
  for (const bool clearReadFirst : {false, true}) {
    SharedEntries shared;
    if (clearReadFirst) shared.Add(desk.header, desk.records);
    shared.Add(laptop.header, laptop.records);
    shared.Add(desk.header, desk.records);
    EXPECT_EQ(Shown(shared), (std::vector<std::string>{"later@desk", "after@laptop"})) << clearReadFirst;
    EXPECT_EQ(shared.TakeHidden().size(), 2u) << "before and at it";
  }
  // An older clear-all read later changes nothing.
  Pc old(3, "old", 0);
  old.ClearAll(150);
  SharedEntries shared;
  shared.Add(desk.header, desk.records);
  shared.Add(laptop.header, laptop.records);
  EXPECT_FALSE(shared.Add(old.header, old.records));
  EXPECT_EQ(Shown(shared).size(), 2u);
}

TEST(SharedEntries, APcWhoseClockIsAnHourBehindStillPutsItsNewCopyOnTop) {
  const std::uint64_t now = 1'765'000'000'000;
  const std::uint64_t hour = 3600 * 1000;
  Pc desk(1, "desk", now), laptop(2, "laptop", now - hour);
  desk.Copy("desk's", now);
  SharedEntries onLaptop;
  onLaptop.Add(desk.header, desk.records);
  laptop.Copy("laptop's", NextOrderingTime(onLaptop.LatestOrderingTime(), laptop.clockMs));
  onLaptop.Add(laptop.header, laptop.records);
  const std::vector<const SharedEntry*> visible = onLaptop.Visible();
  ASSERT_EQ(visible.size(), 2u);
  EXPECT_EQ(visible[0]->text, "laptop's");
  EXPECT_EQ(visible[0]->recordedMs, now - hour) << "its own clock's time, shown as it was";
  EXPECT_EQ(visible[1]->text, "desk's");
}

TEST(SharedEntries, TheLatestPlacedSetOfPhrasesWinsAndNoClearAllTouchesIt) {
  Pc desk(1, "desk", 0), laptop(2, "laptop", 0);
  const std::vector<SharedPhrase> older = {{PhraseKind::Text, "a", "A", nullptr}};
  const std::vector<SharedPhrase> newer = {{PhraseKind::Text, "b", "B", nullptr},
                                           {PhraseKind::Separator, "", "", nullptr},
                                           {PhraseKind::Text, "a", "A", nullptr}};
  desk.SharePhrases(newer, 500);
  laptop.SharePhrases(older, 400);
  laptop.ClearAll(600);
  SharedEntries shared;
  EXPECT_EQ(shared.Phrases(), nullptr) << "none shared yet";
  shared.Add(desk.header, desk.records);
  EXPECT_FALSE(shared.Add(laptop.header, laptop.records)) << "an older set, and a clear-all of no copy";
  ASSERT_NE(shared.Phrases(), nullptr);
  EXPECT_EQ(*shared.Phrases(), newer);
  SharedEntries olderFirst;
  olderFirst.Add(laptop.header, laptop.records);
  EXPECT_EQ(*olderFirst.Phrases(), older);
  EXPECT_TRUE(olderFirst.Add(desk.header, desk.records));
  EXPECT_EQ(*olderFirst.Phrases(), newer);
}

TEST(SharedEntries, ACopyKeptHereComesBackWholeAndDamagedBytesGiveNone) {
  Pc desk(1, "desk", 1700000000123);
  desk.Copy(std::string("a\0b", 3), 100);
  SharedEntries shared;
  shared.Add(desk.header, desk.records);
  const SharedEntry& entry = *shared.Visible().front();
  const std::string kept = EncodeKeptEntry(entry);
  const std::optional<SharedEntry> back = DecodeKeptEntry(kept);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->id, entry.id);
  EXPECT_EQ(back->text, entry.text);
  EXPECT_EQ(back->pcName, "desk");
  EXPECT_EQ(back->recordedMs, 1700000000123u);
  EXPECT_FALSE(back->place < entry.place || entry.place < back->place) << "placed as it was";
  for (std::size_t cut = 0; cut < kept.size(); ++cut) EXPECT_FALSE(DecodeKeptEntry(kept.substr(0, cut))) << cut;
}

TEST(SharedEntries, FileCopiesAndLaterVersionsRecordsAreNotShown) {
  Pc desk(1, "desk", 0);
  desk.Write(RecordKind::Files, 100).text = "C:\\a.txt";
  desk.Write(RecordKind::Unknown, 200);
  desk.Copy("a", 300);
  SharedEntries shared;
  shared.Add(desk.header, desk.records);
  EXPECT_EQ(Shown(shared), std::vector<std::string>{"a@desk"});
}

TEST(SharedEntries, TheSameIdAtTwoPlacesKeepsTheEarlierOnEveryPc) {
  Pc original(1, "original", 0), clone(2, "clone", 0);
  original.Copy("original's", 100);
  clone.Copy("clone's", 50);
  clone.records[0].record.id = original.records[0].record.id;
  SharedEntries originalFirst, cloneFirst;
  originalFirst.Add(original.header, original.records);
  originalFirst.Add(clone.header, clone.records);
  cloneFirst.Add(clone.header, clone.records);
  cloneFirst.Add(original.header, original.records);
  EXPECT_EQ(Shown(originalFirst), std::vector<std::string>{"clone's@clone"});
  EXPECT_EQ(Shown(cloneFirst), std::vector<std::string>{"clone's@clone"});
}

}  // namespace
}  // namespace rtrillex
