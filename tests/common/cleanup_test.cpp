// Paths registered for removal go when a signal stops the process; the rest
// stays. Each case runs in a child process, which the signal ends.
#include "common/cleanup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zumen {
namespace {

namespace fs = std::filesystem;

class RemovedOnSignalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zumen-cleanup-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs body in a child process with the handler installed (after `before`,
  // if given); answers the child's wait status.
  int InChild(const std::function<void()>& body, const std::function<void()>& before = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (before) before();
      RemoveCreatedFilesOnSignals();
      body();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
  }

  bool Exists(const std::string& name) const { return fs::exists(dir_ + "/" + name); }

  std::string dir_;
};

TEST_F(RemovedOnSignalTest, RegisteredPathsGoAndTheSignalEndsTheProcess) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const int status = InChild([&] {
      RemovedOnSignal fileGuard, keptGuard;
      ::close(CreateFileRemovedOnSignal(dir_ + "/.partial.tmp", O_WRONLY | O_EXCL, fileGuard));
      // A path released before the signal is left alone.
      ::close(CreateFileRemovedOnSignal(dir_ + "/done.png", O_WRONLY, keptGuard));
      keptGuard.Release();
      ::raise(sig);
      ::_exit(0);  // not reached
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"done.png"});
    fs::remove(dir_ + "/done.png");
  }
}

TEST_F(RemovedOnSignalTest, AGuardThatGoesUnregistersWithoutRemoving) {
  const int status = InChild([&] {
    {
      RemovedOnSignal guard;
      ::close(CreateFileRemovedOnSignal(dir_ + "/kept.png", O_WRONLY, guard));
      RemovedOnSignal moved = std::move(guard);
      if (guard.Active() || !moved.Active()) ::_exit(3);  // the registration moves
    }
    ::raise(SIGTERM);
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_TRUE(Exists("kept.png"));
}

// Threads that keep making files while the signal comes on another thread
// (conversions side by side in one process): whatever they made is gone,
// including a file made while the handler was reading the list and one that a
// thread started to make after it.
TEST_F(RemovedOnSignalTest, FilesMadeOnOtherThreadsWhileTheSignalIsHandledGoToo) {
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    const int status = InChild([&] {
      std::atomic<int> made{0};
      auto make = [&](int thread) {
        RemovedOnSignal previous;
        for (int i = 0;; ++i) {
          RemovedOnSignal guard;
          const std::string path = dir_ + "/t" + std::to_string(thread) + "-" + std::to_string(i) + ".tmp";
          const int fd = CreateFileRemovedOnSignal(path, O_WRONLY | O_EXCL, guard);
          if (fd >= 0) ::close(fd);
          // Keep one file per thread registered; the one before goes now.
          if (previous.Active()) {
            ::unlink((dir_ + "/t" + std::to_string(thread) + "-" + std::to_string(i - 1) + ".tmp").c_str());
          }
          previous = std::move(guard);
          made.fetch_add(1);
        }
      };
      std::vector<std::thread> threads;
      for (int k = 0; k < 3; ++k) threads.emplace_back(make, k);
      while (made.load() < 300) {
      }
      ::raise(SIGTERM);
      for (std::thread& t : threads) t.join();  // never reached: the signal ends the process
    });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    ASSERT_EQ(left, std::vector<std::string>{});
  }
}

TEST_F(RemovedOnSignalTest, ASignalIgnoredAtStartStaysIgnored) {
  // A process started with SIGHUP ignored (as nohup does) goes on.
  const int status = InChild(
      [&] {
        RemovedOnSignal guard;
        ::close(CreateFileRemovedOnSignal(dir_ + "/out.png", O_WRONLY, guard));
        ::raise(SIGHUP);
        guard.Release();
      },
      [] { ::signal(SIGHUP, SIG_IGN); });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(Exists("out.png"));
}

}  // namespace
}  // namespace zumen
