#include "history_files.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <io.h>

#include "utf8_text.h"
#else
#include <unistd.h>
#endif

namespace rtrillex {
namespace {

// The C library's calls rather than std::filesystem and streams, which would
// more than double the exe. On Windows their wide forms, as names are UTF-8
// here and the narrow forms take the ANSI code page.
#ifdef _WIN32
int Access(const std::string& path) { return _waccess(FromUtf8(path).c_str(), 0); }
// Fails where `to` exists (MoveFile): nothing is overwritten.
int Rename(const std::string& from, const std::string& to) {
  return _wrename(FromUtf8(from).c_str(), FromUtf8(to).c_str());
}
int Delete(const std::string& path) { return _wremove(FromUtf8(path).c_str()); }
std::FILE* OpenToRead(const std::string& path) {
  std::FILE* file = nullptr;
  return _wfopen_s(&file, FromUtf8(path).c_str(), L"rb") == 0 ? file : nullptr;
}
#else
int Access(const std::string& path) { return access(path.c_str(), F_OK); }
// rename() would replace `to`: MoveAside picks a name nothing has.
int Rename(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()); }
int Delete(const std::string& path) { return std::remove(path.c_str()); }
std::FILE* OpenToRead(const std::string& path) { return std::fopen(path.c_str(), "rb"); }
#endif

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr std::array<const char*, 4> kSuffixes = {"", "-wal", "-shm", "-journal"};

bool Exists(const std::string& path) { return FileAt(path) != Presence::Missing; }

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
  if (Access(path) == 0) return Presence::Present;
  return errno == ENOENT ? Presence::Missing : Presence::Unknown;
}

std::optional<std::string> ReadHead(const std::string& path, std::size_t count) {
  const std::unique_ptr<std::FILE, FileCloser> file(OpenToRead(path));
  if (!file) return std::nullopt;
  std::string head(count, '\0');
  head.resize(std::fread(head.data(), 1, count, file.get()));
  if (std::ferror(file.get())) return std::nullopt;
  return head;
}

std::optional<std::string> MoveAside(const std::string& path, std::time_t now) {
  const std::string name = FreeName(path, now);
  std::vector<const char*> moved;
  for (const char* suffix : kSuffixes) {
    if (*suffix && !Exists(path + suffix)) continue;
    if (Rename(path + suffix, name + suffix) == 0) {
      moved.push_back(suffix);
      continue;
    }
    // A companion left behind would be taken for the new file's: all go back.
    for (const char* back : moved) Rename(name + back, path + back);
    return std::nullopt;
  }
  return name;
}

bool DeleteFileAt(const std::string& path) {
  Delete(path);
  return !Exists(path);
}

bool DeleteWithCompanions(const std::string& path) {
  bool gone = true;
  for (const char* suffix : kSuffixes) {
    Delete(path + suffix);
    gone = gone && !Exists(path + suffix);
  }
  return gone;
}

}  // namespace rtrillex
