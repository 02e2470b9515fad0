#pragma once
// TJwkData: one symbol file of the older Jw_cad format (".jwk"). Its
// coordinates are symbol units: every one is divided by the header's scale
// when drawn or measured.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "attributes/graattribute.h"
#include "common/box.h"
#include "common/bytes.h"
#include "formats/jwc/records.h"

namespace zumen {



class TJwkData {
 public:
  TJwkData() { DataInit(); }

  // Empties the entity arrays and rebuilds the text types from the built-in table.
  void DataInit();
  // As DataInit, and the text types are emptied too.
  void DataFree();

  static bool FileCheck(const std::string& FName);
  static bool FileCheck(std::span<const uint8_t> data);

  bool FileHeaderIn(const std::string& FName);
  bool HeaderIn(ByteReader& rd);

  // Reads a whole symbol from a file or from memory; on false the model keeps
  // what was read and ErrorMessage says why.
  bool FileIn(const std::string& FName);
  bool FileIn(std::span<const uint8_t> data);

  // Every layer in state 1 with the symbol's scale.
  void SetGAttLayer(TgraAttribute& att) const;
  // The box from the origin over the symbol, in drawing units.
  ExtentBox GetMinMaxZahyo() const;


  // Records read (the header counts are what the file announced).
  int32_t lineN = 0, arcN = 0, tenN = 0, mojiN = 0;
  TEntJwkHeader Enthd;
  std::vector<TEntJwcMojiType> EntMjtp;
  std::vector<TEntJwcLine> EntLine;
  std::vector<TEntJwcArc2> EntArc;
  std::vector<TEntJwcTen> EntTen;
  std::vector<TEntJwcMoji2> EntMoji;

  std::string ErrorMessage;

  // The part after the header (FileIn runs HeaderIn, then BodyIn).
  bool BodyIn(ByteReader& rd);
};

}  // namespace zumen
