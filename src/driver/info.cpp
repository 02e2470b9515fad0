#include "driver/info.h"

#include <ostream>

#include "common/files.h"
#include "driver/converter.h"
#include "driver/run.h"

namespace zumen {

int PrintInfo(const std::string& src, bool json, const std::string& appPath, std::ostream& out, std::string& error) {
  if (std::string e = MissingSource(src); !e.empty()) {
    error = e;
    return 1;
  }
  const Family family = FamilyOfPath(src);
  if (family == Family::None) {
    error = "\"" + src + "\" is not a drawing zumen reads (use .jww, .jws, .jwc, .jwk or .k4)";
    return 1;
  }
  if (!Converter::CanRead(family)) {
    error = std::string("reading ") + FamilyName(family) + " drawings is not supported yet";
    return 1;
  }
  Converter conv(appPath);
  const LoadResult load = conv.Load(family, src);
  if (!load.checked) {
    error = "\"" + src + "\": " + load.error;
    return 1;
  }
  out << conv.Describe(family, load, !json);
  if (json) out << '\n';
  if (!load.read) {
    error = "\"" + src + "\" was read only in part: " + load.error;
    return 3;
  }
  return 0;
}

}  // namespace zumen
