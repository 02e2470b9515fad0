#pragma once
// Records of the older Jw_cad formats: JWC drawings and JWK symbols share the
// entity records, the text-type table and the arc encoding.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zumen {

// A line: coordinates in drawing units (file units times the drawing's unit).
struct TEntJwcLine {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint8_t typ = 0;  // line type number
  uint8_t col = 0;  // pen colour number
  uint8_t lay = 0;  // layer index 0..255 (group * 16 + layer)
  uint8_t flg1 = 0, flg2 = 0, flg3 = 0;
};

// An arc of a tilted ellipse; a circle has flatness 1.
struct TEntJwcArc2 {
  float x = 0, y = 0;  // centre
  float r = 0;         // radius along the major axis
  float h = 0;         // flatness: minor radius / r
  float st = 0, et = 0;  // start and end angle, degrees
  float tt = 0;          // tilt of the major axis, degrees
  uint8_t typ = 0, col = 0, lay = 0, flg1 = 0, flg2 = 0, flg3 = 0;
};

// A text placed along the line (x1, y1)-(x2, y2).
struct TEntJwcMoji2 {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t p = 0;   // position of the text in the file's string area
  uint8_t no = 0;  // text type, index into the text-type table
  uint8_t lay = 0;
  uint8_t flg1 = 0;  // bit 0x20: vertical writing
  uint8_t flg2 = 0;
  std::u16string s;
};

// A point.
struct TEntJwcTen {
  float x = 0, y = 0;
  uint8_t lay = 0, col = 0, flg1 = 0, flg2 = 0;
};

// A virtual (construction) point.
struct TEntJwcVten {
  float x = 0, y = 0;
  uint8_t lay = 0;
};

// A text type; sizes in tenths of a millimetre.
struct TEntJwcMojiType {
  uint16_t penNo = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t dist = 0;  // spacing between characters
};

struct TEntJwcLayerGroup {
  float scale = 0;  // scale denominator: 100 for 1:100
  uint8_t srchF = 0, dispF = 0, w_lay = 0;
  std::u16string name;
};

struct TEntJwcLayer {
  uint8_t srchF = 0, dispF = 0;
  std::u16string name;
};

// One row of the built-in text types 1..10 (sizes in millimetres).
struct JwcMojiTypeRow {
  int penNo;
  double width, height, dist;
};

// The built-in text types 1 to 10 (row i is type i + 1).
inline constexpr std::array<JwcMojiTypeRow, 10> JwcDefaultMojiType{{
    {1, 2.0, 2.0, 0.0},
    {1, 2.5, 2.5, 0.5},
    {2, 3.0, 3.0, 0.5},
    {2, 4.0, 4.0, 0.5},
    {3, 5.0, 5.0, 1.0},
    {3, 6.0, 6.0, 1.0},
    {4, 7.0, 7.0, 1.0},
    {4, 8.0, 8.0, 1.0},
    {5, 9.0, 9.0, 1.0},
    {5, 10.0, 10.0, 1.0},
}};

// Number of text types a drawing holds (types 0..11).
inline constexpr int kJwcMojiTypeCount = 12;

// The header of a JWC drawing: the identification, the comments and the
// values of the three comma-separated parameter blocks.
struct TEntJwcHeader {
  std::u16string jwID, comment1, comment2;
  bool scaleF = true;  // group scales stored as binary32 (else 16-bit integers)
  // Parameter block 1.
  int32_t lineCount = 0, arcCount = 0, mojiCount = 0, tenCount = 0, vtenCount = 0;
  int32_t curFno = 1, curMfno = 1, curMlcol = 1, curMpcol = 1;
  float wLayScale = 1;
  int32_t wLayNo = 0;
  int32_t psize = 3;  // paper code
  int32_t lcol = 2, ltyp = 1;
  float plotOrgX = 0, plotOrgY = 0;
  float lpitch1 = 5, lpitch2 = 10;
  int32_t drawtime = 0;
  std::array<int32_t, 6> penWidth{};
  float gridX = 5, gridY = 5, gridOrgX = 0, gridOrgY = 0, gridScale = 0;
  int32_t drawWidth = 518;  // paper long side in file units
  int32_t flgPthin = 0;
  // Parameter block 2.
  float mvDist = 0, mtDist = 0, arLen = 3, arAng = 15;
  int32_t locMR = 0, flgMconma = 0, flgMzeros = 0, typLside = 0, mvUnit = 0, mvKeta = 1;
  float sOfsetXL = 0, sOfsetXM = 0, sOfsetXR = 0, sOfsetYD = 0, sOfsetYM = 0, sOfsetYT = 0;
  int32_t s1len = 0, sOrgXm = 0, sOrgYm = 0;
  float dlinDistB = 100;
  std::array<float, 5> dlinDist{100, 100, 100, 100, 100};
  float svScrnOX = 0, svScrnOY = 0, svScrnScl = 1;
  // Parameter block 3.
  int32_t sBufAdr1 = 393216, sBufAdr2 = 393216;  // string area, segment * 16 + offset
  float subZm0X = 0, subZm0Y = 0, subZm0S = 0;
  float subZm1X = 0, subZm1Y = 0, subZm1S = 0;
  float subZm2X = 0, subZm2Y = 0, subZm2S = 0;
  float subZm3X = 0, subZm3Y = 0, subZm3S = 0;
  float subZm4X = 0, subZm4Y = 0, subZm4S = 0;
  float hiIdo = 0, hiHi = 0, hiTaka = 0;
  int32_t flgHok = 0, flg25Dm = 0;
  // The values of the parameter block parsed last.
  std::vector<std::u16string> para;
  float dataUnit = 1;  // file units to drawing millimetres
};

// The header of a JWK symbol.
struct TEntJwkHeader {
  std::u16string jwID, comment1, comment2;
  int32_t lineCount = 0, arcCount = 0, tenCount = 0, mojiCount = 0;
  float org_x = 0, org_y = 0, dispScale = 1;
  int32_t strSpace = 0;  // size of the string area in bytes
  float scale = 1;       // symbol units per drawing unit
  std::vector<std::u16string> para;
};

}  // namespace zumen
