#include "settings.h"
#include "sync_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace rtrillex {
namespace {

// A settings file in memory that records every call.
class FakeSettingsFile : public SettingsFile {
 public:
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;
  std::vector<std::wstring> reads;
  std::vector<std::wstring> writes;

  std::wstring Read(std::wstring_view section, std::wstring_view key) override {
    reads.push_back(std::wstring(section) + L"/" + std::wstring(key));
    auto found = values.find({std::wstring(section), std::wstring(key)});
    return found == values.end() ? std::wstring() : found->second;
  }
  void Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) override {
    writes.push_back(std::wstring(section) + L"/" + std::wstring(key) + L"=" + std::wstring(value));
    values[{std::wstring(section), std::wstring(key)}] = value;
  }
};

const std::vector<std::wstring> kFileOrder = {L"CheckBox/Beep", L"CheckBox/Comment", L"CheckBox/Clear",
                                              L"TimeSet/ViewTime", L"TimeSet/ClrTime"};

TEST(FirstRun, SavesTheDefaultsInFileOrder) {
  FakeSettingsFile file;
  SavePanel(file, DefaultPanel());
  EXPECT_EQ(file.writes, (std::vector<std::wstring>{L"CheckBox/Beep=1", L"CheckBox/Comment=1", L"CheckBox/Clear=1",
                                                    L"TimeSet/ViewTime=1", L"TimeSet/ClrTime=60"}));
}

TEST(SavePanel, WritesSwitchesAsDigitsAndDurationsAsTyped) {
  FakeSettingsFile file;
  PanelValues panel;
  panel.beep = false;
  panel.comment = true;
  panel.clear = false;
  panel.viewTime = L" 0.3";
  panel.clrTime = L"そのうち";
  SavePanel(file, panel);
  EXPECT_EQ(file.writes, (std::vector<std::wstring>{L"CheckBox/Beep=0", L"CheckBox/Comment=1", L"CheckBox/Clear=0",
                                                    L"TimeSet/ViewTime= 0.3", L"TimeSet/ClrTime=そのうち"}));
}

TEST(LoadPanel, ReadsAllFiveKeysInFileOrderAndWritesNothing) {
  FakeSettingsFile file;
  file.values = {{{L"CheckBox", L"Beep"}, L"1"}, {{L"CheckBox", L"Comment"}, L"0"}, {{L"CheckBox", L"Clear"}, L"1"},
                 {{L"TimeSet", L"ViewTime"}, L"2"}, {{L"TimeSet", L"ClrTime"}, L"45"}};
  const PanelValues panel = LoadPanel(file);
  EXPECT_EQ(file.reads, kFileOrder);
  EXPECT_TRUE(file.writes.empty());
  EXPECT_TRUE(panel.beep);
  EXPECT_FALSE(panel.comment);
  EXPECT_TRUE(panel.clear);
  EXPECT_EQ(panel.viewTime, L"2");
  EXPECT_EQ(panel.clrTime, L"45");
}

TEST(LoadPanel, ChecksABoxOnlyForTheNumberOne) {
  struct Case {
    const wchar_t* stored;
    bool checked;
  };
  for (const Case c : {Case{L"1", true}, Case{L"01", true}, Case{L"1.0", true}, Case{L" 1 ", true}, Case{L"0", false},
                       Case{L"2", false}, Case{L"-1", false}, Case{L"0.5", false}, Case{L"", false},
                       Case{L"on", false}}) {
    FakeSettingsFile file;
    file.values[{L"CheckBox", L"Beep"}] = c.stored;
    file.values[{L"CheckBox", L"Comment"}] = c.stored;
    file.values[{L"CheckBox", L"Clear"}] = c.stored;
    const PanelValues panel = LoadPanel(file);
    EXPECT_EQ(panel.beep, c.checked) << testing::PrintToString(std::wstring(c.stored));
    EXPECT_EQ(panel.comment, c.checked);
    EXPECT_EQ(panel.clear, c.checked);
  }
}

TEST(LoadPanel, MissingKeysGiveEmptyBoxesAndUncheckedSwitches) {
  FakeSettingsFile file;
  file.values[{L"CheckBox", L"Beep"}] = L"1";
  file.values[{L"TimeSet", L"ViewTime"}] = L"abc";
  const PanelValues panel = LoadPanel(file);
  EXPECT_TRUE(panel.beep);
  EXPECT_FALSE(panel.comment);
  EXPECT_EQ(panel.viewTime, L"abc");
  EXPECT_EQ(panel.clrTime, L"");  // not the design text "30"
}

TEST(LoadPanel, ASwitchStoredAsZeroOneIsSavedBackAsOne) {
  FakeSettingsFile file;
  file.values[{L"CheckBox", L"Beep"}] = L"01";
  SavePanel(file, LoadPanel(file));
  EXPECT_EQ(file.writes.front(), L"CheckBox/Beep=1");
}

TEST(SettingsPath, AppendsTheFileNameWithoutATest) {
  EXPECT_EQ(SettingsPath(L"C:\\Tools\\rTrillex"), L"C:\\Tools\\rTrillex\\Setting.ini");
  EXPECT_EQ(SettingsPath(L"C:\\"), L"C:\\\\Setting.ini");
}

TEST(DirectoryOf, DropsTheFileNameAndKeepsADriveRoot) {
  EXPECT_EQ(DirectoryOf(L"C:\\Tools\\rTrillex\\rTrillex.exe"), L"C:\\Tools\\rTrillex");
  EXPECT_EQ(DirectoryOf(L"C:\\rTrillex.exe"), L"C:\\");
  EXPECT_EQ(DirectoryOf(L"\\\\server\\share\\rTrillex.exe"), L"\\\\server\\share");
  EXPECT_EQ(DirectoryOf(L"rTrillex.exe"), L"");
}


TEST(SyncSettings, ComeBackAsSavedAndAnythingDamagedReadsAsNotSet) {
  FakeSettingsFile file;
  EXPECT_FALSE(LoadSyncSettings(file).on);
  EXPECT_EQ(LoadSyncSettings(file).pictureBytes, kDefaultSharedPictureBytes);

  SyncSettings saved;
  saved.on = true;
  saved.folder = L"D:\\Sync\\共有";
  saved.pcName = L"ノート PC";
  saved.installation = InstallationId{0x00, 0x01, 0xab, 0xff, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xfe};
  saved.protectedKey = {0x00, 0x7f, 0x80, 0xff};
  SaveSyncSettings(file, saved);
  const SyncSettings loaded = LoadSyncSettings(file);
  EXPECT_TRUE(loaded.on);
  EXPECT_EQ(loaded.folder, saved.folder);
  EXPECT_EQ(loaded.pcName, saved.pcName);
  EXPECT_EQ(loaded.installation, saved.installation);
  EXPECT_EQ(loaded.protectedKey, saved.protectedKey);

  // A key cut to an odd length or edited, an id that is not 32 hex digits:
  // asked for again, never used in part.
  for (const wchar_t* key : {L"007f80f", L"007f80fg"}) {
    file.Write(setting::kSyncSection, setting::kSyncKey, key);
    EXPECT_TRUE(LoadSyncSettings(file).protectedKey.empty()) << key;
  }
  file.Write(setting::kSyncSection, setting::kSyncInstallation, L"0001abff");
  EXPECT_FALSE(LoadSyncSettings(file).installation.has_value());
  for (const auto& [text, bytes] : {std::pair{L"1048576", std::uint64_t{1048576}}, {L"8 MB", kDefaultSharedPictureBytes},
                                    {L"-1", kDefaultSharedPictureBytes}, {L"0", std::uint64_t{0}}}) {
    file.Write(setting::kSyncSection, setting::kSyncPictureBytes, text);
    EXPECT_EQ(LoadSyncSettings(file).pictureBytes, bytes) << text;
  }
}

}  // namespace
}  // namespace rtrillex
