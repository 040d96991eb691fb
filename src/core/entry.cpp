#include "entry.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace rtrillex {
namespace {

std::wstring NameOf(const std::wstring& path) {
  const std::size_t folderEnd = path.find_last_of(L"\\/");
  return folderEnd == std::wstring::npos ? path : path.substr(folderEnd + 1);
}

std::wstring SizeText(const PictureData& picture) {
  return std::to_wstring(picture.width) + L"x" + std::to_wstring(picture.height);
}

}  // namespace

AttachmentPtr FilesAttachment(std::vector<std::wstring> files) {
  auto attachment = std::make_shared<Attachment>();
  attachment->kind = EntryKind::Files;
  attachment->files = std::move(files);
  return attachment;
}

AttachmentPtr PictureAttachment(PictureData picture) {
  auto attachment = std::make_shared<Attachment>();
  attachment->kind = EntryKind::Picture;
  attachment->picture = std::move(picture);
  return attachment;
}

AttachmentPtr KeptAttachment(EntryKind kind, std::wstring_view text,
                             std::shared_ptr<const std::vector<std::uint8_t>> png) {
  switch (kind) {
    case EntryKind::Files:
      return FilesAttachment(FilesOfEntry(text));
    case EntryKind::Picture: {
      // Kept without its picture (past the pictures' bound, or too large to
      // keep), it will never be read: a tag line, not a picture waited for.
      if (!png) return nullptr;
      PictureData picture;
      const std::optional<PictureSize> size = PngSize(*png);
      if (size) picture = {size->width, size->height, std::move(png), nullptr};
      return PictureAttachment(std::move(picture));
    }
    case EntryKind::Text:
      break;
  }
  return nullptr;
}

std::wstring FilesEntry(const std::vector<std::wstring>& files) {
  std::wstring entry;
  for (const std::wstring& path : files) {
    if (!entry.empty()) entry += L"\r\n";
    entry += path;
  }
  return entry;
}

std::vector<std::wstring> FilesOfEntry(std::wstring_view entry) {
  std::vector<std::wstring> files;
  for (std::size_t start = 0; start <= entry.size();) {
    const std::size_t end = std::min(entry.find(L"\r\n", start), entry.size());
    if (end > start) files.emplace_back(entry.substr(start, end - start));
    start = end + 2;
  }
  return files;
}

std::wstring AttachmentLabel(const Attachment& attachment) {
  switch (attachment.kind) {
    case EntryKind::Files: {
      if (attachment.files.empty()) return L"";
      std::wstring label = NameOf(attachment.files.front());
      if (attachment.files.size() > 1) label += L" ほか " + std::to_wstring(attachment.files.size() - 1) + L" 件";
      return label;
    }
    case EntryKind::Picture:
      // Its size once it has been read.
      if (attachment.picture.tooLarge) return L"画像 " + SizeText(attachment.picture) + L"（大きすぎるため保存しません）";
      return attachment.picture.png ? L"画像 " + SizeText(attachment.picture) : L"画像";
    case EntryKind::Text:
      break;
  }
  return L"";
}

std::wstring AttachmentSearchText(const Attachment& attachment) {
  if (attachment.kind != EntryKind::Picture) return L"";
  return attachment.picture.png ? L"画像 image " + SizeText(attachment.picture) : L"画像 image";
}

}  // namespace rtrillex
