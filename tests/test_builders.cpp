// SPDX-License-Identifier: GPL-3.0-or-later
// Entity builders: attribute repair, flag translation, geometry of the
// derived forms, growth in steps and the all-or-nothing rule.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>

#include "jww/document.h"
#include "jww/dump.h"
#include "support/temp_dir.h"

using jww::TEntJwwNo;
using jww::TJwwData;

using TempDir = testjww::TempDir;

namespace {

constexpr double kPi = std::numbers::pi;

TJwwData Fresh() {
  TJwwData d;
  d.DataDefaultSet();
  return d;
}

// A line with plain attributes: group 0, layer 0, colour 1, style 1.
bool AddLine(TJwwData& d, double x = 0) { return d.AddEntLine(0, 0, 0, 1, 1, 0, 0, x, 0, 1, 1); }

int32_t AddDef(TJwwData& d, const std::u16string& name, int32_t bf = 1) {
  if (!d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, bf, name)) return -1;
  return d.EntBlockDefN - 1;
}

// Text of the reference-point form with sizes pw 4, ph 5, spacing 1 (text
// type 0 keeps them), at (10, 20), rotated by `angle`.
const jww::TEntJwwMoji& TextAt(TJwwData& d, int32_t code, const std::u16string& s, double angle = 0,
                               int32_t fl = 0) {
  EXPECT_TRUE(d.AddEntMojiAt(0, 0, 0, 1, code, 0, fl, 0, 10, 20, 4, 5, 1, angle, u"", s));
  return d.EntMoji[d.EntMojiN - 1];
}

}  // namespace

// ---- growth ----

TEST(Builders, TopLevelArraysGrowInStepsOfAThousand) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntPre());
  EXPECT_EQ(d.EntLine.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(AddLine(d, i));
  EXPECT_EQ(d.EntLine.size(), 1000u);
  ASSERT_TRUE(AddLine(d, 1000));
  EXPECT_EQ(d.EntLine.size(), 2000u);
  EXPECT_EQ(d.EntNo.size(), 2000u);
  EXPECT_EQ(d.EntLineN, 1001);
  EXPECT_EQ(d.Enthd.n1, 1001);
  EXPECT_EQ(d.EntNo[1000], (TEntJwwNo{1, 1000}));
  EXPECT_EQ(d.EntLine[1000].start_x, 1000);

  ASSERT_TRUE(d.AddEntPost());
  EXPECT_EQ(d.EntLine.size(), 1001u);
  EXPECT_EQ(d.EntNo.size(), 1001u);
  EXPECT_TRUE(d.EntEnko.empty());

  // Adding after the trim grows the array again instead of writing past it.
  ASSERT_TRUE(AddLine(d, 1001));
  EXPECT_GE(d.EntLine.size(), 1002u);
  EXPECT_EQ(d.EntLine[1001].start_x, 1001);
}

TEST(Builders, DefinitionArraysGrowInStepsOfFiveHundred) {
  TJwwData d = Fresh();
  const int32_t def = AddDef(d, u"A");
  ASSERT_EQ(def, 0);
  ASSERT_TRUE(d.AddEntPre());
  EXPECT_EQ(d.EntBlockDef[0].mLine.size(), 500u);
  EXPECT_EQ(d.EntBlockDef[0].mNo.size(), 500u);
  for (int i = 0; i < 501; ++i) ASSERT_TRUE(d.AddBlkLine(def, 0, 0, 0, 1, 1, 0, 0, i, 0, 0, 0));
  const auto& b = d.EntBlockDef[0];
  EXPECT_EQ(b.mLine.size(), 1000u);
  EXPECT_EQ(b.mNo.size(), 1000u);
  EXPECT_EQ(b.mLineN, 501);
  EXPECT_EQ(b.N, 501);
  EXPECT_EQ(b.mNo[500], (TEntJwwNo{1, 500}));
  EXPECT_EQ(d.EntLineN, 0);
  EXPECT_EQ(d.Enthd.n1, 0);
  d.AddBlkDefPost(def);
  EXPECT_EQ(b.mLine.size(), 501u);
  EXPECT_EQ(b.mNo.size(), 501u);
  EXPECT_TRUE(b.mEnko.empty());
}

TEST(Builders, FirstAdditionWithoutPreSizing) {
  TJwwData d;
  ASSERT_TRUE(AddLine(d));
  EXPECT_EQ(d.EntLine.size(), 1000u);
  EXPECT_EQ(d.EntNo.size(), 1000u);
}

// ---- attributes ----

TEST(Builders, RepairsLayerColourAndStyle) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntLine(7, 16, -1, 0, 10, 25, 0, 1, 2, 3, 4));
  const auto& a = d.EntLine[0].att;
  EXPECT_EQ(a.lGroup, 7u);
  EXPECT_EQ(a.nGLayer, 0);
  EXPECT_EQ(a.nLayer, 0);
  EXPECT_EQ(a.nPenColor, jww::DefaultPenColor);
  EXPECT_EQ(a.nPenStyle, jww::DefaultPenStyle);
  EXPECT_EQ(a.nPenWidth, 25);
  EXPECT_EQ(d.EntLine[0].end_y, 4);

  struct Case {
    int32_t co, tp;
    uint16_t wantCo;
    uint8_t wantTp;
  };
  const Case cases[] = {{10, 9, 10, 9},     {11, 11, 1, 11},  {100, 19, 1, 19}, {101, 20, 101, 1},
                        {356, 31, 356, 31}, {357, 62, 1, 62}, {5, 63, 5, 1},    {-3, 30, 1, 1}};
  for (const Case& c : cases) {
    ASSERT_TRUE(d.AddEntLine(0, 15, 15, c.co, c.tp, 0, 0, 0, 0, 0, 0));
    const auto& att = d.EntLine[d.EntLineN - 1].att;
    EXPECT_EQ(att.nPenColor, c.wantCo) << c.co;
    EXPECT_EQ(att.nPenStyle, c.wantTp) << c.tp;
    EXPECT_EQ(att.nGLayer, 15);
    EXPECT_EQ(att.nLayer, 15);
  }
}

TEST(Builders, TranslatesOptionBitsPerKind) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 31, 0, 0, 1, 1));
  EXPECT_EQ(d.EntLine[0].att.sFlg, 0x20 | 0x2000 | 0x800 | 0x8000 | 0x1000);
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 4 | 32, 0, 0, 1, 1));
  EXPECT_EQ(d.EntLine[1].att.sFlg, 0x800);

  ASSERT_TRUE(d.AddEntArc(0, 0, 0, 1, 1, 0, 1 | 2 | 4 | 16, 0, 0, 1, 1, 0, 90, 0));
  EXPECT_EQ(d.EntEnko[0].att.sFlg, 0x20 | 0x40 | 0x10 | 0x80);

  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 1, 1, 0, 1 | 2 | 4 | 8 | 16, 0, 0, 0, 1, 0, 1, 1));
  EXPECT_EQ(d.EntSolid[0].att.sFlg, 0x20 | 0x2000 | 0x800 | 0x1000);

  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 0xFFF, 0, 0, 0, 1, 0, 2, 2, 0, 0, u"", u"a"));
  EXPECT_EQ(d.EntMoji[0].att.sFlg,
            0x4010 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x1000 | 0x8000 | 0x2000 | 0x800);
  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0, 2, 2, 0, 0, u"", u"a"));
  EXPECT_EQ(d.EntMoji[1].att.sFlg, 0);

  const int32_t def = AddDef(d, u"F");
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 1 | 2 | 4 | 8, 1, u"G"));
  EXPECT_EQ(d.EntBlockDef[def].att.sFlg, 0);
  EXPECT_EQ(d.EntBlockDef[def + 1].att.sFlg, 0x20 | 0x2000 | 0x800 | 0x1000);
  ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 16 | 8, def, 0, 0, 1, 1, 0));
  EXPECT_EQ(d.EntBlock[0].att.sFlg, 0x1000);
  EXPECT_EQ(d.EntBlock[0].att.nPenStyle, 1 | 0x40);
}

// ---- arcs and points ----

TEST(Builders, ArcAnglesAndFullCircle) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntArc(0, 0, 0, 1, 1, 0, 0, 5, 6, 10, 0.5, 30, 90, 45));
  const auto& a = d.EntEnko[0];
  EXPECT_EQ(a.start_x, 5);
  EXPECT_EQ(a.start_y, 6);
  EXPECT_EQ(a.dHankei, 10);
  EXPECT_EQ(a.dHenpeiRitsu, 0.5);
  EXPECT_DOUBLE_EQ(a.radKaishiKaku, kPi / 6);
  EXPECT_DOUBLE_EQ(a.radEnkoKaku, kPi / 2);
  EXPECT_DOUBLE_EQ(a.radKatamukiKaku, kPi / 4);
  EXPECT_EQ(a.bZenEnFlg, 0u);

  ASSERT_TRUE(d.AddEntArc(0, 0, 0, 1, 1, 0, 8, 0, 0, 10, 1, 30, 90, 0));
  const auto& c = d.EntEnko[1];
  EXPECT_EQ(c.radKaishiKaku, 0);
  EXPECT_DOUBLE_EQ(c.radEnkoKaku, 2 * kPi);
  EXPECT_EQ(c.bZenEnFlg, 1u);
  EXPECT_EQ(c.att.sFlg, 0);
}

TEST(Builders, PointCodes) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 0, 12, 0, 0, 1, 2, 90, 0));
  EXPECT_EQ(d.EntTen[0].nCode, 0u);
  EXPECT_EQ(d.EntTen[0].att.nPenStyle, 1);
  EXPECT_EQ(d.EntTen[0].att.nPenColor, 1);  // colour 0 repaired
  EXPECT_EQ(d.EntTen[0].dBairitsu, 1.0);    // scale 0 becomes 1
  EXPECT_DOUBLE_EQ(d.EntTen[0].radKaitenKaku, kPi / 2);
  EXPECT_EQ(d.EntTen[0].bKariten, 0u);

  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 2, 3, 0, 8, 1, 2, 0, 2));
  EXPECT_EQ(d.EntTen[1].nCode, 0u);
  EXPECT_EQ(d.EntTen[1].att.nPenStyle, 1);
  EXPECT_EQ(d.EntTen[1].bKariten, 1u);
  EXPECT_EQ(d.EntTen[1].dBairitsu, 2.0);

  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 2, -7, 0, 0, 1, 2, 0, 1));
  EXPECT_EQ(static_cast<int32_t>(d.EntTen[2].nCode), -7);
  EXPECT_EQ(d.EntTen[2].att.nPenStyle, 100);
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 2, 11, 0, 0, 1, 2, 0, 1));
  EXPECT_EQ(d.EntTen[3].nCode, 11u);
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 2, -8, 0, 0, 1, 2, 0, 1));
  EXPECT_EQ(d.EntTen[4].nCode, 0u);
}

// ---- texts ----

TEST(Builders, TextTypeSuppliesSizeSpacingAndColour) {
  TJwwData d = Fresh();
  ASSERT_TRUE(
      d.AddEntMoji(0, 0, 0, 7, 0, 0, 0, 20003, 0, 0, 10, 0, 9, 9, 9, 15, u"ＭＳ 明朝", u"abc"));
  const auto& t = d.EntMoji[0];
  EXPECT_EQ(t.nMojiShu, 20003u);
  EXPECT_EQ(t.dSizeX, 3.0);
  EXPECT_EQ(t.dSizeY, 3.0);
  EXPECT_EQ(t.dKankaku, 0.5);
  EXPECT_EQ(t.att.nPenColor, 2);
  EXPECT_EQ(t.att.nPenStyle, 1);  // 0 is no text style
  EXPECT_EQ(t.degKakudo, 15);
  EXPECT_EQ(t.strFontName, u"ＭＳ 明朝");
  EXPECT_EQ(t.str, u"abc");
  EXPECT_EQ(t.end_x, 10);

  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 7, 9, 0, 0, 20015, 0, 0, 10, 0, 9, 8, 7, 0, u"", u"x"));
  const auto& u = d.EntMoji[1];
  EXPECT_EQ(u.nMojiShu, 20000u);
  EXPECT_EQ(u.dSizeX, 9);
  EXPECT_EQ(u.dSizeY, 8);
  EXPECT_EQ(u.dKankaku, 7);
  EXPECT_EQ(u.att.nPenColor, 7);
  EXPECT_EQ(u.att.nPenStyle, 9);

  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 10, 0, 0, 1, 0, 1, 1, 1, 0, u"", u"x"));
  EXPECT_EQ(d.EntMoji[2].dSizeY, 10.0);
  EXPECT_EQ(d.EntMoji[2].att.nPenColor, 5);
}

TEST(Builders, ReferencePointTextForEveryBaseCode) {
  // "AB漢": 2 + 2 + 4 wide, spacing 0.5 after each half-width character.
  const double L = 9, H = 5;
  for (int code = 1; code <= 9; ++code) {
    SCOPED_TRACE(code);
    TJwwData d = Fresh();
    const auto& t = TextAt(d, code, u"AB漢");
    const double col = (code - 1) % 3, row = (code - 1) / 3;
    EXPECT_NEAR(t.start_x, 10 - col * L / 2, 1e-12);
    EXPECT_NEAR(t.start_y, 20 - row * H / 2, 1e-12);
    EXPECT_NEAR(t.end_x, t.start_x + L, 1e-12);
    EXPECT_NEAR(t.end_y, t.start_y, 1e-12);
    EXPECT_EQ(t.att.nPenStyle, code);
  }
}

TEST(Builders, ReferencePointTextRotatedAndMeasured) {
  TJwwData d = Fresh();
  // Rotated by 90°: offsets turn with the text.
  const auto& r = TextAt(d, 9, u"漢字", 90);  // L = 4 + 1 + 4, H = 5
  EXPECT_NEAR(r.start_x, 10 + 5, 1e-12);
  EXPECT_NEAR(r.start_y, 20 - 9, 1e-12);
  EXPECT_NEAR(r.end_x, 15, 1e-12);
  EXPECT_NEAR(r.end_y, 20, 1e-12);

  const auto& right = TextAt(d, 3, u"漢字", 30);
  EXPECT_EQ(right.end_x, 10);
  EXPECT_EQ(right.end_y, 20);

  const auto& kana = TextAt(d, 3, u"ｱｲ");  // half-width katakana: 2 + 0.5 + 2
  EXPECT_NEAR(kana.start_x, 10 - 4.5, 1e-12);
  const auto& pair = TextAt(d, 3, u"\U0002000B");  // one character from a surrogate pair
  EXPECT_NEAR(pair.start_x, 10 - 4, 1e-12);
  const auto& control = TextAt(d, 3, u"A\tB");  // control characters take no room
  EXPECT_NEAR(control.start_x, 10 - 4.5, 1e-12);
  const auto& empty = TextAt(d, 5, u"");
  EXPECT_EQ(empty.start_x, 10);
  EXPECT_NEAR(empty.start_y, 20 - 2.5, 1e-12);

  // Vertical text: 3 characters of height 5 with spacing 1; cross size = width.
  const auto& v = TextAt(d, 9, u"漢字A", 0, 4);
  EXPECT_NEAR(v.start_x, 10 - 17, 1e-12);
  EXPECT_NEAR(v.start_y, 20 - 4, 1e-12);
  EXPECT_EQ(v.att.sFlg, 0x20);
}

TEST(Builders, ReferencePointTextUsesTheTextTypeSize) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntMojiAt(0, 0, 0, 1, 3, 0, 0, 5, 0, 0, 99, 99, 99, 0, u"", u"AB"));
  // Text type 5: 5 wide, spacing 0.5 → 2.5 + 0.25 + 2.5.
  EXPECT_NEAR(d.EntMoji[0].start_x, -5.25, 1e-12);
  EXPECT_EQ(d.EntMoji[0].dSizeX, 5);
}

// ---- dimensions ----

namespace {

TJwwData::TSunpoSxfParts MeasuredParts() {
  TJwwData::TSunpoSxfParts s;
  s.ho1 = {1, 3, 2, 13, 1 | 2 | 4};
  s.ho2 = {1, 0, 70, 0, 0};
  s.te1 = {2, 4, 12, 0, 16};
  s.te2 = {1, 4, 3, 0, 0, 0, 0, 0, 0, 0.5};
  s.kt1 = {1, 5, -3, 0, 0, 0, 0};
  s.kt2 = {1, 5, 1, 0, 0, 100, 0};
  return s;
}

}  // namespace

TEST(Builders, DimensionWithAuxiliaryLinesFromDistances) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntSunpoSxfAtDist(0, 2, 3, 6, 2, 0, 1 | 2 | 4, 7, 2, 0, 2 | 4, 0, 0, -10, 100,
                                     -10, 50, -9, 3, 3, 0.5, 0, u"", u"100", MeasuredParts(), 2,
                                     3));
  const auto& s = d.EntSunpo[0];
  EXPECT_EQ(s.bSxfMode, 1);
  EXPECT_EQ(s.att.sFlg, 0x2000);
  EXPECT_EQ(s.att.nGLayer, 2);
  EXPECT_EQ(s.att.nLayer, 3);
  EXPECT_EQ(s.Sen.att.sFlg, 0x2000 | 0x20 | 0x800);
  EXPECT_EQ(s.Sen.end_x, 100);
  EXPECT_EQ(s.Moji.att.sFlg, 0x4010 | 0x20);
  EXPECT_EQ(s.Moji.att.nPenColor, 7);
  EXPECT_EQ(s.Moji.str, u"100");

  // Reference point (0, 0), end (0, -10): from 2 after the point to 3 beyond the end.
  EXPECT_NEAR(s.Ho1.start_x, 0, 1e-12);
  EXPECT_NEAR(s.Ho1.start_y, -2, 1e-12);
  EXPECT_NEAR(s.Ho1.end_x, 0, 1e-12);
  EXPECT_NEAR(s.Ho1.end_y, -13, 1e-12);
  EXPECT_NEAR(s.Ho2.start_x, 100, 1e-12);
  EXPECT_NEAR(s.Ho2.end_y, -13, 1e-12);
  EXPECT_EQ(s.Ho1.att.nPenColor, 3);
  EXPECT_EQ(s.Ho1.att.nPenStyle, 2);
  EXPECT_EQ(s.Ho1.att.nPenWidth, 13);
  EXPECT_EQ(s.Ho1.att.sFlg, 0x2000 | 0x20 | 0x800);
  EXPECT_EQ(s.Ho2.att.nPenColor, 1);  // repaired
  EXPECT_EQ(s.Ho2.att.nPenStyle, 1);

  // Arrow points at the ends of the dimension line, turned along it.
  EXPECT_EQ(s.Te1.start_x, 0);
  EXPECT_EQ(s.Te1.start_y, -10);
  EXPECT_DOUBLE_EQ(s.Te1.radKaitenKaku, kPi);
  EXPECT_EQ(s.Te1.nCode, 0u);
  EXPECT_EQ(s.Te1.att.nPenStyle, 1);
  EXPECT_EQ(s.Te1.att.sFlg, 0x40 | 0x80);
  EXPECT_EQ(s.Te1.dBairitsu, 1.0);
  EXPECT_EQ(s.Te2.start_x, 100);
  EXPECT_EQ(s.Te2.radKaitenKaku, 0);
  EXPECT_EQ(s.Te2.nCode, 3u);
  EXPECT_EQ(s.Te2.att.nPenStyle, 100);
  EXPECT_EQ(s.Te2.dBairitsu, 0.5);
  EXPECT_EQ(s.Te2.bKariten, 0u);

  // Reference points are temporary; their codes lie in -7..0.
  EXPECT_EQ(static_cast<int32_t>(s.Kt1.nCode), -3);
  EXPECT_EQ(s.Kt1.att.nPenStyle, 100);
  EXPECT_EQ(s.Kt1.bKariten, 1u);
  EXPECT_EQ(s.Kt2.start_x, 100);
  EXPECT_EQ(s.Kt2.nCode, 0u);
  EXPECT_EQ(s.Kt2.att.nPenStyle, 1);
  EXPECT_EQ(s.Kt2.bKariten, 1u);
}

TEST(Builders, AuxiliaryLineOfCoincidentPointsRunsAlongX) {
  TJwwData d = Fresh();
  auto parts = MeasuredParts();
  parts.kt1.x1 = 5;
  parts.kt1.y1 = 5;
  ASSERT_TRUE(d.AddEntSunpoSxfAtDist(0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 5, 5, 20, 5, 10, 6, 3, 3,
                                     0.5, 0, u"", u"15", parts, 1, 2));
  const auto& h = d.EntSunpo[0].Ho1;
  EXPECT_EQ(h.start_x, 6);
  EXPECT_EQ(h.start_y, 5);
  EXPECT_EQ(h.end_x, 7);
  EXPECT_EQ(h.end_y, 5);
}

TEST(Builders, DimensionPartsAbsentOrNotSxf) {
  TJwwData d = Fresh();
  // First form: no SXF parts, each part a copy of the dimension's attribute.
  ASSERT_TRUE(d.AddEntSunpo(0, 1, 2, 3, 4, 0, 0, 2, 1, 0, 0, 0, 0, 0, 10, 0, 4, 1, 6, 1, 2, 2, 0, 0,
                            u"", u"10"));
  const auto& plain = d.EntSunpo[0];
  EXPECT_EQ(plain.bSxfMode, 0);
  EXPECT_EQ(plain.Ho1.att, plain.att);
  EXPECT_EQ(plain.Kt2.att, plain.att);
  EXPECT_EQ(plain.Te1.start_x, 0);
  EXPECT_EQ(plain.Moji.start_x, 4);
  EXPECT_EQ(plain.Moji.end_x, 6);

  // SXF form with every part absent: not SXF mode, parts keep style 0.
  ASSERT_TRUE(d.AddEntSunpoSxf(0, 1, 2, 3, 4, 0, 0, 2, 1, 0, 0, 0, 0, 0, 10, 0, 4, 1, 6, 1, 2, 2, 0,
                               0, u"", u"10", TJwwData::TSunpoSxfParts{}));
  const auto& none = d.EntSunpo[1];
  EXPECT_EQ(none.bSxfMode, 0);
  EXPECT_EQ(none.Ho1.att.nPenStyle, 0);
  EXPECT_EQ(none.Ho1.att.nPenColor, 3);
  EXPECT_EQ(none.Te2.att.nPenStyle, 0);

  // One part is enough for SXF mode.
  TJwwData::TSunpoSxfParts one;
  one.kt2 = {1, 2, 0, 0, 8, 3, 4};
  ASSERT_TRUE(d.AddEntSunpoSxf(0, 1, 2, 3, 4, 0, 0, 2, 1, 0, 0, 0, 0, 0, 10, 0, 4, 1, 6, 1, 2, 2, 0,
                               0, u"", u"10", one));
  EXPECT_EQ(d.EntSunpo[2].bSxfMode, 1);
  EXPECT_EQ(d.EntSunpo[2].Kt2.start_x, 3);
  EXPECT_EQ(d.EntSunpo[2].Kt2.start_y, 4);
  EXPECT_EQ(d.EntSunpo[2].Ho1.att.nPenStyle, 0);
}

TEST(Builders, DimensionTextByReferencePoint) {
  TJwwData d = Fresh();
  // Base code 2 (middle of the lower edge) at (50, 1); text type 0 with width 2.
  ASSERT_TRUE(d.AddEntSunpoAt(0, 0, 0, 1, 1, 0, 0, 1, 2, 0, 0, 0, 0, 0, 100, 0, 50, 1, 2, 2, 0, 0,
                              u"", u"100"));
  const auto& t = d.EntSunpo[0].Moji;
  EXPECT_NEAR(t.start_x, 50 - 1.5, 1e-12);  // three half-width characters: 1 each
  EXPECT_NEAR(t.end_x, 50 + 1.5, 1e-12);
  EXPECT_EQ(t.start_y, 1);
  EXPECT_EQ(t.att.nPenStyle, 2);
  EXPECT_EQ(d.EntSunpo[0].bSxfMode, 0);
}

// ---- solids ----

TEST(Builders, SolidColourCornersAndStyles) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 10, 1, 0, 0, 0x123456, 1, 2, 3, 4, 5, 6, 7, 8));
  EXPECT_EQ(d.EntSolid[0].Color, 0x123456u);
  EXPECT_EQ(d.EntSolid[0].DPoint3_y, 8);
  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 3, 1, 0, 0, 0x123456, 1, 2, 3, 4, 5, 6, 7, 8));
  EXPECT_EQ(d.EntSolid[1].Color, 0u);  // only with colour 10
  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 10, 1, 0, 0, 0x1000000, 1, 2, 3, 4, 5, 6, 7, 8));
  EXPECT_EQ(d.EntSolid[2].Color, 0u);
  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 10, 105, 0, 0, -1, 1, 2, 3, 4, 5, 6, 7, 8));
  EXPECT_EQ(d.EntSolid[3].Color, 0u);
  EXPECT_EQ(d.EntSolid[3].att.nPenStyle, 105);  // arc-solid code kept
  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 10, 70, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8));
  EXPECT_EQ(d.EntSolid[4].att.nPenStyle, 1);

  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 1, 1, 0, 0, 0, 1, 2, 3, 4));
  const auto& two = d.EntSolid[5];
  EXPECT_EQ(two.start_x, 1);
  EXPECT_EQ(two.end_x, 3);
  EXPECT_EQ(two.DPoint2_x, 3);
  EXPECT_EQ(two.DPoint3_y, 4);
  ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 1, 1, 0, 0, 0, 1, 2, 3, 4, 5, 6));
  const auto& three = d.EntSolid[6];
  EXPECT_EQ(three.DPoint2_x, 5);
  EXPECT_EQ(three.DPoint3_x, 1);
  EXPECT_EQ(three.DPoint3_y, 2);
}

TEST(Builders, ArcSolids) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntSolidA(0, 0, 0, 10, 0, 0, 0xFF, 1, 2, 3, 0.5, 90));
  const auto& disc = d.EntSolid[0];
  EXPECT_EQ(disc.att.nPenStyle, 111);
  EXPECT_EQ(disc.Color, 0xFFu);
  EXPECT_EQ(disc.end_x, 3);
  EXPECT_EQ(disc.end_y, 0.5);
  EXPECT_DOUBLE_EQ(disc.DPoint2_x, kPi / 2);
  EXPECT_EQ(disc.DPoint2_y, 0);
  EXPECT_DOUBLE_EQ(disc.DPoint3_x, 2 * kPi);
  EXPECT_EQ(disc.DPoint3_y, 100);

  ASSERT_TRUE(d.AddEntSolidA(0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0.5, 0, 90, 180));
  const auto& sector = d.EntSolid[1];
  EXPECT_EQ(sector.att.nPenStyle, 111);
  EXPECT_EQ(sector.att.nPenColor, 1);
  EXPECT_DOUBLE_EQ(sector.DPoint2_y, kPi / 2);
  EXPECT_DOUBLE_EQ(sector.DPoint3_x, kPi);
  EXPECT_EQ(sector.DPoint3_y, 0);

  const double kinds[] = {0, 5, -1, 100};
  for (int tp = 1; tp <= 4; ++tp) {
    ASSERT_TRUE(d.AddEntSolidC(0, 0, 0, 1, tp, 0, 0, 0, 1, 2, 3, 1, 0, 90, 180));
    const auto& c = d.EntSolid[d.EntSolidN - 1];
    EXPECT_EQ(c.att.nPenStyle, 101);
    EXPECT_EQ(c.DPoint3_y, kinds[tp - 1]);
    EXPECT_DOUBLE_EQ(c.DPoint2_y, tp == 4 ? 0 : kPi / 2);
    EXPECT_DOUBLE_EQ(c.DPoint3_x, tp == 4 ? 2 * kPi : kPi);
  }

  ASSERT_TRUE(d.AddEntSolidD(0, 0, 0, 1, 1, 0, 0, 0, 1, 2, 5, 3, 1, 0, 0, 360));
  EXPECT_EQ(d.EntSolid[d.EntSolidN - 1].att.nPenStyle, 105);
  EXPECT_EQ(d.EntSolid[d.EntSolidN - 1].DPoint3_y, 3);
  EXPECT_EQ(d.EntSolid[d.EntSolidN - 1].end_x, 5);
  ASSERT_TRUE(d.AddEntSolidD(0, 0, 0, 1, 2, 0, 0, 0, 1, 2, 5, 3, 1, 0, 0, 360));
  EXPECT_EQ(d.EntSolid[d.EntSolidN - 1].att.nPenStyle, 106);
}

// ---- block definitions and insertions ----

TEST(Builders, BlockDefinitionNamesAndNumbers) {
  TJwwData d = Fresh();
  EXPECT_EQ(AddDef(d, u"Door", 2), 0);
  EXPECT_EQ(d.EntBlockDef[0].strName, u"Door@@SfigorgFlag@@2");
  EXPECT_EQ(d.EntBlockDef[0].nNumber, 0u);
  EXPECT_EQ(d.EntBlockDef[0].ref_no, -1);
  EXPECT_FALSE(d.EntBlockDef[0].ref_flag);
  EXPECT_EQ(d.Enthd.n2, 1);

  EXPECT_EQ(AddDef(d, u"Door", 2), 1);
  EXPECT_EQ(d.EntBlockDef[1].strName, u"Door~1@@SfigorgFlag@@2");
  EXPECT_EQ(d.EntBlockDef[1].nNumber, 1u);

  EXPECT_EQ(AddDef(d, u"door@@sfig12", 1), 2);  // marker in any case: no suffix
  EXPECT_EQ(d.EntBlockDef[2].strName, u"door@@sfig12");
  EXPECT_EQ(AddDef(d, u"Win", 0), 3);  // flag outside 1..4
  EXPECT_EQ(d.EntBlockDef[3].strName, u"Win@@SfigorgFlag@@4");

  d.EntBlockDef[1].nNumber = 40;
  EXPECT_EQ(AddDef(d, u"Next"), 4);
  EXPECT_EQ(d.EntBlockDef[4].nNumber, 41u);
  EXPECT_EQ(d.EntBlockDefN, 5);
  EXPECT_EQ(d.Enthd.n2, 5);

  ASSERT_TRUE(d.AddBlkDef(1, 17, 3, 0, 0, 0, 0, 1, u"X"));
  EXPECT_EQ(d.EntBlockDef[5].att.nGLayer, 0);
  EXPECT_EQ(d.EntBlockDef[5].att.nLayer, 3);
  EXPECT_EQ(d.EntBlockDef[5].att.nPenColor, 1);
  EXPECT_EQ(d.EntBlockDef[5].att.nPenStyle, 1);
}

TEST(Builders, BlockDefinitionNumbersCannotWrap) {
  TJwwData d = Fresh();
  ASSERT_EQ(AddDef(d, u"A"), 0);
  d.EntBlockDef[0].nNumber = 0xFFFFFFFFu;
  EXPECT_FALSE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"B"));
  EXPECT_EQ(d.EntBlockDefN, 1);
  EXPECT_EQ(d.Enthd.n2, 1);
}

TEST(Builders, InsertionOutOfRangeAddsNothing) {
  TJwwData d = Fresh();
  ASSERT_EQ(AddDef(d, u"A"), 0);
  EXPECT_FALSE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 0));
  EXPECT_FALSE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, -1, 0, 0, 1, 1, 0));
  EXPECT_EQ(d.EntBlockN, 0);
  EXPECT_EQ(d.Enthd.n1, 0);
  EXPECT_FALSE(d.AddBlkLine(1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
  EXPECT_FALSE(d.AddBlkLine(-1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
  EXPECT_EQ(d.EntBlockDef[0].N, 0);
}

TEST(Builders, InsertionFields) {
  TJwwData d = Fresh();
  ASSERT_EQ(AddDef(d, u"A"), 0);
  d.EntBlockDef[0].nNumber = 7;
  ASSERT_TRUE(d.AddEntBlock(0, 1, 2, 3, 4, 0, 0, 0, 5, 6, 1e-11, -2, 30));
  const auto& b = d.EntBlock[0];
  EXPECT_EQ(b.nNumber, 7u);  // the definition's number, not its index
  EXPECT_EQ(b.DPKijunTen_x, 5);
  EXPECT_EQ(b.dBairitsuX, 1.0);
  EXPECT_EQ(b.dBairitsuY, -2);
  EXPECT_DOUBLE_EQ(b.radKaitenKaku, kPi / 6);
  EXPECT_EQ(d.EntNo[0], (TEntJwwNo{7, 0}));
}

TEST(Builders, CircularPlacementsAreRefused) {
  TJwwData d = Fresh();
  const int32_t a = AddDef(d, u"A"), b = AddDef(d, u"B"), c = AddDef(d, u"C");
  EXPECT_FALSE(d.AddBlkBlock(a, 0, 0, 0, 1, 1, 0, 0, a, 0, 0, 1, 1, 0));
  ASSERT_TRUE(d.AddBlkBlock(a, 0, 0, 0, 1, 1, 0, 0, b, 0, 0, 1, 1, 0));
  ASSERT_TRUE(d.AddBlkBlock(b, 0, 0, 0, 1, 1, 0, 0, c, 0, 0, 1, 1, 0));
  EXPECT_FALSE(d.AddBlkBlock(c, 0, 0, 0, 1, 1, 0, 0, a, 0, 0, 1, 1, 0));
  EXPECT_TRUE(d.AddBlkBlock(a, 0, 0, 0, 1, 1, 0, 0, c, 0, 0, 1, 1, 0));  // a diamond is fine
  EXPECT_EQ(d.EntBlockDef[c].N, 0);
  EXPECT_EQ(d.EntBlockDef[a].mBlockN, 2);
}

TEST(Builders, DefinitionMembersMatchTopLevelEntities) {
  TJwwData d = Fresh();
  const int32_t def = AddDef(d, u"A");
  ASSERT_TRUE(d.AddEntMojiAt(1, 2, 3, 4, 5, 6, 4, 3, 1, 2, 0, 0, 0, 30, u"f", u"字A"));
  ASSERT_TRUE(d.AddBlkMojiAt(def, 1, 2, 3, 4, 5, 6, 4, 3, 1, 2, 0, 0, 0, 30, u"f", u"字A"));
  ASSERT_TRUE(d.AddEntArc(1, 2, 3, 4, 5, 6, 9, 1, 2, 3, 0.5, 10, 20, 30));
  ASSERT_TRUE(d.AddBlkArc(def, 1, 2, 3, 4, 5, 6, 9, 1, 2, 3, 0.5, 10, 20, 30));
  const auto& b = d.EntBlockDef[def];
  EXPECT_EQ(b.N, 2);
  EXPECT_EQ(b.mNo[0], (TEntJwwNo{4, 0}));
  EXPECT_EQ(b.mNo[1], (TEntJwwNo{2, 0}));
  EXPECT_EQ(b.mMoji[0].att, d.EntMoji[0].att);
  EXPECT_EQ(b.mMoji[0].start_x, d.EntMoji[0].start_x);
  EXPECT_EQ(b.mMoji[0].end_y, d.EntMoji[0].end_y);
  EXPECT_EQ(b.mEnko[0].att, d.EntEnko[0].att);
  EXPECT_EQ(b.mEnko[0].radEnkoKaku, d.EntEnko[0].radEnkoKaku);
  EXPECT_EQ(b.mEnko[0].bZenEnFlg, 1u);
  EXPECT_EQ(d.Enthd.n1, 2);
}

TEST(Builders, FullCountLeavesTheDocumentUnchanged) {
  TJwwData d = Fresh();
  ASSERT_TRUE(AddLine(d));
  d.Enthd.n1 = std::numeric_limits<int32_t>::max();
  EXPECT_FALSE(AddLine(d));
  EXPECT_EQ(d.EntLineN, 1);
  EXPECT_EQ(d.Enthd.n1, std::numeric_limits<int32_t>::max());
}

// ---- written and read back ----

namespace {

// Every builder form once; when not `modern`, only values every version can
// hold: basic colours and line types, no widths, no SXF-mode dimension.
TJwwData EveryForm(bool modern) {
  TJwwData d;
  d.DataDefaultSet();
  d.Enthd.jwVer = modern ? 700 : 230;
  d.EntLay[1].aStrLayName = std::u16string(u"壁");
  EXPECT_TRUE(d.AddEntPre());
  const int32_t co = modern ? 102 : 3, tp = modern ? 33 : 2, wd = modern ? 25 : 0;
  const int32_t fig = AddDef(d, u"扉", 1);
  const int32_t inner = AddDef(d, u"把手", 2);
  for (int32_t def : {fig, inner}) {
    EXPECT_TRUE(d.AddBlkLine(def, 0, 0, 1, co, tp, wd, 0, 0, 0, 10, 0));
    EXPECT_TRUE(d.AddBlkArc(def, 0, 0, 1, 2, 1, 0, 0, 0, 0, 10, 1, 0, 90, 0));
    EXPECT_TRUE(d.AddBlkMojiAt(def, 0, 0, 4, 2, 5, 0, 0, 3, 5, 5, 0, 0, 0, 0, u"", u"扉A"));
  }
  EXPECT_TRUE(d.AddBlkBlock(fig, 0, 0, 1, 2, 1, 0, 0, inner, 10, 0, 0.5, 0.5, 45));
  d.AddBlkDefPost(fig);
  d.AddBlkDefPost(inner);

  EXPECT_TRUE(d.AddEntLine(1, 0, 1, co, tp, wd, 1, 0, 0, 100, 50));
  EXPECT_TRUE(d.AddEntArc(0, 0, 1, 2, 1, 0, 0, 10, 10, 5, 0.5, 0, 270, 30));
  EXPECT_TRUE(d.AddEntArc(0, 0, 1, 2, 1, 0, 8, 20, 10, 5, 1, 0, 0, 0));
  EXPECT_TRUE(d.AddEntTen(0, 0, 2, 3, 0, 0, 0, 1, 1, 0, 1));
  EXPECT_TRUE(d.AddEntTen(0, 0, 2, 3, 0, 0, 8, 2, 1, 0, 1));
  if (modern) {
    EXPECT_TRUE(d.AddEntTen(0, 0, 2, 3, 5, 0, 0, 3, 1, 45, 2));
  }
  EXPECT_TRUE(
      d.AddEntMoji(0, 0, 4, 2, 1, 0, 0, 3, 0, 0, 20, 0, 0, 0, 0, 0, u"ＭＳ 明朝", u"平面図"));
  EXPECT_TRUE(d.AddEntMojiAt(0, 0, 4, 2, 5, 0, 4, 0, 50, 50, 3, 4, 1, 90, u"", u"縦ｶﾅ"));
  EXPECT_TRUE(d.AddEntSunpoAt(0, 0, 5, 1, 1, 0, 0, 1, 2, 0, 0, 2, 0, -10, 100, -10, 50, -9, 0, 0, 0,
                              0, u"", u"100"));
  if (modern) {
    TJwwData::TSunpoSxfParts sxf;
    sxf.ho1 = {1, 1, 1, 0, 0};
    sxf.ho2 = {1, 1, 1, 0, 0};
    sxf.te1 = {2, 1, 3, 0, 0};
    sxf.te2 = {1, 1, 3, 0, 0};
    sxf.kt1 = {1, 1, -1, 0, 0, 0, 0};
    sxf.kt2 = {1, 1, -1, 0, 0, 100, 0};
    EXPECT_TRUE(d.AddEntSunpoSxfAtDist(0, 0, 5, 1, 1, 0, 0, 1, 2, 0, 0, 2, 0, -20, 100, -20, 50,
                                       -19, 0, 0, 0, 0, u"", u"100", sxf, 1, 1));
  }
  EXPECT_TRUE(d.AddEntSolid(0, 0, 6, 10, 1, 0, 0, 0x80C080, 0, 0, 10, 0, 10, 10, 0, 10));
  EXPECT_TRUE(d.AddEntSolid(0, 0, 6, 3, 1, 0, 0, 0, 20, 0, 30, 0, 25, 8));
  EXPECT_TRUE(d.AddEntSolidA(0, 0, 6, 10, 0, 0, 0x2080C0, 40, 0, 5, 0.5, 30));
  EXPECT_TRUE(d.AddEntSolidC(0, 0, 6, 4, 1, 0, 0, 0, 60, 0, 5, 1, 0, 0, 90));
  EXPECT_TRUE(d.AddEntSolidD(0, 0, 6, 4, 1, 0, 0, 0, 80, 0, 5, 3, 1, 0, 0, 180));
  EXPECT_TRUE(d.AddEntBlock(0, 0, 2, 2, 1, 0, 0, fig, 100, 100, 2, -1, 30));
  EXPECT_TRUE(d.AddEntBlock(0, 0, 2, 2, 1, 0, 0, inner, 200, 100, 1, 1, 0));
  EXPECT_TRUE(d.AddEntPost());
  return d;
}

// The lines in which two dumps differ (at most a few), for readable failures.
std::string DumpDifference(const std::string& got, const std::string& want) {
  std::istringstream a(got), b(want);
  std::string la, lb, out;
  int shown = 0;
  while (shown < 8 && (std::getline(a, la) ? 1 : 0) + (std::getline(b, lb) ? 1 : 0) > 0) {
    if (la != lb) {
      out += "- " + lb + "\n+ " + la + "\n";
      ++shown;
    }
    la.clear();
    lb.clear();
  }
  return out;
}

// Applies `f` to every point of the drawing and of its definitions, the
// points of dimensions included.
template <typename F>
void ForEachPoint(TJwwData& d, F f) {
  const auto inDimension = [&](jww::TEntJwwSunpo& s) {
    for (jww::TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) f(*t);
  };
  for (int32_t i = 0; i < d.EntTenN; ++i) f(d.EntTen[i]);
  for (int32_t i = 0; i < d.EntSunpoN; ++i) inDimension(d.EntSunpo[i]);
  for (int32_t k = 0; k < d.EntBlockDefN; ++k) {
    auto& b = d.EntBlockDef[k];
    for (int32_t i = 0; i < b.mTenN; ++i) f(b.mTen[i]);
    for (int32_t i = 0; i < b.mSunpoN; ++i) inDimension(b.mSunpo[i]);
  }
}

// Rotation and scale of a point are stored only for points with a code.
void ClearUnstoredPointValues(TJwwData& d) {
  ForEachPoint(d, [](jww::TEntJwwTen& t) {
    if (t.att.nPenStyle != 100) {
      t.radKaitenKaku = 0;
      t.dBairitsu = 0;
    }
  });
}

std::string WrittenAndRead(TJwwData& d, const std::string& path, int32_t version, TJwwData& back) {
  EXPECT_TRUE(d.FileOut(path, version)) << d.LastWriteError;
  EXPECT_TRUE(back.FileCheck(path));
  EXPECT_TRUE(back.FileIn(path));
  return jww::DumpDocument(back);
}

}  // namespace

TEST(BuildersRoundTrip, Version700KeepsEverything) {
  TempDir dir;
  TJwwData d = EveryForm(true);
  ASSERT_EQ(d.EntBlockTreeN, 3);  // two placements and the nested one
  TJwwData back;
  const std::string read = WrittenAndRead(d, dir / "every.jww", 700, back);
  ClearUnstoredPointValues(d);
  EXPECT_EQ(DumpDifference(read, jww::DumpDocument(d)), "");
  EXPECT_EQ(back.EntLtpS[17].anUDLTypeSegment, 2);
  EXPECT_EQ(back.EntLtpS[17].astrUDLTypeName, u"LType_17");
}

TEST(BuildersRoundTrip, Version230KeepsWhatItCanHold) {
  TempDir dir;
  TJwwData d = EveryForm(false);
  TJwwData back;
  WrittenAndRead(d, dir / "every-230.jww", 230, back);
  EXPECT_EQ(back.Enthd.jwVer, 230);
  ClearUnstoredPointValues(d);
  // Nor are the parts of a dimension: the reader gives its points style 0.
  for (int32_t i = 0; i < d.EntSunpoN; ++i) {
    for (auto* t :
         {&d.EntSunpo[i].Te1, &d.EntSunpo[i].Te2, &d.EntSunpo[i].Kt1, &d.EntSunpo[i].Kt2}) {
      t->att.nPenStyle = 0;
    }
  }
  EXPECT_EQ(DumpDifference(jww::DumpEntities(back), jww::DumpEntities(d)), "");
  EXPECT_EQ(back.EntLay[1].aStrLayName, u"壁");
  EXPECT_EQ(back.EntCol[8].anPrtPenWidth, 68);
}

TEST(BuildersRoundTrip, Utf16Strings) {
  TempDir dir;
  TJwwData d = EveryForm(true);
  d.SetFileOutOption(32);
  TJwwData back;
  const std::string read = WrittenAndRead(d, dir / "every-utf16.jww", 700, back);
  ClearUnstoredPointValues(d);
  EXPECT_TRUE(back.MojiEncode);
  EXPECT_EQ(DumpDifference(read, jww::DumpDocument(d)), "");
}
