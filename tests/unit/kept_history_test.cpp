#include "kept_history.h"

#include <gtest/gtest.h>

#include <map>

#include "local_time.h"

namespace rtrillex {
namespace {

// The store as a map of keys, refusing whole batches while told to, and
// never taking a text longer than `largest`.
struct FakeStore : HistoryStore {
  std::map<std::uint64_t, KeptEntry> entries;
  bool opens = true;
  bool refuses = false;
  std::size_t largest = 1'000'000;
  int applied = 0;
  Opened Open(std::size_t newest) override {
    Opened opened;
    opened.result = opens ? OpenResult::Ready : OpenResult::Failed;
    opened.nextKey = entries.empty() ? 1 : entries.rbegin()->first + 1;
    if (!opens) return opened;
    for (const auto& [key, entry] : entries) opened.entries.push_back(entry);
    if (opened.entries.size() > newest)
      opened.entries.erase(opened.entries.begin(), opened.entries.end() - static_cast<std::ptrdiff_t>(newest));
    return opened;
  }
  Applied Apply(const std::vector<StoreChange>& changes) override {
    if (refuses) return {};
    for (std::size_t i = 0; i < changes.size(); ++i)
      if (changes[i].text.size() > largest) return {Applied::Result::CannotKeep, i};
    ++applied;
    for (const StoreChange& change : changes) {
      switch (change.kind) {
        case StoreChange::Kind::Add:
          entries[change.key] = {change.key, change.copiedAt, change.text, change.entryKind, nullptr};
          break;
        case StoreChange::Kind::KeepPicture:
          if (entries.count(change.key)) entries[change.key].picture = change.picture;
          break;
        case StoreChange::Kind::Remove:
          entries.erase(change.key);
          break;
        case StoreChange::Kind::Clear:
          entries.clear();
          break;
        case StoreChange::Kind::Trim:
          while (entries.size() > change.keep) entries.erase(entries.begin());
          break;
        case StoreChange::Kind::KeepArrival:
        case StoreChange::Kind::ForgetArrival:
          break;  // the file's own to keep: its tests hold them
      }
    }
    return {Applied::Result::Done, 0};
  }
  bool DeleteFiles() override { return true; }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& [key, entry] : entries) texts.push_back(entry.text);
    return texts;
  }
};

using Texts = std::vector<std::wstring>;

TEST(KeptHistory, SettingsOnlyForOneAndAWholeNumberElseTheDefaults) {
  EXPECT_TRUE(KeepsHistory(L"1"));
  for (const wchar_t* off : {L"", L"0", L"2", L"yes", L" 1", L"1 "}) EXPECT_FALSE(KeepsHistory(off)) << off;
  EXPECT_EQ(KeptEntriesBound(L"50"), 50u);
  EXPECT_EQ(KeptPictureBytes(L"1048576"), 1048576u);
  EXPECT_EQ(KeptPictureBytes(L"0"), 0u) << "no pictures kept";
  for (const wchar_t* bad : {L"", L"-1", L"1 MB", L"9999999999999999"}) EXPECT_EQ(KeptPictureBytes(bad), kDefaultKeptPictureBytes) << bad;
  for (const wchar_t* bad : {L"", L"0", L"-5", L"1e3", L"many", L"99999999999999999999"})
    EXPECT_EQ(KeptEntriesBound(bad), kDefaultKeptEntries) << bad;
}

TEST(KeptHistory, KeepsTheNewestWithinTheBoundAndForgetsWhatIsRemovedOrCleared) {
  FakeStore store;
  KeptHistory kept(store, 3);
  ASSERT_EQ(kept.Open().result, HistoryStore::OpenResult::Ready);
  for (HistoryId id = 1; id <= 5; ++id) kept.Add(id, static_cast<LocalSeconds>(id), L"copy " + std::to_wstring(id));
  kept.Remove(4);
  kept.Remove(99);  // a line never kept: nothing to remove
  EXPECT_TRUE(kept.Flush());
  EXPECT_EQ(store.applied, 1);  // one transaction for the whole burst
  EXPECT_EQ(store.Texts(), (Texts{L"copy 2", L"copy 3", L"copy 5"}));

  // A restart: the loaded entries, linked to their new ids, can be removed.
  KeptHistory again(store, 3);
  const KeptHistory::Started started = again.Open();
  ASSERT_EQ(started.loaded.size(), 3u);
  EXPECT_EQ(started.loaded.front().text, L"copy 2");
  again.Link({100, 101, 102}, {started.loaded[0].key, started.loaded[1].key, started.loaded[2].key});
  again.Remove(101);
  again.Add(200, 9, L"after the restart");
  EXPECT_TRUE(again.Flush());
  EXPECT_EQ(store.Texts(), (Texts{L"copy 2", L"copy 5", L"after the restart"}));

  again.Add(201, 10, L"gone with the rest");
  again.Clear();
  again.Add(202, 11, L"after the clear");
  EXPECT_TRUE(again.Flush());
  EXPECT_EQ(store.Texts(), (Texts{L"after the clear"}));
}

TEST(KeptHistory, WhatTheStoreRefusesWaitsInOrderAndIsWrittenOnceItCan) {
  FakeStore store;
  store.opens = false;
  KeptHistory kept(store, 10);
  EXPECT_EQ(kept.Open().result, HistoryStore::OpenResult::Failed);
  kept.Add(1, 1, L"while it cannot open");
  EXPECT_FALSE(kept.Flush());
  store.opens = true;
  ASSERT_EQ(kept.Open().result, HistoryStore::OpenResult::Ready);
  store.refuses = true;  // a locked file, a full disk
  kept.Add(2, 2, std::wstring(1'000'000, L'x'));
  kept.Remove(1);
  EXPECT_FALSE(kept.Flush());
  EXPECT_TRUE(kept.HasWaiting());
  store.refuses = false;
  EXPECT_TRUE(kept.Flush());
  EXPECT_FALSE(kept.HasWaiting());
  ASSERT_EQ(store.entries.size(), 1u);
  EXPECT_EQ(store.entries.begin()->second.text.size(), 1'000'000u);  // whole after a refused try

  // A line the store can never take holds up nothing after it: it is told
  // and dropped, and a Delete of it later has nothing to remove.
  kept.Add(3, 3, std::wstring(1'000'001, L'y'));
  kept.Add(4, 4, L"after the huge one");
  EXPECT_TRUE(kept.Flush());
  EXPECT_EQ(kept.TakeNotKept(), std::vector<HistoryId>{3});
  EXPECT_TRUE(kept.TakeNotKept().empty());
  kept.Remove(3);
  EXPECT_TRUE(kept.Flush());
  EXPECT_EQ(store.entries.size(), 2u);
  EXPECT_EQ(store.entries.rbegin()->second.text, L"after the huge one");
}

TEST(KeptHistory, ALineCopiedAfterAClearThatHadToWaitIsRemovedFromTheStoreWhenDeleted) {
  FakeStore store;
  KeptHistory kept(store, 10);
  ASSERT_EQ(kept.Open().result, HistoryStore::OpenResult::Ready);
  kept.Add(1, 1, L"before the clear");
  ASSERT_TRUE(kept.Flush());
  // The clear-all and the copy after it meet a file held by another program,
  // twice, and are written at the third try.
  store.refuses = true;
  kept.Clear();
  kept.Add(2, 2, L"after the clear");
  EXPECT_FALSE(kept.Flush());
  EXPECT_FALSE(kept.Flush());
  store.refuses = false;
  ASSERT_TRUE(kept.Flush());
  ASSERT_EQ(store.Texts(), (Texts{L"after the clear"}));
  // Delete on that line: it must not come back at the next start.
  kept.Remove(2);
  EXPECT_TRUE(kept.Flush());
  EXPECT_EQ(store.Texts(), Texts{});
}

TEST(KeptHistory, AClearAskedForBeforeTheStoreOpensLeavesNothingToLoad) {
  // The file is locked at the start, and the person clears everything before
  // the writer gets to open it: the cleared entries must not come back into
  // the history on screen (from where turning keeping off and on would keep
  // them again).
  FakeStore store;
  store.entries[1] = {1, 10, L"from an earlier run", EntryKind::Text, nullptr};
  store.opens = false;
  KeptHistory kept(store, 10);
  EXPECT_EQ(kept.Open().result, HistoryStore::OpenResult::Failed);
  kept.Clear();
  store.opens = true;
  const KeptHistory::Started started = kept.Open();
  ASSERT_EQ(started.result, HistoryStore::OpenResult::Ready);
  EXPECT_TRUE(started.loaded.empty());
  EXPECT_TRUE(kept.Flush());
  EXPECT_TRUE(store.entries.empty());
}

TEST(KeptHistory, ALoweredBoundLeavesTheStoreWithinItAtTheFirstWrite) {
  // Entries lowered from 5 to 2 between runs: the three older entries show
  // nowhere, so nothing can delete them one by one.
  FakeStore store;
  for (std::uint64_t key = 1; key <= 5; ++key) store.entries[key] = {key, static_cast<LocalSeconds>(key), L"entry", EntryKind::Text, nullptr};
  KeptHistory kept(store, 2);
  const KeptHistory::Started started = kept.Open();
  ASSERT_EQ(started.loaded.size(), 2u);
  kept.Link({100, 101}, {started.loaded[0].key, started.loaded[1].key});
  kept.Remove(101);
  EXPECT_TRUE(kept.Flush());
  EXPECT_LE(store.entries.size(), 2u);
}

TEST(LocalTime, DatesAndTimesGoBothWaysAcrossMonthsYearsAndLeapDays) {
  for (const CalendarDate date : {CalendarDate{1970, 1, 1}, CalendarDate{2024, 2, 29}, CalendarDate{2026, 12, 31},
                                  CalendarDate{2100, 3, 1}, CalendarDate{1969, 12, 31}}) {
    const LocalSeconds at = ToLocalSeconds(date, {23, 59, 58});
    EXPECT_EQ(DateOf(at), date) << DateText(date);
    const TimeOfDay time = TimeOfDayOf(at);
    EXPECT_EQ(time.hour * 3600 + time.minute * 60 + time.second, 86398) << DateText(date);
    EXPECT_EQ(DateOf(at + 2), DateOf(ToLocalSeconds(date, {0, 0, 0}) + 86400)) << DateText(date);
  }
  EXPECT_EQ(ToLocalSeconds({1970, 1, 2}, {0, 0, 1}), 86401);
  EXPECT_EQ(DateText({2026, 1, 5}), L"2026/01/05");
}

}  // namespace
}  // namespace rtrillex
