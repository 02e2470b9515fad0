#pragma once
// TJwsData: one JWS symbol in memory (short header, the layer-group scales,
// entity lists, block definitions, block tree) and its reader. The entity
// lists and blocks are those of JWW drawings; a symbol has no images.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/jww/records.h"

namespace zumen {

class ByteReader;

class TJwsData {
 public:
  TJwsData() { DataInit(); }

  TEntJwsHeader Enthd;
  std::array<TEntJwwLayerGroup, 16> EntLgrp;  // only adScale comes from the file
  std::array<TEntJwwMojiType, 10> EntMoj;     // never filled
  TJwwBody Body;

  // Present for symmetry with TJwwData; a symbol never carries images.
  std::string BindImageFolder;
  bool BindImageExp = false;
  bool BindImageExr = false;
  std::vector<TBindImageType> BindImage;
  size_t BindImageN() const { return BindImage.size(); }
  void BindImageInit() { BindImage.clear(); }

  // Most members drawn through block instances, summed over the block tree
  // (see TJwwBody::MakeBlockTree); a setting, kept by DataInit.
  int64_t BlockTreeWorkLimit = kJwwBlockTreeWorkLimit;

  std::vector<std::u16string> FontNames;

  void DataInit();
  void DataFree() { DataInit(); }
  void MakeBlockTree() { Body.MakeBlockTree(BlockTreeWorkLimit); }

  static bool FileCheck(const std::string& path);
  static bool FileCheckBytes(std::span<const uint8_t> data);

  bool FileIn(const std::string& path);
  bool FileInBytes(std::span<const uint8_t> data);
  const std::string& LastError() const { return last_error_; }
  // Where the last read stopped (the file size when every section was read
  // and nothing follows).
  size_t BytesRead = 0;

 private:
  const char* ReadHeader(ByteReader& r);

  friend struct JwwReading;
  std::string last_error_;
};

}  // namespace zumen
