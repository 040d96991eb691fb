#include "run_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace rtrillex {
namespace {

TEST(RunUnlessBusy, RunsOnceAndClearsTheFlag) {
  bool busy = false;
  int runs = 0;
  EXPECT_TRUE(RunUnlessBusy(busy, [&] {
    ++runs;
    EXPECT_TRUE(busy);
  }));
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(busy);
}

TEST(RunUnlessBusy, ANestedRunDoesNotStart) {
  bool busy = false;
  int runs = 0;
  RunUnlessBusy(busy, [&] {
    ++runs;
    EXPECT_FALSE(RunUnlessBusy(busy, [&] { ++runs; }));
  });
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(busy);
}

TEST(RunUnlessBusy, AFailureNeitherEscapesNorLeavesTheFlagSet) {
  bool busy = false;
  EXPECT_FALSE(RunUnlessBusy(busy, [] { throw std::runtime_error("clipboard went away"); }));
  EXPECT_FALSE(busy);
  int runs = 0;
  EXPECT_TRUE(RunUnlessBusy(busy, [&] { ++runs; }));  // the next change is handled again
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace rtrillex
