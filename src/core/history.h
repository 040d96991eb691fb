// The session's history: every line the clipboard watch records ("hh:nn:ss",
// a TAB, the whole entry), oldest first. Each line has an id that stays its
// own while it lives, so that the list, the menu of recent copies and any
// other view refer to a line by id; a removed line's id is found no more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "entry.h"
#include "history_store.h"

namespace rtrillex {

using HistoryId = std::uint64_t;

class History {
 public:
  // The new line's id, greater than every id given before. `copiedAt`: the
  // date and time of its time stamp.
  HistoryId Add(std::wstring line, LocalSeconds copiedAt = 0, AttachmentPtr attachment = nullptr);
  struct OlderLine {
    std::wstring line;
    LocalSeconds copiedAt;
    AttachmentPtr attachment;
  };
  // Lines older than every line here (kept from earlier runs), oldest first,
  // put before them; their ids, in the same order, are below every id here.
  std::vector<HistoryId> InsertOlder(std::vector<OlderLine> older);
  void Clear() { lines_.clear(); }
  // False when no line has that id (any more).
  bool Remove(HistoryId id);
  // What the line holds besides its text, once it is known (a picture read
  // after its line was made); false when the line is gone.
  bool SetAttachment(HistoryId id, AttachmentPtr attachment);
  // The line, or nullptr when it is gone. Valid until the history changes.
  const std::wstring* Find(HistoryId id) const;
  // Where the line stands, oldest first; size() when it is gone.
  std::size_t PositionOf(HistoryId id) const;
  HistoryId IdAt(std::size_t position) const { return lines_[position].id; }
  const std::wstring& LineAt(std::size_t position) const { return lines_[position].text; }
  LocalSeconds CopiedAtAt(std::size_t position) const { return lines_[position].copiedAt; }
  // 0 when the line is gone or its date is not known.
  LocalSeconds CopiedAtOf(HistoryId id) const;
  // What the line holds besides its text; null for a text, or a line gone.
  AttachmentPtr AttachmentOf(HistoryId id) const;
  const AttachmentPtr& AttachmentAt(std::size_t position) const { return lines_[position].attachment; }
  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  // The ids of the newest `count` lines at most, newest first.
  std::vector<HistoryId> Newest(std::size_t count) const;

 private:
  struct Line {
    HistoryId id;
    std::wstring text;
    LocalSeconds copiedAt;
    AttachmentPtr attachment;
  };
  std::vector<Line> lines_;  // in the order of their ids
  // The session's lines count up from here, older lines down: both fit the
  // 32 bits a list box item holds.
  static constexpr HistoryId kFirstSessionId = HistoryId{1} << 30;
  HistoryId nextId_ = kFirstSessionId;
  HistoryId lowestId_ = kFirstSessionId;
};

}  // namespace rtrillex
