#include "metrics.h"

#include <charconv>

namespace zumen_serve {

namespace {

std::string Number(double v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

}  // namespace

std::string EndpointOf(const std::string& path) {
  for (const char* known : {"/v1/convert", "/v1/info", "/v1/text", "/healthz", "/metrics", "/", "/viewer.js",
                            "/viewer.css"}) {
    if (path == known) return known;
  }
  return "other";
}

void Metrics::Record(const std::string& endpoint, int status, double seconds) {
  std::lock_guard lock(mutex_);
  ++requests_[{endpoint, status}];
  Histogram& h = durations_[endpoint];
  for (size_t i = 0; i < kBuckets.size(); ++i) {
    if (seconds <= kBuckets[i]) ++h.counts[i];
  }
  ++h.count;
  h.sum += seconds;
}

void Metrics::Rejected() {
  std::lock_guard lock(mutex_);
  ++rejected_;
}

std::string Metrics::Text(int running, int waiting, int jobs) const {
  std::lock_guard lock(mutex_);
  std::string out;
  out += "# HELP zumen_requests_total Requests answered, by endpoint and HTTP status (499: the client went away).\n";
  out += "# TYPE zumen_requests_total counter\n";
  for (const auto& [key, n] : requests_) {
    out += "zumen_requests_total{endpoint=\"" + key.first + "\",code=\"" + std::to_string(key.second) + "\"} " +
           std::to_string(n) + "\n";
  }
  out += "# HELP zumen_request_duration_seconds Time from a request's start (its body read) to its answer.\n";
  out += "# TYPE zumen_request_duration_seconds histogram\n";
  for (const auto& [endpoint, h] : durations_) {
    const std::string label = "endpoint=\"" + endpoint + "\"";
    for (size_t i = 0; i < kBuckets.size(); ++i) {
      out += "zumen_request_duration_seconds_bucket{" + label + ",le=\"" + Number(kBuckets[i]) + "\"} " +
             std::to_string(h.counts[i]) + "\n";
    }
    out += "zumen_request_duration_seconds_bucket{" + label + ",le=\"+Inf\"} " + std::to_string(h.count) + "\n";
    out += "zumen_request_duration_seconds_sum{" + label + "} " + Number(h.sum) + "\n";
    out += "zumen_request_duration_seconds_count{" + label + "} " + std::to_string(h.count) + "\n";
  }
  out += "# HELP zumen_in_flight Conversions running now.\n# TYPE zumen_in_flight gauge\nzumen_in_flight " +
         std::to_string(running) + "\n";
  out += "# HELP zumen_queued Requests waiting for a conversion slot.\n# TYPE zumen_queued gauge\nzumen_queued " +
         std::to_string(waiting) + "\n";
  out += "# HELP zumen_jobs Conversion slots (--jobs).\n# TYPE zumen_jobs gauge\nzumen_jobs " + std::to_string(jobs) +
         "\n";
  out += "# HELP zumen_rejected_total Requests refused with 503 because every slot and the queue were taken.\n";
  out += "# TYPE zumen_rejected_total counter\nzumen_rejected_total " + std::to_string(rejected_) + "\n";
  return out;
}

}  // namespace zumen_serve
