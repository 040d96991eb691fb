// Text at the edges of the program: window text, the ANSI code page that
// stored files and the shell's ANSI records use, and text drawn with marks.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "history_marks.h"

namespace rtrillex {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

std::wstring GetWindowTextOf(HWND window);

// A history list line keeps its tabs; a menu item takes '&' as the sign of its accelerator.
enum class RunText { ListLine, MenuItem };

// Draws `runs` from the left edge of `area` (a list line from its top, a
// menu item centred in its height) in the system's colours for a list or a
// menu, the marks in grey; on a selected line all in the highlight's text colour.
void DrawShownRuns(HDC dc, const RECT& area, const ShownRuns& runs, bool selected, RunText kind);

}  // namespace rtrillex
