// The main window's side of the history kept across runs, when the person
// asks for it ([History] Keep=1): its switch and its clear-all in the File
// menu, the lines handed to the writer as the history changes, and the
// kept lines put back before the session's when the writer has read them.
#include <string>
#include <utility>

#include "app/main_window.h"
#include "local_time.h"

namespace rtrillex {
namespace {

constexpr wchar_t kKeptFileName[] = L"History.db";
constexpr wchar_t kNoticeTitle[] = L"rTrillex";
constexpr wchar_t kSetAsideNotice[] =
    L"保存された履歴を読めなかったため、ファイルを別の名前で残し、新しく保存を始めました: ";
constexpr wchar_t kCannotWriteNotice[] =
    L"履歴をファイルに保存できません。このセッションの履歴はメモリーに残し、後でもう一度保存を試みます。";
// Around a count of entries.
constexpr wchar_t kCarriedNotice[2][32] = {L"読み取れた ", L" 件を新しいファイルに引き継ぎました。"};
constexpr wchar_t kUnreadableNotice[2][32] = {L"読み取れなかった ", L" 件は元のファイルに残っています。"};
constexpr wchar_t kNotKeptNotice[] =
    L"大きすぎてファイルに保存できないコピーがありました。このコピーは今回のセッションの履歴にだけ残ります。";
constexpr wchar_t kCannotDeleteNotice[] = L"保存された履歴のファイルを削除できませんでした: ";
constexpr wchar_t kClearQuestion[] = L"履歴をすべて消去しますか？\n保存された履歴もファイルから削除されます。";

}  // namespace

std::wstring Form1::KeptHistoryPath() const {
  std::wstring path = ProgramDirectory();
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + kKeptFileName;
}

void Form1::StartKeepingIfAsked() {
  keptBound_ = KeptEntriesBound(settingsFile_.Read(setting::kHistorySection, setting::kKeptEntries));
  keptPictureBytes_ = KeptPictureBytes(settingsFile_.Read(setting::kHistorySection, setting::kKeptPictureBytes));
  if (KeepsHistory(settingsFile_.Read(setting::kHistorySection, setting::kKeepHistory))) StartKeeping();
}

void Form1::StartKeeping() {
  keeper_.emplace(KeptHistoryPath(), keptBound_, keptPictureBytes_, hwnd(), kHistoryKeeperMessage);
  wantsLoaded_ = true;
  CheckMenuItem(fileMenu_, static_cast<UINT>(MenuId::mnuKeepHistory), MF_BYCOMMAND | MF_CHECKED);
}

// With its picture, when it has been read.
void Form1::KeepLine(HistoryId id, LocalSeconds copiedAt, std::wstring_view line) {
  if (!keeper_) return;
  const AttachmentPtr attachment = historyList_.history().AttachmentOf(id);
  keeper_->Add(id, copiedAt, std::wstring(EntryIn(line)), attachment ? attachment->kind : EntryKind::Text,
               thisPcOnly_.count(id) != 0);
  if (attachment) KeepPicture(id, attachment->picture.png);
}

// A picture larger than kLargestKeptPicture stays in the session only, and
// its entry says so.
void Form1::KeepPicture(HistoryId id, const PictureBytes& picture) {
  if (!keeper_ || !picture) return;
  if (picture->size() <= kLargestKeptPicture) {
    keeper_->KeepPicture(id, picture);
    return;
  }
  if (const AttachmentPtr attachment = historyList_.history().AttachmentOf(id)) {
    PictureData told = attachment->picture;
    told.tooLarge = true;
    historyList_.SetAttachment(id, PictureAttachment(std::move(told)));
  }
}

void Form1::ForgetLine(HistoryId id) {
  if (keeper_) keeper_->Remove(id);
}

void Form1::OnKeeperReports() {
  if (!keeper_) return;  // turned off since: what it read is gone with the file
  for (HistoryKeeper::Report& report : keeper_->TakeReports()) {
    switch (report.kind) {
      case HistoryKeeper::Report::Kind::Loaded:
        OnKeptEntriesLoaded(std::move(report.loaded));
        OnArrivalsKept(report.arrivals);
        break;
      case HistoryKeeper::Report::Kind::SetAside:
        TellSetAside(report);
        break;
      case HistoryKeeper::Report::Kind::CannotWrite:
        TellOnce(toldCannotWrite_, kCannotWriteNotice);
        break;
      case HistoryKeeper::Report::Kind::NotKept:
        trayIcon_->ShowBalloon(kNoticeTitle, kNotKeptNotice);
        break;
    }
  }
}

void Form1::OnKeptEntriesLoaded(std::vector<KeptEntry> loaded) {
  if (!std::exchange(wantsLoaded_, false)) return;  // cleared since: they are being deleted
  std::vector<History::OlderLine> older;
  std::vector<std::uint64_t> keys;
  std::vector<bool> thisPcOnly;
  for (KeptEntry& entry : loaded) {
    older.push_back({HistoryLine(TimeOfDayOf(entry.copiedAt), entry.text), entry.copiedAt, KeptAttachment(entry)});
    keys.push_back(entry.key);
    thisPcOnly.push_back(entry.thisPcOnly);
  }
  loaded.clear();
  std::vector<HistoryId> ids = historyList_.InsertOlder(std::move(older));
  keys.resize(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (thisPcOnly[i]) thisPcOnly_.insert(ids[i]);
  }
  for (const HistoryId id : ids) MakeThumbnailOf(id);
  keeper_->Link(std::move(ids), std::move(keys));
  searchWindow_.OnHistoryChanged();
}

// A kept picture shares the session's equal one.
AttachmentPtr Form1::KeptAttachment(const KeptEntry& entry) {
  AttachmentPtr attachment = rtrillex::KeptAttachment(entry.kind, entry.text, entry.picture);
  if (!attachment || attachment->kind != EntryKind::Picture || !attachment->picture.png) return attachment;
  return PictureAttachment(pictureShelf_.Share(attachment->picture));
}

void Form1::TellSetAside(const HistoryKeeper::Report& report) {
  // Its name alone: it lies beside History.db, and a balloon holds little.
  const std::size_t folderEnd = report.setAsideAs.find_last_of(L"\\/");
  std::wstring text = kSetAsideNotice + report.setAsideAs.substr(folderEnd == std::wstring::npos ? 0 : folderEnd + 1);
  const auto count = [&text](const wchar_t (&words)[2][32], std::size_t n) {
    text = text + words[0] + std::to_wstring(n) + words[1];
  };
  // A file of ours that was damaged: how much of it came back.
  if (report.carried > 0 || report.unreadable > 0) {
    text += L"\n";
    count(kCarriedNotice, report.carried);
  }
  if (report.unreadable > 0) count(kUnreadableNotice, report.unreadable);
  TellOnce(toldSetAside_, text);
}

void Form1::TellOnce(bool& told, std::wstring_view text) {
  if (told) return;
  told = true;
  trayIcon_->ShowBalloon(kNoticeTitle, text);
}

void Form1::mnuKeepHistory_Click() {
  if (keeper_) {
    // Off: the kept file goes at once; the session's lines stay on show.
    const bool deleted = keeper_->StopAndDelete();
    keeper_.reset();
    keptArrivals_.clear();
    CheckMenuItem(fileMenu_, static_cast<UINT>(MenuId::mnuKeepHistory), MF_BYCOMMAND | MF_UNCHECKED);
    settingsFile_.Write(setting::kHistorySection, setting::kKeepHistory, L"0");
    keptFileLeft_ = !deleted;
    if (!deleted) trayIcon_->ShowBalloon(kNoticeTitle, kCannotDeleteNotice + KeptHistoryPath());
    return;
  }
  settingsFile_.Write(setting::kHistorySection, setting::kKeepHistory, L"1");
  StartKeeping();
  if (std::exchange(keptFileLeft_, false)) {
    // What it holds is this session's, on screen already and kept below.
    wantsLoaded_ = false;
    keeper_->Clear();
  }
  // The session's history so far is kept at once, with its pictures.
  const History& history = historyList_.history();
  for (std::size_t position = 0; position < history.size(); ++position)
    KeepLine(history.IdAt(position), history.CopiedAtAt(position), history.LineAt(position));
}

void Form1::mnuClearHistory_Click() {
  const int answer = MessageBoxW(hwnd(), kClearQuestion, kNoticeTitle,
                                 MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST);
  if (answer != IDYES) return;
  historyList_.Clear();
  searchWindow_.OnHistoryChanged();
  wantsLoaded_ = false;
  if (keeper_) keeper_->Clear();
  UnshareAll();
}

}  // namespace rtrillex
