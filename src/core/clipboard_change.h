// How a clipboard change is classified: which formats are present, what that
// means (tones, history entry), and the history line itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace rtrillex {

// Files (a list of paths, as Explorer copies them) counts in no format mask:
// a file copy's line and tones are its own. Png (the registered "PNG" that
// browsers and image programs add) counts as a bitmap when it comes alone.
enum class ClipboardFormat { Text, Bitmap, Dib, RichText, Files, Png };

// Weights of the four formats, summed into the format mask (0 to 15).
inline constexpr std::array<std::pair<ClipboardFormat, int>, 4> kFormatWeights = {{
    {ClipboardFormat::Text, 1},
    {ClipboardFormat::Bitmap, 2},
    {ClipboardFormat::Dib, 4},
    {ClipboardFormat::RichText, 8},
}};

inline constexpr std::wstring_view kImageTag = L"[画像COPY]";
inline constexpr std::wstring_view kTextAndImageTag = L"[TextFile ＆ 画像COPY]";
inline constexpr std::wstring_view kRichTextTag = L"[LichTexit COPY]";

enum class ChangeKind {
  Text,          // plain text only
  Image,         // bitmap and/or device-independent bitmap
  TextAndImage,  // text with an image
  RichText,      // rich text, with or without plain text, no image
  Nothing,       // none of the four formats, or rich text with an image
};

struct ChangeReaction {
  ChangeKind kind;
  std::array<int, 2> tones;  // frequencies in Hz; 0 ends the list
  std::wstring_view tag;     // the history entry for non-text kinds
  bool addsHistoryLine;
};

ChangeReaction ReactionTo(std::int32_t formatMask);

struct TimeOfDay {
  int hour, minute, second;
};

// "hh:nn:ss", a TAB, then the entry unchanged: always 9 characters before the entry.
std::wstring HistoryLine(TimeOfDay time, std::wstring_view entry);
// The same, made in the entry's own memory: a copy of megabytes is not
// copied again (none at all where the entry has room for 9 more characters).
std::wstring HistoryLineFrom(TimeOfDay time, std::wstring&& entry);
inline constexpr std::size_t kHistoryPrefixLength = 9;

// The entry of a history line: everything after the time stamp and the TAB.
// The same in place, for readers of a beginning that must not copy megabytes.
std::wstring_view EntryIn(std::wstring_view historyLine);

}  // namespace rtrillex
