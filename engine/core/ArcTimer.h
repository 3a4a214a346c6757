// TArcTimer: measures the time an operation takes, on a monotonic clock.
#pragma once

#include <chrono>

namespace quil {

class TArcTimer {
 public:
  // Records the start and clears the elapsed time.
  void Start() {
    FStart = Clock::now();
    FRunning = true;
    FElapsed = 0;
  }
  // Only while started: records the stop, sets the elapsed time and marks the timer stopped.
  void Stop() {
    if (!FRunning) return;
    FElapsed = std::chrono::duration<float>(Clock::now() - FStart).count();
    FRunning = false;
  }
  bool Running() const { return FRunning; }
  // Seconds between the last Start and Stop; 0 before the first Stop.
  float Elapsed() const { return FElapsed; }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point FStart{};
  bool FRunning = false;
  float FElapsed = 0;
};

}  // namespace quil
