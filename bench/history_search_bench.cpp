// Prints how long the search of the history takes for each key typed: a
// history of 10,000 entries, ten of them of 1 MB, searched as "clipboard" is
// typed letter by letter, once through every line and once among the lines
// the previous key left (as the search window does), next to the target of
// 50 ms per key. Also a word that no entry holds, which reads every entry
// whole. Built with the core alone, natively and for Windows: the figures
// depend on the build type and the compiler.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "clipboard_change.h"
#include "history.h"
#include "history_search.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEntries = 10'000;
constexpr int kMegabyteEntries = 10;
constexpr std::size_t kMegabyte = 1 << 20;
constexpr double kTargetMs = 50;

// Words of copied text in the forms people copy them, a few of them
// beginnings of "clipboard" so that every typed prefix keeps some lines.
const std::wstring kWords[] = {
    L"the",   L"client", L"clip",   L"Clipboard", L"ｸﾘｯﾌﾟﾎﾞｰﾄﾞ", L"クリップ", L"データ", L"ﾃﾞｰﾀﾍﾞｰｽ", L"ＡＢＣ",
    L"board", L"copy",   L"paste",  L"会議",      L"資料",         L"2024",     L"１２３", L"https://example.com/",
    L"close", L"line",   L"keyboard"};

std::uint32_t randomState = 12345;
std::size_t Random(std::size_t below) {
  randomState = randomState * 1664525u + 1013904223u;
  return (randomState >> 8) % below;
}

std::wstring SomeWords(std::size_t length) {
  std::wstring text;
  while (text.size() < length) {
    text += kWords[Random(std::size(kWords))];
    text += Random(8) == 0 ? L'\n' : L' ';
  }
  return text;
}

// A megabyte of log lines, holding beginnings of the word but not the word.
std::wstring MegabyteOfLog() {
  const std::wstring line = L"12:00:01 client closed the line; ｸﾘｯﾌﾟ copied 1 KB to the ＢＯＡＲＤ (データ)\r\n";
  std::wstring text;
  text.reserve(kMegabyte);
  while (text.size() + line.size() <= kMegabyte) text += line;
  text.resize(kMegabyte, L'.');
  return text;
}

rtrillex::History MakeHistory() {
  rtrillex::History history;
  const std::wstring log = MegabyteOfLog();
  for (int i = 0; i < kEntries; ++i) {
    std::wstring entry;
    if (i % (kEntries / kMegabyteEntries) == kEntries / kMegabyteEntries / 2) {
      entry = log;
      // One of them holds the word, at its very end.
      if (i == kEntries / kMegabyteEntries / 2) entry.replace(entry.size() - 9, 9, L"CLIPBOARD");
    } else {
      entry = SomeWords(20 + Random(300));
    }
    history.Add(rtrillex::HistoryLine({i / 3600 % 24, i / 60 % 60, i % 60}, entry));
  }
  return history;
}

// The median of a few runs, in milliseconds.
template <typename Search>
double MillisecondsOf(Search search) {
  std::vector<double> runs;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    search();
    runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main() {
  const rtrillex::History history = MakeHistory();
  std::size_t characters = 0;
  for (std::size_t i = 0; i < history.size(); ++i) characters += history.LineAt(i).size();
  std::printf("history: %zu entries, %d of 1 MB, %.1f million characters\n", history.size(), kMegabyteEntries,
              static_cast<double>(characters) / 1e6);
  std::printf("%-12s %14s %14s %8s   target\n", "typed", "all lines", "among shown", "found");

  const std::wstring word = L"clipboard";
  rtrillex::SearchQuery shownQuery;
  std::vector<rtrillex::HistoryId> shown = rtrillex::MatchingIds(history, shownQuery);
  double slowest = 0;
  for (std::size_t length = 1; length <= word.size(); ++length) {
    const rtrillex::SearchQuery query(word.substr(0, length));
    std::vector<rtrillex::HistoryId> found;
    const double allMs = MillisecondsOf([&] { found = rtrillex::MatchingIds(history, query); });
    const double amongMs = MillisecondsOf([&] { rtrillex::MatchingIds(history, query, shown, shownQuery); });
    std::printf("%-12ls %11.2f ms %11.2f ms %8zu   < %.0f ms\n", word.substr(0, length).c_str(), allMs, amongMs,
                found.size(), kTargetMs);
    slowest = std::max(slowest, std::max(allMs, amongMs));
    shown = std::move(found);
    shownQuery = query;
  }
  const rtrillex::SearchQuery nowhere(L"ｸﾘｯﾌﾟﾎﾞｰﾄﾞＸ");
  const double nowhereMs = MillisecondsOf([&] { rtrillex::MatchingIds(history, nowhere); });
  std::printf("%-12s %11.2f ms %14s %8d   < %.0f ms\n", "(in none)", nowhereMs, "", 0, kTargetMs);
  slowest = std::max(slowest, nowhereMs);
  std::printf("slowest key: %.2f ms, target < %.0f ms: %s\n", slowest, kTargetMs, slowest < kTargetMs ? "met" : "MISSED");
}
