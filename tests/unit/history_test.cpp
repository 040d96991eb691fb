#include "history.h"

#include "arrived_copies.h"

#include <gtest/gtest.h>

namespace rtrillex {
namespace {

TEST(History, LinesKeepTheirIdsWhileOthersGoAndAGoneIdIsFoundNoMore) {
  History history;
  const HistoryId first = history.Add(L"09:00:00\tfirst");
  const HistoryId second = history.Add(L"09:00:01\tsecond");
  const HistoryId third = history.Add(L"09:00:02\tthird");
  const std::vector<HistoryId> shown = history.Newest(20);  // as a menu holds them while open

  EXPECT_TRUE(history.Remove(second));
  EXPECT_FALSE(history.Remove(second));
  EXPECT_EQ(history.Find(second), nullptr);
  EXPECT_EQ(history.PositionOf(second), history.size());
  ASSERT_NE(history.Find(third), nullptr);
  EXPECT_EQ(*history.Find(third), L"09:00:02\tthird");
  EXPECT_EQ(history.PositionOf(third), 1u);
  EXPECT_EQ(shown, (std::vector<HistoryId>{third, second, first}));

  // An id is never given again, not even after the newest line has gone.
  EXPECT_TRUE(history.Remove(third));
  const HistoryId fourth = history.Add(L"09:00:03\tfourth");
  EXPECT_NE(fourth, third);
  EXPECT_EQ(history.Find(third), nullptr);
  EXPECT_EQ(history.Newest(5), (std::vector<HistoryId>{fourth, first}));
}

TEST(History, NewestListsAtMostTheCountAskedForNewestFirst) {
  History history;
  EXPECT_TRUE(history.Newest(20).empty());
  std::vector<HistoryId> ids;
  for (int i = 0; i < 10'000; ++i) ids.push_back(history.Add(L"line"));
  const std::vector<HistoryId> newest = history.Newest(20);
  ASSERT_EQ(newest.size(), 20u);
  EXPECT_EQ(newest.front(), ids[9'999]);
  EXPECT_EQ(newest.back(), ids[9'980]);
}

// Copies from the other PCs go among this PC's by their place, not by the
// time their PC's clock gave them; this PC's own keep their order even where
// a clock was set back.
TEST(History, CopiesFromOtherPcsGoAmongTheNewestByTheirPlace) {
  History history;
  const HistoryId older = history.Add(L"09:00:00\tolder", 5000);
  const HistoryId setBack = history.Add(L"08:00:00\tclock set back", 4000);
  const HistoryId newest = history.Add(L"09:10:00\tnewest", 6000);
  std::vector<ArrivedCopy> arrived(4);
  // Made after this PC's newest by a PC whose clock is an hour behind:
  // placed just after that line's record, in its second.
  arrived[0].copiedAt = 6000 - 3600;
  arrived[0].placedAt = 6000;
  arrived[1].copiedAt = arrived[1].placedAt = 5500;
  // Placed before this PC's lines, though its PC's clock said later.
  arrived[2].copiedAt = 7000;
  arrived[2].placedAt = 3500;
  arrived[3].copiedAt = arrived[3].placedAt = 100;
  const std::vector<RecentCopy> merged = NewestCopies(history, arrived, 20);
  const std::vector<std::pair<bool, std::uint64_t>> order = {
      {true, 0}, {false, newest}, {true, 1}, {false, setBack}, {false, older}, {true, 2}, {true, 3}};
  ASSERT_EQ(merged.size(), order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(merged[i].arrived, order[i].first) << i;
    EXPECT_EQ(merged[i].id, order[i].second) << i;
  }
  EXPECT_EQ(NewestCopies(history, arrived, 2).size(), 2u);
  EXPECT_EQ(NewestCopies(History(), arrived, 20).size(), 4u);

  // The search finds them by their text or their PC's name.
  arrived[0].text = L"東京の住所";
  arrived[0].pcName = L"OFFICE";
  arrived[1].text = L"tokyo office";
  arrived[1].pcName = L"HOME";
  EXPECT_EQ(MatchingArrived(arrived, SearchQuery(L"office")), (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(MatchingArrived(arrived, SearchQuery(L"住所 office")), (std::vector<std::size_t>{0}));
  EXPECT_TRUE(MatchingArrived(arrived, SearchQuery(L"kyoto")).empty());
}

TEST(History, LinesKeptFromEarlierRunsGoBeforeTheSessionsAndAreFoundByTheirIds) {
  History history;
  const HistoryId session = history.Add(L"10:00:00\tnow", 100);
  const std::vector<HistoryId> older = history.InsertOlder({{L"08:00:00\tfirst", 1, nullptr}, {L"09:00:00\tsecond", 2, nullptr}});
  ASSERT_EQ(older.size(), 2u);
  EXPECT_LT(older[0], older[1]);
  EXPECT_LT(older[1], session);
  EXPECT_EQ(history.Newest(5), (std::vector<HistoryId>{session, older[1], older[0]}));
  EXPECT_EQ(*history.Find(older[0]), L"08:00:00\tfirst");
  EXPECT_EQ(history.CopiedAtAt(1), 2);
  EXPECT_TRUE(history.Remove(older[1]));
  EXPECT_EQ(*history.Find(session), L"10:00:00\tnow");
  // Ids fit the 32 bits of a list box item, and later copies still count up.
  EXPECT_LE(history.Add(L"x"), HistoryId{0xFFFFFFFF});
  EXPECT_GT(history.Add(L"y"), session);
}

}  // namespace
}  // namespace rtrillex
