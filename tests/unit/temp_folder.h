// A fresh folder for one test's files, removed with everything in it after.
// Its name is not ASCII, so that file names reach the system in full.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace rtrillex {

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            std::filesystem::u8path(u8"rTrillex-履歴-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  // A name in the folder, as UTF-8.
  std::string File(const std::string& name) const { return (path_ / std::filesystem::u8path(name)).u8string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& utf8Path) {
  std::ifstream in(std::filesystem::u8path(utf8Path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& utf8Path, const std::string& bytes) {
  std::ofstream(std::filesystem::u8path(utf8Path), std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace rtrillex
