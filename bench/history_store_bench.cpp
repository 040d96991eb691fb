// Prints how long the kept history's file takes for what the writer does
// most: 1,000 copies added one transaction each, then one load of 10,000
// entries, ten of them of 1 MB, as at a start. On Windows with the real
// cipher (DPAPI, AES-GCM); elsewhere with one that seals nothing, so that
// SQLite and the text conversion are timed alone.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "sqlite_history_file.h"
#ifdef _WIN32
#include "windows_entry_cipher.h"
#endif

namespace {

using namespace rtrillex;
using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using BenchCipher = WindowsEntryCipher;
#else
class BenchCipher : public EntryCipher {
 public:
  std::optional<Bytes> MakeKey() override { return Bytes{1}; }
  KeyUse UseKey(ByteView) override { return KeyUse::Used; }
  std::optional<Bytes> Seal(std::string_view text, ByteView) const override { return Bytes(text.begin(), text.end()); }
  std::optional<std::string> Unseal(ByteView sealed, ByteView) const override {
    return std::string(sealed.data, sealed.data + sealed.size);
  }
};
#endif

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

StoreChange Add(std::uint64_t key, std::wstring text) {
  return StoreChange::Add(key, 1700000000 + static_cast<LocalSeconds>(key), std::move(text));
}

}  // namespace

int main() {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("rTrillex-store-bench-" + std::to_string(std::time(nullptr)) + ".db"))
          .u8string();
  BenchCipher cipher;
  SqliteHistoryFile store(path, cipher);
  if (store.Open(0).result != HistoryStore::OpenResult::Ready) {
    std::fprintf(stderr, "cannot make %s\n", path.c_str());
    return 1;
  }
  const std::wstring line = L"copied text of a usual length, コピーした文章 ";
  auto start = Clock::now();
  for (std::uint64_t key = 1; key <= 1000; ++key) {
    if (!store.Apply({Add(key, line)})) return 1;
  }
  const double addMs = MsSince(start);
  std::printf("1,000 adds, one transaction each: %.0f ms (%.2f ms each)\n", addMs, addMs / 1000);

  std::vector<StoreChange> more;
  for (std::uint64_t key = 1001; key <= 10000; ++key) {
    more.push_back(Add(key, key % 900 == 0 ? std::wstring(1 << 20, L'm') : line));
  }
  if (!store.Apply(more)) return 1;
  start = Clock::now();
  const HistoryStore::Opened loaded = store.Open(10000);
  std::printf("opening and loading %zu entries, ten of 1 MB: %.0f ms\n", loaded.entries.size(), MsSince(start));
  return store.DeleteFiles() ? 0 : 1;
}
