#include "folder_key_work.h"

#include <utility>

#include "handle.h"
#include "journal_files.h"
#include "sync_folder.h"

namespace rtrillex {
namespace {

// The folder's key file, written only where there is none: two PCs making
// one at once must not overwrite each other's. False when one is there
// already or it could not be written whole (then nothing is left behind).
bool WriteNewKeyFile(const std::wstring& folder, const Bytes& bytes) {
  CreateDirectoryW(SyncFilesFolder(folder).c_str(), nullptr);
  const std::wstring path = KeyFilePath(folder);
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size() && FlushFileBuffers(file.get());
  file.reset();
  if (!whole) DeleteFileW(path.c_str());
  return whole;
}

FolderKeyResult Joined(const Bytes& keyFile, const std::wstring& passphrase) {
  const JoinedFolderKey joined = JoinFolderKey(keyFile, passphrase);
  switch (joined.result) {
    case FolderKeyJoin::Joined:
      return {FolderKeyOutcome::Joined, joined.key};
    case FolderKeyJoin::WrongPassphrase:
      return {FolderKeyOutcome::WrongPassphrase, {}};
    case FolderKeyJoin::NewerFormat:
      return {FolderKeyOutcome::KeyFileNewer, {}};
    case FolderKeyJoin::SystemFailed:
      return {FolderKeyOutcome::SystemRefused, {}};
    default:
      return {FolderKeyOutcome::KeyFileUnreadable, {}};
  }
}

}  // namespace

FolderKeyResult JoinOrMakeFolderKey(const std::wstring& folder, const std::wstring& passphrase, bool confirmed) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const FileRead keyFile = ReadFrom(KeyFilePath(folder), 0);
    if (keyFile.outcome == FileReadOutcome::Read) return Joined(keyFile.bytes, passphrase);
    if (keyFile.outcome != FileReadOutcome::Gone) return {FolderKeyOutcome::KeyFileUnreadable, {}};
    // The first PC in this folder: the passphrase twice, then a new key.
    if (!confirmed) return {FolderKeyOutcome::NeedsConfirmation, {}};
    std::optional<MadeFolderKey> made = MakeFolderKey(passphrase);
    if (!made) return {FolderKeyOutcome::SystemRefused, {}};
    if (WriteNewKeyFile(folder, made->keyFileBytes)) return {FolderKeyOutcome::Made, made->key};
    // Another PC made one meanwhile: join that one instead.
  }
  return {FolderKeyOutcome::CannotMakeKey, {}};
}

struct FolderKeyWork::Job {
  std::wstring folder;
  std::wstring passphrase;
  bool confirmed;
  HWND window;
  UINT doneMessage;
  FolderKeyResult result;  // written by the thread before the message, read after it ends
};

FolderKeyWork::FolderKeyWork(std::wstring folder, std::wstring passphrase, bool confirmed, HWND window,
                             UINT doneMessage)
    : job_(new Job{std::move(folder), std::move(passphrase), confirmed, window, doneMessage, {}}) {
  thread_ = CreateThread(nullptr, 0, Run, job_.get(), 0, nullptr);
}

FolderKeyWork::~FolderKeyWork() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

FolderKeyResult FolderKeyWork::Take() {
  if (!thread_) return {};
  WaitForSingleObject(thread_, INFINITE);
  return job_->result;
}

DWORD WINAPI FolderKeyWork::Run(void* parameter) {
  Job& job = *static_cast<Job*>(parameter);
  job.result = JoinOrMakeFolderKey(job.folder, job.passphrase, job.confirmed);
  // The passphrase does not outlive its use.
  SecureZeroMemory(job.passphrase.data(), job.passphrase.size() * sizeof(wchar_t));
  PostMessageW(job.window, job.doneMessage, 0, 0);
  return 0;
}

}  // namespace rtrillex
