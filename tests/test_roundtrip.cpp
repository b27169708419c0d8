// SPDX-License-Identifier: GPL-3.0-or-later
// Writing and reading back. For every drawing the expected read-back
// document is derived from the original by the writer's rules, each applied
// by name; the two documents must then agree field by field. Every
// difference between a source and its rewrite is thereby attributed to a
// rule, and the rules that fired are printed per file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "jww/document.h"
#include "jww/dump.h"
#include "jww/entity_lists.h"
#include "support/corpus.h"
#include "util/text.h"

namespace fs = std::filesystem;
using namespace jww;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes Write(TJwwData& d, int32_t version) {
  ByteWriter out;
  EXPECT_TRUE(d.WriteToBuffer(out, version)) << d.LastWriteError;
  return out.buffer();
}

TJwwData Read(const Bytes& b) {
  TJwwData d;
  EXPECT_TRUE(d.ReadFromBuffer(b));
  return d;
}

// Field-level difference of two documents, as lines of their dumps.
std::string DumpDiff(const TJwwData& expected, const TJwwData& actual) {
  auto lines = [](const std::string& s) {
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  };
  auto a = lines(DumpDocument(expected)), b = lines(DumpDocument(actual));
  std::ostringstream out;
  int shown = 0;
  for (size_t i = 0; i < std::max(a.size(), b.size()) && shown < 6; ++i) {
    std::string x = i < a.size() ? a[i] : "<none>", y = i < b.size() ? b[i] : "<none>";
    if (x == y) continue;
    out << "\n  expected: " << x.substr(0, 400) << "\n  actual:   " << y.substr(0, 400);
    ++shown;
  }
  return out.str();
}

// ---- the writer's rules, as they show after reading the file back ----

class Rules {
 public:
  Rules(int32_t version, int32_t sourceVersion) : v_(version), src_(sourceVersion) {}

  // What a document looks like after being written at v_ and read back.
  TJwwData Apply(const TJwwData& a) {
    TJwwData e = a;
    Header(e);
    Tables(e);
    e.EntNo.clear();
    e.EntLine.clear();
    e.EntEnko.clear();
    e.EntTen.clear();
    e.EntMoji.clear();
    e.EntSunpo.clear();
    e.EntSolid.clear();
    e.EntBlock.clear();
    e.EntLineN = e.EntEnkoN = e.EntTenN = e.EntMojiN = e.EntSunpoN = e.EntSolidN = e.EntBlockN = 0;
    Sink top = DrawingLists(e);
    inLists_ = true;
    size_t n1 = std::min(a.EntNo.size(), static_cast<size_t>(std::max(a.Enthd.n1, 0)));
    Entities(a, a.EntNo.data(), n1, top, ListOf(a));
    e.Enthd.n1 = static_cast<int32_t>(e.EntNo.size());
    Definitions(a, e);
    if (v_ < 700 || (!a.BindImageExp && !a.BindImageExr)) e.BindImageInit();
    return e;
  }

  // True when a rule changed something in the entity or block lists.
  bool ListsChanged() const { return listRules_; }

  std::string Fired() const {
    std::string s;
    for (const auto& [rule, n] : fired_) s += "\n    " + rule + ": " + std::to_string(n);
    return s.empty() ? " none" : s;
  }

 private:
  template <typename T>
  void Set(T& field, const T& value, const std::string& rule) {
    if constexpr (std::is_floating_point_v<T>) {
      if (field == value || (std::isnan(field) && std::isnan(value))) return;
    } else {
      if (field == value) return;
    }
    field = value;
    Fire(rule);
  }
  void Fire(const std::string& rule) {
    ++fired_[rule];
    if (inLists_) listRules_ = true;
  }

  static double Clamp(double x) {
    x = std::fabs(x);
    return x < 1e-10 ? 1e-10 : x > 1e10 ? 1e10 : x;
  }
  void Size(double& d, const char* rule) {
    Set(d, Clamp(d), rule);
    if (!std::isfinite(d)) Set(d, 3.0, "non-finite text size read as 3");
  }

  void Header(TJwwData& e) {
    TEntJwwHeader& h = e.Enthd;
    Set(h.jwID, std::u16string(u"JwwData."), "signature");
    Set(h.jwVer, v_, "version written");
    if (v_ <= 420 && h.nMaxDrawWid < -101) Set(h.nMaxDrawWid, -101, "nMaxDrawWid up to 420");
    int32_t w = h.nMaxDrawWid;
    bool hundredths = w < -100;
    int32_t bak = w >= -100                  ? w
                  : (w >= -500 && w <= -401) ? 400 + w
                  : (w >= -300 && w <= -201) ? -200 - w
                                             : -100;
    Set(h.bSenHaba100, hundredths, "derived width fields");
    Set(h.nMaxDrawWidBak, bak, "derived width fields");
    int32_t print = v_ >= 600 ? h.nPrtDispOnlyNonDraw + 10 * (h.nPrtDpi <= 0 ? 1 : h.nPrtDpi)
                              : h.nPrtDispOnlyNonDraw;
    Set(h.nPrtDpi, print / 10, "combined print value");
    Set(h.nPrtDispOnlyNonDraw, print % 10, "combined print value");
    Size(h.dMojiSizeX, "text size clamp");
    Size(h.dMojiSizeY, "text size clamp");
    if (!std::isfinite(h.dMojiKankaku)) Set(h.dMojiKankaku, 0.0, "non-finite spacing read as 0");
    TEntJwwHeader init;  // what the reader leaves in rows a version lacks
    TJwwData fresh;
    init = fresh.Enthd;
    const char* absent = "absent in this version";
    if (v_ < 300) {
      Set(h.dTenkuuZuLevel, 0.0, absent);
      Set(h.dTenkuuZuEnkoR, 0.0, absent);
    }
    if (v_ <= 230) {
      for (int i = 4; i < 8; ++i) {
        Set(h.dZoomJumpBairitsu[i], init.dZoomJumpBairitsu[i], absent);
        Set(h.DPZoomJumpGenten_x[i], 0.0, absent);
        Set(h.DPZoomJumpGenten_y[i], 0.0, absent);
      }
      for (int i = 0; i < 8; ++i) Set(h.nZoomJumpGLay[i], -1, absent);
      for (double* d : {&h.dDm11, &h.dDm12, &h.dDm13, &h.dDm21, &h.dDm22, &h.dMojiBG})
        Set(*d, 0.0, absent);
      Set(h.lnDm1, 0, absent);
      Set(h.nMojiBG, 0, absent);
    }
    if (v_ < 223) {
      for (int32_t* i :
           {&h.lnDrawTime, &h.nEyeInit, &h.dEye_H_Ichi_1, &h.dEye_H_Ichi_2, &h.dEye_H_Ichi_3})
        Set(*i, 0, absent);
      for (double* d : {&h.dEye_Z_Ichi_1, &h.dEye_Y_Ichi_1, &h.dEye_Z_Ichi_2, &h.dEye_Y_Ichi_2,
                        &h.dEye_V_Ichi_3})
        Set(*d, 0.0, absent);
    }
    if (v_ < 225)
      for (double* d : {&h.dSenNagasaSnpou, &h.dBoxSunpouX, &h.dBoxSunpouY, &h.dEnHankeiSnpou})
        Set(*d, 0.0, absent);
    if (v_ < 230) {
      Set(h.nSolidNinniColor, 0, absent);
      Set(h.SolidColor, 0, absent);
    }
  }

  void Tables(TJwwData& e) {
    e.EntLgrp.resize(kLayerGroups);
    e.EntLay.resize(kLayers);
    e.EntCol.resize(kPenColors);
    e.EntLtp1.resize(kLineTypes);
    e.EntLtp2.resize(kRandomLines);
    e.EntLtp3.resize(kDoubleLineTypes);
    e.EntMoj.resize(kMojiTypes);
    e.EntColS.resize(kSxfColors);
    e.EntLtpS.resize(kSxfLineTypes);
    for (auto& g : e.EntLgrp)
      Set(g.aStrGLayName, util::StripLineMarks(g.aStrGLayName), "layer names cleaned");
    for (auto& l : e.EntLay)
      Set(l.aStrLayName, util::StripLineMarks(l.aStrLayName), "layer names cleaned");
    for (size_t i = 0; i < e.EntCol.size(); ++i) {
      TEntJwwColorNo& c = e.EntCol[i];
      const char* rule = "pen table clamps";
      if (c.aPenColor < 0 || c.aPenColor > 0xFFFFFF) Set(c.aPenColor, 0, rule);
      Set(c.anPenWidth, std::clamp(c.anPenWidth, 1, 16), rule);
      if (c.aPrtPenColor < 0 || c.aPrtPenColor > 0xFFFFFF) Set(c.aPrtPenColor, 0, rule);
      if (i == 0) Set(c.aPrtPenColor, 0xFFFFFF, rule);
      Set(c.anPrtPenWidth, std::clamp(c.anPrtPenWidth, 1, 500), rule);
      Set(c.adPrtTenHankei, std::clamp(c.adPrtTenHankei, 0.1, 10.0), rule);
    }
    if (v_ < 420) {
      Fire("SXF tables absent below 420");
      for (auto& c : e.EntColS) c = TEntJwwColorExNo{};
      for (auto& t : e.EntLtpS) t = TEntJwwLineTypeExNo{};
    } else {
      for (size_t i = 0; i < e.EntColS.size(); ++i) {
        TEntJwwColorExNo& c = e.EntColS[i];
        std::u16string name = util::StripLineMarks(c.astrUDColorName);
        if (util::StripSpaces(name).empty()) name = u"Color_" + util::IntToText(int64_t(i));
        Set(c.astrUDColorName, name, "blank SXF colour names");
        if (i >= 17) Set(c.aPrtPenColor, c.aPenColor, "SXF user colours print in screen colour");
      }
      for (size_t i = 0; i < e.EntLtpS.size(); ++i) {
        TEntJwwLineTypeExNo& t = e.EntLtpS[i];
        std::u16string index = util::IntToText(int64_t(i));
        int32_t seg = t.anUDLTypeSegment;
        if (i >= 17 && seg != 2 && seg != 4 && seg != 6 && seg != 8) {
          const char* rule = "unused SXF line types 17-32 replaced";
          Set(t.alLType, int32_t(0xC3C3C3C3), rule);
          Set(t.anTokushuSenUintDot, 8, rule);
          Set(t.anTokushuSenPich, 1, rule);
          Set(t.anPrtTokushuSenPich, 8, rule);
          Set(t.astrUDLTypeName, u"LType_" + index, rule);
          Set(t.anUDLTypeSegment, 2, rule);
          std::array<double, 10> pitch{1.0, 1.0};
          Set(t.aadUDLTypePitch, pitch, rule);
          continue;
        }
        if (t.alLType == 0) Set(t.alLType, -1, "SXF line type pattern 0 written as -1");
        std::u16string name = util::StripLineMarks(t.astrUDLTypeName);
        if (util::StripSpaces(name).empty()) name = u"LType_" + index;
        Set(t.astrUDLTypeName, name, "blank SXF line type names");
      }
    }
    for (auto& m : e.EntMoj) {
      Size(m.adMojiX, "text size clamp");
      Size(m.adMojiY, "text size clamp");
      if (!std::isfinite(m.adMojiD)) Set(m.adMojiD, 0.0, "non-finite spacing read as 0");
    }
  }

  // ---- entities ----

  // The lists read-only, each cut to its count, as the writer sees them.
  using Source = EntitySpans;
  static Source ListOf(const TJwwData& a) { return SpansOf(a); }
  static Source ListOf(const TEntJwwBlockDef& b) { return SpansOf(b); }
  using Sink = EntityLists;
  template <typename T>
  static void Put(Sink& s, std::vector<T>& a, int32_t& n, int32_t kind, const T& e) {
    a.push_back(e);
    s.no.push_back({kind, n++});
  }

  void Attr(TEntJwwAttr& a, int32_t kind) {
    Set(a, RepairAttr(v_, a, kind), "attribute repair");
    if (v_ < 351) Set(a.nPenWidth, uint16_t{0}, "no width before 351");
  }
  void Ten(TEntJwwTen& t) {
    Attr(t.att, kTen);
    if (t.att.nPenStyle != 100) {
      Set(t.nCode, 0u, "point extras only for style 100");
      Set(t.radKaitenKaku, 0.0, "point extras only for style 100");
      Set(t.dBairitsu, 0.0, "point extras only for style 100");
    }
  }
  void Moji(TEntJwwMoji& m) {
    Attr(m.att, kMoji);
    Size(m.dSizeX, "text size clamp");
    Size(m.dSizeY, "text size clamp");
    if (!std::isfinite(m.dKankaku)) Set(m.dKankaku, 0.0, "non-finite spacing read as 0");
    Set(m.strFontName, util::StripLineMarks(m.strFontName), "text strings cleaned");
    Set(m.str, util::StripLineMarks(m.str), "text strings cleaned");
  }

  void Entities(const TJwwData& doc, const TEntJwwNo* order, size_t n, Sink& out,
                const Source& in) {
    for (size_t i = 0; i < n; ++i) {
      const TEntJwwNo& o = order[i];
      size_t k = static_cast<size_t>(o.EntNo);
      if (o.EntNo < 0) continue;
      switch (o.EntType) {
        case kLine:
          if (k < in.line.size()) {
            TEntJwwLine l = in.line[k];
            Attr(l.att, kLine);
            Put(out, out.line, out.lineN, kLine, l);
          }
          break;
        case kEnko:
          if (k < in.enko.size()) {
            TEntJwwEnko a = in.enko[k];
            Attr(a.att, kEnko);
            Put(out, out.enko, out.enkoN, kEnko, a);
          }
          break;
        case kTen:
          if (k < in.ten.size()) {
            TEntJwwTen t = in.ten[k];
            Ten(t);
            Put(out, out.ten, out.tenN, kTen, t);
          }
          break;
        case kMoji:
          if (k < in.moji.size()) {
            TEntJwwMoji m = in.moji[k];
            Moji(m);
            Put(out, out.moji, out.mojiN, kMoji, m);
          }
          break;
        case kSunpo:
          if (k < in.sunpo.size()) Sunpo(in.sunpo[k], out);
          break;
        case kSolid:
          if (k < in.solid.size()) {
            TEntJwwSolid s = in.solid[k];
            if (s.att.nPenColor != 10) Set(s.Color, 0u, "solid colour only for colour 10");
            Attr(s.att, kSolid);
            Put(out, out.solid, out.solidN, kSolid, s);
          }
          break;
        case kBlock:
          if (k < in.block.size()) {
            TEntJwwBlock b = in.block[k];
            Attr(b.att, kBlock);
            Set(b.nNumber, BlockNumber(doc, b.nNumber), "block numbers renumbered");
            Put(out, out.block, out.blockN, kBlock, b);
          }
          break;
        default:
          break;
      }
    }
  }

  void Sunpo(TEntJwwSunpo s, Sink& out) {
    const TEntJwwSunpo stored = s;
    Attr(s.att, kSunpo);
    Attr(s.Sen.att, kLine);
    Moji(s.Moji);
    Attr(s.Ho1.att, kLine);
    Attr(s.Ho2.att, kLine);
    for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) Ten(*t);
    TEntJwwSunpo parts = s;
    if (v_ < 420) {
      // Old files carry no SXF parts: the reader fills them from the dimension.
      const char* rule = "dimension parts absent below 420";
      Set(s.bSxfMode, uint16_t{0}, rule);
      Fire(rule);
      for (TEntJwwLine* l : {&s.Ho1, &s.Ho2}) {
        *l = TEntJwwLine{};
        l->att = s.att;
      }
      for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) {
        *t = TEntJwwTen{};
        t->att = s.att;
        t->att.nPenStyle = 0;
      }
    }
    Put(out, out.sunpo, out.sunpoN, kSunpo, s);
    if (v_ < 420 && src_ >= 420 && stored.bSxfMode != 0) {
      Fire("SXF dimension split into seven objects");
      Put(out, out.line, out.lineN, kLine, parts.Ho1);
      Put(out, out.line, out.lineN, kLine, parts.Ho2);
      parts.Kt1.bKariten = parts.Kt2.bKariten = 1;
      for (const TEntJwwTen* t : {&parts.Te1, &parts.Te2, &parts.Kt1, &parts.Kt2})
        Put(out, out.ten, out.tenN, kTen, *t);
    }
  }

  static uint32_t BlockNumber(const TJwwData& doc, uint32_t n) {
    uint32_t written = 0;
    for (int32_t i = 0; i < doc.EntBlockDefN; ++i)
      if (doc.EntBlockDef[i].ref_flag) ++written;
    for (int32_t i = 0; i < doc.EntBlockDefN; ++i)
      if (doc.EntBlockDef[i].nNumber == n)
        return doc.EntBlockDef[i].ref_flag ? static_cast<uint32_t>(doc.EntBlockDef[i].ref_no)
                                           : (n < written ? written : n);
    return n < written ? written : n;
  }

  void Definitions(const TJwwData& a, TJwwData& e) {
    e.EntBlockDef.clear();
    int32_t position = 0;
    for (int32_t i = 0; i < std::min<int32_t>(a.EntBlockDefN, a.EntBlockDef.size()); ++i) {
      const TEntJwwBlockDef& src = a.EntBlockDef[i];
      if (!src.ref_flag) {
        Fire("unreferenced block definitions left out");
        continue;
      }
      ++position;
      TEntJwwBlockDef d;
      d.att = src.att;
      Attr(d.att, kBlockDefKind);
      d.nNumber = src.nNumber;
      Set(d.nNumber, static_cast<uint32_t>(src.ref_no), "block numbers renumbered");
      d.bRefferd = src.bRefferd;
      d.dtime = src.dtime;
      if (d.dtime >= 0x80000000u) Set(d.dtime, uint32_t(position), "flagged time read as position");
      d.strName = src.strName;
      Set(d.strName, util::StripLineMarks(d.strName), "block names cleaned");
      Sink sink = MemberLists(d);
      size_t n = std::min(src.mNo.size(), static_cast<size_t>(std::max(src.N, 0)));
      Entities(a, src.mNo.data(), n, sink, ListOf(src));
      d.N = static_cast<int32_t>(d.mNo.size());
      e.EntBlockDef.push_back(std::move(d));
    }
    e.EntBlockDefN = static_cast<int32_t>(e.EntBlockDef.size());
    e.Enthd.n2 = e.EntBlockDefN;
  }

  int32_t v_, src_;
  std::map<std::string, int> fired_;
  bool inLists_ = false, listRules_ = false;
};

// Returns whether a writer rule changed the entity or block lists.
bool ExpectRoundTrip(TJwwData& a, int32_t version, const std::string& what, bool print) {
  SCOPED_TRACE(what + " written at " + std::to_string(version));
  a.SetFileOutOption(a.MojiEncode ? 32 : 0);
  Bytes w = Write(a, version);
  TJwwData b = Read(w);
  Rules rules(version, a.Enthd.jwVer);
  TJwwData expected = rules.Apply(a);
  EXPECT_TRUE(DumpDocument(expected) == DumpDocument(b)) << DumpDiff(expected, b);
  if (print) std::cout << "  " << what << " @" << version << ":" << rules.Fired() << "\n";
  // Writing what was read back gives the same bytes again.
  b.SetFileOutOption(a.FileOutOpt);
  EXPECT_EQ(Write(b, version), w);
  return rules.ListsChanged();
}

// ---- corpus ----

std::vector<fs::path> CorpusFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".jww") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Offsets in the fixed start of a header: signature, version, memo, two
// integers and the layer-group table come before the two reserved blocks.
size_t ReservedOffset(const Bytes& file) {
  size_t memo = file[12] < 0xFF ? 1 + file[12] : 0;
  if (memo == 0) {
    uint16_t w = static_cast<uint16_t>(file[13] | file[14] << 8);
    memo = w != 0xFFFE ? 3 + w
                       : (file[15] < 0xFF ? 4 + 2 * file[15] : 6 + 2 * (file[16] | file[17] << 8));
  }
  return 12 + memo + 8 + 2368;
}

TEST(RoundTrip, CorpusRewrittenAtItsOwnVersion) {
  auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  auto files = CorpusFiles(*dir);
  ASSERT_FALSE(files.empty());
  std::cout << "rules behind the differences from each source:\n";
  for (const fs::path& p : files) {
    SCOPED_TRACE(p.filename().string());
    Bytes src = ReadFile(p);
    TJwwData a;
    ASSERT_TRUE(a.ReadFromBuffer(src, p.string()));
    bool listsChanged = ExpectRoundTrip(a, a.Enthd.jwVer, p.filename().string(), true);

    // The only bytes without a field: the two reserved blocks of the header.
    Bytes w = Write(a, a.Enthd.jwVer);
    size_t r = ReservedOffset(src);
    ASSERT_EQ(ReservedOffset(w), r);
    EXPECT_TRUE(std::equal(src.begin(), src.begin() + r, w.begin()));
    EXPECT_EQ(Bytes(w.begin() + r, w.begin() + r + 56), Bytes(56, 0x20));
    EXPECT_TRUE(std::equal(src.begin() + r + 56, src.begin() + r + 76, w.begin() + r + 56));
    EXPECT_EQ(Bytes(w.begin() + r + 76, w.begin() + r + 80), Bytes(4, 0));
    // Entity list, block definitions and images: byte for byte the source's
    // unless a rule fired there.
    ByteReader hs(src), hw(w);
    TJwwData scratch;
    ASSERT_TRUE(scratch.ReadHeader(hs));
    ASSERT_TRUE(scratch.ReadHeader(hw));
    Bytes srcTail(src.begin() + hs.pos(), src.end()), wTail(w.begin() + hw.pos(), w.end());
    if (!listsChanged) {
      EXPECT_TRUE(srcTail == wTail) << "entity lists differ without a rule";
    }
    if (!std::equal(src.begin() + r, src.begin() + r + 56, w.begin() + r) ||
        !std::equal(src.begin() + r + 76, src.begin() + r + 80, w.begin() + r + 76))
      std::cout << "    reserved header bytes\n";
  }
}

TEST(RoundTrip, CorpusWrittenAtEveryMajorVersion) {
  auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  for (const fs::path& p : CorpusFiles(*dir)) {
    TJwwData a;
    ASSERT_TRUE(a.ReadFromBuffer(ReadFile(p), p.string()));
    for (int32_t v : {230, 300, 351, 420, 600, 700})
      ExpectRoundTrip(a, v, p.filename().string(), false);
  }
}

// ---- built documents: what the corpus lacks ----

TEntJwwAttr Att(uint8_t style, uint16_t color) {
  TEntJwwAttr a;
  a.lGroup = 9;
  a.nPenStyle = style;
  a.nPenColor = color;
  a.nPenWidth = 35;
  a.nLayer = 3;
  a.nGLayer = 4;
  a.sFlg = 1;
  return a;
}

TJwwData RichDocument() {
  TJwwData d;
  std::vector<uint8_t> empty;
  {
    // Start from a read empty drawing so that every table has its length.
    TJwwData blank;
    ByteWriter out;
    EXPECT_TRUE(blank.WriteToBuffer(out, 700));
    EXPECT_TRUE(d.ReadFromBuffer(out.buffer()));
  }
  d.Enthd.jwVer = 700;
  d.Enthd.dTenkuuZuLevel = 2.5;
  d.Enthd.dZoomJumpBairitsu[6] = 4;
  d.Enthd.nZoomJumpGLay[1] = 3;
  d.Enthd.dDm12 = 7;
  d.Enthd.nPrtDpi = 3;
  d.Enthd.nPrtDispOnlyNonDraw = 1;
  d.Enthd.nMaxDrawWid = -450;
  d.EntColS[40].aPenColor = 0x00FF00;
  d.EntColS[40].astrUDColorName = u"green";
  d.EntLay[17].aStrLayName = u"walls^m";
  auto add = [&](int32_t kind, int32_t index) {
    d.EntNo.push_back({kind, index});
    d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
  };
  TEntJwwLine l;
  l.att = Att(35, 103);  // SXF style and colour
  l.end_x = 10;
  d.EntLine.push_back(l);
  add(kLine, d.EntLineN++);
  TEntJwwTen coded;
  coded.att = Att(100, 2);
  coded.nCode = 4;
  coded.radKaitenKaku = 0.5;
  coded.dBairitsu = 2;
  d.EntTen.push_back(coded);
  add(kTen, d.EntTenN++);
  TEntJwwSolid s;
  s.att = Att(1, 10);
  s.Color = 0xABCDEF;
  d.EntSolid.push_back(s);
  add(kSolid, d.EntSolidN++);
  TEntJwwSunpo dim;
  dim.att = Att(1, 5);
  dim.Sen.att = Att(1, 5);
  dim.Sen.end_x = 100;
  dim.Moji.att = Att(1, 5);
  dim.Moji.dSizeX = dim.Moji.dSizeY = 2.5;
  dim.Moji.str = u"100";
  dim.bSxfMode = 1;
  dim.Ho1.att = Att(2, 5);
  dim.Ho1.start_y = -5;
  dim.Ho2.att = Att(2, 5);
  dim.Ho2.start_x = 100;
  dim.Te1.att = Att(100, 5);
  dim.Te1.nCode = 7;
  dim.Te2.att = Att(1, 5);
  dim.Kt1.att = Att(1, 5);
  dim.Kt1.start_x = 50;
  dim.Kt2.att = Att(1, 5);
  d.EntSunpo.push_back(dim);
  add(kSunpo, d.EntSunpoN++);
  TEntJwwMoji m;
  m.att = Att(1, 2);
  m.dSizeX = -3;
  m.dSizeY = 0;
  m.str = u"\u56f3\u9762 A-1";
  m.strFontName = u"\uff2d\uff33 \u660e\u671d";
  d.EntMoji.push_back(m);
  add(kMoji, d.EntMojiN++);
  return d;
}

TEST(RoundTrip, BuiltDocumentAtEveryVersion) {
  for (int32_t opt : {0, 32}) {
    TJwwData a = RichDocument();
    a.MojiEncode = opt != 0;
    for (int32_t v : {220, 223, 225, 230, 231, 300, 350, 351, 400, 420, 600, 700})
      ExpectRoundTrip(a, v, "built", false);
  }
}

TEST(RoundTrip, SplitDimensionReadsBackAsDimensionLinesAndPoints) {
  TJwwData a = RichDocument();
  TJwwData b = Read(Write(a, 400));
  EXPECT_EQ(b.EntSunpoN, 1);
  EXPECT_EQ(b.EntSunpo[0].bSxfMode, 0);
  EXPECT_EQ(b.EntLineN, 3);  // the line and the two auxiliary lines
  EXPECT_EQ(b.EntTenN, 5);   // the point and the four dimension points
  EXPECT_EQ(b.EntLine[2].start_x, 100);
  EXPECT_EQ(b.EntTen[1].nCode, 7u);
  EXPECT_EQ(b.EntTen[3].bKariten, 1u);
  EXPECT_EQ(b.EntTen[4].bKariten, 1u);
  EXPECT_EQ(b.Enthd.n1, 11);
  // Read back at 400, the dimension is an old one: no second split.
  EXPECT_EQ(Write(b, 400), Write(a, 400));
}

TEST(RoundTrip, FlaggedDefinitionTimeKeepsTheFileReadable) {
  TJwwData a = RichDocument();
  TEntJwwBlockDef def;
  def.nNumber = 0;
  def.strName = u"door";
  def.dtime = 0x80000001u;
  def.ref_flag = true;
  def.ref_no = 0;
  TEntJwwLine l;
  l.att = Att(1, 1);
  l.end_y = 3;
  def.mLine = {l};
  def.mLineN = 1;
  def.mNo = {{kLine, 0}};
  def.N = 1;
  a.EntBlockDef.push_back(def);
  a.EntBlockDefN = a.Enthd.n2 = 1;
  a.EntBlockNum = 1;
  TJwwData b;
  ASSERT_TRUE(b.ReadFromBuffer(Write(a, 700)));
  ASSERT_EQ(b.EntBlockDefN, 1);
  EXPECT_EQ(b.EntBlockDef[0].strName, u"door");
  EXPECT_EQ(b.EntBlockDef[0].mLineN, 1);
  EXPECT_EQ(b.EntBlockDef[0].mLine[0].end_y, 3);
}

TEST(RoundTrip, EmbeddedImagesComeBackByteForByte) {
  std::random_device rd;
  fs::path root = fs::temp_directory_path() / ("brindle-roundtrip-" + std::to_string(rd()));
  fs::create_directories(root / "a");
  fs::create_directories(root / "b");
  std::string data(10000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  std::ofstream(root / "a" / "pic.png.gz", std::ios::binary) << data;

  TJwwData a = RichDocument();
  a.BindImageFolder = (root / "a").string() + "/";
  a.BindImageExp = a.BindImageExr = true;
  a.BindImage.push_back({u"pic.png.gz", 10000, false});
  a.BindImageN = 1;
  TEntJwwMoji m;
  m.att = Att(1, 1);
  m.dSizeX = m.dSizeY = 1;
  m.str = u"^@BM%temp%pic.png,100,100,0,0,1,0";
  a.EntMoji.push_back(m);
  a.EntNo.push_back({kMoji, a.EntMojiN++});
  a.Enthd.n1 = static_cast<int32_t>(a.EntNo.size());

  Bytes w = Write(a, 700);
  TJwwData b;
  b.BindImageFolder = (root / "b").string() + "/";
  b.BindImageExp = b.BindImageExr = true;
  ASSERT_TRUE(b.ReadFromBuffer(w));
  ASSERT_EQ(b.BindImageN, 1);
  EXPECT_EQ(b.BindImage[0].Fname, u"pic.png.gz");
  EXPECT_EQ(b.BindImage[0].Fsize, 10000);
  std::ifstream in(root / "b" / "pic.png.gz", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), data);
  b.BindImageDeleteGzFile();
  EXPECT_FALSE(fs::exists(root / "b" / "pic.png.gz"));
  fs::remove_all(root);
}

}  // namespace
