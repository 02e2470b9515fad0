#include "service.h"

#include <httplib.h>

#include <charconv>
#include <exception>
#include <new>
#include <span>

#include "cli/arguments.h"
#include "cli/info.h"
#include "cli/json_line.h"
#include "connection.h"
#include "viewer_assets.h"

namespace zumen_serve {

namespace {

using Json = nlohmann::ordered_json;

// Whether the answer of the request on this thread was counted already (by
// its handler), so that the error handler counts only the answers cpp-httplib
// makes by itself (unknown paths, bodies too large, malformed requests).
thread_local bool counted = false;

std::string Number(double v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

// The time budget of one request, asked by the renderer now and then from
// its threads: past the deadline, when the client has gone (its socket asked
// at most every 50 ms), or when the service stops everything.
class Budget {
 public:
  using Clock = std::chrono::steady_clock;
  Budget(Clock::time_point deadline, int fd, const std::atomic<bool>& stopAll)
      : deadline_(deadline), fd_(fd), stop_all_(stopAll) {}

  bool operator()() {
    if (stop_all_.load(std::memory_order_relaxed)) return true;
    const Clock::time_point now = Clock::now();
    if (now >= deadline_) {
      late_ = true;
      return true;
    }
    const int64_t ticks = now.time_since_epoch().count();
    int64_t next = next_poll_.load(std::memory_order_relaxed);
    if (ticks >= next && next_poll_.compare_exchange_strong(
                             next, (now + std::chrono::milliseconds(50)).time_since_epoch().count())) {
      if (PeerGone(fd_)) gone_ = true;
    }
    return gone_.load();
  }
  bool late() const { return late_.load(); }
  bool gone() const { return gone_.load(); }
  bool PastDeadline() const { return Clock::now() >= deadline_; }

 private:
  const Clock::time_point deadline_;
  const int fd_;
  const std::atomic<bool>& stop_all_;
  std::atomic<int64_t> next_poll_{0};
  std::atomic<bool> late_{false}, gone_{false};
};

struct Failure {
  int status;
  const char* code;
};

// The answer for a drawing that could not be opened.
Failure OpenFailure(zumen::StatusCode c) {
  switch (c) {
    case zumen::StatusCode::UnknownFormat: return {415, "unknown_format"};
    case zumen::StatusCode::TooLarge: return {413, "too_large"};
    case zumen::StatusCode::InvalidArgument: return {400, "bad_parameter"};
    case zumen::StatusCode::Internal: return {500, "internal"};
    default: return {422, "unreadable"};
  }
}

// The answer for a picture that could not be made (Cancelled is told apart
// by the caller).
Failure RenderFailure(zumen::StatusCode c) {
  switch (c) {
    case zumen::StatusCode::InvalidArgument:
    case zumen::StatusCode::UnknownOutput: return {400, "bad_parameter"};
    case zumen::StatusCode::TooLarge: return {422, "picture_too_large"};
    default: return {500, "internal"};
  }
}

std::string WarningsHeader(const std::vector<zumen::Diagnostic>& warnings) {
  std::string out;
  for (const zumen::Diagnostic& d : warnings) {
    if (!out.empty()) out += ", ";
    out += d.code + "=" + std::to_string(d.count);
  }
  return out;
}

// filename="..." in ASCII, and filename*= with the UTF-8 name where it has
// other characters.
std::string Disposition(const std::string& stem, zumen::OutputType type) {
  const std::string name = stem + zumen::OutputTypeExtension(type);
  std::string ascii, encoded;
  bool plain = true;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    ascii += c < 0x80 ? ch : '_';
    if (c >= 0x80) plain = false;
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
      encoded += ch;
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  std::string out = "inline; filename=\"" + ascii + "\"";
  if (!plain) out += "; filename*=UTF-8''" + encoded;
  return out;
}

}  // namespace

Service::Service(const ServiceConfig& config) : config_(config), admission_(config.jobs, config.queue) {}

void Service::Error(httplib::Response& res, int status, const std::string& code, const std::string& message) const {
  res.status = status;
  res.set_content(zumen_cli::JsonLine(Json{{"code", code}, {"message", message}}) + "\n", "application/json");
}

void Service::Drain() {
  draining_ = true;
  admission_.Close();
}

void Service::CancelAll() { cancel_all_ = true; }

void Service::Health(httplib::Response& res) const {
  if (draining_) {
    Error(res, 503, "shutting_down", "the service is stopping");
    return;
  }
  res.set_content("{\"status\":\"ok\"}\n", "application/json");
}

void Service::Serve(Work work, const httplib::Request& req, httplib::Response& res,
                    const httplib::ContentReader& reader) {
  // The whole body is read before anything else, under the read timeouts:
  // a slow upload holds this connection's thread, never a conversion slot.
  // The raw body is taken as it is, whatever its Content-Type says (curl's
  // --data-binary calls it a form); a multipart form gives its first file.
  std::string body, name;
  bool found = false, inFile = false;
  bool read = false;
  try {
    if (req.is_multipart_form_data()) {
      read = reader(
          [&](const httplib::MultipartFormData& part) {
            inFile = !found && (!part.filename.empty() || part.name == "file");
            if (inFile) {
              found = true;
              name = part.filename;
            }
            return true;
          },
          [&](const char* data, size_t n) {
            if (inFile) body.append(data, n);
            return true;
          });
    } else {
      read = reader([&](const char* data, size_t n) {
        body.append(data, n);
        return true;
      });
    }
  } catch (const std::bad_alloc&) {
    read = false;
    res.status = 413;
  }
  if (!read) {
    // cpp-httplib has set the status (413 past the body limit, 400 for a
    // body cut off or late); the error handler words and counts it.
    if (res.status < 400) res.status = 400;
    res.set_header("Connection", "close");
    return;
  }
  const auto start = Clock::now();
  try {
    Handle(work, req, body, name, res);
  } catch (const std::bad_alloc&) {
    Error(res, 503, "out_of_memory", "not enough memory for this request now");
  } catch (const std::exception& e) {
    Error(res, 500, "internal", std::string("internal error: ") + e.what());
  }
  metrics_.Record(EndpointOf(req.path), res.status == -1 ? 200 : res.status,
                  std::chrono::duration<double>(Clock::now() - start).count());
  counted = true;
}

void Service::Handle(Work work, const httplib::Request& req, std::string_view body, std::string name,
                     httplib::Response& res) {
  const char* which = work == Work::Convert ? "convert" : work == Work::Info ? "info" : "text";
  RequestSettings s;
  if (const std::string why = MakeRequestSettings(req.params, which, config_.limits, s); !why.empty()) {
    Error(res, 400, "bad_parameter", why);
    return;
  }
  if (req.has_param("name")) name = req.get_param_value("name");
  if (!req.has_param("name") && !name.empty()) {
    s.stem = SafeStem(name);
    if (!s.convert.load.format) s.convert.load.format = zumen::FormatFromName(name);
  }
  if (body.empty()) {
    Error(res, 400, "no_drawing", "the request has no drawing: send it as the body or as a file of a multipart form");
    return;
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  zumen::LoadOptions load = s.convert.load;
  if (!load.format && !zumen::FormatFromSignature(bytes)) {
    Error(res, 415, "unknown_format",
          "the drawing's format is not known from its first bytes: name it with from=" + zumen_cli::FormatChoices("|") +
              " or name=FILE.EXT");
    return;
  }
  load.max_file_bytes = config_.max_upload;

  if (draining_) {
    Error(res, 503, "shutting_down", "the service is stopping");
    res.set_header("Connection", "close");
    return;
  }
  // The service's budget, or the shorter one the request asks for.
  const double seconds = std::min(config_.timeout_seconds, s.timeout.value_or(config_.timeout_seconds));
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  const int fd = FindConnectionSocket(req.remote_addr, req.remote_port, req.local_addr, req.local_port);
  Budget budget(deadline, fd, cancel_all_);
  switch (admission_.Enter(deadline, [fd] { return PeerGone(fd); })) {
    case Admission::Entry::Admitted: break;
    case Admission::Entry::Full:
      metrics_.Rejected();
      res.set_header("Retry-After", "1");
      Error(res, 503, "queue_full", "every conversion slot and the queue are taken: try again shortly");
      return;
    case Admission::Entry::TimedOut:
      Error(res, 504, "timeout", "the time budget ran out while waiting for a conversion slot");
      return;
    case Admission::Entry::Gone: res.status = 499; return;
    case Admission::Entry::Closed:
      Error(res, 503, "shutting_down", "the service is stopping");
      res.set_header("Connection", "close");
      return;
  }
  Slot slot(admission_);

  const zumen::Opened opened = zumen::Drawing::OpenBytes(bytes, load);
  if (!opened) {
    const Failure f = OpenFailure(opened.status.code);
    Error(res, f.status, f.code, opened.status.message);
    return;
  }
  if (budget.PastDeadline()) {
    Error(res, 504, "timeout", "the time budget of " + Number(seconds) + " s ran out");
    return;
  }
  const std::vector<zumen::Diagnostic>& read = opened.drawing.Diagnostics();
  const zumen_cli::Outcome readOutcome = zumen_cli::OutcomeOf(read);
  if (work != Work::Convert) res.set_header("X-Zumen-Status", zumen_cli::OutcomeName(readOutcome));
  if (work == Work::Info) {
    Json j = zumen_cli::DescriptionJson(name.empty() ? "-" : name, opened);
    j["layers"] = Json::parse(zumen::LayersJson(opened.drawing.Layers()));
    res.set_content(zumen_cli::JsonLine(j) + "\n", "application/json");
    return;
  }
  if (work == Work::Text) {
    res.set_content(zumen::TextsJson(opened.drawing.Texts(s.convert.render)) + "\n", "application/json");
    return;
  }

  zumen::RenderOptions options = s.convert.render;
  options.cancelled = [&budget] { return budget(); };
  const zumen::OutputType type = *s.convert.output;
  std::vector<uint8_t> picture;
  const zumen::RenderResult r = zumen::Render(opened.drawing, options, zumen::Output::Memory(type, picture));
  if (!r) {
    if (r.status.code == zumen::StatusCode::Cancelled || budget.late() || budget.gone()) {
      if (budget.gone()) {
        res.status = 499;
      } else if (cancel_all_) {
        Error(res, 503, "shutting_down", "the service stopped before the picture was done");
      } else {
        Error(res, 504, "timeout", "the time budget of " + Number(seconds) + " s ran out");
      }
      return;
    }
    const Failure f = RenderFailure(r.status.code);
    Error(res, f.status, f.code, r.status.message);
    return;
  }
  std::vector<zumen::Diagnostic> warnings = read;
  warnings.insert(warnings.end(), r.diagnostics.begin(), r.diagnostics.end());
  res.set_header("X-Zumen-Status", zumen_cli::OutcomeName(zumen_cli::OutcomeOf(warnings)));
  if (!warnings.empty()) res.set_header("X-Zumen-Warnings", WarningsHeader(warnings));
  res.set_header("Content-Disposition", Disposition(s.stem, type));
  if (type != zumen::OutputType::Dxf) {
    res.set_header("X-Zumen-Width", std::to_string(r.width));
    res.set_header("X-Zumen-Height", std::to_string(r.height));
    res.set_header("X-Zumen-Window", Number(r.window.min_x) + "," + Number(r.window.min_y) + "," +
                                         Number(r.window.max_x) + "," + Number(r.window.max_y));
    res.set_header("X-Zumen-Scale", Number(r.scale));
  }
  res.set_content(reinterpret_cast<const char*>(picture.data()), picture.size(), MediaType(type));
}

void Service::Install(httplib::Server& server) {
  // Every handler is timed and counted by its endpoint and status.
  const auto timed = [this](auto fn) {
    return [this, fn](const httplib::Request& req, httplib::Response& res) {
      const auto start = Clock::now();
      try {
        fn(req, res);
      } catch (const std::bad_alloc&) {
        Error(res, 503, "out_of_memory", "not enough memory for this request now");
      } catch (const std::exception& e) {
        Error(res, 500, "internal", std::string("internal error: ") + e.what());
      }
      metrics_.Record(EndpointOf(req.path), res.status == -1 ? 200 : res.status,
                      std::chrono::duration<double>(Clock::now() - start).count());
      counted = true;
    };
  };
  for (const auto& [path, work] : {std::pair{"/v1/convert", Work::Convert}, {"/v1/info", Work::Info},
                                   {"/v1/text", Work::Text}}) {
    server.Post(path, [this, w = work](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader) { Serve(w, req, res, reader); });
  }
  server.Get("/healthz", timed([this](const auto&, auto& res) { Health(res); }));
  server.Get("/metrics", timed([this](const auto&, auto& res) {
               res.set_content(metrics_.Text(admission_.running(), admission_.waiting(), admission_.jobs()),
                               "text/plain; version=0.0.4; charset=utf-8");
             }));
  for (const ViewerAsset& asset : ViewerAssets()) {
    server.Get(asset.path, timed([&asset](const auto&, auto& res) {
                 res.set_header("Cache-Control", "no-cache");
                 res.set_header("X-Content-Type-Options", "nosniff");
                 res.set_header("Content-Security-Policy",
                                "default-src 'self'; img-src 'self' blob: data:; style-src 'self'; script-src 'self'; "
                                "connect-src 'self'; object-src 'none'; frame-ancestors 'none'");
                 res.set_content(reinterpret_cast<const char*>(asset.data), asset.size, asset.media_type);
               }));
  }
  // Uploads declared larger than the limit are refused before their body is
  // read (a client that waits for "100 Continue", as curl does for large
  // bodies, never sends it); the connection is closed, as the body is left
  // unread.
  const auto tooLarge = [this](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_header("Content-Length")) return false;
    const std::string length = req.get_header_value("Content-Length");
    unsigned long long n = 0;
    const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), n);
    if (ec != std::errc() || n <= config_.max_upload) return false;
    Error(res, 413, "too_large",
          "the upload of " + length + " bytes is larger than the limit of " + std::to_string(config_.max_upload) +
              " bytes");
    res.set_header("Connection", "close");
    metrics_.Record(EndpointOf(req.path), 413, 0);
    counted = true;
    return true;
  };
  server.set_expect_100_continue_handler([tooLarge](const httplib::Request& req, httplib::Response& res) {
    counted = false;
    return tooLarge(req, res) ? 413 : 100;
  });
  server.set_pre_routing_handler([tooLarge](const httplib::Request& req, httplib::Response& res) {
    counted = false;
    return tooLarge(req, res) ? httplib::Server::HandlerResponse::Handled
                              : httplib::Server::HandlerResponse::Unhandled;
  });
  // The answers cpp-httplib makes by itself get a JSON body too, and are counted.
  server.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (res.body.empty()) {
      switch (res.status) {
        case 404: Error(res, 404, "not_found", "no such endpoint: " + req.method + " " + req.path); break;
        case 405: Error(res, 405, "method_not_allowed", "the endpoint does not take " + req.method); break;
        case 413:
          Error(res, 413, "too_large",
                "the upload is larger than the limit of " + std::to_string(config_.max_upload) + " bytes");
          break;
        default: Error(res, res.status, res.status >= 500 ? "internal" : "bad_request", "the request was refused"); break;
      }
    }
    if (!counted) metrics_.Record(EndpointOf(req.path), res.status, 0);
    counted = true;
  });
  server.set_logger([](const httplib::Request&, const httplib::Response&) { counted = false; });
}

}  // namespace zumen_serve
