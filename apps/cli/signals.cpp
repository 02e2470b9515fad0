#include "signals.h"

#include <pthread.h>
#include <signal.h>

namespace zumen_cli {

namespace {

constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
// How often the watching thread looks whether it is to end.
constexpr long kPollNanoseconds = 20 * 1000 * 1000;

sigset_t SetOf(unsigned long bits) {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kStopSignals) {
    if (bits & (1UL << sig)) sigaddset(&set, sig);
  }
  return set;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
  for (const int sig : kStopSignals) {
    struct sigaction now {};
    if (sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) watched_ |= 1UL << sig;
  }
  const sigset_t set = SetOf(watched_);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  if (watched_ != 0) thread_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
  if (thread_.joinable()) {
    closing_.store(true);
    thread_.join();
  }
  // A stop signal still pending now takes its ordinary course.
  const sigset_t set = SetOf(watched_);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void StopSignals::Watch() {
  const sigset_t set = SetOf(watched_);
  const timespec poll{0, kPollNanoseconds};
  for (;;) {
    const int sig = sigtimedwait(&set, nullptr, &poll);
    if (sig < 0) {
      if (closing_.load()) return;  // a signal from now on is delivered once the mask is restored
      continue;                     // EAGAIN (time is up) or EINTR
    }
    onStop_(sig);
    // Now as if the signal had never been held: the cleanup handler, then the end.
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
    return;  // the signal was ignored after all
  }
}

}  // namespace zumen_cli
