// rTrillex.lnk in the person's own Startup folder, which the shell opens at
// log-on: no registry, nothing for all users, no rights needed. Only that
// name is ever read, made or deleted (and the leftovers of an interrupted
// making); shortcuts of other names are the person's.
#pragma once

#include <windows.h>

#include <string>

namespace rtrillex {

// The person's Startup folder; with `create`, made if it is missing.
HRESULT FindStartupFolder(bool create, std::wstring& folder);

// True when `folder` holds rTrillex.lnk and it points to this very exe.
bool StartupShortcutPointsHere(const std::wstring& folder);

// Points rTrillex.lnk in `folder` to this exe, its folder as working folder,
// replacing one that points elsewhere. On failure nothing new is left behind.
HRESULT MakeStartupShortcut(const std::wstring& folder);

// Deletes what an earlier version, stopped while making the shortcut, left
// in `folder` (rTrillex-<process id>.tmp), which the shell would open at
// every log-on.
void RemoveLeftoversOfMaking(const std::wstring& folder);

// Deletes rTrillex.lnk from `folder`; already gone counts as done.
HRESULT RemoveStartupShortcut(const std::wstring& folder);

}  // namespace rtrillex
