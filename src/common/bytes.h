#pragma once
// Little-endian reading of a byte buffer that never reads past its end.
// A read that would pass the end fails, leaves the position where it was and
// sets the failure flag, so a reader can stop at the first short read.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace zumen {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  size_t size() const { return data_.size(); }
  size_t pos() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }
  bool failed() const { return failed_; }
  bool at_end() const { return pos_ >= data_.size(); }

  // Moves to an absolute position; false (and failed) when it is past the end.
  bool seek(size_t p) {
    if (p > data_.size()) return fail();
    pos_ = p;
    return true;
  }
  bool skip(size_t n) {
    if (n > remaining()) return fail();
    pos_ += n;
    return true;
  }

  bool u8(uint8_t& v) { return get(v); }
  bool i8(int8_t& v) { return get(v); }
  bool u16(uint16_t& v) { return get(v); }
  bool i16(int16_t& v) { return get(v); }
  bool u32(uint32_t& v) { return get(v); }
  bool i32(int32_t& v) { return get(v); }
  bool f32(float& v) { return get(v); }
  bool f64(double& v) { return get(v); }

  // Copies n bytes; fails without reading anything when fewer remain.
  bool bytes(size_t n, std::vector<uint8_t>& out) {
    if (n > remaining()) return fail();
    out.assign(data_.begin() + static_cast<std::ptrdiff_t>(pos_),
               data_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return true;
  }
  bool bytes(size_t n, std::string& out) {
    if (n > remaining()) return fail();
    out.assign(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return true;
  }
  // A view of the next n bytes, consumed.
  bool view(size_t n, std::span<const uint8_t>& out) {
    if (n > remaining()) return fail();
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  template <typename T>
  bool get(T& v) {
    if (sizeof(T) > remaining()) return fail();
    std::memcpy(&v, data_.data() + pos_, sizeof(T));  // host is little-endian
    pos_ += sizeof(T);
    return true;
  }
  bool fail() {
    failed_ = true;
    return false;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

static_assert(std::endian::native == std::endian::little, "zumen reads files on little-endian hosts");

}  // namespace zumen
