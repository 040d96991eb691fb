// Recognises an earlier running copy of the program by a named mutex that
// the first copy holds for its whole life (a window title could be faked).
#pragma once

#include "handle.h"

namespace rtrillex {

class SingleInstance {
 public:
  SingleInstance();
  bool EarlierInstanceRuns() const { return earlierRuns_; }

 private:
  UniqueKernelObject mutex_;
  bool earlierRuns_ = false;
};

}  // namespace rtrillex
