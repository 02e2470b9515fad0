// Paths registered for removal go when a signal stops the process; the rest
// stays. Each case runs in a child process, which the signal ends.
#include "common/cleanup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

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

void Touch(const std::string& path) { ::close(::open(path.c_str(), O_WRONLY | O_CREAT, 0600)); }

TEST_F(RemovedOnSignalTest, RegisteredPathsGoAndTheSignalEndsTheProcess) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const int status = InChild([&] {
      RemovedOnSignal folderGuard, fileGuard, keptGuard;
      const std::string folder = MakeFolderRemovedOnSignal(dir_ + "/priv-XXXXXX", folderGuard);
      // Files written into the registered folder go with it.
      Touch(folder + "/image.png");
      Touch(folder + "/image.png.gz");
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
