#include "common/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "common/cp932.h"
#include "common/memory.h"
#include "common/text.h"

namespace zumen {

namespace {

bool IsSep(char16_t c) { return c == u'\\' || c == u'/'; }

// Index just past the last separator: the start of the file-name part.
size_t NameStart(std::u16string_view s) {
  for (size_t i = s.size(); i > 0; --i)
    if (IsSep(s[i - 1])) return i;
  return 0;
}

// Index of the extension's dot in the file-name part, or npos.
size_t ExtStart(std::u16string_view s) {
  const size_t dot = s.rfind(u'.');
  if (dot == std::u16string_view::npos || dot < NameStart(s)) return std::u16string_view::npos;
  return dot;
}

bool HasNul(std::u16string_view s) { return s.find(u'\0') != std::u16string_view::npos; }

std::string Utf8(std::u16string_view s) { return Utf16ToUtf8(s); }

void SetMessage(std::string* message, const std::string& text) {
  if (message) *message = text;
}

// RAII holder of a file descriptor.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

}  // namespace

int SplitPath(std::u16string_view s, std::vector<std::u16string>& parts, int hi) {
  if (hi < 0) hi = 0;
  const auto top = static_cast<size_t>(hi);
  if (parts.size() < top + 1) parts.resize(top + 1);
  for (size_t k = 0; k <= top; ++k) parts[k].clear();
  size_t k = 0;
  const auto step = [&] {
    if (k < top) {
      ++k;
    } else {
      parts[top].clear();  // keep only the tail after the last separator
    }
  };
  for (size_t i = 0; i < s.size();) {
    if (i + 1 < s.size() && IsSep(s[i]) && s[i + 1] == s[i]) {
      step();
      i += 2;
    } else if (IsSep(s[i])) {
      step();
      ++i;
    } else {
      parts[k].push_back(s[i]);
      ++i;
    }
  }
  return static_cast<int>(k);
}

std::u16string FileExtLower(std::u16string_view s) {
  if (HasNul(s)) return {};
  const size_t dot = ExtStart(s);
  if (dot == std::u16string_view::npos) return {};
  return LowerStr(s.substr(dot));
}

std::string FileExtLower(std::string_view utf8) { return Utf8(FileExtLower(Utf8ToUtf16(utf8))); }

std::u16string ChangeExt(std::u16string_view s, std::u16string_view ext) {
  if (s.empty() || HasNul(s) || HasNul(ext)) return {};
  std::u16string r(s.substr(0, std::min(ExtStart(s), s.size())));
  if (!ext.empty() && ext[0] != u'.') r.push_back(u'.');
  r.append(ext);
  return r;
}

std::string ChangeExt(std::string_view utf8, std::string_view ext) {
  return Utf8(ChangeExt(Utf8ToUtf16(utf8), Utf8ToUtf16(ext)));
}

bool FileExist(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirExist(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDir(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  if (ec) return false;
  std::filesystem::create_directories(full, ec);
  return DirExist(full.string());
}

bool DelFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(path.c_str()) == 0;
}

bool DelDir(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if ((st.st_mode & S_IWUSR) == 0) ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
  return ::rmdir(path.c_str()) == 0;
}

bool FileExist(std::u16string_view path) { return FileExist(Utf8(path)); }
bool DirExist(std::u16string_view path) { return DirExist(Utf8(path)); }
bool MakeDir(std::u16string_view path) { return MakeDir(Utf8(path)); }
bool DelFile(std::u16string_view path) { return DelFile(Utf8(path)); }
bool DelDir(std::u16string_view path) { return DelDir(Utf8(path)); }

namespace {

// Opens a regular file for reading; -1 (with a message) when it cannot be
// opened or is not a regular file.
int OpenRegularFile(const std::string& path, std::string* message) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetMessage(message, "cannot open " + path + ": " + std::strerror(errno));
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SetMessage(message, "not a regular file: " + path);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool ReadFileBytes(const std::string& path, size_t max_bytes, std::vector<uint8_t>& out, std::string* message) {
  out.clear();
  const Fd f(OpenRegularFile(path, message));
  if (f.fd < 0) return false;
  struct stat st {};
  ::fstat(f.fd, &st);
  const auto size = static_cast<uint64_t>(st.st_size);
  if (size > max_bytes) {
    SetMessage(message, "file too large (" + std::to_string(size) + " bytes, limit " + std::to_string(max_bytes) +
                            "): " + path);
    return false;
  }
  ReserveLarge(out, static_cast<size_t>(size));
  out.resize(static_cast<size_t>(size));
  size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(f.fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetMessage(message, "cannot read " + path + ": " + std::strerror(errno));
      out.clear();
      return false;
    }
    if (n == 0) break;  // the file shrank while being read
    got += static_cast<size_t>(n);
  }
  out.resize(got);
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool ReadLinesWhile(const std::string& path, size_t max_bytes, const std::function<bool(std::string_view)>& fn,
                    std::string* message) {
  const Fd f(OpenRegularFile(path, message));
  if (f.fd < 0) return false;
  std::vector<char> block(64 * 1024);
  std::string line;
  bool afterCr = false;  // an LF right after a CR belongs to the same line end
  size_t total = 0;
  while (true) {
    const size_t want = std::min(block.size(), max_bytes - total);
    const ssize_t n = ::read(f.fd, block.data(), want == 0 ? 1 : want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetMessage(message, "cannot read " + path + ": " + std::strerror(errno));
      return false;
    }
    if (n == 0) break;
    if (want == 0) {
      SetMessage(message, "only the first " + std::to_string(max_bytes) + " bytes of " + path + " were read");
      return false;
    }
    total += static_cast<size_t>(n);
    const char* p = block.data();
    const char* end = p + n;
    while (p < end) {
      if (afterCr) {
        afterCr = false;
        if (*p == '\n') {
          ++p;
          continue;
        }
      }
      const char* eol = std::find_if(p, end, [](char c) { return c == '\n' || c == '\r'; });
      line.append(p, eol);
      if (eol == end) break;
      if (!fn(line)) return true;
      line.clear();
      afterCr = *eol == '\r';
      p = eol + 1;
    }
  }
  if (!line.empty()) fn(line);
  return true;
}

bool ReadTextLines(const std::string& path, size_t max_bytes, std::vector<std::string>& lines, std::string* message) {
  std::vector<uint8_t> bytes;
  lines.clear();
  if (!ReadFileBytes(path, max_bytes, bytes, message)) return false;
  lines = SplitLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return true;
}

bool WriteFileBytes(const std::string& path, std::span<const uint8_t> data) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd >= 0 && WriteAllAndClose(fd, data);
}

bool WriteAllAndClose(int fd, std::span<const uint8_t> data) {
  Fd f(fd);
  size_t put = 0;
  while (put < data.size()) {
    const ssize_t n = ::write(f.fd, data.data() + put, data.size() - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    put += static_cast<size_t>(n);
  }
  // A full disk may only show when the file is closed.
  f.fd = -1;
  return ::close(fd) == 0;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return {};
  std::string full;
  if (path[0] != '/') {
    std::error_code ec;
    full = std::filesystem::current_path(ec).string();
    if (ec) return path;
    full += '/';
  }
  full += path;
  std::string out;
  for (size_t i = 0; i < full.size();) {
    const size_t slash = full.find('/', i);
    const size_t end = slash == std::string::npos ? full.size() : slash;
    const std::string_view part = std::string_view(full).substr(i, end - i);
    i = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      const size_t cut = out.find_last_of('/');
      struct stat st {};
      const bool link = !out.empty() && ::lstat(out.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
      if (out.empty() || (!link && std::string_view(out).substr(cut + 1) != "..")) {
        out.erase(out.empty() ? 0 : cut);  // "/.." is "/"
        continue;
      }
    }
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

std::u16string PathToText(std::string_view path) {
  std::u16string text;
  for (size_t i = 0;;) {
    const size_t slash = path.find('/', i);
    const std::string_view part = path.substr(i, slash == std::string_view::npos ? std::string_view::npos : slash - i);
    text += IsValidUtf8(part) ? Utf8ToUtf16(part) : AnsiDecode(part);
    if (slash == std::string_view::npos) break;
    text += u'/';
    i = slash + 1;
  }
  return text;
}

bool FileTimeLocal(const std::string& path, DateTime& out) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  const std::time_t t = st.st_mtime;
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return false;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec & ~1;
  out.millisecond = 0;
  return true;
}

std::string FindPlacedFile(const std::u16string& fn, const std::string& drawing) {
  if (FileExist(fn)) return Utf16ToUtf8(fn);
  if (drawing.empty()) return {};
  const size_t cut = drawing.find_last_of('/');
  const std::string folder = cut == std::string::npos ? std::string{} : drawing.substr(0, cut + 1);
  if (!folder.empty() && FileExist(folder + Utf16ToUtf8(fn))) return folder + Utf16ToUtf8(fn);
  const size_t last = fn.find_last_of(u"/\\");
  if (last == std::u16string::npos || last + 1 == fn.size()) return {};
  const std::string beside = folder + Utf16ToUtf8(fn.substr(last + 1));
  return FileExist(beside) ? beside : std::string{};
}

}  // namespace zumen
