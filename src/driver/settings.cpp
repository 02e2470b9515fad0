#include "driver/settings.h"

#include <string_view>
#include <vector>

#include "common/cp932.h"
#include "common/files.h"
#include "common/text.h"
#include "common/values.h"

namespace zumen {

namespace {
// A settings file is a few hundred bytes; anything beyond this is not one.
constexpr size_t kMaxSettingsBytes = 1 << 20;
}  // namespace

Settings DefaultSettings(const std::string& appPath) {
  Settings s;
  s.lb2 = Utf8ToUtf16(appPath);
  return s;
}

bool DatFileOpen(const std::string& name, const std::string& appPath, Settings& s) {
  s = DefaultSettings(appPath);
  if (!FileExist(name)) return false;
  std::vector<std::string> raw;
  if (!ReadTextLines(name, kMaxSettingsBytes, raw)) return true;
  std::vector<std::u16string> line(18);
  for (size_t i = 0; i < line.size() && i < raw.size(); ++i) line[i] = AnsiDecode(raw[i]);
  s.Fm1x = ValInt(line[0]);
  s.Fm1y = ValInt(line[1]);
  s.Fm1w = ValInt(line[2]);
  s.Fm1h = ValInt(line[3]);
  s.rb1 = ValBool(line[4]);
  s.rb2 = ValBool(line[5]);
  s.rb3 = ValBool(line[6]);
  s.rb4 = ValBool(line[7]);
  s.rb5 = ValBool(line[8]);
  s.ed1 = line[9];
  s.lb1 = line[10];
  s.lb2 = line[11];
  s.Fidx = ValInt(line[12]);
  s.gstyle = line[13];
  s.cb2 = ValInt(line[14]);
  s.cb3 = ValInt(line[15]);
  s.ed2 = line[16];
  s.ed3 = line[17];
  return true;
}

}  // namespace zumen
