// Where a piece of work's time goes, step by step: each step's own time,
// without that of the steps nested inside it.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench_text.h"

namespace bench {

class StepTimer {
 public:
  struct Step {
    const char* name;
    double ms;
    long calls;
  };

  template <typename Work>
  decltype(auto) Time(const char* step, Work&& work) {
    Enter(step);
    struct Leave {
      StepTimer& timer;
      ~Leave() { timer.Exit(); }
    } leave{*this};
    return work();
  }

  // In the order the steps were first met.
  const std::vector<Step>& steps() const { return steps_; }
  // Forgets what was timed so far; only between steps.
  void Clear() { steps_.clear(); }

 private:
  void Enter(const char* step) {
    Charge();
    Find(step).calls++;
    open_.push_back(step);
  }
  void Exit() {
    Charge();
    open_.pop_back();
  }
  // The time since the last change goes to the innermost open step.
  void Charge() {
    const auto now = Clock::now();
    if (!open_.empty()) Find(open_.back()).ms += Milliseconds(now - mark_);
    mark_ = now;
  }
  Step& Find(const char* name) {
    for (Step& step : steps_)
      if (std::strcmp(step.name, name) == 0) return step;
    steps_.push_back({name, 0.0, 0});
    return steps_.back();
  }

  std::vector<Step> steps_;
  std::vector<const char*> open_;
  Clock::time_point mark_ = Clock::now();
};

}  // namespace bench
