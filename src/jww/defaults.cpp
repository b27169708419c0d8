// SPDX-License-Identifier: GPL-3.0-or-later
// Default header and tables of a new drawing, and the hand-over of a
// drawing's colour, line-type and layer tables to a drawing attribute store.
#include <algorithm>
#include <cmath>
#include <string>

#include "jww/attr_store.h"
#include "jww/document.h"
#include "util/text.h"

namespace jww {

namespace {

using Store = DrawAttrStore;

std::u16string Numbered(const char16_t* prefix, int index) {
  return prefix + util::IntToText(index);
}

// ---- header ----

void SetDefaultHeader(TEntJwwHeader& h) {
  // The entity and definition counts describe the lists, which stay as they are.
  const int32_t n1 = h.n1;
  const int32_t n2 = h.n2;
  h = TEntJwwHeader{};
  h.n1 = n1;
  h.n2 = n2;

  h.jwID = u"JwwData.";
  h.jwVer = 600;
  h.lnSunpou1 = 2001112;
  h.lnSunpou2 = 5;
  h.lnSunpou3 = 50150030;
  h.lnSunpou4 = 10000000;
  h.lnSunpou5 = 4100;
  h.nMaxDrawWid = -300;
  h.bSenHaba100 = true;
  h.nMaxDrawWidBak = 100;
  h.dPrtBairitsu = 1.0;
  h.dMemoriHyoujiMin = 15.0;
  h.dMemoriX = 5.0;
  h.dMemoriY = 5.0;
  h.dKageLevel = 1.5;
  h.dKageIdo = 36.0;
  h.dTenkuuZuEnkoR = 100.0;
  h.dBairitsu = 1.0;
  h.dHanniBairitsu = 1.0;
  h.dZoomJumpBairitsu.fill(1.0);
  h.DPZoomJumpGenten_x.fill(0.0);
  h.DPZoomJumpGenten_y.fill(0.0);
  h.nZoomJumpGLay.fill(-1);
  h.nMojiBG = 1;
  for (size_t i = 0; i < h.adFukusenSuuchi.size(); ++i) {
    h.adFukusenSuuchi[i] = 50.0 * static_cast<double>(i + 1);
  }
  h.nColorPrint = 1;
  h.nLayJunPrint = 1;
  h.nColJunPrint = 1;
  h.nPrtDpi = 1;
  h.dEye_H_Ichi_1 = -4500;
  h.dEye_H_Ichi_2 = -4500;
  h.dEye_H_Ichi_3 = -4500;
  h.dEye_Z_Ichi_1 = 2000.0;
  h.dEye_Y_Ichi_1 = 1000000.0;
  h.dEye_Z_Ichi_2 = 1000000.0;
  h.dEye_Y_Ichi_2 = 1000000.0;
  h.dEye_V_Ichi_3 = 35.2643896827547;
  h.nSolidNinniColor = 10;
  h.SolidColor = 0xC0C0C0;
  h.dMojiSizeX = 3.0;
  h.dMojiSizeY = 3.0;
  h.dMojiKankaku = 0.5;
  h.nMojiColor = 2;
  h.nMojiShu = 3;
  h.adMojiKijunZureX0 = -1.0;
  h.adMojiKijunZureX1 = 0.0;
  h.adMojiKijunZureX2 = 0.0;
  h.adMojiKijunZureY0 = -1.0;
  h.adMojiKijunZureY1 = 0.0;
  h.adMojiKijunZureY2 = 1.0;
}

// ---- layers ----

std::vector<TEntJwwLayerGroup> DefaultLayerGroups() {
  std::vector<TEntJwwLayerGroup> groups(kLayerGroups);
  for (int g = 0; g < kLayerGroups; ++g) {
    groups[g].anGLay = g == 0 ? 3 : 2;  // group 0 is the one being written
    groups[g].adScale = 1.0;
  }
  return groups;
}

std::vector<TEntJwwLayer> DefaultLayers() {
  std::vector<TEntJwwLayer> layers(kLayers);
  for (int i = 0; i < kLayers; ++i) layers[i].aanLay = (i % 16 == 0) ? 3 : 2;
  return layers;
}

// ---- pen colours, line types, text types ----

std::vector<TEntJwwColorNo> DefaultPenColors() {
  return {
      {0xFFFFFF, 1, 0xFFFFFF, 1, 0.1},  {0xC0C000, 1, 0xFFFF00, 8, 0.2},
      {0x000000, 1, 0x000000, 17, 0.3}, {0x00C000, 1, 0x00FF00, 25, 0.4},
      {0x00C0C0, 1, 0x00FFFF, 34, 0.5}, {0xC000C0, 1, 0xFF00FF, 42, 0.5},
      {0xFF0000, 2, 0xFF0000, 51, 0.5}, {0x808000, 3, 0x808000, 59, 0.5},
      {0x8000FF, 5, 0x0000FF, 68, 0.5}, {0xC0C0C0, 1, 0x808080, 1, 0.1},
  };
}

constexpr int32_t Bits(uint32_t pattern) { return static_cast<int32_t>(pattern); }

std::vector<TEntJwwLineTypeNo> DefaultLineTypes() {
  return {
      {Bits(0x99999999), 4, 1, 10},  {Bits(0xC3C3C3C3), 8, 1, 10},  {Bits(0xE7E7E7E7), 8, 1, 10},
      {Bits(0xF99FF99F), 16, 1, 10}, {Bits(0xFFF99FFF), 32, 1, 10}, {Bits(0xF24FF24F), 16, 1, 10},
      {Bits(0xFFF24FFF), 32, 1, 10}, {Bits(0x22222222), 4, 1, 10},
  };
}

std::vector<TEntJwwRandomLineNo> DefaultRandomLines() {
  constexpr int32_t kRandom = Bits(0xCCB2B32A);
  return {
      {kRandom, 1, 3, 1, 5},  {kRandom, 1, 4, 1, 10}, {kRandom, 2, 5, 2, 15},
      {kRandom, 2, 6, 2, 20}, {kRandom, 2, 7, 2, 25},
  };
}

std::vector<TEntJwwLineTypeNo> DefaultDoubleLineTypes() {
  return {
      {Bits(0xFFF99FFF), 32, 2, 20},
      {Bits(0xFFF24FFF), 32, 2, 20},
      {Bits(0xFFFE7FFF), 32, 2, 20},
      {Bits(0xFFFE7FFF), 32, 4, 40},
  };
}

std::vector<TEntJwwMojiType> DefaultMojiTypes() {
  return {
      {2.0, 2.0, 0.0, 1}, {2.5, 2.5, 0.0, 1},   {3.0, 3.0, 0.5, 2}, {4.0, 4.0, 0.5, 2},
      {5.0, 5.0, 0.5, 3}, {6.0, 6.0, 1.0, 3},   {7.0, 7.0, 1.0, 4}, {8.0, 8.0, 1.0, 4},
      {9.0, 9.0, 1.0, 5}, {10.0, 10.0, 1.0, 5},
  };
}

// ---- SXF colours and line types ----

std::vector<TEntJwwColorExNo> DefaultSxfColors() {
  struct Named {
    const char16_t* name;
    int32_t color;
  };
  static constexpr Named kStandard[] = {
      {u"Color_0", 0x000000},    {u"black", 0x000000},     {u"red", 0x0000FF},
      {u"green", 0x00FF00},      {u"blue", 0xFF0000},      {u"yellow", 0x00FFFF},
      {u"magenta", 0xFF00FF},    {u"cyan", 0xFFFF00},      {u"white", 0xFFFFFF},
      {u"deeppink", 0x8000C0},   {u"brown", 0x4080C0},     {u"orange", 0x0080FF},
      {u"lightgreen", 0x80C080}, {u"lightblue", 0xFF8000}, {u"lavender", 0xFF4080},
      {u"lightgray", 0xC0C0C0},  {u"darkgray", 0x808080},
  };
  constexpr int kStandardN = static_cast<int>(std::size(kStandard));

  std::vector<TEntJwwColorExNo> colors(kSxfColors);
  for (int i = 0; i < kSxfColors; ++i) {
    TEntJwwColorExNo& c = colors[i];
    if (i < kStandardN) {
      c.astrUDColorName = kStandard[i].name;
      c.aPenColor = kStandard[i].color;
    } else {
      c.astrUDColorName = Numbered(u"Color_", i);
      c.aPenColor = 0xC0C0C0;
    }
    c.aPrtPenColor = i == 0 ? 400 : c.aPenColor;
    c.anPenWidth = 18;
    c.anPrtPenWidth = 18;
    c.adPrtTenHankei = 0.18;
  }
  return colors;
}

std::vector<TEntJwwLineTypeExNo> DefaultSxfLineTypes() {
  struct Standard {
    const char16_t* name;
    uint32_t pattern;
    int32_t dot;
    int32_t prtPitch;
    std::initializer_list<double> pitches;
  };
  static const Standard kStandard[] = {
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
  constexpr int kStandardN = static_cast<int>(std::size(kStandard));

  std::vector<TEntJwwLineTypeExNo> types(kSxfLineTypes);
  for (int i = 0; i < kSxfLineTypes; ++i) {
    TEntJwwLineTypeExNo& t = types[i];
    t.anTokushuSenPich = 1;
    if (i < kStandardN) {
      const Standard& s = kStandard[i];
      t.astrUDLTypeName = s.name;
      t.alLType = Bits(s.pattern);
      t.anTokushuSenUintDot = s.dot;
      t.anPrtTokushuSenPich = s.prtPitch;
      t.anUDLTypeSegment = static_cast<int32_t>(s.pitches.size());
      std::copy(s.pitches.begin(), s.pitches.end(), t.aadUDLTypePitch.begin());
    } else {
      // User-defined entries: upper-case T, unlike "Ltype_0".
      t.astrUDLTypeName = Numbered(u"LType_", i);
      t.alLType = Bits(0xC3C3C3C3);
      t.anTokushuSenUintDot = 8;
      t.anPrtTokushuSenPich = 48;
      t.anUDLTypeSegment = 2;
      t.aadUDLTypePitch[0] = 6;
      t.aadUDLTypePitch[1] = 6;
    }
  }
  return types;
}

// ---- hand-over to the attribute store ----

// Millimetres per pen-width unit for a drawing whose nMaxDrawWid is 0 or
// more: the print resolution of newer drawings decides, else the store's
// resolution switch. 0 when the drawing does not say.
double ResolutionScale(const TEntJwwHeader& h) {
  if (h.jwVer > 420 && h.nPrtDpi > 0) return h.nPrtDpi == 1 ? 0.085 : 0.042;
  return 0;
}

double ColorWidthScale(const TEntJwwHeader& h, const Store& store) {
  if (h.nMaxDrawWid >= -100 && h.nMaxDrawWid <= -1) return -1.0 / h.nMaxDrawWid;
  if (h.nMaxDrawWid < -100) return 0.01;
  const double r = ResolutionScale(h);
  if (r > 0) return r;
  return store.highResolution() ? 0.085 : 0.042;
}

double LineTypeWidthScale(const TEntJwwHeader& h, const Store& store) {
  if (h.nMaxDrawWid < 0) return store.defaultScale();
  const double r = ResolutionScale(h);
  if (r > 0) return r;
  return store.highResolution() ? 0.085 : store.defaultScale();
}

uint32_t ArgbFromColorRef(int32_t colorRef) {
  return static_cast<uint32_t>(util::ColorRefToArgb(colorRef));
}

void SetBackgroundFrom(int32_t colorRef, Store& store) {
  const uint32_t c = static_cast<uint32_t>(colorRef);
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  if (r <= 20 && g <= 20 && b <= 20) {
    store.setBackground(Store::Background::kDark);
  } else if (r >= 235 && g >= 235 && b >= 235) {
    store.setBackground(Store::Background::kLight);
  }
}

}  // namespace

void TJwwData::DataDefaultSet() {
  SetDefaultHeader(Enthd);
  EntLgrp = DefaultLayerGroups();
  EntLay = DefaultLayers();
  EntCol = DefaultPenColors();
  EntLtp1 = DefaultLineTypes();
  EntLtp2 = DefaultRandomLines();
  EntLtp3 = DefaultDoubleLineTypes();
  EntColS = DefaultSxfColors();
  EntLtpS = DefaultSxfLineTypes();
  EntMoj = DefaultMojiTypes();
}

void TJwwData::FileColorSet(DrawAttrStore& store) const {
  if (EntCol.empty()) return;
  const bool printer = store.colorMode() == Store::OutputMode::kPrinter;
  const double w = ColorWidthScale(Enthd, store);

  // Pen 9 is the drawing's auxiliary colour: the renderer keeps its own.
  for (int i = 1; i <= 8 && i < static_cast<int>(EntCol.size()); ++i) {
    const TEntJwwColorNo& c = EntCol[i];
    store.setPen(i, ArgbFromColorRef(printer ? c.aPrtPenColor : c.aPenColor),
                 w * (printer ? c.anPrtPenWidth : c.anPenWidth), c.adPrtTenHankei);
  }
  for (int i = 1; i <= 256 && i < static_cast<int>(EntColS.size()); ++i) {
    const TEntJwwColorExNo& c = EntColS[i];
    store.setPen(100 + i, ArgbFromColorRef(printer ? c.aPrtPenColor : c.aPenColor),
                 0.01 * (printer ? c.anPrtPenWidth : c.anPenWidth), c.adPrtTenHankei);
  }
  SetBackgroundFrom(printer ? EntCol[0].aPrtPenColor : EntCol[0].aPenColor, store);
}

void TJwwData::FileLtypeSet(DrawAttrStore& store) const {
  if (EntLtp1.empty()) return;
  const bool printer = store.lineTypeMode() == Store::OutputMode::kPrinter;
  const double w = LineTypeWidthScale(Enthd, store);
  const auto dashes = [&](int32_t pattern, int32_t screenPitch, int32_t printPitch) {
    return PatternToDashList(static_cast<uint32_t>(pattern),
                             w * (printer ? printPitch : screenPitch));
  };

  store.clearLineType(0);
  for (size_t i = 0; i < EntLtp1.size() && i < kLineTypes; ++i) {
    const TEntJwwLineTypeNo& t = EntLtp1[i];
    store.setLineType(1 + static_cast<int>(i), 0,
                      dashes(t.alLType, t.anTokushuSenPich, t.anPrtTokushuSenPich));
  }
  for (size_t i = 0; i < EntLtp2.size() && i < kRandomLines; ++i) {
    const TEntJwwRandomLineNo& t = EntLtp2[i];
    store.setLineType(9 + static_cast<int>(i), w * (printer ? t.anPrtRandSenWide : t.anRandSenWide),
                      dashes(t.alLType, t.anTokushuSenPich, t.anPrtTokushuSenPich));
  }
  for (size_t i = 0; i < EntLtp3.size() && i < kDoubleLineTypes; ++i) {
    const TEntJwwLineTypeNo& t = EntLtp3[i];
    store.setLineType(14 + static_cast<int>(i), 0,
                      dashes(t.alLType, t.anTokushuSenPich, t.anPrtTokushuSenPich));
  }
  // SXF line types carry their segments in millimetres: dash, gap, dash, …
  for (size_t i = 1; i < EntLtpS.size() && i < kSxfLineTypes; ++i) {
    const TEntJwwLineTypeExNo& t = EntLtpS[i];
    const int n = std::clamp(t.anUDLTypeSegment, 0, 10);
    std::vector<double> segments(n);
    for (int k = 0; k < n; ++k) {
      const double len = std::fabs(t.aadUDLTypePitch[k]);
      segments[k] = (k % 2 == 0) ? len : -len;
    }
    store.setLineType(17 + static_cast<int>(i), 0, std::move(segments));
  }
}

void TJwwData::SetGAttLayer(DrawAttrStore& store) const {
  for (int i = 0; i < Store::kLayerSlots; ++i) {
    store.setLayer(i, Store::kLayerNormal, 1.0, Store::GroupLabelPrefix(i / 16),
                   Store::LayerLabelPrefix(i % 16));
  }
  if (EntLgrp.size() < static_cast<size_t>(kLayerGroups) ||
      EntLay.size() < static_cast<size_t>(kLayers)) {
    return;
  }
  for (int i = 0; i < kLayers; ++i) {
    const TEntJwwLayerGroup& group = EntLgrp[i / 16];
    const TEntJwwLayer& layer = EntLay[i];
    int32_t state;
    if (group.anGLay == 0) {
      state = Store::kLayerHidden;
    } else if (group.anGLay == 1) {
      state = layer.aanLay == 0 ? Store::kLayerHidden : Store::kLayerShownOnly;
    } else {
      state = layer.aanLay == 0   ? Store::kLayerHidden
              : layer.aanLay == 1 ? Store::kLayerShownOnly
                                  : Store::kLayerNormal;
    }
    const double scale = group.adScale > 0 ? 1.0 / group.adScale : 1.0;
    store.setLayer(i, state, scale, Store::GroupLabelPrefix(i / 16) + group.aStrGLayName,
                   Store::LayerLabelPrefix(i % 16) + layer.aStrLayName);
  }
}

}  // namespace jww
