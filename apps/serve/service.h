#pragma once
// The HTTP service: its routes on a cpp-httplib server, the conversion
// slots, the time budget of each request and the counters.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "admission.h"
#include "metrics.h"
#include "request_options.h"

namespace httplib {
class Server;
class ContentReader;
struct Request;
struct Response;
}  // namespace httplib

namespace zumen_serve {

struct ServiceConfig {
  int jobs = 1;
  int queue = 16;
  uint64_t max_upload = uint64_t{64} << 20;
  double timeout_seconds = 60;
  ServiceLimits limits;
};

class Service {
 public:
  explicit Service(const ServiceConfig& config);

  // Installs the routes, the error handler and the counters on the server.
  void Install(httplib::Server& server);

  // Stops taking work: requests still waiting for a slot and new ones are
  // answered 503; running conversions go on.
  void Drain();
  // Asks every running conversion to stop (they answer 503).
  void CancelAll();
  int running() const { return admission_.running(); }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Work { Convert, Info, Text };

  // Reads the request's drawing (the body, or the file of a multipart form),
  // then serves it; counts the answer.
  void Serve(Work work, const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
  void Handle(Work work, const httplib::Request& req, std::string_view body, std::string name, httplib::Response& res);
  void Health(httplib::Response& res) const;
  void Error(httplib::Response& res, int status, const std::string& code, const std::string& message) const;

  const ServiceConfig config_;
  Admission admission_;
  Metrics metrics_;
  std::atomic<bool> draining_{false};
  std::atomic<bool> cancel_all_{false};
};

}  // namespace zumen_serve
