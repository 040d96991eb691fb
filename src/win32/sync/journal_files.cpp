#include "journal_files.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <numeric>

#include "sync_compaction.h"
#include "sync_key_file.h"

namespace rtrillex {
namespace {

// Cloud files whose bytes are not on this PC (newer than the headers we build with).
constexpr DWORD kRecallOnOpen = 0x00040000;
constexpr DWORD kRecallOnDataAccess = 0x00400000;
constexpr DWORD kNotOnDisk = kRecallOnOpen | kRecallOnDataAccess | FILE_ATTRIBUTE_OFFLINE;

constexpr DWORD kIoChunk = 16u << 20;

constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceRetryMilliseconds = 100;

std::wstring Joined(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += name;
  return path;
}

// Where a compaction writes the new journal before it replaces the old.
// "~$" starts the names of the files office programs hold open: the sync
// engines that know them send none, and every PC's listing skips them.
std::wstring CompactionFileName(const InstallationId& installation) {
  return L"~$" + JournalFileName(installation);
}

bool SetPosition(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

std::optional<std::uint64_t> FileSize(HANDLE file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

// Exactly `count` bytes from the file's position, in chunks ReadFile takes.
bool ReadExactly(HANDLE file, std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, kIoChunk));
    DWORD read = 0;
    if (!ReadFile(file, out, chunk, &read, nullptr) || read == 0) return false;
    out += read;
    count -= read;
  }
  return true;
}

// A new file holding `bytes`, flushed to the disk, or false.
bool WriteNewFile(const std::wstring& path, const Bytes& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::uint8_t* next = bytes.data();
  for (std::size_t left = bytes.size(); left > 0;) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, kIoChunk));
    DWORD written = 0;
    if (!WriteFile(file.get(), next, chunk, &written, nullptr) || written != chunk) return false;
    next += written;
    left -= written;
  }
  return FlushFileBuffers(file.get()) != FALSE;
}

FileRead Outcome(FileReadOutcome outcome) {
  FileRead read;
  read.outcome = outcome;
  return read;
}

// A path made full, with one kind of separator and none at its end, its
// short names made long where it exists.
std::wstring NormalisedPath(std::wstring_view path) {
  const std::wstring given(path);
  DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
  full.resize(size);
  if (const DWORD longSize = GetLongPathNameW(full.c_str(), nullptr, 0); longSize > 0) {
    std::wstring longPath(longSize, L'\0');
    const DWORD written = GetLongPathNameW(full.c_str(), longPath.data(), longSize);
    if (written > 0 && written < longSize) full.assign(longPath.c_str(), written);
  }
  std::replace(full.begin(), full.end(), L'/', L'\\');
  while (full.size() > 1 && full.back() == L'\\') full.pop_back();
  return full;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// `inner` is `outer` or somewhere inside it; both normalised.
bool IsWithin(std::wstring_view inner, std::wstring_view outer) {
  if (inner.size() < outer.size() || !SameText(inner.substr(0, outer.size()), outer)) return false;
  // C:\Prog is not within C:\Program; a drive's root (C:) holds everything on it.
  return inner.size() == outer.size() || inner[outer.size()] == L'\\' || outer.back() == L'\\';
}

}  // namespace

std::wstring SyncFilesFolder(std::wstring_view folder) { return Joined(folder, kSyncFolderName); }

std::wstring KeyFilePath(std::wstring_view folder) { return Joined(SyncFilesFolder(folder), kKeyFileName); }

std::optional<Id16> FolderKeyIdIn(std::wstring_view folder) {
  const FileRead file = ReadFrom(KeyFilePath(folder), 0);
  if (file.outcome != FileReadOutcome::Read) return std::nullopt;
  const KeyFileRead read = ReadKeyFile(file.bytes);
  if (read.status != KeyFileStatus::Read) return std::nullopt;
  return read.key.keyId;
}

bool SyncFolderPresent(std::wstring_view folder) {
  const DWORD attributes = GetFileAttributesW(std::wstring(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolderAllowed(std::wstring_view folder, std::wstring_view programFolder) {
  const std::wstring synced = NormalisedPath(folder);
  const std::wstring program = NormalisedPath(programFolder);
  if (synced.empty() || program.empty()) return false;
  return !IsWithin(program, synced) && !IsWithin(synced, program);
}

OwnJournalOpen OwnJournal::Open(std::wstring_view folder, const InstallationId& installation,
                                std::string_view pcName, const RecordSealer& sealer) {
  *this = OwnJournal();
  if (!SyncFolderPresent(folder)) return OwnJournalOpen::FolderMissing;
  folder_.assign(folder);
  const std::wstring files = SyncFilesFolder(folder);
  if (!CreateDirectoryW(files.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return Failure(folder);
  path_ = Joined(files, JournalFileName(installation));
  installation_ = installation;
  pcName_.assign(pcName);
  DeleteFileW(CompactionPath().c_str());  // left by a compaction cut short
  // Others may read it (the sync engine, above all) and move or delete it;
  // only this PC writes it.
  file_.reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) return Failure(folder);
  const OwnJournalOpen opened = ReadBack(sealer);
  if (opened != OwnJournalOpen::Opened) file_.reset();
  return opened;
}

OwnJournalOpen OwnJournal::Failure(std::wstring_view folder) {
  file_.reset();
  return SyncFolderPresent(folder) ? OwnJournalOpen::Failed : OwnJournalOpen::FolderMissing;
}

bool OwnJournal::ReadWhole(Bytes& bytes) {
  const std::optional<std::uint64_t> size = FileSize(file_.get());
  if (!size || *size > std::numeric_limits<std::size_t>::max()) return false;
  bytes.resize(static_cast<std::size_t>(*size));
  return SetPosition(file_.get(), 0) && ReadExactly(file_.get(), bytes.data(), bytes.size());
}

OwnJournalOpen OwnJournal::ReadBack(const RecordSealer& sealer) {
  Bytes bytes;
  if (!ReadWhole(bytes)) return Failure(folder_);

  const JournalRead read = ReadJournal(bytes, sealer, JournalReadState());
  if (read.status != JournalStatus::UpToDate && read.status != JournalStatus::Waiting) {
    unusableStatus_ = read.status;
    return OwnJournalOpen::Unusable;
  }
  if (read.state.offset > 0 && read.state.header.installation != installation_) {
    unusableStatus_ = JournalStatus::NotJournal;
    return OwnJournalOpen::Unusable;
  }
  // Only this PC writes here, so a tail that is not a whole record is the
  // rest of a write that never ended: nothing more will come to complete it.
  size_ = read.state.offset;
  mustCut_ = size_ < bytes.size();
  nextSequence_ = read.state.nextSequence;
  for (const JournalRecord& record : read.records) {
    lastOrderingMs_ = std::max(lastOrderingMs_, record.record.orderingMs);
  }
  if (size_ > 0) {
    headerBytes_ = read.state.headerBytes;
    return CutToSize() ? OwnJournalOpen::Opened : Failure(folder_);
  }
  const Bytes header = JournalHeaderBytes(installation_, pcName_, sealer);
  if (header.empty() || !CutToSize() || !WriteAtEnd(header)) return Failure(folder_);
  // Unflushed and lost, the header is only written again at the next open.
  FlushFileBuffers(file_.get());
  headerBytes_ = header;
  size_ = header.size();
  return OwnJournalOpen::Opened;
}

JournalAppend OwnJournal::Append(const RecordSealer& sealer, const SyncRecord& record) {
  if (!file_) return SyncFolderPresent(folder_) ? JournalAppend::Later : JournalAppend::FolderMissing;
  const std::optional<Bytes> bytes = AppendRecordBytes(sealer, headerBytes_, nextSequence_, record);
  if (!bytes) return JournalAppend::Refused;
  if (!CutToSize() || !WriteAtEnd(*bytes)) {
    CutToSize();  // may fail too: then mustCut_ holds every later write back until it does not
    return SyncFolderPresent(folder_) ? JournalAppend::Later : JournalAppend::FolderMissing;
  }
  size_ += bytes->size();
  ++nextSequence_;
  lastOrderingMs_ = std::max(lastOrderingMs_, record.orderingMs);
  return FlushFileBuffers(file_.get()) ? JournalAppend::Appended : JournalAppend::AppendedNotFlushed;
}

JournalCompaction OwnJournal::Compact(const RecordSealer& sealer, std::size_t copiesKept) {
  Bytes bytes;
  if (!file_ || !ReadWhole(bytes)) return JournalCompaction::Failed;
  const JournalRead read = ReadJournal(bytes, sealer, JournalReadState());
  if (read.status != JournalStatus::UpToDate) return JournalCompaction::NotWorthIt;
  // A PC renamed since tells the others with a header of its new name,
  // which only a journal written anew can have: all its records kept (but
  // never one of a later version's, which could not be written back whole).
  const Bytes header = JournalHeaderBytes(installation_, pcName_, sealer);
  std::optional<std::vector<std::size_t>> kept = RecordsToKeep(read.records, copiesKept);
  const bool laterVersions = std::any_of(read.records.begin(), read.records.end(), [](const JournalRecord& record) {
    return record.record.kind == RecordKind::Unknown;
  });
  if (!kept && header != headerBytes_ && !laterVersions) {
    kept.emplace(read.records.size());
    std::iota(kept->begin(), kept->end(), std::size_t{0});
  }
  if (!kept) return JournalCompaction::NotWorthIt;

  Bytes rewritten = header;
  std::uint64_t sequence = 0;
  for (const std::size_t index : *kept) {
    const std::optional<Bytes> record = AppendRecordBytes(sealer, header, ++sequence, read.records[index].record);
    if (!record) return JournalCompaction::Failed;
    rewritten.insert(rewritten.end(), record->begin(), record->end());
  }
  bytes = Bytes();

  const std::wstring temporary = CompactionPath();
  if (!WriteNewFile(temporary, rewritten)) {
    DeleteFileW(temporary.c_str());
    return JournalCompaction::Failed;
  }
  file_.reset();  // an open file cannot be replaced, ours included
  // Nor can one a reader holds for a moment (the sync engine hashing it, a
  // PC reading it on a share): tried a few times before the next start.
  bool moved = false;
  for (int attempt = 0; attempt < kReplaceAttempts && !moved; ++attempt) {
    if (attempt > 0) Sleep(kReplaceRetryMilliseconds);
    moved = MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  if (!moved) DeleteFileW(temporary.c_str());
  const std::wstring folder = folder_;
  const InstallationId installation = installation_;
  const std::string pcName = pcName_;
  const bool reopened = Open(folder, installation, pcName, sealer) == OwnJournalOpen::Opened;
  return moved && reopened ? JournalCompaction::Compacted : JournalCompaction::Failed;
}

std::wstring OwnJournal::CompactionPath() const {
  return Joined(SyncFilesFolder(folder_), CompactionFileName(installation_));
}

bool OwnJournal::Deleted() const {
  if (!file_) return false;
  if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  FILE_STANDARD_INFO standard;
  return GetFileInformationByHandleEx(file_.get(), FileStandardInfo, &standard, sizeof standard) &&
         standard.DeletePending;
}

// One WriteFile at size_, so that a reader sees a record either whole or cut
// (and waits for the rest), never two writes' bytes interleaved.
bool OwnJournal::WriteAtEnd(ByteSpan bytes) {
  if (bytes.size > std::numeric_limits<DWORD>::max()) return false;
  mustCut_ = true;  // until the whole record is known to be there
  DWORD written = 0;
  if (!SetPosition(file_.get(), size_) ||
      !WriteFile(file_.get(), bytes.data, static_cast<DWORD>(bytes.size), &written, nullptr) ||
      written != bytes.size) {
    return false;
  }
  mustCut_ = false;
  return true;
}

bool OwnJournal::CutToSize() {
  if (!mustCut_) return true;
  if (!SetPosition(file_.get(), size_) || !SetEndOfFile(file_.get())) return false;
  mustCut_ = false;
  return true;
}

std::uint64_t UnixMs(const FILETIME& time) {
  constexpr std::uint64_t kUnixEpochIn100ns = 116444736000000000ull;
  const std::uint64_t since1601 = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return since1601 < kUnixEpochIn100ns ? 0 : (since1601 - kUnixEpochIn100ns) / 10000;
}

std::optional<SYSTEMTIME> LocalTimeOf(std::uint64_t unixMs) {
  constexpr std::uint64_t kUnixEpochIn100ns = 116444736000000000ull;
  const std::uint64_t since1601 = unixMs * 10000 + kUnixEpochIn100ns;
  const FILETIME utc{static_cast<DWORD>(since1601), static_cast<DWORD>(since1601 >> 32)};
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return std::nullopt;
  return time;
}

bool DeleteOwnJournal(std::wstring_view folder, const InstallationId& installation) {
  const std::wstring files = SyncFilesFolder(folder);
  std::vector<std::wstring> own{Joined(files, JournalFileName(installation)),
                                Joined(files, CompactionFileName(installation))};
  WIN32_FIND_DATAW found;
  UniqueFind find(FindFirstFileW(Joined(files, L"*").c_str(), &found));
  if (find) {
    do {
      const SyncFile file = ClassifySyncFile(found.cFileName, installation);
      if (file.kind == SyncFileKind::JournalConflictCopy && file.installation == installation)
        own.push_back(Joined(files, found.cFileName));
    } while (FindNextFileW(find.get(), &found));
  }
  bool allGone = true;
  for (const std::wstring& path : own) {
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) allGone = false;
  }
  return allGone;
}

LocalSeconds LocalSecondsOf(std::uint64_t unixMs) {
  const std::optional<SYSTEMTIME> time = LocalTimeOf(unixMs);
  if (!time) return 0;
  return ToLocalSeconds({time->wYear, time->wMonth, time->wDay}, {time->wHour, time->wMinute, time->wSecond});
}

FileRead ReadFrom(const std::wstring& path, std::uint64_t offset, std::size_t most) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return Outcome(gone ? FileReadOutcome::Gone : FileReadOutcome::Later);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Outcome(FileReadOutcome::Gone);
  // Even opening some of these downloads them; a reader only waits for them.
  if (attributes & kNotOnDisk) return Outcome(FileReadOutcome::Later);

  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_NO_RECALL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return Outcome(gone ? FileReadOutcome::Gone : FileReadOutcome::Later);
  }
  const std::optional<std::uint64_t> size = FileSize(file.get());
  if (!size) return Outcome(FileReadOutcome::Later);
  if (*size < offset) return Outcome(FileReadOutcome::Replaced);
  const std::uint64_t left = *size - offset;
  FileRead read;
  read.more = left > most;
  read.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, most)));
  // A file cut while it is read: the engine is still at it.
  if (!SetPosition(file.get(), offset) || !ReadExactly(file.get(), read.bytes.data(), read.bytes.size())) {
    return Outcome(FileReadOutcome::Later);
  }
  read.outcome = FileReadOutcome::Read;
  return read;
}

SyncFolderListing ListSyncFolder(std::wstring_view folder, const InstallationId& ownInstallation) {
  SyncFolderListing listing;
  if (!SyncFolderPresent(folder)) {
    listing.outcome = ListingOutcome::FolderMissing;
    return listing;
  }
  const std::wstring files = SyncFilesFolder(folder);
  WIN32_FIND_DATAW found;
  UniqueFind find(FindFirstFileW(Joined(files, L"*").c_str(), &found));
  if (!find) {
    const DWORD error = GetLastError();
    const bool none = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (!none && !SyncFolderPresent(folder)) listing.outcome = ListingOutcome::FolderMissing;
    else listing.outcome = none ? ListingOutcome::Listed : ListingOutcome::Later;
    return listing;
  }
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    ListedFile listed;
    listed.path = Joined(files, found.cFileName);
    listed.file = ClassifySyncFile(found.cFileName, ownInstallation);
    listed.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    listed.changedMs = UnixMs(found.ftLastWriteTime);
    listed.onDisk = (found.dwFileAttributes & kNotOnDisk) == 0;
    switch (listed.file.kind) {
      case SyncFileKind::OwnJournal: listing.ownJournal = std::move(listed); break;
      case SyncFileKind::OtherJournal:
      case SyncFileKind::JournalConflictCopy: listing.journals.push_back(std::move(listed)); break;
      case SyncFileKind::KeyFile: listing.keyFile = std::move(listed); break;
      case SyncFileKind::KeyConflictCopy: listing.keyConflictCopies.push_back(std::move(listed)); break;
      case SyncFileKind::EngineTemporary:
      case SyncFileKind::Other: break;
    }
  } while (FindNextFileW(find.get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    listing.outcome = SyncFolderPresent(folder) ? ListingOutcome::Later : ListingOutcome::FolderMissing;
    return listing;
  }
  listing.outcome = ListingOutcome::Listed;
  return listing;
}

}  // namespace rtrillex
