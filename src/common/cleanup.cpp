#include "common/cleanup.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace zumen {

namespace {

constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ};

struct Entry {
  std::string path;  // built before registration, never changed while registered
};

// The registered paths. The signal handler reads the slots without a lock
// (lock-free atomics are safe there); the mutex only orders the writers.
constexpr int kSlots = 1024;
std::atomic<Entry*> g_slots[kSlots];
std::mutex g_writers;
// Set by the handler before it reads the slots. An entry unregistered once it
// is set is not freed, since the handler may be reading it on another thread;
// the process is about to end anyway.
std::atomic<bool> g_stopping{false};
// Creations under way on any thread (each between its check of g_stopping
// and the registration of what it made). The handler waits for them before
// it reads the slots; once it has begun, no new one starts. Without this a
// thread converting beside the one that took the signal could make a file
// that the handler never sees.
std::atomic<int> g_creating{0};

class Creating {
 public:
  Creating() { g_creating.fetch_add(1); }
  ~Creating() { g_creating.fetch_sub(1); }
  Creating(const Creating&) = delete;
  Creating& operator=(const Creating&) = delete;
};

// Waits until the creations under way are registered (at most about 200 ms,
// a bound that only a thread stopped while it holds the lock could reach).
void WaitForCreations() {
  for (int i = 0; i < 200 && g_creating.load() > 0; ++i) {
    const timespec ms{0, 1000 * 1000};
    nanosleep(&ms, nullptr);
  }
}

// Blocks the stop signals in this thread while it lives, so that creating a
// path and registering it happen as one step for the handler.
class StopSignalsHeld {
 public:
  StopSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : kStopSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t old_;
};

int Register(std::string path) {
  auto* entry = new Entry{std::move(path)};
  const std::lock_guard lock(g_writers);
  for (int i = 0; i < kSlots; ++i) {
    if (g_slots[i].load() == nullptr) {
      g_slots[i].store(entry);
      return i;
    }
  }
  delete entry;
  return -1;
}

extern "C" void OnStopSignal(int sig) {
  g_stopping.store(true);
  WaitForCreations();
  for (auto& slot : g_slots) {
    const Entry* e = slot.load();
    if (e != nullptr) ::unlink(e->path.c_str());
  }
  // End the process by the same signal, so that the exit status shows it.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
}

}  // namespace

RemovedOnSignal& RemovedOnSignal::operator=(RemovedOnSignal&& other) noexcept {
  if (this != &other) {
    Release();
    slot_ = other.slot_;
    other.slot_ = -1;
  }
  return *this;
}

void RemovedOnSignal::Release() {
  if (slot_ < 0) return;
  Entry* entry;
  {
    // No handler runs on a thread that holds the writers' lock, so that a
    // creation waiting for it is never kept from registering.
    const StopSignalsHeld held;
    const std::lock_guard lock(g_writers);
    entry = g_slots[slot_].exchange(nullptr);
  }
  // The slot is emptied before g_stopping is read: a handler that has not
  // yet set g_stopping will find the slot empty.
  if (!g_stopping.load()) delete entry;
  slot_ = -1;
}

int CreateFileRemovedOnSignal(const std::string& path, int flags, RemovedOnSignal& guard) {
  guard.Release();
  const StopSignalsHeld held;
  const Creating creating;
  if (g_stopping.load()) {
    errno = EINTR;
    return -1;
  }
  const int fd = ::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0) guard.slot_ = Register(path);
  return fd;
}

void RemoveCreatedFilesOnSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  for (const int sig : kStopSignals) sigaddset(&sa.sa_mask, sig);
  for (const int sig : kStopSignals) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
}

}  // namespace zumen
