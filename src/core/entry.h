// What a history line holds besides its text when the copy was not plain
// text: the files of a file copy, the picture of a picture copy. The menu of
// recent copies and the search show it by its label and put it back whole;
// the history list shows and re-copies the line's text as for any line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "picture.h"

namespace rtrillex {

enum class EntryKind { Text, Picture, Files };

struct PictureData {
  std::uint32_t width = 0, height = 0;
  // The picture as PNG; null while it is being read, or when it could not be.
  std::shared_ptr<const std::vector<std::uint8_t>> png;
  // Small, for the menu and the search; null where there is none.
  std::shared_ptr<const Pixels> thumbnail;
  // Too large to keep (or, beyond kLargestPictureSide, to read): the entry
  // says so instead of losing its picture without a word.
  bool tooLarge = false;
};

struct Attachment {
  EntryKind kind = EntryKind::Text;
  std::vector<std::wstring> files;  // Files: full paths, in the copy's order
  PictureData picture;              // Picture
};
using AttachmentPtr = std::shared_ptr<const Attachment>;

AttachmentPtr FilesAttachment(std::vector<std::wstring> files);
// A picture's; one without PNG yet is still to be read.
AttachmentPtr PictureAttachment(PictureData picture);

// What an entry kept on disk holds besides its text: a file copy's paths
// from its text, a picture with the size its PNG gives (its thumbnail made
// later); null for a text, and for a picture kept without its picture.
AttachmentPtr KeptAttachment(EntryKind kind, std::wstring_view text,
                             std::shared_ptr<const std::vector<std::uint8_t>> png);

// What a file copy's history line holds: its paths, one a line, so that the
// search finds any of their names and a double-click copies them as text.
std::wstring FilesEntry(const std::vector<std::wstring>& files);
// The paths again, from such an entry.
std::vector<std::wstring> FilesOfEntry(std::wstring_view entry);

// What the menu and the search show instead of the line: the first file's
// name and how many more ("report.docx ほか 2 件"), or the picture's size.
std::wstring AttachmentLabel(const Attachment& attachment);

// The words the search finds an entry by besides its line's text.
std::wstring AttachmentSearchText(const Attachment& attachment);

}  // namespace rtrillex
