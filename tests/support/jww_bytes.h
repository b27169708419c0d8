// SPDX-License-Identifier: GPL-3.0-or-later
// Builds JWW byte streams for tests, object by object: a header written by
// TJwwData::WriteHeader, then lists written with the archive primitives and
// the class numbering of the format. Values are written as given (no
// repairs), so that tests can feed the reader anything a file may hold.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/document.h"

namespace testjww {

class JwwBytes {
 public:
  // A default header (empty tables) of `version`.
  explicit JwwBytes(int32_t version, int32_t fileOutOpt = 0) : ver_(version), opt_(fileOutOpt) {
    jww::TJwwData d;
    d.FileOutOpt = fileOutOpt;
    d.WriteHeader(w_, version);
  }
  // The header of `doc`, written at `version`.
  JwwBytes(jww::TJwwData& doc, int32_t version) : ver_(version), opt_(doc.FileOutOpt) {
    doc.WriteHeader(w_, version);
  }

  int32_t version() const { return ver_; }
  size_t size() const { return w_.buffer().size(); }
  std::vector<uint8_t> bytes() const { return w_.buffer(); }
  jww::ByteWriter& raw() { return w_; }

  void Count(uint32_t n) { jww::WriteCount(w_, static_cast<int32_t>(n)); }
  void Str(std::u16string_view s) { jww::WriteCString(w_, opt_, s); }

  // The tag of one object of class `name`: a new-class record the first
  // time, a reference afterwards. The object takes the next index.
  void Tag(const std::string& name) {
    auto it = classes_.find(name);
    if (it == classes_.end()) {
      jww::WriteNewClass(w_, ver_, name);
      classes_[name] = counter_++;
    } else {
      jww::WriteClassRef(w_, static_cast<int32_t>(it->second));
    }
    ++counter_;
  }
  // The index the next new class or object would take.
  uint32_t counter() const { return counter_; }
  uint32_t ClassIndex(const std::string& name) const { return classes_.at(name); }

  void Attr(const jww::TEntJwwAttr& a) {
    w_.u32(a.lGroup);
    w_.u8(a.nPenStyle);
    w_.u16(a.nPenColor);
    if (ver_ >= 351) w_.u16(a.nPenWidth);
    w_.u16(a.nLayer);
    w_.u16(a.nGLayer);
    w_.u16(a.sFlg);
  }

  void LineBody(const jww::TEntJwwLine& e) {
    Attr(e.att);
    w_.f64(e.start_x);
    w_.f64(e.start_y);
    w_.f64(e.end_x);
    w_.f64(e.end_y);
  }
  void TenBody(const jww::TEntJwwTen& e) {
    Attr(e.att);
    w_.f64(e.start_x);
    w_.f64(e.start_y);
    w_.u32(e.bKariten);
    if (e.att.nPenStyle == 100) {
      w_.u32(e.nCode);
      w_.f64(e.radKaitenKaku);
      w_.f64(e.dBairitsu);
    }
  }
  void MojiBody(const jww::TEntJwwMoji& e) {
    Attr(e.att);
    w_.f64(e.start_x);
    w_.f64(e.start_y);
    w_.f64(e.end_x);
    w_.f64(e.end_y);
    w_.u32(e.nMojiShu);
    w_.f64(e.dSizeX);
    w_.f64(e.dSizeY);
    w_.f64(e.dKankaku);
    w_.f64(e.degKakudo);
    Str(e.strFontName);
    Str(e.str);
  }

  void Line(const jww::TEntJwwLine& e) {
    Tag("CDataSen");
    LineBody(e);
  }
  void Enko(const jww::TEntJwwEnko& e) {
    Tag("CDataEnko");
    Attr(e.att);
    w_.f64(e.start_x);
    w_.f64(e.start_y);
    w_.f64(e.dHankei);
    w_.f64(e.radKaishiKaku);
    w_.f64(e.radEnkoKaku);
    w_.f64(e.radKatamukiKaku);
    w_.f64(e.dHenpeiRitsu);
    w_.u32(e.bZenEnFlg);
  }
  void Ten(const jww::TEntJwwTen& e) {
    Tag("CDataTen");
    TenBody(e);
  }
  void Moji(const jww::TEntJwwMoji& e) {
    Tag("CDataMoji");
    MojiBody(e);
  }
  void Sunpo(const jww::TEntJwwSunpo& e) {
    Tag("CDataSunpou");
    Attr(e.att);
    LineBody(e.Sen);
    MojiBody(e.Moji);
    if (ver_ >= 420) {
      w_.u16(e.bSxfMode);
      LineBody(e.Ho1);
      LineBody(e.Ho2);
      TenBody(e.Te1);
      TenBody(e.Te2);
      TenBody(e.Kt1);
      TenBody(e.Kt2);
    }
  }
  void Solid(const jww::TEntJwwSolid& e) {
    Tag("CDataSolid");
    Attr(e.att);
    for (double d : {e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y, e.DPoint3_x,
                     e.DPoint3_y})
      w_.f64(d);
    if (e.att.nPenColor == 10) w_.u32(e.Color);
  }
  void Block(const jww::TEntJwwBlock& e) {
    Tag("CDataBlock");
    Attr(e.att);
    w_.f64(e.DPKijunTen_x);
    w_.f64(e.DPKijunTen_y);
    w_.f64(e.dBairitsuX);
    w_.f64(e.dBairitsuY);
    w_.f64(e.radKaitenKaku);
    w_.u32(e.nNumber);
  }
  // The definition's own part; its `members` objects follow from the caller.
  void BlockDef(const jww::TEntJwwBlockDef& d, uint32_t members) {
    Tag("CDataList");
    Attr(d.att);
    w_.u32(d.nNumber);
    w_.u32(d.bRefferd);
    w_.u32(d.dtime);
    if (d.dtime >= 0x80000000u) w_.fill(0xEE, 8);
    Str(d.strName);
    Count(members);
  }

  // One image of the image section (the count is written by the caller).
  void Image(std::u16string_view name, const std::vector<uint8_t>& content) {
    Str(name);
    w_.i32(static_cast<int32_t>(content.size()));
    w_.bytes(content.data(), content.size());
  }

 private:
  int32_t ver_;
  int32_t opt_;
  jww::ByteWriter w_;
  uint32_t counter_ = 1;
  std::map<std::string, uint32_t> classes_;
};

inline jww::TEntJwwAttr MakeAttr(uint8_t style, uint16_t color, uint16_t layer = 0,
                                 uint16_t glayer = 0, uint16_t width = 0) {
  jww::TEntJwwAttr a;
  a.lGroup = 7;
  a.nPenStyle = style;
  a.nPenColor = color;
  a.nPenWidth = width;
  a.nLayer = layer;
  a.nGLayer = glayer;
  a.sFlg = 0x20;
  return a;
}

inline jww::TEntJwwLine MakeLine(double x0, double y0, double x1, double y1) {
  jww::TEntJwwLine l;
  l.att = MakeAttr(1, 2, 3, 4, 25);
  l.start_x = x0;
  l.start_y = y0;
  l.end_x = x1;
  l.end_y = y1;
  return l;
}

// Every filled draw-order entry names an existing entity; an entry (0, 0)
// marks a place nothing was read into.
template <typename Counts>
bool DrawOrderValid(const std::vector<jww::TEntJwwNo>& no, const Counts& counts) {
  for (const jww::TEntJwwNo& e : no) {
    if (e.EntType == 0 && e.EntNo == 0) continue;
    if (e.EntType < 1 || e.EntType > 7) return false;
    if (e.EntNo < 0 || e.EntNo >= counts[e.EntType]) return false;
  }
  return true;
}

}  // namespace testjww
