// Copies that came from the person's other PCs, as this PC's menu of recent
// copies shows them among its own: each at its time, with its PC's name.
// They are never lines of this PC's history list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "entry.h"
#include "history.h"
#include "sync_bytes.h"

namespace rtrillex {

struct ArrivedCopy {
  Id16 id{};                  // as every PC knows it
  std::wstring pcName;
  std::wstring text;          // a picture's tag line text
  AttachmentPtr attachment;   // a picture's; null for a text
  LocalSeconds copiedAt = 0;  // its PC's clock, in this PC's local time
};

// An item among the recent copies: a line of this PC's history (`id`) or
// the arrived copy at `id` in the list given.
struct RecentCopy {
  bool arrived = false;
  std::uint64_t id = 0;
};

// The `most` newest of this PC's lines and the arrived copies (given newest
// first), newest first by their time; at one time this PC's own come first.
std::vector<RecentCopy> NewestCopies(const History& history, const std::vector<ArrivedCopy>& arrived,
                                     std::size_t most);

}  // namespace rtrillex
