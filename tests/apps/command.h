#pragma once
// Running the executables as a user or a front-end runs them: a shell command
// line with its output captured, or a process the test can stop and signal.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/jww_writer.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zumen::test_apps {

using zumen::testing::ReadAll;
using zumen::testing::TempDir;

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs a shell command line, capturing standard output and standard error;
// standard input comes from the file given.
inline Result Exec(const TempDir& t, const std::string& command, const std::string& input = "/dev/null") {
  const std::string out = t / "stdout.txt", err = t / "stderr.txt";
  const int raw = std::system((command + " >" + out + " 2>" + err + " <'" + input + "'").c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

inline std::string Q(const std::string& s) { return "'" + s + "'"; }

// A running executable, started with its own temporary folder (TMPDIR), its
// standard output thrown away and its standard error too (or kept in a file), the stop signals at their default action whatever the
// test runner was given, no core files, and optionally a limit on the size of
// the files it writes (past which the system stops it with SIGXFSZ).
class Running {
 public:
  Running(const std::vector<std::string>& args, const std::string& tmpdir, rlim_t maxFileBytes = RLIM_INFINITY,
          const std::string& errPath = "/dev/null") {
    std::vector<std::string> env{"TMPDIR=" + tmpdir};
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::string(*e).rfind("TMPDIR=", 0) != 0) env.emplace_back(*e);
    }
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec.
      const rlimit noCore{0, 0}, fileSize{maxFileBytes, maxFileBytes};
      ::setrlimit(RLIMIT_CORE, &noCore);
      ::setrlimit(RLIMIT_FSIZE, &fileSize);
      struct sigaction dfl {};
      dfl.sa_handler = SIG_DFL;
      for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      const int null = ::open("/dev/null", O_WRONLY);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(null, 1);
      ::dup2(err, 2);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
  }
  ~Running() {
    if (pid_ > 0 && !done_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  bool Started() const { return pid_ > 0; }

  // Waits until present() holds while the process runs, then stops it there
  // (SIGSTOP) and answers whether present() still holds: the process is then
  // frozen in the middle of the work that present() observes.
  bool StopWhen(const std::function<bool()>& present) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!present()) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        done_ = true;
        status_ = st;
        return false;
      }
      if (std::chrono::steady_clock::now() > end) return false;
    }
    ::kill(pid_, SIGSTOP);
    int st = 0;
    ::waitpid(pid_, &st, WUNTRACED);
    if (!WIFSTOPPED(st)) {
      done_ = true;
      status_ = st;
      return false;
    }
    if (present()) return true;
    ::kill(pid_, SIGCONT);  // stopped too late: let it finish
    return false;
  }

  // Sends sig to the stopped process, lets it go on and waits for its end.
  int SignalAndWait(int sig) {
    ::kill(pid_, sig);
    ::kill(pid_, SIGCONT);
    return Wait();
  }

  int Wait() {
    if (!done_) {
      ::waitpid(pid_, &status_, 0);
      done_ = true;
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  bool done_ = false;
  int status_ = 0;
};

// Every entry under folder (recursively), relative to it.
inline std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    names.push_back(std::filesystem::relative(it->path(), folder).string());
  }
  return names;
}

inline bool HasEntryStartingWith(const std::string& folder, const std::string& prefix) {
  for (const std::string& n : Entries(folder)) {
    if (n.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// An A3 drawing with an embedded image; drawn at 300 dpi it makes a BMP file
// of about 50 MB.
inline std::string DrawingWithImage(const TempDir& t) {
  JwwWriter w(700);
  w.head.Enthd.nZumen = 3;
  w.Line(-100, -50, 100, 50);
  std::vector<uint8_t> image(1 << 20);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
  w.Image(u"photo.bmp.gz", image);
  return t.Write("src/plan.jww", w.Finish());
}

inline std::string SignalName(int status) {
  if (WIFSIGNALED(status)) return std::string("signal ") + strsignal(WTERMSIG(status));
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  return "status " + std::to_string(status);
}

}  // namespace zumen::test_apps
