// A slim reader/writer lock held exclusively for as long as an ExclusiveLock
// lives: what a worker thread and the window's thread share is touched only
// under it.
#pragma once

#include <windows.h>

namespace rtrillex {

class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace rtrillex
