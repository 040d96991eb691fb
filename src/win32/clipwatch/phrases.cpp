// The main window's side of the fixed phrases (定型文): kept in Phrases.db
// beside Setting.ini whether or not the history is kept, loaded by their
// writer at the start, pinned and unpinned from the menu of recent copies,
// and put back and pasted as a chosen copy is.
#include <string>
#include <utility>

#include "app/main_window.h"
#include "clipboard_change.h"

namespace rtrillex {
namespace {

constexpr wchar_t kPhrasesFileName[] = L"Phrases.db";
constexpr wchar_t kNoticeTitle[] = L"rTrillex";
constexpr wchar_t kPhrasesSetAsideNotice[] =
    L"定型文のファイルを読めなかったため、別の名前で残し、新しいファイルを始めました: ";
constexpr wchar_t kPhrasesNewerNotice[] =
    L"定型文のファイルは新しい版の rTrillex で作られたため、この版では使えません。ファイルはそのまま残しています。";
constexpr wchar_t kPhrasesCannotWriteNotice[] =
    L"定型文をファイルに保存できません。後でもう一度保存を試みます。";
constexpr wchar_t kPhrasesNotReadyNotice[] = L"定型文のファイルをまだ読み込めていないため、登録できません。";

}  // namespace

std::wstring Form1::PhrasesPath() const {
  std::wstring path = ProgramDirectory();
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + kPhrasesFileName;
}

void Form1::StartPhrases() { phraseKeeper_.emplace(PhrasesPath(), hwnd(), kPhraseKeeperMessage); }

void Form1::OnPhraseKeeperReports() {
  if (!phraseKeeper_) return;
  for (PhraseKeeper::Report& report : phraseKeeper_->TakeReports()) {
    switch (report.kind) {
      case PhraseKeeper::Report::Kind::Loaded:
        OnPhrasesLoaded(std::move(report.loaded), report.nextId);
        break;
      case PhraseKeeper::Report::Kind::SetAside: {
        const std::size_t folderEnd = report.setAsideAs.find_last_of(L"\\/");
        trayIcon_->ShowBalloon(kNoticeTitle, kPhrasesSetAsideNotice + report.setAsideAs.substr(
                                                                         folderEnd == std::wstring::npos ? 0 : folderEnd + 1));
        break;
      }
      case PhraseKeeper::Report::Kind::Newer:
        trayIcon_->ShowBalloon(kNoticeTitle, kPhrasesNewerNotice);
        break;
      case PhraseKeeper::Report::Kind::CannotWrite:
        trayIcon_->ShowBalloon(kNoticeTitle, kPhrasesCannotWriteNotice);
        break;
    }
  }
}

void Form1::OnPhrasesLoaded(std::vector<KeptPhrase> loaded, std::uint64_t nextId) {
  std::vector<Phrase> phrases;
  phrases.reserve(loaded.size());
  for (const KeptPhrase& kept : loaded) {
    Phrase phrase = PhraseFrom(kept);
    // A picture shares the session's equal one.
    if (phrase.kind() == EntryKind::Picture && phrase.attachment->picture.png)
      phrase.attachment = PictureAttachment(pictureShelf_.Share(phrase.attachment->picture));
    phrases.push_back(std::move(phrase));
  }
  phrases_ = PhraseList(std::move(phrases), nextId);
  phrasesLoaded_ = true;
  OnPhrasesChanged();
  // The other PCs' set, told meanwhile.
  if (sharedPhrases_.firstReadWaiting || sharedPhrases_.waiting)
    OnSharedPhrases(std::exchange(sharedPhrases_.waiting, std::nullopt),
                    std::exchange(sharedPhrases_.firstReadWaiting, false));
}

// Changed here: kept, and shared with the other PCs.
void Form1::SavePhrases(std::vector<PhraseChange> changes) {
  if (phraseKeeper_) phraseKeeper_->Apply(std::move(changes));
  SharePhrases();
}

// Every view of them open follows.
void Form1::OnPhrasesChanged() {
  searchWindow_.OnHistoryChanged();
  phraseEditor_.OnPhrasesChanged();
}

// Pins the entry as a new phrase at the end, or asks before unpinning the
// phrase that holds it already. Nothing changes before the file was read:
// a phrase made then would be lost beside the ones it holds.
void Form1::TogglePin(const std::wstring& entry, const AttachmentPtr& attachment) {
  if (!phrasesLoaded_) {
    trayIcon_->ShowBalloon(kNoticeTitle, kPhrasesNotReadyNotice);
    return;
  }
  if (const PhraseId pinned = phrases_.FindPinned(entry, attachment)) {
    Unpin(pinned);
    return;
  }
  const PhraseId id = phrases_.Pin(entry, attachment);
  SavePhrases({PhraseChange::Put(KeptFrom(*phrases_.Find(id)), phrases_.PositionOf(id))});
  OnPhrasesChanged();
}

void Form1::Unpin(PhraseId id) {
  const Phrase* phrase = phrases_.Find(id);
  if (!phrase || !phrasesLoaded_) return;
  if (!AskToDeletePhrase(hwnd(), *phrase) || !phrases_.Remove(id)) return;
  SavePhrases({PhraseChange::Remove(id)});
  OnPhrasesChanged();
}

void Form1::PutPhraseBackAndPaste(PhraseId id, const KeyboardOwner& previous) {
  const Phrase* phrase = phrases_.Find(id);
  if (!phrase || phrase->separator) return;
  watch_.PutEntryBack(phrase->text, phrase->attachment);
  if (recentCopies_.PastesChoice()) pasteBack_->Start(previous.window);
}

void Form1::RemoveFound(SearchWindow::Row row) {
  if (row.arrived)
    RemoveArrived(*row.arrived);
  else if (!row.isPhrase)
    RemoveLine(row.id);
}

void Form1::ChooseFound(SearchWindow::Row row, const KeyboardOwner& previous) {
  if (row.arrived)
    PutArrivedBackAndPaste(*row.arrived, previous);
  else if (row.isPhrase)
    PutPhraseBackAndPaste(row.id, previous);
  else
    PutBackAndPaste(row.id, previous);
}

// Ctrl+P in the search: a line is pinned there and then; unpinning asks
// first, which takes the front, so the search closes before it.
void Form1::PinFound(SearchWindow::Row row) {
  if (row.arrived) return;  // another PC's copy: pinned there
  PhraseId unpinning = row.isPhrase ? row.id : 0;
  if (!row.isPhrase) {
    const std::wstring* line = historyList_.history().Find(row.id);
    if (!line) return;
    const std::wstring entry(EntryIn(*line));
    const AttachmentPtr attachment = historyList_.history().AttachmentOf(row.id);
    unpinning = phrasesLoaded_ ? phrases_.FindPinned(entry, attachment) : 0;
    if (!unpinning) {
      TogglePin(entry, attachment);
      return;
    }
  }
  searchWindow_.CloseAndGiveBack();
  Unpin(unpinning);
}

}  // namespace rtrillex
