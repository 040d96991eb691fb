#include "arrived_copies.h"

namespace rtrillex {

// Merged as two lists each newest first: this PC's lines keep the order its
// menu always gave them (a clock set back does not shuffle them), and each
// arrived copy goes before the first line older than it.
std::vector<RecentCopy> NewestCopies(const History& history, const std::vector<ArrivedCopy>& arrived,
                                     std::size_t most) {
  const std::vector<HistoryId> own = history.Newest(most);
  std::vector<RecentCopy> copies;
  std::size_t nextOwn = 0, nextArrived = 0;
  while (copies.size() < most && (nextOwn < own.size() || nextArrived < arrived.size())) {
    const bool takeArrived =
        nextOwn == own.size() ||
        (nextArrived < arrived.size() && arrived[nextArrived].copiedAt > history.CopiedAtOf(own[nextOwn]));
    if (takeArrived)
      copies.push_back({true, nextArrived++});
    else
      copies.push_back({false, own[nextOwn++]});
  }
  return copies;
}

}  // namespace rtrillex
