// The tones: played through the sound device, heard on the test run's own
// sound server, and the system's beeps where there is no sound output.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "clipboard.h"
#include "harness.h"
#include "program_spy.h"
#include "sound.h"

namespace e2e {
namespace {

std::string Describe(const std::vector<HeardTone>& tones) {
  std::ostringstream text;
  for (const HeardTone& tone : tones) text << tone.frequency << " Hz " << tone.milliseconds << " ms; ";
  return text.str();
}

// Wine with no audio driver, as a machine without a sound device or server;
// read by the programs started while it lives.
class NoSoundOutput {
 public:
  NoSoundOutput() { SetAudioDrivers(L""); }
  ~NoSoundOutput() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Audio"); }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Wine\\Drivers";
  static void SetAudioDrivers(const wchar_t* drivers) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return;
    RegSetValueExW(key, L"Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>(drivers),
                   static_cast<DWORD>((wcslen(drivers) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
};

class Tones : public testing::Test {
 protected:
  TestFolder folder;
  std::optional<RunningApp> app;

  void Start(const char* beep) {
    WriteSettings(folder, beep, "0", "0", "1", "60");
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
  }
  void WaitForLines(std::size_t count) {
    EXPECT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() >= count; }));
  }
};

TEST_F(Tones, ATextCopySounds430Then492HzAnImageCopyNothing) {
  Start("1");
  {
    const SoundRecording sound;
    ASSERT_TRUE(sound.available()) << "run the tests through scripts/test.sh, which records their sound";
    PutText(L"tone");
    WaitForLines(1);
    const std::vector<HeardTone> tones = sound.Tones(1000ms);
    ASSERT_EQ(tones.size(), 2u) << Describe(tones);
    EXPECT_EQ(tones[0].frequency, 430);
    EXPECT_NEAR(tones[0].milliseconds, 150, 40);
    EXPECT_EQ(tones[1].frequency, 492);
    EXPECT_NEAR(tones[1].milliseconds, 150, 40);
  }
  const SoundRecording sound;
  ClipboardWriter().Image();
  WaitForLines(2);
  EXPECT_TRUE(sound.Tones(600ms).empty()) << Describe(sound.Tones(600ms));
}

TEST_F(Tones, TheBeepSwitchOffIsSilent) {
  Start("0");
  const SoundRecording sound;
  ASSERT_TRUE(sound.available());
  PutText(L"quiet");
  WaitForLines(1);
  EXPECT_TRUE(sound.Tones(600ms).empty()) << Describe(sound.Tones(600ms));
}

TEST_F(Tones, WithoutASoundServerTheyAreTheSystemsBeeps) {
  const NoSoundOutput none;  // read when the first tone opens the sound output
  Start("1");
  ProgramSpy spy(app->ThreadId());
  ASSERT_TRUE(spy.WaitUntilWatching(app->MainWindow())) << spy.Problem();
  PutText(L"beeped");
  WaitForLines(1);
  ClipboardWriter().Text(L"caption").Image();
  WaitForLines(2);
  WriteSettings(folder, "0", "0", "0", "1", "60");
  PutText(L"switched off");
  WaitForLines(3);
  const std::vector<std::pair<LONG, LONG>> expected = {{430, 150}, {492, 150}, {330, 150}, {430, 0}, {492, 0}};
  EXPECT_EQ(spy.Beeps(), expected);
}

}  // namespace
}  // namespace e2e
