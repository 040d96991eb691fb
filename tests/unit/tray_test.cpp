#include "tray.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace rtrillex {
namespace {

std::string AsciiOnly(std::wstring_view text) {
  std::string bytes;
  for (wchar_t c : text) bytes += static_cast<char>(c);
  return bytes;
}

std::int32_t Int32At(const std::array<std::uint8_t, 88>& record, std::size_t offset) {
  return static_cast<std::int32_t>(record[offset] | record[offset + 1] << 8 | record[offset + 2] << 16 |
                                   static_cast<std::uint32_t>(record[offset + 3]) << 24);
}

TEST(TrayRecord, IsTheEightyEightByteAnsiLayoutByteForByte) {
  const NotifyIconData data = FillTrayData(0x00010A2C, 0x7F3300);
  const std::array<std::uint8_t, 88> record = AnsiLayout(data, AsciiOnly);
  EXPECT_EQ(Int32At(record, 0), 88);
  EXPECT_EQ(Int32At(record, 4), 0x00010A2C);
  EXPECT_EQ(Int32At(record, 8), 1);
  EXPECT_EQ(Int32At(record, 12), 7);
  EXPECT_EQ(Int32At(record, 16), 512);
  EXPECT_EQ(Int32At(record, 20), 0x7F3300);
  EXPECT_EQ(record[4], 0x2C);  // little-endian
  EXPECT_EQ(record[5], 0x0A);

  const std::string tip(record.begin() + 24, record.end());
  EXPECT_EQ(tip.substr(0, 8), "rTrillex");
  EXPECT_EQ(tip[8], '\0');
  EXPECT_EQ(tip.substr(9), std::string(55, ' '));  // spaces up to byte 87
}

TEST(TrayRecord, NeverFilledIsAllZero) {
  const std::array<std::uint8_t, 88> record = AnsiLayout(NotifyIconData{}, AsciiOnly);
  for (std::uint8_t byte : record) EXPECT_EQ(byte, 0);
}

TEST(TrayRecord, TheTipIsCutToSixtyFourBytesInTheAnsiCodePage) {
  NotifyIconData data = FillTrayData(1, 2);
  // A converter that doubles every character, as a double-byte code page can.
  const auto doubleByte = [](std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text) bytes.append(2, static_cast<char>(c));
    return bytes;
  };
  const std::array<std::uint8_t, 88> record = AnsiLayout(data, doubleByte);
  EXPECT_EQ(record[24], 'r');
  EXPECT_EQ(record[25], 'r');
  EXPECT_EQ(record[87], 0x20);
}

TEST(TrayReports, OnlyADoubleClickAndTheRightButtonsPressAct) {
  EXPECT_EQ(ActionFor(515), TrayAction::ShowMainWindow);
  EXPECT_EQ(ActionFor(516), TrayAction::OpenMenu);
  for (int message : {512, 513, 514, 517, 518, 0}) EXPECT_EQ(ActionFor(message), TrayAction::None) << message;
}

}  // namespace
}  // namespace rtrillex
