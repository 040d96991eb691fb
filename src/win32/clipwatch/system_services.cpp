#include "system_services.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "local_time.h"

#include "desktop.h"
#include "handle.h"
#include "tone_wave.h"

namespace rtrillex {
namespace {

// The default sound output, open for as long as it lives.
class WaveOutput {
 public:
  WaveOutput(const WAVEFORMATEX& format, HANDLE event) {
    if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR)
      device_ = nullptr;
  }
  ~WaveOutput() {
    if (!device_) return;
    waveOutClose(device_);
  }
  WaveOutput(const WaveOutput&) = delete;
  WaveOutput& operator=(const WaveOutput&) = delete;
  HWAVEOUT get() const { return device_; }

 private:
  HWAVEOUT device_ = nullptr;
};

bool AllPlayed(HWAVEOUT device, const WAVEHDR& header) {
  // The buffer counts as done once the device has taken it; its sound has
  // been heard only when the play position has passed its last sample.
  if (!(header.dwFlags & WHDR_DONE)) return false;
  MMTIME played{};
  played.wType = TIME_BYTES;
  if (waveOutGetPosition(device, &played, sizeof played) != MMSYSERR_NOERROR || played.wType != TIME_BYTES)
    return true;
  return played.u.cb >= header.dwBufferLength;
}

void WaitUntilPlayed(HWAVEOUT device, const WAVEHDR& header, HANDLE event, int milliseconds) {
  // The device's own delay (it may first have to start) is allowed for, but
  // a stalled device never holds the program up for long.
  constexpr DWORD kStartAllowance = 1000;
  constexpr DWORD kPollMilliseconds = 10;
  const ULONGLONG deadline = GetTickCount64() + static_cast<DWORD>(milliseconds) + kStartAllowance;
  for (ULONGLONG now = GetTickCount64(); now < deadline && !AllPlayed(device, header); now = GetTickCount64())
    WaitForSingleObject(event, static_cast<DWORD>(std::min<ULONGLONG>(kPollMilliseconds, deadline - now)));
}

// Plays the tone and returns when it has ended, like the system's beep;
// false when no sound output could be opened.
bool PlayOnSoundDevice(int frequency, int milliseconds) {
  std::vector<std::int16_t> samples = ToneSamples(frequency, milliseconds);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kToneSampleRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = kToneSampleRate * 2;
  UniqueKernelObject event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  WaveOutput output(format, event.get());
  if (!output.get()) return false;

  WAVEHDR header{};
  header.lpData = reinterpret_cast<LPSTR>(samples.data());
  header.dwBufferLength = static_cast<DWORD>(samples.size() * sizeof samples[0]);
  if (waveOutPrepareHeader(output.get(), &header, sizeof header) != MMSYSERR_NOERROR) return false;
  if (waveOutWrite(output.get(), &header, sizeof header) == MMSYSERR_NOERROR)
    WaitUntilPlayed(output.get(), header, event.get(), milliseconds);
  waveOutReset(output.get());  // a stalled tone ends here
  waveOutUnprepareHeader(output.get(), &header, sizeof header);
  return true;
}

}  // namespace

void SystemTones::Beep(int frequency, int milliseconds) {
  // A tone of no length (the Beep switch off) opens no device. Where no
  // sound output can be opened, the system's own beep is the tone.
  if (milliseconds > 0 && PlayOnSoundDevice(frequency, milliseconds)) return;
  ::Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(milliseconds));
}

ScreenPoint SystemPointer::Position() {
  POINT at{0, 0};
  GetCursorPos(&at);
  return {at.x, at.y};
}

PixelRect SystemPointer::WorkAreaAt(ScreenPoint point) { return rtrillex::WorkAreaAt({point.x, point.y}); }

CalendarDate LocalToday() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

LocalSeconds SystemClock::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return ToLocalSeconds({now.wYear, now.wMonth, now.wDay}, {now.wHour, now.wMinute, now.wSecond});
}

}  // namespace rtrillex
