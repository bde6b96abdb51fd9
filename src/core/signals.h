// Pending signals (Ctrl-C) asked for inside long loops that vexa2 runs
// itself, so that KeyboardInterrupt arrives within a fraction of a second.
// A single GMP, MPFR or MPC call cannot be interrupted; a loop around such
// calls can, between them. Only a thread attached to the interpreter asks.
#pragma once
#include <Python.h>

#include <chrono>

namespace vx {

// True with the signal handler's exception set (KeyboardInterrupt).
// Cheap (an atomic read when nothing is pending): loops whose steps are
// big-number operations ask at every step.
inline bool interrupted() noexcept { return PyErr_CheckSignals() < 0; }

// For loops of short steps: asks at every 1024th step.
class SignalPoll {
  unsigned n_ = 0;

 public:
  bool operator()() noexcept { return (++n_ & 1023u) == 0 && PyErr_CheckSignals() < 0; }
};

// For work done detached from the interpreter: a stretch is due to end
// (to reattach and ask for signals) after this long.
class Stretch {
  std::chrono::steady_clock::time_point end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);

 public:
  bool over() const noexcept { return std::chrono::steady_clock::now() >= end_; }
};

}  // namespace vx
