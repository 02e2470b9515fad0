#include "convert_command.h"

#include <filesystem>
#include <ostream>
#include <thread>

#include "arguments.h"
#include "batch.h"
#include "conversion.h"
#include "json_line.h"
#include "sources.h"

namespace zumen_cli {

namespace {

constexpr int kUsage = 2;

// Collisions told before anything is converted, at most this many.
constexpr size_t kCollisionsShown = 5;

}  // namespace

std::optional<int> MakeSettings(const ConvertArgs& a, ConvertSettings& s, std::ostream& err) {
  s.render = BaseOptions();
  if (a.max_pixels != 0) s.render.max_pixels = a.max_pixels;
  if (a.max_side != 0) s.render.max_side = static_cast<uint32_t>(a.max_side);
  if (a.size) {
    if (!ParseSize(*a.size, s.render.width, s.render.height)) {
      err << "zumen: --size takes WIDTHxHEIGHT in pixels, such as 1600x1131\n";
      return kUsage;
    }
  } else {
    s.render.dpi = a.dpi.value_or(150);
  }
  if (a.background) s.render.background = *BackgroundFromName(*a.background);
  if (a.fit) s.render.fit = *FitFromName(*a.fit);
  if (a.rasteriser) s.render.rasteriser = *RasteriserFromName(*a.rasteriser);
  s.render.frame = !a.no_frame;
  s.render.monochrome = a.monochrome;
  s.render.encoder.quality = a.quality;
  if (a.threads) s.render.threads = *a.threads;
  if (a.layers) s.render.layers = ParseLayers(*a.layers);
  if (a.from) s.load.format = zumen::FormatFromName(*a.from);
  if (a.format) s.output = zumen::OutputTypeFromName(*a.format);
  return std::nullopt;
}

namespace {

std::optional<int> CheckQualityApplies(const ConvertArgs& a, zumen::OutputType type, std::ostream& err) {
  if (a.quality && !TakesQuality(type)) {
    err << "zumen: --quality applies to JPEG and WebP pictures, not " << zumen::OutputTypeName(type) << "\n";
    return kUsage;
  }
  return std::nullopt;
}

int Single(const ConvertArgs& a, ConvertSettings& s, std::ostream& out, std::ostream& err) {
  if (a.operands.size() < 2) {
    err << "zumen: convert needs the picture to write: zumen convert SRC DST, or zumen convert SRC... -o DIR\n";
    return kUsage;
  }
  if (a.operands.size() > 2) {
    err << "zumen: to convert several drawings, name a folder for the pictures: zumen convert SRC... -o DIR\n";
    return kUsage;
  }
  if (a.recursive || a.name) {
    err << "zumen: -r and --name go with a folder for the pictures (-o DIR)\n";
    return kUsage;
  }
  Job job{a.operands[0], a.operands[1], true, ""};
  if (job.source == kStandardStream && a.stdin_terminal) {
    err << "zumen: standard input is a terminal: pipe the drawing in (zumen convert - DST --from FORMAT < plan.jww)\n";
    return kUsage;
  }
  if (job.destination == kStandardStream) {
    if (!s.output) s.output = zumen::OutputType::Png;
    if (a.json) {
      err << "zumen: --json and the picture cannot both go to standard output\n";
      return kUsage;
    }
    if (a.stdout_terminal) {
      err << "zumen: will not write a " << zumen::OutputTypeName(*s.output)
          << " picture to a terminal: redirect standard output (zumen convert SRC - > picture)\n";
      return kUsage;
    }
  } else {
    std::error_code ec;
    if (zumen::FormatFromName(std::filesystem::path(job.destination).extension().string())) {
      err << "zumen: \"" << job.destination << "\" is a drawing, not a picture to write; to convert both drawings,"
          << " name a folder for the pictures: zumen convert SRC... -o DIR\n";
      return kUsage;
    }
    if ((!job.destination.empty() && job.destination.back() == '/') || std::filesystem::is_directory(job.destination, ec)) {
      err << "zumen: \"" << job.destination << "\" is a folder; to write the picture into it use -o: zumen convert SRC -o "
          << job.destination << "\n";
      return kUsage;
    }
    const std::optional<zumen::OutputType> named = zumen::OutputTypeFromName(job.destination);
    if (s.output && named && *s.output != *named) {
      err << "zumen: --format " << zumen::OutputTypeName(*s.output) << " and the extension of \"" << job.destination
          << "\" disagree\n";
      return kUsage;
    }
    if (!s.output && !named) {
      err << "zumen: unknown image type of \"" << job.destination << "\" (use " << OutputTypeChoices(", ")
          << " as its extension, or --format)\n";
      return 1;
    }
    if (!s.output) s.output = named;
    if (job.source != kStandardStream && SameFile(job.source, job.destination)) {
      err << "zumen: the picture would overwrite the drawing \"" << job.source << "\"\n";
      return kUsage;
    }
  }
  if (const auto usage = CheckQualityApplies(a, *s.output, err)) return *usage;

  const JobResult r = ConvertOne(job, s);
  if (a.json) out << JsonLine(ResultJson(job, r)) << '\n' << std::flush;
  if (r.outcome == Outcome::Failed) err << "zumen: " << r.error << '\n';
  err << WarningLines(job.source, r.warnings);
  return ExitStatusOf(r.outcome);
}

int Batch(const ConvertArgs& a, ConvertSettings& s, std::ostream& out, std::ostream& err) {
  const std::string& dir = *a.output_dir;
  for (const std::string& operand : a.operands) {
    if (operand == kStandardStream) {
      err << "zumen: standard input (-) is read by a single conversion only: zumen convert - DST --from FORMAT\n";
      return kUsage;
    }
  }
  std::error_code ec;
  if (dir.empty() || dir == kStandardStream ||
      (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec))) {
    err << "zumen: -o names a folder for the pictures, not \"" << dir
        << "\" (to write one picture to a file or to standard output: zumen convert SRC DST)\n";
    return kUsage;
  }
  if (a.name) {
    if (const std::string why = NamePattern::Check(*a.name); !why.empty()) {
      err << "zumen: --name " << why << '\n';
      return kUsage;
    }
  }
  if (!s.output) s.output = zumen::OutputType::Png;
  if (const auto usage = CheckQualityApplies(a, *s.output, err)) return *usage;

  const std::vector<Source> sources = CollectSourcesTelling(a.operands, a.recursive, err);
  const NamePattern pattern(a.name.value_or(NamePattern::kDefault));
  std::vector<Job> jobs;
  std::vector<std::string> outputs;
  for (const Source& source : sources) {
    outputs.push_back(source.error.empty() ? pattern.OutputPath(dir, source, *s.output) : std::string());
    jobs.push_back(Job{source.path, outputs.back(), source.named, source.error});
    if (jobs.back().error.empty() && SameFile(source.path, outputs.back())) {
      jobs.back().error = "the picture would overwrite the drawing \"" + source.path + "\"";
    }
  }
  if (const auto collisions = FindCollisions(sources, outputs); !collisions.empty()) {
    for (size_t i = 0; i < collisions.size() && i < kCollisionsShown; ++i) {
      const Collision& c = collisions[i];
      err << "zumen: \"" << c.first << "\" and \"" << c.second << "\" would both be written to \"" << c.output << "\"\n";
    }
    err << "zumen: nothing converted; tell the pictures apart with --name (e.g. --name '{dir}/{stem}.{ext}')\n";
    return kUsage;
  }

  BatchSettings b;
  b.json = a.json;
  b.progress = a.quiet ? Progress::None : a.stderr_terminal ? Progress::Bar : Progress::Lines;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  b.workers = a.jobs.value_or(cores);
  // Drawings converted at once share the cores: each picture gets its part.
  if (!a.threads) {
    const unsigned atOnce = static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(b.workers, jobs.size())));
    s.render.threads = static_cast<int>(std::max(1u, cores / atOnce));
  }
  return RunBatch(jobs, s, b, out, err);
}

}  // namespace

int RunConvert(const ConvertArgs& a, std::ostream& out, std::ostream& err) {
  ConvertSettings s;
  if (const auto usage = MakeSettings(a, s, err)) return *usage;
  return a.output_dir ? Batch(a, s, out, err) : Single(a, s, out, err);
}

}  // namespace zumen_cli
