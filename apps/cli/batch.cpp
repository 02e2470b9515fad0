#include "batch.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <system_error>
#include <thread>

#include "json_line.h"
#include "signals.h"

namespace zumen_cli {

namespace {

constexpr int kBarWidth = 24;

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string Plural(size_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

const char* SignalName(int sig) {
  switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
  }
  return "a signal";
}

}  // namespace

Reporter::Reporter(const std::vector<Job>& jobs, const BatchSettings& settings, std::ostream& out, std::ostream& err)
    : jobs_(jobs),
      settings_(settings),
      out_(out),
      err_(err),
      start_(std::chrono::steady_clock::now()),
      results_(jobs.size()),
      finished_(jobs.size(), false) {
  if (settings_.progress == Progress::Bar && !jobs_.empty()) {
    err_ << BarLine() << std::flush;
  }
}

bool Reporter::Next(size_t& index) {
  const std::lock_guard lock(mutex_);
  if (stopped_ || next_ >= jobs_.size()) return false;
  index = next_++;
  return true;
}

std::string Reporter::BarLine() const {
  const size_t total = jobs_.size();
  const int filled = total == 0 ? kBarWidth : static_cast<int>(done_ * kBarWidth / total);
  std::string line = "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                     std::to_string(done_) + "/" + std::to_string(total);
  if (failed_ > 0) line += ", " + std::to_string(failed_) + " failed";
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (done_ > 0 && seconds > 0) line += ", " + Fixed(static_cast<double>(done_) / seconds, 1) + " drawings/s";
  return line + "\033[K";
}

void Reporter::PrintAbove(const std::string& text) {
  if (text.empty()) return;
  if (settings_.progress == Progress::Bar) {
    err_ << "\r\033[K" << text << BarLine();
  } else {
    err_ << text;
  }
}

void Reporter::Done(size_t index, JobResult result) {
  const std::lock_guard lock(mutex_);
  if (stopped_ || index >= results_.size()) return;
  const Job& job = jobs_[index];
  ++done_;
  if (result.outcome == Outcome::Failed) ++failed_;
  if (result.outcome == Outcome::Partial) ++partial_;
  if (settings_.json) out_ << JsonLine(ResultJson(job, result)) << '\n' << std::flush;
  std::string text = WarningLines(job.source, result.warnings);
  if (settings_.progress == Progress::Lines) {
    text += "[" + std::to_string(done_) + "/" + std::to_string(jobs_.size()) + "] " + job.source;
    if (result.outcome == Outcome::Failed) {
      text += ": failed: " + result.error + "\n";
    } else {
      text += " -> " + job.destination + (result.outcome == Outcome::Partial ? " (in part)\n" : "\n");
    }
  } else if (settings_.progress == Progress::Bar && result.outcome == Outcome::Failed) {
    text += "zumen: " + FailureAbout(job.source, result.error) + "\n";
  }
  if (settings_.progress == Progress::Bar) {
    if (text.empty()) err_ << BarLine();
    else PrintAbove(text);
  } else {
    err_ << text;
  }
  err_ << std::flush;
  results_[index] = std::move(result);
  finished_[index] = true;
}

std::string Reporter::Summary(const char* stoppedBy) const {
  std::string text;
  if (settings_.progress == Progress::Bar) text += "\r\033[K";
  if (failed_ > 0) {
    text += "zumen: " + std::to_string(failed_) + " of " + Plural(jobs_.size(), "drawing", "drawings") + " failed:\n";
    for (size_t i = 0; i < jobs_.size(); ++i) {
      if (finished_[i] && results_[i].outcome == Outcome::Failed) {
        text += "  " + FailureAbout(jobs_[i].source, results_[i].error) + "\n";
      }
    }
  }
  if (settings_.progress == Progress::None) return text;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const size_t converted = done_ - failed_;
  if (stoppedBy != nullptr) {
    text += std::string("zumen: stopped by ") + stoppedBy + ": " + std::to_string(converted) + " of " +
            Plural(jobs_.size(), "drawing", "drawings") + " converted";
    const size_t running = next_ - done_;
    if (running > 0) text += ", " + Plural(running, "conversion", "conversions") + " in progress left unwritten";
    text += ", " + std::to_string(jobs_.size() - next_) + " not started\n";
    return text;
  }
  text += "zumen: converted " + std::to_string(converted) + " of " + Plural(jobs_.size(), "drawing", "drawings");
  if (partial_ > 0) text += " (" + std::to_string(partial_) + " only in part)";
  text += " in " + Fixed(seconds, 1) + " s";
  if (failed_ > 0) text += "; " + std::to_string(failed_) + " failed";
  text += "\n";
  return text;
}

void Reporter::Stopped(int signal) {
  const std::lock_guard lock(mutex_);
  if (stopped_) return;
  stopped_ = true;
  err_ << Summary(SignalName(signal)) << std::flush;
  out_ << std::flush;
}

int Reporter::Finish() {
  const std::lock_guard lock(mutex_);
  err_ << Summary(nullptr) << std::flush;
  std::vector<Outcome> outcomes;
  for (size_t i = 0; i < jobs_.size(); ++i) outcomes.push_back(finished_[i] ? results_[i].outcome : Outcome::Failed);
  return ExitStatusOf(outcomes);
}

namespace {

// One conversion whose failure of any kind, a fault inside zumen included,
// is this drawing's failure alone: the batch goes on, and the drawing's
// files are cleaned up as its conversion unwinds.
JobResult ConvertGuarded(const Job& job, const ConvertSettings& convert) {
  try {
    return ConvertOne(job, convert);
  } catch (const std::exception& e) {
    JobResult r;
    r.outcome = Outcome::Failed;
    r.error = std::string("internal error: ") + e.what();
    return r;
  }
}

}  // namespace

int RunBatch(const std::vector<Job>& jobs, const ConvertSettings& convert, const BatchSettings& settings,
             std::ostream& out, std::ostream& err) {
  Reporter reporter(jobs, settings, out, err);
  {
    const StopSignals stop([&reporter](int sig) { reporter.Stopped(sig); });
    const unsigned workers = std::max(1u, std::min<unsigned>(settings.workers, static_cast<unsigned>(jobs.size())));
    auto work = [&] {
      size_t i = 0;
      while (reporter.Next(i)) reporter.Done(i, ConvertGuarded(jobs[i], convert));
    };
    std::vector<std::thread> threads;
    try {
      for (unsigned w = 1; w < workers; ++w) threads.emplace_back(work);
    } catch (const std::system_error&) {
      // Fewer threads than asked: the ones there are do all the work.
    }
    work();
    for (std::thread& t : threads) t.join();
  }
  return reporter.Finish();
}

}  // namespace zumen_cli
