// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "jww/document.h"
#include "jww/dump.h"

using namespace jww;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// Lines that differ between two dumps of the same length.
std::vector<std::string> ChangedLines(const std::string& a, const std::string& b) {
  auto la = Lines(a), lb = Lines(b);
  EXPECT_EQ(la.size(), lb.size());
  std::vector<std::string> out;
  for (size_t i = 0; i < la.size() && i < lb.size(); ++i)
    if (la[i] != lb[i]) out.push_back(lb[i]);
  return out;
}

bool Contains(const std::string& hay, const std::string& needle) {
  return hay.find(needle) != std::string::npos;
}

TEntJwwLine MakeLine(double x0, double y0, double x1, double y1) {
  TEntJwwLine l;
  l.att.nPenColor = 2;
  l.att.nPenStyle = 1;
  l.start_x = x0;
  l.start_y = y0;
  l.end_x = x1;
  l.end_y = y1;
  return l;
}

// A small drawing: a line, a text and a placement of one block definition
// that holds a line and an arc.
TJwwData SampleDocument() {
  TJwwData d;
  d.Enthd.jwID = u"JwwData.";
  d.Enthd.jwVer = 700;
  d.Enthd.strMemo = u"memo";
  d.EntLgrp.resize(kLayerGroups);
  d.EntLay.resize(kLayers);
  d.EntLay[53].aStrLayName = u"壁";
  d.EntCol.resize(kPenColors);
  d.EntLtp1.resize(kLineTypes);
  d.EntLtp2.resize(kRandomLines);
  d.EntLtp3.resize(kDoubleLineTypes);
  d.EntColS.resize(kSxfColors);
  d.EntLtpS.resize(kSxfLineTypes);
  d.EntMoj.resize(kMojiTypes);

  d.EntLine = {MakeLine(0, 0, 100, 0.1)};
  d.EntLineN = 1;
  TEntJwwMoji m;
  m.att.nGLayer = 3;
  m.att.nLayer = 5;
  m.str = u"寸法 \"A\"";
  m.strFontName = u"ＭＳ ゴシック";
  d.EntMoji = {m};
  d.EntMojiN = 1;
  TEntJwwBlock b;
  b.DPKijunTen_x = 10;
  b.dBairitsuX = b.dBairitsuY = 1;
  b.nNumber = 5;
  d.EntBlock = {b};
  d.EntBlockN = 1;
  d.EntNo = {{kLine, 0}, {kMoji, 0}, {kBlock, 0}};

  TEntJwwBlockDef def;
  def.nNumber = 5;
  def.strName = u"@@SFIGORGFLAG@@1";
  def.mLine = {MakeLine(1, 2, 3, 4)};
  def.mLineN = 1;
  TEntJwwEnko arc;
  arc.dHankei = 2.5;
  arc.dHenpeiRitsu = 1;
  arc.bZenEnFlg = 1;
  def.mEnko = {arc};
  def.mEnkoN = 1;
  def.mNo = {{kEnko, 0}, {kLine, 0}};
  def.N = 2;
  d.EntBlockDef = {def};
  d.EntBlockDefN = 1;
  return d;
}

}  // namespace

TEST(Dump, SectionsAndEveryTableEntry) {
  TJwwData d = SampleDocument();
  std::string dump = DumpDocument(d);
  auto lines = Lines(dump);
  EXPECT_EQ(lines.front(), "[header]");
  EXPECT_TRUE(Contains(dump, "Enthd jwID=\"JwwData.\"\nEnthd jwVer=700\n"));
  EXPECT_TRUE(Contains(dump, "Enthd zoomJump=8 dZoomJumpBairitsu=1"));
  EXPECT_TRUE(Contains(dump, "Enthd adFukusenSuuchi[0]=0 "));
  EXPECT_TRUE(Contains(dump, "EntLay[53] aanLay=0 aanLayProtect=0 aStrLayName=\"壁\"\n"));
  EXPECT_TRUE(Contains(dump, "EntLay[255] "));
  EXPECT_TRUE(Contains(dump, "EntLtpS[32] "));
  EXPECT_TRUE(Contains(dump, " aadUDLTypePitch[9]=0\n"));
  for (std::string section : {"[EntLgrp]", "[EntCol]", "[EntLtp1]", "[EntLtp2]", "[EntLtp3]",
                              "[EntColS]", "[EntMoj]", "[entities]", "[blockdefs]", "[images]"})
    EXPECT_TRUE(Contains(dump, "\n" + section + "\n")) << section;

  std::string ents = DumpEntities(d);
  EXPECT_FALSE(Contains(ents, "Enthd"));
  EXPECT_FALSE(Contains(ents, "EntLay"));
  EXPECT_TRUE(Contains(dump, ents));
}

TEST(Dump, EntitiesInDrawOrderWithAllFields) {
  TJwwData d = SampleDocument();
  auto lines = Lines(DumpEntities(d));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "[entities]");
  EXPECT_EQ(lines[1],
            "#0 Line att.lGroup=0 att.nPenStyle=1 att.nPenColor=2 att.nPenWidth=0 att.nLayer=0 "
            "att.nGLayer=0 att.sFlg=0 start_x=0 start_y=0 end_x=100 end_y=0.10000000000000001");
  EXPECT_TRUE(lines[2].starts_with("#1 Moji att.lGroup=0"));
  EXPECT_TRUE(Contains(lines[2], " att.nLayer=5 att.nGLayer=3 "));
  EXPECT_TRUE(Contains(lines[2], " strFontName=\"ＭＳ ゴシック\" str=\"寸法 \\\"A\\\"\""));
  EXPECT_TRUE(lines[3].starts_with("#2 Block "));
  EXPECT_TRUE(Contains(lines[3], " DPKijunTen_x=10 "));
  EXPECT_TRUE(Contains(lines[3], " nNumber=5"));
  EXPECT_EQ(lines[4], "[blockdefs]");
  EXPECT_TRUE(lines[5].starts_with("BlockDef[0] att.lGroup=0 "));
  EXPECT_TRUE(Contains(lines[5], " nNumber=5 bRefferd=0 dtime=0 strName=\"@@SFIGORGFLAG@@1\" N=2"));
  // Members follow their definition in mNo order.
  EXPECT_TRUE(lines[6].starts_with("  #0 Enko "));
  EXPECT_TRUE(Contains(lines[6], " dHankei=2.5 "));
  EXPECT_TRUE(Contains(lines[6], " bZenEnFlg=1"));
  EXPECT_TRUE(lines[7].starts_with("  #1 Line "));
  EXPECT_TRUE(lines[7].ends_with(" start_x=1 start_y=2 end_x=3 end_y=4"));
}

TEST(Dump, DimensionsNameTheirParts) {
  TJwwData d;
  TEntJwwSunpo s;
  s.Sen.end_x = 7;
  s.Moji.str = u"7";
  s.bSxfMode = 1;
  s.Kt2.att.nPenColor = 9;
  s.Kt2.dBairitsu = 0.5;
  d.EntSunpo = {s};
  d.EntSunpoN = 1;
  d.EntNo = {{kSunpo, 0}};
  std::string line = Lines(DumpEntities(d))[1];
  EXPECT_TRUE(line.starts_with("#0 Sunpo att.lGroup=0 "));
  for (std::string part :
       {" Sen.end_x=7 ", " Moji.str=\"7\" ", " bSxfMode=1 ", " Ho1.att.nPenColor=0 ",
        " Te2.radKaitenKaku=0 ", " Kt2.att.nPenColor=9 ", " Kt2.dBairitsu=0.5"})
    EXPECT_TRUE(Contains(line, part)) << part;
}

TEST(Dump, SkipsEntriesThatNameNothing) {
  TJwwData d = SampleDocument();
  std::string clean = DumpEntities(d);
  // Empty and dangling entries, a count below the array length and a
  // member list longer than N leave the dump as it was.
  d.EntNo.insert(d.EntNo.begin() + 1, {{kNone, 0}, {kLine, 1}, {kEnko, 0}, {9, 0}, {kLine, -1}});
  d.EntNo.push_back({kNone, 0});
  d.EntLine.push_back(MakeLine(5, 5, 6, 6));   // beyond EntLineN
  d.EntBlockDef[0].mNo.push_back({kLine, 0});  // beyond N
  d.EntBlockDef.push_back(d.EntBlockDef[0]);   // beyond EntBlockDefN
  EXPECT_EQ(DumpEntities(d), clean);

  // Invalid members inside the first N entries are skipped the same way.
  d.EntBlockDef[0].mNo.insert(d.EntBlockDef[0].mNo.begin() + 1, {kLine, 1});
  d.EntBlockDef[0].N = 3;
  auto lines = Lines(DumpEntities(d));
  EXPECT_TRUE(Contains(lines[5], " N=3"));
  EXPECT_TRUE(lines[6].starts_with("  #0 Enko "));
  EXPECT_TRUE(lines[7].starts_with("  #1 Line "));
  d.EntBlockDef[0].N = 2;
  d.EntBlockDef[0].mNo.erase(d.EntBlockDef[0].mNo.begin() + 1);

  // A count larger than the array is damage, not a reason to read past it.
  d.EntMojiN = 5;
  d.EntNo.push_back({kMoji, 3});
  EXPECT_EQ(DumpEntities(d), clean);
}

TEST(Dump, OneChangedValueChangesOneLine) {
  TJwwData a = SampleDocument();
  TJwwData b = SampleDocument();
  EXPECT_EQ(DumpDocument(a), DumpDocument(b));

  b.EntBlockDef[0].mEnko[0].radEnkoKaku = 0.3;
  auto changed = ChangedLines(DumpDocument(a), DumpDocument(b));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_TRUE(Contains(changed[0], " radEnkoKaku=0.29999999999999999 "));

  b = SampleDocument();
  b.Enthd.dBoxSunpouY = -0.0;
  changed = ChangedLines(DumpDocument(a), DumpDocument(b));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], "Enthd dBoxSunpouY=-0");

  b = SampleDocument();
  b.EntLine[0].att.sFlg = 0x8000;
  changed = ChangedLines(DumpDocument(a), DumpDocument(b));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_TRUE(Contains(changed[0], " att.sFlg=32768 "));
}

TEST(Dump, StringsAreEscapedLosslessly) {
  TJwwData d;
  d.Enthd.strMemo = std::u16string(u"a\r\nb\t\\\x01\x7F") + char16_t{0xD800} + u"z𠮷";
  std::string dump = DumpDocument(d);
  EXPECT_TRUE(Contains(dump, "Enthd strMemo=\"a\\r\\nb\\t\\\\\\x01\\x7F\\uD800z𠮷\"\n"));
  // One record per line, whatever the strings hold.
  for (const std::string& l : Lines(dump)) EXPECT_FALSE(Contains(l, "\r"));
}

TEST(Dump, ImageList) {
  TJwwData d;
  d.BindImage = {{u"a.bmp.gz", 1234, true}, {u"b.jpg", 5, false}, {u"unused", 0, false}};
  d.BindImageN = 2;
  auto lines = Lines(DumpDocument(d));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "[images]");
  EXPECT_EQ(lines[lines.size() - 2], "BindImage[0] Fname=\"a.bmp.gz\" Fsize=1234 exf=true");
  EXPECT_EQ(lines[lines.size() - 1], "BindImage[1] Fname=\"b.jpg\" Fsize=5 exf=false");
}
