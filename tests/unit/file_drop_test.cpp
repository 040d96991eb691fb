#include "file_drop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rtrillex {
namespace {

using Paths = std::vector<std::wstring>;
using Block = std::vector<std::uint8_t>;

std::wstring Latin1(std::string_view ansi) { return std::wstring(ansi.begin(), ansi.end()); }

std::optional<Paths> Read(const Block& block) { return FilesFromDropBlock(block.data(), block.size(), Latin1); }

TEST(FileDrop, ReadsBackWhatItWritesAndAListInTheAnsiCodePage) {
  const Paths paths = {L"C:\\work\\report.docx", L"D:\\写真\\夏.png", L"\\\\server\\share\\a b.txt"};
  EXPECT_EQ(Read(DropBlockFromFiles(paths)), paths);

  // As an older program writes it: offset 20, not wide, NUL-separated.
  Block ansi(20, 0);
  ansi[0] = 20;
  for (const char* path : {"C:\\a.txt", "C:\\b.txt"}) {
    ansi.insert(ansi.end(), path, path + std::char_traits<char>::length(path));
    ansi.push_back(0);
  }
  ansi.push_back(0);
  EXPECT_EQ(Read(ansi), (Paths{L"C:\\a.txt", L"C:\\b.txt"}));
}

TEST(FileDrop, ABlockCutShortPointingOutsideOrNamingNothingIsNoList) {
  const Block whole = DropBlockFromFiles({L"C:\\one.txt", L"C:\\two.txt"});
  // Cut anywhere, even just before the list's end: no list, and nothing read beyond the block.
  for (std::size_t size = 0; size < whole.size(); ++size)
    EXPECT_EQ(FilesFromDropBlock(whole.data(), size, Latin1), std::nullopt) << size;
  Block outside = whole;
  outside[0] = 0xFF;
  EXPECT_EQ(Read(outside), std::nullopt);
  Block inHeader = whole;
  inHeader[0] = 4;
  EXPECT_EQ(Read(inHeader), std::nullopt);
  EXPECT_EQ(Read(DropBlockFromFiles({})), std::nullopt);
  EXPECT_EQ(FilesFromDropBlock(nullptr, 0, Latin1), std::nullopt);

  // Any single bit flipped: a list or none, read within the block (the sanitizers watch).
  for (std::size_t bit = 0; bit < whole.size() * 8; ++bit) {
    Block flipped = whole;
    flipped[bit / 8] ^= static_cast<std::uint8_t>(1 << (bit % 8));
    const std::optional<Paths> read = Read(flipped);
    EXPECT_TRUE(!read || !read->empty()) << bit;
  }
}

}  // namespace
}  // namespace rtrillex
