// What the test run's own sound server played, as scripts/test.sh records
// it from its one output: mono, 16 bits, 44100 samples a second, to the
// file that RTRILLEX_SOUND_RECORDING names.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

struct HeardTone {
  int frequency;     // the nearest of the program's tones: 330, 392, 430 or 492 Hz
  int milliseconds;  // how long it sounded, in steps of 20 ms
};

class SoundRecording {
 public:
  SoundRecording();  // listens from now on

  bool available() const { return !path_.empty(); }
  // The tones in the `length` of sound recorded from the start, in order;
  // waits until that much is recorded.
  std::vector<HeardTone> Tones(std::chrono::milliseconds length) const;

 private:
  std::wstring path_;
  unsigned long long start_ = 0;  // bytes already recorded when listening began
};

}  // namespace e2e
