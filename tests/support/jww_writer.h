#pragma once
// Writer of JWW drawings and JWS symbols for tests and for building example
// drawings:
//
//   JwwWriter w(700);
//   w.Line(0, 0, 100, 0);
//   w.Circle(50, 50, 20);
//   w.Text(10, 10, u"図面", 5);
//   w.BeginBlockDef(1, u"door");  w.Line(0, 0, 1, 1);  w.EndBlockDef();
//   w.Insert(1, 30, 30);
//   w.Image(u"photo.png.gz", png_bytes);   // stored gzip-compressed
//   std::vector<uint8_t> bytes = w.Finish();
//
// Objects are written in the order they are added, each list (the drawing's
// entity list and every block definition) on its own. Entities take the
// current attribute `att`. Every record kind of every version is written by
// the version's rules (short attribute before 351, dimensions without SXF
// parts before 420, images from 700 on), strings in the byte form (code page
// 932) or the wide form. Raw pieces and count overrides build broken files.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "formats/jww/jww_data.h"
#include "formats/jww/records.h"

namespace zumen {

class JwwWriter {
 public:
  enum class Format { kJww, kJws };
  enum class Strings { kBytes, kWide };
  // How known classes are referred to after their first object: 0x8000 + i,
  // or 0x7FFF followed by the u32 0x80000000 + i (always so for an index of
  // 0x7FFF or more, which the short form cannot hold).
  enum class Tags { kShort, kLong };

  // Strings default to the wide form from version 700 on, bytes before.
  explicit JwwWriter(int32_t version = 700, Format format = Format::kJww);

  int32_t version;
  Format format;
  Strings strings;
  Tags tags = Tags::kShort;
  // Header fields and tables of a JWW drawing (jwVer and jwID are set by
  // Finish); JWS symbols use jws and the adScale of head.EntLgrp.
  TJwwData head;
  TEntJwsHeader jws;
  // The attribute given to every entity added from now on.
  TEntJwwAttr att;
  // Override the counts written for the entity list and the block-definition
  // list (otherwise the numbers of objects and definitions added).
  std::optional<uint32_t> announce_objects;
  std::optional<uint32_t> announce_defs;

  // Shorthands that set the current attribute: pen (colour) number, line
  // type and width; layer group and layer.
  JwwWriter& Pen(uint16_t color, uint8_t style = 1, uint16_t width = 0);
  JwwWriter& Layer(uint16_t group, uint16_t layer);
  // Paper size code of the header (nZumen).
  JwwWriter& Paper(int32_t code);

  // Entities built from the current attribute.
  void Line(double x1, double y1, double x2, double y2);
  void Circle(double cx, double cy, double r);
  void Arc(double cx, double cy, double r, double start, double sweep, double flat = 1.0, double tilt = 0.0);
  void Point(double x, double y);
  // A coded marker (pen style 100).
  void Marker(double x, double y, uint32_t code, double angle = 0.0, double scale = 1.0);
  void Text(double x, double y, std::u16string_view s, double size = 3.0, double angle_deg = 0.0,
            std::u16string_view font = u"ＭＳ ゴシック");
  void Dimension(double x1, double y1, double x2, double y2, std::u16string_view label);
  void Solid(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  void Insert(uint32_t number, double x, double y, double sx = 1.0, double sy = 1.0, double rot = 0.0);

  // Records as they are (their own attributes).
  void Add(const TEntJwwLine& e);
  void Add(const TEntJwwEnko& e);
  void Add(const TEntJwwTen& e);
  void Add(const TEntJwwMoji& e);
  void Add(const TEntJwwSunpo& e);
  void Add(const TEntJwwSolid& e);
  void Add(const TEntJwwBlock& e);

  // Bytes put into the current list as they are; not counted as an object.
  void Raw(std::vector<uint8_t> bytes);
  // A new-class record with any name followed by data bytes; counted as an
  // object.
  void RawObject(std::string class_name, std::vector<uint8_t> data);

  // Block definitions: entities added between Begin and End are its members.
  // A long dtime sets the top bit of dtime and writes its 8 extra bytes.
  void BeginBlockDef(uint32_t number, std::u16string_view name, bool long_dtime = false);
  void EndBlockDef();
  // Overrides the member count written for the open definition.
  void AnnounceMembers(uint32_t n);

  // Embedded images (version 700 and later): stored gzip-compressed (deflate
  // with window bits 31) or as given.
  void Image(std::u16string_view name, std::span<const uint8_t> data, bool gzip = true);

  std::vector<uint8_t> Finish() const;
  bool Save(const std::string& path) const;

  // A gzip stream of data (zlib deflate, window bits 31).
  static std::vector<uint8_t> Gzip(std::span<const uint8_t> data);

 private:
  struct RawBytes {
    std::vector<uint8_t> bytes;
  };
  struct RawObj {
    std::string name;
    std::vector<uint8_t> data;
  };
  using Item = std::variant<TEntJwwLine, TEntJwwEnko, TEntJwwTen, TEntJwwMoji, TEntJwwSunpo, TEntJwwSolid,
                            TEntJwwBlock, RawBytes, RawObj>;
  struct Def {
    TEntJwwAttr att;
    uint32_t number = 0;
    std::u16string name;
    bool long_dtime = false;
    std::optional<uint32_t> announce;
    std::vector<Item> items;
  };
  struct Img {
    std::u16string name;
    std::vector<uint8_t> data;
  };
  std::vector<Item>& List();
  void Put(Item item) { List().push_back(std::move(item)); }

  std::vector<Item> items_;
  std::vector<Def> defs_;
  bool in_def_ = false;
  std::vector<Img> images_;
};

}  // namespace zumen
