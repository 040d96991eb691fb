#include "clipboard_watch.h"
#include "local_time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <utility>
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
  std::optional<std::vector<std::wstring>> files;
  std::uint32_t sequence = 1;
  int busySessions = 0;  // sessions refused first, as while another program holds the clipboard
  int busyEmpties = 0;
  std::function<void()> whileReadingText;  // messages let in by a text rendered on request
  std::function<void()> noticeOfOwnChange;  // sent to the program inside its own put or empty
  std::function<void()> whenPutting;
  bool putFails = false;  // the text cannot be set once the clipboard is emptied
  bool inSession = false;
  explicit FakeClipboard(Log& l) : log(l) {}

  // Another program copies: the content and its sequence number change.
  void Hold(std::set<ClipboardFormat> f, std::optional<std::wstring> t, bool secret = false) {
    formats = std::move(f);
    text = std::move(t);
    files.reset();
    optedOut = secret;
    ++sequence;
  }
  bool ReadInSession(const std::function<void()>& read) override {
    if (busySessions > 0) {
      --busySessions;
      log.push_back(L"busy");
      return false;
    }
    EXPECT_FALSE(inSession) << "a session opened inside another";
    inSession = true;
    read();
    inSession = false;
    return true;
  }
  std::uint32_t SequenceNumber() override { return sequence; }
  bool HasFormat(ClipboardFormat f) override { return formats.count(f) > 0; }
  bool AsksNotToBeMonitored() override { return optedOut; }
  std::optional<std::wstring> ReadText() override {
    log.push_back(L"read");
    if (whileReadingText) whileReadingText();
    return inSession ? text : std::nullopt;
  }
  std::optional<std::vector<std::wstring>> ReadFiles() override { return inSession ? files : std::nullopt; }
  EmptyResult EmptyIfStill(std::uint32_t seen) override {
    if (busyEmpties > 0) {
      --busyEmpties;
      log.push_back(L"empty refused");
      return EmptyResult::Held;
    }
    if (sequence != seen) return EmptyResult::Changed;
    log.push_back(L"empty");
    Hold({}, std::nullopt);
    if (noticeOfOwnChange) noticeOfOwnChange();
    return EmptyResult::Emptied;
  }
  PutResult PutIfStill(std::uint32_t seen, const PutContent& content, std::uint32_t& put) override {
    if (busySessions > 0) {
      --busySessions;
      log.push_back(L"busy");
      return PutResult::Held;
    }
    if (whenPutting) std::exchange(whenPutting, nullptr)();  // another program, just before the session opens
    if (sequence != seen) return PutResult::Changed;
    if (putFails) {
      log.push_back(L"put failed");
      Hold({}, std::nullopt);  // emptied, then nothing set
      return PutResult::Failed;
    }
    if (content.attachment && content.attachment->kind == EntryKind::Files) {
      log.push_back(L"put files " + FilesEntry(content.attachment->files));
      Hold({ClipboardFormat::Files}, std::nullopt);
      files = content.attachment->files;
    } else if (content.attachment) {
      log.push_back(L"put picture");
      Hold({ClipboardFormat::Dib, ClipboardFormat::Bitmap}, std::nullopt);
    } else {
      log.push_back(L"put " + content.text);
      Hold({ClipboardFormat::Text}, content.text);
    }
    put = sequence;
    if (noticeOfOwnChange) noticeOfOwnChange();
    return PutResult::Put;
  }
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
  std::function<void()> whilePlaying;  // what other programs do while the tone sounds
  explicit FakeTones(Log& l) : log(l) {}
  void Beep(int f, int ms) override {
    log.push_back(L"beep " + std::to_wstring(f) + L"/" + std::to_wstring(ms));
    if (whilePlaying) std::exchange(whilePlaying, nullptr)();
  }
};

struct FakePointer : Pointer {
  ScreenPoint at{300, 200};
  PixelRect workArea{0, 0, 1280, 1024};
  std::optional<ScreenPoint> workAreaAskedAt;
  ScreenPoint Position() override { return at; }
  PixelRect WorkAreaAt(ScreenPoint point) override {
    workAreaAskedAt = point;
    return workArea;
  }
};

struct FakeClock : Clock {
  LocalSeconds Now() override { return ToLocalSeconds({2026, 12, 8}, {9, 5, 7}); }
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
  bool viewTimer = false, clearTimer = false, retryTimer = false, slowRetryTimer = false;
  bool outOfMemory = false;  // a line too large to keep
  int queuedLooks = 0;
  explicit FakeWindow(Log& l) : log(l) {}
  void QueueLook() override { ++queuedLooks; }
  std::vector<AttachmentPtr> attachments;  // of each line of `history`
  std::vector<std::uint32_t> pictureReads;  // the copies whose picture is to be read
  void QueuePictureRead(std::uint32_t sequence) override { pictureReads.push_back(sequence); }
  bool readingPicture = false;
  bool ReadingPicture() override { return readingPicture; }
  void AppendHistoryLine(std::wstring line, LocalSeconds, AttachmentPtr attachment) override {
    if (outOfMemory) throw std::bad_alloc();
    history.push_back(line);
    attachments.push_back(std::move(attachment));
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
        {WatchTimer::Retry, {&retryTimer, L"retry "}},
        {WatchTimer::SlowRetry, {&slowRetryTimer, L"slow retry "}}};
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

  WatchTest() {
    clipboard.noticeOfOwnChange = [this] { watch.ChangeClipBoard(); };
  }

  // Another program copies, and its notice comes.
  void Copy(std::set<ClipboardFormat> formats, std::optional<std::wstring> text = std::nullopt) {
    log.clear();
    clipboard.Hold(std::move(formats), std::move(text));
    Notice();
  }
  void Notice() {
    watch.ChangeClipBoard();
    RunQueuedLooks();
  }
  // What the message loop does after a handler: the looks it queued.
  void RunQueuedLooks() {
    for (; window.queuedLooks > 0; --window.queuedLooks) watch.LookAtClipboard();
  }
};

using F = ClipboardFormat;

TEST_F(WatchTest, PlainTextRunsItsStepsInOrder) {
  settings.switches[L"Beep"] = L"1";
  Copy({F::Text}, L"hello");
  EXPECT_EQ(log, (Log{L"read", L"beep 430/150", L"beep 492/150", L"top 2625.000000", L"left 4650.000000",
                      L"timer1 on", L"history 09:05:07\thello", L"caption hello", L"show", L"timer2 on",
                      L"current hello"}));
}

TEST_F(WatchTest, PopupPlacementUsesTheScreensTwipsPerPixel) {
  // At 120 dpi the popup is 154 x 50 pixels: at the bottom right of a
  // monitor left of the main one it would cross the right and bottom edges
  // there (at 96 dpi, 123 x 40, it would fit).
  ClipboardWatch at120{{clipboard, settings, tones, pointer, clock, popup, window, {12.0f, 12.0f}}};
  pointer.at = {-160, 1005};
  pointer.workArea = {-1280, 0, 1280, 1024};
  clipboard.Hold({F::Text}, L"x");
  at120.LookAtClipboard();
  ASSERT_TRUE(pointer.workAreaAskedAt.has_value());
  EXPECT_EQ(pointer.workAreaAskedAt->x, -160);
  EXPECT_EQ(pointer.workAreaAskedAt->y, 1005);
  EXPECT_NE(std::find(log.begin(), log.end(), L"top 11688.000000"), log.end());    // 974 pixels
  EXPECT_NE(std::find(log.begin(), log.end(), L"left -3888.000000"), log.end());  // -324 pixels
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
      {{F::Png}, 4, {}, L"[画像COPY]"},
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
  EXPECT_EQ(log[1], L"beep 430/0");
  EXPECT_EQ(log[2], L"beep 492/0");
  Copy({F::RichText}, L"a");
  EXPECT_EQ(log[0], L"beep 392/0");
}

TEST_F(WatchTest, CommentOffStillPlacesThePopupAndStartsItsTimerButShowsNothing) {
  settings.switches[L"Comment"] = L"0";
  Copy({F::Text}, L"a");
  EXPECT_EQ(log, (Log{L"read", L"beep 430/150", L"beep 492/150", L"top 2625.000000", L"left 4650.000000",
                      L"timer1 on", L"history 09:05:07\ta", L"timer2 on", L"current a"}));
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
  EXPECT_EQ(log[1], L"beep 430/0");
}

TEST_F(WatchTest, ABusyClipboardIsReadLaterAndTheWholeReactionWaitsForIt) {
  clipboard.busySessions = 5;
  Copy({F::Text}, L"late");
  EXPECT_EQ(log, (Log{L"busy", L"retry on"}));  // nothing shown, no timer started before the copy is read
  log.clear();
  for (int tick = 0; tick < 5; ++tick) watch.Retry_Timer();
  EXPECT_EQ(log, (Log{L"busy", L"busy", L"busy", L"busy", L"read", L"beep 430/150", L"beep 492/150",
                      L"top 2625.000000", L"left 4650.000000", L"timer1 on", L"history 09:05:07\tlate",
                      L"caption late", L"show", L"timer2 on", L"current late", L"retry off"}));
}

TEST_F(WatchTest, ALateReadShowsThePopupBesideThePointerForItsWholeLifetime) {
  // The clipboard is held for 0.7 s and the popup lives 0.3 s: ticks come as
  // they would, four retries to each tick of the popup's timer.
  window.viewTime = L"0.3";
  clipboard.busySessions = 28;
  Copy({F::Text}, L"late");
  for (int ms = 25; ms <= 2000; ms += 25) {
    if (window.retryTimer) watch.Retry_Timer();
    if (ms % 100 == 0 && window.viewTimer) watch.Timer1_Timer();
  }
  const auto shown = std::find(log.begin(), log.end(), L"show");
  ASSERT_NE(shown, log.end());
  EXPECT_NE(std::find(log.begin(), shown, L"top 2625.000000"), shown);  // placed before it shows
  EXPECT_NE(std::find(shown, log.end(), L"unload"), log.end());         // and closed after its lifetime
  EXPECT_FALSE(window.viewTimer);
}

TEST_F(WatchTest, ANewerCopyWinsOverOneStillWaitingForTheClipboard) {
  clipboard.busySessions = 1000;
  Copy({F::Text}, L"first");
  clipboard.busySessions = 0;
  Copy({F::Text}, L"second");
  watch.Retry_Timer();  // a tick already queued
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\tsecond"}));
  EXPECT_FALSE(window.retryTimer);

  // A secret copied while the first copy waits, its notice not yet here:
  // the waiting copy is gone, and the secret never shows as its text.
  window.history.clear();
  clipboard.busySessions = 3;
  Copy({F::Text}, L"visible");
  clipboard.busySessions = 0;
  clipboard.Hold({F::Text}, L"secret", true);
  watch.Retry_Timer();
  EXPECT_TRUE(window.history.empty());
  Notice();  // the secret's own notice
  EXPECT_TRUE(window.history.empty());
  EXPECT_EQ(window.current, L"");
  EXPECT_FALSE(window.retryTimer);
}

TEST_F(WatchTest, ASecretCopiedDuringTheTonesIsNeverShown) {
  tones.whilePlaying = [&] {
    clipboard.Hold({F::Text}, L"secret", true);
    watch.ChangeClipBoard();  // its notice, let in while the first reaction runs
  };
  Copy({F::Text}, L"visible");
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\tvisible"}));
  for (const std::wstring& step : log) EXPECT_EQ(step.find(L"secret"), std::wstring::npos) << step;
  // The secret's change is reacted to after the first: the box is emptied.
  EXPECT_EQ(log.back(), L"current ");
  EXPECT_EQ(std::count(log.begin(), log.end(), L"current visible"), 1);
}

TEST_F(WatchTest, ANoticeOfACopyAlreadyReactedToDoesNothing) {
  // A text rendered on request lets messages in while it is read; the same
  // change's notice coming in then is one change, reacted to once.
  clipboard.whileReadingText = [&] {
    clipboard.whileReadingText = nullptr;
    watch.ChangeClipBoard();
  };
  clipboard.busySessions = 1;
  Copy({F::Text}, L"rendered");
  watch.Retry_Timer();
  RunQueuedLooks();
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\trendered"}));
  EXPECT_EQ(std::count(log.begin(), log.end(), L"read"), 1);
  EXPECT_FALSE(window.retryTimer);

  // Two copies made during the tones, their notices queued behind the
  // reaction: the first notice finds the second copy, the second nothing new.
  window.history.clear();
  tones.whilePlaying = [&] {
    clipboard.Hold({F::Text}, L"overtaken");
    clipboard.Hold({F::Text}, L"newest");
  };
  Copy({F::Text}, L"first");
  Notice();
  Notice();
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\tfirst", L"09:05:07\tnewest"}));
  EXPECT_EQ(std::count(log.begin(), log.end(), L"show"), 2);
}

TEST_F(WatchTest, TextUnreadableForASecondLeavesAnEmptyEntry) {
  clipboard.busySessions = 1000;
  Copy({F::Text}, L"never");
  int ticks = 0;
  while (window.retryTimer && ticks < 1000) {
    watch.Retry_Timer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 40);  // one read at once, then 40 more 25 ms apart: about a second
  EXPECT_EQ(window.history.back(), L"09:05:07\t");
  EXPECT_EQ(window.current, L"");
  EXPECT_NE(std::find(log.begin(), log.end(), L"caption "), log.end());
}

TEST_F(WatchTest, ACopyGivenUpOnCountsAsSeenAndIsNeverReadAgain) {
  // Held for the whole second: one empty entry. Once the holder lets go, a
  // late notice of that same copy reads nothing.
  clipboard.busySessions = 1000;
  Copy({F::Text}, L"never");
  for (int tick = 0; window.retryTimer && tick < 1000; ++tick) watch.Retry_Timer();
  ASSERT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\t"}));
  clipboard.busySessions = 0;
  Notice();
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\t"}));

  // Text listed but never delivered, with the auto-clear on: one empty entry,
  // and the countdown empties that copy instead of reading it again.
  window.history.clear();
  window.clrTime = L"1";
  Copy({F::Text}, std::nullopt);
  for (int second = 0; second < 4; ++second) {
    for (int tick = 0; window.retryTimer && tick < 1000; ++tick) {
      watch.Retry_Timer();
      RunQueuedLooks();
    }
    if (window.clearTimer) watch.Timer2_Timer();
    RunQueuedLooks();
  }
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\t"}));
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 1);
}

TEST_F(WatchTest, ACopyWaitingForTheClipboardIsRecordedBeforeAReCopyReplacesIt) {
  // Another program's copy meets a held clipboard; the holder lets go just
  // before the person puts an old entry back. The copy they made is on the
  // clipboard and heard of: it gets its history line before it is replaced.
  clipboard.busySessions = 1;
  Copy({F::Text}, L"copied elsewhere");
  ASSERT_TRUE(window.retryTimer);
  window.selected = L"09:05:07\tagain";
  watch.List1_DblClick();
  for (int tick = 0; window.retryTimer && tick < 100; ++tick) {
    watch.Retry_Timer();
    RunQueuedLooks();
  }
  RunQueuedLooks();
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\tcopied elsewhere", L"09:05:07\tagain"}));
}

TEST_F(WatchTest, AReCopyReplacedBeforeThePasteIsNoLongerReportedAsMade) {
  // The paste types Ctrl+V once LastPutBack() says Made: a copy made by
  // another program after the re-copy (a password, say) must not read as it.
  window.selected = L"09:05:07\tchosen";
  watch.List1_DblClick();
  ASSERT_EQ(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
  RunQueuedLooks();  // the re-copy's own reaction changes nothing on the clipboard
  EXPECT_EQ(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
  clipboard.Hold({F::Text}, L"password", true);
  EXPECT_NE(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
  RunQueuedLooks();

  // A copy that comes in between the last look and the put's own session
  // stays on the clipboard and gets its line.
  window.history.clear();
  clipboard.whenPutting = [this] { clipboard.Hold({F::Text}, L"just now"); };
  watch.List1_DblClick();
  EXPECT_NE(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
  EXPECT_EQ(clipboard.text, L"just now");
  RunQueuedLooks();
  EXPECT_EQ(window.history, (std::vector<std::wstring>{L"09:05:07\tjust now"}));

  // A put that empties the clipboard and then cannot set the text is no
  // re-copy: nothing is pasted.
  clipboard.putFails = true;
  watch.List1_DblClick();
  EXPECT_EQ(watch.LastPutBack(), ClipboardWatch::PutBackState::GivenUp);
  EXPECT_FALSE(window.retryTimer);
}

TEST_F(WatchTest, ACopyMadeWhileTheReCopyIsAnnouncedIsNeverPastedAsIt) {
  // The put's session is closed and its notice goes round the viewers, the
  // next of which may take its time: another program copies a password
  // before the put has returned. The clipboard no longer holds the chosen
  // entry, so the paste must not type Ctrl+V.
  bool copied = false;
  clipboard.noticeOfOwnChange = [this, &copied] {
    watch.ChangeClipBoard();
    if (std::exchange(copied, true)) return;
    clipboard.Hold({F::Text}, L"password", true);
    watch.ChangeClipBoard();
  };
  window.selected = L"09:05:07\tchosen";
  watch.List1_DblClick();
  ASSERT_EQ(clipboard.text, L"password");
  EXPECT_NE(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
  RunQueuedLooks();
  EXPECT_NE(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
}

TEST_F(WatchTest, ACopyTooLargeToKeepStillShowsAndStartsItsTimers) {
  window.outOfMemory = true;
  Copy({F::Text}, L"huge");
  EXPECT_TRUE(window.history.empty());
  EXPECT_NE(std::find(log.begin(), log.end(), L"show"), log.end());
  EXPECT_TRUE(window.clearTimer);
  EXPECT_EQ(window.current, L"huge");
}

TEST_F(WatchTest, TextWithLineBreaksIsOneEntry) {
  Copy({F::Text}, L"一行目\r\n二行目 😀");
  EXPECT_EQ(window.history.back(), L"09:05:07\t一行目\r\n二行目 😀");
  EXPECT_EQ(window.current, L"一行目\r\n二行目 😀");
}

TEST_F(WatchTest, OptedOutCopiesAreTreatedAsAnEmptyClipboard) {
  watch.ViewTicks = 4;
  clipboard.Hold({F::Text}, L"secret", true);
  Notice();
  EXPECT_EQ(log, (Log{L"current "}));  // no tone, no read, no line, no popup, no timer
  EXPECT_TRUE(window.history.empty());
  EXPECT_EQ(watch.ViewTicks, 4);
}

TEST_F(WatchTest, AFileCopyKeepsItsPathsSilentlyAndIsPutBackAsTheSameFiles) {
  const std::vector<std::wstring> paths = {L"C:\\work\\report.docx", L"C:\\work\\data.csv"};
  watch.ClearTicks = 7;
  clipboard.Hold({F::Files}, std::nullopt);
  clipboard.files = paths;
  Notice();
  // No tone, no popup, no countdown: only its line, which holds the paths.
  EXPECT_EQ(log, (Log{L"history 09:05:07\tC:\\work\\report.docx\r\nC:\\work\\data.csv",
                      L"current C:\\work\\report.docx\r\nC:\\work\\data.csv"}));
  EXPECT_EQ(watch.ClearTicks, 7);
  ASSERT_TRUE(window.attachments.back());
  EXPECT_EQ(window.attachments.back()->files, paths);
  EXPECT_EQ(AttachmentLabel(*window.attachments.back()), L"report.docx ほか 1 件");

  // Chosen again: the files go back, and come back as a copy of their own.
  log.clear();
  watch.PutBack(window.history.back(), window.attachments.back());
  EXPECT_EQ(log.front(), L"put files C:\\work\\report.docx\r\nC:\\work\\data.csv");
  RunQueuedLooks();
  EXPECT_EQ(window.attachments.back()->files, paths);
  EXPECT_EQ(window.history.size(), 2u);

  // Files with text are a text copy; a secret list of files leaves nothing,
  // nor does a list that cannot be read.
  clipboard.Hold({F::Files, F::Text}, L"report.docx");
  clipboard.files = paths;
  Notice();
  EXPECT_FALSE(window.attachments.back());
  clipboard.Hold({F::Files}, std::nullopt, true);
  clipboard.files = paths;
  Notice();
  clipboard.Hold({F::Files}, std::nullopt);
  Notice();
  for (int tick = 0; tick < 45; ++tick) watch.Retry_Timer();
  EXPECT_EQ(window.history.size(), 3u);
}

TEST_F(WatchTest, APictureIsReadAfterItsLineAndOnlyForAPictureAlone) {
  Copy({F::Dib, F::Bitmap});
  ASSERT_EQ(window.pictureReads, std::vector<std::uint32_t>{clipboard.sequence});
  ASSERT_TRUE(window.attachments.back());
  EXPECT_EQ(window.attachments.back()->kind, EntryKind::Picture);
  EXPECT_FALSE(window.attachments.back()->picture.png) << "read later, not in the reaction";
  EXPECT_EQ(AttachmentLabel(*window.attachments.back()), L"画像");

  // Its program renders it only when it is read, on another thread, which
  // moves the number on: the same copy, no second line, also when the
  // notice of it comes before the read has told so.
  const std::uint32_t copied = clipboard.sequence;
  window.readingPicture = true;
  ++clipboard.sequence;
  Notice();
  EXPECT_EQ(window.history.size(), 1u);
  window.readingPicture = false;
  watch.PictureRead(copied, clipboard.sequence);
  EXPECT_EQ(window.queuedLooks, 1) << "the look put off is made";
  RunQueuedLooks();
  EXPECT_EQ(window.history.size(), 1u);
  watch.PictureRead(copied - 1, clipboard.sequence + 5);  // of a copy seen before: changes nothing
  Notice();
  EXPECT_EQ(window.history.size(), 1u);

  // A new copy made during a read that moved nothing is reacted to after it.
  window.readingPicture = true;
  Copy({F::Text}, L"after");
  EXPECT_EQ(window.history.size(), 1u);
  window.readingPicture = false;
  watch.PictureRead(copied + 1, copied + 1);
  RunQueuedLooks();
  EXPECT_EQ(window.history.size(), 2u);

  // A picture put back comes back as a copy holding the picture put, not
  // read again (a large one is rendered only when a program asks).
  PictureData read;
  read.png = std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2, 3});
  const AttachmentPtr chosen = PictureAttachment(read);
  watch.PutBack(window.history.front(), chosen);
  RunQueuedLooks();
  EXPECT_EQ(window.attachments.back(), chosen);
  EXPECT_EQ(window.pictureReads.size(), 1u);
  Copy({F::Dib, F::Bitmap});
  EXPECT_EQ(window.pictureReads.size(), 2u) << "a copy of another program's is read";
  window.history.resize(2);
  window.attachments.resize(2);

  // Text with a picture stays as it was, and a secret picture leaves nothing.
  Copy({F::Png, F::Text}, L"a caption");
  EXPECT_EQ(window.history.back(), L"09:05:07\ta caption");
  Copy({F::Dib, F::Text}, L"cells");
  clipboard.Hold({F::Dib}, std::nullopt, true);
  Notice();
  EXPECT_EQ(window.pictureReads.size(), 2u);
  EXPECT_EQ(window.history.size(), 4u);
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

TEST_F(WatchTest, AnAutoClearEmptiesOnlyACopyAlreadyReactedTo) {
  window.clrTime = L"1";
  Copy({F::Text}, L"password");
  // A newer copy waits for the clipboard when the countdown falls due: it
  // is not emptied before it is read, and as a text it starts its own countdown.
  clipboard.busySessions = 2;
  Copy({F::Text}, L"newer");
  watch.Timer2_Timer();
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 0);
  watch.Retry_Timer();
  watch.Retry_Timer();
  RunQueuedLooks();
  EXPECT_EQ(window.history.back(), L"09:05:07\tnewer");
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 0);
  EXPECT_TRUE(window.clearTimer);
  EXPECT_FALSE(window.retryTimer);

  // An image copied meanwhile is emptied with it, once it is recorded.
  clipboard.busySessions = 1;
  Copy({F::Bitmap});
  watch.Timer2_Timer();
  watch.Retry_Timer();
  RunQueuedLooks();
  const auto recorded = std::find(log.begin(), log.end(), L"history 09:05:07\t[画像COPY]");
  EXPECT_NE(std::find(recorded, log.end(), L"empty"), log.end());
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 1);
  EXPECT_FALSE(window.retryTimer);

  // Held by another program when due, which then copies anew and closes:
  // the new copy, not yet heard of, is reacted to instead of emptied.
  Copy({F::Text}, L"password");
  clipboard.busyEmpties = 1;
  watch.Timer2_Timer();
  clipboard.Hold({F::Text}, L"fresh");
  watch.Retry_Timer();
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 0);
  EXPECT_EQ(window.history.back(), L"09:05:07\tfresh");
  EXPECT_TRUE(window.clearTimer);
  EXPECT_FALSE(window.retryTimer);

  // Due while a copy waits for a held clipboard, which a newer copy then
  // replaces: the newer one is read and counts down, never emptied unseen.
  Copy({F::Text}, L"password");
  clipboard.busySessions = 1;
  Copy({F::Text}, L"waiting");
  watch.Timer2_Timer();
  clipboard.Hold({F::Text}, L"newest");
  watch.Retry_Timer();
  RunQueuedLooks();
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 0);
  EXPECT_EQ(window.history.back(), L"09:05:07\tnewest");
  EXPECT_TRUE(window.clearTimer);

  // A newer text copy while it is tried starts a countdown of its own instead.
  Copy({F::Text}, L"password");
  clipboard.busyEmpties = 1000;
  watch.Timer2_Timer();
  Copy({F::Text}, L"later");
  EXPECT_FALSE(window.retryTimer);
  EXPECT_TRUE(window.clearTimer);
}

TEST_F(WatchTest, AnAutoClearHeldOffIsTriedUntilTheClipboardIsFreeAndLessOftenAfterASecond) {
  window.clrTime = L"1";
  Copy({F::Text}, L"password");
  clipboard.busyEmpties = 3;
  log.clear();
  watch.Timer2_Timer();
  EXPECT_FALSE(window.clearTimer);
  EXPECT_TRUE(window.retryTimer);
  for (int tick = 0; tick < 10 && window.retryTimer; ++tick) watch.Retry_Timer();
  EXPECT_EQ(log, (Log{L"empty refused", L"retry on", L"timer2 off", L"empty refused", L"empty refused", L"empty",
                      L"retry off"}));

  // A program that hangs with the clipboard open: 40 tries 25 ms apart,
  // then one a second, and emptied at the first try after it lets go.
  Copy({F::Text}, L"password");
  clipboard.busyEmpties = 100;
  watch.Timer2_Timer();
  int fastTicks = 0;
  for (; window.retryTimer && fastTicks < 100; ++fastTicks) watch.Retry_Timer();
  EXPECT_EQ(fastTicks, 39);
  EXPECT_TRUE(window.slowRetryTimer);
  int slowTicks = 0;
  for (; window.slowRetryTimer && slowTicks < 100; ++slowTicks) watch.Retry_Timer();
  EXPECT_EQ(slowTicks, 61);  // 100 refusals in all
  EXPECT_EQ(log.back(), L"slow retry off");
  EXPECT_EQ(std::count(log.begin(), log.end(), L"empty"), 1);
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

TEST_F(WatchTest, DoubleClickPutsTheEntryBackWithoutItsTimeStampInOneChange) {
  window.selected = L"09:05:07\t一行目\r\n二行目";
  log.clear();
  watch.List1_DblClick();
  EXPECT_EQ(log, (Log{L"put 一行目\r\n二行目"}));

  RunQueuedLooks();  // the re-copy's own reaction, as the message loop makes it
  window.selected = L"09:05:07\t[画像COPY]";
  log.clear();
  watch.List1_DblClick();
  EXPECT_EQ(log, (Log{L"put [画像COPY]"}));

  RunQueuedLooks();
  window.selected = L"09:05:07\t";
  log.clear();
  watch.List1_DblClick();
  EXPECT_EQ(log, (Log{L"put "}));
}

TEST_F(WatchTest, DoubleClickWithNoLineSelectedLeavesTheClipboardAlone) {
  window.selected = std::nullopt;
  log.clear();
  watch.List1_DblClick();
  EXPECT_TRUE(log.empty());
}

TEST_F(WatchTest, AReCopyWaitsForAHeldClipboardAndIsReactedToFromTheLoop) {
  window.selected = L"09:05:07\tagain";
  clipboard.busySessions = 3;  // another viewer still reads the last change
  log.clear();
  watch.List1_DblClick();
  EXPECT_TRUE(window.retryTimer);
  EXPECT_EQ(watch.LastPutBack(), ClipboardWatch::PutBackState::Waiting);
  for (int tick = 0; tick < 10 && window.retryTimer; ++tick) watch.Retry_Timer();
  EXPECT_EQ(log, (Log{L"busy", L"retry on", L"busy", L"busy", L"put again", L"retry off"}));
  EXPECT_EQ(watch.LastPutBack(), ClipboardWatch::PutBackState::Made);
  // Its notice comes inside the put; the reaction only from the loop.
  EXPECT_TRUE(window.history.empty());
  RunQueuedLooks();
  EXPECT_EQ(window.history.back(), L"09:05:07\tagain");

  // Held for good: after about a second everything stays as it was.
  clipboard.busySessions = 1000;
  const std::uint32_t before = clipboard.sequence;
  watch.List1_DblClick();
  int ticks = 0;
  for (; window.retryTimer && ticks < 1000; ++ticks) watch.Retry_Timer();
  EXPECT_EQ(ticks, 40);
  EXPECT_EQ(clipboard.sequence, before);
  EXPECT_EQ(watch.LastPutBack(), ClipboardWatch::PutBackState::GivenUp);  // nothing to paste

  // A copy made while it waits is what the user wants now: it stays.
  clipboard.busySessions = 2;
  watch.List1_DblClick();
  clipboard.busySessions = 0;
  clipboard.Hold({F::Text}, L"copied meanwhile");
  watch.Retry_Timer();
  EXPECT_EQ(clipboard.text, L"copied meanwhile");
  EXPECT_FALSE(window.retryTimer);
}

TEST(HistoryLine, IsTheTimeStampATabAndTheEntry) {
  EXPECT_EQ(HistoryLine({9, 5, 7}, L"[画像COPY]"), L"09:05:07\t[画像COPY]");
  EXPECT_EQ(HistoryLine({23, 59, 0}, L""), L"23:59:00\t");
  EXPECT_EQ(HistoryLine({0, 0, 0}, L"x").size(), 10u);
  EXPECT_EQ(HistoryLineFrom({9, 5, 7}, std::wstring(L"一行目\r\n")), L"09:05:07\t一行目\r\n");
  EXPECT_EQ(EntryIn(L"12:00:00\tabc"), L"abc");
  EXPECT_EQ(EntryIn(L"short"), L"");
}

}  // namespace
}  // namespace rtrillex
