// Watches another program from inside it: a message hook that the system
// loads into that program's GUI thread counts the timer messages it handles
// (does it wake up while it should be idle?), records its calls of the
// system's Beep and reads its menus, whose handles mean nothing outside it.
// What it sees lands in memory the test reads.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace e2e {

inline constexpr wchar_t kProgramSpyMapping[] = L"Local\\rTrillexE2eProgramSpy";

// The memory the hook writes and the test reads.
struct ProgramSpyRecord {
  LONG watching;     // 1 once the hook runs inside the program
  LONG ticks;        // timer messages handled since the spy was set
  LONG lastTimerId;  // the id of the last one
  LONG beeps;        // Beep calls since the spy was set, the first 16 kept
  struct {
    LONG frequency, milliseconds;
  } beep[16];
  LONG menuItem;       // the command whose state in an open menu is read...
  LONG menuItemState;  // ...as a key reaches that menu (GetMenuState); -1 until then
};

class ProgramSpy {
 public:
  explicit ProgramSpy(DWORD threadId);
  ~ProgramSpy();
  ProgramSpy(const ProgramSpy&) = delete;
  ProgramSpy& operator=(const ProgramSpy&) = delete;

  // True once the hook is inside the program's thread (which it enters at
  // the thread's next message).
  bool WaitUntilWatching(HWND programWindow);
  // Why the spy is not watching, for a failed test's message.
  const std::string& Problem() const { return problem_; }
  LONG Ticks() const { return Read(&ProgramSpyRecord::ticks); }
  LONG LastTimerId() const { return Read(&ProgramSpyRecord::lastTimerId); }
  // Each Beep call as (frequency, milliseconds).
  std::vector<std::pair<LONG, LONG>> Beeps() const;
  // From now on, reads the state of `command` in each popup menu of the
  // program that a key is sent to; -1 until one was.
  void WatchMenuItem(UINT command);
  LONG MenuItemState() const { return Read(&ProgramSpyRecord::menuItemState); }

 private:
  LONG Read(LONG ProgramSpyRecord::*field) const;

  HANDLE mapping_ = nullptr;
  ProgramSpyRecord* record_ = nullptr;
  HMODULE module_ = nullptr;
  HHOOK hook_ = nullptr;
  std::string problem_;
};

}  // namespace e2e
