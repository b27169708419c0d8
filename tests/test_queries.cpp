// SPDX-License-Identifier: GPL-3.0-or-later
// The document queries: sheet size, font names and the entity counts by
// layer, colour and line type, through the placed blocks of the tree.
#include <gtest/gtest.h>

#include "jww/document.h"
#include "jww/queries.h"

using namespace jww;

namespace {

TJwwData NewDrawing() {
  TJwwData d;
  d.DataDefaultSet();
  EXPECT_TRUE(d.AddEntPre());
  return d;
}

void Finish(TJwwData& d) { ASSERT_TRUE(d.AddEntPost()); }

TEntJwwSunpo Dimension(uint16_t sxf) {
  TEntJwwSunpo s;
  s.att.nPenColor = 2;
  s.att.nPenStyle = 1;
  for (TEntJwwAttr* a : {&s.Sen.att, &s.Moji.att, &s.Ho1.att, &s.Ho2.att, &s.Te1.att, &s.Te2.att,
                         &s.Kt1.att, &s.Kt2.att}) {
    a->nPenColor = 5;
    a->nPenStyle = 3;
  }
  s.Moji.nMojiShu = 3;
  s.Te1.nCode = s.Te2.nCode = s.Kt1.nCode = s.Kt2.nCode = 3;
  s.bSxfMode = sxf;
  return s;
}

// Dimensions go in by hand: the builders make no SXF parts of every kind.
void AddDimension(TJwwData& d, const TEntJwwSunpo& dim) {
  d.EntSunpo.resize(d.EntSunpoN);
  d.EntSunpo.push_back(dim);
  d.EntNo.resize(d.Enthd.n1);
  d.EntNo.push_back({kSunpo, d.EntSunpoN++});
  ++d.Enthd.n1;
}

void AddDimension(TEntJwwBlockDef& def, const TEntJwwSunpo& dim) {
  def.mSunpo.resize(def.mSunpoN);
  def.mSunpo.push_back(dim);
  def.mNo.resize(def.N);
  def.mNo.push_back({kSunpo, def.mSunpoN++});
  ++def.N;
}

}  // namespace

TEST(PaperSize, CodesGiveTheirSheetsAndUnknownCodesTheA0Sheet) {
  EXPECT_EQ(GetPaperSize(3).px, 420);
  EXPECT_EQ(GetPaperSize(3).py, 297);
  EXPECT_EQ(GetPaperSize(14).px, 100000);
  EXPECT_EQ(GetPaperSize(14).py, 70732);
  for (int32_t code : {0, 5, 6, 7, -1, 15, 1000}) {
    EXPECT_EQ(GetPaperSize(code).px, 1189) << code;
    EXPECT_EQ(GetPaperSize(code).py, 841) << code;
  }
  TJwwData d;
  d.Enthd.nZumen = 5;
  EXPECT_EQ(GetPaperSize(d).px, 1189);
  EXPECT_EQ(PaperName(3), "A3 横");
  EXPECT_EQ(PaperName(8), "2A 横");
  EXPECT_EQ(PaperName(12), "10m");
  EXPECT_EQ(PaperName(5), "A0 横");
}

TEST(FontNames, DistinctNamesInOrderOfTextsDimensionsThenDefinitions) {
  TJwwData d = NewDrawing();
  ASSERT_TRUE(
      d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, u"ＭＳ ゴシック", u"a"));
  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, u"Arial", u"b"));
  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, u"Arial", u"c"));
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"B"));
  ASSERT_TRUE(d.AddBlkMoji(0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, u"Courier", u"d"));
  d.AddBlkDefPost(0);
  Finish(d);
  TEntJwwSunpo dim = Dimension(0);
  dim.Moji.strFontName = u"Gothic";
  AddDimension(d, dim);

  GetFontNames(d);
  ASSERT_EQ(d.FontNameN, 4);
  EXPECT_EQ(d.FontNames,
            (std::vector<std::u16string>{u"ＭＳ ゴシック", u"Arial", u"Gothic", u"Courier"}));
  EXPECT_EQ(GetFontNamesIndex(d, u"Gothic"), 2);
  EXPECT_EQ(GetFontNamesIndex(d, u"gothic"), -1);
  EXPECT_EQ(GetFontNamesIndex(d, u"@@@Arial"), 1);
}

TEST(FontNames, AtMostThreeLeadingAtSignsAreStripped) {
  TJwwData d;
  d.FontNames = {u"@Mincho", u"Mincho"};
  d.FontNameN = 2;
  EXPECT_EQ(GetFontNamesIndex(d, u"@@@@Mincho"), 0);
  EXPECT_EQ(GetFontNamesIndex(d, u"@Mincho"), 1);
  // Only names within the count are searched.
  d.FontNameN = 1;
  EXPECT_EQ(GetFontNamesIndex(d, u"Mincho"), -1);
}

TEST(FontNames, GrowPastOneHundredNames) {
  TJwwData d = NewDrawing();
  for (int i = 0; i < 150; ++i) {
    std::u16string name = u"F" + std::u16string(1, static_cast<char16_t>(u'A' + i / 26)) +
                          std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
    ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, name, u"x"));
  }
  Finish(d);
  GetFontNames(d);
  EXPECT_EQ(d.FontNameN, 150);
  EXPECT_EQ(d.FontNames.size(), 150u);
}

TEST(ElementNum, LayerGroupAndLayerFilters) {
  TJwwData d = NewDrawing();
  ASSERT_TRUE(d.AddEntLine(0, 0, 3, 1, 1, 0, 0, 0, 0, 1, 0));
  ASSERT_TRUE(d.AddEntLine(0, 0, 3, 1, 1, 0, 0, 0, 1, 1, 1));
  ASSERT_TRUE(d.AddEntLine(0, 1, 3, 1, 1, 0, 0, 0, 2, 1, 2));
  Finish(d);
  EXPECT_EQ(GetElementNum(d, 0, 3).n1, 2);
  EXPECT_EQ(GetElementNum(d, 1, -1).n1, 1);
  EXPECT_EQ(GetElementNum(d, -1, 3).n1, 3);
  EXPECT_EQ(GetElementNum(d, -1, -1).n1, 3);
  EXPECT_EQ(GetElementNum(d, 2, -1).n1, 0);
}

TEST(ElementNum, TemporaryPointsCountApart) {
  TJwwData d = NewDrawing();
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1));
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 1, 0, 0, 8, 2, 2, 0, 1));
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 1, 0, 0, 8, 3, 3, 0, 1));
  Finish(d);
  ASSERT_EQ(d.EntTen[1].bKariten, 1u);
  TElementCounts c = GetElementNum(d, -1, -1);
  EXPECT_EQ(c.n3, 1);
  EXPECT_EQ(c.n4, 2);
}

// One definition of a line, an arc, a text, a point and a dimension, placed
// three times; the placements are on group 2 layer 5, the members on group 0
// layer 1.
class PlacedThrice : public ::testing::Test {
 protected:
  void SetUp() override {
    d = NewDrawing();
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"FIG@@SFIGORGFLAG@@1"));
    ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 1, 4, 1, 0, 0, 0, 0, 1, 1));
    ASSERT_TRUE(d.AddBlkArc(0, 0, 0, 1, 4, 1, 0, 0, 0, 0, 5, 1, 0, 90, 0));
    ASSERT_TRUE(d.AddBlkMoji(0, 0, 0, 1, 4, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, u"F", u"t"));
    ASSERT_TRUE(d.AddBlkTen(0, 0, 0, 1, 4, 1, 0, 0, 2, 2, 0, 1));
    d.AddBlkDefPost(0);
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(d.AddEntBlock(0, 2, 5, 3, 1, 0, i == 2 ? 16 : 0, 0, 10.0 * i, 0, 1, 1, 0));
    Finish(d);
    AddDimension(d.EntBlockDef[0], Dimension(1));
  }
  TJwwData d;
};

TEST_F(PlacedThrice, DefinitionCountedOncePerPlacingNode) {
  ASSERT_EQ(d.EntBlockTreeN, 3);
  TElementCounts c = GetElementNum(d, -1, -1);
  EXPECT_EQ(c.n8, 3);
  EXPECT_EQ(c.n1, 0);
  EXPECT_EQ(c.n1a, 3);
  EXPECT_EQ(c.n2a, 3);
  EXPECT_EQ(c.n3a, 3);
  EXPECT_EQ(c.n5a, 3);
  EXPECT_EQ(c.n6a, 3);
  EXPECT_EQ(GetElementCNum(d, 4).n1a, 3);
  EXPECT_EQ(GetElementTNum(d, 1).n1a, 3);
}

TEST_F(PlacedThrice, MembersTakeThePlacementsLayerUnlessItKeepsTheirOwn) {
  // Two placements carry the layer; the third (0x40) keeps the members' own.
  EXPECT_EQ(GetElementNum(d, 2, 5).n1a, 2);
  EXPECT_EQ(GetElementNum(d, 0, 1).n1a, 1);
  EXPECT_EQ(GetElementNum(d, 2, -1).n8, 3);
  EXPECT_EQ(GetElementNum(d, 0, -1).n8, 0);
}

TEST_F(PlacedThrice, DimensionPartsInsideBlocks) {
  TElementCounts c = GetElementCNum(d, 5);
  EXPECT_EQ(c.n6a, 0);  // the dimension's own colour is 2
  for (int32_t v : {c.ns1a, c.ns2a, c.ns3a, c.ns4a, c.ns5a, c.ns6a, c.ns7a, c.ns8a})
    EXPECT_EQ(v, 3);
  for (int32_t v : {c.ns1, c.ns2, c.ns3, c.ns8}) EXPECT_EQ(v, 0);
  EXPECT_EQ(GetElementCNum(d, 2).n6a, 3);
  TElementCounts t = GetElementTNum(d, 3);
  for (int32_t v : {t.ns1a, t.ns2a, t.ns3a, t.ns4a, t.ns5a, t.ns8a}) EXPECT_EQ(v, 3);
}

TEST(ElementCounts, DimensionWithoutSxfModeCountsOnlyTextAndLine) {
  TJwwData d = NewDrawing();
  Finish(d);
  AddDimension(d, Dimension(0));
  AddDimension(d, Dimension(1));
  for (const TElementCounts& c : {GetElementCNum(d, 5), GetElementTNum(d, 3)}) {
    EXPECT_EQ(c.ns1, 2);
    EXPECT_EQ(c.ns2, 2);
    for (int32_t v : {c.ns3, c.ns4, c.ns5, c.ns6, c.ns7, c.ns8}) EXPECT_EQ(v, 1);
  }
  TElementCounts own = GetElementCNum(d, 2);
  EXPECT_EQ(own.n6, 2);
  EXPECT_EQ(own.ns1, 0);
}

TEST(ElementTNum, PointCodesAndTextKinds) {
  TJwwData d = NewDrawing();
  ASSERT_TRUE(d.AddEntTen(0, 0, 0, 1, -3, 0, 0, 1, 1, 0, 1));
  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 10, 0, 3, 3, 0, 0, u"F", u"t"));
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 5, 0, 0, 0, 0, 1, 0));
  Finish(d);
  d.EntTen[0].nCode = static_cast<uint32_t>(-3);
  d.EntMoji[0].nMojiShu = 205;
  EXPECT_EQ(GetElementTNum(d, 17).n3, 1);
  EXPECT_EQ(GetElementTNum(d, -3).n3, 0);
  TElementCounts five = GetElementTNum(d, 5);
  EXPECT_EQ(five.n5, 1);
  EXPECT_EQ(five.n1, 1);
  EXPECT_EQ(GetElementTNum(d, 205).n5, 0);
}

TEST(ElementCounts, AllCountsStartFromZeroAndIgnoreNodesWithoutDefinition) {
  TJwwData d = NewDrawing();
  Finish(d);
  EXPECT_EQ(GetElementNum(d, -1, -1), TElementCounts{});
  TEntJwwBlockTree orphan;
  orphan.defno = -1;
  d.EntBlockTree.push_back(orphan);
  TEntJwwBlockTree wild;
  wild.defno = 99;  // beyond the definitions: skipped, never read
  d.EntBlockTree.push_back(wild);
  d.EntBlockTreeN = 2;
  EXPECT_EQ(GetElementCNum(d, 1), TElementCounts{});
}

TEST_F(PlacedThrice, LayerUseFollowsThePlacementRule) {
  TLayerUse use = GetLayerUse(d);
  // Three insertions and two placed copies of five members on group 2 layer
  // 5; the third copy keeps the members' own layers: four on group 0 layer
  // 1, the dimension on layer 0.
  EXPECT_EQ(use[2 * 16 + 5], 3 + 2 * 5);
  EXPECT_EQ(use[0 * 16 + 1], 4);
  EXPECT_EQ(use[0], 1);
  int32_t total = 0;
  for (int32_t n : use) total += n;
  EXPECT_EQ(total, 3 + 3 * 5);
}
