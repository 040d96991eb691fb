// The menu of recent copies: a system-wide key combination opens, at the
// pointer, the fixed phrases, lettered so that a letter picks one, then the
// newest entries of the history among the copies the other PCs shared (each
// marked with its PC's name), numbered so that a digit picks one; Ctrl+P
// pins the item under the keyboard, or unpins a phrase; Delete removes the
// entry under it (another PC's copy on every PC). This owns the key's
// registration and, while the menu is open, its items.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arrived_copies.h"
#include "clipwatch/hot_key_registration.h"
#include "handle.h"
#include "keyboard_owner.h"
#include "history.h"
#include "history_marks.h"
#include "phrase_list.h"
#include "settings/profile_settings_file.h"

namespace rtrillex {

// What a right click on an entry offers, here and in the search: the same as
// Ctrl+P.
const wchar_t* PinOfferCaption(bool onPhrase);

class RecentCopiesMenu {
 public:
  RecentCopiesMenu(const History& history, const PhraseList& phrases, const std::vector<ArrivedCopy>& arrived)
      : history_(history), phrases_(phrases), arrived_(arrived) {}

  // Reads Setting.ini's [HotKey] (read here only, never written) and
  // registers the combination History names, or the usual one; none when the
  // value is empty.
  void RegisterHotKey(HWND window, ProfileSettingsFile& settings);
  void UnregisterHotKey() { hotKey_.reset(); }
  bool IsItsHotKey(int id) const;
  // Whether a chosen entry is also pasted where the person was typing ([HotKey] Paste).
  bool PastesChoice() const { return pastesChoice_; }

  struct Choice {
    std::optional<HistoryId> line;       // none when nothing was chosen
    std::optional<PhraseId> phrase;      // a fixed phrase chosen instead
    std::optional<Id16> arrived;         // or a copy another PC shared, by its id
    // Ctrl+P on an item, or its right click's offer taken: the line to pin,
    // or the phrase to unpin.
    std::optional<HistoryId> pin;
    std::optional<PhraseId> unpin;
    // Delete on an entry: this PC's line, or another PC's copy, to remove.
    std::optional<HistoryId> remove;
    std::optional<Id16> removeArrived;
    std::optional<std::wstring> search;  // the search asked for instead, with what was typed to start it
    KeyboardOwner previous;              // had the keyboard: given it back, unless a search follows; no window if none
  };
  // Opens the menu at the pointer.
  Choice Open(HWND owner);

  // Its owner-drawn items; false for an item of another menu.
  bool Measure(HWND owner, MEASUREITEMSTRUCT& item) const;
  bool Draw(const DRAWITEMSTRUCT& item) const;
  // The answer to WM_MENUCHAR; nullopt for another menu, which keeps the default.
  std::optional<LRESULT> OnMenuChar(HMENU menu, wchar_t typed);
  // Pictures were read: an open menu draws the thumbnails that came.
  void OnPicturesRead() const;
  // The item the keyboard or the mouse is on (WM_MENUSELECT).
  void OnMenuSelect(HMENU menu, UINT item, UINT flags);

 private:
  const ShownRuns* Label(UINT commandId) const;

  // A picture item's number; its thumbnail is the line's as it is drawn, a
  // placeholder until its picture is read.
  struct Thumbnail {
    bool isPicture = false;
    ShownRuns number;  // drawn before it; the item's label holds the rest
  };
  const Thumbnail* ThumbnailOf(UINT commandId) const;
  std::shared_ptr<const Pixels> PixelsOf(UINT commandId) const;

  void AppendPhrases(HMENU menu);
  bool OnMenuKey(const MSG& message);
  void OfferPin(HWND owner, Choice& choice) const;
  bool OnOwnLine() const;
  static ShownRuns ArrivedLabel(std::size_t position, const ArrivedCopy& copy, const CalendarDate& today);

  const History& history_;
  const PhraseList& phrases_;
  const std::vector<ArrivedCopy>& arrived_;
  std::optional<HotKeyRegistration> hotKey_;
  bool pastesChoice_ = true;
  // While the menu is open:
  HMENU menu_ = nullptr;
  std::vector<RecentCopy> shown_;  // newest first
  std::vector<Id16> shownArrived_;  // parallel to shown_: the arrived copies' ids
  std::vector<PhraseId> shownPhrases_;  // in menu order, separators too
  std::vector<ShownRuns> phraseLabels_;  // parallel to shownPhrases_
  std::size_t firstCopyPosition_ = 0;    // the recent copies' first item, after the phrases
  UINT selected_ = 0;                    // the command the keyboard or the mouse is on
  bool pinAsked_ = false;                // Ctrl+P closed the menu
  bool offerAsked_ = false;              // a right click on an item closed it
  std::optional<std::size_t> removing_;  // Delete closed it, on the copy at this position
  std::vector<ShownRuns> labels_;
  std::vector<Thumbnail> thumbnails_;  // parallel to labels_
  int thumbnailColumn_ = 0;            // the widest thumbnail's width, where the pictures' labels start
  UniqueFont font_;
  std::optional<std::wstring> typedSearch_;  // a character typed that starts a search
};

}  // namespace rtrillex
