// The synced folder's worker: a thread of its own that owns this PC's
// journal and reads the other PCs' journals, on a change notice for the
// folder and every few seconds, merging them into the copies shared with
// this PC. Neither a write nor a read waits on the window's thread. It never
// touches a window: what it has to tell waits in its reports, and a posted
// message tells the window to take them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "folder_key.h"
#include "kept_history.h"
#include "local_time.h"
#include "shared_entries.h"
#include "sync_journal.h"

namespace rtrillex {

struct SyncSetup {
  std::wstring folder;          // the synced folder; its files are in <folder>\rTrillex
  InstallationId installation;  // this installation's, random, never the computer name
  std::string pcName;           // UTF-8, shown on the other PCs beside its copies
  FolderKey key;                // the folder's key, as joined or made
  // The most of this PC's copies its journal carries once it is compacted:
  // what another PC keeps of it is bound the same way.
  std::size_t copiesKept = kDefaultKeptEntries;
  // How much of a journal a read takes, made larger only for a record that
  // does not fit (up to kMostReadAtOnce): a long journal never takes its
  // size in memory at once. Smaller in the tests.
  std::size_t firstReadBytes = std::size_t{4} << 20;
};

// One of this PC's copies as its line shows it, for a line of an earlier run
// whose record's id only the journal knows.
struct OwnCopy {
  RecordKind kind = RecordKind::Text;  // Text or Picture
  std::string text;                    // a text's, UTF-8
  std::shared_ptr<const Bytes> png;    // a picture's
  LocalSeconds copiedAt = 0;           // its line's time
};

// A PC seen in the folder: for the sharing window.
struct SyncPc {
  std::string name;             // UTF-8
  InstallationId installation;
  std::uint64_t changedMs = 0;  // when its journal last changed (Unix ms, the file's time)
  bool thisPc = false;
};

class SyncKeeper {
 public:
  struct Report {
    enum class Kind {
      Shared,         // what the other PCs share changed: `entries`, `phrases`
      Pcs,            // the PCs seen changed: `pcs`
      FolderMissing,  // the folder is gone (an unplugged drive): waiting for it
      FolderBack,     // it is there again
      // Damaged, Newer and OtherKey are said of this PC's own journal too,
      // which is then left as it is and not written.
      Damaged,        // a journal with a record that does not open: `detail` names its PC; read up to it
      Newer,          // a journal of a newer version: skipped; `detail` names its PC
      OtherKey,       // a journal sealed with another folder key (another passphrase's folder)
      // The folder's key file names another key than this PC's (made anew,
      // or made by two PCs in one moment and the engine kept the other's):
      // what this PC writes reads nowhere until it joins again. Said once
      // until the two match again.
      KeyReplaced,
      // this PC's journal could not be opened or written; tried again (said
      // once until a write succeeds).
      CannotWrite,
      WritingAgain,   // a record written after CannotWrite
      // A record the sealer refused or too large to share: dropped, as no
      // retry would ever write it. Said for each.
      RecordDropped,
    } kind = Kind::Shared;
    // Shared: the other PCs' copies still shown, newest first by their
    // ordering. This PC's own copies are not among them.
    std::vector<SharedEntry> entries;
    // Shared: the latest set of fixed phrases any PC shared, in order, when
    // one came from another PC since the last report; in the first report,
    // the set in force whoever shared it.
    std::optional<std::vector<SharedPhrase>> phrases;
    // Shared: the first since the start, once the folder was read.
    bool firstRead = false;
    // Shared: this PC's own copies hidden since the last report by a
    // removal or a clear-all, this PC's or another's, each told once a run.
    std::vector<SharedEntry> removedHere;
    // Shared: every removal read since the last report, whatever it
    // removed, and the latest clear-all's ordering time: the other PCs'
    // copies kept here go by them too.
    std::vector<EntryId> removedIds;
    std::optional<std::uint64_t> clearedThroughMs;
    std::uint64_t phrasesAfter = 0;  // this PC's sets of phrases written before it was made
    std::vector<SyncPc> pcs;  // Pcs
    std::wstring detail;
  };

  // Starts at once; `reportMessage` is posted to `window` whenever reports
  // wait. With a null window nothing is posted: the caller polls TakeReports.
  SyncKeeper(SyncSetup setup, HWND window, UINT reportMessage);
  // Writes what still waits, then ends the thread; a folder that is gone is
  // waited for a few seconds at most, and what it would have taken is lost.
  ~SyncKeeper();
  SyncKeeper(const SyncKeeper&) = delete;
  SyncKeeper& operator=(const SyncKeeper&) = delete;

  // A copy of this PC's, written to its journal within a second; the id it
  // is known by everywhere, for a later removal.
  EntryId ShareText(std::string utf8, std::uint64_t recordedMs);
  EntryId SharePicture(std::shared_ptr<const Bytes> png, std::uint64_t recordedMs);
  // Gone on every PC: one of this PC's copies or another's.
  void Remove(const EntryId& id);
  // Gone on every PC: the record of this PC's that holds the same and was
  // made within a second of the line, once this PC's journal was read;
  // nothing if none does (the copy was never shared).
  void RemoveOwnCopy(OwnCopy copy);
  // Every copy shared so far, this PC's and the others', gone everywhere.
  void ClearAll();
  // The fixed phrases as they now stand, whole and in order.
  void SharePhrases(std::vector<SharedPhrase> phrases);

  std::vector<Report> TakeReports();

 private:
  struct Shared;
  class Worker;
  static DWORD WINAPI Run(void* shared);

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

}  // namespace rtrillex
