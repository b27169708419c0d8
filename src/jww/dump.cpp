// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/dump.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <vector>

#include "jww/document.h"

namespace jww {
namespace {

// Builds one line of `name=value` pairs; nested records add a name prefix
// ("Sen.att.nLayer") so every value stays self-describing in a diff.
class Line {
 public:
  Line(std::string& out, std::string_view head) : out_(out) { out_ += head; }
  ~Line() { out_ += '\n'; }
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  void Push(std::string_view name) {
    marks_.push_back(prefix_.size());
    prefix_ += name;
    prefix_ += '.';
  }
  void Pop() {
    prefix_.resize(marks_.back());
    marks_.pop_back();
  }

  void Int(std::string_view name, int64_t v) {
    Key(name);
    std::array<char, 24> buf;
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    out_.append(buf.data(), r.ptr);
  }
  void Bool(std::string_view name, bool v) {
    Key(name);
    out_ += v ? "true" : "false";
  }
  void Real(std::string_view name, double v) {
    Key(name);
    std::array<char, 40> buf;
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 17);
    out_.append(buf.data(), r.ptr);
  }
  void Str(std::string_view name, std::u16string_view v) {
    Key(name);
    AppendQuoted(v);
  }
  template <size_t N>
  void Reals(std::string_view name, const std::array<double, N>& a) {
    for (size_t i = 0; i < N; ++i) Real(Indexed(name, i), a[i]);
  }
  template <size_t N>
  void Ints(std::string_view name, const std::array<int32_t, N>& a) {
    for (size_t i = 0; i < N; ++i) Int(Indexed(name, i), a[i]);
  }

 private:
  static std::string Indexed(std::string_view name, size_t i) {
    return std::string(name) + "[" + std::to_string(i) + "]";
  }

  void Key(std::string_view name) {
    out_ += ' ';
    out_ += prefix_;
    out_ += name;
    out_ += '=';
  }

  // UTF-8 in double quotes. Quotes, backslashes and control characters are
  // escaped, and a lone surrogate is shown as \uXXXX so that no unit of the
  // string is lost or merged in the dump.
  void AppendQuoted(std::u16string_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out_ += '"';
    size_t i = 0;
    while (i < s.size()) {
      UChar32 c;
      U16_NEXT(s.data(), i, s.size(), c);
      if (U_IS_SURROGATE(c)) {
        out_ += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out_ += kHex[(c >> shift) & 0xF];
      } else if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c == '\n') {
        out_ += "\\n";
      } else if (c == '\r') {
        out_ += "\\r";
      } else if (c == '\t') {
        out_ += "\\t";
      } else if (c < 0x20 || c == 0x7F) {
        out_ += "\\x";
        out_ += kHex[c >> 4];
        out_ += kHex[c & 0xF];
      } else {
        std::array<uint8_t, 4> buf;
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf.data(), n, c);
        out_.append(reinterpret_cast<const char*>(buf.data()), static_cast<size_t>(n));
      }
    }
    out_ += '"';
  }

  std::string& out_;
  std::string prefix_;
  std::vector<size_t> marks_;
};

// ---- record fields ----

void Fields(Line& l, const TEntJwwAttr& a) {
  l.Push("att");
  l.Int("lGroup", a.lGroup);
  l.Int("nPenStyle", a.nPenStyle);
  l.Int("nPenColor", a.nPenColor);
  l.Int("nPenWidth", a.nPenWidth);
  l.Int("nLayer", a.nLayer);
  l.Int("nGLayer", a.nGLayer);
  l.Int("sFlg", a.sFlg);
  l.Pop();
}

void Fields(Line& l, const TEntJwwLine& e) {
  Fields(l, e.att);
  l.Real("start_x", e.start_x);
  l.Real("start_y", e.start_y);
  l.Real("end_x", e.end_x);
  l.Real("end_y", e.end_y);
}

void Fields(Line& l, const TEntJwwEnko& e) {
  Fields(l, e.att);
  l.Real("start_x", e.start_x);
  l.Real("start_y", e.start_y);
  l.Real("dHankei", e.dHankei);
  l.Real("radKaishiKaku", e.radKaishiKaku);
  l.Real("radEnkoKaku", e.radEnkoKaku);
  l.Real("radKatamukiKaku", e.radKatamukiKaku);
  l.Real("dHenpeiRitsu", e.dHenpeiRitsu);
  l.Int("bZenEnFlg", e.bZenEnFlg);
}

void Fields(Line& l, const TEntJwwTen& e) {
  Fields(l, e.att);
  l.Real("start_x", e.start_x);
  l.Real("start_y", e.start_y);
  l.Int("bKariten", e.bKariten);
  l.Int("nCode", e.nCode);
  l.Real("radKaitenKaku", e.radKaitenKaku);
  l.Real("dBairitsu", e.dBairitsu);
}

void Fields(Line& l, const TEntJwwMoji& e) {
  Fields(l, e.att);
  l.Real("start_x", e.start_x);
  l.Real("start_y", e.start_y);
  l.Real("end_x", e.end_x);
  l.Real("end_y", e.end_y);
  l.Int("nMojiShu", e.nMojiShu);
  l.Real("dSizeX", e.dSizeX);
  l.Real("dSizeY", e.dSizeY);
  l.Real("dKankaku", e.dKankaku);
  l.Real("degKakudo", e.degKakudo);
  l.Str("strFontName", e.strFontName);
  l.Str("str", e.str);
}

template <typename Rec>
void Nested(Line& l, std::string_view name, const Rec& r) {
  l.Push(name);
  Fields(l, r);
  l.Pop();
}

void Fields(Line& l, const TEntJwwSunpo& e) {
  Fields(l, e.att);
  Nested(l, "Sen", e.Sen);
  Nested(l, "Moji", e.Moji);
  l.Int("bSxfMode", e.bSxfMode);
  Nested(l, "Ho1", e.Ho1);
  Nested(l, "Ho2", e.Ho2);
  Nested(l, "Te1", e.Te1);
  Nested(l, "Te2", e.Te2);
  Nested(l, "Kt1", e.Kt1);
  Nested(l, "Kt2", e.Kt2);
}

void Fields(Line& l, const TEntJwwSolid& e) {
  Fields(l, e.att);
  l.Real("start_x", e.start_x);
  l.Real("start_y", e.start_y);
  l.Real("end_x", e.end_x);
  l.Real("end_y", e.end_y);
  l.Real("DPoint2_x", e.DPoint2_x);
  l.Real("DPoint2_y", e.DPoint2_y);
  l.Real("DPoint3_x", e.DPoint3_x);
  l.Real("DPoint3_y", e.DPoint3_y);
  l.Int("Color", e.Color);
}

void Fields(Line& l, const TEntJwwBlock& e) {
  Fields(l, e.att);
  l.Real("DPKijunTen_x", e.DPKijunTen_x);
  l.Real("DPKijunTen_y", e.DPKijunTen_y);
  l.Real("dBairitsuX", e.dBairitsuX);
  l.Real("dBairitsuY", e.dBairitsuY);
  l.Real("radKaitenKaku", e.radKaitenKaku);
  l.Int("nNumber", e.nNumber);
}

void Fields(Line& l, const TEntJwwLayerGroup& e) {
  l.Int("anGLay", e.anGLay);
  l.Int("anWriteLay", e.anWriteLay);
  l.Real("adScale", e.adScale);
  l.Int("anGLayProtect", e.anGLayProtect);
  l.Str("aStrGLayName", e.aStrGLayName);
}

void Fields(Line& l, const TEntJwwLayer& e) {
  l.Int("aanLay", e.aanLay);
  l.Int("aanLayProtect", e.aanLayProtect);
  l.Str("aStrLayName", e.aStrLayName);
}

void Fields(Line& l, const TEntJwwColorNo& e) {
  l.Int("aPenColor", e.aPenColor);
  l.Int("anPenWidth", e.anPenWidth);
  l.Int("aPrtPenColor", e.aPrtPenColor);
  l.Int("anPrtPenWidth", e.anPrtPenWidth);
  l.Real("adPrtTenHankei", e.adPrtTenHankei);
}

void Fields(Line& l, const TEntJwwLineTypeNo& e) {
  l.Int("alLType", e.alLType);
  l.Int("anTokushuSenUintDot", e.anTokushuSenUintDot);
  l.Int("anTokushuSenPich", e.anTokushuSenPich);
  l.Int("anPrtTokushuSenPich", e.anPrtTokushuSenPich);
}

void Fields(Line& l, const TEntJwwRandomLineNo& e) {
  l.Int("alLType", e.alLType);
  l.Int("anRandSenWide", e.anRandSenWide);
  l.Int("anTokushuSenPich", e.anTokushuSenPich);
  l.Int("anPrtRandSenWide", e.anPrtRandSenWide);
  l.Int("anPrtTokushuSenPich", e.anPrtTokushuSenPich);
}

void Fields(Line& l, const TEntJwwColorExNo& e) {
  l.Int("aPenColor", e.aPenColor);
  l.Int("anPenWidth", e.anPenWidth);
  l.Str("astrUDColorName", e.astrUDColorName);
  l.Int("aPrtPenColor", e.aPrtPenColor);
  l.Int("anPrtPenWidth", e.anPrtPenWidth);
  l.Real("adPrtTenHankei", e.adPrtTenHankei);
}

void Fields(Line& l, const TEntJwwLineTypeExNo& e) {
  l.Int("alLType", e.alLType);
  l.Int("anTokushuSenUintDot", e.anTokushuSenUintDot);
  l.Int("anTokushuSenPich", e.anTokushuSenPich);
  l.Int("anPrtTokushuSenPich", e.anPrtTokushuSenPich);
  l.Str("astrUDLTypeName", e.astrUDLTypeName);
  l.Int("anUDLTypeSegment", e.anUDLTypeSegment);
  l.Reals("aadUDLTypePitch", e.aadUDLTypePitch);
}

void Fields(Line& l, const TEntJwwMojiType& e) {
  l.Real("adMojiX", e.adMojiX);
  l.Real("adMojiY", e.adMojiY);
  l.Real("adMojiD", e.adMojiD);
  l.Int("anMojiCol", e.anMojiCol);
}

void Fields(Line& l, const TBindImageType& e) {
  l.Str("Fname", e.Fname);
  l.Int("Fsize", e.Fsize);
  l.Bool("exf", e.exf);
}

// ---- header: one field per line ----

void DumpHeader(std::string& out, const TEntJwwHeader& h) {
  out += "[header]\n";
  // One field per line (the zoom-jump views one view per line): the header is
  // long, and a diff then names the field that changed.
  auto I = [&out](std::string_view n, int64_t v) { Line(out, "Enthd").Int(n, v); };
  auto R = [&out](std::string_view n, double v) { Line(out, "Enthd").Real(n, v); };
  Line(out, "Enthd").Str("jwID", h.jwID);
  I("jwVer", h.jwVer);
  Line(out, "Enthd").Str("strMemo", h.strMemo);
  I("nZumen", h.nZumen);
  I("nWriteGLay", h.nWriteGLay);
  I("lnSunpou1", h.lnSunpou1);
  I("lnSunpou2", h.lnSunpou2);
  I("lnSunpou3", h.lnSunpou3);
  I("lnSunpou4", h.lnSunpou4);
  I("lnSunpou5", h.lnSunpou5);
  I("nMaxDrawWid", h.nMaxDrawWid);
  Line(out, "Enthd").Bool("bSenHaba100", h.bSenHaba100);
  I("nMaxDrawWidBak", h.nMaxDrawWidBak);
  R("DPPrtGenten_x", h.DPPrtGenten_x);
  R("DPPrtGenten_y", h.DPPrtGenten_y);
  R("dPrtBairitsu", h.dPrtBairitsu);
  I("nPrtSet", h.nPrtSet);
  I("nMemoriMode", h.nMemoriMode);
  R("dMemoriHyoujiMin", h.dMemoriHyoujiMin);
  R("dMemoriX", h.dMemoriX);
  R("dMemoriY", h.dMemoriY);
  R("DpMemoriKjTen_x", h.DpMemoriKjTen_x);
  R("DpMemoriKjTen_y", h.DpMemoriKjTen_y);
  R("dKageLevel", h.dKageLevel);
  R("dKageIdo", h.dKageIdo);
  I("nKage9_15JiFlg", h.nKage9_15JiFlg);
  R("dKabeKageLevel", h.dKabeKageLevel);
  R("dTenkuuZuLevel", h.dTenkuuZuLevel);
  R("dTenkuuZuEnkoR", h.dTenkuuZuEnkoR);
  I("nMMTani3D", h.nMMTani3D);
  R("dBairitsu", h.dBairitsu);
  R("DPGenten_x", h.DPGenten_x);
  R("DPGenten_y", h.DPGenten_y);
  R("dHanniBairitsu", h.dHanniBairitsu);
  R("DPHanniGenten_x", h.DPHanniGenten_x);
  R("DPHanniGenten_y", h.DPHanniGenten_y);
  for (size_t i = 0; i < h.dZoomJumpBairitsu.size(); ++i) {
    Line l(out, "Enthd");
    l.Int("zoomJump", static_cast<int64_t>(i + 1));
    l.Real("dZoomJumpBairitsu", h.dZoomJumpBairitsu[i]);
    l.Real("DPZoomJumpGenten_x", h.DPZoomJumpGenten_x[i]);
    l.Real("DPZoomJumpGenten_y", h.DPZoomJumpGenten_y[i]);
    l.Int("nZoomJumpGLay", h.nZoomJumpGLay[i]);
  }
  R("dDm11", h.dDm11);
  R("dDm12", h.dDm12);
  R("dDm13", h.dDm13);
  I("lnDm1", h.lnDm1);
  R("dDm21", h.dDm21);
  R("dDm22", h.dDm22);
  R("dMojiBG", h.dMojiBG);
  I("nMojiBG", h.nMojiBG);
  Line(out, "Enthd").Reals("adFukusenSuuchi", h.adFukusenSuuchi);
  R("dRyougawaFukusenTomeDe", h.dRyougawaFukusenTomeDe);
  I("nDrawGamenTen", h.nDrawGamenTen);
  I("nDrawPrtTen", h.nDrawPrtTen);
  I("nBitMapFirstDraw", h.nBitMapFirstDraw);
  I("nGyakuDraw", h.nGyakuDraw);
  I("nGyakuSearch", h.nGyakuSearch);
  I("nColorPrint", h.nColorPrint);
  I("nLayJunPrint", h.nLayJunPrint);
  I("nColJunPrint", h.nColJunPrint);
  I("nPrtRenzoku", h.nPrtRenzoku);
  I("nPrtKyoutsuuGray", h.nPrtKyoutsuuGray);
  I("nPrtDispOnlyNonDraw", h.nPrtDispOnlyNonDraw);
  I("nPrtDpi", h.nPrtDpi);
  I("lnDrawTime", h.lnDrawTime);
  I("nEyeInit", h.nEyeInit);
  I("dEye_H_Ichi_1", h.dEye_H_Ichi_1);
  I("dEye_H_Ichi_2", h.dEye_H_Ichi_2);
  I("dEye_H_Ichi_3", h.dEye_H_Ichi_3);
  R("dEye_Z_Ichi_1", h.dEye_Z_Ichi_1);
  R("dEye_Y_Ichi_1", h.dEye_Y_Ichi_1);
  R("dEye_Z_Ichi_2", h.dEye_Z_Ichi_2);
  R("dEye_Y_Ichi_2", h.dEye_Y_Ichi_2);
  R("dEye_V_Ichi_3", h.dEye_V_Ichi_3);
  R("dSenNagasaSnpou", h.dSenNagasaSnpou);
  R("dBoxSunpouX", h.dBoxSunpouX);
  R("dBoxSunpouY", h.dBoxSunpouY);
  R("dEnHankeiSnpou", h.dEnHankeiSnpou);
  I("nSolidNinniColor", h.nSolidNinniColor);
  I("SolidColor", h.SolidColor);
  R("dMojiSizeX", h.dMojiSizeX);
  R("dMojiSizeY", h.dMojiSizeY);
  R("dMojiKankaku", h.dMojiKankaku);
  I("nMojiColor", h.nMojiColor);
  I("nMojiShu", h.nMojiShu);
  R("dMojiSeiriGyouKan", h.dMojiSeiriGyouKan);
  R("dMojiSeiriSuu", h.dMojiSeiriSuu);
  I("nMojiKijunZureOn", h.nMojiKijunZureOn);
  R("adMojiKijunZureX0", h.adMojiKijunZureX0);
  R("adMojiKijunZureX1", h.adMojiKijunZureX1);
  R("adMojiKijunZureX2", h.adMojiKijunZureX2);
  R("adMojiKijunZureY0", h.adMojiKijunZureY0);
  R("adMojiKijunZureY1", h.adMojiKijunZureY1);
  R("adMojiKijunZureY2", h.adMojiKijunZureY2);
  I("n1", h.n1);
  I("n2", h.n2);
}

template <typename Rec>
void DumpTable(std::string& out, std::string_view name, const std::vector<Rec>& table) {
  out += '[';
  out += name;
  out += "]\n";
  for (size_t i = 0; i < table.size(); ++i) {
    Line l(out, std::string(name) + "[" + std::to_string(i) + "]");
    Fields(l, table[i]);
  }
}

// ---- entities in draw order ----

// The entity arrays of the drawing or of one block definition, each cut to
// what its count says exists (and to what the array really holds, so that a
// damaged document still dumps without reading past an array).
struct EntitySet {
  template <typename Rec>
  struct Kind {
    const std::vector<Rec>* a;
    int32_t n;
    const Rec* At(int32_t i) const {
      if (i < 0 || i >= n || static_cast<size_t>(i) >= a->size()) return nullptr;
      return &(*a)[static_cast<size_t>(i)];
    }
  };
  Kind<TEntJwwLine> line;
  Kind<TEntJwwEnko> enko;
  Kind<TEntJwwTen> ten;
  Kind<TEntJwwMoji> moji;
  Kind<TEntJwwSunpo> sunpo;
  Kind<TEntJwwSolid> solid;
  Kind<TEntJwwBlock> block;
};

template <typename Rec>
bool DumpOne(std::string& out, std::string_view indent, size_t ordinal, std::string_view kind,
             const EntitySet::Kind<Rec>& k, int32_t index) {
  const Rec* r = k.At(index);
  if (!r) return false;
  std::string head(indent);
  head += '#';
  head += std::to_string(ordinal);
  head += ' ';
  head += kind;
  Line l(out, head);
  Fields(l, *r);
  return true;
}

// Entries that name no existing entity ((0, 0) among them) are skipped; the
// ordinal counts only the entities printed, so it does not depend on how
// many empty entries a list carries.
void DumpDrawOrder(std::string& out, std::string_view indent, const TEntJwwNo* order, size_t n,
                   const EntitySet& s) {
  size_t ordinal = 0;
  for (size_t i = 0; i < n; ++i) {
    const TEntJwwNo& e = order[i];
    bool printed = false;
    switch (e.EntType) {
      case kLine:
        printed = DumpOne(out, indent, ordinal, "Line", s.line, e.EntNo);
        break;
      case kEnko:
        printed = DumpOne(out, indent, ordinal, "Enko", s.enko, e.EntNo);
        break;
      case kTen:
        printed = DumpOne(out, indent, ordinal, "Ten", s.ten, e.EntNo);
        break;
      case kMoji:
        printed = DumpOne(out, indent, ordinal, "Moji", s.moji, e.EntNo);
        break;
      case kSunpo:
        printed = DumpOne(out, indent, ordinal, "Sunpo", s.sunpo, e.EntNo);
        break;
      case kSolid:
        printed = DumpOne(out, indent, ordinal, "Solid", s.solid, e.EntNo);
        break;
      case kBlock:
        printed = DumpOne(out, indent, ordinal, "Block", s.block, e.EntNo);
        break;
      default:
        break;
    }
    if (printed) ++ordinal;
  }
}

void DumpDrawing(std::string& out, const TJwwData& doc) {
  out += "[entities]\n";
  EntitySet s{{&doc.EntLine, doc.EntLineN},   {&doc.EntEnko, doc.EntEnkoN},
              {&doc.EntTen, doc.EntTenN},     {&doc.EntMoji, doc.EntMojiN},
              {&doc.EntSunpo, doc.EntSunpoN}, {&doc.EntSolid, doc.EntSolidN},
              {&doc.EntBlock, doc.EntBlockN}};
  DumpDrawOrder(out, "", doc.EntNo.data(), doc.EntNo.size(), s);

  out += "[blockdefs]\n";
  size_t defs =
      std::min(doc.EntBlockDef.size(), static_cast<size_t>(std::max(doc.EntBlockDefN, 0)));
  for (size_t i = 0; i < defs; ++i) {
    const TEntJwwBlockDef& d = doc.EntBlockDef[i];
    {
      Line l(out, "BlockDef[" + std::to_string(i) + "]");
      Fields(l, d.att);
      l.Int("nNumber", d.nNumber);
      l.Int("bRefferd", d.bRefferd);
      l.Int("dtime", d.dtime);
      l.Str("strName", d.strName);
      l.Int("N", d.N);
    }
    EntitySet m{{&d.mLine, d.mLineN},  {&d.mEnko, d.mEnkoN},   {&d.mTen, d.mTenN},
                {&d.mMoji, d.mMojiN},  {&d.mSunpo, d.mSunpoN}, {&d.mSolid, d.mSolidN},
                {&d.mBlock, d.mBlockN}};
    size_t members = std::min(d.mNo.size(), static_cast<size_t>(std::max(d.N, 0)));
    DumpDrawOrder(out, "  ", d.mNo.data(), members, m);
  }
}

}  // namespace

std::string DumpEntities(const TJwwData& doc) {
  std::string out;
  DumpDrawing(out, doc);
  return out;
}

std::string DumpTables(const TJwwData& doc) {
  std::string out;
  DumpHeader(out, doc.Enthd);
  DumpTable(out, "EntLgrp", doc.EntLgrp);
  DumpTable(out, "EntLay", doc.EntLay);
  DumpTable(out, "EntCol", doc.EntCol);
  DumpTable(out, "EntLtp1", doc.EntLtp1);
  DumpTable(out, "EntLtp2", doc.EntLtp2);
  DumpTable(out, "EntLtp3", doc.EntLtp3);
  DumpTable(out, "EntColS", doc.EntColS);
  DumpTable(out, "EntLtpS", doc.EntLtpS);
  DumpTable(out, "EntMoj", doc.EntMoj);
  return out;
}

std::string DumpDocument(const TJwwData& doc) {
  std::string out = DumpTables(doc);
  DumpDrawing(out, doc);
  out += "[images]\n";
  size_t images = std::min(doc.BindImage.size(), static_cast<size_t>(std::max(doc.BindImageN, 0)));
  for (size_t i = 0; i < images; ++i) {
    Line l(out, "BindImage[" + std::to_string(i) + "]");
    Fields(l, doc.BindImage[i]);
  }
  return out;
}

}  // namespace jww
