// The texts the benchmarks copy, and the clocks they are timed with.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Nanoseconds since 1970, as Linux's `date +%s%N` gives them: for moments a
// Linux program beside Wine tells.
inline long long UnixNanoseconds() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr long long kTicksFrom1601To1970 = 116444736000000000LL;
  return (ticks - kTicksFrom1601To1970) * 100;
}

// The settings the benchmarked program starts with: no tones, the popup on,
// no auto-clear.
inline void WriteBenchSettings(const std::wstring& settings) {
  WritePrivateProfileStringW(L"CheckBox", L"Beep", L"0", settings.c_str());
  WritePrivateProfileStringW(L"CheckBox", L"Comment", L"1", settings.c_str());
  WritePrivateProfileStringW(L"CheckBox", L"Clear", L"0", settings.c_str());
  WritePrivateProfileStringW(L"TimeSet", L"ViewTime", L"1", settings.c_str());
  WritePrivateProfileStringW(L"TimeSet", L"ClrTime", L"60", settings.c_str());
}

// How long `work` takes, in milliseconds.
template <typename Work>
double TimeMs(Work work) {
  const auto start = Clock::now();
  work();
  return Milliseconds(Clock::now() - start);
}

// Lines of 100 characters (CR LF included), Japanese and ASCII mixed, up to `chars` characters.
inline std::wstring TextInLines(std::size_t chars) {
  const std::wstring line =
      L"クリップボードの履歴 clipboard history line with some words in it, 1234567890 abcdefghijklmnopqrstu\r\n";
  std::wstring text;
  text.reserve(chars);
  while (text.size() < chars) text += line;
  text.resize(chars);
  return text;
}

// One line without a break: minified code, base64, a long list of addresses.
inline std::wstring TextInOneLine(std::size_t chars) {
  const std::wstring piece = L"QmFzZTY0IGRhdGEgd2l0aG91dCBhbnkgbGluZSBicmVha3M=";
  std::wstring text;
  text.reserve(chars);
  while (text.size() < chars) text += piece;
  text.resize(chars);
  return text;
}

inline const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

}  // namespace bench
