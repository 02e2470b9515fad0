#pragma once
// Conversion slots: at most `jobs` requests convert at once, at most `queue`
// more wait for a slot; a request beyond those is refused at once (the
// service answers 503), and one that waits past its deadline gives up.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace zumen_serve {

class Admission {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Entry { Admitted, Full, TimedOut, Gone, Closed };

  Admission(int jobs, int queue) : jobs_(jobs), queue_(queue) {}

  // Takes a slot, waiting in the queue while every slot is taken, until
  // `deadline`, until gone() answers true (asked every 100 ms while waiting)
  // or until Close(). Admitted means the caller holds a slot and must Leave().
  Entry Enter(Clock::time_point deadline, const std::function<bool()>& gone);
  void Leave();
  // No request is admitted any more: waiting ones are woken with Closed.
  void Close();

  int running() const;
  int waiting() const;
  int jobs() const { return jobs_; }

 private:
  const int jobs_, queue_;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  int running_ = 0, waiting_ = 0;
  bool closed_ = false;
};

// Holds a slot for a scope.
class Slot {
 public:
  explicit Slot(Admission& a) : a_(&a) {}
  ~Slot() { a_->Leave(); }
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;

 private:
  Admission* a_;
};

}  // namespace zumen_serve
