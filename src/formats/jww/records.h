#pragma once
// Records of JWW drawings and JWS symbols: the entity records, block
// definitions, the derived block tree, the header tables and the list of
// embedded images. The entity records mirror the fixed parts of the file
// (field order and widths), but they are ordinary structs: the reader fills
// them field by field, so their in-memory layout is free.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zumen {

// Entity kinds; also the EntType values of TEntJwwNo.
enum JwwKind : int32_t {
  kJwwLine = 1,
  kJwwEnko = 2,
  kJwwTen = 3,
  kJwwMoji = 4,
  kJwwSunpo = 5,
  kJwwSolid = 6,
  kJwwBlock = 7,
};

// Opens every entity record and every block definition (15 bytes in files of
// version 351 and later, 13 bytes without nPenWidth before).
struct TEntJwwAttr {
  uint32_t lGroup = 0;     // group number, carried
  uint8_t nPenStyle = 0;   // line type; 9 auxiliary; points: 100 coded marker;
                           // solids: above 100 arc solid; blocks: bit 0x40 flag
  uint16_t nPenColor = 0;  // pen number; 9 auxiliary; solids: 10 own colour
  uint16_t nPenWidth = 0;  // width in hundredths; 0: the pen's width
  uint16_t nLayer = 0;     // layer within its group, 0..15
  uint16_t nGLayer = 0;    // layer group, 0..15
  uint16_t sFlg = 0;       // flags; texts: 0x20 vertical writing

  // The layer number used throughout: group * 16 + layer.
  int LayerNo() const { return nGLayer * 16 + nLayer; }
  friend bool operator==(const TEntJwwAttr&, const TEntJwwAttr&) = default;
};

struct TEntJwwLine {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
  friend bool operator==(const TEntJwwLine&, const TEntJwwLine&) = default;
};

// Arc, circle or ellipse.
struct TEntJwwEnko {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;  // centre
  double dHankei = 0;               // radius
  double radKaishiKaku = 0;         // start angle
  double radEnkoKaku = 0;           // swept angle
  double radKatamukiKaku = 0;       // tilt
  double dHenpeiRitsu = 0;          // flattening
  uint32_t bZenEnFlg = 0;           // non-zero: whole circle or ellipse
  friend bool operator==(const TEntJwwEnko&, const TEntJwwEnko&) = default;
};

struct TEntJwwTen {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  uint32_t bKariten = 0;     // non-zero: temporary point
  uint32_t nCode = 0;        // marker code (pen style 100 only)
  double radKaitenKaku = 0;  // marker rotation
  double dBairitsu = 0;      // marker scale
  friend bool operator==(const TEntJwwTen&, const TEntJwwTen&) = default;
};

struct TEntJwwMoji {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;  // base line
  uint32_t nMojiShu = 0;                                  // font style code
  double dSizeX = 0, dSizeY = 0;                          // character width, height
  double dKankaku = 0;                                    // character spacing
  double degKakudo = 0;                                   // angle in degrees
  std::u16string strFontName;
  std::u16string str;
  friend bool operator==(const TEntJwwMoji&, const TEntJwwMoji&) = default;
};

// Dimension: line, text, and (version 420 and later) the SXF parts.
struct TEntJwwSunpo {
  TEntJwwAttr att;
  TEntJwwLine Sen;
  TEntJwwMoji Moji;
  uint16_t bSxfMode = 0;
  TEntJwwLine Ho1, Ho2;  // extension lines
  TEntJwwTen Te1, Te2;   // end markers
  TEntJwwTen Kt1, Kt2;   // carried, never drawn
  friend bool operator==(const TEntJwwSunpo&, const TEntJwwSunpo&) = default;
};

// Filled quadrilateral, or (pen style above 100) arc solid whose eight doubles
// are centre x, y, radius, flattening, tilt, start, swept angle and zf.
struct TEntJwwSolid {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
  double DPoint2_x = 0, DPoint2_y = 0, DPoint3_x = 0, DPoint3_y = 0;
  uint32_t Color = 0;  // 0x00BBGGRR, present when att.nPenColor is 10
  friend bool operator==(const TEntJwwSolid&, const TEntJwwSolid&) = default;
};

// Block insertion.
struct TEntJwwBlock {
  TEntJwwAttr att;
  double DPKijunTen_x = 0, DPKijunTen_y = 0;  // insertion point
  double dBairitsuX = 0, dBairitsuY = 0;      // scales
  double radKaitenKaku = 0;                   // rotation
  uint32_t nNumber = 0;                       // number of the definition placed
  friend bool operator==(const TEntJwwBlock&, const TEntJwwBlock&) = default;
};

// One object of a list in file order: its kind and its index in that kind's
// array.
struct TEntJwwNo {
  int32_t EntType = 0;
  int32_t EntNo = 0;
  friend bool operator==(const TEntJwwNo&, const TEntJwwNo&) = default;
};

struct TEntJwwBlockDef {
  TEntJwwAttr att;
  uint32_t nNumber = 0;   // identifies the definition
  uint32_t bRefferd = 0;  // carried
  uint32_t dtime = 0;
  std::u16string strName;
  uint32_t N = 0;  // member count announced by the file
  std::vector<TEntJwwNo> mNo;  // members read, in file order
  std::vector<TEntJwwLine> mLine;
  std::vector<TEntJwwEnko> mEnko;
  std::vector<TEntJwwTen> mTen;
  std::vector<TEntJwwMoji> mMoji;
  std::vector<TEntJwwSunpo> mSunpo;
  std::vector<TEntJwwSolid> mSolid;
  std::vector<TEntJwwBlock> mBlock;
  bool ref_flag = false;  // placed somewhere
  int ref_no = -1;        // ordinal among placed definitions

  size_t mLineN() const { return mLine.size(); }
  size_t mEnkoN() const { return mEnko.size(); }
  size_t mTenN() const { return mTen.size(); }
  size_t mMojiN() const { return mMoji.size(); }
  size_t mSunpoN() const { return mSunpo.size(); }
  size_t mSolidN() const { return mSolid.size(); }
  size_t mBlockN() const { return mBlock.size(); }
};

// One placed block instance. A definition point (u, v) lands at
// (x + r1*u + r2*v, y + r3*u + r4*v). The definition's name is reached
// through defno (see TJwwBody::NodeName) rather than copied into every node,
// so the memory of a deep tree does not multiply long names.
struct TEntJwwBlockTree {
  TEntJwwAttr att;
  int level = 0;    // 0 for insertions of the drawing itself
  int parent = -1;  // index of the parent node, -1 at top level
  uint32_t no = 0;  // the insertion's nNumber
  int defno = -1;   // index into EntBlockDef, -1 when no definition matches
  double x = 0, y = 0, r1 = 1, r2 = 0, r3 = 0, r4 = 1;
};

// An image file stored inside a drawing.
struct TBindImageType {
  std::u16string Fname;  // name as stored in the drawing
  int32_t Fsize = 0;     // byte count of the stored image
  bool exf = false;      // carried
  std::vector<uint8_t> data;  // the stored bytes, when they were kept
};

// Header tables.
struct TEntJwwLayerGroup {
  int32_t anGLay = 0;  // group state
  int32_t anWriteLay = 0;
  double adScale = 0;  // group scale
  int32_t anGLayProtect = 0;
  std::u16string aStrGLayName;
};

struct TEntJwwLayer {
  int32_t aanLay = 0;  // layer state
  int32_t aanLayProtect = 0;
  std::u16string aStrLayName;
};

struct TEntJwwColorNo {
  int32_t aPenColor = 0, anPenWidth = 0, aPrtPenColor = 0, anPrtPenWidth = 0;
  double adPrtTenHankei = 0;
};

struct TEntJwwLineTypeNo {
  int32_t alLType = 0, anTokushuSenUintDot = 0, anTokushuSenPich = 0, anPrtTokushuSenPich = 0;
};

struct TEntJwwRandomLineNo {
  int32_t alLType = 0, anRandSenWide = 0, anTokushuSenPich = 0, anPrtRandSenWide = 0, anPrtTokushuSenPich = 0;
};

struct TEntJwwColorExNo {
  int32_t aPenColor = 0, anPenWidth = 0;
  std::u16string astrUDColorName;
  int32_t aPrtPenColor = 0, anPrtPenWidth = 0;
  double adPrtTenHankei = 0;
};

struct TEntJwwLineTypeExNo {
  int32_t alLType = 0, anTokushuSenUintDot = 0, anTokushuSenPich = 0, anPrtTokushuSenPich = 0;
  std::u16string astrUDLTypeName;
  int32_t anUDLTypeSegment = 0;
  std::array<double, 11> aadUDLTypePitch{};  // indices 1..10
};

struct TEntJwwMojiType {
  double adMojiX = 0, adMojiY = 0, adMojiD = 0;
  int32_t anMojiCol = 0;
};

// The JWW file header. Arrays indexed 1..8 keep an unused element 0.
struct TEntJwwHeader {
  std::u16string jwID;
  int32_t jwVer = 0;
  std::u16string strMemo;
  int32_t nZumen = 0;  // paper size code
  int32_t nWriteGLay = 0;
  int32_t lnSunpou1 = 0, lnSunpou2 = 0, lnSunpou3 = 0, lnSunpou4 = 0, lnSunpou5 = 0;
  int32_t nMaxDrawWid = 0;
  bool bSenHaba100 = false;
  int32_t nMaxDrawWidBak = 0;
  double DPPrtGenten_x = 0, DPPrtGenten_y = 0, dPrtBairitsu = 1;
  int32_t nPrtSet = 0, nMemoriMode = 0;
  double dMemoriHyoujiMin = 1, dMemoriX = 1, dMemoriY = 1, DpMemoriKjTen_x = 0, DpMemoriKjTen_y = 0;
  double dKageLevel = 0, dKageIdo = 0;
  int32_t nKage9_15JiFlg = 0;
  double dKabeKageLevel = 0, dTenkuuZuLevel = 0, dTenkuuZuEnkoR = 0;
  int32_t nMMTani3D = 0;
  double dBairitsu = 1, DPGenten_x = 0, DPGenten_y = 0, dHanniBairitsu = 1, DPHanniGenten_x = 0,
         DPHanniGenten_y = 0;
  std::array<double, 9> dZoomJumpBairitsu{}, DPZoomJumpGenten_x{}, DPZoomJumpGenten_y{};
  std::array<int32_t, 9> nZoomJumpGLay{};
  double dDm11 = 0, dDm12 = 0, dDm13 = 0;
  int32_t lnDm1 = 0;
  double dDm21 = 0, dDm22 = 0, dMojiBG = 0;
  int32_t nMojiBG = 0;
  std::array<double, 10> adFukusenSuuchi{};
  double dRyougawaFukusenTomeDe = 0;
  int32_t nDrawGamenTen = 0, nDrawPrtTen = 0, nBitMapFirstDraw = 0, nGyakuDraw = 0, nGyakuSearch = 0,
          nColorPrint = 0, nLayJunPrint = 0, nColJunPrint = 0, nPrtRenzoku = 0, nPrtKyoutsuuGray = 0,
          nPrtDispOnlyNonDraw = 0, nPrtDpi = 0;
  int32_t lnDrawTime = 0, nEyeInit = 0, dEye_H_Ichi_1 = 0, dEye_H_Ichi_2 = 0, dEye_H_Ichi_3 = 0;
  double dEye_Z_Ichi_1 = 0, dEye_Y_Ichi_1 = 0, dEye_Z_Ichi_2 = 0, dEye_Y_Ichi_2 = 0, dEye_V_Ichi_3 = 0;
  double dSenNagasaSnpou = 0, dBoxSunpouX = 0, dBoxSunpouY = 0, dEnHankeiSnpou = 0;
  int32_t nSolidNinniColor = 0, SolidColor = 0;
  double dMojiSizeX = 0, dMojiSizeY = 0, dMojiKankaku = 0;
  int32_t nMojiColor = 0, nMojiShu = 0;
  double dMojiSeiriGyouKan = 0, dMojiSeiriSuu = 0;
  int32_t nMojiKijunZureOn = 0;
  double adMojiKijunZureX0 = 0, adMojiKijunZureX1 = 0, adMojiKijunZureX2 = 0, adMojiKijunZureY0 = 0,
         adMojiKijunZureY1 = 0, adMojiKijunZureY2 = 0;
  int32_t n1 = 0;  // objects announced for the entity list
  int32_t n2 = 0;  // block definitions announced

  TEntJwwHeader() {
    for (int i = 1; i <= 8; ++i) {
      dZoomJumpBairitsu[i] = 1.0;
      nZoomJumpGLay[i] = -1;
    }
  }
};

// The JWS symbol header.
struct TEntJwsHeader {
  std::u16string jwID;
  int32_t jwVer = 0;
  double BasePoint_x = 0, BasePoint_y = 0;
  int32_t dmy01 = 0, dmy02 = 0, dmy03 = 0, dmy04 = 0, dmy05 = 0, dmy06 = 0;
  double dmy11 = 0, dmy12 = 0, dmy13 = 0, dmy14 = 0, dmy15 = 0, dmy16 = 0;
  double Mx1 = 0, My1 = 0, Mx2 = 0, My2 = 0;
  int32_t n1 = 0;
  int32_t n2 = 0;
};

// Limits of the derived block tree. A definition that places itself, directly
// or through others, would otherwise make the tree grow without end.
inline constexpr int kJwwMaxBlockLevel = 32;
inline constexpr size_t kJwwMaxBlockTreeNodes = size_t{1} << 20;
// Default limit of the block-tree work: the members drawn through block
// instances, summed over the tree (an instance counts every member of its
// definition, nested insertions included). A definition that places itself
// twice reaches a million nodes within the limits above, and every node draws
// its whole definition again. A member costs about 1 to 10 microseconds to
// draw at a few hundred pixels, so the limit keeps such a damaged file of some
// tens of kilobytes to about a second at most, while leaving room for
// drawings that place blocks of a hundred members by the thousand.
inline constexpr int64_t kJwwBlockTreeWorkLimit = 100'000;

// The body shared by JWW drawings and JWS symbols: the entity lists, the
// block definitions and the block tree.
struct TJwwBody {
  std::vector<TEntJwwNo> EntNo;  // objects of the entity list read, in file order
  std::vector<TEntJwwLine> EntLine;
  std::vector<TEntJwwEnko> EntEnko;
  std::vector<TEntJwwTen> EntTen;
  std::vector<TEntJwwMoji> EntMoji;
  std::vector<TEntJwwSunpo> EntSunpo;
  std::vector<TEntJwwSolid> EntSolid;
  std::vector<TEntJwwBlock> EntBlock;
  std::vector<TEntJwwBlockDef> EntBlockDef;
  std::vector<TEntJwwBlockTree> EntBlockTree;
  int EntBlockNum = 0;  // number of placed definitions

  // Objects of the entity list counted while reading (entities read plus
  // objects dropped because they could not be read).
  int64_t ObjectsRead = 0;
  int64_t ObjectsDropped = 0;  // in the entity list and in block definitions
  bool BlockTreeCut = false;   // the tree reached its depth or size limit
  bool BlockWorkCut = false;   // the tree reached the work limit
  // Members drawn through the instances of the tree (the block-tree work).
  int64_t BlockTreeWork = 0;
  // Insertions left out of the tree by its limits: those met at the edge of
  // what was kept (top-level ones and those inside kept instances), not what
  // they would have placed in turn.
  int64_t BlockInstancesCut = 0;

  size_t EntLineN() const { return EntLine.size(); }
  size_t EntEnkoN() const { return EntEnko.size(); }
  size_t EntTenN() const { return EntTen.size(); }
  size_t EntMojiN() const { return EntMoji.size(); }
  size_t EntSunpoN() const { return EntSunpo.size(); }
  size_t EntSolidN() const { return EntSolid.size(); }
  size_t EntBlockN() const { return EntBlock.size(); }
  size_t EntBlockDefN() const { return EntBlockDef.size(); }
  size_t EntBlockTreeN() const { return EntBlockTree.size(); }

  // Entities of one kind (1..7) in the drawing's own lists; 0 for others.
  size_t CountOf(int kind) const;
  // The name of the definition a tree node places; empty when it has none.
  const std::u16string& NodeName(const TEntJwwBlockTree& node) const;

  void Clear();
  // Rebuilds EntBlockTree, ref_flag, ref_no and EntBlockNum. The tree keeps
  // nodes in breadth-first order while its work stays within workLimit; the
  // first node that would pass it ends the tree.
  void MakeBlockTree(int64_t workLimit = kJwwBlockTreeWorkLimit);
};

}  // namespace zumen
