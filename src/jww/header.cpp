// SPDX-License-Identifier: GPL-3.0-or-later
// File check, header reader and header writer.
//
// The header is one fixed sequence of rows whose presence depends on the
// format version. Reading and writing walk the same row list (WalkHeaderRows),
// so both directions agree on every offset by construction; the writer walks
// it over repaired copies of the header and tables.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "jww/document.h"
#include "jww/file_bytes.h"
#include "jww/header_layout.h"
#include "jww/format_version.h"
#include "util/encoding.h"

namespace jww {
namespace {

constexpr char16_t kSignature[] = u"JwwData.";
constexpr size_t kSignatureBytes = 8;

constexpr char kHeaderError[] = "JWW-Header Error";
constexpr char kVersionError[] = "JWW-Version Error";
constexpr char kIoError[] = "File I/O Error";

bool IsSignature(std::span<const uint8_t> bytes) {
  return util::AnsiBytesToStr(bytes) == kSignature;
}

// The nine tables by reference: the document's own when reading, repaired
// copies when writing.
struct HeaderTables {
  std::vector<TEntJwwLayerGroup>& lgrp;
  std::vector<TEntJwwLayer>& lay;
  std::vector<TEntJwwColorNo>& col;
  std::vector<TEntJwwLineTypeNo>& ltp1;
  std::vector<TEntJwwRandomLineNo>& ltp2;
  std::vector<TEntJwwLineTypeNo>& ltp3;
  std::vector<TEntJwwColorExNo>& colS;
  std::vector<TEntJwwLineTypeExNo>& ltpS;
  std::vector<TEntJwwMojiType>& moj;
};

// Rows 3 to 45 of the header in file order. `printValue` is the stored
// combination of nPrtDispOnlyNonDraw and nPrtDpi (row 31).
template <class IO>
void WalkHeaderRows(IO& io, int32_t ver, TEntJwwHeader& h, HeaderTables& t, int32_t& printValue) {
  io.row(3);
  io.memo(h.strMemo);
  io.row(4);
  io.i32(h.nZumen);
  io.row(5);
  io.i32(h.nWriteGLay, "nWriteGLay", 0, limits::kMaxLayer);

  io.row(6);
  for (int g = 0; g < kLayerGroups; ++g) {
    TEntJwwLayerGroup& lg = t.lgrp[g];
    io.i32(lg.anGLay, "anGLay", 0, limits::kMaxState);
    io.i32(lg.anWriteLay, "anWriteLay", 0, limits::kMaxLayer);
    io.f64(lg.adScale, "adScale");
    io.i32(lg.anGLayProtect);
    for (int l = 0; l < 16; ++l) {
      TEntJwwLayer& ly = t.lay[g * 16 + l];
      io.i32(ly.aanLay, "aanLay", 0, limits::kMaxState);
      io.i32(ly.aanLayProtect);
    }
  }
  io.row(7);
  io.spare(56, 0x20);
  io.row(8);
  io.i32(h.lnSunpou1);
  io.i32(h.lnSunpou2);
  io.i32(h.lnSunpou3);
  io.i32(h.lnSunpou4);
  io.i32(h.lnSunpou5);
  io.row(9);
  io.spare(4, 0);
  io.row(10);
  io.i32(h.nMaxDrawWid);
  io.row(11);
  io.f64(h.DPPrtGenten_x, "DPPrtGenten_x");
  io.f64(h.DPPrtGenten_y, "DPPrtGenten_y");
  io.f64(h.dPrtBairitsu, "dPrtBairitsu");
  io.row(12);
  io.i32(h.nPrtSet);
  io.i32(h.nMemoriMode);
  io.row(13);
  io.f64(h.dMemoriHyoujiMin, "dMemoriHyoujiMin");
  io.f64(h.dMemoriX, "dMemoriX");
  io.f64(h.dMemoriY, "dMemoriY");
  io.f64(h.DpMemoriKjTen_x, "DpMemoriKjTen_x");
  io.f64(h.DpMemoriKjTen_y, "DpMemoriKjTen_y");
  io.row(14);
  for (int i = 0; i < kLayers; ++i) io.str(t.lay[i].aStrLayName);
  io.row(15);
  for (int g = 0; g < kLayerGroups; ++g) io.str(t.lgrp[g].aStrGLayName);
  io.row(16);
  io.f64(h.dKageLevel, "dKageLevel");
  io.f64(h.dKageIdo, "dKageIdo");
  io.row(17);
  io.i32(h.nKage9_15JiFlg);
  io.row(18);
  io.f64(h.dKabeKageLevel, "dKabeKageLevel");
  if (ver >= 300) {
    io.row(19);
    io.f64(h.dTenkuuZuLevel, "dTenkuuZuLevel");
    io.f64(h.dTenkuuZuEnkoR, "dTenkuuZuEnkoR");
  }
  io.row(20);
  io.i32(h.nMMTani3D);
  io.row(21);
  io.f64(h.dBairitsu, "dBairitsu");
  io.f64(h.DPGenten_x, "DPGenten_x");
  io.f64(h.DPGenten_y, "DPGenten_y");
  io.f64(h.dHanniBairitsu, "dHanniBairitsu");
  io.f64(h.DPHanniGenten_x, "DPHanniGenten_x");
  io.f64(h.DPHanniGenten_y, "DPHanniGenten_y");
  if (ver >= 231) {
    io.row(22, 1);
    for (int i = 0; i < 8; ++i) {
      io.f64(h.dZoomJumpBairitsu[i], "dZoomJumpBairitsu");
      io.f64(h.DPZoomJumpGenten_x[i], "DPZoomJumpGenten_x");
      io.f64(h.DPZoomJumpGenten_y[i], "DPZoomJumpGenten_y");
      io.i32(h.nZoomJumpGLay[i], "nZoomJumpGLay", -1, limits::kMaxLayer);
    }
    io.row(22, 2);
    io.f64(h.dDm11);
    io.f64(h.dDm12);
    io.f64(h.dDm13);
    io.i32(h.lnDm1);
    io.f64(h.dDm21);
    io.f64(h.dDm22);
    io.f64(h.dMojiBG, "dMojiBG");
    io.i32(h.nMojiBG);
  } else {
    // Old files know four views without layer groups; the rest keep their
    // initial values.
    io.row(22, 3);
    for (int i = 0; i < 4; ++i) {
      io.f64(h.dZoomJumpBairitsu[i], "dZoomJumpBairitsu");
      io.f64(h.DPZoomJumpGenten_x[i], "DPZoomJumpGenten_x");
      io.f64(h.DPZoomJumpGenten_y[i], "DPZoomJumpGenten_y");
    }
  }
  io.row(23);
  for (double& d : h.adFukusenSuuchi) io.f64(d, "adFukusenSuuchi");
  io.row(24);
  io.f64(h.dRyougawaFukusenTomeDe, "dRyougawaFukusenTomeDe");
  io.row(25);
  for (int c = 0; c < kPenColors; ++c) {
    io.i32(t.col[c].aPenColor, "aPenColor", 0, limits::kMaxRgb);
    io.i32(t.col[c].anPenWidth, "anPenWidth", 0, limits::kMaxWidth);
  }
  io.row(26);
  for (int c = 0; c < kPenColors; ++c) {
    io.i32(t.col[c].aPrtPenColor, "aPrtPenColor", 0, limits::kMaxRgb);
    io.i32(t.col[c].anPrtPenWidth, "anPrtPenWidth", 0, limits::kMaxWidth);
    io.f64(t.col[c].adPrtTenHankei, "adPrtTenHankei");
  }
  io.row(27);
  for (TEntJwwLineTypeNo& lt : t.ltp1) {
    io.i32(lt.alLType);
    io.i32(lt.anTokushuSenUintDot, "anTokushuSenUintDot", 0, limits::kMaxPatternDots);
    io.i32(lt.anTokushuSenPich, "anTokushuSenPich", 0, limits::kMaxWidth);
    io.i32(lt.anPrtTokushuSenPich, "anPrtTokushuSenPich", 0, limits::kMaxWidth);
  }
  io.row(28);
  for (TEntJwwRandomLineNo& rl : t.ltp2) {
    io.i32(rl.alLType);
    io.i32(rl.anRandSenWide, "anRandSenWide", 0, limits::kMaxWidth);
    io.i32(rl.anTokushuSenPich, "anTokushuSenPich", 0, limits::kMaxWidth);
    io.i32(rl.anPrtRandSenWide, "anPrtRandSenWide", 0, limits::kMaxWidth);
    io.i32(rl.anPrtTokushuSenPich, "anPrtTokushuSenPich", 0, limits::kMaxWidth);
  }
  io.row(29);
  for (TEntJwwLineTypeNo& lt : t.ltp3) {
    io.i32(lt.alLType);
    io.i32(lt.anTokushuSenUintDot, "anTokushuSenUintDot", 0, limits::kMaxPatternDots);
    io.i32(lt.anTokushuSenPich, "anTokushuSenPich", 0, limits::kMaxWidth);
    io.i32(lt.anPrtTokushuSenPich, "anPrtTokushuSenPich", 0, limits::kMaxWidth);
  }
  io.row(30);
  io.i32(h.nDrawGamenTen);
  io.i32(h.nDrawPrtTen);
  io.i32(h.nBitMapFirstDraw);
  io.i32(h.nGyakuDraw);
  io.i32(h.nGyakuSearch);
  io.i32(h.nColorPrint);
  io.i32(h.nLayJunPrint);
  io.i32(h.nColJunPrint);
  io.i32(h.nPrtRenzoku);
  io.i32(h.nPrtKyoutsuuGray);
  io.row(31);
  io.i32(printValue);
  if (ver >= 223) {
    io.row(32);
    io.i32(h.lnDrawTime);
    io.i32(h.nEyeInit);
    io.i32(h.dEye_H_Ichi_1);
    io.i32(h.dEye_H_Ichi_2);
    io.i32(h.dEye_H_Ichi_3);
    io.row(33);
    io.f64(h.dEye_Z_Ichi_1, "dEye_Z_Ichi_1");
    io.f64(h.dEye_Y_Ichi_1, "dEye_Y_Ichi_1");
    io.f64(h.dEye_Z_Ichi_2, "dEye_Z_Ichi_2");
    io.f64(h.dEye_Y_Ichi_2, "dEye_Y_Ichi_2");
    io.f64(h.dEye_V_Ichi_3, "dEye_V_Ichi_3");
  }
  if (ver >= 225) {
    io.row(34);
    io.f64(h.dSenNagasaSnpou, "dSenNagasaSnpou");
    io.f64(h.dBoxSunpouX, "dBoxSunpouX");
    io.f64(h.dBoxSunpouY, "dBoxSunpouY");
    io.f64(h.dEnHankeiSnpou, "dEnHankeiSnpou");
  }
  if (ver >= 230) {
    io.row(35);
    io.i32(h.nSolidNinniColor);
    io.i32(h.SolidColor);
  }
  if (ver >= 420) {
    io.row(36);
    for (TEntJwwColorExNo& c : t.colS) {
      io.i32(c.aPenColor, "aPenColor", 0, limits::kMaxRgb);
      io.i32(c.anPenWidth, "anPenWidth", 0, limits::kMaxWidth);
    }
    io.row(37);
    for (TEntJwwColorExNo& c : t.colS) {
      io.str(c.astrUDColorName);
      io.i32(c.aPrtPenColor, "aPrtPenColor", 0, limits::kMaxRgb);
      io.i32(c.anPrtPenWidth, "anPrtPenWidth", 0, limits::kMaxWidth);
      io.f64(c.adPrtTenHankei, "adPrtTenHankei");
    }
    io.row(38);
    for (TEntJwwLineTypeExNo& lt : t.ltpS) {
      io.i32(lt.alLType);
      io.i32(lt.anTokushuSenUintDot, "anTokushuSenUintDot", 0, limits::kMaxPatternDots);
      io.i32(lt.anTokushuSenPich, "anTokushuSenPich", 0, limits::kMaxWidth);
      io.i32(lt.anPrtTokushuSenPich, "anPrtTokushuSenPich", 0, limits::kMaxWidth);
    }
    io.row(39);
    for (TEntJwwLineTypeExNo& lt : t.ltpS) {
      io.str(lt.astrUDLTypeName);
      io.i32(lt.anUDLTypeSegment, "anUDLTypeSegment", 0, limits::kMaxSegments);
      for (double& p : lt.aadUDLTypePitch) io.f64(p, "aadUDLTypePitch");
    }
  }
  io.row(40);
  for (TEntJwwMojiType& m : t.moj) {
    io.size(m.adMojiX, "adMojiX");
    io.size(m.adMojiY, "adMojiY");
    io.size(m.adMojiD, "adMojiD");
    io.i32(m.anMojiCol, "anMojiCol", 0, limits::kMaxPenColor);
  }
  io.row(41);
  io.size(h.dMojiSizeX, "dMojiSizeX");
  io.size(h.dMojiSizeY, "dMojiSizeY");
  io.size(h.dMojiKankaku, "dMojiKankaku");
  io.row(42);
  io.i32(h.nMojiColor, "nMojiColor", 0, limits::kMaxPenColor);
  io.i32(h.nMojiShu);
  io.row(43);
  io.f64(h.dMojiSeiriGyouKan, "dMojiSeiriGyouKan");
  io.f64(h.dMojiSeiriSuu, "dMojiSeiriSuu");
  io.row(44);
  io.i32(h.nMojiKijunZureOn);
  io.row(45);
  io.f64(h.adMojiKijunZureX0, "adMojiKijunZureX0");
  io.f64(h.adMojiKijunZureX1, "adMojiKijunZureX1");
  io.f64(h.adMojiKijunZureX2, "adMojiKijunZureX2");
  io.f64(h.adMojiKijunZureY0, "adMojiKijunZureY0");
  io.f64(h.adMojiKijunZureY1, "adMojiKijunZureY1");
  io.f64(h.adMojiKijunZureY2, "adMojiKijunZureY2");
}

// ---- reading ----

// Reads and checks each named value against its range; the first value
// outside is kept for the caller to report.
class HeaderReadIO {
 public:
  struct Violation {
    const char* field = nullptr;
    double value = 0;
    size_t offset = 0;
  };

  HeaderReadIO(ByteReader& in, bool& mojiEncode) : in_(in), mojiEncode_(mojiEncode) {}
  void row(int, int = 0) {}
  void i32(int32_t& v) { in_.read(&v, sizeof v); }
  void i32(int32_t& v, const char* field, int64_t lo, int64_t hi) {
    const size_t at = in_.pos();
    in_.read(&v, sizeof v);
    if (v < lo || v > hi) Bad(field, v, at);
  }
  void f64(double& v) { in_.read(&v, sizeof v); }
  void f64(double& v, const char* field) {
    const size_t at = in_.pos();
    in_.read(&v, sizeof v);
    if (!limits::InBound(v)) Bad(field, v, at);
  }
  // Text sizes that are not numbers are repaired after the walk.
  void size(double& v, const char* field) {
    const size_t at = in_.pos();
    in_.read(&v, sizeof v);
    if (std::fabs(v) > limits::kMaxValue && std::isfinite(v)) Bad(field, v, at);
  }
  const Violation& violation() const { return bad_; }
  void str(std::u16string& s) { s = ReadCleanCString(in_, mojiEncode_); }
  void memo(std::u16string& s) { s = ReadCString(in_, mojiEncode_); }
  void spare(size_t n, uint8_t) { in_.skip(n); }

 private:
  void Bad(const char* field, double value, size_t offset) {
    if (!bad_.field) bad_ = {field, value, offset};
  }
  ByteReader& in_;
  bool& mojiEncode_;
  Violation bad_;
};

// Line widths in hundredths are announced by nMaxDrawWid below −100; the
// ranges −500…−401 and −300…−201 carry a width setting of their own.
void DeriveDrawWidth(TEntJwwHeader& h) {
  const int32_t v = h.nMaxDrawWid;
  h.bSenHaba100 = v < -100;
  if (v >= -100)
    h.nMaxDrawWidBak = v;
  else if (v >= -500 && v <= -401)
    h.nMaxDrawWidBak = 400 + v;
  else if (v >= -300 && v <= -201)
    h.nMaxDrawWidBak = -200 - v;
  else
    h.nMaxDrawWidBak = -100;
}

void RepairTextSize(double& x, double& y, double& spacing) {
  if (!IsFiniteDouble(x)) x = 3.0;
  if (!IsFiniteDouble(y)) y = 3.0;
  if (!IsFiniteDouble(spacing)) spacing = 0.0;
}

// ---- writing ----

class HeaderWriteIO {
 public:
  HeaderWriteIO(ByteWriter& out, int32_t fileOutOpt) : out_(out), opt_(fileOutOpt) {}
  void row(int, int = 0) {}
  void i32(int32_t& v, const char* = nullptr, int64_t = 0, int64_t = 0) { out_.i32(v); }
  void f64(double& v, const char* = nullptr) { out_.f64(v); }
  void size(double& v, const char*) { out_.f64(v); }
  void str(std::u16string& s) { ok_ = WriteCString(out_, opt_, s) && ok_; }
  void memo(std::u16string& s) { str(s); }
  void spare(size_t n, uint8_t fill) { out_.fill(fill, n); }
  bool ok() const { return ok_; }

 private:
  ByteWriter& out_;
  int32_t opt_;
  bool ok_ = true;
};

// Names must not carry line marks: "^m" and "\n" pairs and control
// characters go; a name that loses everything becomes one space.
std::u16string StripLineMarks(std::u16string_view s) {
  if (s.empty()) return {};
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (i + 1 < s.size() &&
        ((s[i] == u'^' && s[i + 1] == u'm') || (s[i] == u'\\' && s[i + 1] == u'n'))) {
      i += 2;
      continue;
    }
    if (s[i] >= 0x20) out.push_back(s[i]);
    ++i;
  }
  if (out.empty()) out.push_back(u' ');
  return out;
}

// Blank: nothing left once spaces (also ideographic) and control characters go.
bool IsBlankName(std::u16string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char16_t c) { return c < 0x20 || c == u' ' || c == u'\u3000'; });
}

std::u16string NumberedName(std::u16string_view prefix, int index) {
  std::u16string out(prefix);
  for (char c : std::to_string(index)) out.push_back(static_cast<char16_t>(c));
  return out;
}

template <typename T>
T Clamp(T v, T lo, T hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

int32_t RgbOrZero(int32_t c) { return c < 0 || c > 0xFFFFFF ? 0 : c; }

// Text sizes are stored by magnitude and kept within what Jw_cad can draw.
double ClampTextSize(double v) {
  v = std::fabs(v);
  if (v < 1e-10) return 1e-10;
  if (v > 1e10) return 1e10;
  return v;
}

bool IsUsableSegmentCount(int32_t n) { return n == 2 || n == 4 || n == 6 || n == 8; }

void RepairPens(std::vector<TEntJwwColorNo>& col) {
  for (size_t c = 0; c < col.size(); ++c) {
    TEntJwwColorNo& p = col[c];
    p.aPenColor = RgbOrZero(p.aPenColor);
    p.anPenWidth = Clamp(p.anPenWidth, 1, 16);
    p.aPrtPenColor = c == 0 ? 0xFFFFFF : RgbOrZero(p.aPrtPenColor);
    p.anPrtPenWidth = Clamp(p.anPrtPenWidth, 1, 500);
    if (p.adPrtTenHankei < 0.1) p.adPrtTenHankei = 0.1;
    if (p.adPrtTenHankei > 10) p.adPrtTenHankei = 10;
  }
}

void RepairSxfColors(std::vector<TEntJwwColorExNo>& colS) {
  for (size_t c = 0; c < colS.size(); ++c) {
    TEntJwwColorExNo& p = colS[c];
    p.astrUDColorName = StripLineMarks(p.astrUDColorName);
    if (IsBlankName(p.astrUDColorName))
      p.astrUDColorName = NumberedName(u"Color_", static_cast<int>(c));
    // Print colours of the user-defined entries follow their screen colours.
    if (c > 16) p.aPrtPenColor = p.aPenColor;
  }
}

void RepairSxfLineTypes(std::vector<TEntJwwLineTypeExNo>& ltpS) {
  for (size_t t = 0; t < ltpS.size(); ++t) {
    TEntJwwLineTypeExNo& lt = ltpS[t];
    if (lt.alLType == 0) lt.alLType = -1;
    lt.astrUDLTypeName = StripLineMarks(lt.astrUDLTypeName);
    if (IsBlankName(lt.astrUDLTypeName))
      lt.astrUDLTypeName = NumberedName(u"LType_", static_cast<int>(t));
    // User line types need an even number of segments; anything else is
    // replaced by a plain dashed type so that Jw_cad can draw it.
    if (t >= 17 && !IsUsableSegmentCount(lt.anUDLTypeSegment)) {
      lt.alLType = static_cast<int32_t>(0xC3C3C3C3u);
      lt.anTokushuSenUintDot = 8;
      lt.anTokushuSenPich = 1;
      lt.anPrtTokushuSenPich = 8;
      lt.astrUDLTypeName = NumberedName(u"LType_", static_cast<int>(t));
      lt.anUDLTypeSegment = 2;
      lt.aadUDLTypePitch.fill(0.0);
      lt.aadUDLTypePitch[0] = 1.0;
      lt.aadUDLTypePitch[1] = 1.0;
    }
  }
}

int32_t CombinedPrintValue(const TEntJwwHeader& h, int32_t version) {
  if (version < 600) return h.nPrtDispOnlyNonDraw;
  const int32_t dpi = h.nPrtDpi <= 0 ? 1 : h.nPrtDpi;
  return h.nPrtDispOnlyNonDraw + 10 * dpi;
}

void ApplyWriteRules(int32_t version, TEntJwwHeader& h, HeaderTables& t) {
  if (version <= 420 && h.nMaxDrawWid < -101) h.nMaxDrawWid = -101;
  RepairPens(t.col);
  for (TEntJwwLayer& l : t.lay) l.aStrLayName = StripLineMarks(l.aStrLayName);
  for (TEntJwwLayerGroup& g : t.lgrp) g.aStrGLayName = StripLineMarks(g.aStrGLayName);
  RepairSxfColors(t.colS);
  RepairSxfLineTypes(t.ltpS);
  for (TEntJwwMojiType& m : t.moj) {
    m.adMojiX = ClampTextSize(m.adMojiX);
    m.adMojiY = ClampTextSize(m.adMojiY);
  }
  h.dMojiSizeX = ClampTextSize(h.dMojiSizeX);
  h.dMojiSizeY = ClampTextSize(h.dMojiSizeY);
}

// Tables of a document that never read a header are empty; the writer then
// writes zero entries of the fixed lengths.
template <typename T>
std::vector<T> SizedCopy(const std::vector<T>& v, size_t n) {
  std::vector<T> out(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(v.size(), n)));
  out.resize(n);
  return out;
}

// ---- item list ----

class HeaderItemIO {
 public:
  HeaderItemIO(ByteReader& in, std::vector<HeaderItem>& items) : in_(in), items_(items) {}
  void row(int r, int sub = 0) {
    row_ = r;
    sub_ = sub;
    index_ = 0;
  }
  void i32(int32_t& v, const char* = nullptr, int64_t = 0, int64_t = 0) {
    record(false, [&] { in_.read(&v, sizeof v); });
  }
  void f64(double& v, const char* = nullptr) {
    record(false, [&] { in_.read(&v, sizeof v); });
  }
  void size(double& v, const char*) { f64(v); }
  void str(std::u16string& s) {
    record(true, [&] { s = ReadCString(in_, moji_); });
  }
  void memo(std::u16string& s) { str(s); }
  void spare(size_t n, uint8_t) {
    record(false, [&] { in_.skip(n); });
  }

 private:
  template <typename F>
  void record(bool isString, F read) {
    HeaderItem item{row_, sub_, index_++, in_.pos(), 0, isString};
    read();
    item.size = in_.pos() - item.offset;
    items_.push_back(item);
  }
  ByteReader& in_;
  std::vector<HeaderItem>& items_;
  bool moji_ = false;
  int row_ = 0, sub_ = 0, index_ = 0;
};

}  // namespace

// ---- document operations ----

bool TJwwData::FileCheck(const std::string& FName) const {
  std::error_code cause;
  return FileCheck(FName, cause);
}

bool TJwwData::FileCheck(const std::string& FName, std::error_code& cause) const {
  std::vector<uint8_t> head;
  if (!ReadFilePrefix(FName, kSignatureBytes + 4, head, &cause)) return false;
  ByteReader in(head);
  if (!IsSignature(in.take(kSignatureBytes))) return false;
  const int32_t version = in.i32();
  return in.ok() && IsKnownVersion(version);  // a file of 11 bytes has no version
}

bool TJwwData::FileHeaderIn(const std::string& FName) {
  DataInit();
  LastReadError.clear();
  std::vector<uint8_t> data;
  if (!ReadFileBytes(FName, data, &LastReadCause)) {
    LastReadError = kIoError;
    return false;
  }
  ByteReader in(data);
  return ReadHeader(in);
}

bool TJwwData::ReadHeader(ByteReader& in) {
  try {
    EntLgrp.assign(kLayerGroups, {});
    EntLay.assign(kLayers, {});
    EntCol.assign(kPenColors, {});
    EntLtp1.assign(kLineTypes, {});
    EntLtp2.assign(kRandomLines, {});
    EntLtp3.assign(kDoubleLineTypes, {});
    EntMoj.assign(kMojiTypes, {});
    EntColS.assign(kSxfColors, {});
    EntLtpS.assign(kSxfLineTypes, {});

    Enthd.jwID = util::AnsiBytesToStr(in.take(kSignatureBytes));
    if (Enthd.jwID != kSignature) {
      LastReadError = kHeaderError;
      return false;
    }
    Enthd.jwVer = 0;
    in.read(&Enthd.jwVer, sizeof Enthd.jwVer);
    if (!IsKnownVersion(Enthd.jwVer)) {
      LastReadError = kVersionError;
      return false;
    }

    HeaderTables t{EntLgrp, EntLay, EntCol, EntLtp1, EntLtp2, EntLtp3, EntColS, EntLtpS, EntMoj};
    HeaderReadIO io(in, MojiEncode);
    int32_t printValue = 0;
    WalkHeaderRows(io, Enthd.jwVer, Enthd, t, printValue);
    // A header cut anywhere is no header: its zeros would pass for values.
    if (!in.ok()) {
      ReadLog.Add(finding::kTruncated,
                  ReadLocation{ReadSection::kHeader, -1, -1, static_cast<int64_t>(in.pos())},
                  "the file ends inside the header");
      LastReadError = kIoError;
      return false;
    }
    if (const HeaderReadIO::Violation& bad = io.violation(); bad.field) {
      ReadLog.AddOutOfRange(
          ReadLocation{ReadSection::kHeader, -1, -1, static_cast<int64_t>(bad.offset)},
          "the header's", bad.field, bad.value);
      LastReadError = kIoError;
      return false;
    }

    DeriveDrawWidth(Enthd);
    Enthd.nPrtDpi = printValue / 10;
    Enthd.nPrtDispOnlyNonDraw = printValue % 10;
    for (TEntJwwMojiType& m : EntMoj) RepairTextSize(m.adMojiX, m.adMojiY, m.adMojiD);
    RepairTextSize(Enthd.dMojiSizeX, Enthd.dMojiSizeY, Enthd.dMojiKankaku);
    return true;
  } catch (const std::exception& e) {
    LastReadError = e.what();
    return false;
  }
}

bool TJwwData::WriteHeader(ByteWriter& out, int32_t version) {
  try {
    Enthd.jwID = kSignature;
    const util::Bytes sig = util::StrToAnsiBytes(Enthd.jwID);
    out.bytes(sig.data(), sig.size());
    out.u32(static_cast<uint32_t>(version));

    TEntJwwHeader h = Enthd;
    std::vector<TEntJwwLayerGroup> lgrp = SizedCopy(EntLgrp, kLayerGroups);
    std::vector<TEntJwwLayer> lay = SizedCopy(EntLay, kLayers);
    std::vector<TEntJwwColorNo> col = SizedCopy(EntCol, kPenColors);
    std::vector<TEntJwwLineTypeNo> ltp1 = SizedCopy(EntLtp1, kLineTypes);
    std::vector<TEntJwwRandomLineNo> ltp2 = SizedCopy(EntLtp2, kRandomLines);
    std::vector<TEntJwwLineTypeNo> ltp3 = SizedCopy(EntLtp3, kDoubleLineTypes);
    std::vector<TEntJwwColorExNo> colS = SizedCopy(EntColS, kSxfColors);
    std::vector<TEntJwwLineTypeExNo> ltpS = SizedCopy(EntLtpS, kSxfLineTypes);
    std::vector<TEntJwwMojiType> moj = SizedCopy(EntMoj, kMojiTypes);
    HeaderTables t{lgrp, lay, col, ltp1, ltp2, ltp3, colS, ltpS, moj};

    ApplyWriteRules(version, h, t);
    int32_t printValue = CombinedPrintValue(h, version);
    HeaderWriteIO io(out, FileOutOpt);
    WalkHeaderRows(io, version, h, t, printValue);
    return io.ok() && out.ok();
  } catch (const std::exception&) {
    return false;
  }
}

std::vector<HeaderItem> HeaderItems(std::span<const uint8_t> file) {
  std::vector<HeaderItem> items;
  ByteReader in(file);
  if (!IsSignature(in.take(kSignatureBytes))) return items;
  int32_t ver = in.i32();
  if (!IsKnownVersion(ver)) return items;
  items.push_back({1, 0, 0, 0, kSignatureBytes, false});
  items.push_back({2, 0, 0, kSignatureBytes, 4, false});

  TEntJwwHeader h;
  std::vector<TEntJwwLayerGroup> lgrp(kLayerGroups);
  std::vector<TEntJwwLayer> lay(kLayers);
  std::vector<TEntJwwColorNo> col(kPenColors);
  std::vector<TEntJwwLineTypeNo> ltp1(kLineTypes);
  std::vector<TEntJwwRandomLineNo> ltp2(kRandomLines);
  std::vector<TEntJwwLineTypeNo> ltp3(kDoubleLineTypes);
  std::vector<TEntJwwColorExNo> colS(kSxfColors);
  std::vector<TEntJwwLineTypeExNo> ltpS(kSxfLineTypes);
  std::vector<TEntJwwMojiType> moj(kMojiTypes);
  HeaderTables t{lgrp, lay, col, ltp1, ltp2, ltp3, colS, ltpS, moj};
  HeaderItemIO io(in, items);
  int32_t printValue = 0;
  WalkHeaderRows(io, ver, h, t, printValue);
  return items;
}

}  // namespace jww
