// The window that sets up sharing copies with the person's other PCs
// (ほかの PC と共有...): the synced folder, the passphrase (twice on the first
// PC, which makes the folder's key; once on the others, which join it),
// this PC's name and the switch, with the PCs seen in the folder and the
// last problem. OK makes or joins the key, on a thread of its own, and closes
// the window once it has it; the passphrase is never kept, only the folder's
// key protected for this user.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "folder_key.h"
#include "folder_key_work.h"
#include "form_window.h"
#include "sync_keeper.h"
#include "sync_settings.h"

namespace rtrillex {

class SharingWindow : public FormWindow {
 public:
  // `applied` gets the settings chosen and, when sharing is on, the folder's
  // key to share with.
  using AppliedHandler = std::function<void(const SyncSettings& settings, const std::optional<FolderKey>& key)>;
  SharingWindow(std::wstring programFolder, AppliedHandler applied)
      : programFolder_(std::move(programFolder)), applied_(std::move(applied)) {}

  void Show(const SyncSettings& settings);
  // What the worker last told: the PCs in the folder, a problem or none.
  void ShowPcs(const std::vector<SyncPc>& pcs);
  void ShowProblem(const std::wstring& problem);
  bool TranslateKey(MSG& message);
  void Close();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Create();
  void Browse();
  void Apply();
  std::optional<FolderKey> KeptKey() const;  // none when it cannot be opened here
  std::optional<FolderKey> KeptKeyFor(const std::wstring& folder) const;
  void OnKeyWorkDone();
  void Finish(SyncSettings chosen, const FolderKey& key);
  bool SameKeyAsKept(const FolderKey& key) const;
  void TurnOff();
  void Tell(const wchar_t* text) const;

  std::wstring programFolder_;
  AppliedHandler applied_;
  SyncSettings settings_;  // as shown when opened
  std::unique_ptr<FolderKeyWork> keyWork_;  // while the key is joined or made
  SyncSettings waiting_;                    // what is applied once it is
  HWND folder_ = nullptr;
  HWND passphrase_ = nullptr;
  HWND confirmation_ = nullptr;
  HWND name_ = nullptr;
  HWND on_ = nullptr;
  HWND ok_ = nullptr;
  HWND pcs_ = nullptr;
  HWND problem_ = nullptr;
};

}  // namespace rtrillex
