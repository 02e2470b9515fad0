#include "driver/reference.h"

#include <filesystem>
#include <string_view>
#include <vector>

#include "common/cp932.h"
#include "common/files.h"
#include "common/text.h"

namespace zumen {

namespace {

// Reading stops at the line that names the reference file; no more than this
// is read to find it.
constexpr size_t kMaxJwfBytes = 16u << 20;
// A reference file is read to its end, but no further than this; the entries
// before the bound are kept.
constexpr size_t kMaxRefFileBytes = 64u << 20;

std::u16string Trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return std::u16string(s.substr(b, e - b));
}

std::string FolderOf(const std::string& path) {
  const size_t p = path.find_last_of('/');
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

// The file `name` in `folder` (the system's bytes, with a trailing '/', or
// empty for the working folder), or else the one file there whose name, as
// text, differs from it only in letter case (names written for
// case-insensitive file systems, and names stored in code page 932 bytes).
std::string FindFileIgnoringCase(const std::string& folder, const std::u16string& name) {
  if (FileExist(folder + Utf16ToUtf8(name))) return folder + Utf16ToUtf8(name);
  const std::u16string want = UpperStr(name);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const std::string found = entry.path().filename().string();
    if (UpperStr(PathToText(found)) == want) return folder + found;
  }
  return {};
}

bool StartsWith(std::u16string_view s, std::u16string_view p) { return s.substr(0, p.size()) == p; }


}  // namespace

void GetRefFileName(ConversionContext& ctx, const std::string& appPath) {
  const std::string jwf = appPath + kJwfFileName;
  if (!FileExist(jwf)) return;
  // On a read error the search ends with what was found so far.
  ReadLinesWhile(jwf, kMaxJwfBytes, [&](std::string_view raw) {
    // The keywords are matched in upper case; the name keeps the case it was
    // written in, because file names on this platform are case-sensitive.
    const std::u16string line = Trim(AnsiDecode(raw));
    const std::u16string upper = UpperStr(line);
    if (StartsWith(upper, u"END")) return false;
    for (const std::u16string_view key : {std::u16string_view(u"REF_FILE ="), std::u16string_view(u"REF_FILE=")}) {
      if (StartsWith(upper, key)) {
        ctx.RefFileName = Trim(std::u16string_view(line).substr(key.size()));
        return false;
      }
    }
    return true;
  });
}

void RefFileOpen(ConversionContext& ctx, const std::string& appPath) {
  if (ctx.RefFileName.empty()) return;
  const size_t cut = ctx.RefFileName.find_last_of(u'/');
  std::string folder;
  std::u16string name;
  if (cut == std::u16string::npos) {
    folder = ctx.Facts->CurFilePath.empty() ? appPath : FolderOf(ctx.Facts->CurFilePath);
    name = ctx.RefFileName;
  } else {
    // A folder written in the settings' code page may be stored in those
    // bytes rather than in UTF-8.
    const std::u16string text = ctx.RefFileName.substr(0, cut + 1);
    folder = Utf16ToUtf8(text);
    if (!DirExist(folder) && DirExist(StrToAnsi(text))) folder = StrToAnsi(text);
    name = ctx.RefFileName.substr(cut + 1);
  }
  ctx.RefList.clear();
  const std::string path = FindFileIgnoringCase(folder, name);
  if (path.empty()) return;
  // On a read error the entries read so far are kept.
  ReadLinesWhile(path, kMaxRefFileBytes, [&](std::string_view raw) {
    const std::u16string line = AnsiDecode(raw);
    const size_t tab = line.find(u'\t');
    if (tab == std::u16string::npos) return true;
    std::u16string key = line.substr(0, tab);
    if (key.empty() || DelBlank(key) != key || !StartsWith(key, u"%%")) return true;
    ctx.RefList.push_back({std::move(key), DelCtrl(std::u16string_view(line).substr(tab + 1))});
    return true;
  });
}

}  // namespace zumen
