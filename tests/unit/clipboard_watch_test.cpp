#include "clipboard_watch.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace rtrillex {
namespace {

// Every fake writes what happens to one shared log, so the order of steps
// across the clipboard, tones, popup and window can be checked.
using Log = std::vector<std::wstring>;

struct FakeClipboard : Clipboard {
  Log& log;
  std::set<ClipboardFormat> formats;
  bool optedOut = false;
  std::optional<std::wstring> text;
  int busyReads = 0;  // reads that fail first, as while another program holds the clipboard
  explicit FakeClipboard(Log& l) : log(l) {}
  bool HasFormat(ClipboardFormat f) override { return formats.count(f) > 0; }
  bool AsksNotToBeMonitored() override { return optedOut; }
  std::optional<std::wstring> ReadText() override {
    log.push_back(L"read");
    if (busyReads > 0) {
      --busyReads;
      return std::nullopt;
    }
    return text;
  }
  void Empty() override { log.push_back(L"empty"); }
  void PutText(std::wstring_view t) override { log.push_back(L"put " + std::wstring(t)); }
};

struct FakeSettings : SettingsFile {
  std::map<std::wstring, std::wstring> switches{{L"Beep", L"1"}, {L"Comment", L"1"}, {L"Clear", L"1"}};
  std::wstring Read(std::wstring_view section, std::wstring_view key) override {
    EXPECT_EQ(section, L"CheckBox");
    auto found = switches.find(std::wstring(key));
    return found == switches.end() ? L"" : found->second;
  }
  void Write(std::wstring_view, std::wstring_view, std::wstring_view) override { ADD_FAILURE() << "no writes"; }
};

struct FakeTones : Tones {
  Log& log;
  explicit FakeTones(Log& l) : log(l) {}
  void Beep(int f, int ms) override { log.push_back(L"beep " + std::to_wstring(f) + L"/" + std::to_wstring(ms)); }
};

struct FakePointer : Pointer {
  ScreenPoint at{300, 200};
  ScreenPoint Position() override { return at; }
};

struct FakeClock : Clock {
  TimeOfDay Now() override { return {9, 5, 7}; }
};

struct FakePopup : TextPopup {
  Log& log;
  explicit FakePopup(Log& l) : log(l) {}
  void SetTop(float t) override { log.push_back(L"top " + std::to_wstring(t)); }
  void SetLeft(float t) override { log.push_back(L"left " + std::to_wstring(t)); }
  void SetCaption(std::wstring_view t) override { log.push_back(L"caption " + std::wstring(t)); }
  void Show() override { log.push_back(L"show"); }
  void Unload() override { log.push_back(L"unload"); }
};

struct FakeWindow : WatchWindow {
  Log& log;
  std::wstring viewTime = L"1", clrTime = L"60";
  std::optional<std::wstring> selected;
  std::vector<std::wstring> history;
  std::wstring current = L"(untouched)";
  bool viewTimer = false, clearTimer = false, retryTimer = false;
  explicit FakeWindow(Log& l) : log(l) {}
  void AppendHistoryLine(const std::wstring& line) override {
    history.push_back(line);
    log.push_back(L"history " + line);
  }
  void SetCurrentContent(std::wstring_view t) override {
    current = t;
    log.push_back(L"current " + std::wstring(t));
  }
  void SetTimerEnabled(WatchTimer timer, bool on) override {
    const std::map<WatchTimer, std::pair<bool*, const wchar_t*>> timers = {
        {WatchTimer::View, {&viewTimer, L"timer1 "}},
        {WatchTimer::Clear, {&clearTimer, L"timer2 "}},
        {WatchTimer::TextRetry, {&retryTimer, L"retry "}}};
    *timers.at(timer).first = on;
    log.push_back(timers.at(timer).second + std::wstring(on ? L"on" : L"off"));
  }
  std::wstring DurationText(WatchTimer timer) override { return timer == WatchTimer::View ? viewTime : clrTime; }
  std::optional<std::wstring> SelectedHistoryLine() override { return selected; }
};

class WatchTest : public testing::Test {
 protected:
  Log log;
  FakeClipboard clipboard{log};
  FakeSettings settings;
  FakeTones tones{log};
  FakePointer pointer;
  FakeClock clock;
  FakePopup popup{log};
  FakeWindow window{log};
  ClipboardWatch watch{{clipboard, settings, tones, pointer, clock, popup, window, {15.0f, 15.0f}}};

  void Copy(std::set<ClipboardFormat> formats, std::optional<std::wstring> text = std::nullopt) {
    clipboard.formats = std::move(formats);
    clipboard.text = std::move(text);
    log.clear();
    watch.ChangeClipBoard();
  }
};

using F = ClipboardFormat;

TEST_F(WatchTest, PlainTextRunsItsStepsInOrder) {
  settings.switches[L"Beep"] = L"1";
  Copy({F::Text}, L"hello");
  EXPECT_EQ(log, (Log{L"beep 430/150", L"beep 492/150", L"top 2625.000000", L"left 4650.000000", L"timer1 on",
                      L"read", L"history 09:05:07\thello", L"caption hello", L"show", L"timer2 on",
                      L"current hello"}));
}

TEST_F(WatchTest, PopupPlacementUsesTheScreensTwipsPerPixel) {
  ClipboardWatch at120{{clipboard, settings, tones, pointer, clock, popup, window, {12.0f, 12.0f}}};
  pointer.at = {5, 10};  // near the top-left corner: the popup goes above the screen, unadjusted
  clipboard.formats = {F::Text};
  clipboard.text = L"x";
  at120.ChangeClipBoard();
  EXPECT_NE(std::find(log.begin(), log.end(), L"top -180.000000"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), L"left 180.000000"), log.end());
}

struct MaskCase {
  std::set<ClipboardFormat> formats;
  int mask;
  Log tones;
  const wchar_t* entry;  // nullptr: no history line
};

TEST_F(WatchTest, EveryFormatMaskHasItsTonesAndEntry) {
  const std::vector<MaskCase> cases = {
      {{}, 0, {}, nullptr},
      {{F::Bitmap}, 2, {}, L"[画像COPY]"},
      {{F::Text, F::Bitmap}, 3, {L"beep 330/150"}, L"[TextFile ＆ 画像COPY]"},
      {{F::Dib}, 4, {}, L"[画像COPY]"},
      {{F::Text, F::Dib}, 5, {L"beep 330/150"}, L"[TextFile ＆ 画像COPY]"},
      {{F::Bitmap, F::Dib}, 6, {}, L"[画像COPY]"},
      {{F::Text, F::Bitmap, F::Dib}, 7, {L"beep 330/150"}, L"[TextFile ＆ 画像COPY]"},
      {{F::RichText}, 8, {L"beep 392/150"}, L"[LichTexit COPY]"},
      {{F::RichText, F::Text}, 9, {L"beep 392/150"}, L"[LichTexit COPY]"},
      {{F::RichText, F::Bitmap}, 10, {}, nullptr},
      {{F::RichText, F::Text, F::Bitmap}, 11, {}, nullptr},
      {{F::RichText, F::Dib}, 12, {}, nullptr},
      {{F::RichText, F::Text, F::Dib}, 13, {}, nullptr},
      {{F::RichText, F::Bitmap, F::Dib}, 14, {}, nullptr},
      {{F::RichText, F::Text, F::Bitmap, F::Dib}, 15, {}, nullptr},
  };
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(c.mask);
    window.history.clear();
    Copy(c.formats, L"ignored");
    Log expected = c.tones;
    if (c.entry) expected.push_back(L"history 09:05:07\t" + std::wstring(c.entry));
    expected.push_back(L"current " + std::wstring(c.entry ? c.entry : L""));
    // Nothing but text touches the popup, the timers or the clipboard's text.
    EXPECT_EQ(log, expected);
  }
}

TEST_F(WatchTest, BeepSwitchOffPlaysTonesOfNoLength) {
  settings.switches[L"Beep"] = L"0";
  Copy({F::Text}, L"a");
  EXPECT_EQ(log[0], L"beep 430/0");
  EXPECT_EQ(log[1], L"beep 492/0");
  Copy({F::RichText}, L"a");
  EXPECT_EQ(log[0], L"beep 392/0");
}

TEST_F(WatchTest, CommentOffStillPlacesThePopupAndStartsItsTimerButShowsNothing) {
  settings.switches[L"Comment"] = L"0";
  Copy({F::Text}, L"a");
  EXPECT_EQ(log, (Log{L"beep 430/150", L"beep 492/150", L"top 2625.000000", L"left 4650.000000", L"timer1 on",
                      L"read", L"history 09:05:07\ta", L"timer2 on", L"current a"}));
}

TEST_F(WatchTest, ClearOffLeavesTheClearTimerAlone) {
  settings.switches[L"Clear"] = L"0";
  watch.ClearTicks = 5;
  Copy({F::Text}, L"a");
  EXPECT_FALSE(window.clearTimer);
  EXPECT_EQ(watch.ClearTicks, 5);
}

TEST_F(WatchTest, SwitchesAreOnOnlyForTheIntegerOne) {
  for (const wchar_t* on : {L"1", L"01", L"1.0", L" 1 ", L"1.4", L"0.6"}) {
    settings.switches[L"Comment"] = on;
    Copy({F::Text}, L"a");
    EXPECT_NE(std::find(log.begin(), log.end(), L"show"), log.end()) << testing::PrintToString(std::wstring(on));
  }
  // Other numbers and text that is no number (a missing key reads as empty) are off, and never stop the run.
  for (const wchar_t* off : {L"0", L"2", L"-1", L"0.5", L"1.5", L"", L"on", L"99999"}) {
    settings.switches[L"Comment"] = off;
    Copy({F::Text}, L"a");
    EXPECT_EQ(std::find(log.begin(), log.end(), L"show"), log.end()) << testing::PrintToString(std::wstring(off));
    EXPECT_EQ(log.back(), L"current a");
  }
  settings.switches.erase(L"Beep");
  Copy({F::Text}, L"a");
  EXPECT_EQ(log[0], L"beep 430/0");
}

TEST_F(WatchTest, ABusyClipboardsTextIsRetriedThenShownInTheSameOrder) {
  clipboard.busyReads = 5;
  Copy({F::Text}, L"late");
  EXPECT_EQ(log, (Log{L"beep 430/150", L"beep 492/150", L"top 2625.000000", L"left 4650.000000", L"timer1 on",
                      L"read", L"retry on"}));
  EXPECT_TRUE(window.history.empty());
  log.clear();
  for (int tick = 0; tick < 5; ++tick) watch.TextRetry_Timer();
  EXPECT_EQ(log, (Log{L"read", L"read", L"read", L"read", L"read", L"retry off", L"history 09:05:07\tlate",
                      L"caption late", L"show", L"timer2 on", L"current late"}));
}

TEST_F(WatchTest, ANewerCopyWinsOverATextStillRetried) {
  clipboard.busyReads = 1000;
  Copy({F::Text}, L"first");
  clipboard.busyReads = 0;
  Copy({F::Text}, L"second");
  EXPECT_EQ(log[0], L"retry off");
  watch.TextRetry_Timer();  // a tick already queued
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\tsecond"}));
  EXPECT_FALSE(window.retryTimer);
}

TEST_F(WatchTest, TextUnreadableForASecondLeavesAnEmptyEntry) {
  clipboard.busyReads = 1000;
  Copy({F::Text}, L"never");
  int ticks = 0;
  while (window.retryTimer && ticks < 1000) {
    watch.TextRetry_Timer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 40);  // one read at once, then 40 more 25 ms apart: about a second
  EXPECT_EQ(window.history.back(), L"09:05:07\t");
  EXPECT_EQ(window.current, L"");
  EXPECT_NE(std::find(log.begin(), log.end(), L"caption "), log.end());
}

TEST_F(WatchTest, TextWithLineBreaksIsOneEntry) {
  Copy({F::Text}, L"一行目\r\n二行目 😀");
  EXPECT_EQ(window.history.back(), L"09:05:07\t一行目\r\n二行目 😀");
  EXPECT_EQ(window.current, L"一行目\r\n二行目 😀");
}

TEST_F(WatchTest, OptedOutCopiesAreTreatedAsAnEmptyClipboard) {
  clipboard.optedOut = true;
  watch.ViewTicks = 4;
  Copy({F::Text}, L"secret");
  EXPECT_EQ(log, (Log{L"current "}));  // no tone, no read, no line, no popup, no timer
  EXPECT_TRUE(window.history.empty());
  EXPECT_EQ(watch.ViewTicks, 4);
}

// Runs ticks of the view timer until it stops or `max` ticks pass; returns the ticks run.
int TicksUntilPopupCloses(ClipboardWatch& watch, FakeWindow& window, Log& log, int max) {
  for (int tick = 1; tick <= max; ++tick) {
    watch.Timer1_Timer();
    if (!window.viewTimer) {
      EXPECT_EQ(log.back(), L"timer1 off");
      return tick;
    }
  }
  return -1;
}

TEST_F(WatchTest, ThePopupClosesAtViewTimeInTenthsOfASecond) {
  struct Case {
    const wchar_t* viewTime;
    int closesAt;  // -1: never
  };
  for (const Case c : {Case{L"1", 10}, Case{L"0.3", 3}, Case{L"1.5", 15}, Case{L"0.15", -1}, Case{L"0", -1},
                       Case{L"-1", -1}, Case{L"０．５", 5}}) {
    window.viewTime = c.viewTime;
    Copy({F::Text}, L"a");
    log.clear();
    EXPECT_EQ(TicksUntilPopupCloses(watch, window, log, 200), c.closesAt) << c.viewTime;
    if (c.closesAt > 0) {
      EXPECT_EQ(log, (Log{L"unload", L"timer1 off"}));
      EXPECT_EQ(watch.ViewTicks, 0);
    }
  }
}

TEST_F(WatchTest, ACopyWhileThePopupShowsRestartsItsLifetime) {
  Copy({F::Text}, L"a");
  for (int i = 0; i < 7; ++i) watch.Timer1_Timer();
  Copy({F::Text}, L"b");
  EXPECT_EQ(watch.ViewTicks, 0);
  log.clear();
  EXPECT_EQ(TicksUntilPopupCloses(watch, window, log, 50), 10);
}

TEST_F(WatchTest, NonTextCopiesNeitherStartNorStopTheTimers) {
  Copy({F::Text}, L"a");
  for (int i = 0; i < 4; ++i) watch.Timer1_Timer();
  Copy({F::Bitmap, F::Dib});
  Copy({});
  EXPECT_EQ(watch.ViewTicks, 4);
  EXPECT_TRUE(window.viewTimer);
  EXPECT_TRUE(window.clearTimer);
}

TEST_F(WatchTest, AutoClearEmptiesTheClipboardAtClrTimeRoundedHalvesToEven) {
  struct Case {
    const wchar_t* clrTime;
    int emptiesAt;  // -1: never
  };
  for (const Case c : {Case{L"30", 30}, Case{L"2.5", 2}, Case{L"3.5", 4}, Case{L"0", -1}, Case{L"-3", -1},
                       Case{L"１２", 12}}) {
    window.clrTime = c.clrTime;
    Copy({F::Text}, L"a");
    log.clear();
    int emptiedAt = -1;
    for (int tick = 1; tick <= 100 && emptiedAt < 0; ++tick) {
      watch.Timer2_Timer();
      if (!window.clearTimer) emptiedAt = tick;
    }
    EXPECT_EQ(emptiedAt, c.emptiesAt) << c.clrTime;
    if (c.emptiesAt > 0) {
      EXPECT_EQ(log, (Log{L"empty", L"timer2 off"}));
      EXPECT_EQ(watch.ClearTicks, 0);
    }
  }
}

TEST_F(WatchTest, DurationsAreReadAtEveryTick) {
  Copy({F::Text}, L"a");
  for (int i = 0; i < 5; ++i) watch.Timer2_Timer();
  window.clrTime = L"6";
  watch.Timer2_Timer();
  EXPECT_FALSE(window.clearTimer);
  // Lowered below the count already reached: no match, the timer counts on.
  Copy({F::Text}, L"a");
  for (int i = 0; i < 5; ++i) watch.Timer2_Timer();
  window.clrTime = L"3";
  for (int i = 0; i < 50; ++i) watch.Timer2_Timer();
  EXPECT_TRUE(window.clearTimer);
  EXPECT_EQ(watch.ClearTicks, 55);
}

TEST_F(WatchTest, ATickWithoutANumberInItsBoxStopsItsTimerAndLeavesThePopup) {
  // Out of range: beyond single precision for the popup, beyond 16 bits for the auto-clear.
  const std::pair<const wchar_t*, const wchar_t*> boxes[] = {{L"", L""}, {L"abc", L"abc"}, {L"1e40", L"99999"}};
  for (const auto& [viewTime, clrTime] : boxes) {
    Copy({F::Text}, L"a");
    watch.Timer1_Timer();
    watch.Timer2_Timer();
    window.viewTime = viewTime;
    window.clrTime = clrTime;
    log.clear();
    watch.Timer1_Timer();
    watch.Timer2_Timer();
    EXPECT_EQ(log, (Log{L"timer1 off", L"timer2 off"})) << testing::PrintToString(std::wstring(clrTime));
    EXPECT_EQ(watch.ViewTicks, 0);
    EXPECT_EQ(watch.ClearTicks, 0);
  }
}

TEST_F(WatchTest, ACounterAtItsLimitStopsItsTimerInsteadOfOverflowing) {
  Copy({F::Text}, L"a");
  watch.ViewTicks = 32766;
  watch.ClearTicks = 32766;
  window.viewTime = L"0";
  window.clrTime = L"0";
  watch.Timer1_Timer();
  watch.Timer2_Timer();
  EXPECT_EQ(watch.ViewTicks, 32767);
  EXPECT_TRUE(window.viewTimer);
  watch.Timer1_Timer();
  watch.Timer2_Timer();
  EXPECT_FALSE(window.viewTimer);
  EXPECT_FALSE(window.clearTimer);
  EXPECT_EQ(watch.ViewTicks, 0);
  EXPECT_EQ(watch.ClearTicks, 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), L"unload"), 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 0);
}

TEST_F(WatchTest, StoppingAStoppedTimerChangesNothing) {
  watch.StopTimer();
  watch.StopTimer2();
  EXPECT_FALSE(window.viewTimer);
  EXPECT_FALSE(window.clearTimer);
  EXPECT_EQ(watch.ViewTicks, 0);
}

TEST_F(WatchTest, DoubleClickPutsTheEntryBackWithoutItsTimeStamp) {
  window.selected = L"09:05:07\t一行目\r\n二行目";
  log.clear();
  watch.List1_DblClick();
  EXPECT_EQ(log, (Log{L"empty", L"put 一行目\r\n二行目"}));

  window.selected = L"09:05:07\t[画像COPY]";
  log.clear();
  watch.List1_DblClick();
  EXPECT_EQ(log, (Log{L"empty", L"put [画像COPY]"}));

  window.selected = L"09:05:07\t";
  log.clear();
  watch.List1_DblClick();
  EXPECT_EQ(log, (Log{L"empty", L"put "}));
}

TEST_F(WatchTest, DoubleClickWithNoLineSelectedLeavesTheClipboardAlone) {
  window.selected = std::nullopt;
  log.clear();
  watch.List1_DblClick();
  EXPECT_TRUE(log.empty());
}

TEST(HistoryLine, IsTheTimeStampATabAndTheEntry) {
  EXPECT_EQ(HistoryLine({9, 5, 7}, L"[画像COPY]"), L"09:05:07\t[画像COPY]");
  EXPECT_EQ(HistoryLine({23, 59, 0}, L""), L"23:59:00\t");
  EXPECT_EQ(HistoryLine({0, 0, 0}, L"x").size(), 10u);
  EXPECT_EQ(EntryOf(L"12:00:00\tabc"), L"abc");
  EXPECT_EQ(EntryOf(L"short"), L"");
}

}  // namespace
}  // namespace rtrillex
