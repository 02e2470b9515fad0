#pragma once
// Writes JWC drawings and JWK symbols for tests. Parameter values are given
// as the texts the files hold; the counts and the string-area addresses
// follow the records unless a test overrides them.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zumen::test {

struct JwcLineRec {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint8_t typ = 1, col = 1, lay = 0, flg1 = 0, flg2 = 0, flg3 = 0;
};

// Angles in 1/65536 degree, flatness in 1/10000.
struct JwcArcRec {
  float x = 0, y = 0, r = 0;
  uint16_t h = 10000;
  int32_t st = 0, et = 0, tt = 0;
  uint8_t typ = 1, col = 1, lay = 0, flg1 = 0, flg2 = 0, flg3 = 0;
};

struct JwcTenRec {
  float x = 0, y = 0;
  uint8_t lay = 0, col = 1, flg1 = 0, flg2 = 0;
};

// A text record: `off` and `seg` are the position fields (JWK uses only `off`).
struct JwcMojiRec {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint16_t off = 0, seg = 0;
  uint8_t no = 1, lay = 0, flg1 = 0, flg2 = 0;
};

// "SSSS:OOOO" for a linear address (segment = address / 16).
std::string JwcAddress(int32_t linear);

struct JwcFile {
  // The 23rd character "f" marks group scales stored as binary32.
  std::string id = "jw_cad(c)data.......  f";
  std::string comment1, comment2;
  // Parameter values by index; unset values of block 1 default to the record
  // counts (0..3), vtenCount (4), psize (11) and drawWidth (30); block 3 to
  // the string-area addresses (0, 1). Everything else is written as "0".
  std::map<int, std::string> p1, p2, p3;
  int vtenCount = 0;
  int psize = 5;  // paper code 5: coordinates used as stored
  int drawWidth = 518;
  int32_t sBufAdr1 = 0x60000;

  std::array<float, 101> vx{}, vy{};
  std::array<uint8_t, 101> vlay{};
  std::array<uint16_t, 11> mjPen{}, mjWidth{}, mjHeight{}, mjDist{};
  std::array<float, 16> groupScale{};  // written as 16-bit integers without the "f"
  std::array<uint8_t, 16> gSrch{}, gDisp{}, gWlay{};
  std::array<uint8_t, 256> lSrch{}, lDisp{};
  std::vector<JwcLineRec> lines;
  std::vector<JwcArcRec> arcs;
  std::vector<JwcMojiRec> mojis;
  std::string strArea;  // bytes of the string area
  std::vector<JwcTenRec> tens;
  std::array<std::string, 256> layerNames{};
  std::array<std::string, 16> groupNames{};

  // Every layer searchable and shown, scales 1, text types 1..10 as built in.
  JwcFile();

  // Appends a text to the string area and a record pointing at it.
  JwcFile& Text(float x1, float y1, float x2, float y2, const std::string& bytes, uint8_t no = 1,
                uint8_t lay = 0, uint8_t flg1 = 0);

  std::vector<uint8_t> Build() const;
};

struct JwkFile {
  std::string id = "jw_cad(c)sym........";
  std::string comment1, comment2;
  // Values 0..3 default to the record counts, 7 to the string-area size.
  std::map<int, std::string> p;
  std::string scale = "1";
  std::vector<JwcLineRec> lines;
  std::vector<JwcArcRec> arcs;
  std::vector<JwcTenRec> tens;
  std::vector<JwcMojiRec> mojis;
  std::string strArea;

  JwkFile& Text(float x1, float y1, float x2, float y2, const std::string& bytes, uint8_t no = 1,
                uint8_t lay = 0, uint8_t flg1 = 0);

  std::vector<uint8_t> Build() const;
};

}  // namespace zumen::test
