// Every diagnostic code from a small drawing that triggers it: the code, its
// count and a message that names the case; load-time codes in
// Drawing::Diagnostics(), draw-time codes in RenderResult::diagnostics.
#include <gtest/gtest.h>

#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using testing::TempDir;

// A JWW plan on A3 with every layer shown and a line on the paper; more
// entities come from add.
template <class Add>
std::vector<uint8_t> Plan(Add add) {
  JwwWriter w(700);
  w.Paper(3);
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.Line(-100, -50, 100, 50);
  add(w);
  return w.Finish();
}

const Diagnostic* Find(const std::vector<Diagnostic>& list, const std::string& code) {
  for (const Diagnostic& d : list)
    if (d.code == code) return &d;
  return nullptr;
}

struct Case {
  const char* code;
  std::string file;                // name of the drawing
  std::vector<uint8_t> bytes;
  int64_t count;
  const char* words;               // in the message
  bool atLoad;                     // in Drawing::Diagnostics(), else in the render result
};

TEST(Diagnostics, EachCodeComesFromTheDrawingThatCausesIt) {
  TempDir t;
  // A file that names itself a PNG but is not one, beside the drawings.
  t.Write("broken.png", std::string("not a picture at all"));
  test::JwcFile jwc;
  jwc.lines.push_back({10, 10, 100, 50});
  jwc.Text(10, 10, 40, 14, "ok");
  jwc.Text(10, 20, 40, 24, "bad \x81");  // a lead byte without its trail byte
  std::vector<uint8_t> cut = Plan([](JwwWriter& w) { w.Line(-10, -10, 10, 10); });
  cut.resize(cut.size() - 20);
  const Case cases[] = {
      {"text-undecodable", "texts.jwc", jwc.Build(), 1, "\"bad \xEF\xBF\xBD\"", true},
      {"block-missing-definition", "orphan.jww", Plan([](JwwWriter& w) {
         w.Insert(7, 0, 0);
         w.Insert(7, 10, 0);
       }),
       2, "block definitions the drawing lacks", true},
      {"read-partial", "cut.jww", cut, 1, "read only in part", true},
      {"block-instances-cut", "loop.jww", Plan([](JwwWriter& w) {
         w.Insert(1, 0, 0);
         w.BeginBlockDef(1, u"loop");
         w.Insert(1, 5, 5, 0.5, 0.5);
         w.Line(0, 0, 1, 1);
         w.EndBlockDef();
       }),
       1, "left out", true},
      {"image-missing", "photo.jww", Plan([](JwwWriter& w) {
         w.Text(-50, -50, u"^@BMnowhere.png,100,80");
       }),
       1, "\"nowhere.png\"", false},
      {"image-refused", "refused.jww", Plan([](JwwWriter& w) {
         w.Text(-50, -50, u"^@BMdrawing.dwg,100,80");
         w.Text(-50, -50, u"^@BMbroken.png,100,80");
       }),
       2, "\"drawing.dwg\" is of a type zumen does not read", false},
      {"font-fallback", "font.jww", Plan([](JwwWriter& w) {
         w.Text(-50, 0, u"ABC", 10, 0, u"Zumen No Such Family");
         w.Text(-50, 30, u"DEF", 10, 0, u"Zumen No Such Family");
       }),
       1, "\"Zumen No Such Family\" drawn with", false},
      {"glyph-missing", "glyph.jww", Plan([](JwwWriter& w) { w.Text(-50, 0, u"A\u0378B\u0378", 10); }), 2,
       "characters are in no installed font", false},
      {"entities-off-paper", "far.jww", Plan([](JwwWriter& w) {
         w.Line(5000, 5000, 5100, 5000);
         w.Circle(-9000, 0, 10);
         w.Line(250, 0, 300, 0);  // beyond the edge, but less than half the paper: not counted
       }),
       2, "far outside the paper", false},
  };
  for (const Case& c : cases) {
    const Opened opened = Drawing::Open(t.Write(c.file, c.bytes));
    ASSERT_TRUE(opened) << c.code << ": " << opened.status.message;
    RenderOptions o;
    o.width = 400;
    o.height = 300;
    const RenderResult r = Render(opened.drawing, o, Output::File(t / (c.file + ".png")));
    ASSERT_TRUE(r) << c.code << ": " << r.status.message;
    const std::vector<Diagnostic>& where = c.atLoad ? opened.drawing.Diagnostics() : r.diagnostics;
    const std::vector<Diagnostic>& other = c.atLoad ? r.diagnostics : opened.drawing.Diagnostics();
    const Diagnostic* d = Find(where, c.code);
    ASSERT_NE(d, nullptr) << c.code;
    EXPECT_EQ(d->count, c.count) << c.code;
    EXPECT_NE(d->message.find(c.words), std::string::npos) << c.code << ": " << d->message;
    EXPECT_EQ(Find(other, c.code), nullptr) << c.code;
  }
}

TEST(Diagnostics, CleanDrawingHasNoneAndTheFitToExtentsShowsFarEntities) {
  TempDir t;
  const Opened clean = Drawing::Open(t.Write("plan.jww", Plan([](JwwWriter& w) { w.Text(0, 0, u"ABC", 5); })));
  ASSERT_TRUE(clean);
  EXPECT_TRUE(clean.drawing.Diagnostics().empty());
  RenderOptions o;
  o.width = 200;
  o.height = 150;
  EXPECT_TRUE(Render(clean.drawing, o, Output::File(t / "plan.png")).diagnostics.empty());

  // Far entities are in a picture of the extents: nothing to tell then.
  const Opened far = Drawing::Open(t.Write("far.jww", Plan([](JwwWriter& w) { w.Line(5000, 5000, 5100, 5000); })));
  ASSERT_TRUE(far);
  o.fit = Fit::Extents;
  EXPECT_EQ(Find(Render(far.drawing, o, Output::File(t / "far.png")).diagnostics, "entities-off-paper"), nullptr);
}

}  // namespace
}  // namespace zumen
