// The synced folder's files on Windows: this PC's own journal, written only
// by appending whole records, and the other PCs' journals, read from where
// the last read stopped, opened only long enough to read and shared with
// the sync engine that writes them. A folder that is gone (a drive
// unplugged, a share offline) is an outcome of its own, said once, not a
// storm of errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "handle.h"
#include "local_time.h"
#include "sync_folder.h"
#include "sync_journal.h"

namespace rtrillex {

// <folder>\rTrillex, where every PC's files are.
std::wstring SyncFilesFolder(std::wstring_view folder);

// <folder>\rTrillex\key, the folder's key wrapped under the passphrase.
std::wstring KeyFilePath(std::wstring_view folder);

// The id of the key the folder's key file holds; none while that file is
// not there or not whole, which tells nothing either way.
std::optional<Id16> FolderKeyIdIn(std::wstring_view folder);

// The folder exists and is a folder: an unplugged drive's is not.
bool SyncFolderPresent(std::wstring_view folder);

// False for a folder that holds the program (its History.db would then be
// synced, and it is this PC's alone) or lies inside the program's folder.
// Compared as full paths, whatever their case or trailing separators.
bool IsFolderAllowed(std::wstring_view folder, std::wstring_view programFolder);

// Deletes what this installation wrote to the folder: its journal, the sync
// engine's conflict copies of it, and a compaction's leftover. False when
// any of them stays (held by another program, say).
bool DeleteOwnJournal(std::wstring_view folder, const InstallationId& installation);

enum class OwnJournalOpen {
  Opened,
  FolderMissing,
  // Not a journal this PC can go on appending to: sealed with another
  // folder key, a later version's, damaged, or another installation's.
  // unusableStatus() says which; the caller starts anew or asks the person.
  Unusable,
  Failed,  // the system refused; try later
};

enum class JournalAppend {
  Appended,
  // Whole in the file, but the system would not confirm it reached the
  // disk: kept, as a reader may have it already; not to be appended again.
  AppendedNotFlushed,
  Later,          // nothing of the record is in the journal: try again later
  FolderMissing,  // nothing of it either
  Refused,        // the sealer refused, or the record is too large to share
};

enum class JournalCompaction {
  NotWorthIt,
  Compacted,
  // Left as it was (the sync engine may hold it open): tried at the next
  // start. The journal may be closed after it: open it again.
  Failed,
};

class OwnJournal {
 public:
  OwnJournal() = default;
  OwnJournal(OwnJournal&&) = default;
  OwnJournal& operator=(OwnJournal&&) = default;

  // Opens <folder>\rTrillex\<installation>.journal, made with its header
  // when new, and reads it back to go on from its last record. A tail cut
  // mid-record (the program ended during a write) is cut off first.
  OwnJournalOpen Open(std::wstring_view folder, const InstallationId& installation, std::string_view pcName,
                      const RecordSealer& sealer);

  // `record` sealed and written at the end in one write, then flushed; its
  // sequence number is nextSequence(). The caller sets its ordering time
  // with NextOrderingTime after lastOrderingMs() and every other journal's.
  JournalAppend Append(const RecordSealer& sealer, const SyncRecord& record);

  // Writes the journal anew with only the records RecordsToKeep keeps, when
  // that is worth it: into a file beside it, whole and flushed, then moved
  // over it in one step, so that a crash or a power cut leaves one or the
  // other whole. The other PCs see the journal replaced and read it anew.
  JournalCompaction Compact(const RecordSealer& sealer, std::size_t copiesKept);

  // Deleted while open (the person removing the synced folder): its name is
  // gone, or goes once this handle closes. Records appended would reach nobody.
  bool Deleted() const;

  bool isOpen() const { return static_cast<bool>(file_); }
  const std::wstring& path() const { return path_; }
  std::uint64_t nextSequence() const { return nextSequence_; }
  std::uint64_t lastOrderingMs() const { return lastOrderingMs_; }
  std::uint64_t size() const { return size_; }
  JournalStatus unusableStatus() const { return unusableStatus_; }

 private:
  OwnJournalOpen Failure(std::wstring_view folder);
  OwnJournalOpen ReadBack(const RecordSealer& sealer);
  bool ReadWhole(Bytes& bytes);
  // Where a compaction writes the new journal: a name no PC reads, and
  // that a crash may leave behind for the next open to delete.
  std::wstring CompactionPath() const;
  bool WriteAtEnd(ByteSpan bytes);
  bool CutToSize();

  UniqueFile file_;
  std::wstring folder_;
  std::wstring path_;
  InstallationId installation_{};
  std::string pcName_;
  Bytes headerBytes_;
  std::uint64_t size_ = 0;  // the bytes of whole records: all a reader may take
  std::uint64_t nextSequence_ = 1;
  std::uint64_t lastOrderingMs_ = 0;
  // A failed write left bytes past size_: cut before anything else is written.
  bool mustCut_ = false;
  JournalStatus unusableStatus_ = JournalStatus::UpToDate;
};

enum class FileReadOutcome {
  Read,
  // Held by another program (the sync engine writing it), or a cloud file
  // whose bytes are not on this PC: reading would download it. Try later.
  Later,
  Gone,
  // Shorter than the offset: replaced, not appended to. Read it anew.
  Replaced,
};

struct FileRead {
  FileReadOutcome outcome = FileReadOutcome::Later;
  Bytes bytes;        // from the offset on
  bool more = false;  // the file goes on past these bytes: read again from where they end
};

// Reads at most this much in one go, enough for the largest record.
inline constexpr std::size_t kMostReadAtOnce = 2 * kLargestSealedRecord;

// A file time as Unix milliseconds; 0 for one before 1970.
std::uint64_t UnixMs(const FILETIME& time);
// And back, as this PC's local time, as a PC's times are shown here;
// nullopt where the system cannot say.
std::optional<SYSTEMTIME> LocalTimeOf(std::uint64_t unixMs);
// The same as the seconds this PC's lines are timed in; 0 where it cannot say.
LocalSeconds LocalSecondsOf(std::uint64_t unixMs);

// The file's bytes from `offset` to its end, opened only for this read.
FileRead ReadFrom(const std::wstring& path, std::uint64_t offset, std::size_t most = kMostReadAtOnce);

struct ListedFile {
  std::wstring path;
  SyncFile file;
  std::uint64_t size = 0;
  std::uint64_t changedMs = 0;  // its last write, Unix ms: when its PC last shared something
  // A cloud file whose bytes are still elsewhere: not read until they come.
  bool onDisk = true;
};

enum class ListingOutcome { Listed, FolderMissing, Later };

struct SyncFolderListing {
  ListingOutcome outcome = ListingOutcome::Later;
  std::vector<ListedFile> journals;  // other PCs' journals and any conflict copies: to read
  std::optional<ListedFile> keyFile;
  std::vector<ListedFile> keyConflictCopies;  // the person must choose
  std::optional<ListedFile> ownJournal;
};

// The files in <folder>\rTrillex by kind; a sync engine's files still on
// their way are left out. A folder without it yet is listed as empty.
SyncFolderListing ListSyncFolder(std::wstring_view folder, const InstallationId& ownInstallation);

}  // namespace rtrillex
