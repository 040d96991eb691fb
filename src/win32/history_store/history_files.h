// The kept history's file on disk, with the companions SQLite keeps beside
// it (-wal, -shm, and a rollback journal when another program made the file).
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

namespace rtrillex {

enum class Presence { Missing, Present, Unknown };
Presence FileAt(const std::string& path);

// The file's first `count` bytes, fewer if it is shorter; nullopt when it
// cannot be read (locked by another program, say).
std::optional<std::string> ReadHead(const std::string& path, std::size_t count);

// Moves the file and its companions to "<path>.unreadable-YYYYMMDD-HHMMSS"
// (local time of `now`), then "-2", "-3", ... when that name is taken:
// nothing is ever overwritten or deleted. The new name, or nullopt when
// they could not all be moved (then none is).
std::optional<std::string> MoveAside(const std::string& path, std::time_t now);

// Deletes one file; false when it is still there.
bool DeleteFileAt(const std::string& path);

// false when the file or a companion is still there.
bool DeleteWithCompanions(const std::string& path);

}  // namespace rtrillex
