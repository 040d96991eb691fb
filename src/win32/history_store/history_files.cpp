#include "history_files.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace rtrillex {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 4> kSuffixes = {"", "-wal", "-shm", "-journal"};

fs::path PathOf(const std::string& utf8) { return fs::u8path(utf8); }

bool Exists(const std::string& utf8) {
  std::error_code error;
  return fs::symlink_status(PathOf(utf8), error).type() != fs::file_type::not_found;
}

std::string TimeStamp(std::time_t now) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

// A name free for the file and every companion alike.
std::string FreeName(const std::string& path, std::time_t now) {
  const std::string base = path + ".unreadable-" + TimeStamp(now);
  for (int attempt = 1;; ++attempt) {
    std::string name = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    bool taken = false;
    for (const char* suffix : kSuffixes) taken = taken || Exists(name + suffix);
    if (!taken) return name;
  }
}

}  // namespace

Presence FileAt(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(PathOf(path), error);
  if (status.type() == fs::file_type::not_found) return Presence::Missing;
  return error ? Presence::Unknown : Presence::Present;
}

std::optional<std::string> ReadHead(const std::string& path, std::size_t count) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string head(count, '\0');
  in.read(head.data(), static_cast<std::streamsize>(count));
  if (in.bad()) return std::nullopt;
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head;
}

std::optional<std::string> MoveAside(const std::string& path, std::time_t now) {
  const std::string name = FreeName(path, now);
  std::vector<const char*> moved;
  for (const char* suffix : kSuffixes) {
    if (*suffix && !Exists(path + suffix)) continue;
    std::error_code error;
    fs::rename(PathOf(path + suffix), PathOf(name + suffix), error);
    if (!error) {
      moved.push_back(suffix);
      continue;
    }
    // A companion left behind would be taken for the new file's: all go back.
    for (const char* back : moved) fs::rename(PathOf(name + back), PathOf(path + back), error);
    return std::nullopt;
  }
  return name;
}

bool DeleteWithCompanions(const std::string& path) {
  bool gone = true;
  for (const char* suffix : kSuffixes) {
    std::error_code error;
    fs::remove(PathOf(path + suffix), error);
    gone = gone && !Exists(path + suffix);
  }
  return gone;
}

}  // namespace rtrillex
