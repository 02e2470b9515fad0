#pragma once
// The file pieces that JWC drawings and JWK symbols share: fixed-size blocks
// read the way the formats were written (a short block is padded with zeros,
// an empty one is an error), the comma-separated parameter blocks, the
// segment:offset addresses, the entity records and the string area.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/files.h"
#include "formats/jwc/records.h"

namespace zumen {

// Largest drawing file read (far above any real JWC or JWK file).
inline constexpr size_t kJwcMaxFileSize = size_t{1} << 30;

// Reads the first n bytes of a file (fewer when it is shorter). False when it
// is not a regular file or cannot be opened.
bool JwcReadPrefix(const std::string& path, size_t n, std::vector<uint8_t>& out);

// Little-endian values at a byte offset of a decoded block.
float JwcF32(std::span<const uint8_t> b, size_t at);
uint16_t JwcU16(std::span<const uint8_t> b, size_t at);

// Fills out with the next bytes, as many as remain up to out.size(), and the
// rest with zeros. Answers the number of bytes read (0 at the end).
size_t JwcReadBlock(ByteReader& rd, std::span<uint8_t> out);

// Decodes bytes from code page 932 up to the first NUL.
std::u16string JwcDecode(std::span<const uint8_t> b);

// As JwcDecode, then without characters below U+0020 (texts and names).
std::u16string JwcDecodeText(std::span<const uint8_t> b);

// True when the first 20 bytes decode to id exactly.
bool JwcCheckId(std::span<const uint8_t> data, std::u16string_view id);

// Splits a 200-byte parameter block at its commas into n values, each cut at
// its first NUL and decoded; missing values read "0", extra ones are ignored.
std::vector<std::u16string> JwcSplitParams(std::span<const uint8_t> block, size_t n);

// Reads a real parameter as binary32 (0 when not a number; values beyond the
// binary32 range become infinite).
float JwcParamFloat(const std::u16string& v);
int32_t JwcParamInt(const std::u16string& v);

// A string-area address written "SSSS:OOOO" (four hexadecimal digits of
// segment and offset around one separator): segment * 16 + offset.
int32_t JwcParamAddress(const std::u16string& v);

// File units to millimetres for a JWC paper code and drawing width.
float JwcDataUnit(int32_t psize, int32_t drawWidth);

// Record sizes in the files.
inline constexpr size_t kJwcLineSize = 22;
inline constexpr size_t kJwcArcSize = 32;
inline constexpr size_t kJwcMojiSize = 24;
inline constexpr size_t kJwcTenSize = 12;

// Decoders of one file record (the span holds at least the record size);
// coordinates are multiplied by unit.
TEntJwcLine JwcDecodeLine(std::span<const uint8_t> b, float unit);
TEntJwcArc2 JwcDecodeArc(std::span<const uint8_t> b, float unit);
TEntJwcTen JwcDecodeTen(std::span<const uint8_t> b, float unit);
// The text position field is the 16-bit offset at 16 and, when segmented,
// the 16-bit segment at 18 (p = segment * 16 + offset).
TEntJwcMoji2 JwcDecodeMoji(std::span<const uint8_t> b, float unit, bool segmented);

// Reads up to count records of the given size from rd and hands each to add.
// Stops with false at the first read that returns nothing; a short last record
// is padded with zeros and kept. Never reserves more than the bytes left allow.
template <typename T, typename Decode>
bool JwcReadRecords(ByteReader& rd, int32_t count, size_t size, std::vector<T>& out,
                    int32_t& n, Decode decode) {
  if (count <= 0) return true;
  const size_t fit = rd.remaining() / size + 1;
  out.reserve(std::min(static_cast<size_t>(count), fit));
  std::array<uint8_t, 32> buf{};
  const std::span<uint8_t> rec(buf.data(), size);
  for (int32_t i = 0; i < count; ++i) {
    if (JwcReadBlock(rd, rec) == 0) return false;
    out.push_back(decode(std::span<const uint8_t>(rec)));
    ++n;
  }
  return true;
}

// The string area as read: its bytes followed by one NUL.
class JwcStringArea {
 public:
  // Reads up to n bytes (fewer when the data ends). False when none remain.
  bool Read(ByteReader& rd, size_t n);
  // The text starting at offset, up to the next NUL; empty when the offset
  // lies outside the bytes read.
  std::u16string TextAt(int64_t offset) const;
  size_t size() const { return buf_.empty() ? 0 : buf_.size() - 1; }

 private:
  std::vector<uint8_t> buf_;
};

// Reads the first 200-byte block: identification (40 bytes) and the two
// comments (32 bytes each). False when no byte remains.
bool JwcReadIdBlock(ByteReader& rd, std::u16string& jwID, std::u16string& comment1, std::u16string& comment2);

// The reading steps both formats share: d.DataInit, d.HeaderIn, d.BodyIn.
template <typename Data>
bool JwcFileIn(Data& d, std::span<const uint8_t> data) {
  d.DataInit();
  ByteReader rd(data);
  if (!d.HeaderIn(rd)) return false;
  if (!d.BodyIn(rd)) {
    if (d.ErrorMessage.empty()) d.ErrorMessage = "File I/O Error";
    return false;
  }
  return true;
}

template <typename Data>
bool JwcFileIn(Data& d, const std::string& FName) {
  std::vector<uint8_t> data;
  if (!ReadFileBytes(FName, kJwcMaxFileSize, data)) {
    d.DataInit();
    d.ErrorMessage = "File I/O Error";
    return false;
  }
  return JwcFileIn(d, std::span<const uint8_t>(data));
}

// Reads only the header, the first headerSize bytes of the file.
template <typename Data>
bool JwcFileHeaderIn(Data& d, const std::string& FName, size_t headerSize) {
  d.DataInit();
  std::vector<uint8_t> data;
  if (!JwcReadPrefix(FName, headerSize, data)) {
    d.ErrorMessage = "File I/O Error";
    return false;
  }
  ByteReader rd(data);
  return d.HeaderIn(rd);
}

}  // namespace zumen
