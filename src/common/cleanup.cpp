#include "common/cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace zumen {

namespace {

constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ};

struct Entry {
  std::string path;  // built before registration, never changed while registered
  bool folder = false;
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

int Register(std::string path, bool folder) {
  auto* entry = new Entry{std::move(path), folder};
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

// Removes the files directly inside the folder, then the folder. Uses only
// async-signal-safe calls. Entries removed while the folder is read may make
// the reading skip others, and another thread may still be adding files, so
// the folder is read again until it can be removed (a bounded number of
// times).
void RemoveFolderNow(const char* path) {
  for (int round = 0; round < 16; ++round) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    alignas(8) char buf[4096];
    ssize_t n;
    while ((n = getdents64(fd, buf, sizeof buf)) > 0) {
      for (ssize_t off = 0; off < n;) {
        const auto* d = reinterpret_cast<const struct dirent64*>(buf + off);
        off += d->d_reclen;
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (::unlinkat(fd, name, 0) != 0 && (errno == EISDIR || errno == EPERM)) ::unlinkat(fd, name, AT_REMOVEDIR);
      }
    }
    ::close(fd);
    if (::rmdir(path) == 0 || errno != ENOTEMPTY) return;
  }
}

extern "C" void OnStopSignal(int sig) {
  g_stopping.store(true);
  for (auto& slot : g_slots) {
    const Entry* e = slot.load();
    if (e == nullptr) continue;
    if (e->folder) {
      RemoveFolderNow(e->path.c_str());
    } else {
      ::unlink(e->path.c_str());
    }
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
  const int fd = ::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0) guard.slot_ = Register(path, false);
  return fd;
}

std::string MakeFolderRemovedOnSignal(const std::string& pattern, RemovedOnSignal& guard) {
  guard.Release();
  std::string path = pattern;
  const StopSignalsHeld held;
  if (mkdtemp(path.data()) == nullptr) return {};
  guard.slot_ = Register(path, true);
  return path;
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
