#include "conversion.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>

#include "arguments.h"

namespace zumen_cli {

namespace {

using Json = nlohmann::ordered_json;

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Reads standard input, up to one byte past the limit (so that a larger
// input is told apart without holding all of it).
bool ReadStandardInput(uint64_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  uint8_t buf[1 << 16];
  while (bytes.size() <= limit) {
    const size_t n = std::fread(buf, 1, sizeof buf, stdin);
    bytes.insert(bytes.end(), buf, buf + n);
    if (n < sizeof buf) break;
  }
  return !std::ferror(stdin);
}

// Rounded to a tenth of a millisecond: enough for people and programs.
Json Milliseconds(double ms) { return Json(static_cast<double>(static_cast<int64_t>(ms * 10 + 0.5)) / 10); }

JobResult Convert(const Job& job, const ConvertSettings& settings) {
  JobResult r;
  if (!job.error.empty()) {
    r.error = job.error;
    return r;
  }
  zumen::LoadOptions load = settings.load;
  if (!job.named) load.format.reset();  // found in a folder: its extension tells
  const zumen::Opened opened = OpenSource(job.source, load, r.read_ms);
  if (!opened) {
    r.error = opened.status.message;
    return r;
  }
  r.format = opened.drawing.format();
  r.warnings = opened.drawing.Diagnostics();
  const bool toStdout = job.destination == kStandardStream;
  r.type = settings.output ? settings.output : zumen::OutputTypeFromName(job.destination);
  if (!r.type && !toStdout) {
    // The library words the refusal of a destination it cannot name.
    const zumen::RenderResult rendered = zumen::Render(opened.drawing, settings.render, zumen::Output::File(job.destination));
    r.error = rendered.status.message;
    return r;
  }
  if (!toStdout) {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(job.destination).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  }
  std::vector<uint8_t> bytes;
  const zumen::Output output =
      toStdout ? zumen::Output::Memory(*r.type, bytes) : zumen::Output::File(job.destination, r.type);
  const zumen::RenderResult rendered = zumen::Render(opened.drawing, settings.render, output);
  r.warnings.insert(r.warnings.end(), rendered.diagnostics.begin(), rendered.diagnostics.end());
  r.draw_ms = rendered.draw_ms;
  r.save_ms = rendered.save_ms;
  if (!rendered) {
    r.error = rendered.status.message;
    return r;
  }
  r.width = rendered.width;
  r.height = rendered.height;
  if (toStdout) {
    const auto start = std::chrono::steady_clock::now();
    if (!WriteStandardOutput(bytes)) {
      r.error = "cannot write the picture to standard output";
      return r;
    }
    r.save_ms += MillisecondsSince(start);
  }
  r.outcome = OutcomeOf(r.warnings);
  return r;
}

}  // namespace

bool WriteStandardOutput(const std::vector<uint8_t>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

zumen::Opened OpenSource(const std::string& source, const zumen::LoadOptions& load, double& read_ms) {
  const auto start = std::chrono::steady_clock::now();
  zumen::Opened opened;
  if (source != kStandardStream) {
    opened = zumen::Drawing::Open(source, load);
  } else {
    std::vector<uint8_t> bytes;
    if (!ReadStandardInput(load.max_file_bytes, bytes)) {
      opened.status = zumen::Status::Error(zumen::StatusCode::NotFound, "cannot read standard input");
    } else if (!load.format && !zumen::FormatFromSignature(bytes)) {
      opened.status = zumen::Status::Error(
          zumen::StatusCode::UnknownFormat,
          "the format of the drawing on standard input is not known: name it with --from " + FormatChoices("|"));
    } else {
      opened = zumen::Drawing::OpenBytes(bytes, load);
      if (!opened) opened.status.message = "standard input: " + opened.status.message;
    }
  }
  read_ms = MillisecondsSince(start);
  return opened;
}

JobResult ConvertOne(const Job& job, const ConvertSettings& settings) {
  try {
    return Convert(job, settings);
  } catch (const std::bad_alloc&) {
    JobResult r;
    r.error = "not enough memory to convert \"" + job.source + "\"";
    return r;
  } catch (const std::exception& e) {
    JobResult r;
    r.error = "\"" + job.source + "\": " + e.what();
    return r;
  }
}

bool MeansPartial(const zumen::Diagnostic& d) { return d.code == "read-partial" || d.code == "block-instances-cut"; }

Outcome OutcomeOf(const std::vector<zumen::Diagnostic>& warnings) {
  for (const zumen::Diagnostic& d : warnings) {
    if (MeansPartial(d)) return Outcome::Partial;
  }
  return Outcome::Ok;
}

int ExitStatusOf(Outcome o) {
  switch (o) {
    case Outcome::Ok: return 0;
    case Outcome::Partial: return 3;
    case Outcome::Failed: return 1;
  }
  return 1;
}

const char* OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::Ok: return "ok";
    case Outcome::Partial: return "partial";
    case Outcome::Failed: return "failed";
  }
  return "failed";
}

int ExitStatusOf(const std::vector<Outcome>& outcomes) {
  int status = 0;
  for (const Outcome o : outcomes) {
    if (o == Outcome::Failed) return 1;
    if (o == Outcome::Partial) status = 3;
  }
  return status;
}

std::string WarningLines(const std::string& source, const std::vector<zumen::Diagnostic>& warnings) {
  std::string out;
  for (const zumen::Diagnostic& d : warnings) {
    out += "zumen: warning: \"" + source + "\": " + d.code + " (" + std::to_string(d.count) + "): " + d.message + "\n";
  }
  return out;
}

std::string FailureAbout(const std::string& source, const std::string& error) {
  if (source == kStandardStream || error.find("\"" + source + "\"") != std::string::npos) return error;
  return "\"" + source + "\": " + error;
}

Json WarningsJson(const std::vector<zumen::Diagnostic>& warnings) {
  Json list = Json::array();
  for (const zumen::Diagnostic& d : warnings) list.push_back({{"code", d.code}, {"count", d.count}, {"message", d.message}});
  return list;
}

Json ResultJson(const Job& job, const JobResult& r) {
  Json j;
  j["source"] = job.source;
  j["destination"] = job.destination.empty() ? Json(nullptr) : Json(job.destination);
  j["status"] = OutcomeName(r.outcome);
  j["exit_status"] = ExitStatusOf(r.outcome);
  j["error"] = r.outcome == Outcome::Failed ? Json(r.error) : Json(nullptr);
  j["format"] = r.format ? Json(zumen::FormatName(*r.format)) : Json(nullptr);
  j["type"] = r.type ? Json(zumen::OutputTypeName(*r.type)) : Json(nullptr);
  // A DXF drawing has no pixel size.
  const bool sized = r.outcome != Outcome::Failed && r.type != zumen::OutputType::Dxf;
  j["width"] = sized ? Json(r.width) : Json(nullptr);
  j["height"] = sized ? Json(r.height) : Json(nullptr);
  j["read_ms"] = Milliseconds(r.read_ms);
  j["draw_ms"] = Milliseconds(r.draw_ms);
  j["save_ms"] = Milliseconds(r.save_ms);
  j["warnings"] = WarningsJson(r.warnings);
  return j;
}

}  // namespace zumen_cli
