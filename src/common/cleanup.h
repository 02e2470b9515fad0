#pragma once
// Files that a conversion creates and that must not outlive the process when
// a signal stops it: the temporary file beside a destination, a destination
// being written. (A drawing is read in memory and makes no file.)
//
// The list of these paths is the one process-wide thing here, because it
// mirrors what the process itself created. Registration is thread-safe, so
// conversions may run side by side; a signal handler (installed by
// RemoveCreatedFilesOnSignals) removes whatever is registered at that moment
// and then ends the process by the same signal, so the exit status still
// shows it. Only SIGKILL, which no process can catch, may leave anything.
#include <string>

namespace zumen {

// Keeps one path registered for removal on a signal; unregisters it (without
// removing anything) when it goes. Movable, not copyable.
class RemovedOnSignal {
 public:
  RemovedOnSignal() = default;
  ~RemovedOnSignal() { Release(); }
  RemovedOnSignal(RemovedOnSignal&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
  RemovedOnSignal& operator=(RemovedOnSignal&& other) noexcept;
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

  // Whether a path is registered.
  bool Active() const { return slot_ >= 0; }
  // Unregisters the path: call it once the path is gone or is to stay.
  void Release();

 private:
  friend int CreateFileRemovedOnSignal(const std::string&, int, RemovedOnSignal&);
  int slot_ = -1;
};

// open(path, flags | O_CREAT | O_CLOEXEC, 0666) with the new file registered
// for removal; no signal can come between the two. The file descriptor, or
// -1 (errno set). When the list is full the file is made all the same, but
// it is not registered.
int CreateFileRemovedOnSignal(const std::string& path, int flags, RemovedOnSignal& guard);

// Installs the handler for the signals that stop a process from outside
// (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ);
// a signal that the process was started with ignored stays ignored. For the
// executables, at the start of main.
void RemoveCreatedFilesOnSignals();

}  // namespace zumen
