// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's findings: one drawing per fault, made byte by byte, and the
// finding it must leave with its code and place; a clean drawing leaves none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "jww/document.h"
#include "jww/header_layout.h"
#include "support/jww_bytes.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"

using namespace jww;
using testjww::JwwBytes;
using testjww::MakeAttr;
using testjww::MakeLine;

namespace {

TEntJwwMoji MakeMoji(double sizeX) {
  TEntJwwMoji m;
  m.att = MakeAttr(1, 3);
  m.dSizeX = sizeX;
  m.dSizeY = 3.5;
  m.strFontName = u"ＭＳ ゴシック";
  m.str = u"text";
  return m;
}

TEntJwwBlock Insertion(uint32_t number) {
  TEntJwwBlock b;
  b.att = MakeAttr(1, 1);
  b.dBairitsuX = b.dBairitsuY = 1;
  b.nNumber = number;
  return b;
}

TEntJwwBlockDef Definition(uint32_t number, std::u16string name) {
  TEntJwwBlockDef d;
  d.att = MakeAttr(1, 1);
  d.nNumber = number;
  d.strName = std::move(name);
  return d;
}

const ReadFinding& Only(const TJwwData& d, std::string_view code) {
  EXPECT_EQ(d.ReadLog.Count(code), 1u) << code;
  static const ReadFinding none;
  const ReadFinding* f = d.ReadLog.First(code);
  return f ? *f : none;
}

}  // namespace

TEST(ReadFindings, ACleanDrawingHasNone) {
  TJwwData plan = tools::MakeSamplePlan();
  ByteWriter out;
  ASSERT_TRUE(plan.WriteToBuffer(out, 700));
  TJwwData d;
  d.BindImageExr = true;
  ASSERT_TRUE(d.ReadFromBuffer(out.buffer())) << d.LastReadError;
  EXPECT_TRUE(d.ReadLog.empty()) << d.ReadLog.items().front().code;
  // A new read starts a new log, and DataInit empties it.
  d.ReadLog.Add(finding::kTruncated, {}, "stale");
  ASSERT_TRUE(d.ReadFromBuffer(out.buffer()));
  EXPECT_TRUE(d.ReadLog.empty());
  d.ReadLog.Add(finding::kTruncated, {}, "stale");
  d.DataInit();
  EXPECT_TRUE(d.ReadLog.empty());
}

TEST(ReadFindings, FieldsFilledForAnOlderVersionAreCountedOnce) {
  JwwBytes f(300);
  f.Count(3);
  f.Line(MakeLine(0, 0, 1, 1));
  TEntJwwSunpo s;
  s.att = MakeAttr(1, 1);
  s.Sen = MakeLine(0, 0, 10, 0);
  s.Moji = MakeMoji(3);
  f.Sunpo(s);
  f.Sunpo(s);
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(d.ReadFromBuffer(f.bytes())) << d.LastReadError;
  ASSERT_EQ(d.ReadLog.Count(finding::kFilledForVersion), 2u);
  const ReadFinding& width = d.ReadLog.items()[0];
  EXPECT_EQ(width.amount, 3);  // every entity lacks its width
  EXPECT_EQ(width.where.section, ReadSection::kEntities);
  EXPECT_EQ(width.where.index, 0);
  const ReadFinding& parts = d.ReadLog.items()[1];
  EXPECT_EQ(parts.amount, 2);  // the dimensions lack their SXF parts
  EXPECT_EQ(parts.where.index, 1);

  // From 420 on nothing is filled in.
  JwwBytes g(600);
  g.Count(1);
  g.Sunpo(s);
  g.Count(0);
  ASSERT_TRUE(d.ReadFromBuffer(g.bytes()));
  EXPECT_EQ(d.ReadLog.Count(finding::kFilledForVersion), 0u);
}

TEST(ReadFindings, NonFiniteTextSizesAreNamedAndRepaired) {
  const double inf = std::numeric_limits<double>::infinity();
  JwwBytes f(600);
  f.Count(2);
  f.Line(MakeLine(0, 0, 1, 1));
  f.Moji(MakeMoji(inf));
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(d.ReadFromBuffer(f.bytes())) << d.LastReadError;
  const ReadFinding& size = Only(d, finding::kNonFiniteValue);
  EXPECT_EQ(size.where.index, 1);
  EXPECT_EQ(size.where.section, ReadSection::kEntities);
  EXPECT_NE(size.detail.find("repaired"), std::string::npos);
  EXPECT_EQ(d.EntMoji[0].dSizeX, 3.0);
}

// Values no drawing holds fail the read, naming the field, its value and its
// offset: one byte flipped in a layer group, a state, a width, a count of
// segments or an exponent. Offsets are counted here from the layout: a new
// class tag of "CDataSen" is 14 bytes, and the attribute block holds lGroup
// (4), style (1), colour (2), width (2), layer (2) and group (2).
TEST(ReadFindings, ValuesOutOfRangeFailTheReadAndSayWhere) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    ReadSection section;
    int32_t definition;
    size_t offset;
    std::string field;
    double value;
  };
  std::vector<Case> cases;
  auto lineFile = [&](const char* what, TEntJwwLine line, size_t fieldAt, std::string field,
                      double value) {
    JwwBytes f(600);
    f.Count(1);
    const size_t start = f.size() + 14;
    f.Line(line);
    f.Count(0);
    cases.push_back({what, f.bytes(), ReadSection::kEntities, -1, start + fieldAt, field, value});
  };
  TEntJwwLine group = MakeLine(0, 0, 1, 1);
  group.att.nGLayer = 32768;
  lineFile("layer group 32768", group, 11, "nGLayer", 32768);
  TEntJwwLine colour = MakeLine(0, 0, 1, 1);
  colour.att.nPenColor = 357;
  lineFile("pen colour 357", colour, 5, "nPenColor", 357);
  TEntJwwLine far = MakeLine(0, 0, -1.36e40, 1);
  lineFile("coordinate -1.36e40", far, 15 + 16, "end_x", -1.36e40);
  TEntJwwLine notANumber = MakeLine(0, nan, 1, 1);
  lineFile("NaN coordinate", notANumber, 15 + 8, "start_y", nan);
  {
    // A member of a block definition: the definition is named.
    JwwBytes f(600);
    f.Count(0);
    f.Count(1);
    f.BlockDef(Definition(1, u"b"), 1);
    const size_t start = f.size() + 14;
    TEntJwwLine wide = MakeLine(0, 0, 1, 1);
    wide.att.nPenWidth = 40000;
    f.Line(wide);
    cases.push_back({"width 40000 in a definition", f.bytes(), ReadSection::kMembers, 0,
                     start + 7, "nPenWidth", 40000});
  }
  // Header values, placed by the header's own item list.
  auto headerFile = [&](const char* what, int row, int index, int32_t value, std::string field) {
    JwwBytes f(600);
    f.Count(0);
    f.Count(0);
    std::vector<uint8_t> b = f.bytes();
    size_t at = 0;
    for (const HeaderItem& item : HeaderItems(b))
      if (item.row == row && item.index == index) at = item.offset;
    std::memcpy(b.data() + at, &value, sizeof value);
    cases.push_back({what, b, ReadSection::kHeader, -1, at, field, static_cast<double>(value)});
  };
  // Row 6: per group anGLay, anWriteLay, adScale, anGLayProtect, then 16
  // layers of aanLay, aanLayProtect.
  headerFile("group state", 6, 36 * 2, -402653182, "anGLay");
  headerFile("layer state", 6, 4 + 2 * 3, 1073741827, "aanLay");
  // Row 26: per pen aPrtPenColor, anPrtPenWidth, adPrtTenHankei.
  headerFile("print pen width", 26, 3 * 4 + 1, -637534190, "anPrtPenWidth");
  // Row 39: per SXF line type a name, the segment count and ten pitches.
  headerFile("segments of a line type", 39, 12 * 2 + 1, 16777224, "anUDLTypeSegment");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TJwwData d;
    EXPECT_FALSE(d.ReadFromBuffer(c.bytes));
    EXPECT_EQ(d.LastReadError, "File I/O Error");
    const ReadFinding& f = Only(d, finding::kOutOfRange);
    EXPECT_EQ(f.where.section, c.section);
    EXPECT_EQ(f.where.definition, c.definition);
    EXPECT_EQ(f.where.offset, static_cast<int64_t>(c.offset));
    EXPECT_EQ(f.field, c.field);
    if (std::isnan(c.value))
      EXPECT_TRUE(std::isnan(f.value));
    else
      EXPECT_EQ(f.value, c.value);
    EXPECT_NE(f.detail.find(c.field), std::string::npos) << f.detail;
  }
}

TEST(ReadFindings, UnreadableObjectsAndCutsSayWhereTheReadStopped) {
  // An object of a class no entity has.
  JwwBytes f(600);
  f.Count(2);
  f.Line(MakeLine(0, 0, 1, 1));
  const size_t second = f.size();
  f.Tag("CDataUnknown");
  f.raw().fill(0, 40);
  f.Count(0);
  TJwwData d;
  EXPECT_FALSE(d.ReadFromBuffer(f.bytes()));
  const ReadFinding& unknown = Only(d, finding::kEntityDropped);
  EXPECT_EQ(unknown.where.index, 1);
  EXPECT_EQ(unknown.where.offset, static_cast<int64_t>(second));
  EXPECT_NE(unknown.detail.find("CDataUnknown"), std::string::npos);

  // A file cut inside a block definition's name.
  JwwBytes g(600);
  g.Count(0);
  g.Count(1);
  const size_t def = g.size();
  g.BlockDef(Definition(1, u"a long definition name"), 0);
  std::vector<uint8_t> b = g.bytes();
  b.resize(b.size() - 6);
  EXPECT_FALSE(d.ReadFromBuffer(b));
  const ReadFinding& cut = Only(d, finding::kTruncated);
  EXPECT_EQ(cut.where.section, ReadSection::kDefinitions);
  EXPECT_EQ(cut.where.definition, 0);
  EXPECT_EQ(cut.where.offset, static_cast<int64_t>(def));
  EXPECT_EQ(d.LastReadError, "File I/O Error");
}

TEST(ReadFindings, BlockReferencesToNothingAndCycles) {
  JwwBytes f(600);
  f.Count(2);
  f.Block(Insertion(1));
  f.Block(Insertion(99));  // no definition has 99
  f.Count(2);
  f.BlockDef(Definition(1, u"outer"), 1);
  f.Block(Insertion(2));
  f.BlockDef(Definition(2, u"inner"), 2);
  f.Block(Insertion(1));  // inner places outer: a cycle
  f.Block(Insertion(77));
  TJwwData d;
  ASSERT_TRUE(d.ReadFromBuffer(f.bytes())) << d.LastReadError;
  ASSERT_EQ(d.ReadLog.Count(finding::kUnknownBlockNumber), 2u);
  const ReadFinding& top = *d.ReadLog.First(finding::kUnknownBlockNumber);
  EXPECT_EQ(top.where.section, ReadSection::kEntities);
  EXPECT_EQ(top.where.index, 1);
  EXPECT_EQ(top.amount, 99);
  const ReadFinding& member = d.ReadLog.items()[1];
  EXPECT_EQ(member.where.section, ReadSection::kMembers);
  EXPECT_EQ(member.where.definition, 1);
  EXPECT_EQ(member.where.index, 1);
  EXPECT_EQ(member.amount, 77);
  const ReadFinding& cycle = Only(d, finding::kCyclicDefinition);
  EXPECT_EQ(cycle.where.definition, 0);
  EXPECT_NE(cycle.detail.find("outer"), std::string::npos);

  // A definition that places itself directly; reported once however often.
  JwwBytes g(600);
  g.Count(0);
  g.Count(1);
  g.BlockDef(Definition(5, u"self"), 2);
  g.Block(Insertion(5));
  g.Block(Insertion(5));
  ASSERT_TRUE(d.ReadFromBuffer(g.bytes()));
  EXPECT_EQ(Only(d, finding::kCyclicDefinition).where.definition, 0);
}

TEST(ReadFindings, BytesAfterTheDrawingFailTheRead) {
  JwwBytes f(600);
  f.Count(1);
  f.Line(MakeLine(0, 0, 1, 1));
  f.Count(0);
  std::vector<uint8_t> b = f.bytes();
  const size_t end = b.size();
  b.insert(b.end(), {1, 2, 3});
  TJwwData d;
  EXPECT_FALSE(d.ReadFromBuffer(b));
  const ReadFinding& left = Only(d, finding::kBytesAfterEnd);
  EXPECT_EQ(left.amount, 3);
  EXPECT_EQ(left.where.offset, static_cast<int64_t>(end));
  EXPECT_EQ(d.EntLineN, 1);  // what was read stays

  // A preview reads only the first objects and never asks.
  testjww::TempDir tmp;
  EXPECT_TRUE(d.FilePrevIn(tmp.File("p.jww", b).string(), 1));
}

TEST(ReadFindings, ImageSection) {
  testjww::TempDir tmp;
  // An empty drawing up to its image section.
  struct Drawing : JwwBytes {
    Drawing() : JwwBytes(700) {
      Count(0);
      Count(0);
    }
  };
  // A negative count fails the read instead of dropping the images.
  Drawing f;
  f.raw().i32(-2);
  TJwwData d;
  d.BindImageExr = true;
  EXPECT_FALSE(d.ReadFromBuffer(f.bytes()));
  EXPECT_EQ(Only(d, finding::kBadCount).amount, -2);

  // An unsafe name is skipped, and said so.
  Drawing g;
  g.raw().i32(2);
  g.Image(u"../escape.png", std::vector<uint8_t>(10, 1));
  g.Image(u"fine.png", std::vector<uint8_t>(10, 2));
  d.BindImageExp = true;
  d.BindImageFolder = tmp.folder();
  ASSERT_TRUE(d.ReadFromBuffer(g.bytes())) << d.LastReadError;
  EXPECT_EQ(d.BindImageN, 1);
  const ReadFinding& unsafe = Only(d, finding::kUnsafeImageName);
  EXPECT_EQ(unsafe.where.section, ReadSection::kImages);
  EXPECT_EQ(unsafe.where.index, 0);
  EXPECT_NE(unsafe.detail.find("../escape.png"), std::string::npos);
}

TEST(ReadFindings, AFaultInEveryEntityIsKeptWithinBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const uint32_t n = ReadFindings::kMaxItems + 500;
  JwwBytes f(600);
  f.Count(n);
  for (uint32_t i = 0; i < n; ++i) f.Moji(MakeMoji(nan));
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(d.ReadFromBuffer(f.bytes()));
  EXPECT_EQ(d.ReadLog.size(), ReadFindings::kMaxItems);
  EXPECT_EQ(d.ReadLog.omitted(), 500u);
  EXPECT_EQ(SectionName(d.ReadLog.items().back().where.section), "entities");
}
