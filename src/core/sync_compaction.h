// When this PC's journal is worth writing anew, and which of its records the
// new one carries. Journals only grow, and the sync engine sends every byte
// to every PC, so a copy removed long ago, a set of fixed phrases replaced
// by a later one or a clear-all covered by a later one would be carried
// forever. A PC rewrites only its own journal, rarely: at most once a start,
// and only when much of it can go.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "sync_journal.h"

namespace rtrillex {

// Less than this to drop, and the journal is left as it is.
inline constexpr std::uint64_t kLeastBytesWorthCompacting = 1u << 20;

// The indexes of `records` (this PC's journal, read whole, in order) that the
// new journal keeps, in their order; nullopt when rewriting is not worth it
// (less than kLeastBytesWorthCompacting or less than half the records'
// bytes to drop) or not safe (a record of a later version, whose meaning
// this one cannot weigh).
//
// Kept: the latest clear-all, and every removal ordered after it (another
// PC may have read a copy and not yet its removal, or the copy is
// another PC's); the latest set of fixed phrases; the newest `copiesKept`
// copies that no removal here and no clear-all hides. Every record dropped
// is ordered before a record kept, so the journal's last ordering time stays.
std::optional<std::vector<std::size_t>> RecordsToKeep(const std::vector<JournalRecord>& records,
                                                      std::size_t copiesKept);

}  // namespace rtrillex
