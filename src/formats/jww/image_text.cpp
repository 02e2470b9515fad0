#include "formats/jww/image_text.h"

#include "common/text.h"
#include "common/values.h"
#include "formats/jww/jww_data.h"

namespace zumen {

namespace {
constexpr std::u16string_view kImagePrefix = u"^@BM";
constexpr std::u16string_view kTempPrefix = u"%temp%";
}  // namespace

bool HasImagePrefix(std::u16string_view s) { return s.starts_with(kImagePrefix); }

bool IsImageText(std::u16string_view s) {
  return HasImagePrefix(s) && s.find(u',') != std::u16string_view::npos;
}

bool ParseImageText(std::u16string_view s, JwImageText& out) {
  if (!IsImageText(s)) return false;
  out = JwImageText{};
  std::u16string_view rest = s.substr(kImagePrefix.size());
  size_t comma = rest.find(u',');
  out.file = std::u16string(rest.substr(0, comma));
  double* fields[6] = {&out.W, &out.H, &out.X, &out.Y, &out.R, &out.A};
  while (comma != std::u16string_view::npos) {
    rest = rest.substr(comma + 1);
    comma = rest.find(u',');
    if (out.count < 6) *fields[out.count] = ValFloat(rest.substr(0, comma));
    ++out.count;
  }
  if (out.count == 1) out.H = out.W;
  return true;
}

std::u16string ResolveImageFile(std::u16string_view file) {
  if (!file.starts_with(kTempPrefix)) return std::u16string(file);
  return std::u16string(kTempPrefix) + BindImageSafeName(file.substr(kTempPrefix.size()));
}

}  // namespace zumen
