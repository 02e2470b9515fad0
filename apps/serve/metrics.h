#pragma once
// The service's counters in the Prometheus text format: requests by endpoint
// and status, their durations as a histogram, conversions running and
// waiting, requests refused because the queue was full.
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace zumen_serve {

class Metrics {
 public:
  // Upper bounds of the duration buckets, in seconds.
  static constexpr std::array<double, 13> kBuckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60};

  // One answered request: its endpoint ("/v1/convert", ..., "other"), HTTP
  // status (499: the client went away before the answer) and the seconds
  // from its start to its answer.
  void Record(const std::string& endpoint, int status, double seconds);
  void Rejected();

  // The whole exposition; running and waiting are read from the admission.
  std::string Text(int running, int waiting, int jobs) const;

 private:
  struct Histogram {
    std::array<uint64_t, kBuckets.size()> counts{};
    uint64_t count = 0;
    double sum = 0;
  };
  mutable std::mutex mutex_;
  std::map<std::pair<std::string, int>, uint64_t> requests_;
  std::map<std::string, Histogram> durations_;
  uint64_t rejected_ = 0;
};

// The endpoint label for a request path: one of the service's own, or "other"
// (so that scanning for paths cannot grow the label set).
std::string EndpointOf(const std::string& path);

}  // namespace zumen_serve
