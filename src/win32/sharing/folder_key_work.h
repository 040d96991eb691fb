// The synced folder's key joined with the passphrase, or made where the
// folder has none yet, for the sharing window. Deriving a key from a
// passphrase takes about a second on purpose, so it runs on a thread of its
// own: the window's thread goes on reacting to copies meanwhile.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "folder_key.h"

namespace rtrillex {

enum class FolderKeyOutcome {
  Joined,
  Made,
  NeedsConfirmation,  // the folder has no key yet: the passphrase must be typed twice alike
  WrongPassphrase,
  KeyFileNewer,
  KeyFileUnreadable,
  CannotMakeKey,
  SystemRefused,
};

struct FolderKeyResult {
  FolderKeyOutcome outcome = FolderKeyOutcome::SystemRefused;
  FolderKey key;  // when Joined or Made
};

// Joins the folder's key, or makes it there when the folder has none and the
// passphrase was `confirmed` (typed twice alike). Another PC making one at the
// same moment: that one is joined.
FolderKeyResult JoinOrMakeFolderKey(const std::wstring& folder, const std::wstring& passphrase, bool confirmed);

// JoinOrMakeFolderKey on its own thread. `window` gets `doneMessage` when it
// has finished; Take() then gives the result. Destroyed before, it waits for
// the thread, and the result is lost.
class FolderKeyWork {
 public:
  FolderKeyWork(std::wstring folder, std::wstring passphrase, bool confirmed, HWND window, UINT doneMessage);
  ~FolderKeyWork();
  FolderKeyWork(const FolderKeyWork&) = delete;
  FolderKeyWork& operator=(const FolderKeyWork&) = delete;

  bool Started() const { return thread_ != nullptr; }
  FolderKeyResult Take();

 private:
  struct Job;
  static DWORD WINAPI Run(void* job);

  std::unique_ptr<Job> job_;
  HANDLE thread_ = nullptr;
};

}  // namespace rtrillex
