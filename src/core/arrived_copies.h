// Copies that came from the person's other PCs, as this PC's menu of recent
// copies shows them among its own: each at its place, with its PC's name.
// They are never lines of this PC's history list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "entry.h"
#include "history.h"
#include "history_search.h"
#include "sync_bytes.h"

namespace rtrillex {

struct ArrivedCopy {
  Id16 id{};                  // as every PC knows it
  std::wstring pcName;
  std::wstring text;          // a picture's tag line text
  AttachmentPtr attachment;   // a picture's; null for a text
  LocalSeconds copiedAt = 0;  // its PC's clock, in this PC's local time: shown
  LocalSeconds placedAt = 0;  // where it goes among the copies: ArrivedPlace
};

// Where a copy first shown here at `shownAt` goes among this PC's lines, in
// this PC's local time: at its ordering time, made by its PC after every
// copy it had read whatever its clock said, so that a PC whose clock is
// behind does not sink its new copies; but never above a line copied here
// after it was shown, so that a PC whose clock is ahead (or this PC's,
// behind) does not float it, and every copy placed after it, above them.
LocalSeconds ArrivedPlace(LocalSeconds orderingAt, LocalSeconds shownAt);

// Whether a line of this PC's and one of its shared records are the same
// copy, as far as time tells: the line's time is read as the copy is
// recorded, the record's as it is shared, within a second of it.
bool CopiedAtAbout(LocalSeconds line, LocalSeconds record);

// Newest place first; copies at one place keep their order.
void SortByPlace(std::vector<ArrivedCopy>& arrived);

// An item among the recent copies: a line of this PC's history (`id`) or
// the arrived copy at `id` in the list given.
struct RecentCopy {
  bool arrived = false;
  std::uint64_t id = 0;
};

// This PC's lines `own` and the arrived copies at `shown` (each list newest
// first) as one list, newest first, at most `most` long: a line by its time,
// an arrived copy by its place. At one second the arrived copy comes first.
std::vector<RecentCopy> MergedByTime(const History& history, const std::vector<HistoryId>& own,
                                     const std::vector<ArrivedCopy>& arrived, const std::vector<std::size_t>& shown,
                                     std::size_t most);

// The `most` newest of this PC's lines and of the arrived copies.
std::vector<RecentCopy> NewestCopies(const History& history, const std::vector<ArrivedCopy>& arrived,
                                     std::size_t most);

// The arrived copies whose text, picture words or PC's name hold the
// query's words, in their order.
std::vector<std::size_t> MatchingArrived(const std::vector<ArrivedCopy>& arrived, const SearchQuery& query);

}  // namespace rtrillex
