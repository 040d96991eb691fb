#include "sound.h"

#include <windows.h>

#include <cmath>
#include <cstdint>

#include "harness.h"

namespace e2e {
namespace {

constexpr int kRate = 44100;
constexpr std::size_t kFrame = kRate / 50;  // 20 ms: 50 Hz apart is told apart
constexpr int kCandidates[] = {330, 392, 430, 492};

unsigned long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::int16_t> ReadSamples(const std::wstring& path, unsigned long long from, std::size_t count) {
  std::vector<std::int16_t> samples(count);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(from);
  SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
  DWORD read = 0;
  ReadFile(file, samples.data(), static_cast<DWORD>(count * sizeof samples[0]), &read, nullptr);
  CloseHandle(file);
  samples.resize(read / sizeof samples[0]);
  return samples;
}

// The share of a frame's energy at one frequency (Goertzel): 1 for a pure
// sine of that frequency, near 0 for silence or another tone.
double ShareAt(const std::int16_t* frame, std::size_t count, int frequency, double energy) {
  const double coefficient = 2 * std::cos(2 * std::acos(-1.0) * frequency / kRate);
  double previous = 0, beforePrevious = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double current = frame[i] + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
  return 2 * power / (static_cast<double>(count) * energy);
}

// The program's tone that fills the frame, or 0 for silence or noise.
int ToneOf(const std::int16_t* frame) {
  double energy = 0;
  for (std::size_t i = 0; i < kFrame; ++i) energy += static_cast<double>(frame[i]) * frame[i];
  if (energy / kFrame < 100.0 * 100.0) return 0;  // quieter than 1 % of the tones' loudness
  for (int frequency : kCandidates)
    if (ShareAt(frame, kFrame, frequency, energy) > 0.5) return frequency;
  return 0;
}

}  // namespace

SoundRecording::SoundRecording() {
  wchar_t unixPath[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"RTRILLEX_SOUND_RECORDING", unixPath, MAX_PATH)) return;
  path_ = L"Z:" + std::wstring(unixPath);  // Wine's drive Z: is the Linux root
  start_ = FileSize(path_);
}

std::vector<HeardTone> SoundRecording::Tones(std::chrono::milliseconds length) const {
  const std::size_t count = static_cast<std::size_t>(length.count()) * kRate / 1000;
  const unsigned long long end = start_ + count * sizeof(std::int16_t);
  WaitUntil([&] { return FileSize(path_) >= end; }, length + 5s);
  const std::vector<std::int16_t> samples = ReadSamples(path_, start_, count);

  // Neighbouring 20 ms frames of the same tone make one tone. A dropout of
  // one or two frames inside a tone is the sound server falling behind on a
  // busy machine, not a second tone: it counts as part of the tone.
  constexpr std::size_t kLongestDropout = 2;
  std::vector<HeardTone> tones;
  std::size_t lastToneFrame = 0;
  for (std::size_t frame = 0; (frame + 1) * kFrame <= samples.size(); ++frame) {
    const int tone = ToneOf(&samples[frame * kFrame]);
    if (!tone) continue;
    if (!tones.empty() && tones.back().frequency == tone && frame - lastToneFrame <= kLongestDropout + 1)
      tones.back().milliseconds += static_cast<int>(frame - lastToneFrame) * 20;
    else
      tones.push_back({tone, 20});
    lastToneFrame = frame;
  }
  return tones;
}

}  // namespace e2e
