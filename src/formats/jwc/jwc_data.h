#pragma once
// TJwcData: one drawing of the older Jw_cad data format (".jwc"): the file
// check, the reader, the layer states, the extents and the drawing pass.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "formats/jwc/extents.h"
#include "attributes/graattribute.h"
#include "common/box.h"
#include "formats/jwc/records.h"

namespace zumen {



class TJwcData {
 public:
  // Number of virtual points stored (entry 0 is never drawn).
  static constexpr int kVtenEntries = 101;
  static constexpr int kGroups = 16;
  static constexpr int kLayers = 256;

  TJwcData() { DataInit(); }

  // Empties every array, zeroes the counters and sets the header defaults.
  void DataInit();
  void DataFree() { DataInit(); }

  // True when the file starts with the JWC identification text.
  static bool FileCheck(const std::string& FName);
  static bool FileCheck(std::span<const uint8_t> data);

  // Reads only the 800-byte header.
  bool FileHeaderIn(const std::string& FName);
  bool HeaderIn(ByteReader& rd);

  // Reads a whole drawing from a file or from memory. On false the model
  // keeps what was read before the failure and ErrorMessage says why.
  bool FileIn(const std::string& FName);
  bool FileIn(std::span<const uint8_t> data);

  // Passes the 256 layer states, scales and names to the attribute model.
  void SetGAttLayer(TgraAttribute& att) const;
  // Restarts box at the drawing's first point and widens it over the
  // drawing; a drawing without entities leaves it as it was.
  void GetMinMaxZahyo(ExtentBox& box) const;
  // What the extents are measured over: every entity and the virtual points drawn.
  JwcExtentInput ExtentInput() const;


  // The virtual points 1..n that the header announces and the file holds.
  int VtenDrawCount() const;

  // Records read; the header counts (Enthd.lineCount ...) are what the file
  // announced and may be larger after a failed read.
  int32_t lineN = 0, arcN = 0, mojiN = 0, tenN = 0;
  TEntJwcHeader Enthd;
  std::vector<TEntJwcVten> EntVten;
  std::vector<TEntJwcMojiType> EntMjtp;
  std::vector<TEntJwcLayerGroup> EntLgrp;
  std::vector<TEntJwcLayer> EntLay;
  std::vector<TEntJwcLine> EntLine;
  std::vector<TEntJwcArc2> EntArc;
  std::vector<TEntJwcMoji2> EntMoji;
  std::vector<TEntJwcTen> EntTen;

  // Why the last read failed ("File Header Error", "File I/O Error", ...).
  std::string ErrorMessage;

  // The part after the header (FileIn runs HeaderIn, then BodyIn).
  bool BodyIn(ByteReader& rd);
};

}  // namespace zumen
