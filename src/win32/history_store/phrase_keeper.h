// The fixed phrases' writer: a thread of its own that owns Phrases.db,
// loads it at the start and writes each change the window makes, so that
// neither the start nor a change waits for the disk. A change that cannot be
// written yet (a locked file, a full disk) waits and is tried again; nothing
// the person made is dropped. It never touches a window: what it has to tell
// waits in its reports, and a posted message tells the window to take them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "phrase_store.h"

namespace rtrillex {

class PhraseKeeper {
 public:
  struct Report {
    enum class Kind { Loaded, SetAside, Newer, CannotWrite } kind = Kind::Loaded;
    std::vector<KeptPhrase> loaded;  // Loaded: in menu order
    std::uint64_t nextId = 1;        // Loaded
    std::wstring setAsideAs;         // SetAside: the unreadable file's new name
    std::size_t carried = 0;         // SetAside: phrases read whole from it into the new file
    std::size_t unreadable = 0;      // SetAside: phrases it holds that could not be read
  };

  // Opens `path` (UTF-16) on the writer's thread at once, and again every few
  // seconds until it opens; `reportMessage` is posted to `window` whenever
  // reports wait.
  PhraseKeeper(const std::wstring& path, HWND window, UINT reportMessage);
  // Writes everything still waiting, then ends the thread.
  ~PhraseKeeper();
  PhraseKeeper(const PhraseKeeper&) = delete;
  PhraseKeeper& operator=(const PhraseKeeper&) = delete;

  // Written in one transaction, after every batch given before.
  void Apply(std::vector<PhraseChange> changes);
  std::vector<Report> TakeReports();

 private:
  struct Shared;
  class Writer;
  static DWORD WINAPI Run(void* shared);

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

}  // namespace rtrillex
