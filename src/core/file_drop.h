// The list of files a file copy puts on the clipboard (CF_HDROP): a DROPFILES
// header, then the full paths, each ended by a NUL, the list by one more.
// Read from bytes that another program wrote, so every offset is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rtrillex {

// The paths; nullopt when the block is cut short, points outside itself or
// names no file. `fromAnsi` converts a path of a list written in the ANSI
// code page.
std::optional<std::vector<std::wstring>> FilesFromDropBlock(
    const std::uint8_t* data, std::size_t size, const std::function<std::wstring(std::string_view)>& fromAnsi);

// The block for `files` in UTF-16, as Explorer writes it.
std::vector<std::uint8_t> DropBlockFromFiles(const std::vector<std::wstring>& files);

}  // namespace rtrillex
