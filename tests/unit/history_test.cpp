#include "history.h"

#include "arrived_copies.h"
#include "clipboard_change.h"

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
  history.Add(L"09:00:00\tolder", 5000);
  history.Add(L"08:00:00\tclock set back", 4000);
  history.Add(L"09:10:00\tnewest", 6000);
  const auto arrivedCopy = [](const wchar_t* text, LocalSeconds copiedAt, LocalSeconds orderingAt,
                              LocalSeconds shownAt) {
    ArrivedCopy copy;
    copy.text = text;
    copy.copiedAt = copiedAt;  // shown, never placed by
    copy.placedAt = ArrivedPlace(orderingAt, shownAt);
    return copy;
  };
  // In the order of their places, as the folder gives them.
  std::vector<ArrivedCopy> arrived = {
      // Its PC's clock is an hour ahead: no higher than when it was shown,
      // below the line copied here since.
      arrivedCopy(L"ahead", 5900 + 3600, 5900 + 3600, 5900),
      // Made after this PC's newest line by a PC whose clock is behind:
      // placed a millisecond after that line's record, in its second.
      arrivedCopy(L"behind", 6001 - 3600, 6000, 6002),
      arrivedCopy(L"between", 5500, 5500, 5502),
      arrivedCopy(L"oldest", 100, 100, 5502),
  };
  SortByPlace(arrived);
  std::vector<std::wstring> order;
  for (const RecentCopy& copy : NewestCopies(history, arrived, 20)) {
    order.push_back(copy.arrived ? arrived[static_cast<std::size_t>(copy.id)].text
                                 : std::wstring(EntryIn(*history.Find(copy.id))));
  }
  EXPECT_EQ(order, (std::vector<std::wstring>{L"behind", L"newest", L"ahead", L"between", L"clock set back", L"older",
                                               L"oldest"}));
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
