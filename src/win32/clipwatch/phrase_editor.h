// The window that arranges the fixed phrases (定型文の編集), opened from the
// icon's menu: the phrases in their menu order on the left, the selected
// one's label and text on the right, and buttons to add a phrase or a
// separator, move one up or down (also Alt+Up and Alt+Down) and delete one
// (also Delete, after asking). Every change is made in the shared list and
// handed on to be written at once; a label or text typed is taken when the
// field is left, another phrase is selected or the window closes.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "form_window.h"
#include "phrase_list.h"

namespace rtrillex {

// Asks the person before a phrase is deleted; true for yes.
bool AskToDeletePhrase(HWND owner, const Phrase& phrase);

class PhraseEditor : public FormWindow {
 public:
  // `save` gets each change to write, as one batch.
  using SaveHandler = std::function<void(std::vector<PhraseChange>)>;
  PhraseEditor(PhraseList& phrases, SaveHandler save) : phrases_(phrases), save_(std::move(save)) {}

  // Opens it, or brings it to the front with the keyboard in its list.
  void Show();
  // The phrases changed elsewhere (pinned or unpinned from the menu or the
  // search): the list follows, and what is being typed stays.
  void OnPhrasesChanged();
  // Its keys, from the message loop; true when taken.
  bool TranslateKey(MSG& message);
  // Takes what was typed, then closes.
  void Close();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Create();
  void Fill(PhraseId selected);
  PhraseId SelectedId() const;
  void ShowSelected();
  void ApplyEdits();
  void SavePhrase(PhraseId id, bool withOrder = false);
  void AddPhrase();
  void AddSeparator();
  void Move(bool up);
  void DeleteSelected();
  void EnableFields();
  void OnCommand(int id, int notification);
  void DrawRow(const DRAWITEMSTRUCT& item) const;

  PhraseList& phrases_;
  SaveHandler save_;
  HWND list_ = nullptr;
  HWND name_ = nullptr;
  HWND text_ = nullptr;
  PhraseId editing_ = 0;  // the phrase the fields show; 0 for none
};

}  // namespace rtrillex
