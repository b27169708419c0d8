// SPDX-License-Identifier: GPL-3.0-or-later
// The entity stream reader: lists, class map, every version's bodies and
// fill-ins, block definitions, images, untrusted input, previews, corpus.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#include "jww/document.h"
#include "jww/file_bytes.h"
#include "support/corpus.h"
#include "support/jww_bytes.h"
#include "support/temp_dir.h"

using namespace jww;
using testjww::JwwBytes;
using testjww::MakeAttr;
using testjww::MakeLine;
namespace fs = std::filesystem;

using TempDir = testjww::TempDir;

namespace {

std::array<int32_t, 8> Counts(const TJwwData& d) {
  return {0, d.EntLineN, d.EntEnkoN, d.EntTenN, d.EntMojiN, d.EntSunpoN, d.EntSolidN, d.EntBlockN};
}
std::array<int32_t, 8> Counts(const TEntJwwBlockDef& b) {
  return {0, b.mLineN, b.mEnkoN, b.mTenN, b.mMojiN, b.mSunpoN, b.mSolidN, b.mBlockN};
}

// Invariants every read must leave, whatever the file held.
void ExpectConsistent(const TJwwData& d, const std::string& where) {
  EXPECT_TRUE(testjww::DrawOrderValid(d.EntNo, Counts(d))) << where;
  EXPECT_EQ(d.EntNo.size(), static_cast<size_t>(d.Enthd.n1)) << where;
  EXPECT_EQ(d.EntLine.size(), static_cast<size_t>(d.EntLineN)) << where;
  EXPECT_EQ(d.EntEnko.size(), static_cast<size_t>(d.EntEnkoN)) << where;
  EXPECT_EQ(d.EntTen.size(), static_cast<size_t>(d.EntTenN)) << where;
  EXPECT_EQ(d.EntMoji.size(), static_cast<size_t>(d.EntMojiN)) << where;
  EXPECT_EQ(d.EntSunpo.size(), static_cast<size_t>(d.EntSunpoN)) << where;
  EXPECT_EQ(d.EntSolid.size(), static_cast<size_t>(d.EntSolidN)) << where;
  EXPECT_EQ(d.EntBlock.size(), static_cast<size_t>(d.EntBlockN)) << where;
  EXPECT_EQ(d.EntBlockDef.size(), static_cast<size_t>(d.EntBlockDefN)) << where;
  EXPECT_EQ(d.BindImage.size(), static_cast<size_t>(d.BindImageN)) << where;
  for (const TEntJwwBlockDef& b : d.EntBlockDef) {
    EXPECT_TRUE(testjww::DrawOrderValid(b.mNo, Counts(b))) << where;
    EXPECT_EQ(b.mNo.size(), static_cast<size_t>(b.N)) << where;
    EXPECT_EQ(b.mLine.size(), static_cast<size_t>(b.mLineN)) << where;
    EXPECT_EQ(b.mMoji.size(), static_cast<size_t>(b.mMojiN)) << where;
    EXPECT_EQ(b.mSunpo.size(), static_cast<size_t>(b.mSunpoN)) << where;
    EXPECT_EQ(b.mBlock.size(), static_cast<size_t>(b.mBlockN)) << where;
  }
}

bool Read(TJwwData& d, const std::vector<uint8_t>& bytes) {
  bool ok = d.ReadFromBuffer(bytes, "test.jww");
  ExpectConsistent(d, "after reading");
  return ok;
}

TEntJwwMoji MakeMoji(std::u16string text) {
  TEntJwwMoji m;
  m.att = MakeAttr(1, 3);
  m.start_x = 1;
  m.start_y = 2;
  m.end_x = 3;
  m.end_y = 4;
  m.nMojiShu = 2;
  m.dSizeX = 2.5;
  m.dSizeY = 3.5;
  m.dKankaku = 0.5;
  m.degKakudo = 30;
  m.strFontName = u"ＭＳ ゴシック";
  m.str = std::move(text);
  return m;
}

TEntJwwTen MakeTen(uint8_t style) {
  TEntJwwTen t;
  t.att = MakeAttr(style, 2);
  t.start_x = 5;
  t.start_y = 6;
  t.bKariten = 1;
  if (style == 100) {
    t.nCode = 9;
    t.radKaitenKaku = 0.25;
    t.dBairitsu = 2;
  }
  return t;
}

TEntJwwSunpo MakeSunpo() {
  TEntJwwSunpo s;
  s.att = MakeAttr(1, 5, 2, 3, 40);
  s.Sen = MakeLine(0, 0, 100, 0);
  s.Moji = MakeMoji(u"100");
  s.bSxfMode = 1;
  s.Ho1 = MakeLine(0, -5, 0, 0);
  s.Ho2 = MakeLine(100, -5, 100, 0);
  s.Te1 = MakeTen(1);
  s.Te2 = MakeTen(100);
  s.Kt1 = MakeTen(1);
  s.Kt2 = MakeTen(100);
  return s;
}

void ExpectLineEq(const TEntJwwLine& a, const TEntJwwLine& b) {
  EXPECT_EQ(a.att, b.att);
  EXPECT_EQ(a.start_x, b.start_x);
  EXPECT_EQ(a.start_y, b.start_y);
  EXPECT_EQ(a.end_x, b.end_x);
  EXPECT_EQ(a.end_y, b.end_y);
}

void ExpectTenEq(const TEntJwwTen& a, const TEntJwwTen& b) {
  EXPECT_EQ(a.att, b.att);
  EXPECT_EQ(a.start_x, b.start_x);
  EXPECT_EQ(a.bKariten, b.bKariten);
  EXPECT_EQ(a.nCode, b.nCode);
  EXPECT_EQ(a.radKaitenKaku, b.radKaitenKaku);
  EXPECT_EQ(a.dBairitsu, b.dBairitsu);
}

TEntJwwAttr WithoutWidth(TEntJwwAttr a, int32_t ver) {
  if (ver < 351) a.nPenWidth = 0;
  return a;
}

}  // namespace

TEST(Reader, EmptyDrawing) {
  for (int32_t ver : {220, 600, 700}) {
    JwwBytes f(ver);
    f.Count(0);
    f.Count(0);
    if (ver >= 700) f.raw().i32(0);
    TJwwData d;
    EXPECT_TRUE(Read(d, f.bytes())) << ver << " " << d.LastReadError;
    EXPECT_TRUE(d.EntNo.empty());
    EXPECT_EQ(d.Enthd.n1, 0);
    EXPECT_EQ(d.Enthd.n2, 0);
    EXPECT_EQ(d.Enthd.jwVer, ver);
  }
}

TEST(Reader, ClassIndexesAndReferences) {
  JwwBytes f(600);
  f.Count(5);
  f.Line(MakeLine(0, 0, 1, 1));  // class "CDataSen" 1, object 2
  f.Line(MakeLine(1, 1, 2, 2));  // tag 0x8001, object 3
  TEntJwwEnko arc;
  arc.att = MakeAttr(2, 3);
  arc.dHankei = 10;
  arc.radEnkoKaku = 2 * M_PI;
  arc.dHenpeiRitsu = 1;
  arc.bZenEnFlg = 1;
  f.Enko(arc);  // class "CDataEnko" 4, object 5
  EXPECT_EQ(f.ClassIndex("CDataSen"), 1u);
  EXPECT_EQ(f.ClassIndex("CDataEnko"), 4u);
  f.Enko(arc);  // 0x8004
  f.Line(MakeLine(2, 2, 3, 3));
  f.Count(0);
  std::vector<uint8_t> bytes = f.bytes();
  TJwwData d;
  ASSERT_TRUE(Read(d, bytes)) << d.LastReadError;
  EXPECT_EQ(d.EntLineN, 3);
  EXPECT_EQ(d.EntEnkoN, 2);
  EXPECT_EQ(d.EntNo, (std::vector<TEntJwwNo>{{1, 0}, {1, 1}, {2, 0}, {2, 1}, {1, 2}}));
  EXPECT_EQ(d.EntLine[2].end_x, 3);
  EXPECT_EQ(d.EntEnko[1].dHankei, 10);
  EXPECT_EQ(d.EntEnko[1].bZenEnFlg, 1u);
}

TEST(Reader, ClassesAreSharedWithBlockMembers) {
  JwwBytes f(700);
  f.Count(2);
  f.Line(MakeLine(0, 0, 1, 0));
  TEntJwwBlock ins;
  ins.att = MakeAttr(1, 1);
  ins.dBairitsuX = ins.dBairitsuY = 1;
  ins.nNumber = 3;
  f.Block(ins);
  f.Count(2);
  TEntJwwBlockDef def;
  def.nNumber = 3;
  def.strName = u"door";
  f.BlockDef(def, 2);
  f.Line(MakeLine(5, 5, 6, 6));  // references the class of the entity list
  f.Moji(MakeMoji(u"inner"));    // a class first seen among members
  def.nNumber = 4;
  def.strName = u"window";
  f.BlockDef(def, 1);
  f.Moji(MakeMoji(u"again"));  // referenced in the next definition
  f.raw().i32(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  ASSERT_EQ(d.EntBlockDefN, 2);
  EXPECT_EQ(d.Enthd.n2, 2);
  const TEntJwwBlockDef& a = d.EntBlockDef[0];
  EXPECT_EQ(a.strName, u"door");
  EXPECT_EQ(a.N, 2);
  EXPECT_EQ(a.mLineN, 1);
  EXPECT_EQ(a.mMojiN, 1);
  EXPECT_EQ(a.mNo, (std::vector<TEntJwwNo>{{1, 0}, {4, 0}}));
  EXPECT_EQ(a.mLine[0].start_x, 5);
  EXPECT_EQ(d.EntBlockDef[1].mMoji[0].str, u"again");
  EXPECT_EQ(d.EntBlock[0].nNumber, 3u);
}

// One entity of each kind, written at `ver` and read back.
TEST(Reader, EveryKindAtEveryVersion) {
  for (int32_t ver : {220, 223, 230, 231, 300, 350, 351, 419, 420, 600, 700}) {
    SCOPED_TRACE(ver);
    JwwBytes f(ver);
    f.Count(8);
    TEntJwwLine line = MakeLine(1, 2, 3, 4);
    f.Line(line);
    TEntJwwEnko arc;
    arc.att = MakeAttr(31, 101, 1, 2, 7);
    arc.start_x = 1;
    arc.dHankei = 2;
    arc.radKaishiKaku = 0.5;
    arc.radEnkoKaku = 1;
    arc.radKatamukiKaku = 0.25;
    arc.dHenpeiRitsu = 0.5;
    f.Enko(arc);
    f.Ten(MakeTen(100));
    f.Ten(MakeTen(1));
    f.Moji(MakeMoji(u"平面図"));
    f.Sunpo(MakeSunpo());
    TEntJwwSolid solid;
    solid.att = MakeAttr(1, 10);
    solid.DPoint3_y = 9;
    solid.Color = 0x123456;
    f.Solid(solid);
    TEntJwwBlock ins;
    ins.att = MakeAttr(1, 1);
    ins.DPKijunTen_x = 7;
    ins.dBairitsuX = 2;
    ins.dBairitsuY = 3;
    ins.radKaitenKaku = 0.5;
    ins.nNumber = 12;
    f.Block(ins);
    f.Count(0);
    if (ver >= 700) f.raw().i32(0);

    TJwwData d;
    ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
    EXPECT_EQ(d.EntNo, (std::vector<TEntJwwNo>{
                           {1, 0}, {2, 0}, {3, 0}, {3, 1}, {4, 0}, {5, 0}, {6, 0}, {7, 0}}));
    TEntJwwLine want = line;
    want.att = WithoutWidth(line.att, ver);
    ExpectLineEq(d.EntLine[0], want);
    EXPECT_EQ(d.EntEnko[0].att, WithoutWidth(arc.att, ver));
    EXPECT_EQ(d.EntEnko[0].radKatamukiKaku, 0.25);
    EXPECT_EQ(d.EntEnko[0].dHenpeiRitsu, 0.5);

    // A symbol point (style 100) carries 20 more bytes; a plain one none.
    EXPECT_EQ(d.EntTen[0].nCode, 9u);
    EXPECT_EQ(d.EntTen[0].radKaitenKaku, 0.25);
    EXPECT_EQ(d.EntTen[0].dBairitsu, 2);
    EXPECT_EQ(d.EntTen[1].nCode, 0u);
    EXPECT_EQ(d.EntTen[1].radKaitenKaku, 0);
    EXPECT_EQ(d.EntTen[1].start_y, 6);

    EXPECT_EQ(d.EntMoji[0].str, u"平面図");
    EXPECT_EQ(d.EntMoji[0].strFontName, u"ＭＳ ゴシック");
    EXPECT_EQ(d.EntMoji[0].degKakudo, 30);
    EXPECT_EQ(d.EntMoji[0].nMojiShu, 2u);

    const TEntJwwSunpo& s = d.EntSunpo[0];
    TEntJwwSunpo src = MakeSunpo();
    EXPECT_EQ(s.att, WithoutWidth(src.att, ver));
    EXPECT_EQ(s.Sen.end_x, 100);
    EXPECT_EQ(s.Moji.str, u"100");
    if (ver >= 420) {
      EXPECT_EQ(s.bSxfMode, 1);
      ExpectLineEq(s.Ho2, src.Ho2);
      ExpectTenEq(s.Te1, src.Te1);
      ExpectTenEq(s.Te2, src.Te2);
      ExpectTenEq(s.Kt2, src.Kt2);
    } else {
      // Older files have none of the SXF parts: they carry the dimension's
      // attributes, the points with line type 0.
      EXPECT_EQ(s.bSxfMode, 0);
      EXPECT_EQ(s.Ho1.att, s.att);
      EXPECT_EQ(s.Ho2.end_x, 0);
      TEntJwwAttr pointAtt = s.att;
      pointAtt.nPenStyle = 0;
      for (const TEntJwwTen* p : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) {
        EXPECT_EQ(p->att, pointAtt);
        EXPECT_EQ(p->start_x, 0);
        EXPECT_EQ(p->bKariten, 0u);
        EXPECT_EQ(p->nCode, 0u);
      }
    }
    EXPECT_EQ(d.EntSolid[0].Color, 0x123456u);
    EXPECT_EQ(d.EntSolid[0].DPoint3_y, 9);
    EXPECT_EQ(d.EntBlock[0].nNumber, 12u);
    EXPECT_EQ(d.EntBlock[0].dBairitsuY, 3);
    EXPECT_EQ(d.EntBlock[0].radKaitenKaku, 0.5);
  }
}

TEST(Reader, SolidColourOnlyWithColour10) {
  JwwBytes f(600);
  f.Count(2);
  TEntJwwSolid a;
  a.att = MakeAttr(1, 9);
  a.Color = 0xABCDEF;  // not written: colour 9
  f.Solid(a);
  a.att = MakeAttr(1, 10);
  f.Solid(a);
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.EntSolid[0].Color, 0u);
  EXPECT_EQ(d.EntSolid[1].Color, 0xABCDEFu);
}

TEST(Reader, NonFiniteTextSizesAreRepaired) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  JwwBytes f(700);
  f.Count(2);
  TEntJwwMoji m = MakeMoji(u"x");
  m.dSizeX = nan;
  m.dSizeY = -inf;
  m.dKankaku = inf;
  f.Moji(m);
  TEntJwwSunpo s = MakeSunpo();
  s.Moji.dSizeX = inf;
  s.Moji.dKankaku = nan;
  f.Sunpo(s);
  f.Count(1);
  TEntJwwBlockDef def;
  f.BlockDef(def, 1);
  f.Moji(m);
  f.raw().i32(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  for (const TEntJwwMoji* r : {&d.EntMoji[0], &d.EntBlockDef[0].mMoji[0]}) {
    EXPECT_EQ(r->dSizeX, 3.0);
    EXPECT_EQ(r->dSizeY, 3.0);
    EXPECT_EQ(r->dKankaku, 0.0);
  }
  EXPECT_EQ(d.EntSunpo[0].Moji.dSizeX, 3.0);
  EXPECT_EQ(d.EntSunpo[0].Moji.dSizeY, 3.5);
  EXPECT_EQ(d.EntSunpo[0].Moji.dKankaku, 0.0);
}

TEST(Reader, TextsDropControlCharacters) {
  JwwBytes f(600);
  f.Count(1);
  f.Moji(MakeMoji(u"one\r\ntwo"));
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes()));
  EXPECT_EQ(d.EntMoji[0].str, u"onetwo");
  EXPECT_FALSE(d.MojiEncode);
}

TEST(Reader, Utf16StringsSetMojiEncode) {
  JwwBytes f(700, 0x20);
  f.Count(1);
  f.Moji(MakeMoji(u"\u2460\U0001F600"));
  f.Count(0);
  f.raw().i32(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes()));
  EXPECT_TRUE(d.MojiEncode);
  EXPECT_EQ(d.EntMoji[0].str, u"\u2460\U0001F600");
}

TEST(Reader, BlockDefinitionTimeWithTopBit) {
  JwwBytes f(600);
  f.Count(0);
  f.Count(3);
  TEntJwwBlockDef def;
  def.att = MakeAttr(1, 1, 2, 3, 4);
  def.nNumber = 1;
  def.bRefferd = 1;
  def.dtime = 12345;
  def.strName = u"first";
  f.BlockDef(def, 0);
  def.nNumber = 2;
  def.dtime = 0xFFFFFFFF;  // followed by 8 bytes Jw_cad does not use
  def.strName = u"second";
  f.BlockDef(def, 1);
  f.Line(MakeLine(1, 1, 2, 2));
  def.nNumber = 3;
  def.dtime = 0x80000000;
  def.strName = u"third";
  f.BlockDef(def, 0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  ASSERT_EQ(d.EntBlockDefN, 3);
  EXPECT_EQ(d.EntBlockDef[0].dtime, 12345u);
  EXPECT_EQ(d.EntBlockDef[1].dtime, 2u);
  EXPECT_EQ(d.EntBlockDef[1].strName, u"second");
  EXPECT_EQ(d.EntBlockDef[1].mLineN, 1);
  EXPECT_EQ(d.EntBlockDef[2].dtime, 3u);
  EXPECT_EQ(d.EntBlockDef[2].nNumber, 3u);
  EXPECT_EQ(d.EntBlockDef[0].att, def.att);
  EXPECT_EQ(d.EntBlockDef[0].bRefferd, 1u);
}

TEST(Reader, OldBlockDefinitionHas25ByteFixedPart) {
  JwwBytes f(300);
  f.Count(0);
  f.Count(1);
  TEntJwwBlockDef def;
  def.att = MakeAttr(1, 1, 2, 3, 99);
  def.nNumber = 8;
  def.strName = u"old";
  f.BlockDef(def, 1);
  f.Line(MakeLine(1, 2, 3, 4));
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.EntBlockDef[0].strName, u"old");
  EXPECT_EQ(d.EntBlockDef[0].att.nPenWidth, 0);
  EXPECT_EQ(d.EntBlockDef[0].mLine[0].end_y, 4);
}

TEST(Reader, ArraysGrowInStepsAndAreCutToCounts) {
  JwwBytes f(600);
  f.Count(1001);
  for (int i = 0; i < 1001; ++i) f.Line(MakeLine(i, 0, i, 1));
  f.Count(1);
  f.BlockDef(TEntJwwBlockDef{}, 501);
  for (int i = 0; i < 501; ++i) f.Moji(MakeMoji(u"m"));
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.EntLine.size(), 1001u);
  EXPECT_EQ(d.EntLine[1000].start_x, 1000);
  EXPECT_EQ(d.EntNo[1000], (TEntJwwNo{1, 1000}));
  EXPECT_EQ(d.EntBlockDef[0].mMoji.size(), 501u);
  EXPECT_EQ(d.EntBlockDef[0].mNo[500], (TEntJwwNo{4, 500}));
}

TEST(Reader, ObjectCountsBeyond0xFFFFUseTheLongForm) {
  JwwBytes f(600);
  const uint32_t n = 0x10001;
  f.Count(n);
  TEntJwwTen t = MakeTen(1);
  for (uint32_t i = 0; i < n; ++i) f.Ten(t);
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.EntTenN, static_cast<int32_t>(n));
  EXPECT_EQ(d.Enthd.n1, static_cast<int32_t>(n));
}

TEST(Reader, FileEndingInsideTheListKeepsWhatWasRead) {
  JwwBytes f(600);
  f.Count(4);
  f.Line(MakeLine(1, 1, 2, 2));
  f.Moji(MakeMoji(u"kept"));
  const size_t third = f.size();
  f.Line(MakeLine(3, 3, 4, 4));
  f.Line(MakeLine(5, 5, 6, 6));
  f.Count(0);
  std::vector<uint8_t> all = f.bytes();

  TJwwData d;
  // The third line's tag, attributes and start_x only.
  std::vector<uint8_t> cut(all.begin(), all.begin() + static_cast<long>(third) + 2 + 15 + 8);
  EXPECT_FALSE(Read(d, cut));
  EXPECT_EQ(d.LastReadError, "File I/O Error");
  EXPECT_EQ(d.Enthd.n1, 4);
  EXPECT_EQ(d.EntMoji[0].str, u"kept");
  // The third line was partly there: not kept, its zeros would pass for
  // coordinates.
  EXPECT_EQ(d.EntLineN, 1);
  EXPECT_EQ(d.EntNo[2], (TEntJwwNo{0, 0}));
  EXPECT_EQ(d.EntNo[3], (TEntJwwNo{0, 0}));
  const ReadFinding* dropped = d.ReadLog.First(finding::kEntityDropped);
  ASSERT_NE(dropped, nullptr);
  EXPECT_EQ(dropped->where.section, ReadSection::kEntities);
  EXPECT_EQ(dropped->where.index, 2);
  EXPECT_EQ(dropped->where.offset, static_cast<int64_t>(third));

  // Only the tag of the third object: its body is missing altogether, so it
  // is dropped; the list then ends at the missing block-definition count.
  cut.assign(all.begin(), all.begin() + static_cast<long>(third) + 2);
  EXPECT_FALSE(Read(d, cut));
  EXPECT_EQ(d.EntLineN, 1);
  EXPECT_EQ(d.EntMojiN, 1);
  EXPECT_EQ(d.EntNo[2], (TEntJwwNo{0, 0}));

  // Ending right after the entity list: the definition count is missing.
  cut.assign(all.begin(), all.end() - 2);
  EXPECT_FALSE(Read(d, cut));
  EXPECT_EQ(d.EntLineN, 3);
}

TEST(Reader, MissingEntityCountFails) {
  JwwBytes f(600);
  std::vector<uint8_t> b = f.bytes();
  TJwwData d;
  EXPECT_FALSE(Read(d, b));
  EXPECT_EQ(d.LastReadError, "File I/O Error");
  b.push_back(0x01);
  EXPECT_FALSE(Read(d, b));
}

TEST(Reader, HugeCountsReadAsShortFiles) {
  // A count promising four billion entities is capped by the bytes left:
  // nothing is allocated for them and the read ends as a short file.
  JwwBytes f(600);
  f.Count(0xFFFFFFF0u);
  f.Line(MakeLine(1, 2, 3, 4));
  f.Count(0);
  TJwwData d;
  EXPECT_FALSE(Read(d, f.bytes()));
  EXPECT_EQ(d.EntLineN, 1);
  EXPECT_LE(d.EntNo.size(), f.size());

  JwwBytes g(600);
  g.Count(0);
  g.Count(0x7FFFFFFF);
  g.BlockDef(TEntJwwBlockDef{}, 0xFFFFFFFFu);
  g.Line(MakeLine(1, 2, 3, 4));
  TJwwData e;
  EXPECT_FALSE(Read(e, g.bytes()));
  ASSERT_GE(e.EntBlockDefN, 1);
  EXPECT_LE(e.EntBlockDef.size(), g.size());
  EXPECT_LE(e.EntBlockDef[0].mNo.size(), g.size());
  EXPECT_EQ(e.EntBlockDef[0].mLineN, 1);
}

TEST(Reader, TagsNamingNoDeclaredClassFail) {
  struct Case {
    const char* what;
    std::vector<uint8_t> tag;
  };
  const std::vector<Case> cases = {
      {"class index 0", {0x00, 0x80}},
      {"index never given out", {0x09, 0x80}},
      {"object reference", {0x02, 0x00}},
      {"big reference to nothing", {0xFF, 0x7F, 0x40, 0x00, 0x00, 0x80}},
      {"object index of the first line", {0x02, 0x80}},
  };
  for (const Case& c : cases) {
    JwwBytes f(600);
    f.Count(3);
    f.Line(MakeLine(1, 1, 2, 2));
    f.raw().bytes(c.tag.data(), c.tag.size());
    f.raw().fill(0, 47);
    f.Line(MakeLine(3, 3, 4, 4));
    f.Count(0);
    TJwwData d;
    EXPECT_FALSE(Read(d, f.bytes())) << c.what;
    EXPECT_EQ(d.LastReadError, "File I/O Error") << c.what;
    EXPECT_EQ(d.EntLineN, 1) << c.what;
  }
}

TEST(Reader, UnknownClassNamesFail) {
  for (const std::string& name :
       std::vector<std::string>{"CDataFoo", "CDataList", "CDataSenX", std::string(300, 'C')}) {
    JwwBytes f(600);
    f.Count(2);
    f.Line(MakeLine(1, 1, 2, 2));
    WriteNewClass(f.raw(), 600, name);
    f.raw().fill(0, 47);
    f.Count(0);
    TJwwData d;
    EXPECT_FALSE(Read(d, f.bytes())) << name;
    EXPECT_EQ(d.EntLineN, 1);
  }
}

TEST(Reader, BigClassReferenceResolves) {
  JwwBytes f(600);
  f.Count(2);
  f.Line(MakeLine(1, 1, 2, 2));
  const uint8_t big[] = {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80};  // class 1
  f.raw().bytes(big, sizeof big);
  f.LineBody(MakeLine(3, 3, 4, 4));
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.EntLineN, 2);
  EXPECT_EQ(d.EntLine[1].start_x, 3);
}

TEST(Reader, BlockDefinitionWithoutFixedPartFails) {
  JwwBytes f(600);
  f.Count(0);
  f.Count(2);
  f.BlockDef(TEntJwwBlockDef{}, 3);
  for (int i = 0; i < 3; ++i) f.Line(MakeLine(i, 0, 0, 0));
  f.Tag("CDataList");
  TJwwData d;
  EXPECT_FALSE(Read(d, f.bytes()));
  EXPECT_EQ(d.LastReadError, "File I/O Error");
  ASSERT_EQ(d.EntBlockDefN, 2);
  EXPECT_EQ(d.EntBlockDef[0].mLineN, 3);
  EXPECT_EQ(d.EntBlockDef[1].N, 0);
}

// ---- images ----

namespace {

std::vector<uint8_t> Content(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

std::vector<uint8_t> FileContent(const fs::path& p) {
  std::vector<uint8_t> v;
  ReadFileBytes(p.string(), v);
  return v;
}

size_t FilesUnder(const fs::path& p) {
  size_t n = 0;
  for (auto it = fs::recursive_directory_iterator(p); it != fs::recursive_directory_iterator();
       ++it)
    ++n;
  return n;
}

// A version 700 drawing up to its image section.
struct ImageFile : JwwBytes {
  ImageFile() : JwwBytes(700) {
    Count(1);
    Moji(MakeMoji(u"^@BM%temp%logo.png.gz,100,50"));
    Count(0);
  }
};

}  // namespace

TEST(ReaderImages, Version700WithNoImages) {
  ImageFile f;
  f.raw().i32(0);
  TJwwData d;
  d.BindImageExp = true;
  EXPECT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.BindImageN, 0);
  // A version 600 file has no image section at all.
  JwwBytes g(600);
  g.Count(0);
  g.Count(0);
  EXPECT_TRUE(Read(d, g.bytes()));
}

TEST(ReaderImages, ExtractsIntoTheWorkingFolder) {
  TempDir tmp;
  ImageFile f;
  f.raw().i32(4);
  std::vector<uint8_t> big = Content(5000, 3), small = Content(10, 9);
  f.Image(u"logo.png.gz", big);
  f.Image(u"", {});
  f.Image(u"empty.bmp", {});
  f.Image(u"second.jpg", small);
  TJwwData d;
  d.BindImageExp = true;
  d.BindImageFolder = tmp.folder();
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  ASSERT_EQ(d.BindImageN, 3);
  EXPECT_EQ(d.BindImage[0].Fname, u"logo.png.gz");
  EXPECT_EQ(d.BindImage[0].Fsize, 5000);
  EXPECT_EQ(d.BindImage[1].Fname, u"empty.bmp");
  EXPECT_EQ(d.BindImage[2].Fname, u"second.jpg");
  EXPECT_EQ(FileContent(tmp.path() / "logo.png.gz"), big);
  EXPECT_EQ(FileContent(tmp.path() / "second.jpg"), small);
  EXPECT_FALSE(fs::exists(tmp.path() / "empty.bmp"));  // size 0: no content, no file
  EXPECT_EQ(FilesUnder(tmp.path()), 2u);
}

TEST(ReaderImages, FolderWithoutTrailingSeparatorStillHoldsTheImages) {
  TempDir tmp;
  ImageFile f;
  f.raw().i32(1);
  f.Image(u"a.png", Content(20, 1));
  TJwwData d;
  d.BindImageExp = true;
  d.BindImageFolder = (tmp.path() / "work").string();
  fs::create_directories(tmp.path() / "work");
  ASSERT_TRUE(Read(d, f.bytes()));
  EXPECT_TRUE(fs::exists(tmp.path() / "work" / "a.png"));
  EXPECT_FALSE(fs::exists(tmp.path() / "worka.png"));
}

TEST(ReaderImages, UnsafeNamesAreSkippedAndNothingLeavesTheFolder) {
  TempDir tmp;
  fs::create_directories(tmp.path() / "work" / "sub");
  ImageFile f;
  const std::vector<std::u16string> bad = {
      u"../escape.png", u"..",           u"sub/x.png", u"sub\\y.png",
      u"C:z.png",       u"/tmp/abs.png", u".",         u"a\u0001b.png"};
  f.raw().i32(static_cast<int32_t>(bad.size() + 1));
  for (const std::u16string& name : bad) f.Image(name, Content(64, 5));
  f.Image(u"fine.png", Content(33, 2));
  TJwwData d;
  d.BindImageExp = true;
  d.BindImageFolder = (tmp.path() / "work").string() + "/";
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  // The stream stayed in step: the last image was found and extracted.
  ASSERT_EQ(d.BindImageN, 2);  // "a\x01b.png" reads as "ab.png", a plain name
  EXPECT_EQ(d.BindImage[0].Fname, u"ab.png");
  EXPECT_EQ(d.BindImage[1].Fname, u"fine.png");
  EXPECT_EQ(FileContent(tmp.path() / "work" / "fine.png"), Content(33, 2));
  EXPECT_FALSE(fs::exists(tmp.path() / "escape.png"));
  EXPECT_FALSE(fs::exists(tmp.path() / "work" / "sub" / "x.png"));
  EXPECT_FALSE(fs::exists("/tmp/abs.png"));
  EXPECT_EQ(FilesUnder(tmp.path()), 4u);  // work, work/sub, ab.png, fine.png
}

TEST(ReaderImages, ExtractionFailureKeepsTheStreamInStep) {
  TempDir tmp;
  ImageFile f;
  f.raw().i32(2);
  f.Image(u"first.png", Content(3000, 1));
  f.Image(u"second.png", Content(100, 2));
  TJwwData d;
  d.BindImageExp = true;
  d.BindImageFolder = (tmp.path() / "missing").string() + "/";  // cannot be written
  ASSERT_TRUE(Read(d, f.bytes())) << d.LastReadError;
  EXPECT_EQ(d.BindImageN, 2);
  EXPECT_EQ(d.BindImage[1].Fname, u"second.png");
  EXPECT_EQ(FilesUnder(tmp.path()), 0u);

  // A file that exists as a folder cannot be created either.
  fs::create_directories(tmp.path() / "w" / "first.png");
  d.BindImageFolder = (tmp.path() / "w").string() + "/";
  ASSERT_TRUE(Read(d, f.bytes()));
  EXPECT_EQ(FileContent(tmp.path() / "w" / "second.png"), Content(100, 2));
}

TEST(ReaderImages, ReadPastWithoutExtractingOrNotAtAll) {
  TempDir tmp;
  ImageFile f;
  f.raw().i32(1);
  f.Image(u"a.png", Content(50, 1));
  TJwwData d;
  d.BindImageFolder = tmp.folder();
  d.BindImageExr = true;
  ASSERT_TRUE(Read(d, f.bytes()));
  EXPECT_EQ(d.BindImageN, 1);
  EXPECT_EQ(FilesUnder(tmp.path()), 0u);

  // Neither flag: the section is not read, so even a broken one passes.
  ImageFile g;
  g.raw().i32(5);
  g.raw().i32(-1);
  d.BindImageExr = false;
  EXPECT_TRUE(Read(d, g.bytes()));
  EXPECT_EQ(d.BindImageN, 0);
}

TEST(ReaderImages, BadSizesEndTheReadKeepingWhatWasRead) {
  TempDir tmp;
  for (int32_t size : {-1, -100000, 1000}) {
    ImageFile f;
    f.raw().i32(2);
    f.Image(u"ok.png", Content(10, 1));
    f.Str(u"bad.png");
    f.raw().i32(size);
    f.raw().fill(0x11, 20);
    TJwwData d;
    d.BindImageExp = true;
    d.BindImageFolder = tmp.folder();
    EXPECT_FALSE(Read(d, f.bytes())) << size;
    EXPECT_EQ(d.BindImageN, 1);
    EXPECT_EQ(d.EntMojiN, 1);
    EXPECT_FALSE(fs::exists(tmp.path() / "bad.png"));
  }
  // An image count promising more than the file holds.
  ImageFile f;
  f.raw().i32(0x7FFFFFFF);
  f.Image(u"ok.png", Content(10, 1));
  TJwwData d;
  d.BindImageExr = true;
  EXPECT_FALSE(Read(d, f.bytes()));
  EXPECT_EQ(d.BindImageN, 1);
  // A missing count.
  ImageFile g;
  EXPECT_FALSE(Read(d, g.bytes()));
}

// ---- text macro values ----

TEST(Reader, TextMacroValues) {
  TJwwData src;
  src.Enthd.lnDrawTime = 7530;
  src.Enthd.strMemo = u"first\r\nsecond\r\nthird";
  src.Enthd.dPrtBairitsu = 0.5;
  JwwBytes f(src, 600);
  f.Count(0);
  f.Count(0);
  TJwwData d;
  ASSERT_TRUE(d.ReadFromBuffer(f.bytes(), "C:/drawings/plan.jww"));
  EXPECT_EQ(d.Macro.fileName, "C:/drawings/plan.jww");
  EXPECT_EQ(d.Macro.drawTime, u"2 : 05");
  EXPECT_EQ(d.Macro.memo1, u"first");
  EXPECT_EQ(d.Macro.memo2, u"second\r\nthird");
  EXPECT_EQ(d.Macro.memoAll, u"first\u3000second\r\nthird");
  EXPECT_EQ(d.Macro.prtBairitsu, 0.5);

  src.Enthd.lnDrawTime = 36000 + 59 * 60;
  src.Enthd.strMemo = u"one line";
  JwwBytes g(src, 600);
  g.Count(0);
  g.Count(0);
  ASSERT_TRUE(d.ReadFromBuffer(g.bytes(), "x"));
  EXPECT_EQ(d.Macro.drawTime, u"10 : 59");
  EXPECT_EQ(d.Macro.memo1, u"one line");
  EXPECT_EQ(d.Macro.memo2, u"");
  EXPECT_EQ(d.Macro.memoAll, u"one line");
}

// ---- files, previews and reuse ----

namespace {

// 8 entities, then one definition of 5 members.
std::vector<uint8_t> PreviewSample() {
  JwwBytes f(700);
  f.Count(8);
  for (int i = 0; i < 6; ++i) f.Line(MakeLine(i, 0, i, 1));
  f.Moji(MakeMoji(u"t"));
  TEntJwwBlock ins;
  ins.att = MakeAttr(1, 1);
  ins.dBairitsuX = ins.dBairitsuY = 1;
  ins.nNumber = 1;
  f.Block(ins);
  f.Count(1);
  TEntJwwBlockDef def;
  def.nNumber = 1;
  def.strName = u"five";
  f.BlockDef(def, 5);
  for (int i = 0; i < 5; ++i) f.Ten(MakeTen(1));
  f.raw().i32(1);
  f.Image(u"p.png", Content(10, 1));
  return f.bytes();
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& b) {
  std::ofstream o(p, std::ios::binary);
  o.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace

TEST(ReaderFiles, FileInReadsFromDiskAndFailsOnMissingFiles) {
  TempDir tmp;
  const fs::path p = tmp.path() / "plan.jww";
  WriteFile(p, PreviewSample());
  TJwwData d;
  EXPECT_TRUE(d.FileIn(p.string())) << d.LastReadError;
  EXPECT_EQ(d.EntLineN, 6);
  EXPECT_EQ(d.Macro.fileName, p.string());
  EXPECT_FALSE(d.FileIn((tmp.path() / "none.jww").string()));
  EXPECT_EQ(d.EntLineN, 0);
  EXPECT_FALSE(d.FileIn(tmp.path().string()));  // a folder
}

TEST(ReaderFiles, PreviewStopsAtTheObjectLimit) {
  TempDir tmp;
  const fs::path p = tmp.path() / "plan.jww";
  WriteFile(p, PreviewSample());

  TJwwData d;
  d.Macro.fileName = "kept";
  ASSERT_TRUE(d.FilePrevIn(p.string(), 10));
  EXPECT_EQ(d.Macro.fileName, "kept");
  EXPECT_EQ(d.EntLineN + d.EntMojiN + d.EntBlockN, 8);
  ASSERT_EQ(d.EntBlockDefN, 1);
  EXPECT_EQ(d.EntBlockDef[0].mTenN, 2);
  EXPECT_EQ(d.EntBlockDef[0].N, 5);
  EXPECT_EQ(d.EntBlockDef[0].mNo[2], (TEntJwwNo{0, 0}));
  ExpectConsistent(d, "preview 10");

  // Stopped inside the entity list: no definitions are read.
  ASSERT_TRUE(d.FilePrevIn(p.string(), 5));
  EXPECT_EQ(d.EntLineN, 5);
  EXPECT_EQ(d.EntBlockDefN, 0);
  EXPECT_EQ(d.Enthd.n1, 8);
  ExpectConsistent(d, "preview 5");

  // Exactly the entity list: the definition list is not begun.
  ASSERT_TRUE(d.FilePrevIn(p.string(), 8));
  EXPECT_EQ(d.EntBlockDefN, 0);

  for (int32_t limit : {0, -3}) {
    ASSERT_TRUE(d.FilePrevIn(p.string(), limit));
    EXPECT_EQ(d.EntLineN + d.EntMojiN + d.EntBlockN, 0);
    EXPECT_EQ(d.EntBlockDefN, 0);
    EXPECT_EQ(d.Enthd.jwVer, 700);
  }

  // A limit beyond the file reads what FileIn reads, without images.
  TempDir work;
  ASSERT_TRUE(d.FilePrevIn(p.string(), 1000));
  TJwwData full;
  full.BindImageExp = true;
  full.BindImageFolder = work.folder();
  ASSERT_TRUE(full.FileIn(p.string()));
  EXPECT_EQ(d.EntNo, full.EntNo);
  EXPECT_EQ(d.EntBlockDef[0].mNo, full.EntBlockDef[0].mNo);
  EXPECT_EQ(d.BindImageN, 0);
  EXPECT_EQ(full.BindImageN, 1);

  EXPECT_FALSE(d.FilePrevIn((tmp.path() / "none.jww").string(), 10));
}

TEST(ReaderFiles, ReadingAgainAfterDataFreeGivesTheSameDocument) {
  std::vector<uint8_t> b = PreviewSample();
  TJwwData fresh, reused;
  reused.BindImageExr = fresh.BindImageExr = true;
  ASSERT_TRUE(fresh.ReadFromBuffer(b));
  JwwBytes other(300);
  other.Count(1);
  other.Moji(MakeMoji(u"other"));
  other.Count(0);
  ASSERT_TRUE(reused.ReadFromBuffer(other.bytes()));
  reused.DataFree();
  ASSERT_TRUE(reused.ReadFromBuffer(b));
  EXPECT_EQ(reused.EntNo, fresh.EntNo);
  EXPECT_EQ(reused.EntMoji[0].str, fresh.EntMoji[0].str);
  EXPECT_EQ(reused.EntBlockDef[0].mNo, fresh.EntBlockDef[0].mNo);
  EXPECT_EQ(reused.MojiEncode, fresh.MojiEncode);
  EXPECT_EQ(reused.BindImageN, fresh.BindImageN);
}

// ---- corpus ----

namespace {

std::vector<fs::path> CorpusFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".jww") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(ReaderCorpus, EveryFileReads) {
  auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  std::vector<fs::path> files = CorpusFiles(*dir);
  ASSERT_FALSE(files.empty());
  for (const fs::path& p : files) {
    TJwwData d;
    d.BindImageExr = true;
    ASSERT_TRUE(d.FileIn(p.string())) << p << ": " << d.LastReadError;
    ExpectConsistent(d, p.string());
    int32_t filled = 0;
    for (const TEntJwwNo& e : d.EntNo) filled += e.EntType != 0;
    EXPECT_EQ(filled, d.Enthd.n1) << p;
    EXPECT_EQ(
        d.EntLineN + d.EntEnkoN + d.EntTenN + d.EntMojiN + d.EntSunpoN + d.EntSolidN + d.EntBlockN,
        d.Enthd.n1)
        << p;
    // The last bytes belong to the file's structure: without them it is short.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(p.string(), bytes));
    bytes.pop_back();
    TJwwData cut;
    cut.BindImageExr = true;
    EXPECT_FALSE(cut.ReadFromBuffer(bytes)) << p;
  }
}

TEST(ReaderCorpus, TruncatedFilesNeverBreakTheDocument) {
  auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  for (const fs::path& p : CorpusFiles(*dir)) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(p.string(), bytes));
    // The offset where the header ends, found by a successful header read.
    TJwwData h;
    ByteReader in(bytes);
    ASSERT_TRUE(h.ReadHeader(in)) << p;
    const size_t headerEnd = in.pos();

    std::vector<size_t> cuts = {
        0, 11, 12, headerEnd - 1, headerEnd, headerEnd + 1, bytes.size() - 2, bytes.size() - 1};
    std::mt19937 rng(static_cast<uint32_t>(bytes.size()));
    std::uniform_int_distribution<size_t> anywhere(0, bytes.size() - 1);
    std::uniform_int_distribution<size_t> body(headerEnd, bytes.size() - 1);
    while (cuts.size() < 300) cuts.push_back(cuts.size() % 3 == 0 ? anywhere(rng) : body(rng));

    for (size_t cut : cuts) {
      std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
      TJwwData d;
      d.BindImageExr = true;
      EXPECT_FALSE(d.ReadFromBuffer(part)) << p << " cut at " << cut;
      ExpectConsistent(d, p.string() + " cut at " + std::to_string(cut));
      if (::testing::Test::HasFailure()) return;
    }
  }
}
