#include "history.h"

#include <algorithm>

namespace rtrillex {

HistoryId History::Add(std::wstring line, LocalSeconds copiedAt, AttachmentPtr attachment) {
  lines_.push_back({nextId_, std::move(line), copiedAt, std::move(attachment)});
  return nextId_++;
}

std::vector<HistoryId> History::InsertOlder(std::vector<OlderLine> older) {
  std::vector<HistoryId> ids;
  if (older.size() >= lowestId_) return ids;
  std::vector<Line> lines;
  lines.reserve(older.size() + lines_.size());
  HistoryId id = lowestId_ - older.size();
  lowestId_ = id;
  for (OlderLine& line : older) {
    ids.push_back(id);
    lines.push_back({id++, std::move(line.line), line.copiedAt, std::move(line.attachment)});
  }
  for (Line& line : lines_) lines.push_back(std::move(line));
  lines_ = std::move(lines);
  return ids;
}

std::size_t History::PositionOf(HistoryId id) const {
  // Ids only grow, so the lines stay sorted by them.
  const auto found =
      std::lower_bound(lines_.begin(), lines_.end(), id, [](const Line& line, HistoryId wanted) { return line.id < wanted; });
  if (found == lines_.end() || found->id != id) return lines_.size();
  return static_cast<std::size_t>(found - lines_.begin());
}

bool History::Remove(HistoryId id) {
  const std::size_t position = PositionOf(id);
  if (position == lines_.size()) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

bool History::SetAttachment(HistoryId id, AttachmentPtr attachment) {
  const std::size_t position = PositionOf(id);
  if (position == lines_.size()) return false;
  lines_[position].attachment = std::move(attachment);
  return true;
}

LocalSeconds History::CopiedAtOf(HistoryId id) const {
  const std::size_t position = PositionOf(id);
  return position == lines_.size() ? 0 : lines_[position].copiedAt;
}

AttachmentPtr History::AttachmentOf(HistoryId id) const {
  const std::size_t position = PositionOf(id);
  return position == lines_.size() ? nullptr : lines_[position].attachment;
}

const std::wstring* History::Find(HistoryId id) const {
  const std::size_t position = PositionOf(id);
  return position == lines_.size() ? nullptr : &lines_[position].text;
}

std::vector<HistoryId> History::Newest(std::size_t count) const {
  std::vector<HistoryId> ids;
  for (auto line = lines_.rbegin(); line != lines_.rend() && ids.size() < count; ++line) ids.push_back(line->id);
  return ids;
}

}  // namespace rtrillex
