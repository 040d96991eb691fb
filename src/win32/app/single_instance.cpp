#include "single_instance.h"

namespace rtrillex {

SingleInstance::SingleInstance() {
  // Local\ keeps the name per logon session, like the tray it lives in.
  mutex_.reset(CreateMutexW(nullptr, FALSE, L"Local\\rTrillex.SingleInstance"));
  const DWORD error = GetLastError();
  // Access denied means the mutex exists, made by a copy running elevated.
  earlierRuns_ = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

}  // namespace rtrillex
