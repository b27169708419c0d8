// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "jww/document.h"
#include "jww/extents.h"
#include "support/corpus.h"

using namespace jww;

namespace {

constexpr double kPiD = 3.14159265358979323846;

struct Box {
  double minX, minY, maxX, maxY;
};

Box Extents(TJwwData& doc) {
  doc.GetMinMaxZahyo();
  return {doc.myMinWx, doc.myMinWy, doc.myMaxWx, doc.myMaxWy};
}

void ExpectBox(const Box& b, double minX, double minY, double maxX, double maxY,
               double tol = 1e-9) {
  EXPECT_NEAR(b.minX, minX, tol);
  EXPECT_NEAR(b.minY, minY, tol);
  EXPECT_NEAR(b.maxX, maxX, tol);
  EXPECT_NEAR(b.maxY, maxY, tol);
}

TEntJwwLine Line(double x1, double y1, double x2, double y2) {
  TEntJwwLine l;
  l.start_x = x1;
  l.start_y = y1;
  l.end_x = x2;
  l.end_y = y2;
  return l;
}

TEntJwwEnko Arc(double cx, double cy, double r, double start, double sweep, bool full = false,
                double flattening = 1.0, double tilt = 0) {
  TEntJwwEnko a;
  a.start_x = cx;
  a.start_y = cy;
  a.dHankei = r;
  a.radKaishiKaku = start;
  a.radEnkoKaku = sweep;
  a.radKatamukiKaku = tilt;
  a.dHenpeiRitsu = flattening;
  a.bZenEnFlg = full ? 1 : 0;
  return a;
}

TEntJwwTen Point(double x, double y) {
  TEntJwwTen p;
  p.start_x = x;
  p.start_y = y;
  return p;
}

TEntJwwMoji Text(double x1, double y1, double x2, double y2, std::u16string s = u"abc") {
  TEntJwwMoji m;
  m.start_x = x1;
  m.start_y = y1;
  m.end_x = x2;
  m.end_y = y2;
  m.str = std::move(s);
  return m;
}

TEntJwwSolid Quad(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                  double y4) {
  TEntJwwSolid s;
  s.att.nPenStyle = 1;
  s.start_x = x1;
  s.start_y = y1;
  s.end_x = x2;
  s.end_y = y2;
  s.DPoint2_x = x3;
  s.DPoint2_y = y3;
  s.DPoint3_x = x4;
  s.DPoint3_y = y4;
  return s;
}

TEntJwwSolid ArcSolid(uint8_t style, double cx, double cy, double r, double start, double sweep,
                      double kind) {
  TEntJwwSolid s;
  s.att.nPenStyle = style;
  s.start_x = cx;
  s.start_y = cy;
  s.end_x = r;
  s.end_y = 1.0;    // flattening
  s.DPoint2_x = 0;  // tilt
  s.DPoint2_y = start;
  s.DPoint3_x = sweep;
  s.DPoint3_y = kind;
  return s;
}

template <typename T>
void Append(std::vector<T>& v, int32_t& n, T e) {
  v.push_back(std::move(e));
  n = static_cast<int32_t>(v.size());
}

void AddLine(TJwwData& d, TEntJwwLine l) { Append(d.EntLine, d.EntLineN, l); }
void AddArc(TJwwData& d, TEntJwwEnko a) { Append(d.EntEnko, d.EntEnkoN, a); }
void AddPoint(TJwwData& d, TEntJwwTen p) { Append(d.EntTen, d.EntTenN, p); }
void AddText(TJwwData& d, TEntJwwMoji m) { Append(d.EntMoji, d.EntMojiN, std::move(m)); }
void AddDim(TJwwData& d, TEntJwwSunpo s) { Append(d.EntSunpo, d.EntSunpoN, std::move(s)); }
void AddSolid(TJwwData& d, TEntJwwSolid s) { Append(d.EntSolid, d.EntSolidN, s); }

TEntJwwBlockDef& AddDefinition(TJwwData& doc, uint32_t number) {
  TEntJwwBlockDef def;
  def.nNumber = number;
  def.strName = u"part";
  doc.EntBlockDef.push_back(std::move(def));
  doc.EntBlockDefN = static_cast<int32_t>(doc.EntBlockDef.size());
  return doc.EntBlockDef.back();
}

void Insert(TJwwData& doc, uint32_t number, double x, double y, double scale = 1, double rot = 0) {
  TEntJwwBlock b;
  b.nNumber = number;
  b.DPKijunTen_x = x;
  b.DPKijunTen_y = y;
  b.dBairitsuX = scale;
  b.dBairitsuY = scale;
  b.radKaitenKaku = rot;
  Append(doc.EntBlock, doc.EntBlockN, b);
}

TEntJwwSunpo Dimension(bool sxf) {
  TEntJwwSunpo d;
  d.Sen = Line(0, 0, 10, 0);
  d.Moji = Text(4, 1, 6, 3, u"10");
  d.bSxfMode = sxf ? 1 : 0;
  d.Ho1 = Line(0, -5, 0, 0);
  d.Ho2 = Line(10, 0, 10, 7);
  d.Te1 = Point(-100, -100);
  d.Te2 = Point(100, 100);
  d.Kt1 = Point(-200, 50);
  d.Kt2 = Point(200, 50);
  return d;
}

}  // namespace

// ---- whole documents ----

TEST(Extents, SinglePointIsWidenedByTheMargin) {
  TJwwData doc;
  AddPoint(doc, Point(3, 4));
  ExpectBox(Extents(doc), -7, -6, 13, 14);
}

TEST(Extents, FullCircleCountsOnlyItsAxisEnds) {
  TJwwData doc;
  AddArc(doc, Arc(0, 0, 5, 0, 0, true));
  ExpectBox(Extents(doc), -5, -5, 5, 5);

  TJwwData tilted;
  AddArc(tilted, Arc(0, 0, 5, 0, 0, true, 1.0, kPiD / 4));
  const double h = 5 / std::sqrt(2.0);
  ExpectBox(Extents(tilted), -h, -h, h, h);
}

TEST(Extents, FlattenedTiltedEllipseUsesBothRadii) {
  TJwwData doc;
  // Major axis 10 along y after a quarter turn, minor radius 2 along x.
  AddArc(doc, Arc(100, 50, 10, 0, 0, true, 0.2, kPiD / 2));
  ExpectBox(Extents(doc), 98, 40, 102, 60);
}

TEST(Extents, QuarterArcIsSeededByItsCentre) {
  TJwwData doc;
  AddArc(doc, Arc(0, 0, 10, 0, kPiD / 2));
  ExpectBox(Extents(doc), 0, 0, 10, 10);
}

TEST(Extents, ArcSamplesIncludeBothEnds) {
  TJwwData doc;
  AddLine(doc, Line(0, 0, 0, 0));
  // From 10° over 100°: the samples reach the end at 110° exactly.
  const double start = 10 * kPiD / 180, sweep = 100 * kPiD / 180;
  AddArc(doc, Arc(0, 0, 1, start, sweep));
  Box b = Extents(doc);
  EXPECT_NEAR(b.minX, std::cos(start + sweep), 1e-12);
  EXPECT_NEAR(b.maxX, std::cos(start), 1e-12);
  EXPECT_NEAR(b.maxY, 1.0, 1e-3);  // 90° lies between two samples 1.39° apart
  EXPECT_LE(b.maxY, 1.0);
}

TEST(Extents, FarEndBeyondTheRangeIsIgnored) {
  TJwwData doc;
  AddLine(doc, Line(0, 0, 1e12, 0));
  ExpectBox(Extents(doc), -10, -10, 10, 10);
}

TEST(Extents, NotANumberIsIgnored) {
  TJwwData doc;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  AddLine(doc, Line(1, 2, nan, 5));
  AddPoint(doc, Point(3, nan));
  AddPoint(doc, Point(4, 6));
  ExpectBox(Extents(doc), 1, 2, 4, 6);
}

TEST(Extents, ValuesAreClampedToOneHundredMillion) {
  TJwwData doc;
  AddLine(doc, Line(0, 0, 2e8, 5));
  ExpectBox(Extents(doc), 0, 0, 1e8, 5);

  TJwwData negative;
  AddLine(negative, Line(-3e8, -4e8, 1, 1));
  ExpectBox(Extents(negative), -1e8, -1e8, 1, 1);
}

TEST(Extents, BoxBeyondTheClampIsNeverInverted) {
  // Everything lies beyond +1e8: both ends stop at the clamp instead of the
  // minimum staying at 2e8 above a maximum of 1e8.
  TJwwData doc;
  AddLine(doc, Line(2e8, 0, 3e8, 5));
  Box b = Extents(doc);
  ExpectBox(b, 1e8, 0, 1e8, 5);
  EXPECT_LE(b.minX, b.maxX);
}

TEST(Extents, DegenerateAndPlaceholderTextsChangeNothing) {
  TJwwData doc;
  AddPoint(doc, Point(1, 1));
  AddPoint(doc, Point(2, 2));
  AddText(doc, Text(50, 50, 50, 50));
  AddText(doc, Text(0, 0, 0.01, 0.01));
  ExpectBox(Extents(doc), 1, 1, 2, 2);

  // Starting at the origin alone is not the placeholder.
  AddText(doc, Text(0, 0, 5, 0.01));
  ExpectBox(Extents(doc), 0, 0, 5, 2);
}

TEST(Extents, TextSeedsWithItsStartPoint) {
  TJwwData doc;
  AddText(doc, Text(10, 20, 30, 25));
  ExpectBox(Extents(doc), 10, 20, 30, 25);
}

TEST(Extents, PlaceholderTextSeedsFromTheInsertionPoint) {
  // The reference point of the first insertion takes part through the seed,
  // though insertions otherwise count only by their contents.
  TJwwData doc;
  AddText(doc, Text(0, 0, 0.01, 0.01));
  TEntJwwBlockDef& def = AddDefinition(doc, 1);
  Append(def.mLine, def.mLineN, Line(1, 1, 2, 2));
  Insert(doc, 1, 50, 50);
  doc.MakeBlockTree();
  ExpectBox(Extents(doc), 50, 50, 52, 52);
}

TEST(Extents, PlaceholderTextSeedsFromSolidBeforeInsertion) {
  TJwwData doc;
  AddText(doc, Text(0, 0, 0.01, 0.01));
  AddSolid(doc, ArcSolid(105, -30, -30, 1, 0, kPiD / 2, 5));  // its centre is only the seed
  Insert(doc, 7, 500, 500);  // no definition: no node contents, no seed
  doc.MakeBlockTree();
  ExpectBox(Extents(doc), -30, -30, -29, -29, 1e-9);
}

TEST(Extents, ImageTextAddsTheOppositeCorner) {
  TJwwData doc;
  AddText(doc, Text(10, 20, 10, 21, u"^@BMphoto.bmp,100,50"));
  ExpectBox(Extents(doc), 10, 20, 110, 70);

  TJwwData square;
  AddText(square, Text(10, 20, 10, 21, u"^@BMphoto.bmp,100"));
  ExpectBox(Extents(square), 10, 20, 110, 120);

  // Without the prefix the values mean nothing.
  TJwwData plain;
  AddText(plain, Text(10, 20, 10, 21, u"photo.bmp,100,50"));
  ExpectBox(Extents(plain), 10, 20, 10, 21);
}

TEST(Extents, DimensionCountsLineTextAndSxfExtensionLinesOnly) {
  TJwwData doc;
  AddDim(doc, Dimension(false));
  ExpectBox(Extents(doc), 0, 0, 10, 3);  // no seed: the box starts at the dimension line

  TJwwData sxf;
  AddDim(sxf, Dimension(true));
  ExpectBox(Extents(sxf), 0, -5, 10, 7);  // the four points never count
}

TEST(Extents, DimensionTextIsNotTestedForPlaceholderOrImage) {
  TJwwData doc;
  TEntJwwSunpo d = Dimension(false);
  d.Moji = Text(-3, -4, -3, -4, u"^@BMx,1000,1000");
  AddDim(doc, d);
  ExpectBox(Extents(doc), -3, -4, 10, 0);
}

TEST(Extents, QuadrilateralSolidCountsItsFourCorners) {
  TJwwData doc;
  AddSolid(doc, Quad(1, 1, 4, 2, 3, 6, -2, 3));
  ExpectBox(Extents(doc), -2, 1, 4, 6);
}

TEST(Extents, ArcSolidKinds) {
  // A sector (style 101, kind 0) reaches its centre.
  TJwwData sector;
  AddPoint(sector, Point(10, 10));
  AddSolid(sector, ArcSolid(101, 0, 0, 5, kPiD / 6, kPiD / 6, 0));
  Box b = Extents(sector);
  EXPECT_NEAR(b.minX, 0, 1e-12);
  EXPECT_NEAR(b.minY, 0, 1e-12);

  // Style 111 with kind 0 does not.
  TJwwData other;
  AddPoint(other, Point(10, 10));
  AddSolid(other, ArcSolid(111, 0, 0, 5, kPiD / 6, kPiD / 6, 0));
  b = Extents(other);
  EXPECT_NEAR(b.minX, 2.5, 1e-9);  // cos 60° · 5
  EXPECT_NEAR(b.minY, 2.5, 1e-9);  // sin 30° · 5

  // Kind 100 samples the whole ellipse, whatever the stored sweep.
  TJwwData ring;
  AddPoint(ring, Point(0, 0));
  AddSolid(ring, ArcSolid(111, 0, 0, 5, 0, kPiD / 6, 100));
  ExpectBox(Extents(ring), -5, -5, 5, 5, 1e-9);

  // Kind −1 of style 101 reaches the crossing of the end tangents: for the
  // arc from 45° to 135° that is (0, √2), above the arc's top at (0, 1).
  const double h = std::sqrt(0.5);
  TJwwData tangent;
  AddPoint(tangent, Point(0, 0));
  AddSolid(tangent, ArcSolid(101, 0, 0, 1, kPiD / 4, kPiD / 2, -1));
  ExpectBox(Extents(tangent), -h, 0, h, std::sqrt(2.0), 1e-9);
  TJwwData tangent111;
  AddPoint(tangent111, Point(0, 0));
  AddSolid(tangent111, ArcSolid(111, 0, 0, 1, kPiD / 4, kPiD / 2, -1));
  ExpectBox(Extents(tangent111), -h, 0, h, 1, 1e-9);
}

TEST(Extents, BlockInsertedTwiceCountsAtBothPlacements) {
  TJwwData doc;
  TEntJwwBlockDef& def = AddDefinition(doc, 3);
  Append(def.mLine, def.mLineN, Line(0, 0, 2, 1));
  Insert(doc, 3, 10, 10);
  Insert(doc, 3, -20, 5, 2, kPiD / 2);  // (2, 1) lands at (−20 − 2, 5 + 4)
  doc.MakeBlockTree();
  ExpectBox(Extents(doc), -22, 5, 12, 11);
}

TEST(Extents, BlockContentsFollowEveryRule) {
  TJwwData doc;
  TEntJwwBlockDef& def = AddDefinition(doc, 1);
  Append(def.mEnko, def.mEnkoN, Arc(0, 0, 1, 0, 0, true));
  Append(def.mTen, def.mTenN, Point(3, 0));
  Append(def.mMoji, def.mMojiN, Text(0, 0, 0.01, 0.01));          // placeholder: skipped
  Append(def.mMoji, def.mMojiN, Text(0, 2, 0, 2));                // degenerate: skipped
  Append(def.mMoji, def.mMojiN, Text(0, 0, 1, 1, u"^@BMa,4,5"));  // corner (4, 5)
  Append(def.mSolid, def.mSolidN, ArcSolid(101, -2, -2, 1, 0, kPiD / 2, 0));
  TEntJwwSunpo dim = Dimension(false);
  Append(def.mSunpo, def.mSunpoN, dim);
  Insert(doc, 1, 100, 200, 2);
  doc.MakeBlockTree();
  // Definition box (−2, −2)-(10, 5), doubled and moved by (100, 200); the
  // insertion point is no seed while a block is all there is.
  ExpectBox(Extents(doc), 96, 196, 120, 210);
}

TEST(Extents, NestedPlacementsComeFromTheTree) {
  TJwwData doc;
  TEntJwwBlockDef& inner = AddDefinition(doc, 2);
  Append(inner.mTen, inner.mTenN, Point(1, 0));
  TEntJwwBlockDef& outer = AddDefinition(doc, 1);
  TEntJwwBlock nested;
  nested.nNumber = 2;
  nested.DPKijunTen_x = 5;
  nested.dBairitsuX = nested.dBairitsuY = 1;
  Append(outer.mBlock, outer.mBlockN, nested);
  Insert(doc, 1, 100, 0, 1, kPiD / 2);
  doc.MakeBlockTree();
  ASSERT_EQ(doc.EntBlockTreeN, 2);
  // (1, 0) + (5, 0) turned a quarter: (0, 6), plus (100, 0).
  ExpectBox(Extents(doc), 90, -4, 110, 16);
}

TEST(Extents, NodesWithoutDefinitionOrWithBrokenPlacementAreSkipped) {
  TJwwData doc;
  AddPoint(doc, Point(0, 0));
  AddPoint(doc, Point(1, 1));
  TEntJwwBlockDef& def = AddDefinition(doc, 1);
  Append(def.mTen, def.mTenN, Point(1, 1));
  Insert(doc, 9, 500, 500);  // names no definition
  Insert(doc, 1, 0, 0, std::numeric_limits<double>::quiet_NaN());
  doc.MakeBlockTree();
  ExpectBox(Extents(doc), 0, 0, 1, 1);
}

TEST(Extents, NothingMeasurableGivesAllZeroWithoutMargin) {
  TJwwData empty;
  empty.myMinWx = empty.myMinWy = empty.myMaxWx = empty.myMaxWy = 77;
  ExpectBox(Extents(empty), 0, 0, 0, 0, 0);
  EXPECT_FALSE(MeasureExtents(empty).seeded);

  TJwwData farAway;
  AddPoint(farAway, Point(1e12, 0));
  AddText(farAway, Text(1, 1, 1, 1));
  ExpectBox(Extents(farAway), 0, 0, 0, 0, 0);
}

TEST(Extents, WithoutSeedTheBoxStartsAtTheFirstContribution) {
  // A far drawing measured first leaves nothing behind for the next one.
  TJwwData far;
  AddPoint(far, Point(-5000, 9000));
  Extents(far);

  TJwwData solids;
  AddSolid(solids, Quad(1, 1, 2, 1, 2, 2, 1, 2));
  ExpectBox(Extents(solids), 1, 1, 2, 2);

  // A first text with coincident ends gives no seed either.
  TJwwData texts;
  AddText(texts, Text(-9, -9, -9, -9));
  AddText(texts, Text(3, 4, 5, 6));
  ExpectBox(Extents(texts), 3, 4, 5, 6);
}

TEST(Extents, CountsBeyondTheArraysAreNotTrusted) {
  TJwwData doc;
  AddPoint(doc, Point(1, 2));
  AddPoint(doc, Point(3, 4));
  doc.EntTenN = 50;
  doc.EntLineN = 3;  // no lines at all
  doc.EntBlockTreeN = 4;
  TEntJwwBlockTree node;
  node.defno = 5;  // no such definition
  doc.EntBlockTree.push_back(node);
  ExpectBox(Extents(doc), 1, 2, 3, 4);
}

// ---- helpers ----

TEST(ExtentsHelpers, SamePointTolerance) {
  EXPECT_TRUE(SamePoint(1, 2, 1 + 1e-13, 2 - 1e-13));
  EXPECT_FALSE(SamePoint(1, 2, 1 + 1e-11, 2));
  EXPECT_FALSE(SamePoint(1, 2, 1, 2 + 1e-11));
}

TEST(ExtentsHelpers, MinMaxHelpers) {
  MinMaxBox box;
  MinMaxAdd(box, 6e11, 0);  // out of range: still unseeded
  EXPECT_FALSE(box.seeded);
  MinMaxAdd(box, 2, 3);
  MinMaxAdd(box, -1, 5);
  EXPECT_TRUE(box.seeded);
  EXPECT_EQ(box.minX, -1);
  EXPECT_EQ(box.maxY, 5);
  MinMaxInit(box, 7, 8);  // starts over
  EXPECT_EQ(box.minX, 7);
  EXPECT_EQ(box.maxX, 7);
  MinMaxInit(box, 0, 1e12);  // refused: the box stays
  EXPECT_EQ(box.minY, 8);

  // The range test is on the untransformed point.
  MinMaxAddTrans(box, 4e11, 8, 0, 0, 0.001, 0, 0, 1);  // placed at 4e8: clamped
  EXPECT_EQ(box.maxX, 1e8);
  MinMaxAddTrans(box, 6e11, 8, 0, 0, 1e-6, 0, 0, 1);  // would be 6e5, but refused
  EXPECT_EQ(box.maxX, 1e8);
  MinMaxAddTrans(box, 1, 1, 10, 20, 0, -1, 1, 0);  // (−1, 1) + (10, 20)
  EXPECT_EQ(box.minY, 8);
  EXPECT_EQ(box.maxY, 21);
}

TEST(ExtentsHelpers, GetLineCross) {
  auto c = GetLineCross(0, 0, 2, 2, 0, 4, 4, 0);
  ASSERT_TRUE(c);
  EXPECT_NEAR(c->x, 2, 1e-12);
  EXPECT_NEAR(c->y, 2, 1e-12);

  c = GetLineCross(3, -1, 3, 5, 0, 1, 2, 2);  // first vertical
  ASSERT_TRUE(c);
  EXPECT_NEAR(c->x, 3, 1e-12);
  EXPECT_NEAR(c->y, 2.5, 1e-12);

  c = GetLineCross(0, 1, 2, 2, -4, 0, -4, 9);  // second vertical
  ASSERT_TRUE(c);
  EXPECT_NEAR(c->x, -4, 1e-12);
  EXPECT_NEAR(c->y, -1, 1e-12);

  EXPECT_FALSE(GetLineCross(1, 0, 1, 1, 1 + 1e-11, 5, 1 + 1e-11, 6));  // both vertical
  EXPECT_FALSE(GetLineCross(0, 0, 1, 1, 0, 3, 2, 5));                  // same slope
}

TEST(ExtentsHelpers, GetEnkoTangentCross) {
  TEnkoTangentCross t = GetEnkoTangentCross(0, 0, 1, 1, 0, kPiD / 2, 0);
  EXPECT_NEAR(t.start.x, 1, 1e-12);
  EXPECT_NEAR(t.start.y, 0, 1e-12);
  EXPECT_NEAR(t.end.x, 0, 1e-12);
  EXPECT_NEAR(t.end.y, 1, 1e-12);
  EXPECT_NEAR(t.cross.x, 1, 1e-9);
  EXPECT_NEAR(t.cross.y, 1, 1e-9);

  // Flattened, tilted a quarter turn and moved: the own-axes crossing (2, 1)
  // lands at (10 − 1, 20 + 2).
  t = GetEnkoTangentCross(10, 20, 2, 0.5, 0, kPiD / 2, kPiD / 2);
  EXPECT_NEAR(t.cross.x, 9, 1e-9);
  EXPECT_NEAR(t.cross.y, 22, 1e-9);
  EXPECT_NEAR(t.start.x, 10, 1e-12);
  EXPECT_NEAR(t.start.y, 22, 1e-12);

  // A half circle has parallel end tangents: the crossing is the centre.
  t = GetEnkoTangentCross(5, 6, 1, 1, 0, kPiD, 0);
  EXPECT_NEAR(t.cross.x, 5, 1e-12);
  EXPECT_NEAR(t.cross.y, 6, 1e-12);
}

TEST(ExtentsHelpers, GetImageMojiInfo) {
  TImageMojiInfo info;
  EXPECT_TRUE(GetImageMojiInfo(u"^@BMpic.jpg,100,50", info));
  EXPECT_EQ(info.fileName, u"pic.jpg");
  EXPECT_EQ(info.d1, 100);
  EXPECT_EQ(info.d2, 50);
  EXPECT_EQ(info.d5, 1.0);
  EXPECT_EQ(info.n7, -1);

  EXPECT_TRUE(GetImageMojiInfo(u"^@BMpic.jpg,7.5", info));
  EXPECT_EQ(info.d1, 7.5);
  EXPECT_EQ(info.d2, 7.5);

  // Three or more values make the result false; the values are still read.
  EXPECT_FALSE(GetImageMojiInfo(u"^@BMa.bmp,1,2,3,4,0.5,6,7", info));
  EXPECT_EQ(info.d3, 3);
  EXPECT_EQ(info.d5, 0.5);
  EXPECT_EQ(info.d6, 6);
  EXPECT_EQ(info.n7, 7);
  EXPECT_EQ(info.n8, 0);  // value 7 given: missing 8 and 9 become 0
  EXPECT_EQ(info.n9, 0);

  // Malformed values read as 0; anything after the ninth value is ignored.
  EXPECT_FALSE(GetImageMojiInfo(u"^@BMa.bmp,x,,3,4,5,6,7,8,9,10,11", info));
  EXPECT_EQ(info.d1, 0);
  EXPECT_EQ(info.d2, 0);
  EXPECT_EQ(info.n8, 8);
  EXPECT_EQ(info.n9, 9);

  // No prefix or no comma: the defaults, and true.
  EXPECT_TRUE(GetImageMojiInfo(u"^@BMonly-a-name", info));
  EXPECT_EQ(info.fileName, u"");
  EXPECT_EQ(info.d1, 0);
  EXPECT_EQ(info.d5, 1.0);
  EXPECT_TRUE(GetImageMojiInfo(u"^@Bx,1,2,3", info));
  EXPECT_EQ(info.d1, 0);
  EXPECT_EQ(info.n9, -1);
}

// ---- real drawings ----

TEST(ExtentsCorpus, BoxHoldsEveryLineEndOfRealDrawings) {
  std::optional<std::filesystem::path> dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
    if (entry.path().extension() != ".jww") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TJwwData doc;
    ASSERT_TRUE(doc.FileIn(entry.path().string()));
    Box b = Extents(doc);
    ++files;
    EXPECT_TRUE(std::isfinite(b.minX) && std::isfinite(b.minY) && std::isfinite(b.maxX) &&
                std::isfinite(b.maxY));
    EXPECT_LE(b.minX, b.maxX);
    EXPECT_LE(b.minY, b.maxY);
    for (int32_t i = 0; i < doc.EntLineN; ++i) {
      const TEntJwwLine& l = doc.EntLine[i];
      for (auto [x, y] : {std::pair{l.start_x, l.start_y}, std::pair{l.end_x, l.end_y}}) {
        if (std::fabs(x) > 1e8 || std::fabs(y) > 1e8) continue;
        EXPECT_TRUE(x >= b.minX && x <= b.maxX && y >= b.minY && y <= b.maxY)
            << "line " << i << " end (" << x << ", " << y << ")";
      }
    }
  }
  EXPECT_GT(files, 0);
}
