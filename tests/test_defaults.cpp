// SPDX-License-Identifier: GPL-3.0-or-later
// Default tables of a new drawing and their hand-over to the drawing
// attribute store.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "jww/attr_store.h"
#include "jww/document.h"
#include "util/text.h"

using jww::DrawAttrStore;
using jww::PatternToDashList;
using jww::TJwwData;

namespace {

TJwwData Defaults() {
  TJwwData d;
  d.DataDefaultSet();
  return d;
}

uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }

void ExpectSegments(const DrawAttrStore::LineType& t, const std::vector<double>& want) {
  ASSERT_EQ(t.segments.size(), want.size());
  double total = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(t.segments[i], want[i], 1e-12) << "segment " << i;
    total += std::fabs(want[i]);
  }
  EXPECT_NEAR(t.total, total, 1e-12);
}

}  // namespace

TEST(DataDefaultSet, SizesEveryTable) {
  const TJwwData d = Defaults();
  EXPECT_EQ(d.EntLgrp.size(), 16u);
  EXPECT_EQ(d.EntLay.size(), 256u);
  EXPECT_EQ(d.EntCol.size(), 10u);
  EXPECT_EQ(d.EntLtp1.size(), 8u);
  EXPECT_EQ(d.EntLtp2.size(), 5u);
  EXPECT_EQ(d.EntLtp3.size(), 4u);
  EXPECT_EQ(d.EntMoj.size(), 10u);
  EXPECT_EQ(d.EntColS.size(), 257u);
  EXPECT_EQ(d.EntLtpS.size(), 33u);
}

TEST(DataDefaultSet, HeaderDefaults) {
  TJwwData d;
  d.Enthd.nZumen = 7;  // not a default: cleared
  d.DataDefaultSet();
  const auto& h = d.Enthd;
  EXPECT_EQ(h.jwID, u"JwwData.");
  EXPECT_EQ(h.jwVer, 600);
  EXPECT_EQ(h.nZumen, 0);
  EXPECT_EQ(h.lnSunpou1, 2001112);
  EXPECT_EQ(h.lnSunpou2, 5);
  EXPECT_EQ(h.lnSunpou3, 50150030);
  EXPECT_EQ(h.lnSunpou4, 10000000);
  EXPECT_EQ(h.lnSunpou5, 4100);
  EXPECT_EQ(h.nMaxDrawWid, -300);
  EXPECT_TRUE(h.bSenHaba100);
  EXPECT_EQ(h.nMaxDrawWidBak, 100);
  EXPECT_EQ(h.dPrtBairitsu, 1.0);
  EXPECT_EQ(h.dMemoriHyoujiMin, 15.0);
  EXPECT_EQ(h.dMemoriX, 5.0);
  EXPECT_EQ(h.dMemoriY, 5.0);
  EXPECT_EQ(h.dKageLevel, 1.5);
  EXPECT_EQ(h.dKageIdo, 36.0);
  EXPECT_EQ(h.dTenkuuZuEnkoR, 100.0);
  EXPECT_EQ(h.dBairitsu, 1.0);
  EXPECT_EQ(h.dHanniBairitsu, 1.0);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(h.dZoomJumpBairitsu[i], 1.0);
    EXPECT_EQ(h.DPZoomJumpGenten_x[i], 0.0);
    EXPECT_EQ(h.DPZoomJumpGenten_y[i], 0.0);
    EXPECT_EQ(h.nZoomJumpGLay[i], -1);
  }
  EXPECT_EQ(h.nMojiBG, 1);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(h.adFukusenSuuchi[i], 50.0 * (i + 1));
  EXPECT_EQ(h.nColorPrint, 1);
  EXPECT_EQ(h.nLayJunPrint, 1);
  EXPECT_EQ(h.nColJunPrint, 1);
  EXPECT_EQ(h.nPrtDpi, 1);
  EXPECT_EQ(h.dEye_H_Ichi_1, -4500);
  EXPECT_EQ(h.dEye_H_Ichi_2, -4500);
  EXPECT_EQ(h.dEye_H_Ichi_3, -4500);
  EXPECT_EQ(h.dEye_Z_Ichi_1, 2000.0);
  EXPECT_EQ(h.dEye_Y_Ichi_1, 1000000.0);
  EXPECT_EQ(h.dEye_Z_Ichi_2, 1000000.0);
  EXPECT_EQ(h.dEye_Y_Ichi_2, 1000000.0);
  EXPECT_EQ(h.dEye_V_Ichi_3, 35.2643896827547);
  EXPECT_EQ(h.nSolidNinniColor, 10);
  EXPECT_EQ(h.SolidColor, 0xC0C0C0);
  EXPECT_EQ(h.dMojiSizeX, 3.0);
  EXPECT_EQ(h.dMojiSizeY, 3.0);
  EXPECT_EQ(h.dMojiKankaku, 0.5);
  EXPECT_EQ(h.nMojiColor, 2);
  EXPECT_EQ(h.nMojiShu, 3);
  EXPECT_EQ(h.adMojiKijunZureX0, -1.0);
  EXPECT_EQ(h.adMojiKijunZureX1, 0.0);
  EXPECT_EQ(h.adMojiKijunZureX2, 0.0);
  EXPECT_EQ(h.adMojiKijunZureY0, -1.0);
  EXPECT_EQ(h.adMojiKijunZureY1, 0.0);
  EXPECT_EQ(h.adMojiKijunZureY2, 1.0);
}

TEST(DataDefaultSet, KeepsEntitiesAndTheirCounts) {
  TJwwData d;
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"A"));
  d.DataDefaultSet();
  EXPECT_EQ(d.EntLineN, 1);
  EXPECT_EQ(d.Enthd.n1, 1);
  EXPECT_EQ(d.EntBlockDefN, 1);
  EXPECT_EQ(d.Enthd.n2, 1);
}

TEST(DataDefaultSet, LayerStates) {
  const TJwwData d = Defaults();
  for (int g = 0; g < 16; ++g) {
    EXPECT_EQ(d.EntLgrp[g].anGLay, g == 0 ? 3 : 2) << g;
    EXPECT_EQ(d.EntLgrp[g].anWriteLay, 0);
    EXPECT_EQ(d.EntLgrp[g].adScale, 1.0);
    EXPECT_EQ(d.EntLgrp[g].anGLayProtect, 0);
    EXPECT_TRUE(d.EntLgrp[g].aStrGLayName.empty());
  }
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(d.EntLay[i].aanLay, i % 16 == 0 ? 3 : 2) << i;
    EXPECT_EQ(d.EntLay[i].aanLayProtect, 0);
    EXPECT_TRUE(d.EntLay[i].aStrLayName.empty());
  }
}

TEST(DataDefaultSet, PenColours) {
  struct Row {
    uint32_t color;
    int32_t width;
    uint32_t prtColor;
    int32_t prtWidth;
    double radius;
  };
  const Row want[] = {
      {0xFFFFFF, 1, 0xFFFFFF, 1, 0.1},  {0xC0C000, 1, 0xFFFF00, 8, 0.2},
      {0x000000, 1, 0x000000, 17, 0.3}, {0x00C000, 1, 0x00FF00, 25, 0.4},
      {0x00C0C0, 1, 0x00FFFF, 34, 0.5}, {0xC000C0, 1, 0xFF00FF, 42, 0.5},
      {0xFF0000, 2, 0xFF0000, 51, 0.5}, {0x808000, 3, 0x808000, 59, 0.5},
      {0x8000FF, 5, 0x0000FF, 68, 0.5}, {0xC0C0C0, 1, 0x808080, 1, 0.1},
  };
  const TJwwData d = Defaults();
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U(d.EntCol[i].aPenColor), want[i].color);
    EXPECT_EQ(d.EntCol[i].anPenWidth, want[i].width);
    EXPECT_EQ(U(d.EntCol[i].aPrtPenColor), want[i].prtColor);
    EXPECT_EQ(d.EntCol[i].anPrtPenWidth, want[i].prtWidth);
    EXPECT_EQ(d.EntCol[i].adPrtTenHankei, want[i].radius);
  }
}

TEST(DataDefaultSet, LineTypesRandomLinesAndDoubleLengthTypes) {
  const TJwwData d = Defaults();
  const uint32_t patterns[] = {0x99999999, 0xC3C3C3C3, 0xE7E7E7E7, 0xF99FF99F,
                               0xFFF99FFF, 0xF24FF24F, 0xFFF24FFF, 0x22222222};
  const int32_t dots[] = {4, 8, 8, 16, 32, 16, 32, 4};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U(d.EntLtp1[i].alLType), patterns[i]);
    EXPECT_EQ(d.EntLtp1[i].anTokushuSenUintDot, dots[i]);
    EXPECT_EQ(d.EntLtp1[i].anTokushuSenPich, 1);
    EXPECT_EQ(d.EntLtp1[i].anPrtTokushuSenPich, 10);
  }

  const int32_t random[5][4] = {
      {1, 3, 1, 5}, {1, 4, 1, 10}, {2, 5, 2, 15}, {2, 6, 2, 20}, {2, 7, 2, 25}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U(d.EntLtp2[i].alLType), 0xCCB2B32Au);
    EXPECT_EQ(d.EntLtp2[i].anRandSenWide, random[i][0]);
    EXPECT_EQ(d.EntLtp2[i].anTokushuSenPich, random[i][1]);
    EXPECT_EQ(d.EntLtp2[i].anPrtRandSenWide, random[i][2]);
    EXPECT_EQ(d.EntLtp2[i].anPrtTokushuSenPich, random[i][3]);
  }

  const uint32_t doubles[] = {0xFFF99FFF, 0xFFF24FFF, 0xFFFE7FFF, 0xFFFE7FFF};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U(d.EntLtp3[i].alLType), doubles[i]);
    EXPECT_EQ(d.EntLtp3[i].anTokushuSenUintDot, 32);
    EXPECT_EQ(d.EntLtp3[i].anTokushuSenPich, i == 3 ? 4 : 2);
    EXPECT_EQ(d.EntLtp3[i].anPrtTokushuSenPich, i == 3 ? 40 : 20);
  }
}

TEST(DataDefaultSet, TextTypes) {
  const double sizes[] = {2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0};
  const double spacing[] = {0.0, 0.0, 0.5, 0.5, 0.5, 1.0, 1.0, 1.0, 1.0, 1.0};
  const int32_t colors[] = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
  const TJwwData d = Defaults();
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(d.EntMoj[i].adMojiX, sizes[i]);
    EXPECT_EQ(d.EntMoj[i].adMojiY, sizes[i]);
    EXPECT_EQ(d.EntMoj[i].adMojiD, spacing[i]);
    EXPECT_EQ(d.EntMoj[i].anMojiCol, colors[i]);
  }
}

TEST(DataDefaultSet, SxfColours) {
  const char16_t* names[] = {u"Color_0",   u"black",   u"red",        u"green",     u"blue",
                             u"yellow",    u"magenta", u"cyan",       u"white",     u"deeppink",
                             u"brown",     u"orange",  u"lightgreen", u"lightblue", u"lavender",
                             u"lightgray", u"darkgray"};
  const uint32_t colors[] = {0x000000, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF,
                             0xFF00FF, 0xFFFF00, 0xFFFFFF, 0x8000C0, 0x4080C0, 0x0080FF,
                             0x80C080, 0xFF8000, 0xFF4080, 0xC0C0C0, 0x808080};
  const TJwwData d = Defaults();
  for (int i = 0; i < 257; ++i) {
    SCOPED_TRACE(i);
    const auto& c = d.EntColS[i];
    if (i <= 16) {
      EXPECT_EQ(c.astrUDColorName, names[i]);
      EXPECT_EQ(U(c.aPenColor), colors[i]);
    } else {
      EXPECT_EQ(c.astrUDColorName, u"Color_" + util::IntToText(i));
      EXPECT_EQ(U(c.aPenColor), 0xC0C0C0u);
    }
    EXPECT_EQ(c.aPrtPenColor, i == 0 ? 400 : c.aPenColor);
    EXPECT_EQ(c.anPenWidth, 18);
    EXPECT_EQ(c.anPrtPenWidth, 18);
    EXPECT_EQ(c.adPrtTenHankei, 0.18);
  }
  EXPECT_EQ(d.EntColS[256].astrUDColorName, u"Color_256");
}

TEST(DataDefaultSet, SxfLineTypes) {
  struct Row {
    const char16_t* name;
    uint32_t pattern;
    int32_t dot;
    int32_t prtPitch;
    std::vector<double> pitches;
  };
  const Row want[] = {
      {u"Ltype_0", 0xFFFFFFFF, 32, 10, {}},
      {u"continuous", 0xFFFFFFFF, 32, 10, {}},
      {u"dashed", 0xFE3FFE3F, 16, 15, {6, 1.5}},
      {u"dashed spaced", 0xF00FF00F, 16, 24, {6, 6}},
      {u"long dashed dotted", 0xFFFBBFFF, 32, 15, {12, 1.5, 0.25, 1.5}},
      {u"long dashed double-dotted", 0xFFEEEFFF, 32, 17, {12, 1.5, 0.25, 1.5, 0.25, 1.5}},
      {u"long dashed triplicate-dotted",
       0xFFBBBBFF,
       32,
       19,
       {12, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
      {u"dotted", 0x10101010, 8, 7, {0.25, 1.5}},
      {u"chain", 0xFFFDBFFF, 32, 19, {12, 1.5, 3.5, 1.5}},
      {u"chain double dash", 0xFFF6DFFF, 32, 24, {12, 1.5, 3.5, 1.5, 3.5, 1.5}},
      {u"dashed dotted", 0xFFE083FF, 32, 9, {6, 1.5, 0.25, 1.5}},
      {u"double-dashed dotted", 0xFC7FF11F, 32, 17, {6, 1.5, 6, 1.5, 0.25, 1.5}},
      {u"dashed double-dotted", 0xFF8421FF, 32, 11, {6, 1.5, 0.25, 1.5, 0.25, 1.5}},
      {u"double-dashed double-dotted", 0xF8FF888F, 32, 19, {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5}},
      {u"dashed triplicate-dotted", 0xFE10843F, 32, 13, {6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
      {u"double-dashed triplicate-dotted",
       0xF9FF249F,
       32,
       20,
       {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
      {u"undefined", 0xFFFFFFFF, 32, 10, {}},
  };
  const TJwwData d = Defaults();
  for (int i = 0; i < 33; ++i) {
    SCOPED_TRACE(i);
    const auto& t = d.EntLtpS[i];
    const Row user{nullptr, 0xC3C3C3C3, 8, 48, {6, 6}};
    const Row& w = i <= 16 ? want[i] : user;
    if (i <= 16) {
      EXPECT_EQ(t.astrUDLTypeName, w.name);
    } else {
      EXPECT_EQ(t.astrUDLTypeName, u"LType_" + util::IntToText(i));  // upper-case T
    }
    EXPECT_EQ(U(t.alLType), w.pattern);
    EXPECT_EQ(t.anTokushuSenUintDot, w.dot);
    EXPECT_EQ(t.anTokushuSenPich, 1);
    EXPECT_EQ(t.anPrtTokushuSenPich, w.prtPitch);
    EXPECT_EQ(t.anUDLTypeSegment, static_cast<int32_t>(w.pitches.size()));
    for (int k = 0; k < 10; ++k) {
      const double p = k < static_cast<int>(w.pitches.size()) ? w.pitches[k] : 0.0;
      EXPECT_EQ(t.aadUDLTypePitch[k], p) << "pitch " << k + 1;
    }
  }
  EXPECT_EQ(d.EntLtpS[0].astrUDLTypeName, u"Ltype_0");
  EXPECT_EQ(d.EntLtpS[32].astrUDLTypeName, u"LType_32");
}

// ---- dash lists ----

TEST(PatternToDashList, FindsTheShortestPeriod) {
  const double u = 0.5;
  EXPECT_EQ(PatternToDashList(0xC3C3C3C3, u), (std::vector<double>{2 * u, -4 * u, 2 * u}));
  EXPECT_EQ(PatternToDashList(0x99999999, u), (std::vector<double>{u, -2 * u, u}));
  EXPECT_EQ(PatternToDashList(0xFFFFFFFF, u), (std::vector<double>{32 * u}));
  // Halves differ: the whole word, runs at both ends kept apart.
  EXPECT_EQ(PatternToDashList(0xFFF99FFF, u),
            (std::vector<double>{13 * u, -2 * u, 2 * u, -2 * u, 13 * u}));
  // A solid half does not shorten the period.
  EXPECT_EQ(PatternToDashList(0xFFFF0000, u), (std::vector<double>{16 * u, -16 * u}));
  EXPECT_EQ(PatternToDashList(0xF00FF00F, u), (std::vector<double>{4 * u, -8 * u, 4 * u}));
  EXPECT_EQ(PatternToDashList(0, u), (std::vector<double>{-2 * u}));
  EXPECT_EQ(PatternToDashList(0xAAAAAAAA, 1.0), (std::vector<double>{1, -1}));
}

// ---- hand-over to the attribute store ----

TEST(FileColorSet, WidthScaleFollowsMaxDrawWidth) {
  TJwwData d = Defaults();
  DrawAttrStore store;
  d.Enthd.nMaxDrawWid = -50;
  d.FileColorSet(store);
  EXPECT_NEAR(store.pen(8).widthMm, 0.02 * 5, 1e-15);
  d.Enthd.nMaxDrawWid = -300;
  d.FileColorSet(store);
  EXPECT_NEAR(store.pen(8).widthMm, 0.01 * 5, 1e-15);

  d.Enthd.nMaxDrawWid = 0;
  d.Enthd.jwVer = 700;
  d.Enthd.nPrtDpi = 2;
  d.FileColorSet(store);
  EXPECT_NEAR(store.pen(8).widthMm, 0.042 * 5, 1e-15);
  d.Enthd.nPrtDpi = 1;
  d.FileColorSet(store);
  EXPECT_NEAR(store.pen(8).widthMm, 0.085 * 5, 1e-15);

  // Older drawings: the store's resolution switch decides.
  d.Enthd.jwVer = 420;
  d.FileColorSet(store);
  EXPECT_NEAR(store.pen(8).widthMm, 0.042 * 5, 1e-15);
  store.setHighResolution(true);
  d.FileColorSet(store);
  EXPECT_NEAR(store.pen(8).widthMm, 0.085 * 5, 1e-15);
}

TEST(FileColorSet, ScreenAndPrinterPens) {
  TJwwData d = Defaults();
  DrawAttrStore store;
  d.FileColorSet(store);
  // 0x00BBGGRR becomes opaque 0xFFRRGGBB.
  EXPECT_EQ(store.pen(1).argb, 0xFF00C0C0u);
  EXPECT_EQ(store.pen(8).argb, 0xFFFF0080u);
  EXPECT_DOUBLE_EQ(store.pen(3).pointRadius, 0.4);
  EXPECT_EQ(store.pen(9), DrawAttrStore::Pen{});  // pen 9 is not handed over
  EXPECT_EQ(store.pen(101).argb, 0xFF000000u);
  EXPECT_EQ(store.pen(102).argb, 0xFFFF0000u);
  EXPECT_NEAR(store.pen(102).widthMm, 0.18, 1e-15);
  EXPECT_EQ(store.pen(356).argb, 0xFFC0C0C0u);

  store.setColorMode(DrawAttrStore::OutputMode::kPrinter);
  d.FileColorSet(store);
  EXPECT_EQ(store.pen(1).argb, 0xFF00FFFFu);
  EXPECT_NEAR(store.pen(2).widthMm, 0.01 * 17, 1e-15);
}

TEST(FileColorSet, BackgroundFromColourZero) {
  TJwwData d = Defaults();
  DrawAttrStore store;
  d.EntCol[0].aPenColor = 0x101010;
  d.FileColorSet(store);
  EXPECT_EQ(store.background(), DrawAttrStore::Background::kDark);
  EXPECT_EQ(store.foreground(), 0xFFFFFFFFu);
  d.EntCol[0].aPenColor = 0x808080;
  d.FileColorSet(store);
  EXPECT_EQ(store.background(), DrawAttrStore::Background::kDark);  // unchanged
  d.EntCol[0].aPenColor = 0xF0F0F0;
  d.FileColorSet(store);
  EXPECT_EQ(store.background(), DrawAttrStore::Background::kLight);
  // The printer mode looks at the print colour of entry 0.
  store.setColorMode(DrawAttrStore::OutputMode::kPrinter);
  d.EntCol[0].aPrtPenColor = 0x000000;
  d.FileColorSet(store);
  EXPECT_EQ(store.background(), DrawAttrStore::Background::kDark);
}

TEST(FileColorSet, EmptyTablesChangeNothing) {
  TJwwData d;
  DrawAttrStore store;
  d.FileColorSet(store);
  d.FileLtypeSet(store);
  EXPECT_EQ(store.pen(1), DrawAttrStore::Pen{});
  EXPECT_EQ(store.lineType(1), DrawAttrStore::LineType{});
}

TEST(FileLtypeSet, SlotsAndUnits) {
  TJwwData d = Defaults();
  DrawAttrStore store;
  ASSERT_TRUE(store.setLineType(0, 1, {1, -1}));
  d.Enthd.nMaxDrawWid = -50;  // negative: the store's default scale stays
  d.FileLtypeSet(store);
  const double u = 0.035;
  EXPECT_EQ(store.lineType(0), DrawAttrStore::LineType{});
  ExpectSegments(store.lineType(1), {u, -2 * u, u});
  ExpectSegments(store.lineType(2), {2 * u, -4 * u, 2 * u});
  // Random lines get a width; double-length types follow.
  EXPECT_NEAR(store.lineType(11).width, 2 * u, 1e-15);
  EXPECT_FALSE(store.lineType(11).segments.empty());
  ExpectSegments(store.lineType(14),
                 {26 * u, -4 * u, 4 * u, -4 * u, 26 * u});  // 0xFFF99FFF at pitch 2
  // SXF line types 1..32 in slots 18..49, in millimetres.
  ExpectSegments(store.lineType(18), {});
  ExpectSegments(store.lineType(19), {6, -1.5});
  ExpectSegments(store.lineType(21), {12, -1.5, 0.25, -1.5});
  ExpectSegments(store.lineType(49), {6, -6});

  store.setLineTypeMode(DrawAttrStore::OutputMode::kPrinter);
  d.FileLtypeSet(store);
  ExpectSegments(store.lineType(1), {10 * u, -20 * u, 10 * u});
}

TEST(FileLtypeSet, ResolutionOfNewerDrawings) {
  TJwwData d = Defaults();
  DrawAttrStore store;
  d.Enthd.nMaxDrawWid = 0;
  d.Enthd.jwVer = 700;
  d.Enthd.nPrtDpi = 2;
  d.FileLtypeSet(store);
  ExpectSegments(store.lineType(2), {2 * 0.042, -4 * 0.042, 2 * 0.042});
  d.Enthd.jwVer = 420;  // resolution switch off: default scale
  d.FileLtypeSet(store);
  ExpectSegments(store.lineType(2), {2 * 0.035, -4 * 0.035, 2 * 0.035});
  store.setHighResolution(true);
  d.FileLtypeSet(store);
  ExpectSegments(store.lineType(2), {2 * 0.085, -4 * 0.085, 2 * 0.085});
}

TEST(FileLtypeSet, SegmentCountIsClamped) {
  TJwwData d = Defaults();
  d.EntLtpS[5].anUDLTypeSegment = 40;
  d.EntLtpS[6].anUDLTypeSegment = -3;
  DrawAttrStore store;
  d.FileLtypeSet(store);
  EXPECT_EQ(store.lineType(22).segments.size(), 10u);
  EXPECT_TRUE(store.lineType(23).segments.empty());
}

TEST(SetGAttLayer, StatesScalesAndLabels) {
  TJwwData d = Defaults();
  d.EntLgrp[0].anGLay = 0;  // group hidden: every layer hidden
  d.EntLgrp[1].anGLay = 1;  // group shown only
  d.EntLay[16].aanLay = 0;
  d.EntLay[17].aanLay = 2;
  d.EntLgrp[2].anGLay = 2;
  d.EntLay[32].aanLay = 0;
  d.EntLay[33].aanLay = 1;
  d.EntLay[34].aanLay = 3;
  d.EntLgrp[10].adScale = 50;
  d.EntLgrp[10].aStrGLayName = u"平面";
  d.EntLay[10 * 16 + 15].aStrLayName = u"壁";
  d.EntLgrp[11].adScale = 0;
  d.EntLgrp[12].adScale = -2;

  DrawAttrStore store;
  d.SetGAttLayer(store);
  EXPECT_EQ(store.layer(0).state, DrawAttrStore::kLayerHidden);
  EXPECT_EQ(store.layer(5).state, DrawAttrStore::kLayerHidden);
  EXPECT_EQ(store.layer(16).state, DrawAttrStore::kLayerHidden);
  EXPECT_EQ(store.layer(17).state, DrawAttrStore::kLayerShownOnly);
  EXPECT_EQ(store.layer(32).state, DrawAttrStore::kLayerHidden);
  EXPECT_EQ(store.layer(33).state, DrawAttrStore::kLayerShownOnly);
  EXPECT_EQ(store.layer(34).state, DrawAttrStore::kLayerNormal);
  EXPECT_EQ(store.layer(35).state, DrawAttrStore::kLayerNormal);

  const auto named = store.layer(10 * 16 + 15);
  EXPECT_DOUBLE_EQ(named.scale, 1.0 / 50);
  EXPECT_EQ(named.groupLabel, u"[A] 平面");
  EXPECT_EQ(named.layerLabel, u"(F) 壁");
  EXPECT_EQ(store.layer(3).groupLabel, u"[0] ");
  EXPECT_EQ(store.layer(3).layerLabel, u"(3) ");
  EXPECT_EQ(store.layer(11 * 16).scale, 1.0);  // group scale 0
  EXPECT_EQ(store.layer(12 * 16).scale, 1.0);  // negative group scale
}

TEST(SetGAttLayer, ResetsSlotsOfADrawingWithoutTables) {
  DrawAttrStore store;
  ASSERT_TRUE(store.setLayer(40, 3, 5.0, u"x", u"y"));
  TJwwData empty;
  empty.SetGAttLayer(store);
  EXPECT_EQ(store.layer(40).state, 1);
  EXPECT_EQ(store.layer(40).scale, 1.0);
  EXPECT_EQ(store.layer(40).groupLabel, u"[2] ");
  EXPECT_EQ(store.layer(40).layerLabel, u"(8) ");
}

TEST(DrawAttrStore, RejectsSlotsOutsideItsRanges) {
  DrawAttrStore store;
  EXPECT_FALSE(store.setPen(0, 1, 1, 1));
  EXPECT_FALSE(store.setPen(10, 1, 1, 1));
  EXPECT_FALSE(store.setPen(100, 1, 1, 1));
  EXPECT_FALSE(store.setPen(357, 1, 1, 1));
  EXPECT_TRUE(store.setPen(356, 1, 1, 1));
  EXPECT_FALSE(store.setLineType(50, 0, {}));
  EXPECT_FALSE(store.setLayer(256, 1, 1, u"", u""));
  std::vector<double> many(40, 1.0);
  ASSERT_TRUE(store.setLineType(3, 0, many));
  EXPECT_EQ(store.lineType(3).segments.size(), 32u);
  EXPECT_EQ(store.lineType(3).total, 32.0);
  ASSERT_TRUE(store.setLayer(1, 7, std::nan(""), u"", u""));
  EXPECT_EQ(store.layer(1).state, 1);
  EXPECT_EQ(store.layer(1).scale, 1.0);
}
