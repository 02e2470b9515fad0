#pragma once
// A small writer of JSON objects, enough for the reports of `zumen info`. In
// text mode the same calls give one "key: value" line per field, nested keys
// joined with dots.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zumen {

class JsonWriter {
 public:
  explicit JsonWriter(bool text = false) : text_(text) {}

  JsonWriter& Begin(std::string_view key = {}) { return Open(key, '{'); }
  JsonWriter& End() { return Close('}'); }

  JsonWriter& Str(std::string_view key, std::string_view value) {
    Key(key);
    if (text_) {
      out_ += value;
      out_ += '\n';
    } else {
      Quote(value);
    }
    return *this;
  }
  JsonWriter& Null(std::string_view key) { return Raw(key, text_ ? "none" : "null"); }
  JsonWriter& Bool(std::string_view key, bool v) { return Raw(key, v ? "true" : "false"); }
  JsonWriter& Int(std::string_view key, int64_t v) { return Raw(key, std::to_string(v)); }
  // JSON has no NaN or infinity: they are written as null (text mode shows them).
  JsonWriter& Num(std::string_view key, double v) {
    if (!text_ && !std::isfinite(v)) return Null(key);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return Raw(key, buf);
  }
  const std::string& str() const { return out_; }

 private:
  JsonWriter& Raw(std::string_view key, std::string_view v) {
    Key(key);
    out_ += v;
    if (text_) out_ += '\n';
    return *this;
  }
  JsonWriter& Open(std::string_view key, char c) {
    if (text_) {
      if (depth_ > 0) prefix_ += std::string(key) + ".";
    } else {
      if (depth_ > 0) Key(key);
      out_ += c;
    }
    first_ = true;
    ++depth_;
    return *this;
  }
  JsonWriter& Close(char c) {
    --depth_;
    if (text_) {
      if (!prefix_.empty()) prefix_.erase(prefix_.find_last_of('.', prefix_.size() - 2) == std::string::npos
                                              ? 0
                                              : prefix_.find_last_of('.', prefix_.size() - 2) + 1);
    } else {
      out_ += c;
    }
    first_ = false;
    return *this;
  }
  void Key(std::string_view key) {
    if (text_) {
      out_ += prefix_;
      out_ += key;
      out_ += ": ";
      return;
    }
    if (!first_) out_ += ", ";
    first_ = false;
    Quote(key);
    out_ += ": ";
  }
  void Quote(std::string_view s) {
    out_ += '"';
    for (const char ch : s) {
      const auto c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out_ += buf;
          } else {
            out_ += ch;
          }
      }
    }
    out_ += '"';
  }

  bool text_ = false;
  std::string prefix_;
  std::string out_;
  bool first_ = true;
  int depth_ = 0;
};

}  // namespace zumen
