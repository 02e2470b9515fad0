// Images stored inside JWW drawings, in memory: the stored bytes, and the
// gzip-compressed ones inflated.
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "common/files.h"
#include "common/text.h"
#include "formats/jww/jww_data.h"

namespace zumen {

namespace {

bool IsGz(std::u16string_view name) { return FileExtLower(name) == u".gz"; }

enum class InflateResult { kOk, kFailed, kTooLarge };

// Inflates the gzip stream(s) of src into out, at most `limit` bytes.
InflateResult Inflate(const std::vector<uint8_t>& src, std::vector<uint8_t>& out, uint64_t limit) {
  z_stream zs{};
  if (inflateInit2(&zs, 31) != Z_OK) return InflateResult::kFailed;
  std::vector<uint8_t> chunk(64 * 1024);
  zs.next_in = const_cast<Bytef*>(src.data());
  zs.avail_in = static_cast<uInt>(src.size());
  InflateResult result = InflateResult::kOk;
  while (true) {
    zs.next_out = chunk.data();
    zs.avail_out = static_cast<uInt>(chunk.size());
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const size_t got = chunk.size() - zs.avail_out;
    if (out.size() + got > limit) {
      result = InflateResult::kTooLarge;
      break;
    }
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
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

constexpr std::u16string_view kTemp = u"%temp%";

}  // namespace

std::u16string BindImageSafeName(std::u16string_view name) {
  const size_t cut = name.find_last_of(u"/\\");
  std::u16string base(cut == std::u16string_view::npos ? name : name.substr(cut + 1));
  if (base.empty() || base == u"." || base == u".." || base.find(u'\0') != std::u16string::npos) return {};
  return base;
}

scene::ImageMap TJwwData::EmbeddedImages() const {
  scene::ImageMap images;
  for (const TBindImageType& img : BindImage) {
    const std::u16string name = BindImageSafeName(img.Fname);
    if (name.empty() || img.data.empty()) continue;
    images[std::u16string(kTemp) + name].bytes = std::make_shared<const std::vector<uint8_t>>(img.data);
  }
  for (const TBindImageType& img : BindImage) {
    const std::u16string name = BindImageSafeName(img.Fname);
    // ".gz" alone names nothing to inflate to.
    if (!IsGz(img.Fname) || name.size() <= 3 || img.data.empty()) continue;
    auto inflated = std::make_shared<std::vector<uint8_t>>();
    scene::ImageSource& out = images[std::u16string(kTemp) + name.substr(0, name.size() - 3)];
    // A corrupt stream keeps what it gave; an image past the size limit is
    // left out rather than cut.
    if (Inflate(img.data, *inflated, BindImageMaxInflated) == InflateResult::kTooLarge) {
      out = {};
    } else {
      out.bytes = std::move(inflated);
    }
  }
  return images;
}

}  // namespace zumen
