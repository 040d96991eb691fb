// Prints how the synced folder's worker (SyncKeeper) keeps up, each figure
// beside its target: ten other PCs' journals of 10,000 texts each read and
// reported at a start, where that time goes, how soon a copy given to
// ShareText is in this PC's journal on the disk, that appending leaves every
// earlier byte of the journal as it was (so a sync engine sends only new
// blocks), and, given two folders kept in step by two real Syncthing
// instances, how soon a copy on PC A reaches PC B's worker.
//
//   sync_bench.exe [--pair FOLDER_A FOLDER_B | --pair-skipped REASON]
//
// scripts/sync-bench.sh starts the Syncthing pair and passes its folders.
// The other PCs' journals are written here as their rTrillex writes them,
// with the program's own journal format and sealer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "aes_gcm_sealer.h"
#include "bench_text.h"
#include "folder_key.h"
#include "journal_files.h"
#include "shared_entries.h"
#include "step_timer.h"
#include "sync_keeper.h"

namespace {

using namespace bench;
using namespace rtrillex;
using Kind = SyncKeeper::Report::Kind;

constexpr int kOtherPcs = 10;
constexpr int kEntriesEach = 10000;
constexpr std::size_t kAllEntries = static_cast<std::size_t>(kOtherPcs) * kEntriesEach;
constexpr int kStarts = 5;
constexpr int kWarmUpCopies = 5;
constexpr int kTimedCopies = 20;
constexpr int kPairCopies = 10;
constexpr DWORD kPauseBetweenCopiesMs = 250;
// Far past every target: a figure that never came is said so, not waited for.
constexpr double kGiveUpMs = 60000;

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
  return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

std::string Joined(const std::vector<double>& values) {
  std::string text;
  for (double value : values) {
    char one[32];
    std::snprintf(one, sizeof one, "%s%.0f", text.empty() ? "" : ", ", value);
    text += one;
  }
  return text;
}

std::uint64_t UnixMsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return UnixMs(now);
}

Id16 RandomId() {
  Id16 id{};
  RandomBytes(id.data(), id.size());
  return id;
}

// A fresh folder under Wine's temporary folder, removed with its files.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    path_ = std::filesystem::temp_directory_path() / (name + L"-" + std::to_wstring(GetTickCount64()));
    std::filesystem::create_directories(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::wstring path() const { return path_.wstring(); }

 private:
  std::filesystem::path path_;
};

// --- The copies ---

// Texts as people copy them: 20 to 200 characters of English, Japanese, code
// and numbers mixed, each beginning differently.
class TextMaker {
 public:
  std::string Next() {
    static const char* const kPieces[] = {
        "meeting notes for Tuesday ", "https://example.com/docs/page?id=", "お疲れさまです。", "よろしくお願いします。",
        "const auto result = Compute(value); ", "住所: 東京都千代田区1-2-3 ", "SELECT * FROM orders WHERE id = ",
        "the quick brown fox jumps over the lazy dog ", "請求書を添付しました。", "4f3a-91b2-77c0 ", "12,345円 ",
        "Please review the attached draft. ", "明日の会議は10時からです。", "git commit -m \"fix\" ", "田中様 ",
    };
    std::uniform_int_distribution<int> chars(20, 200);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    const int want = chars(random_);
    std::string text = std::to_string(++made_) + " ";
    while (Characters(text) < want) text += kPieces[piece(random_)];
    while (Characters(text) > want) text.pop_back();
    // Cut at a character's start, never inside one.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
    return text;
  }

 private:
  static int Characters(const std::string& utf8) {
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  }

  std::mt19937 random_{20261209};
  std::uint64_t made_ = 0;
};

// --- Other PCs' journals, written beforehand ---

// One PC's journal, whole, as its rTrillex would have appended it: its
// header, then a text for each of `entries`, one second apart.
Bytes OtherPcJournal(const InstallationId& pc, const std::string& pcName, const RecordSealer& sealer,
                     TextMaker& texts, std::uint64_t firstMs) {
  Bytes journal = JournalHeaderBytes(pc, pcName, sealer);
  const Bytes header = journal;
  for (int sequence = 1; sequence <= kEntriesEach; ++sequence) {
    SyncRecord record;
    record.kind = RecordKind::Text;
    record.id = RandomId();
    record.recordedMs = firstMs + static_cast<std::uint64_t>(sequence) * 1000;
    record.orderingMs = record.recordedMs;
    record.text = texts.Next();
    const std::optional<Bytes> bytes = AppendRecordBytes(sealer, header, sequence, record);
    if (!bytes) return {};
    journal.insert(journal.end(), bytes->begin(), bytes->end());
  }
  return journal;
}

bool WriteWholeFile(const std::wstring& path, const Bytes& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The ten PCs' journals in <folder>\rTrillex; their size in bytes, 0 when one failed.
std::uint64_t WriteOtherPcs(const std::wstring& folder, const FolderKey& key) {
  const AesGcmSealer sealer(key);
  const std::wstring files = SyncFilesFolder(folder);
  CreateDirectoryW(files.c_str(), nullptr);
  TextMaker texts;
  const std::uint64_t firstMs = UnixMsNow() - 30ull * 24 * 3600 * 1000;  // a month of copies
  std::uint64_t size = 0;
  for (int pc = 0; pc < kOtherPcs; ++pc) {
    const InstallationId installation = RandomId();
    const Bytes journal = OtherPcJournal(installation, "PC-" + std::to_string(pc + 1), sealer, texts, firstMs + pc);
    if (journal.empty() || !WriteWholeFile(files + L"\\" + JournalFileName(installation), journal)) return 0;
    size += journal.size();
  }
  return size;
}

// --- Watching a keeper ---

// Takes the keeper's reports until a Shared one satisfies `done`; the time
// from `since`, or -1 when it never came.
double MsUntilShared(SyncKeeper& keeper, Clock::time_point since,
                     const std::function<bool(const std::vector<SharedEntry>&)>& done) {
  for (;;) {
    for (const SyncKeeper::Report& report : keeper.TakeReports()) {
      if (report.kind == Kind::Shared && done(report.entries)) return Milliseconds(Clock::now() - since);
    }
    if (Milliseconds(Clock::now() - since) > kGiveUpMs) return -1;
    Sleep(1);
  }
}

bool HasEntry(const std::vector<SharedEntry>& entries, const EntryId& id) {
  return std::any_of(entries.begin(), entries.end(), [&](const SharedEntry& entry) { return entry.id == id; });
}

// This PC's journal as another PC reads it: on from where the last look stopped.
class JournalReader {
 public:
  JournalReader(std::wstring path, const FolderKey& key) : path_(std::move(path)), sealer_(key) {}

  // Reads what was appended since the last look; false when the file could
  // not be read or does not read as a whole journal.
  bool ReadOn() {
    FileRead file = ReadFrom(path_, ReadStart(state_));
    if (file.outcome != FileReadOutcome::Read) return false;
    JournalRead read = ReadJournal(file.bytes, sealer_, std::move(state_));
    state_ = std::move(read.state);
    for (const JournalRecord& record : read.records) ids_.insert(record.record.id);
    return read.status == JournalStatus::UpToDate;
  }
  bool Has(const EntryId& id) const { return ids_.count(id) != 0; }
  std::uint64_t offset() const { return state_.offset; }

 private:
  std::wstring path_;
  AesGcmSealer sealer_;
  JournalReadState state_;
  std::set<EntryId> ids_;
};

// --- 1. All 100,000 entries at a start ---

void ReportStart(const SyncSetup& setup) {
  std::vector<double> starts;
  for (int run = 0; run < kStarts; ++run) {
    const auto began = Clock::now();
    SyncKeeper keeper(setup, nullptr, 0);
    const double ms = MsUntilShared(keeper, began, [](const std::vector<SharedEntry>& entries) {
      return entries.size() == kAllEntries;
    });
    if (ms >= 0) starts.push_back(ms);
  }
  std::printf("  all 100,000 entries in one Shared report after the keeper's start: %.0f ms (median of %d: %s); "
              "target within 2 s: %s\n",
              Median(starts), kStarts, Joined(starts).c_str(),
              Verdict(starts.size() == kStarts && Median(starts) <= 2000));
}

// The keeper's own steps, one after another in this process, to show where
// a start's time goes.
void ReportWhereTheStartGoes(const std::wstring& folder, const FolderKey& key) {
  StepTimer timer;
  const AesGcmSealer sealer(key);
  const SyncFolderListing listing = timer.Time("the folder listed", [&] { return ListSyncFolder(folder, RandomId()); });
  SharedEntries merged;
  for (const ListedFile& file : listing.journals) {
    const FileRead bytes = timer.Time("the files read (ReadFrom)", [&] { return ReadFrom(file.path, 0); });
    const JournalRead read = timer.Time("records opened and decoded (ReadJournal)",
                                        [&] { return ReadJournal(bytes.bytes, sealer, JournalReadState()); });
    timer.Time("merged (SharedEntries::Add)", [&] { return merged.Add(read.state.header, read.records); });
  }
  const std::vector<const SharedEntry*> visible =
      timer.Time("newest first (SharedEntries::Visible)", [&] { return merged.Visible(); });
  timer.Time("the report's copy of the entries", [&] {
    std::vector<SharedEntry> report;
    for (const SharedEntry* entry : visible) report.push_back(*entry);
    return report.size();
  });
  std::printf("  where a start's time goes, the same steps in this process (%zu entries):\n", visible.size());
  double all = 0;
  for (const StepTimer::Step& step : timer.steps()) {
    std::printf("    %-45s %6.0f ms\n", step.name, step.ms);
    all += step.ms;
  }
  std::printf("    %-45s %6.0f ms\n", "all", all);
}

// --- 2 and 3. This PC's copies to its journal, by appending only ---

// How long from ShareText until the copy is read back from this PC's journal
// on the disk; -1 when it never was.
double MsUntilInJournal(SyncKeeper& keeper, JournalReader& journal, std::string text) {
  const auto began = Clock::now();
  const EntryId id = keeper.ShareText(std::move(text), UnixMsNow());
  while (Milliseconds(Clock::now() - began) <= kGiveUpMs) {
    if (journal.ReadOn() && journal.Has(id)) return Milliseconds(Clock::now() - began);
    Sleep(1);
  }
  return -1;
}

Bytes FileBytes(const std::wstring& path) {
  FileRead read = ReadFrom(path, 0);
  return read.outcome == FileReadOutcome::Read ? std::move(read.bytes) : Bytes();
}

void ReportOwnCopies(const SyncSetup& setup) {
  SyncKeeper keeper(setup, nullptr, 0);
  // Written while it has every other PC's copy merged, as a busy folder's keeper would.
  MsUntilShared(keeper, Clock::now(),
                [](const std::vector<SharedEntry>& entries) { return entries.size() == kAllEntries; });
  const std::wstring path = SyncFilesFolder(setup.folder) + L"\\" + JournalFileName(setup.installation);
  JournalReader journal(path, setup.key);
  TextMaker texts;
  for (int copy = 0; copy < kWarmUpCopies; ++copy) MsUntilInJournal(keeper, journal, texts.Next());

  const Bytes before = FileBytes(path);
  std::vector<double> times;
  for (int copy = 0; copy < kTimedCopies; ++copy) {
    Sleep(kPauseBetweenCopiesMs);
    const double ms = MsUntilInJournal(keeper, journal, texts.Next());
    if (ms >= 0) times.push_back(ms);
  }
  const Bytes after = FileBytes(path);
  const bool readsWhole = JournalReader(path, setup.key).ReadOn();
  std::printf("  a copy given to ShareText read back from this PC's journal on the disk: median %.1f ms, worst %.1f ms "
              "(%zu of %d copies, %lu ms apart); target each within 1 s: %s\n",
              Median(times), Worst(times), times.size(), kTimedCopies, kPauseBetweenCopiesMs,
              Verdict(times.size() == kTimedCopies && Worst(times) <= 1000));

  const bool unchanged = !before.empty() && after.size() > before.size() &&
                         std::equal(before.begin(), before.end(), after.begin());
  std::printf("  earlier bytes unchanged: %s (the first %zu bytes as before %d appends, %zu bytes added, "
              "the journal reading whole: %s)\n",
              unchanged ? "yes" : "no", before.size(), kTimedCopies, after.size() - std::min(after.size(), before.size()),
              readsWhole ? "yes" : "no");
}

// --- 4. From PC A to PC B through two Syncthing instances ---

void ReportPair(const std::wstring& folderA, const std::wstring& folderB, const FolderKey& key) {
  SyncKeeper a(SyncSetup{folderA, RandomId(), "PC-A", key}, nullptr, 0);
  SyncKeeper b(SyncSetup{folderB, RandomId(), "PC-B", key}, nullptr, 0);
  TextMaker texts;
  // The first copy also brings A's new journal to B: not timed.
  const EntryId first = a.ShareText(texts.Next(), UnixMsNow());
  const double firstMs = MsUntilShared(b, Clock::now(), [&](const auto& entries) { return HasEntry(entries, first); });
  if (firstMs < 0) {
    std::printf("  a copy on PC A at PC B's keeper: NOT MET: the first copy never arrived\n");
    return;
  }
  std::vector<double> times;
  for (int copy = 0; copy < kPairCopies; ++copy) {
    Sleep(1000);  // Syncthing settled after the last copy
    const auto began = Clock::now();
    const EntryId id = a.ShareText(texts.Next(), UnixMsNow());
    const double ms = MsUntilShared(b, began, [&](const auto& entries) { return HasEntry(entries, id); });
    if (ms >= 0) times.push_back(ms);
  }
  std::printf("  a copy on PC A at PC B's keeper through two Syncthing instances (its watcher's delay 1 s): "
              "median %.0f ms, worst %.0f ms (%zu of %d copies: %s); target each within 3 s: %s\n",
              Median(times), Worst(times), times.size(), kPairCopies, Joined(times).c_str(),
              Verdict(times.size() == kPairCopies && Worst(times) <= 3000));
}

struct Arguments {
  std::optional<std::pair<std::wstring, std::wstring>> pair;
  std::string pairSkipped = "syncthing not installed";
};

Arguments ParseArguments(int count, wchar_t** arguments) {
  Arguments parsed;
  for (int at = 1; at < count; ++at) {
    const std::wstring argument = arguments[at];
    if (argument == L"--pair" && at + 2 < count) {
      parsed.pair.emplace(arguments[at + 1], arguments[at + 2]);
      at += 2;
    } else if (argument == L"--pair-skipped" && at + 1 < count) {
      const std::wstring reason = arguments[++at];
      parsed.pairSkipped.assign(reason.begin(), reason.end());  // ASCII, from the script
    }
  }
  return parsed;
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
  const Arguments parsed = ParseArguments(count, arguments);
  // Made once: deriving it from a passphrase takes most of a second.
  const std::optional<MadeFolderKey> made = MakeFolderKey(L"ベンチマークの合言葉");
  if (!made) {
    std::printf("the folder key could not be made\n");
    return 1;
  }
  const FolderKey& key = made->key;

  std::printf("The synced folder's worker (sizeof(void*) = %zu):\n", sizeof(void*));
  {
    ScratchFolder folder(L"rTrillex-sync-bench");
    double writeMs = 0;
    const std::uint64_t size = [&] {
      const auto began = Clock::now();
      const std::uint64_t written = WriteOtherPcs(folder.path(), key);
      writeMs = Milliseconds(Clock::now() - began);
      return written;
    }();
    if (size == 0) {
      std::printf("the other PCs' journals could not be written\n");
      return 1;
    }
    std::printf("  %d other PCs' journals of %d texts each written beforehand: %.1f MB in %.0f ms\n", kOtherPcs,
                kEntriesEach, static_cast<double>(size) / (1024.0 * 1024.0), writeMs);
    const SyncSetup setup{folder.path(), RandomId(), "this PC", key};
    ReportStart(setup);
    ReportWhereTheStartGoes(folder.path(), key);
    std::fflush(stdout);
    ReportOwnCopies(setup);
  }
  std::fflush(stdout);
  if (parsed.pair) {
    ReportPair(parsed.pair->first, parsed.pair->second, key);
  } else {
    std::printf("  a copy on PC A at PC B's keeper through two Syncthing instances: skipped: %s\n",
                parsed.pairSkipped.c_str());
  }
  return 0;
}
