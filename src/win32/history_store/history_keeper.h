// The kept history's writer: a thread of its own that owns History.db and
// writes what the session asks for within a second, so that no copy waits
// for the disk. It never touches a window: what it has to tell (the kept
// entries loaded, a file set aside, a file it cannot write) waits in its
// reports, and a posted message tells the window to take them.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history.h"
#include "history_store.h"

namespace rtrillex {

class HistoryKeeper {
 public:
  struct Report {
    enum class Kind { Loaded, SetAside, CannotWrite, NotKept } kind = Kind::Loaded;
    std::vector<KeptEntry> loaded;  // Loaded: oldest first
    std::vector<KeptArrival> arrivals;  // Loaded: the other PCs' copies kept, oldest first
    std::wstring setAsideAs;        // SetAside: the unreadable file's new name
    std::size_t carried = 0;        // SetAside: entries read whole from it into the new file
    std::size_t unreadable = 0;     // SetAside: entries it holds that could not be read
    std::vector<HistoryId> notKept; // NotKept: lines the file can never hold
  };

  // Opens `path` (UTF-16) on the writer's thread at once; `reportMessage` is
  // posted to `window` whenever reports wait.
  HistoryKeeper(const std::wstring& path, std::size_t bound, std::uint64_t pictureBytes, HWND window,
                UINT reportMessage);
  // Writes everything still waiting, then ends the thread.
  ~HistoryKeeper();
  HistoryKeeper(const HistoryKeeper&) = delete;
  HistoryKeeper& operator=(const HistoryKeeper&) = delete;

  void Add(HistoryId id, LocalSeconds copiedAt, std::wstring entry, EntryKind kind, bool thisPcOnly);
  void KeepPicture(HistoryId id, PictureBytes picture);
  void Remove(HistoryId id);
  void Clear();
  // Another PC's copy, kept so that it stays when its journal goes, or forgotten.
  void KeepArrival(KeptArrival arrival);
  void ForgetArrival(const KeptArrival& arrival);
  void Link(std::vector<HistoryId> ids, std::vector<std::uint64_t> keys);
  // Ends the thread without writing and deletes the files; false when they remain.
  bool StopAndDelete();

  std::vector<Report> TakeReports();

 private:
  struct Shared;
  class Writer;
  void Ask(std::function<void(class KeptHistory&)> request);
  static DWORD WINAPI Run(void* shared);

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

}  // namespace rtrillex
