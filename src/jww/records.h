// SPDX-License-Identifier: GPL-3.0-or-later
// Plain records of a Jw_cad drawing: entities, tables and the header.
// Field names follow the format's own romanised Japanese vocabulary so that
// anyone who knows JWW files finds every value under its familiar name.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace jww {

// Entity kind codes, shared by draw-order lists, class names and WriteAttr.
enum EntKind : int32_t {
  kNone = 0,
  kLine = 1,
  kEnko = 2,
  kTen = 3,
  kMoji = 4,
  kSunpo = 5,
  kSolid = 6,
  kBlock = 7,
  kBlockDefKind = 8,  // attribute kind of a block definition (writer only)
};

// Replacement for out-of-range colour and line-type numbers.
inline constexpr uint16_t DefaultPenColor = 1;
inline constexpr uint8_t DefaultPenStyle = 1;

struct TEntJwwAttr {
  uint32_t lGroup = 0;
  uint8_t nPenStyle = 0;
  uint16_t nPenColor = 0;
  uint16_t nPenWidth = 0;
  uint16_t nLayer = 0;
  uint16_t nGLayer = 0;
  uint16_t sFlg = 0;
  bool operator==(const TEntJwwAttr&) const = default;
};

struct TEntJwwNo {
  int32_t EntType = 0;
  int32_t EntNo = 0;
  bool operator==(const TEntJwwNo&) const = default;
};

struct TEntJwwLine {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  double end_x = 0, end_y = 0;
};

struct TEntJwwEnko {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  double dHankei = 0;
  double radKaishiKaku = 0;
  double radEnkoKaku = 0;
  double radKatamukiKaku = 0;
  double dHenpeiRitsu = 0;
  uint32_t bZenEnFlg = 0;
};

struct TEntJwwTen {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  uint32_t bKariten = 0;
  uint32_t nCode = 0;
  double radKaitenKaku = 0;
  double dBairitsu = 0;
};

struct TEntJwwMoji {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  double end_x = 0, end_y = 0;
  uint32_t nMojiShu = 0;
  double dSizeX = 0;
  double dSizeY = 0;
  double dKankaku = 0;
  double degKakudo = 0;
  std::u16string strFontName;
  std::u16string str;
};

struct TEntJwwSunpo {
  TEntJwwAttr att;
  TEntJwwLine Sen;
  TEntJwwMoji Moji;
  uint16_t bSxfMode = 0;
  TEntJwwLine Ho1, Ho2;
  TEntJwwTen Te1, Te2;
  TEntJwwTen Kt1, Kt2;
};

struct TEntJwwSolid {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  double end_x = 0, end_y = 0;
  double DPoint2_x = 0, DPoint2_y = 0;
  double DPoint3_x = 0, DPoint3_y = 0;
  uint32_t Color = 0;
};

struct TEntJwwBlock {
  TEntJwwAttr att;
  double DPKijunTen_x = 0, DPKijunTen_y = 0;
  double dBairitsuX = 0, dBairitsuY = 0;
  double radKaitenKaku = 0;
  uint32_t nNumber = 0;
};

struct TEntJwwBlockDef {
  TEntJwwAttr att;
  uint32_t nNumber = 0;
  uint32_t bRefferd = 0;
  uint32_t dtime = 0;
  std::u16string strName;
  int32_t N = 0;
  std::vector<TEntJwwNo> mNo;
  int32_t mLineN = 0, mEnkoN = 0, mTenN = 0, mMojiN = 0, mSunpoN = 0,
          mSolidN = 0, mBlockN = 0;
  std::vector<TEntJwwLine> mLine;
  std::vector<TEntJwwEnko> mEnko;
  std::vector<TEntJwwTen> mTen;
  std::vector<TEntJwwMoji> mMoji;
  std::vector<TEntJwwSunpo> mSunpo;
  std::vector<TEntJwwSolid> mSolid;
  std::vector<TEntJwwBlock> mBlock;
  bool ref_flag = false;
  int32_t ref_no = -1;
};

struct TEntJwwBlockTree {
  TEntJwwAttr att;
  int32_t level = 0;
  int32_t parent = -1;
  uint32_t no = 0;
  int32_t defno = -1;
  std::u16string name;
  double x = 0, y = 0;
  double r1 = 0, r2 = 0, r3 = 0, r4 = 0;
};

// ---- tables ----

struct TEntJwwLayerGroup {
  int32_t anGLay = 0;
  int32_t anWriteLay = 0;
  double adScale = 0;
  int32_t anGLayProtect = 0;
  std::u16string aStrGLayName;
};

struct TEntJwwLayer {
  int32_t aanLay = 0;
  int32_t aanLayProtect = 0;
  std::u16string aStrLayName;
};

struct TEntJwwColorNo {
  int32_t aPenColor = 0;
  int32_t anPenWidth = 0;
  int32_t aPrtPenColor = 0;
  int32_t anPrtPenWidth = 0;
  double adPrtTenHankei = 0;
};

struct TEntJwwLineTypeNo {
  int32_t alLType = 0;
  int32_t anTokushuSenUintDot = 0;
  int32_t anTokushuSenPich = 0;
  int32_t anPrtTokushuSenPich = 0;
};

struct TEntJwwRandomLineNo {
  int32_t alLType = 0;
  int32_t anRandSenWide = 0;
  int32_t anTokushuSenPich = 0;
  int32_t anPrtRandSenWide = 0;
  int32_t anPrtTokushuSenPich = 0;
};

struct TEntJwwColorExNo {
  int32_t aPenColor = 0;
  int32_t anPenWidth = 0;
  std::u16string astrUDColorName;
  int32_t aPrtPenColor = 0;
  int32_t anPrtPenWidth = 0;
  double adPrtTenHankei = 0;
};

struct TEntJwwLineTypeExNo {
  int32_t alLType = 0;
  int32_t anTokushuSenUintDot = 0;
  int32_t anTokushuSenPich = 0;
  int32_t anPrtTokushuSenPich = 0;
  std::u16string astrUDLTypeName;
  int32_t anUDLTypeSegment = 0;
  // Numbered 1..10 in the format; element 0 is pitch 1.
  std::array<double, 10> aadUDLTypePitch{};
};

struct TEntJwwMojiType {
  double adMojiX = 0;
  double adMojiY = 0;
  double adMojiD = 0;
  int32_t anMojiCol = 0;
};

struct TBindImageType {
  std::u16string Fname;
  int32_t Fsize = 0;
  bool exf = false;
};

// The header. Arrays numbered 1..8 in the format are stored as elements 0..7.
struct TEntJwwHeader {
  std::u16string jwID;
  int32_t jwVer = 0;
  std::u16string strMemo;
  int32_t nZumen = 0;
  int32_t nWriteGLay = 0;
  int32_t lnSunpou1 = 0, lnSunpou2 = 0, lnSunpou3 = 0, lnSunpou4 = 0,
          lnSunpou5 = 0;
  int32_t nMaxDrawWid = 0;
  bool bSenHaba100 = false;
  int32_t nMaxDrawWidBak = 0;
  double DPPrtGenten_x = 0, DPPrtGenten_y = 0;
  double dPrtBairitsu = 0;
  int32_t nPrtSet = 0;
  int32_t nMemoriMode = 0;
  double dMemoriHyoujiMin = 0;
  double dMemoriX = 0, dMemoriY = 0;
  double DpMemoriKjTen_x = 0, DpMemoriKjTen_y = 0;
  double dKageLevel = 0, dKageIdo = 0;
  int32_t nKage9_15JiFlg = 0;
  double dKabeKageLevel = 0;
  double dTenkuuZuLevel = 0, dTenkuuZuEnkoR = 0;
  int32_t nMMTani3D = 0;
  double dBairitsu = 0;
  double DPGenten_x = 0, DPGenten_y = 0;
  double dHanniBairitsu = 0;
  double DPHanniGenten_x = 0, DPHanniGenten_y = 0;
  std::array<double, 8> dZoomJumpBairitsu{};
  std::array<double, 8> DPZoomJumpGenten_x{};
  std::array<double, 8> DPZoomJumpGenten_y{};
  std::array<int32_t, 8> nZoomJumpGLay{};
  double dDm11 = 0, dDm12 = 0, dDm13 = 0;
  int32_t lnDm1 = 0;
  double dDm21 = 0, dDm22 = 0;
  double dMojiBG = 0;
  int32_t nMojiBG = 0;
  std::array<double, 10> adFukusenSuuchi{};
  double dRyougawaFukusenTomeDe = 0;
  int32_t nDrawGamenTen = 0, nDrawPrtTen = 0;
  int32_t nBitMapFirstDraw = 0;
  int32_t nGyakuDraw = 0, nGyakuSearch = 0;
  int32_t nColorPrint = 0;
  int32_t nLayJunPrint = 0, nColJunPrint = 0;
  int32_t nPrtRenzoku = 0;
  int32_t nPrtKyoutsuuGray = 0;
  int32_t nPrtDispOnlyNonDraw = 0;
  int32_t nPrtDpi = 0;
  int32_t lnDrawTime = 0;
  int32_t nEyeInit = 0;
  int32_t dEye_H_Ichi_1 = 0, dEye_H_Ichi_2 = 0, dEye_H_Ichi_3 = 0;
  double dEye_Z_Ichi_1 = 0, dEye_Y_Ichi_1 = 0, dEye_Z_Ichi_2 = 0,
         dEye_Y_Ichi_2 = 0, dEye_V_Ichi_3 = 0;
  double dSenNagasaSnpou = 0;
  double dBoxSunpouX = 0, dBoxSunpouY = 0;
  double dEnHankeiSnpou = 0;
  int32_t nSolidNinniColor = 0;
  int32_t SolidColor = 0;
  double dMojiSizeX = 0, dMojiSizeY = 0, dMojiKankaku = 0;
  int32_t nMojiColor = 0, nMojiShu = 0;
  double dMojiSeiriGyouKan = 0, dMojiSeiriSuu = 0;
  int32_t nMojiKijunZureOn = 0;
  double adMojiKijunZureX0 = 0, adMojiKijunZureX1 = 0, adMojiKijunZureX2 = 0;
  double adMojiKijunZureY0 = 0, adMojiKijunZureY1 = 0, adMojiKijunZureY2 = 0;
  int32_t n1 = 0;
  int32_t n2 = 0;
};

// Fixed table lengths once a header has been read or defaults were set.
inline constexpr int kLayerGroups = 16;
inline constexpr int kLayers = 256;
inline constexpr int kPenColors = 10;
inline constexpr int kLineTypes = 8;
inline constexpr int kRandomLines = 5;
inline constexpr int kDoubleLineTypes = 4;
inline constexpr int kMojiTypes = 10;
inline constexpr int kSxfColors = 257;
inline constexpr int kSxfLineTypes = 33;

}  // namespace jww
