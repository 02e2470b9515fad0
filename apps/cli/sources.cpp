#include "sources.h"

#include <ostream>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "arguments.h"
#include "conversion.h"

namespace zumen_cli {

namespace fs = std::filesystem;

namespace {

bool IsDrawingName(const fs::path& p) { return p.has_extension() && zumen::FormatFromName(p.extension().string()); }

// The same file reached by two names is taken once: the key is its full,
// resolved path.
std::string Identity(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(path, ec);
  return ec ? path : p.string();
}

// The path with "." segments and empty segments left out; false when it
// climbs out with "..".
bool CleanRelative(const std::string& text, std::string& out) {
  out.clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('/', start), text.size());
    const std::string part = text.substr(start, end - start);
    if (part == "..") return false;
    if (!part.empty() && part != ".") {
      if (!out.empty()) out += '/';
      out += part;
    }
    start = end + 1;
  }
  return true;
}

void AddFolder(const std::string& operand, bool recursive, std::vector<Source>& found, std::vector<std::string>& empty) {
  std::vector<Source> here;
  std::error_code ec;
  const fs::path root(operand);
  auto add = [&](const fs::directory_entry& e) {
    std::error_code fileEc;
    if (!e.is_regular_file(fileEc) || !IsDrawingName(e.path())) return;
    Source s;
    s.path = e.path().string();
    s.dir = e.path().parent_path().lexically_relative(root).lexically_normal().string();
    if (s.dir == ".") s.dir.clear();
    s.named = false;
    here.push_back(std::move(s));
  };
  auto error = [&](const std::string& what, const std::error_code& e) {
    Source s;
    s.path = what;
    s.named = false;
    s.error = "cannot read the folder \"" + what + "\": " + e.message();
    here.push_back(std::move(s));
  };
  if (recursive) {
    // Links to folders are not followed: a link back up would never end.
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
    if (ec) return error(operand, ec);
    for (; it != end; it.increment(ec)) {
      if (ec) break;
      add(*it);
    }
    if (ec) error(operand, ec);
  } else {
    fs::directory_iterator it(root, ec), end;
    if (ec) return error(operand, ec);
    for (; it != end; it.increment(ec)) {
      if (ec) break;
      add(*it);
    }
    if (ec) error(operand, ec);
  }
  std::sort(here.begin(), here.end(), [](const Source& a, const Source& b) { return a.path < b.path; });
  if (here.empty()) empty.push_back(operand);
  found.insert(found.end(), here.begin(), here.end());
}

}  // namespace

std::vector<Source> CollectSources(const std::vector<std::string>& operands, bool recursive,
                                   std::vector<std::string>& empty) {
  std::vector<Source> all;
  for (const std::string& operand : operands) {
    std::error_code ec;
    if (operand != "-" && fs::is_directory(operand, ec)) {
      AddFolder(operand, recursive, all, empty);
    } else {
      all.push_back(Source{operand, "", true, ""});
    }
  }
  std::vector<Source> unique;
  std::set<std::string> seen;
  for (Source& s : all) {
    if (s.path == "-" || !s.error.empty() || seen.insert(Identity(s.path)).second) unique.push_back(std::move(s));
  }
  return unique;
}

bool SameFile(const std::string& a, const std::string& b) { return Identity(a) == Identity(b); }

std::string NamePattern::Check(const std::string& pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '{') continue;
    const size_t close = pattern.find('}', i);
    const std::string name = close == std::string::npos ? pattern.substr(i) : pattern.substr(i, close - i + 1);
    if (name != "{dir}" && name != "{stem}" && name != "{ext}") {
      return "knows {dir}, {stem} and {ext}, not \"" + name + "\"";
    }
    i = close;
  }
  if (pattern.empty() || pattern.front() == '/') return "names a file under the output folder, not \"" + pattern + "\"";
  std::string clean;
  if (!CleanRelative(pattern, clean)) return "may not climb out of the output folder with \"..\"";
  if (clean.empty() || clean.back() == '/' || pattern.back() == '/') {
    return "names a file under the output folder, not \"" + pattern + "\"";
  }
  return {};
}

std::string NamePattern::OutputPath(const std::string& folder, const Source& source, zumen::OutputType type) const {
  const fs::path p(source.path);
  std::string ext = p.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  const std::string stem = p.stem().string();
  std::string name;
  for (size_t i = 0; i < pattern_.size(); ++i) {
    if (pattern_.compare(i, 5, "{dir}") == 0) {
      name += source.dir, i += 4;
    } else if (pattern_.compare(i, 6, "{stem}") == 0) {
      name += stem, i += 5;
    } else if (pattern_.compare(i, 5, "{ext}") == 0) {
      name += ext, i += 4;
    } else {
      name += pattern_[i];
    }
  }
  std::string clean;
  if (!CleanRelative(name, clean) || clean.empty()) clean = stem;  // a {dir} or {stem} of ".." never climbs out
  // The pattern's own extension, when it names the type, stands ("{stem}.jpeg").
  const std::string own = fs::path(pattern_).extension().string();
  if (own.size() < 2 || zumen::OutputTypeFromName(own) != type) clean += zumen::OutputTypeExtension(type);
  if (folder.empty()) return clean;
  return folder.back() == '/' ? folder + clean : folder + "/" + clean;
}

std::vector<Collision> FindCollisions(const std::vector<Source>& sources, const std::vector<std::string>& outputs) {
  std::vector<Collision> found;
  std::map<std::string, size_t> first;
  for (size_t i = 0; i < sources.size() && i < outputs.size(); ++i) {
    if (!sources[i].error.empty()) continue;
    const std::string key = fs::path(outputs[i]).lexically_normal().string();
    const auto [it, added] = first.emplace(key, i);
    if (!added) found.push_back({sources[it->second].path, sources[i].path, outputs[i]});
  }
  return found;
}

std::vector<Source> CollectSourcesTelling(const std::vector<std::string>& operands, bool recursive, std::ostream& err) {
  std::vector<std::string> empty;
  std::vector<Source> sources = CollectSources(operands, recursive, empty);
  for (const std::string& folder : empty) {
    err << "zumen: no drawing (" << DrawingExtensions() << ") in \"" << folder << "\"\n";
  }
  return sources;
}

zumen::Opened OpenCollected(const Source& s, zumen::LoadOptions load) {
  if (!s.error.empty()) {
    zumen::Opened opened;
    opened.status = zumen::Status::Error(zumen::StatusCode::NotFound, s.error);
    return opened;
  }
  if (!s.named) load.format.reset();
  double ms = 0;
  return OpenSource(s.path, load, ms);
}

}  // namespace zumen_cli
