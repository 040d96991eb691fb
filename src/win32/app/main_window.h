// Form1, the main window "Trillex": the settings panel, the current clipboard
// content, the history list and the menus. It lives from start to exit and
// wires the program's parts together; each part keeps its own state:
//   how it looks: main_window.cpp; start-up and every exit: lifecycle.cpp;
//   the settings panel: settings/settings_panel.cpp;
//   the clipboard watch's view of it: clipwatch/watch_window.cpp, with the
//     viewer chain (ViewerChain), the history and List1 (HistoryList), the
//     current-content box (CurrentContentBox), the menu of recent copies
//     (RecentCopiesMenu), the search window (SearchWindow) and the paste of
//     their choice (PasteBack);
//   the fixed phrases: clipwatch/phrases.cpp, with their writer
//     (PhraseKeeper) and the window that arranges them (PhraseEditor);
//   the history kept across runs: clipwatch/keeping.cpp, with its writer
//     (HistoryKeeper);
//   the pictures copied: clipwatch/pictures.cpp, with their reader
//     (PictureReader);
//   sharing copies with the person's other PCs: clipwatch/sharing.cpp, with
//     the synced folder's worker (SyncKeeper) and its window (SharingWindow);
//   the notification area and the menu commands: tray/tray_window.cpp, with
//     the icon itself (TrayIcon) and the item that starts the program at
//     log-on (StartupItem).
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "about/version_window.h"
#include "clipboard_watch.h"
#include "clipwatch/current_content_box.h"
#include "clipwatch/history_list.h"
#include "clipwatch/paste_back.h"
#include "clipwatch/phrase_editor.h"
#include "clipwatch/popup_window.h"
#include "clipwatch/recent_copies.h"
#include "clipwatch/search_window.h"
#include "clipwatch/system_clipboard.h"
#include "clipwatch/system_services.h"
#include "clipwatch/viewer_chain.h"
#include "desktop.h"
#include "handle.h"
#include "history_store/history_keeper.h"
#include "history_store/phrase_keeper.h"
#include "picture_shelf.h"
#include "pictures/picture_reader.h"
#include "kept_history.h"
#include "main_window_layout.h"
#include "phrase_list.h"
#include "settings/profile_settings_file.h"
#include "sharing/sharing_window.h"
#include "single_instance.h"
#include "sync_keeper.h"
#include "sync_settings.h"
#include "tray/startup_item.h"
#include "tray/tray_icon.h"
#include "window.h"

namespace rtrillex {

// The main window's timers.
enum TimerId : UINT_PTR {
  kTimer1 = 1,          // the popup's lifetime
  kTimer2 = 2,          // the auto-clear delay
  kTrayRetryTimer = 3,  // a refused add of the tray icon, tried again
  kClipboardRetryTimer = 4,  // a clipboard another program held, tried again
  kClipboardSlowRetryTimer = 5,  // the same, once it has been held for long
  kPasteTimer = 6,               // a chosen entry waits to be pasted
  kSyncKeyRetryTimer = 7,        // sharing's key could not be opened at log-on yet
};

// Posted to the main window: look at the clipboard from the message loop.
constexpr UINT kLookAtClipboardMessage = WM_APP + 1;
// Posted by the kept history's writer: reports wait.
constexpr UINT kHistoryKeeperMessage = WM_APP + 2;
// Posted by the picture reader: pictures are ready.
constexpr UINT kPicturesReadMessage = WM_APP + 3;
// Sent by the picture reader: its read of the clipboard is over.
constexpr UINT kPictureClipboardReadMessage = WM_APP + 4;
// Posted by the fixed phrases' writer: reports wait.
constexpr UINT kPhraseKeeperMessage = WM_APP + 5;
// Posted by the synced folder's worker: reports wait.
constexpr UINT kSyncKeeperMessage = WM_APP + 6;

class Form1 : public Window, public WatchWindow {
 public:
  Form1();

  // Creates the window hidden and runs Form_Load. False when another copy of
  // the program already runs: this one has then cleaned up and must end.
  bool Start();

  // Ends the program: the unload clean-up once, then every window goes.
  void EndProgram();

  // Operations other windows and the viewer hook call.
  void ChangeClipBoard() { watch_.ChangeClipBoard(); }
  void StopTimer() { watch_.StopTimer(); }
  void StopTimer2() { watch_.StopTimer2(); }

  HWND Control(ControlId id) const { return GetDlgItem(hwnd(), static_cast<int>(id)); }

  // Keyboard navigation and access keys in the main and version windows.
  bool TranslateDialogMessage(MSG& message);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // lifecycle.cpp
  bool Form_Load();
  void Form_Unload();
  void cmdEnd_Click();
  void lblEnd_Click();
  void mnuExit_Click();

  // settings/settings_panel.cpp
  void LoadSettingsOrFirstRun();
  void cmdSet_Click();

  // clipwatch/watch_window.cpp: the watch's view of this window
  void QueueLook() override;
  void AppendHistoryLine(std::wstring line, LocalSeconds copiedAt, AttachmentPtr attachment) override;
  void SetCurrentContent(std::wstring_view shown) override;
  void SetTimerEnabled(WatchTimer timer, bool enabled) override;
  std::wstring DurationText(WatchTimer timer) override;
  std::optional<std::wstring> SelectedHistoryLine() override;
  void OnTimer(UINT_PTR id);  // the clipboard watch's timers
  void OnHotKey(int id);
  void PutBackAndPaste(HistoryId line, const KeyboardOwner& previous);
  bool OnHistoryListKey(WPARAM key);

  // clipwatch/pictures.cpp: the pictures copied, read after their lines
  void QueuePictureRead(std::uint32_t sequence) override;
  bool ReadingPicture() override;
  void OnPicturesRead();
  void MakeThumbnailOf(HistoryId line);
  void StartPictureReader();
  void OnPictureClipboardRead(std::uint32_t copy, std::uint32_t after);

  // clipwatch/keeping.cpp: the history kept across runs
  void StartKeepingIfAsked();
  void StartKeeping();
  void KeepLine(HistoryId id, LocalSeconds copiedAt, std::wstring_view line);
  void KeepPicture(HistoryId id, const PictureBytes& picture);
  AttachmentPtr KeptAttachment(const KeptEntry& entry);
  void ForgetLine(HistoryId id);
  void OnKeeperReports();
  void TellOnce(bool& told, std::wstring_view text);
  void OnKeptEntriesLoaded(std::vector<KeptEntry> loaded);
  void TellSetAside(const HistoryKeeper::Report& report);
  void mnuKeepHistory_Click();
  void mnuClearHistory_Click();
  std::wstring KeptHistoryPath() const;

  // clipwatch/phrases.cpp: the fixed phrases, kept always
  std::wstring PhrasesPath() const;
  void StartPhrases();
  void OnPhraseKeeperReports();
  void OnPhrasesLoaded(std::vector<KeptPhrase> loaded, std::uint64_t nextId);
  void TogglePin(const std::wstring& entry, const AttachmentPtr& attachment);
  void Unpin(PhraseId id);
  void PutPhraseBackAndPaste(PhraseId id, const KeyboardOwner& previous);
  void ChooseFound(SearchWindow::Row row, const KeyboardOwner& previous);
  void PinFound(SearchWindow::Row row);
  void RemoveFound(SearchWindow::Row row);
  void SavePhrases(std::vector<PhraseChange> changes);
  void OnPhrasesChanged();

  // clipwatch/sharing.cpp: copies shared with the person's other PCs
  void StartSharingIfAsked();
  void OnSyncKeyRetryTimer();
  void StartSharing(const FolderKey& key);
  void mnuSharing_Click();
  void OnSharingApplied(const SyncSettings& settings, const std::optional<FolderKey>& key);
  void ShareLine(HistoryId id, std::wstring_view line);
  bool MarkedThisPcOnly(std::wstring_view entry);
  void ShareReadPicture(HistoryId id, const PictureBytes& png);
  void UnshareLine(HistoryId id);
  void UnshareAll();
  void OnSyncReports();
  void ShowArrived();
  void KeepArrivals(const std::vector<SharedEntry>& entries);
  void ForgetArrivals(const std::vector<EntryId>& removed, std::optional<std::uint64_t> clearedThroughMs);
  void OnArrivalsKept(const std::vector<KeptArrival>& kept);
  void ForgetArrived();
  void PutArrivedBackAndPaste(const Id16& id, const KeyboardOwner& previous);
  void TellSharing(bool& told, const std::wstring& text);
  void OnSharedReport(SyncKeeper::Report& report);
  void RemoveLinesRemovedElsewhere(const std::vector<SharedEntry>& removed);
  bool LineHolds(std::size_t position, const SharedEntry& entry, const std::wstring& text) const;
  void RemoveLine(HistoryId id);
  void DropLine(HistoryId id);
  void RemoveArrived(const Id16& id);
  void OnSharedPhrases(std::optional<std::vector<SharedPhrase>> phrases, bool firstRead);
  void TakeSharedPhrases(const std::vector<SharedPhrase>& arrived);
  void SharePhrases();

  // tray/tray_window.cpp
  void HideToTray();
  void SetFileMenuVisible(bool visible);
  bool IsGenuineMouseMove(LPARAM lParam) const;
  void Form_MouseMove(std::int32_t trayMessage);
  void OpenFileMenuAtPointer();
  static void ProcessPendingMessages();
  void mnuMain_Click();
  void mnuVer_Click();
  void cmdToTask_Click();
  void lblGoToTask_Click();

  // main_window.cpp: how the window looks
  void CreateMainWindow();
  void CreateControls();
  void CreateBrushes();
  void OnSysColorChange();
  HMENU CreateMenuBar();
  LRESULT OnCommand(int id, int notification);
  LRESULT OnControlColour(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void DrawLabelButton(const DRAWITEMSTRUCT& item);
  void OnActivate(WPARAM wParam);
  static std::size_t IndexOf(int controlId);  // in the layout table

  std::wstring SettingPath;
  bool ending_ = false;

  // How it looks.
  TwipsPerPixel scale_;
  UniqueFont defaultFont_;
  UniqueFont labelButtonFont_;
  std::vector<UniqueBrush> brushes_;  // parallel to the layout table; empty for default colours
  ProgramIcons icons_;
  HWND focus_ = nullptr;           // restored when the window is activated again
  HMENU fileMenu_ = nullptr;       // "ファイル(&F )"; owned by the menu bar while it shows there
  UniqueMenu detachedFileMenu_;    // owns it while it is out of the bar
  bool modal_ = false;             // shown modally by "詳細設定(&M)"

  // The parts it wires together.
  std::optional<SingleInstance> instance_;
  std::optional<TrayIcon> trayIcon_;  // once the window exists
  StartupItem startupItem_;
  ViewerChain viewerChain_;
  HistoryList historyList_;
  CurrentContentBox currentContent_;
  PhraseList phrases_;
  bool phrasesLoaded_ = false;                 // read from Phrases.db: pinning may change them
  std::optional<PhraseKeeper> phraseKeeper_;   // from the start, whether or not the history is kept
  std::vector<ArrivedCopy> arrived_;  // the copies the other PCs share, newest first
  // Those in the folder now, as last told, and those History.db keeps (so
  // that they stay when their journal goes), by id; shown together.
  std::vector<SharedEntry> sharedNow_;
  std::map<EntryId, SharedEntry> keptArrivals_;
  RecentCopiesMenu recentCopies_{historyList_.history(), phrases_, arrived_};
  SearchWindow searchWindow_{historyList_.history(), phrases_, arrived_,
                             [this](SearchWindow::Row row, const KeyboardOwner& previous) { ChooseFound(row, previous); },
                             [this](SearchWindow::Row row) { PinFound(row); },
                             [this](SearchWindow::Row row) { RemoveFound(row); }};
  PhraseEditor phraseEditor_{phrases_, [this](std::vector<PhraseChange> changes) { SavePhrases(std::move(changes)); }};
  SyncSettings syncSettings_;
  std::optional<SyncKeeper> syncKeeper_;  // while sharing is on
  std::map<HistoryId, EntryId> sharedIds_;  // this PC's lines shared, by the id every PC knows them by
  std::map<HistoryId, std::uint64_t> picturesToShare_;  // shared once read, with when they were copied
  std::set<HistoryId> thisPcOnly_;          // lines marked by their program as not to be shared
  std::optional<std::wstring> arrivedPutBack_;  // another PC's text put back: its line is not shared
  // The fixed phrases on every PC: shared once the folder was read, merged
  // with the set in force there as this PC last shared or took it.
  struct PhrasesWithOthers {
    bool folderRead = false;
    std::vector<Phrase> known;
    // Told before Phrases.db was read: taken once it is.
    bool firstReadWaiting = false;
    std::optional<std::vector<SharedPhrase>> waiting;
  } sharedPhrases_;
  std::vector<SyncPc> syncPcs_;  // as last told: for the sharing window when it opens
  std::wstring syncProblem_;  // as last told, for the sharing window
  struct SharingTold {
    bool folderMissing = false, folderBack = false, damaged = false, newer = false, otherKey = false,
         keyReplaced = false, cannotWrite = false;
  } told_;
  SharingWindow sharingWindow_{ProgramDirectory(),
                               [this](const SyncSettings& settings, const std::optional<FolderKey>& key) {
                                 OnSharingApplied(settings, key);
                               }};
  std::optional<PasteBack> pasteBack_;  // once the window exists
  std::optional<HistoryId> lastAppended_;  // the line the watch appended last
  std::optional<PictureReader> pictureReader_;   // once a picture was copied
  PictureShelf pictureShelf_;
  std::optional<HistoryKeeper> keeper_;  // while the history is kept
  std::size_t keptBound_ = kDefaultKeptEntries;
  std::uint64_t keptPictureBytes_ = kDefaultKeptPictureBytes;
  bool toldSetAside_ = false;
  bool toldCannotWrite_ = false;
  // The kept entries the writer reads at its start are wanted on screen only
  // while nothing has been cleared since: a clear-all asked for before they
  // come would otherwise bring them back.
  bool wantsLoaded_ = false;
  // Turning keeping off could not delete the file: it still holds this
  // session's lines, which turning it on again keeps anew.
  bool keptFileLeft_ = false;
  bool timerEnabled_[4] = {false, false, false, false};  // by WatchTimer
  Form2 form2_;
  Form3 form3_;
  SystemClipboard clipboard_{*this};
  ProfileSettingsFile settingsFile_;
  SystemTones tones_;
  SystemPointer pointer_;
  SystemClock clock_;
  ClipboardWatch watch_;
};

}  // namespace rtrillex
