#include "driver/settings.h"

#include <iterator>
#include <string_view>

#include "common/cp932.h"
#include "common/files.h"
#include "common/text.h"
#include "common/values.h"

namespace zumen {

namespace {

// Reading stops after the 18 lines; they are a few hundred bytes, and no more
// than this is read to find them.
constexpr size_t kMaxSettingsBytes = 1 << 20;

using LineSetter = void (*)(Settings&, const std::u16string&);

// What each of the 18 lines sets, in file order.
constexpr LineSetter kLines[] = {
    [](Settings& s, const std::u16string& v) { s.Fm1x = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.Fm1y = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.Fm1w = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.Fm1h = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.rb1 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb2 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb3 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb4 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb5 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.ed1 = v; },
    [](Settings& s, const std::u16string& v) { s.lb1 = v; },
    [](Settings& s, const std::u16string& v) { s.lb2 = v; },
    [](Settings& s, const std::u16string& v) { s.Fidx = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.gstyle = v; },
    [](Settings& s, const std::u16string& v) { s.cb2 = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.cb3 = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.ed2 = v; },
    [](Settings& s, const std::u16string& v) { s.ed3 = v; },
};
constexpr size_t kLineCount = std::size(kLines);

}  // namespace

Settings DefaultSettings(const std::string& appPath) {
  Settings s;
  s.lb2 = PathToText(appPath);
  return s;
}

bool DatFileOpen(const std::string& name, const std::string& appPath, Settings& s) {
  s = DefaultSettings(appPath);
  if (!FileExist(name)) return false;
  size_t got = 0;
  const bool whole = ReadLinesWhile(name, kMaxSettingsBytes, [&](std::string_view raw) {
    kLines[got++](s, AnsiDecode(raw));
    return got < kLineCount;
  });
  // A file that ends early gives empty text for the missing lines; after a
  // read error the lines not read keep their defaults.
  if (whole) {
    for (; got < kLineCount; ++got) kLines[got](s, std::u16string());
  }
  return true;
}

}  // namespace zumen
