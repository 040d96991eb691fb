// A tone as the sound device plays it: a sine wave of a frequency and a
// length, 16-bit mono samples, faded in and out over a few milliseconds so
// that it starts and stops without a click.
#pragma once

#include <cstdint>
#include <vector>

namespace rtrillex {

inline constexpr int kToneSampleRate = 44100;
inline constexpr int kToneFadeMilliseconds = 5;
inline constexpr double kToneAmplitude = 0.4;  // of full scale: clearly heard, never harsh

std::vector<std::int16_t> ToneSamples(int frequency, int milliseconds, int sampleRate = kToneSampleRate);

}  // namespace rtrillex
