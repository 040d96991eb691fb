#include "tone_wave.h"

#include <algorithm>
#include <cmath>

namespace rtrillex {

std::vector<std::int16_t> ToneSamples(int frequency, int milliseconds, int sampleRate) {
  if (frequency <= 0 || milliseconds <= 0 || sampleRate <= 0) return {};
  const std::size_t count = static_cast<std::size_t>(sampleRate) * static_cast<std::size_t>(milliseconds) / 1000;
  const double fade = std::min<double>(static_cast<double>(sampleRate) * kToneFadeMilliseconds / 1000.0,
                                       static_cast<double>(count) / 2.0);
  const double pi = std::acos(-1.0);
  const double step = 2.0 * pi * frequency / sampleRate;
  const double peak = kToneAmplitude * 32767.0;
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    // A raised-cosine ramp at either end: the wave rises from and falls to silence.
    const double fromEdge = static_cast<double>(std::min(i, count - 1 - i));
    const double gain = fromEdge < fade ? 0.5 - 0.5 * std::cos(pi * fromEdge / fade) : 1.0;
    samples[i] = static_cast<std::int16_t>(std::lround(peak * gain * std::sin(step * static_cast<double>(i))));
  }
  return samples;
}

}  // namespace rtrillex
