#pragma once
// TK4Data: a K4 drawing in memory, its chunk reader and its drawing pass.
//
// A K4 file is a sequence of chunks (int16 tag, int16 version, int32 payload
// size, then the payload): header chunks first (title, layer table, paper,
// styles, print settings, views), then one chunk per object. The reader keeps
// every object in the array of its kind and lists them in file order in the
// entity index `Ent`, together with the group each one belongs to.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/box.h"
#include "formats/k4/k4types.h"

namespace zumen {

class ByteReader;

class TK4Data {
 public:
  TK4Data();  // runs DataInit

  // Every header record to its defaults, the index and the arrays emptied,
  // the open group closed.
  void DataInit();
  // Releases the stored objects, then DataInit.
  void DataFree();

  // True when the file starts with a title chunk of at most 256 bytes that
  // can be read whole; the title goes to `Title`. Never throws.
  bool FileCheck(const std::filesystem::path& FName);
  // The same test on the file's first bytes (or all of them); the title goes
  // to *title when given.
  static bool FileCheckBytes(std::span<const uint8_t> data, std::u16string* title = nullptr);
  // Reads the header chunks only.
  bool FileHeaderIn(const std::filesystem::path& FName);
  // Reads the whole file into the model (the caller runs DataFree first).
  // What was read before a failure stays.
  bool FileIn(const std::filesystem::path& FName);
  // FileIn of a file image in memory.
  bool MemIn(std::span<const uint8_t> data);

  // Splits an attribute word: layer (bits 12-15), group (8-11), colour number
  // (4-7), line type (0-3).
  static void SepAttr(uint16_t a, uint8_t& lg, uint8_t& ly, uint8_t& col, uint8_t& typ);
  // Whether a group or layer of state 1 greys the objects of layer ly in group lg.
  bool Greyed(uint8_t lg, uint8_t ly) const;
  // The header of the object an index entry names; null for groups and
  // entries that name nothing.
  const TK4ObjectHeader* HeaderOf(const TK4EntNo& e) const;
  // The dash pattern of line type ty in mm, before any widening for the pen
  // (empty: solid). Auxiliary lines have a pattern of their own.
  std::vector<double> BasePattern(uint8_t ty) const;

  // The box around every object as the drawing pass places it, whatever the
  // layer states; false (box untouched) when there is none.
  bool Extents(ExtentBox& box) const;
  // Hands the points of every object the drawing pass shows, auxiliary lines
  // left out, to survey, object by object.
  void SurveyObjects(EntitySurvey& survey) const;

  // Object counts by kind, for reports.
  std::vector<std::pair<const char*, int32_t>> KindCounts() const;

  // The message of the last failure of a reader ("" when none).
  const std::string& LastError() const { return LastError_; }

  // ---- model ----
  int32_t CurGrpId = 0, CurGrpEn = 0, CurGrpN = 0, CurGrpNo = 0;  // the open group while reading
  std::u16string Title;
  TK4LayerInfo li;
  TK4PaperSize psz;
  TK4AxisInfo ai;
  TK4GridInfo gi;
  std::array<TK4TextStyle, 21> txtstl{};
  std::array<TK4DimStyle, 20> dimstl{};
  std::array<uint8_t, 234> dimstlex{};
  TK4SymbolStyle symstl;
  TK4PrintStyle prnstl;
  TK4PrintInfo pri;
  std::array<uint32_t, 272> coltbl{};
  std::array<TK4ViewInfo, 32> viewinfo{};

  int32_t EntN = 0;
  std::vector<TK4EntNo> Ent;

  int32_t ptN = 0;     std::vector<TK4ObjectPoint> pt;
  int32_t lnN = 0;     std::vector<TK4ObjectLine> ln;
  int32_t lnxN = 0;    std::vector<TK4ObjectLineEx> lnx;
  int32_t crN = 0;     std::vector<TK4ObjectCircle> cr;
  int32_t crxN = 0;    std::vector<TK4ObjectCircleEx> crx;
  int32_t epN = 0;     std::vector<TK4ObjectEllipse> ep;
  int32_t epxN = 0;    std::vector<TK4ObjectEllipseEx> epx;
  int32_t txN = 0;     std::vector<TK4ObjectText> tx;
  int32_t txxN = 0;    std::vector<TK4ObjectTextEx> txx;
  int32_t bzN = 0;     std::vector<TK4ObjectBezier> bz;
  int32_t bzxN = 0;    std::vector<TK4ObjectBezierEx> bzx;
  int32_t plN = 0;     std::vector<TK4ObjectBezier> pl;
  int32_t plxN = 0;    std::vector<TK4ObjectPolylineEx> plx;
  int32_t pgN = 0;     std::vector<TK4ObjectPolygon> pg;
  int32_t pggN = 0;    std::vector<TK4ObjectPolygonGrad> pgg;
  int32_t pgmN = 0;    std::vector<TK4ObjectPolygonMapping> pgm;
  int32_t bmN = 0;     std::vector<TK4ObjectBitmap> bm;
  int32_t bmxN = 0;    std::vector<TK4ObjectBitmapEx> bmx;
  int32_t syN = 0;     std::vector<TK4ObjectSymbol> sy;
  int32_t grN = 0;     std::vector<TK4ObjectGroup> gr;
  int32_t grdimN = 0;  std::vector<TK4ObjectGroupDim> grdim;
  int32_t grqleN = 0;  std::vector<TK4ObjectGroupQle> grqle;
  int32_t grbarN = 0;  std::vector<TK4ObjectGroupBar> grbar;

 private:
  struct ChunkHead {
    int16_t tag = 0;
    int16_t version = 0;
    int32_t size = 0;
  };

  bool HeaderIn(ByteReader& r, size_t& objStart);
  bool ObjectsIn(ByteReader& r, size_t start);
  static bool ChunkHeadIn(ByteReader& r, ChunkHead& h);
  bool HeaderChunk(const ChunkHead& h, std::span<const uint8_t> payload, bool& known);
  bool ObjectChunk(const ChunkHead& h, std::span<const uint8_t> payload, bool& known);
  void AddEntNo(int32_t tag, int32_t version, int32_t index);

  // Hands the points that bound the object an entry names to add(x, y);
  // false when it names nothing drawn (extents.cpp).
  template <class Add>
  bool ObjectPoints(const TK4EntNo& e, Add& add) const;

  bool ReadWholeFile(const std::filesystem::path& FName, std::vector<uint8_t>& data);
  std::string LastError_;
};

}  // namespace zumen
