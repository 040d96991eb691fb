// Text at the edges of the program: window text, and the ANSI code page that
// stored files and the shell's ANSI records use.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace rtrillex {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

std::wstring GetWindowTextOf(HWND window);

}  // namespace rtrillex
