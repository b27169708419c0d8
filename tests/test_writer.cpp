// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-exact cases of the JWW writer. Documents are built by filling records
// directly; expected bytes are spelled out field by field.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "jww/document.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace jww;

namespace {

using Bytes = std::vector<uint8_t>;

// Expected bytes, little-endian like the file.
struct Expect {
  Bytes b;
  template <typename T>
  Expect& put(T v) {
    uint8_t tmp[sizeof v];
    std::memcpy(tmp, &v, sizeof v);
    b.insert(b.end(), tmp, tmp + sizeof v);
    return *this;
  }
  Expect& u8(uint8_t v) { return put(v); }
  Expect& u16(uint16_t v) { return put(v); }
  Expect& u32(uint32_t v) { return put(v); }
  Expect& i32(int32_t v) { return put(v); }
  Expect& f64(double v) { return put(v); }
  Expect& ascii(std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Expect& str(std::string_view s) {  // short code page 932 string of ASCII
    u8(static_cast<uint8_t>(s.size()));
    return ascii(s);
  }
  Expect& newClass(int version, std::string_view name) {
    u16(0xFFFF).u16(static_cast<uint16_t>(version)).u16(static_cast<uint16_t>(name.size()));
    return ascii(name);
  }
  Expect& attr(int version, const TEntJwwAttr& a) {  // a must need no repair
    u32(a.lGroup).u8(a.nPenStyle).u16(a.nPenColor);
    if (version >= 351) u16(a.nPenWidth);
    return u16(a.nLayer).u16(a.nGLayer).u16(a.sFlg);
  }
  Expect& line(int version, const TEntJwwLine& l) {
    return attr(version, l.att).f64(l.start_x).f64(l.start_y).f64(l.end_x).f64(l.end_y);
  }
  Expect& ten(int version, const TEntJwwTen& t, uint32_t kariten) {
    attr(version, t.att).f64(t.start_x).f64(t.start_y).u32(kariten);
    if (t.att.nPenStyle == 100) u32(t.nCode).f64(t.radKaitenKaku).f64(t.dBairitsu);
    return *this;
  }
  Expect& enko(int version, const TEntJwwEnko& e) {
    attr(version, e.att).f64(e.start_x).f64(e.start_y).f64(e.dHankei).f64(e.radKaishiKaku);
    return f64(e.radEnkoKaku).f64(e.radKatamukiKaku).f64(e.dHenpeiRitsu).u32(e.bZenEnFlg);
  }
};

TEntJwwAttr Att(uint8_t style = 1, uint16_t color = 1, uint16_t layer = 0) {
  TEntJwwAttr a;
  a.lGroup = 0x01020304;
  a.nPenStyle = style;
  a.nPenColor = color;
  a.nPenWidth = 25;
  a.nLayer = layer;
  a.nGLayer = 2;
  a.sFlg = 0x0A0B;
  return a;
}

// A document with the tables a read file has.
TJwwData NewDoc(int32_t jwVer = 700) {
  TJwwData d;
  d.Enthd.jwVer = jwVer;
  d.EntLgrp.resize(kLayerGroups);
  d.EntLay.resize(kLayers);
  d.EntCol.resize(kPenColors);
  d.EntLtp1.resize(kLineTypes);
  d.EntLtp2.resize(kRandomLines);
  d.EntLtp3.resize(kDoubleLineTypes);
  d.EntMoj.resize(kMojiTypes);
  d.EntColS.resize(kSxfColors);
  d.EntLtpS.resize(kSxfLineTypes);
  return d;
}

void Order(TJwwData& d, int32_t kind, int32_t index) {
  d.EntNo.push_back({kind, index});
  d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
}
template <typename T>
int32_t Append(std::vector<T>& a, int32_t& n, const T& e) {
  a.push_back(e);
  return n++;
}
TEntJwwLine Line(double x) {
  TEntJwwLine l;
  l.att = Att();
  l.start_x = x;
  l.start_y = 2;
  l.end_x = 3;
  l.end_y = 4;
  return l;
}
void AddLine(TJwwData& d, double x) { Order(d, kLine, Append(d.EntLine, d.EntLineN, Line(x))); }
TEntJwwEnko Arc() {
  TEntJwwEnko e;
  e.att = Att(2, 3);
  e.start_x = 10;
  e.start_y = 11;
  e.dHankei = 5;
  e.radKaishiKaku = 0.5;
  e.radEnkoKaku = 1.5;
  e.radKatamukiKaku = 0.25;
  e.dHenpeiRitsu = 1;
  e.bZenEnFlg = 0;
  return e;
}
void AddArc(TJwwData& d) { Order(d, kEnko, Append(d.EntEnko, d.EntEnkoN, Arc())); }
TEntJwwMoji Text(std::u16string s) {
  TEntJwwMoji m;
  m.att = Att();
  m.start_x = 1;
  m.end_x = 2;
  m.nMojiShu = 3;
  m.dSizeX = 2.5;
  m.dSizeY = 2.5;
  m.dKankaku = 0.5;
  m.degKakudo = 90;
  m.strFontName = u"MS Gothic";
  m.str = std::move(s);
  return m;
}
void AddText(TJwwData& d, std::u16string s) {
  Order(d, kMoji, Append(d.EntMoji, d.EntMojiN, Text(std::move(s))));
}

Bytes Write(TJwwData& d, int32_t version) {
  ByteWriter out;
  EXPECT_TRUE(d.WriteToBuffer(out, version)) << d.LastWriteError;
  return out.buffer();
}

// The bytes after the header: the header depends only on Enthd and the
// tables, so a copy without entities, blocks and images writes it alone.
Bytes Body(TJwwData& d, int32_t version) {
  TJwwData h = d;
  h.EntNo.clear();
  h.Enthd.n1 = 0;
  h.EntBlockDef.clear();
  h.EntBlockDefN = 0;
  h.BindImage.clear();
  h.BindImageN = 0;
  Bytes head = Write(h, version);
  Bytes all = Write(d, version);
  size_t tail = version >= 700 ? 8 : 4;  // two empty counts and the image count
  EXPECT_GE(head.size(), tail);
  size_t headerSize = head.size() - tail;
  EXPECT_TRUE(std::equal(head.begin(), head.begin() + headerSize, all.begin()));
  return Bytes(all.begin() + headerSize, all.end());
}

size_t HeaderSize(TJwwData d, int32_t version) {
  return Write(d, version).size() - (version >= 700 ? 8 : 4);
}

bool Contains(const Bytes& hay, const Bytes& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// ---- file layout ----

TEST(Writer, EmptyDocumentIsHeaderAndEmptyLists) {
  for (TJwwData d : {NewDoc(), TJwwData()}) {  // read-like and never-read documents
    Bytes b = Write(d, 700);
    ASSERT_GT(b.size(), 20u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "JwwData.");
    EXPECT_EQ(Bytes(b.begin() + 8, b.begin() + 12), (Expect{}.u32(700).b));
    EXPECT_EQ(Bytes(b.end() - 8, b.end()), Bytes(8, 0));  // u16 0, u16 0, u32 0 images
    EXPECT_EQ(d.Enthd.jwID, u"JwwData.");
    EXPECT_EQ(Body(d, 700), (Expect{}.u16(0).u16(0).u32(0).b));
    EXPECT_EQ(Body(d, 600), (Expect{}.u16(0).u16(0).b));
  }
}

TEST(Writer, ClassTagsSchemaAndIndexes) {
  TJwwData d = NewDoc();
  AddLine(d, 1);
  AddArc(d);
  AddLine(d, 7);
  // "CDataSen" 1, first line 2, "CDataEnko" 3, arc 4, second line 5 (tag 0x8001).
  Expect e;
  e.u16(3);
  e.newClass(700, "CDataSen").line(700, d.EntLine[0]);
  e.newClass(700, "CDataEnko").enko(700, d.EntEnko[0]);
  e.u16(0x8001).line(700, d.EntLine[1]);
  e.u16(0).u32(0);
  EXPECT_EQ(Body(d, 700), e.b);
  EXPECT_EQ(Body(d, 700)[4], 0xBC);  // schema 700 = 0x02BC
  EXPECT_EQ(Body(d, 700)[5], 0x02);
  Expect e600;  // the schema word is the version written
  e600.u16(3).newClass(600, "CDataSen");
  EXPECT_TRUE(std::equal(e600.b.begin(), e600.b.end(), Body(d, 600).begin()));
}

TEST(Writer, LargeCountsAndClassIndexesUseTheirLongForms) {
  TJwwData d = NewDoc();
  d.EntLine.reserve(65535);
  for (int i = 0; i < 65535; ++i) AddLine(d, i);
  AddArc(d);
  AddArc(d);
  Bytes b = Body(d, 700);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), (Expect{}.u16(0xFFFF).u32(65537).b));
  // "CDataSen" 1, lines 2..65536, "CDataEnko" 65537: the second arc's tag
  // cannot fit in 15 bits.
  size_t firstArc = 6 + (6 + 8 + 47) + 65534 * (2 + 47);
  Expect arc;
  arc.newClass(700, "CDataEnko").enko(700, d.EntEnko[0]);
  arc.u16(0x7FFF).u32(0x80000000u + 65537).enko(700, d.EntEnko[1]);
  arc.u16(0).u32(0);
  EXPECT_EQ(Bytes(b.begin() + firstArc, b.end()), arc.b);
}

TEST(Writer, InvalidDrawOrderEntriesAreNeitherCountedNorWritten) {
  TJwwData d = NewDoc();
  AddLine(d, 1);
  Order(d, kNone, 0);            // a removed entity
  Order(d, kLine, 5);            // past the count
  Order(d, kLine, -1);           // negative
  Order(d, 9, 0);                // no such kind
  d.EntLine.push_back(Line(9));  // in the array but beyond the count
  Order(d, kLine, 1);
  d.EntNo.push_back({kLine, 0});  // beyond n1: not part of the list
  Expect e;
  e.u16(1).newClass(700, "CDataSen").line(700, d.EntLine[0]).u16(0).u32(0);
  EXPECT_EQ(Body(d, 700), e.b);
}

// ---- version-dependent header rows and attribute blocks ----

TEST(Writer, Version230HasFourShortZoomViewsAnd231EightFullOnes) {
  TJwwData d = NewDoc(231);
  // Rows 22a + 22b (8 × 28 + 56 bytes) replace row 22c (4 × 24 bytes).
  EXPECT_EQ(HeaderSize(d, 231) - HeaderSize(d, 230), 8u * 28 + 56 - 4 * 24);
  // Rows 32-35 start at 223, 225 and 230; row 19 at 300; rows 36-39 at 420.
  EXPECT_EQ(HeaderSize(d, 223) - HeaderSize(d, 222), 5u * 4 + 5 * 8);
  EXPECT_EQ(HeaderSize(d, 225) - HeaderSize(d, 224), 4u * 8);
  EXPECT_EQ(HeaderSize(d, 300) - HeaderSize(d, 299), 2u * 8);
}

TEST(Writer, PenWidthIsStoredFrom351) {
  TJwwData d = NewDoc();
  AddLine(d, 1);
  Expect e350, e351;
  e350.u16(1).newClass(350, "CDataSen").line(350, d.EntLine[0]).u16(0);
  e351.u16(1).newClass(351, "CDataSen").line(351, d.EntLine[0]).u16(0);
  EXPECT_EQ(Body(d, 350), e350.b);
  EXPECT_EQ(Body(d, 351), e351.b);
  EXPECT_EQ(e351.b.size() - e350.b.size(), 2u);
}

TEST(Writer, CombinedPrintValueFrom600) {
  TJwwData d = NewDoc();
  // Neighbours with recognisable values locate the field.
  d.Enthd.nPrtKyoutsuuGray = 0x5A5A5A5A;
  d.Enthd.lnDrawTime = 0x3C3C3C3C;
  d.Enthd.nPrtDpi = 0;
  d.Enthd.nPrtDispOnlyNonDraw = 1;
  auto field = [&](int version) {
    Bytes b = Write(d, version);
    Bytes mark = Expect{}.i32(0x5A5A5A5A).b;
    auto it = std::search(b.begin(), b.end(), mark.begin(), mark.end());
    EXPECT_NE(it, b.end());
    int32_t v;
    std::memcpy(&v, &*(it + 4), 4);
    return v;
  };
  EXPECT_EQ(field(600), 11);  // a resolution of 0 counts as 1
  EXPECT_EQ(field(500), 1);
  d.Enthd.nPrtDpi = 36;
  EXPECT_EQ(field(700), 361);
}

TEST(Writer, LayerNamesLoseLineMarksAndControlCharacters) {
  TJwwData d = NewDoc();
  d.EntLay[0].aStrLayName = u"^mA\\nB";
  d.EntLay[1].aStrLayName = u"\t\r\n";
  d.EntLay[2].aStrLayName = u"";
  d.EntLay[3].aStrLayName = u"^m";
  d.EntLgrp[0].aStrGLayName = u"G\x01x";
  Bytes b = Write(d, 700);
  EXPECT_TRUE(Contains(b, Expect{}.str("AB").str(" ").str("").str(" ").b));
  EXPECT_TRUE(Contains(b, Expect{}.str("Gx").b));
}

TEST(Writer, SxfColourAndLineTypeNamesGetDefaults) {
  TJwwData d = NewDoc();
  d.EntColS[20].astrUDColorName = u"\u3000";
  d.EntColS[21].astrUDColorName = u"Rouge";
  d.EntLtpS[17].anUDLTypeSegment = 3;
  d.EntLtpS[17].astrUDLTypeName = u"Mine";
  d.EntLtpS[18].anUDLTypeSegment = 4;
  d.EntLtpS[18].alLType = 0x0F0F0F0F;
  d.EntLtpS[18].aadUDLTypePitch[0] = 2.5;
  Bytes b = Write(d, 700);
  EXPECT_TRUE(Contains(b, Expect{}.str("Color_20").b));
  EXPECT_TRUE(Contains(b, Expect{}.str("Rouge").b));
  EXPECT_TRUE(Contains(b, Expect{}.str("Color_256").b));
  // Line type 17 with three segments is replaced whole.
  EXPECT_TRUE(Contains(b, Expect{}.u32(0xC3C3C3C3).i32(8).i32(1).i32(8).i32(0x0F0F0F0F).b));
  Expect lt17;
  lt17.str("LType_17").i32(2).f64(1).f64(1);
  for (int i = 0; i < 8; ++i) lt17.f64(0);
  lt17.str("LType_18").i32(4).f64(2.5);
  EXPECT_TRUE(Contains(b, lt17.b));
}

TEST(Writer, TextSizesAreClampedPositive) {
  TJwwData d = NewDoc();
  d.EntMoj[0] = {7.25, -3.5, 0.125, 5};
  d.EntMoj[1] = {0, 1e11, -0.5, 6};
  Bytes b = Write(d, 700);
  EXPECT_TRUE(Contains(b, Expect{}.f64(7.25).f64(3.5).f64(0.125).i32(5).b));
  EXPECT_TRUE(Contains(b, Expect{}.f64(1e-10).f64(1e10).f64(-0.5).i32(6).b));

  AddText(d, u"x");
  d.EntMoji[0].dSizeX = -2;
  d.EntMoji[0].dSizeY = 0;
  Expect e;
  e.u16(1).newClass(700, "CDataMoji").attr(700, d.EntMoji[0].att);
  e.f64(1).f64(0).f64(2).f64(0).u32(3).f64(2).f64(1e-10).f64(0.5).f64(90);
  e.str("MS Gothic").str("x").u16(0).u32(0);
  EXPECT_EQ(Body(d, 700), e.b);
}

// ---- entity bodies ----

TEST(Writer, PointExtrasAndSolidColourFollowOnlyWhenMarked) {
  TJwwData d = NewDoc();
  TEntJwwTen plain;
  plain.att = Att(1, 2);
  plain.start_x = 1;
  plain.nCode = 77;  // not written: the style is not 100
  TEntJwwTen coded = plain;
  coded.att.nPenStyle = 100;
  coded.radKaitenKaku = 0.5;
  coded.dBairitsu = 2;
  Order(d, kTen, Append(d.EntTen, d.EntTenN, plain));
  Order(d, kTen, Append(d.EntTen, d.EntTenN, coded));
  TEntJwwSolid s;
  s.att = Att(1, 9);
  s.Color = 0x123456;  // not written: colour 9
  TEntJwwSolid rgb = s;
  rgb.att.nPenColor = 10;
  Order(d, kSolid, Append(d.EntSolid, d.EntSolidN, s));
  Order(d, kSolid, Append(d.EntSolid, d.EntSolidN, rgb));

  Expect e;
  e.u16(4).newClass(700, "CDataTen").ten(700, plain, 0);
  e.u16(0x8001).ten(700, coded, 0);
  e.newClass(700, "CDataSolid").attr(700, s.att);
  for (int i = 0; i < 8; ++i) e.f64(0);
  e.u16(0x8004).attr(700, rgb.att);
  for (int i = 0; i < 8; ++i) e.f64(0);
  e.u32(0x123456).u16(0).u32(0);
  EXPECT_EQ(Body(d, 700), e.b);
}

TEST(Writer, AttributesAreRepairedOnTheWayOut) {
  TJwwData d = NewDoc();
  AddLine(d, 1);
  d.EntLine[0].att.nPenStyle = 33;
  d.EntLine[0].att.nPenColor = 107;
  d.EntLine[0].att.nLayer = 20;
  TEntJwwAttr at300 = d.EntLine[0].att;
  at300.nPenStyle = 3;
  at300.nPenColor = 1;
  at300.nLayer = 0;
  TEntJwwAttr at600 = d.EntLine[0].att;
  at600.nLayer = 0;
  Expect e300, e600;
  e300.u16(1).newClass(300, "CDataSen").attr(300, at300).f64(1).f64(2).f64(3).f64(4).u16(0);
  e600.u16(1).newClass(600, "CDataSen").attr(600, at600).f64(1).f64(2).f64(3).f64(4).u16(0);
  EXPECT_EQ(Body(d, 300), e300.b);
  EXPECT_EQ(Body(d, 600), e600.b);
  EXPECT_EQ(d.EntLine[0].att.nLayer, 20);  // the document is not changed
}

TEST(Writer, StringsMatchTheArchiveForm) {
  // The writer's own fast path for ASCII must give WriteCString's bytes.
  for (int32_t opt : {0, 0x20}) {
    for (std::u16string s : {std::u16string(u""), std::u16string(u"abc"), std::u16string(254, u'x'),
                             std::u16string(255, u'y'), std::u16string(300, u'z'),
                             std::u16string(u"\u56f3\u9762"), std::u16string(u"a\u00e9b")}) {
      TJwwData d = NewDoc();
      d.SetFileOutOption(opt);
      AddText(d, s);
      ByteWriter ref;
      ASSERT_TRUE(WriteCString(ref, opt, u"MS Gothic"));
      ASSERT_TRUE(WriteCString(ref, opt, s));
      ref.u16(0);
      ref.u32(0);
      Bytes body = Body(d, 700);
      Bytes tail(body.end() - ref.buffer().size(), body.end());
      EXPECT_EQ(tail, ref.buffer()) << "option " << opt << ", length " << s.size();
    }
  }
}

TEST(Writer, SetFileOutOptionKeepsOnlyValidWords) {
  TJwwData d;
  d.SetFileOutOption(63);
  EXPECT_EQ(d.FileOutOpt, 63);
  d.SetFileOutOption(64);
  EXPECT_EQ(d.FileOutOpt, 0);
  d.SetFileOutOption(32);
  d.SetFileOutOption(-1);
  EXPECT_EQ(d.FileOutOpt, 0);
}

// ---- dimensions ----

TEntJwwSunpo SxfDimension() {
  TEntJwwSunpo s;
  s.att = Att(1, 4);
  s.Sen = Line(1);
  s.Moji = Text(u"1000");
  s.bSxfMode = 1;
  s.Ho1 = Line(5);
  s.Ho2 = Line(6);
  s.Te1.att = Att(1, 4);
  s.Te1.start_x = 7;
  s.Te2.att = Att(100, 4);
  s.Te2.nCode = 3;
  s.Te2.dBairitsu = 1;
  s.Kt1.att = Att(1, 4);
  s.Kt2.att = Att(1, 4);
  s.Kt2.bKariten = 0;
  return s;
}

Expect& DimensionHead(Expect& e, int version, const TEntJwwSunpo& s) {
  e.attr(version, s.att).line(version, s.Sen).attr(version, s.Moji.att);
  e.f64(1).f64(0).f64(2).f64(0).u32(3).f64(2.5).f64(2.5).f64(0.5).f64(90);
  return e.str("MS Gothic").str("1000");
}

TEST(Writer, SxfDimensionIsSplitIntoSevenObjectsBelow420) {
  TJwwData d = NewDoc(700);
  Order(d, kSunpo, Append(d.EntSunpo, d.EntSunpoN, SxfDimension()));
  const TEntJwwSunpo& s = d.EntSunpo[0];

  Expect old;
  old.u16(7).newClass(400, "CDataSunpou");  // class 1, dimension 2
  DimensionHead(old, 400, s);
  old.newClass(400, "CDataSen").line(400, s.Ho1);    // class 3, Ho1 4
  old.u16(0x8003).line(400, s.Ho2);                  // Ho2 5
  old.newClass(400, "CDataTen").ten(400, s.Te1, 0);  // class 6, Te1 7
  old.u16(0x8006).ten(400, s.Te2, 0);
  old.u16(0x8006).ten(400, s.Kt1, 1);  // carried points become temporary points
  old.u16(0x8006).ten(400, s.Kt2, 1);
  old.u16(0);
  EXPECT_EQ(Body(d, 400), old.b);

  Expect whole;
  whole.u16(1).newClass(700, "CDataSunpou");
  DimensionHead(whole, 700, s).u16(1).line(700, s.Ho1).line(700, s.Ho2);
  whole.ten(700, s.Te1, 0).ten(700, s.Te2, 0).ten(700, s.Kt1, 0).ten(700, s.Kt2, 0);
  whole.u16(0).u32(0);
  EXPECT_EQ(Body(d, 700), whole.b);
}

TEST(Writer, DimensionIsNotSplitWhenReadFromAnOldFileOrNotSxf) {
  for (auto [jwVer, sxf] : {std::pair{400, 1}, std::pair{700, 0}}) {
    TJwwData d = NewDoc(jwVer);
    TEntJwwSunpo dim = SxfDimension();
    dim.bSxfMode = static_cast<uint16_t>(sxf);
    Order(d, kSunpo, Append(d.EntSunpo, d.EntSunpoN, dim));
    Expect e;
    e.u16(1).newClass(300, "CDataSunpou");
    DimensionHead(e, 300, dim).u16(0);
    EXPECT_EQ(Body(d, 300), e.b);
  }
}

TEST(Writer, SplitDimensionsCountSevenInsideBlockDefinitions) {
  TJwwData d = NewDoc(700);
  TEntJwwBlockDef def;
  def.nNumber = 4;
  def.strName = u"dim";
  def.mSunpo.push_back(SxfDimension());
  def.mSunpoN = 1;
  def.mNo = {{kSunpo, 0}, {kLine, 0}};  // the second entry names nothing
  def.N = 2;
  def.ref_flag = true;
  def.ref_no = 0;
  d.EntBlockDef.push_back(def);
  d.EntBlockDefN = 1;
  d.EntBlockNum = 1;
  Bytes b = Body(d, 400);
  Expect head;
  head.u16(0).u16(1).newClass(400, "CDataList").attr(400, def.att).u32(0).u32(0).u32(0);
  head.str("dim").u16(7).newClass(400, "CDataSunpou");
  EXPECT_TRUE(std::equal(head.b.begin(), head.b.end(), b.begin()));
}

// ---- image texts ----

TEST(Writer, ImageTextOptionsRewriteTheFileReference) {
  const std::u16string text = u"^@BM%temp%dir\\logo.png,10,20";
  auto written = [&](int32_t opt, std::u16string s) {
    TJwwData d = NewDoc(600);
    d.SetFileOutOption(opt);
    AddText(d, s);
    Bytes b = Body(d, 600);
    Bytes font = Expect{}.str("MS Gothic").b;  // the text follows its font name
    auto at = std::search(b.begin(), b.end(), font.begin(), font.end()) + font.size();
    return std::string(at + 1, at + 1 + *at);
  };
  EXPECT_EQ(written(0, text), "^@BM%temp%dir\\logo.png,10,20");
  EXPECT_EQ(written(8, text), "^@BMdir\\logo.png,10,20");
  EXPECT_EQ(written(1, text), "^@BMlogo.png,10,20");
  EXPECT_EQ(written(9, text), "^@BMlogo.png,10,20");
  EXPECT_EQ(written(1, u"^@BMc:/x/y.bmp,1"), "^@BMy.bmp,1");
  EXPECT_EQ(written(1, u"^@BMa<b.png,1"), "^@BM,1");  // not a path
  EXPECT_EQ(written(1, u"^@BMno comma"), "^@BMno comma");
  EXPECT_EQ(written(9, u"plain\\text,1"), "plain\\text,1");
  EXPECT_EQ(written(0, u"^m^@BM%temp%x,1"), "^@BM%temp%x,1");  // cleaned first
}

// ---- block definitions ----

TEntJwwBlockDef Def(uint32_t number, std::u16string name) {
  TEntJwwBlockDef b;
  b.att = Att();
  b.nNumber = number;
  b.bRefferd = 1;
  b.dtime = 0xABCD;
  b.strName = std::move(name);
  b.mLine.push_back(Line(number));
  b.mLineN = 1;
  b.mNo = {{kLine, 0}};
  b.N = 1;
  return b;
}

void AddInsertion(TJwwData& d, uint32_t number) {
  TEntJwwBlock b;
  b.att = Att();
  b.dBairitsuX = b.dBairitsuY = 1;
  b.nNumber = number;
  Order(d, kBlock, Append(d.EntBlock, d.EntBlockN, b));
}

Expect& Insertion(Expect& e, int version, uint32_t number) {
  e.attr(version, Att()).f64(0).f64(0).f64(1).f64(1).f64(0).u32(number);
  return e;
}

TEST(Writer, OnlyReferencedDefinitionsAreWrittenAndRenumbered) {
  TJwwData d = NewDoc();
  for (auto [n, name] : {std::pair{5u, u"A"}, std::pair{7u, u"B"}, std::pair{9u, u"C"}})
    d.EntBlockDef.push_back(Def(n, name));
  d.EntBlockDefN = 3;
  d.Enthd.n2 = 3;
  AddInsertion(d, 7);
  AddInsertion(d, 9);
  d.MakeBlockTree();
  ASSERT_EQ(d.EntBlockNum, 2);

  Expect e;
  e.u16(2).newClass(700, "CDataBlock");  // class 1, insertion 2
  Insertion(e, 700, 0).u16(0x8001);      // insertion 3
  Insertion(e, 700, 1);
  e.u16(2).newClass(700, "CDataList");  // class 4, B 5
  e.attr(700, Att()).u32(0).u32(1).u32(0xABCD).str("B").u16(1);
  e.newClass(700, "CDataSen").line(700, Line(7));                            // class 6, member 7
  e.u16(0x8004).attr(700, Att()).u32(1).u32(1).u32(0xABCD).str("C").u16(1);  // C 8
  e.u16(0x8006).line(700, Line(9));
  e.u32(0);
  EXPECT_EQ(Body(d, 700), e.b);
}

TEST(Writer, InsertionOfAMissingDefinitionStaysDangling) {
  TJwwData d = NewDoc();
  d.EntBlockDef.push_back(Def(7, u"B"));
  d.EntBlockDefN = 1;
  d.Enthd.n2 = 1;
  AddInsertion(d, 7);
  AddInsertion(d, 0);   // no definition 0: must not come to place B (written as 0)
  AddInsertion(d, 42);  // no definition 42: keeps its number
  d.MakeBlockTree();
  ASSERT_EQ(d.EntBlockNum, 1);
  Expect e;
  e.u16(3).newClass(700, "CDataBlock");
  Insertion(e, 700, 0).u16(0x8001);
  Insertion(e, 700, 1).u16(0x8001);
  Insertion(e, 700, 42);
  Bytes b = Body(d, 700);
  ASSERT_GE(b.size(), e.b.size());
  EXPECT_EQ(Bytes(b.begin(), b.begin() + e.b.size()), e.b);
}

// ---- failures ----

TEST(Writer, StringsTooLongForTheFormatFailTheWrite) {
  for (int32_t opt : {0, 0x20}) {
    TJwwData d = NewDoc();
    d.SetFileOutOption(opt);
    AddText(d, std::u16string(0xFFFE, u'a'));
    ByteWriter out;
    EXPECT_FALSE(d.WriteToBuffer(out, 700));
    EXPECT_NE(d.LastWriteError.find("too long"), std::string::npos) << d.LastWriteError;
  }
  TJwwData d = NewDoc();
  AddText(d, std::u16string(0xFFFD, u'a'));  // the longest that fits
  ByteWriter out;
  EXPECT_TRUE(d.WriteToBuffer(out, 700)) << d.LastWriteError;
  EXPECT_TRUE(d.LastWriteError.empty());
}

TEST(Writer, VersionsOutsideTheFormatAreRefused) {
  TJwwData d = NewDoc();
  for (int v : {219, 701, 0, -5}) {
    ByteWriter out;
    EXPECT_FALSE(d.WriteToBuffer(out, v));
    EXPECT_FALSE(d.LastWriteError.empty());
  }
  for (int v : {220, 230, 231, 300, 350, 351, 420, 600, 700}) {
    ByteWriter out;
    EXPECT_TRUE(d.WriteToBuffer(out, v)) << v;
  }
}

// ---- files ----

class WriterFiles : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-writer"};
  void SetUp() override { dir_ = tmp_.path(); }
  std::set<std::string> Names() const {
    std::set<std::string> s;
    for (const auto& e : fs::directory_iterator(dir_)) s.insert(e.path().filename().string());
    return s;
  }
  static std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path dir_;
};

TEST_F(WriterFiles, FileOutWritesWhatWriteToBufferGives) {
  TJwwData d = NewDoc();
  AddLine(d, 1);
  std::string path = (dir_ / "out.jww").string();
  ASSERT_TRUE(d.FileOut(path, 700)) << d.LastWriteError;
  Bytes mem = Write(d, 700);
  EXPECT_EQ(ReadAll(path), std::string(mem.begin(), mem.end()));
  EXPECT_EQ(Names(), std::set<std::string>{"out.jww"});
  // Replacing is FileOut's way.
  AddLine(d, 2);
  ASSERT_TRUE(d.FileOut(path, 600));
  mem = Write(d, 600);
  EXPECT_EQ(ReadAll(path), std::string(mem.begin(), mem.end()));
}

TEST_F(WriterFiles, FileOutNewNeverReplaces) {
  TJwwData d = NewDoc();
  std::string path = (dir_ / "out.jww").string();
  { std::ofstream(path) << "precious"; }
  EXPECT_FALSE(d.FileOutNew(path, 700));
  EXPECT_EQ(d.LastWriteError, "exists");
  EXPECT_EQ(ReadAll(path), "precious");
  EXPECT_EQ(Names(), std::set<std::string>{"out.jww"});
  std::string other = (dir_ / "new.jww").string();
  EXPECT_TRUE(d.FileOutNew(other, 700)) << d.LastWriteError;
  EXPECT_EQ(Names(), (std::set<std::string>{"new.jww", "out.jww"}));
}

TEST_F(WriterFiles, AFailedWriteLeavesNothingAndKeepsTheOldFile) {
  TJwwData d = NewDoc();
  AddText(d, std::u16string(70000, u'a'));
  std::string path = (dir_ / "out.jww").string();
  EXPECT_FALSE(d.FileOut(path, 700));
  EXPECT_FALSE(d.LastWriteError.empty());
  EXPECT_TRUE(Names().empty());
  { std::ofstream(path) << "old"; }
  EXPECT_FALSE(d.FileOut(path, 700));
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_EQ(Names(), std::set<std::string>{"out.jww"});
}

TEST_F(WriterFiles, AFullDiskLeavesNothing) {
  // A file size limit makes writes fail the way a full disk does.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  TJwwData d = NewDoc();
  for (int i = 0; i < 30000; ++i) AddLine(d, i);  // about 1.5 MB
  bool ok = d.FileOut((dir_ / "out.jww").string(), 700);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(d.LastWriteError.empty());
  EXPECT_TRUE(Names().empty());
}

TEST_F(WriterFiles, UnwritablePathsReturnFalse) {
  TJwwData d = NewDoc();
  EXPECT_FALSE(d.FileOut((dir_ / "missing" / "out.jww").string(), 700));
  EXPECT_FALSE(d.LastWriteError.empty());
  EXPECT_FALSE(d.FileOut("", 700));
  EXPECT_FALSE(d.FileOut(dir_.string(), 700));  // a folder
  EXPECT_TRUE(fs::is_directory(dir_));
  EXPECT_FALSE(d.FileOut((dir_ / "out.jww").string(), 100));  // no such version
  EXPECT_TRUE(Names().empty());
}

TEST_F(WriterFiles, VeryLongNamesStillGetATemporaryFile) {
  TJwwData d = NewDoc();
  std::string name(250, 'n');
  name += ".jww";  // 254 bytes: no room for a suffix
  ASSERT_TRUE(d.FileOut((dir_ / name).string(), 700)) << d.LastWriteError;
  EXPECT_EQ(Names(), std::set<std::string>{name});
}

// ---- image section ----

class WriterImages : public WriterFiles {
 protected:
  void SetUp() override {
    WriterFiles::SetUp();
    work_ = dir_ / "work";
    fs::create_directory(work_);
    doc_ = NewDoc();
    doc_.BindImageFolder = work_.string() + "/";
    doc_.BindImageExp = doc_.BindImageExr = true;
  }
  void Image(const std::u16string& name, const std::string& fileName, const std::string& data) {
    doc_.BindImage.push_back({name, static_cast<int32_t>(data.size()), false});
    doc_.BindImageN = static_cast<int32_t>(doc_.BindImage.size());
    if (!fileName.empty()) std::ofstream(work_ / fileName, std::ios::binary) << data;
  }
  // The image section: what follows the lists, located by writing the same
  // document with image handling off (its section is the count 0 alone).
  Bytes Section() {
    Bytes b = Body(doc_, 700);
    TJwwData plain = doc_;
    plain.BindImageExp = plain.BindImageExr = false;
    size_t listEnd = Body(plain, 700).size() - 4;
    return Bytes(b.begin() + static_cast<long>(listEnd), b.end());
  }
  fs::path work_;
  TJwwData doc_;
};

TEST_F(WriterImages, ReferencedImagesAreEmbeddedAsTheyAreOnDisk) {
  Image(u"LOGO.PNG.gz", "LOGO.PNG.gz", "gzip bytes");
  Image(u"unused.png", "unused.png", "never");
  Image(u"plan.bmp", "plan.bmp", std::string(5000, 'b'));
  AddText(doc_, u"^@BM%temp%logo.png,1,2");  // case is ignored
  AddText(doc_, u"^@BM%temp%plan.bmp,1,2");
  Expect e;
  e.u32(2).str("LOGO.PNG.gz").u32(10).ascii("gzip bytes");
  e.str("plan.bmp").u32(5000).ascii(std::string(5000, 'b'));
  EXPECT_EQ(Section(), e.b);
  EXPECT_TRUE(doc_.BindImage[0].exf);
  EXPECT_FALSE(doc_.BindImage[1].exf);
  EXPECT_TRUE(doc_.BindImage[2].exf);
}

TEST_F(WriterImages, TextsInsideBlockDefinitionsMarkImagesToo) {
  Image(u"a.png", "a.png", "A");
  TEntJwwBlockDef def = Def(3, u"unused");
  def.mMoji.push_back(Text(u"^@BM%temp%a.png,1"));
  def.mMojiN = 1;
  doc_.EntBlockDef.push_back(def);
  doc_.EntBlockDefN = 1;
  EXPECT_EQ(Section(), (Expect{}.u32(1).str("a.png").u32(1).ascii("A").b));
}

TEST_F(WriterImages, MissingUnsafeOrDisabledImagesAreLeftOutOfTheCount) {
  Image(u"gone.png", "", "");
  Image(u"../outside.png", "", "");
  Image(u"folder", "", "");
  fs::create_directory(work_ / "folder");
  std::ofstream(dir_ / "outside.png") << "secret";
  Image(u"ok.png", "ok.png", "OK");
  for (auto t : {u"^@BM%temp%gone.png,1", u"^@BM%temp%../outside.png,1", u"^@BM%temp%folder,1",
                 u"^@BM%temp%ok.png,1", u"^@BM%temp%,1"})
    AddText(doc_, t);
  EXPECT_EQ(Section(), (Expect{}.u32(1).str("ok.png").u32(2).ascii("OK").b));
  EXPECT_FALSE(doc_.BindImage[0].exf);
  EXPECT_FALSE(doc_.BindImage[1].exf);

  doc_.BindImageExp = doc_.BindImageExr = false;
  Bytes b = Body(doc_, 700);
  EXPECT_EQ(Bytes(b.end() - 4, b.end()), Bytes(4, 0));
  EXPECT_FALSE(doc_.BindImage[3].exf);
}

TEST_F(WriterImages, NoImageSectionBelow700) {
  Image(u"ok.png", "ok.png", "OK");
  AddText(doc_, u"^@BM%temp%ok.png,1");
  Bytes b = Write(doc_, 600);
  EXPECT_EQ(Bytes(b.end() - 2, b.end()), Bytes(2, 0));  // ends with the definition count
  EXPECT_FALSE(Contains(b, Expect{}.str("ok.png").b));
}

}  // namespace
