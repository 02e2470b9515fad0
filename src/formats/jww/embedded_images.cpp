// Images stored inside JWW drawings: writing the stored copies, inflating the
// gzip-compressed ones beside them and deleting both afterwards. Every file
// lives directly inside BindImageFolder: stored names are reduced to their
// last path component first.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "common/files.h"
#include "common/text.h"
#include "formats/jww/jww_data.h"

namespace zumen {

namespace {

// Opens a new file for writing, replacing a file of that name but never
// following a link planted under it.
int CreateFresh(const std::string& path) {
  ::unlink(path.c_str());
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool IsGz(std::u16string_view name) { return FileExtLower(name) == u".gz"; }

enum class InflateResult { kOk, kFailed, kTooLarge };

// Inflates the gzip stream(s) of src into fd, at most `limit` bytes.
InflateResult Inflate(const std::vector<uint8_t>& src, int fd, uint64_t limit) {
  z_stream zs{};
  if (inflateInit2(&zs, 31) != Z_OK) return InflateResult::kFailed;
  std::vector<uint8_t> out(64 * 1024);
  zs.next_in = const_cast<Bytef*>(src.data());
  zs.avail_in = static_cast<uInt>(src.size());
  uint64_t total = 0;
  InflateResult result = InflateResult::kOk;
  while (true) {
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const size_t got = out.size() - zs.avail_out;
    total += got;
    if (total > limit) {
      result = InflateResult::kTooLarge;
      break;
    }
    if (!WriteAll(fd, out.data(), got)) {
      result = InflateResult::kFailed;
      break;
    }
    if (rc == Z_STREAM_END) {
      // Concatenated members inflate one after the other, as gzip does.
      if (zs.avail_in == 0 || inflateReset(&zs) != Z_OK) break;
      continue;
    }
    if (rc != Z_OK || (got == 0 && zs.avail_in == 0)) {
      result = InflateResult::kFailed;
      break;
    }
  }
  inflateEnd(&zs);
  return result;
}

}  // namespace

std::u16string BindImageSafeName(std::u16string_view name) {
  const size_t cut = name.find_last_of(u"/\\");
  std::u16string base(cut == std::u16string_view::npos ? name : name.substr(cut + 1));
  if (base.empty() || base == u"." || base == u".." || base.find(u'\0') != std::u16string::npos) return {};
  return base;
}

// Used by the reader while it reads the image section.
bool BindImageWrite(const std::string& path, std::span<const uint8_t> data) {
  const int fd = CreateFresh(path);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t off = 0; ok && off < data.size(); off += 2048) {
    const size_t n = std::min<size_t>(2048, data.size() - off);
    ok = WriteAll(fd, data.data() + off, n);
  }
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

std::string TJwwData::BindImageStoredPath(const TBindImageType& img) const {
  const std::u16string name = BindImageSafeName(img.Fname);
  if (name.empty() || BindImageFolder.empty()) return {};
  std::string folder = BindImageFolder;
  if (folder.back() != '/') folder += '/';
  return folder + Utf16ToUtf8(name);
}

std::string TJwwData::BindImageInflatedPath(const TBindImageType& img) const {
  const std::string stored = BindImageStoredPath(img);
  if (stored.empty() || !IsGz(img.Fname)) return stored;
  const std::u16string base = BindImageSafeName(img.Fname);
  if (base.size() <= 3) return {};  // ".gz" alone names nothing to inflate to
  return stored.substr(0, stored.size() - 3);
}

void TJwwData::BindImageExplode() const {
  for (const auto& img : BindImage) {
    if (!IsGz(img.Fname)) continue;
    const std::string src = BindImageStoredPath(img), dst = BindImageInflatedPath(img);
    if (src.empty() || dst.empty() || !FileExist(src)) continue;
    std::vector<uint8_t> data;
    if (!ReadFileBytes(src, kJwwMaxFileSize, data)) continue;
    const int fd = CreateFresh(dst);
    if (fd < 0) continue;
    const InflateResult rc = Inflate(data, fd, BindImageMaxInflated);
    ::close(fd);
    // A corrupt stream leaves its partial output; an image past the size
    // limit is removed rather than left half written.
    if (rc == InflateResult::kTooLarge) ::unlink(dst.c_str());
  }
}

void TJwwData::BindImageDeleteGzFile() const {
  for (const auto& img : BindImage) {
    if (!IsGz(img.Fname)) continue;
    const std::string path = BindImageStoredPath(img);
    if (!path.empty() && FileExist(path)) DelFile(path);
  }
}

void TJwwData::BindImageDeleteNonGzFile() const {
  for (const auto& img : BindImage) {
    const std::string path = BindImageInflatedPath(img);
    if (!path.empty() && FileExist(path)) DelFile(path);
  }
}

}  // namespace zumen
