#include "attributes/graattribute.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace zumen {

uint32_t MakeColor(int32_t r, int32_t g, int32_t b) {
  // Unsigned arithmetic wraps at 32 bits, as the colour sum must.
  return 0xFF000000u + static_cast<uint32_t>(r) * 65536u + static_cast<uint32_t>(g) * 256u +
         static_cast<uint32_t>(b);
}

uint32_t RefToColor(int32_t c) {
  // Truncating division, remainder with the sign of c (C++ semantics).
  return MakeColor(c % 256, (c / 256) % 256, (c / 65536) % 256);
}

namespace {

char16_t HexDigit(int v) { return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + v - 10); }

std::u16string GroupPrefix(int n) { return std::u16string(u"[") + HexDigit(n / 16) + u"] "; }
std::u16string LayerPrefix(int n) { return std::u16string(u"(") + HexDigit(n % 16) + u") "; }

// Default pen colours of pens 0-24 on a white and on a black background.
constexpr uint32_t kDefaultColors[25][2] = {
    {0xFF00C0C0, 0xFF00FFFF}, {0xFF000000, 0xFFFFFFFF}, {0xFF00C000, 0xFF00FF00},
    {0xFFC0C000, 0xFFFFFF00}, {0xFFC000C0, 0xFFC000C0}, {0xFF0000FF, 0xFF2020FF},
    {0xFF008080, 0xFF008080}, {0xFFFF0080, 0xFFA00000}, {0xFFFF80FF, 0xFFC08080},
    {0xFF000000, 0xFFFFFFFF}, {0xFFFF0000, 0xFFFF0000}, {0xFF00FF00, 0xFF00FF00},
    {0xFF0000FF, 0xFF0000FF}, {0xFFFFFF00, 0xFFFFFF00}, {0xFFFF00FF, 0xFFFF00FF},
    {0xFF00FFFF, 0xFF00FFFF}, {0xFF000000, 0xFFFFFFFF}, {0xFFC00080, 0xFFC00080},
    {0xFFC08040, 0xFFC08040}, {0xFFFF8000, 0xFFFF8000}, {0xFF80C080, 0xFF80C080},
    {0xFF0080FF, 0xFF0080FF}, {0xFF8040FF, 0xFF8040FF}, {0xFFC0C0C0, 0xFFC0C0C0},
    {0xFF808080, 0xFF808080},
};

constexpr double kDefaultWidths[9] = {0.1, 0.15, 0.2, 0.25, 0.3, 0.35, 0.4, 0.5, 0.01};
constexpr double kDefaultTenR[9] = {0.2, 0.3, 0.4, 0.5, 0.5, 0.5, 0.5, 0.5, 0.2};

// The wave of the random (zigzag) line types: digit 2 draws, digit 0 skips.
constexpr const char kWave[] = "22002200202200202022002200202020";

void SetPattern(TjwvLtype& t, std::initializer_list<double> elems, double factor) {
  t.seg = static_cast<int32_t>(elems.size());
  int i = 0;
  for (double e : elems) t.pa[i++] = e * factor;
}

void SetWave(TjwvLtype& t, double amp, double factor) {
  t.seg = 32;
  t.amp = amp;
  for (int i = 0; i < 32; ++i) t.pa[i] = (kWave[i] - '0' - 1) * factor;
}

}  // namespace

TgraAttribute::TgraAttribute() { Create(); }

void TgraAttribute::Create() {
  jwvLay.assign(kLayerCount, {});
  jwvLayN = kLayerCount;
  jwvCol.assign(kPenCount, {});
  jwvColN = kPenCount;
  jwvTyp.assign(kLtypeCount, {});
  jwvTypN = kLtypeCount;
  DataInit();
}

void TgraAttribute::DataInit() {
  DispMode = false;
  PrintMode = false;
  Sikii0 = Sikii1 = Sikii2 = -1;
  BkColor = 0;
  BackColor = 0xFFFFFFFF;
  ForeColor = 0xFF000000;
  GrayColor = 0xFF808080;
  DispHojo = false;
  DispKijun = false;
  All1ColorFlag = false;
  All1Color = 0xFFFFFFFF;
  SetDefaultLayer();
  SetDefaultColor();
  SetDefaultWidth();
  SetDefaultTenR();
  SetDefaultLtype();
}

void TgraAttribute::Destroy() {
  jwvLay.clear();
  jwvLayN = 0;
  jwvCol.clear();
  jwvColN = 0;
  jwvTyp.clear();
  jwvTypN = 0;
}

int TgraAttribute::ColIndex(int jn) {
  if (jn >= 1 && jn <= 9) return jn - 1;
  if (jn >= 101 && jn <= 356) return jn - 92;
  return -1;
}

int TgraAttribute::TypIndex(int jn) {
  if (jn >= 1 && jn <= 9) return jn - 1;
  if (jn >= 11 && jn <= 19) return jn - 2;
  if (jn >= 31 && jn <= 62) return jn - 13;
  return -1;
}

void TgraAttribute::SetBackColor(int n) {
  if (n == 0) {
    BkColor = 0;
    BackColor = 0xFFFFFFFF;
    ForeColor = 0xFF000000;
  } else if (n == 1) {
    BkColor = 1;
    BackColor = 0xFF000000;
    ForeColor = 0xFFFFFFFF;
  }
}

// ---- Layers ---------------------------------------------------------------

void TgraAttribute::SetDefaultLayer() {
  for (int n = 0; n < jwvLayN; ++n) {
    TjwvLayer& l = jwvLay[n];
    l.sta = 1;
    l.sca = 1.0;
    l.gna = GroupPrefix(n);
    l.nam = LayerPrefix(n);
  }
}

void TgraAttribute::SetAttrLayer(int n, int32_t st, double sc, const std::u16string& glayname,
                                 const std::u16string& layname) {
  if (n < 0 || n >= jwvLayN) return;
  SetAttrLayer(n, st, sc);
  jwvLay[n].gna = GroupPrefix(n) + glayname;
  jwvLay[n].nam = LayerPrefix(n) + layname;
}

void TgraAttribute::SetAttrLayer(int n, int32_t st, double sc) {
  if (n < 0 || n >= jwvLayN) return;
  jwvLay[n].sta = (st >= 1 && st <= 3) ? st : 1;
  // "not > 0" also turns a NaN scale into 1.
  jwvLay[n].sca = (sc > 0) ? sc : 1.0;
}

int32_t TgraAttribute::GetAttrLayerState(int n) const {
  if (n < 0 || n >= jwvLayN) return 1;
  return jwvLay[n].sta;
}

// ---- Pens -----------------------------------------------------------------

void TgraAttribute::SetDefaultColor() {
  for (TjwvColor& c : jwvCol) c.color = ForeColor;
  if (BkColor != 0 && BkColor != 1) return;
  const int count = std::min(jwvColN, 25);
  for (int i = 0; i < count; ++i) jwvCol[i].color = kDefaultColors[i][BkColor];
}

void TgraAttribute::SetDefaultWidth() {
  for (TjwvColor& c : jwvCol) c.width = 0.18;
  for (int i = 0; i < std::min(jwvColN, 9); ++i) jwvCol[i].width = kDefaultWidths[i];
}

void TgraAttribute::SetDefaultTenR() {
  for (TjwvColor& c : jwvCol) c.ten_r = 0.2;
  for (int i = 0; i < std::min(jwvColN, 9); ++i) jwvCol[i].ten_r = kDefaultTenR[i];
}

void TgraAttribute::SetAttrCol(int jn, uint32_t col, double wid, double ten) {
  const int i = ColIndex(jn);
  if (i < 0 || i >= jwvColN) return;
  jwvCol[i] = {col, wid, ten};
}

uint32_t TgraAttribute::GetAttrColcol(int jn) const {
  const int i = ColIndex(jn);
  return (i < 0 || i >= jwvColN) ? BackColor : jwvCol[i].color;
}

double TgraAttribute::GetAttrColwid(int jn) const {
  const int i = ColIndex(jn);
  return (i < 0 || i >= jwvColN) ? 0.0 : jwvCol[i].width;
}

double TgraAttribute::GetAttrColten(int jn) const {
  const int i = ColIndex(jn);
  return (i < 0 || i >= jwvColN) ? 0.1 : jwvCol[i].ten_r;
}

// ---- Line types -----------------------------------------------------------

void TgraAttribute::SetDefaultLtype() {
  for (TjwvLtype& t : jwvTyp) t = TjwvLtype{};
  if (jwvTypN < kLtypeCount) return;
  auto& t = jwvTyp;
  const double k = 0.36;
  SetPattern(t[1], {1, -2, 1}, k);
  SetPattern(t[2], {2, -4, 2}, k);
  SetPattern(t[3], {3, -2, 3}, k);
  SetPattern(t[4], {5, -2, 2, -2, 5}, k);
  SetPattern(t[5], {13, -2, 2, -2, 13}, k);
  SetPattern(t[6], {4, -2, 1, -2, 1, -2, 4}, k);
  SetPattern(t[7], {12, -2, 1, -2, 1, -2, 12}, k);
  SetPattern(t[8], {0.5, -3, 0.5}, k);
  SetWave(t[9], 0.3, 0.6);
  SetWave(t[10], 0.3, 1.2);
  SetWave(t[11], 0.6, 1.8);
  SetWave(t[12], 0.6, 2.4);
  SetWave(t[13], 0.6, 3.0);
  SetPattern(t[14], {8.4, -1.2, 1.6, -1.2, 8.4}, 1);
  SetPattern(t[15], {10.6, -1.6, 1.2, -1.6, 1.2, -1.6, 10.6}, 1);
  SetPattern(t[16], {13.6, -1.6, 13.6}, 1);
  SetPattern(t[17], {22, -3, 22}, 1);
  SetPattern(t[19], {6, -1.5}, 1);
  SetPattern(t[20], {6, -6}, 1);
  SetPattern(t[21], {12, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[22], {12, -1.5, 0.25, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[23], {12, -1.5, 0.25, -1.5, 0.25, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[24], {0.25, -1.5}, 1);
  SetPattern(t[25], {12, -1.5, 3.5, -1.5}, 1);
  SetPattern(t[26], {12, -1.5, 3.5, -1.5, 3.5, -1.5}, 1);
  SetPattern(t[27], {6, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[28], {6, -1.5, 6, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[29], {6, -1.5, 0.25, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[30], {6, -1.5, 6, -1.5, 0.25, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[31], {6, -1.5, 0.25, -1.5, 0.25, -1.5, 0.25, -1.5}, 1);
  SetPattern(t[32], {6, -1.5, 6, -1.5, 0.25, -1.5, 0.25, -1.5, 0.25, -1.5}, 1);
  for (int n = 0; n < jwvTypN; ++n) SetAttrTypPit_(n);
}

void TgraAttribute::SetAttrTypseg_(int n, int32_t sn) {
  if (n < 0 || n >= jwvTypN) return;
  // The pattern holds 32 elements: a count outside 0..32 would reach past it.
  jwvTyp[n].seg = std::clamp<int32_t>(sn, 0, TjwvLtype::kMaxSeg);
}

void TgraAttribute::SetAttrTypamp_(int n, double am) {
  if (n < 0 || n >= jwvTypN) return;
  jwvTyp[n].amp = am;
}

void TgraAttribute::SetAttrTyppa1_(int n, int pn, double pa) {
  if (n < 0 || n >= jwvTypN) return;
  if (pn < 0 || pn >= jwvTyp[n].seg) return;
  jwvTyp[n].pa[pn] = pa;
}

void TgraAttribute::SetAttrTypPit_(int n) {
  if (n < 0 || n >= jwvTypN) return;
  TjwvLtype& t = jwvTyp[n];
  double sum = 0;
  for (int i = 0; i < t.seg; ++i) sum += std::fabs(t.pa[i]);
  t.pit = sum;
}

int32_t TgraAttribute::GetAttrTypseg(int jn) const {
  const int i = TypIndex(jn);
  return (i < 0 || i >= jwvTypN) ? 0 : jwvTyp[i].seg;
}

double TgraAttribute::GetAttrTypamp(int jn) const {
  const int i = TypIndex(jn);
  return (i < 0 || i >= jwvTypN) ? 0.0 : jwvTyp[i].amp;
}

int32_t TgraAttribute::GetAttrTyppat(int jn, double* pat) const {
  const int i = TypIndex(jn);
  if (i < 0 || i >= jwvTypN) return 0;
  const TjwvLtype& t = jwvTyp[i];
  std::copy(t.pa.begin(), t.pa.begin() + t.seg, pat);
  return t.seg;
}

double TgraAttribute::GetAttrTyppit(int jn) const {
  const int i = TypIndex(jn);
  return (i < 0 || i >= jwvTypN) ? 0.0 : jwvTyp[i].pit;
}

void DefaultFileColorSet(TgraAttribute& att) {
  att.SetBackColor(att.GetBackColorNo());
  att.SetDefaultColor();
  att.SetDefaultWidth();
  att.SetDefaultTenR();
}

void DefaultFileLtypeSet(TgraAttribute& att) { att.SetDefaultLtype(); }

}  // namespace zumen
