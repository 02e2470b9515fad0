#pragma once
// The attribute model of the Jw-family drawings: layer states, pens (colour,
// line width, point radius), line types (dash patterns), background and
// foreground colours and the display switches. Drawings name pens and line
// types by their own numbers (`jn`); the model keeps dense tables and maps
// those numbers to table indices. Operations ending in "_" take the index.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zumen {

struct TjwvLayer {
  int32_t sta = 1;     // layer state: 1 normal, 2 display only (gray), 3 hidden
  double sca = 1.0;    // layer scale, always > 0
  std::u16string gna;  // display name of the layer's group
  std::u16string nam;  // display name of the layer
};

struct TjwvColor {
  uint32_t color = 0xFF000000;  // ARGB
  double width = 0.18;          // line width in mm
  double ten_r = 0.2;           // point radius in mm
};

struct TjwvLtype {
  static constexpr int kMaxSeg = 32;
  int32_t seg = 0;                  // number of pattern elements, 0 = solid
  double amp = 0;                   // amplitude of the wavy line types
  std::array<double, kMaxSeg> pa{};  // > 0 drawn length, < 0 gap length
  double pit = 0;                   // period: sum of |pa[0..seg-1]|
};

// 0xFF000000 + r * 65536 + g * 256 + b, wrapping at 32 bits.
uint32_t MakeColor(int32_t r, int32_t g, int32_t b);
// A colour stored in a file as 0x00BBGGRR (red in the low byte) to ARGB.
uint32_t RefToColor(int32_t c);

class TgraAttribute {
 public:
  static constexpr int kLayerCount = 256;
  static constexpr int kPenCount = 265;
  static constexpr int kLtypeCount = 50;

  // Sizes the tables and sets every default (what `Create` does).
  TgraAttribute();
  void Create();
  void DataInit();
  void Destroy();

  // Table index of a Jw pen number / line-type number, or -1 for none.
  static int ColIndex(int jn);
  static int TypIndex(int jn);

  void SetDisplayMode(bool m) { DispMode = m; }
  bool GetDisplayMode() const { return DispMode; }
  void SetBackColor(int n);
  int32_t GetBackColorNo() const { return BkColor; }
  uint32_t GetBackColor() const { return BackColor; }
  uint32_t GetForeColor() const { return ForeColor; }
  void SetGrayColor(uint32_t n) { GrayColor = n; }
  uint32_t GetGrayColor() const { return GrayColor; }
  void SetDispHojo(int n) { DispHojo = n != 0; }
  bool GetDispHojo() const { return DispHojo; }
  void SetDispKijun(int n) { DispKijun = n != 0; }
  bool GetDispKijun() const { return DispKijun; }
  void SetAll1Color(bool f) { All1ColorFlag = f; }
  // The one-colour mode and its colour at once.
  void SetAll1Color(bool f, uint32_t c) {
    All1ColorFlag = f;
    All1Color = c;
  }
  bool GetAll1ColorState() const { return All1ColorFlag; }
  uint32_t GetAll1Color() const { return All1Color; }

  // Layers (n = layer number 0..255; setters ignore other n).
  void SetDefaultLayer();
  void SetAttrLayer(int n, int32_t st, double sc, const std::u16string& glayname,
                    const std::u16string& layname);
  void SetAttrLayer(int n, int32_t st, double sc);
  int32_t GetAttrLayerState(int n) const;

  // Pens.
  void SetDefaultColor();
  void SetDefaultWidth();
  void SetDefaultTenR();
  void SetAttrCol(int jn, uint32_t col, double wid, double ten);
  uint32_t GetAttrColcol(int jn) const;
  double GetAttrColwid(int jn) const;
  double GetAttrColten(int jn) const;

  // Line types.
  void SetDefaultLtype();
  void SetAttrTypseg_(int n, int32_t sn);
  void SetAttrTypamp_(int n, double am);
  void SetAttrTyppa1_(int n, int pn, double pa);
  void SetAttrTypPit_(int n);
  int32_t GetAttrTypseg(int jn) const;
  double GetAttrTypamp(int jn) const;
  // Copies the first `seg` elements into pat (room for 32) and answers `seg`.
  int32_t GetAttrTyppat(int jn, double* pat) const;
  double GetAttrTyppit(int jn) const;

  bool DispMode = false;
  bool PrintMode = false;
  int32_t Sikii0 = -1, Sikii1 = -1, Sikii2 = -1;
  int32_t BkColor = 0;
  uint32_t BackColor = 0xFFFFFFFF;
  uint32_t ForeColor = 0xFF000000;
  uint32_t GrayColor = 0xFF808080;
  bool DispHojo = false;
  bool DispKijun = false;
  bool All1ColorFlag = false;
  uint32_t All1Color = 0xFFFFFFFF;

  std::vector<TjwvLayer> jwvLay;
  int jwvLayN = 0;
  std::vector<TjwvColor> jwvCol;
  int jwvColN = 0;
  std::vector<TjwvLtype> jwvTyp;
  int jwvTypN = 0;
};

// Drawings that carry no pens of their own (JWS, JWC, JWK) take the defaults.
void DefaultFileColorSet(TgraAttribute& att);
void DefaultFileLtypeSet(TgraAttribute& att);

}  // namespace zumen
