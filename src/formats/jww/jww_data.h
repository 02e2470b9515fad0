#pragma once
// TJwwData: one JWW drawing in memory (header, header tables, entity lists,
// block definitions, block tree, embedded images) and its reader.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/jww/records.h"
#include "scene/images.h"

namespace zumen {

class ByteReader;

// Largest drawing file the readers accept.
inline constexpr size_t kJwwMaxFileSize = size_t{1} << 30;
// Largest inflated copy of one stored image.
inline constexpr uint64_t kBindImageMaxInflated = uint64_t{256} << 20;

class TJwwData {
 public:
  TJwwData() { DataInit(); }

  TEntJwwHeader Enthd;
  std::array<TEntJwwLayerGroup, 16> EntLgrp;
  std::array<TEntJwwLayer, 256> EntLay;  // index group * 16 + layer
  std::array<TEntJwwColorNo, 10> EntCol;
  std::array<TEntJwwLineTypeNo, 8> EntLtp1;
  std::array<TEntJwwRandomLineNo, 5> EntLtp2;
  std::array<TEntJwwLineTypeNo, 4> EntLtp3;
  std::array<TEntJwwColorExNo, 257> EntColS;   // version 420 and later
  std::array<TEntJwwLineTypeExNo, 33> EntLtpS;  // version 420 and later
  std::array<TEntJwwMojiType, 10> EntMoj;

  TJwwBody Body;

  // Embedded images: the list, and with BindImageExp the bytes stored for
  // each entry; BindImageExr alone reads the list and skips the bytes.
  bool BindImageExp = false;
  bool BindImageExr = true;
  std::vector<TBindImageType> BindImage;
  size_t BindImageN() const { return BindImage.size(); }
  // Largest inflated copy of one stored image; a larger one is left out.
  uint64_t BindImageMaxInflated = kBindImageMaxInflated;

  // Most members drawn through block instances, summed over the block tree
  // (see TJwwBody::MakeBlockTree); a setting, kept by DataInit.
  int64_t BlockTreeWorkLimit = kJwwBlockTreeWorkLimit;

  // Kept for the export side; reset with the drawing.
  int32_t FileOutOpt = 0;
  std::vector<std::u16string> FontNames;

  // Resets to the empty drawing; the image flags and limits stay.
  void DataInit();
  void DataFree();
  void MakeBlockTree() { Body.MakeBlockTree(BlockTreeWorkLimit); }

  // Signature and version test; the model is not touched.
  static bool FileCheck(const std::string& path);
  static bool FileCheckBytes(std::span<const uint8_t> data);

  // Reads a whole drawing; true when it was read to the end of its last
  // section. On false LastError() tells why and the model keeps what was read.
  bool FileIn(const std::string& path);
  bool FileInBytes(std::span<const uint8_t> data);
  const std::string& LastError() const { return last_error_; }
  // Where the last read stopped (the file size when every section was read
  // and nothing follows).
  size_t BytesRead = 0;

  void BindImageInit() { BindImage.clear(); }
  // The stored images as image texts name them: "%temp%" and the entry's
  // name reduced to a plain file name (BindImageSafeName; entries whose name
  // reduces to nothing are left out) for the stored bytes, and for a
  // gzip-compressed entry also its name without ".gz" for the inflated
  // bytes (none when they would exceed BindImageMaxInflated; a stream that
  // breaks off gives what it inflated). A later entry of the same name
  // replaces an earlier one; inflated copies replace stored ones.
  scene::ImageMap EmbeddedImages() const;

 private:
  const char* ReadHeader(ByteReader& r);
  const char* ReadImages(ByteReader& r);

  friend struct JwwReading;
  std::string last_error_;
};

// The last component of a stored image name (after any "/" or "\"), or empty
// text when that is empty, "." or "..".
std::u16string BindImageSafeName(std::u16string_view name);

}  // namespace zumen
