#pragma once
// Many drawings converted side by side, with progress and a summary.
#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "conversion.h"

namespace zumen_cli {

// How progress is shown on standard error: not at all, one line per drawing
// (for logs and pipes), or a bar redrawn in place (on a terminal).
enum class Progress { None, Lines, Bar };

struct BatchSettings {
  unsigned workers = 1;
  Progress progress = Progress::Lines;
  bool json = false;  // one JSON object per drawing on the output stream
};

// Tells how a batch goes: each finished drawing (its warnings, its progress
// line or the bar, its JSON object), then the failures and a summary. Safe
// to call from many threads; what one call prints is never mixed with
// another's.
class Reporter {
 public:
  Reporter(const std::vector<Job>& jobs, const BatchSettings& settings, std::ostream& out, std::ostream& err);

  // Takes the next drawing to convert; false when all are taken or the
  // batch was stopped.
  bool Next(size_t& index);
  void Done(size_t index, JobResult result);
  // The batch was stopped by a signal: nothing more starts, what was done
  // and what failed is told.
  void Stopped(int signal);
  // Tells the failures and the summary; the exit status of the batch.
  int Finish();

 private:
  std::string BarLine() const;
  void PrintAbove(const std::string& text);  // a message, with the bar redrawn under it
  std::string Summary(const char* stoppedBy) const;

  const std::vector<Job>& jobs_;
  BatchSettings settings_;
  std::ostream& out_;
  std::ostream& err_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::vector<JobResult> results_;
  std::vector<bool> finished_;
  size_t next_ = 0, done_ = 0, failed_ = 0, partial_ = 0;
  bool stopped_ = false;
};

// Converts every job, settings.workers at a time (threads of this process:
// a drawing is read-only while it is drawn, and each picture has its own
// state). A failure never stops the others. SIGINT, SIGTERM, SIGHUP and
// SIGQUIT stop the batch: no new drawing is started, the summary is told, and
// the process ends by the signal without leaving partial pictures. Returns
// the exit status: 1 if any drawing failed, else 3 if any was read or drawn
// only in part, else 0.
int RunBatch(const std::vector<Job>& jobs, const ConvertSettings& convert, const BatchSettings& settings,
             std::ostream& out, std::ostream& err);

}  // namespace zumen_cli
