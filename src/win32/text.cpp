#include "text.h"

namespace rtrillex {

std::string ToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), bytes, nullptr, nullptr);
  return ansi;
}

std::wstring FromAnsi(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), chars);
  return wide;
}

std::wstring GetWindowTextOf(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void DrawShownRuns(HDC dc, const RECT& area, const ShownRuns& runs, bool selected, RunText kind) {
  const int normalText = kind == RunText::ListLine ? COLOR_WINDOWTEXT : COLOR_MENUTEXT;
  const COLORREF textColour = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : normalText);
  const COLORREF markColour = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT);
  SetBkMode(dc, TRANSPARENT);
  int x = area.left;
  for (const ShownRun& run : runs) {
    if (x >= area.right) break;  // the rest would not show
    SetTextColor(dc, run.isMark ? markColour : textColour);
    const int length = static_cast<int>(run.text.size());
    if (kind == RunText::ListLine) {
      // Tab stops count from the line's start, wherever the run begins.
      x += LOWORD(TabbedTextOutW(dc, x, area.top, run.text.data(), length, 0, nullptr, area.left));
      continue;
    }
    RECT place = area;
    place.left = x;
    DrawTextW(dc, run.text.data(), length, &place, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
    RECT extent{};
    DrawTextW(dc, run.text.data(), length, &extent, DT_SINGLELINE | DT_CALCRECT);
    x += extent.right;
  }
}

}  // namespace rtrillex
