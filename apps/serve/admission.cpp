#include "admission.h"

#include <algorithm>

namespace zumen_serve {

Admission::Entry Admission::Enter(Clock::time_point deadline, const std::function<bool()>& gone) {
  std::unique_lock lock(mutex_);
  if (closed_) return Entry::Closed;
  if (running_ < jobs_) {
    ++running_;
    return Entry::Admitted;
  }
  if (waiting_ >= queue_) return Entry::Full;
  ++waiting_;
  Entry result = Entry::Admitted;
  for (;;) {
    if (closed_) {
      result = Entry::Closed;
      break;
    }
    if (running_ < jobs_) {
      ++running_;
      break;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) {
      result = Entry::TimedOut;
      break;
    }
    freed_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(100)));
    if (running_ >= jobs_ && !closed_ && gone) {
      lock.unlock();
      const bool away = gone();
      lock.lock();
      if (away) {
        result = Entry::Gone;
        break;
      }
    }
  }
  --waiting_;
  return result;
}

void Admission::Leave() {
  {
    std::lock_guard lock(mutex_);
    --running_;
  }
  freed_.notify_one();
}

void Admission::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  freed_.notify_all();
}

int Admission::running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

int Admission::waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

}  // namespace zumen_serve
