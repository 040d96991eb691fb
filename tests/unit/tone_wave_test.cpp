#include "tone_wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace rtrillex {
namespace {

// Sign changes from negative to positive, as a frequency counter counts them.
int RisingCrossings(const std::vector<std::int16_t>& samples) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if (samples[i - 1] < 0 && samples[i] >= 0) ++crossings;
  return crossings;
}

TEST(ToneSamples, HaveTheLengthFrequencyAndLoudnessAsked) {
  for (int frequency : {330, 392, 430, 492}) {
    SCOPED_TRACE(frequency);
    const std::vector<std::int16_t> tone = ToneSamples(frequency, 150, 44100);
    ASSERT_EQ(tone.size(), 6615u);
    // 150 ms holds 0.15 * f periods; a crossing may fall either side of the ends.
    EXPECT_NEAR(RisingCrossings(tone), frequency * 0.15, 1.0);
    const auto [low, high] = std::minmax_element(tone.begin(), tone.end());
    const double peak = kToneAmplitude * 32767;
    EXPECT_LE(*high, peak + 1);
    EXPECT_GE(*low, -peak - 1);
    EXPECT_GT(*high, 0.95 * peak);
  }
}

TEST(ToneSamples, StartAndEndInSilenceWithoutAJump) {
  const std::vector<std::int16_t> tone = ToneSamples(492, 150, 44100);
  EXPECT_EQ(tone.front(), 0);
  EXPECT_LE(std::abs(tone.back()), 20);
  // No step between neighbours is larger than the sine's own steepest one.
  const double steepest = kToneAmplitude * 32767 * 2 * 3.14159265 * 492 / 44100 + 2;
  for (std::size_t i = 1; i < tone.size(); ++i) ASSERT_LE(std::abs(tone[i] - tone[i - 1]), steepest) << i;
  // The first and last millisecond are much quieter than the middle.
  for (std::size_t i = 0; i < 44; ++i) {
    EXPECT_LE(std::abs(tone[i]), 0.1 * kToneAmplitude * 32767) << i;
    EXPECT_LE(std::abs(tone[tone.size() - 1 - i]), 0.1 * kToneAmplitude * 32767) << i;
  }
}

TEST(ToneSamples, ALengthOfZeroIsNoSoundAtAll) {
  EXPECT_TRUE(ToneSamples(430, 0, 44100).empty());
  EXPECT_TRUE(ToneSamples(0, 150, 44100).empty());
}

}  // namespace
}  // namespace rtrillex
