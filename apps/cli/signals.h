#pragma once
// Stopping a batch on SIGINT, SIGTERM, SIGHUP or SIGQUIT.
#include <atomic>
#include <functional>
#include <thread>

namespace zumen_cli {

// While it lives, the stop signals are taken by a thread of its own rather
// than by whichever thread they would interrupt. On one it calls
// onStop(signal), which keeps new work from starting and tells what was done,
// and then lets the signal take its ordinary course: the library's cleanup
// (zumen::InstallSignalCleanup) removes the partial files of the conversions
// still running, and the process ends by the signal.
//
// Construct it before starting other threads (they inherit the blocked
// signals) and let it go after they end. A signal the process was started
// with ignored stays ignored. A stop signal that comes while it goes is
// delivered once it is gone.
class StopSignals {
 public:
  explicit StopSignals(std::function<void(int)> onStop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void Watch();

  std::function<void(int)> onStop_;
  unsigned long watched_ = 0;  // bit n: signal n is watched
  std::atomic<bool> closing_{false};  // the watching thread is to end
  std::thread thread_;
};

}  // namespace zumen_cli
