#include "driver/reference.h"

#include <filesystem>
#include <string_view>
#include <vector>

#include "common/cp932.h"
#include "common/files.h"
#include "common/text.h"

namespace zumen {

namespace {

constexpr size_t kMaxTextFileBytes = 64u << 20;

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

// The file itself, or else the one file in its folder whose name differs from
// it only in letter case (names written for case-insensitive file systems).
std::string FindFileIgnoringCase(const std::string& path) {
  if (FileExist(path)) return path;
  const std::string folder = FolderOf(path);
  const std::u16string want = UpperStr(Utf8ToUtf16(path.substr(folder.size())));
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    if (UpperStr(Utf8ToUtf16(entry.path().filename().string())) == want) return entry.path().string();
  }
  return {};
}

bool StartsWith(std::u16string_view s, std::u16string_view p) { return s.substr(0, p.size()) == p; }


}  // namespace

void GetRefFileName(ConversionContext& ctx, const std::string& appPath) {
  const std::string jwf = appPath + kJwfFileName;
  if (!FileExist(jwf)) return;
  std::vector<std::string> lines;
  ReadTextLines(jwf, kMaxTextFileBytes, lines);  // on a read error: what was read
  for (const std::string& raw : lines) {
    // The keywords are matched in upper case; the name keeps the case it was
    // written in, because file names on this platform are case-sensitive.
    const std::u16string line = Trim(AnsiDecode(raw));
    const std::u16string upper = UpperStr(line);
    if (StartsWith(upper, u"END")) return;
    for (const std::u16string_view key : {std::u16string_view(u"REF_FILE ="), std::u16string_view(u"REF_FILE=")}) {
      if (StartsWith(upper, key)) {
        ctx.RefFileName = Trim(std::u16string_view(line).substr(key.size()));
        return;
      }
    }
  }
}

void RefFileOpen(ConversionContext& ctx, const std::string& appPath) {
  if (ctx.RefFileName.empty()) return;
  std::string name = Utf16ToUtf8(ctx.RefFileName);
  std::string folder = FolderOf(name);
  if (folder.empty()) {
    folder = ctx.CurFileName.empty() ? appPath : FolderOf(Utf16ToUtf8(ctx.CurFileName));
    name = folder + name;
  }
  ctx.RefList.clear();
  name = FindFileIgnoringCase(name);
  if (name.empty()) return;
  std::vector<std::string> lines;
  ReadTextLines(name, kMaxTextFileBytes, lines);
  for (const std::string& raw : lines) {
    const std::u16string line = AnsiDecode(raw);
    const size_t tab = line.find(u'\t');
    if (tab == std::u16string::npos) continue;
    std::u16string key = line.substr(0, tab);
    if (key.empty() || DelBlank(key) != key || !StartsWith(key, u"%%")) continue;
    ctx.RefList.push_back({std::move(key), DelCtrl(std::u16string_view(line).substr(tab + 1))});
  }
}

}  // namespace zumen
