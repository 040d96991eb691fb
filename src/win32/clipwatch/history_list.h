// The history and the list box that shows it (List1): the only way lines
// are added, removed or read. The list holds each line's beginning, which
// is all it can show, with the line's id as its item data; it draws each
// line from the history.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "history.h"

namespace rtrillex {

class HistoryList {
 public:
  void Attach(HWND list) { list_ = list; }
  const History& history() const { return history_; }

  // A line too large to keep throws before anything is stored. Its id;
  // nullopt when the list refused it.
  std::optional<HistoryId> Append(std::wstring line, LocalSeconds copiedAt, AttachmentPtr attachment = nullptr);
  // Lines kept from earlier runs, oldest first, put before all others; their ids.
  std::vector<HistoryId> InsertOlder(std::vector<History::OlderLine> older);
  void Clear();
  // What a line holds besides its text, known after it was added.
  void SetAttachment(HistoryId id, AttachmentPtr attachment) { history_.SetAttachment(id, std::move(attachment)); }
  // The selected line, whole; nullopt when none is selected.
  std::optional<std::wstring> SelectedLine() const;
  std::optional<HistoryId> SelectedId() const;
  // Only from the history: the clipboard keeps what it holds. False when it
  // is gone already. The next line takes a selected line's place.
  bool Remove(HistoryId id);
  void Draw(const DRAWITEMSTRUCT& item) const;

 private:
  struct Selection {
    std::size_t index;  // in the list
    HistoryId id;
  };
  std::optional<Selection> Selected() const;

  HWND list_ = nullptr;
  History history_;
};

}  // namespace rtrillex
