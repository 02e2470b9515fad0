#pragma once
// Which drawings a command reads, and where the pictures of a batch go.
#include <iosfwd>
#include <string>
#include <vector>

#include "zumen/zumen.h"

namespace zumen_cli {

// A drawing to read.
struct Source {
  std::string path;   // as given, or found under a folder given ("-": standard input)
  std::string dir;    // its folder relative to the folder it was found in ("" for files given by name)
  bool named = true;  // given by name rather than found in a folder
  std::string error;  // set when the source is a folder that could not be read
};

// The drawings the operands name: files as they stand (whatever their
// extension), and in each folder the files whose extension names a drawing
// format, sorted; with recursive, the files in its subfolders too. A file
// reached twice is taken once. Folders without any drawing are added to
// `empty`.
std::vector<Source> CollectSources(const std::vector<std::string>& operands, bool recursive,
                                   std::vector<std::string>& empty);

// CollectSources for the commands that read drawings: each folder without any
// drawing is told on err.
std::vector<Source> CollectSourcesTelling(const std::vector<std::string>& operands, bool recursive, std::ostream& err);

// Opens a collected source: the error found while collecting it as not found;
// a file found in a folder takes its format from its extension, not from
// load.format.
zumen::Opened OpenCollected(const Source& s, zumen::LoadOptions load);

// How the pictures of a batch are named: a pattern of {dir}, {stem} and {ext}
// (the source's folder under the folder given, its name without the
// extension, its extension without the dot), to which the output type's
// extension is added unless the pattern already ends with it.
class NamePattern {
 public:
  static constexpr const char* kDefault = "{dir}/{stem}";

  // Empty text when the pattern is good, else why not.
  static std::string Check(const std::string& pattern);

  explicit NamePattern(std::string pattern = kDefault) : pattern_(std::move(pattern)) {}

  // The picture's path under folder (which may be empty).
  std::string OutputPath(const std::string& folder, const Source& source, zumen::OutputType type) const;

 private:
  std::string pattern_;
};

// Whether two paths name the same file (or would, once made).
bool SameFile(const std::string& a, const std::string& b);

// Two sources whose pictures would be the same file, or nothing.
struct Collision {
  std::string first, second, output;
};
std::vector<Collision> FindCollisions(const std::vector<Source>& sources, const std::vector<std::string>& outputs);

}  // namespace zumen_cli
