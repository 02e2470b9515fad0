#pragma once
// One drawing converted into one picture, and how its outcome is told:
// warning lines for people, a JSON object for programs, an exit status.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "zumen/zumen.h"

namespace zumen_cli {

// "-" as a source or destination: standard input or output.
inline constexpr const char* kStandardStream = "-";

// What every conversion of a command shares.
struct ConvertSettings {
  zumen::RenderOptions render;
  zumen::LoadOptions load;                  // load.format: --from, for sources named by the user
  std::optional<zumen::OutputType> output;  // --format (else the destination's extension)
};

struct Job {
  std::string source;       // a path, or "-"
  std::string destination;  // a path, or "-"
  bool named = true;        // the source was named by the user (--from applies to it)
  std::string error;        // a failure known before the conversion (an unreadable folder)
};

enum class Outcome { Ok, Partial, Failed };

struct JobResult {
  Outcome outcome = Outcome::Failed;
  std::string error;  // why it failed: one line
  std::optional<zumen::Format> format;
  std::optional<zumen::OutputType> type;
  int width = 0, height = 0;
  double read_ms = 0, draw_ms = 0, save_ms = 0;
  // What could not be honoured: the drawing's diagnostics, then the rendering's.
  std::vector<zumen::Diagnostic> warnings;
};

// Writes a picture's bytes to standard output; false when they could not all
// be written.
bool WriteStandardOutput(const std::vector<uint8_t>& bytes);

// Reads the drawing, draws it and delivers the picture (a file replaced only
// by a complete picture, or standard output). Never throws.
JobResult ConvertOne(const Job& job, const ConvertSettings& settings);

// Opens a drawing file, or standard input for "-" (its format from
// load.format or its signature). read_ms is the time taken.
zumen::Opened OpenSource(const std::string& source, const zumen::LoadOptions& load, double& read_ms);

// Whether a diagnostic means that the picture shows only part of the drawing:
// it was read only in part, or block instances were left out. Other
// diagnostics are warnings that do not change the exit status.
bool MeansPartial(const zumen::Diagnostic& d);
Outcome OutcomeOf(const std::vector<zumen::Diagnostic>& warnings);

// 0 ok, 3 partial, 1 failed.
int ExitStatusOf(Outcome o);
// "ok", "partial", "failed".
const char* OutcomeName(Outcome o);
// The exit status of many: 1 if any failed, else 3 if any is partial, else 0.
int ExitStatusOf(const std::vector<Outcome>& outcomes);

// `zumen: warning: "SRC": CODE (COUNT): MESSAGE`, one line per diagnostic.
std::string WarningLines(const std::string& source, const std::vector<zumen::Diagnostic>& warnings);
// A failure's message, naming the source unless it already does.
std::string FailureAbout(const std::string& source, const std::string& error);

// [{code, count, message}, ...]
nlohmann::ordered_json WarningsJson(const std::vector<zumen::Diagnostic>& warnings);
// One JSON object for one conversion: source, destination, status,
// exit_status, error, format, type, width, height, read_ms, draw_ms, save_ms, warnings.
nlohmann::ordered_json ResultJson(const Job& job, const JobResult& r);

}  // namespace zumen_cli
