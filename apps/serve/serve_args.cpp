// The checks of `zumen serve`'s arguments: plain text, without the HTTP
// library, so that `zumen` checks them before it starts the service.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "serve_command.h"

namespace zumen_serve {

bool ParseListen(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string::npos) {
    return false;  // an IPv6 address goes in brackets
  }
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::stoi(digits);
  return port <= 65535;
}

bool ParseByteSize(const std::string& text, unsigned long long& bytes) {
  size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == 0 || i > 15) return false;
  unsigned long long n = std::stoull(text.substr(0, i));
  std::string unit = text.substr(i);
  for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  int shift = 0;
  if (unit.empty() || unit == "b") shift = 0;
  else if (unit == "k" || unit == "kb" || unit == "kib") shift = 10;
  else if (unit == "m" || unit == "mb" || unit == "mib") shift = 20;
  else if (unit == "g" || unit == "gb" || unit == "gib") shift = 30;
  else return false;
  if (n == 0 || n > (~0ULL >> (shift + 1))) return false;
  bytes = n << shift;
  return true;
}

std::string CheckListen(const std::string& text) {
  std::string host;
  int port = 0;
  if (!ParseListen(text, host, port)) return "takes HOST:PORT (such as 127.0.0.1:8080 or [::1]:8080), not \"" + text + "\"";
  return {};
}

std::string CheckQueue(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(text) > 100000) {
    return "takes a number of waiting requests from 0 to 100000, not \"" + text + "\"";
  }
  return {};
}

std::string CheckByteSize(const std::string& text) {
  unsigned long long n = 0;
  if (!ParseByteSize(text, n)) return "takes a size in bytes, with k, M or G for KiB, MiB or GiB (such as 64M), not \"" + text + "\"";
  return {};
}

std::string CheckTimeout(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0.1 || v > 86400) {
    return "takes seconds from 0.1 to 86400, not \"" + text + "\"";
  }
  return {};
}

}  // namespace zumen_serve
