#include "arrived_copies.h"

#include <algorithm>

namespace rtrillex {

// Merged as two lists each newest first: this PC's lines keep the order its
// menu always gave them (a clock set back does not shuffle them), and each
// arrived copy goes before the first line copied in its second or earlier.
// One placed in the same second as this PC's line was most likely made after
// reading that line's record: a PC whose clock is behind places its copy a
// millisecond after the newest record it read.
std::vector<RecentCopy> MergedByTime(const History& history, const std::vector<HistoryId>& own,
                                     const std::vector<ArrivedCopy>& arrived, const std::vector<std::size_t>& shown,
                                     std::size_t most) {
  std::vector<RecentCopy> copies;
  std::size_t nextOwn = 0, nextArrived = 0;
  while (copies.size() < most && (nextOwn < own.size() || nextArrived < shown.size())) {
    const bool takeArrived =
        nextOwn == own.size() ||
        (nextArrived < shown.size() && arrived[shown[nextArrived]].placedAt >= history.CopiedAtOf(own[nextOwn]));
    if (takeArrived)
      copies.push_back({true, shown[nextArrived++]});
    else
      copies.push_back({false, own[nextOwn++]});
  }
  return copies;
}

LocalSeconds ArrivedPlace(LocalSeconds orderingAt, LocalSeconds shownAt) { return std::min(orderingAt, shownAt); }

bool CopiedAtAbout(LocalSeconds line, LocalSeconds record) { return line + 1 >= record && record + 1 >= line; }

void SortByPlace(std::vector<ArrivedCopy>& arrived) {
  std::stable_sort(arrived.begin(), arrived.end(),
                   [](const ArrivedCopy& a, const ArrivedCopy& b) { return a.placedAt > b.placedAt; });
}

std::vector<RecentCopy> NewestCopies(const History& history, const std::vector<ArrivedCopy>& arrived,
                                     std::size_t most) {
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < arrived.size() && i < most; ++i) shown.push_back(i);
  return MergedByTime(history, history.Newest(most), arrived, shown, most);
}

std::vector<std::size_t> MatchingArrived(const std::vector<ArrivedCopy>& arrived, const SearchQuery& query) {
  std::vector<std::size_t> matching;
  for (std::size_t i = 0; i < arrived.size(); ++i) {
    const ArrivedCopy& copy = arrived[i];
    const std::wstring words = copy.attachment ? AttachmentSearchText(*copy.attachment) : std::wstring();
    if (MatchesAnyOf({copy.text, words, copy.pcName}, query)) matching.push_back(i);
  }
  return matching;
}

}  // namespace rtrillex
