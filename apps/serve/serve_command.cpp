#include "serve_command.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <ostream>
#include <thread>

#include "service.h"

namespace zumen_serve {

namespace {

// Connections are served by threads of their own, apart from the conversion
// slots: a slow or idle client holds such a thread, never a slot. Enough are
// kept that the slots and the queue are fed while many clients upload.
int ConnectionThreads(int jobs, int queue) { return std::clamp(2 * (jobs + queue) + 32, 32, 512); }

constexpr int kReadTimeoutSeconds = 10;
constexpr int kWriteTimeoutSeconds = 10;
constexpr int kKeepAliveSeconds = 5;

}  // namespace

int RunServe(const ServeArgs& a, std::ostream& err) {
  std::string host;
  int port = 0;
  ParseListen(a.listen, host, port);
  unsigned long long maxUpload = 0;
  ParseByteSize(a.max_upload, maxUpload);

  ServiceConfig config;
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  config.jobs = a.jobs.value_or(cores);
  config.queue = a.queue;
  config.max_upload = maxUpload;
  config.timeout_seconds = a.timeout;
  config.limits.max_pixels = a.max_pixels;
  config.limits.max_side = a.max_side;
  // The conversions running at once share the cores, as a batch's do.
  config.limits.threads = std::max(1, cores / config.jobs);

  // The stop signals are taken by one thread of their own (every thread
  // started from here on has them blocked); a client that goes away must not
  // end the process.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Service service(config);
  httplib::Server server;
  const int threads = ConnectionThreads(config.jobs, config.queue);
  server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  server.set_tcp_nodelay(true);
  // SO_REUSEADDR alone (a restart binds at once past connections in
  // TIME_WAIT): cpp-httplib's default adds SO_REUSEPORT, with which a second
  // service on the same port would silently share the first one's clients.
  server.set_socket_options([](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_read_timeout(kReadTimeoutSeconds, 0);
  server.set_write_timeout(kWriteTimeoutSeconds, 0);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_keep_alive_max_count(100);
  server.set_payload_max_length(static_cast<size_t>(maxUpload));
  service.Install(server);

  errno = 0;
  const int bound = port == 0 ? server.bind_to_any_port(host) : (server.bind_to_port(host, port) ? port : -1);
  if (bound < 0) {
    const int e = errno;
    err << "zumen: cannot listen on " << a.listen << (e != 0 ? std::string(": ") + std::strerror(e) : "") << "\n";
    return 1;
  }
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  err << "zumen: serving on http://" << shown << ":" << bound << "/ (" << config.jobs << " jobs, queue " << config.queue
      << ", uploads up to " << maxUpload << " bytes, " << a.timeout << " s per request)\n"
      << std::flush;

  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stops, &sig);
    {
      std::lock_guard lock(mutex);
      if (done) return;
    }
    err << "zumen: " << (sig == SIGINT ? "SIGINT" : "SIGTERM") << ": no new requests; finishing "
        << service.running() << " running\n"
        << std::flush;
    service.Drain();
    server.stop();
    // Running conversions get their time budget to finish, then are asked
    // to stop; what still runs after that is ended by the library's own
    // clean-up, which removes its temporary files first.
    std::unique_lock lock(mutex);
    const auto budget = std::chrono::duration<double>(config.timeout_seconds);
    if (ended.wait_for(lock, budget, [&] { return done; })) return;
    err << "zumen: the time budget ran out: stopping " << service.running() << " running conversions\n" << std::flush;
    service.CancelAll();
    if (ended.wait_for(lock, std::chrono::seconds(10), [&] { return done; })) return;
    err << "zumen: conversions did not stop: ending now\n" << std::flush;
    lock.unlock();
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
    raise(SIGTERM);
  });

  const bool listened = server.listen_after_bind();
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  ended.notify_all();
  // Wakes the signal thread when the server ended for another reason.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  err << "zumen: stopped serving\n" << std::flush;
  return listened ? 0 : 1;
}

}  // namespace zumen_serve
