#include "clipboard_change.h"

#include <algorithm>

namespace rtrillex {

ChangeReaction ReactionTo(std::int32_t formatMask) {
  switch (formatMask) {
    case 1:
      return {ChangeKind::Text, {430, 492}, L"", true};
    case 2:
    case 4:
    case 6:
      return {ChangeKind::Image, {0, 0}, kImageTag, true};
    case 3:
    case 5:
    case 7:
      return {ChangeKind::TextAndImage, {330, 0}, kTextAndImageTag, true};
    case 8:
    case 9:
      return {ChangeKind::RichText, {392, 0}, kRichTextTag, true};
    default:
      return {ChangeKind::Nothing, {0, 0}, L"", false};
  }
}

std::wstring HistoryLine(TimeOfDay time, std::wstring_view entry) {
  std::wstring line;
  line.reserve(kHistoryPrefixLength + entry.size());
  for (int part : {time.hour, time.minute, time.second}) {
    if (!line.empty()) line += L':';
    line += static_cast<wchar_t>(L'0' + part / 10 % 10);
    line += static_cast<wchar_t>(L'0' + part % 10);
  }
  line += L'\t';
  line += entry;
  return line;
}

std::wstring HistoryLineFrom(TimeOfDay time, std::wstring&& entry) {
  entry.insert(0, HistoryLine(time, std::wstring_view()));
  return std::move(entry);
}


std::wstring_view EntryIn(std::wstring_view historyLine) {
  return historyLine.substr(std::min(historyLine.size(), kHistoryPrefixLength));
}

}  // namespace rtrillex
