// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/queries.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "jww/document.h"
#include "jww/walk.h"

namespace jww {

namespace {

struct PaperRow {
  int32_t code;
  PaperSize size;
  const char* name;
};

constexpr std::array<PaperRow, 12> kPapers{{
    {0, {1189, 841}, "A0 横"},
    {1, {841, 594}, "A1 横"},
    {2, {594, 420}, "A2 横"},
    {3, {420, 297}, "A3 横"},
    {4, {297, 210}, "A4 横"},
    {8, {1682, 1189}, "2A 横"},
    {9, {2378, 1682}, "3A 横"},
    {10, {3364, 2378}, "4A 横"},
    {11, {4756, 3364}, "5A 横"},
    {12, {10000, 7073}, "10m"},
    {13, {50000, 35366}, "50m"},
    {14, {100000, 70732}, "100m"},
}};

const PaperRow& PaperOf(int32_t nZumen) {
  for (const PaperRow& r : kPapers) {
    if (r.code == nZumen) return r;
  }
  return kPapers[0];
}

// Members of a definition up to its count (the array may be shorter in a
// damaged document).
template <typename T>
std::span<const T> Members(const std::vector<T>& a, int32_t n) {
  return std::span<const T>(a.data(), static_cast<size_t>(std::clamp<int64_t>(n, 0, a.size())));
}

// A point's code with a negative code counted as code + 20.
int32_t PointCode(const TEntJwwTen& t) {
  const auto code = static_cast<int32_t>(t.nCode);
  return code < 0 ? code + 20 : code;
}

// The text type's remainder keeps the sign of the stored value.
int32_t TextKind(const TEntJwwMoji& m) { return static_cast<int32_t>(m.nMojiShu) % 100; }

// The counters one entity kind raises: top level or inside a placed block.
struct Slots {
  int32_t *line, *arc, *point, *tempPoint, *text, *dim, *solid;
  std::array<int32_t*, 8> parts;
};

Slots TopSlots(TElementCounts& c) {
  return {&c.n1, &c.n2, &c.n3, &c.n4,
          &c.n5, &c.n6, &c.n7, {&c.ns1, &c.ns2, &c.ns3, &c.ns4, &c.ns5, &c.ns6, &c.ns7, &c.ns8}};
}

Slots BlockSlots(TElementCounts& c) {
  return {&c.n1a, &c.n2a,
          &c.n3a, &c.n4a,
          &c.n5a, &c.n6a,
          &c.n7a, {&c.ns1a, &c.ns2a, &c.ns3a, &c.ns4a, &c.ns5a, &c.ns6a, &c.ns7a, &c.ns8a}};
}

// Dimension parts in their order ns1 … ns8; the last six exist only in SXF mode.
template <typename Match>
void CountParts(const TEntJwwSunpo& d, const Slots& s, const Match& match) {
  if (match.Part(d.Moji)) ++*s.parts[0];
  if (match.Part(d.Sen)) ++*s.parts[1];
  if (d.bSxfMode == 0) return;
  if (match.Part(d.Ho1)) ++*s.parts[2];
  if (match.Part(d.Ho2)) ++*s.parts[3];
  if (match.Part(d.Te1)) ++*s.parts[4];
  if (match.Part(d.Te2)) ++*s.parts[5];
  if (match.Part(d.Kt1)) ++*s.parts[6];
  if (match.Part(d.Kt2)) ++*s.parts[7];
}

// The common walk over the placed drawing: the drawing's own entities, then
// the members of every placement, once per placing tree node. Insertions
// count at the top level only: a nested one is counted through the members
// its own node places.
template <typename Match>
TElementCounts Tally(const TJwwData& doc, const Match& match, bool parts) {
  TElementCounts c;
  const Slots top = TopSlots(c), inBlock = BlockSlots(c);
  WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    const Slots& s = e.TopLevel() ? top : inBlock;
    int32_t* slot = nullptr;
    switch (e.kind) {
      case kLine:
        slot = s.line;
        break;
      case kEnko:
        slot = s.arc;
        break;
      case kTen:
        slot = e.Get<TEntJwwTen>()->bKariten == 1 ? s.tempPoint : s.point;
        break;
      case kMoji:
        slot = s.text;
        break;
      case kSunpo:
        slot = s.dim;
        if (parts) CountParts(*e.Get<TEntJwwSunpo>(), s, match);
        break;
      case kSolid:
        slot = s.solid;
        break;
      case kBlock:
        if (e.TopLevel()) slot = &c.n8;
        break;
      default:
        break;
    }
    if (slot != nullptr && std::visit([&](const auto* r) { return match(e, *r); }, e.record))
      ++*slot;
  });
  return c;
}

// Layer group and layer the entity shows on (inside a placement: the
// placing node's, unless the node keeps the members' own).
struct LayerMatch {
  int32_t lay1, lay2;
  template <typename T>
  bool operator()(const PlacedEntity& e, const T&) const {
    return (lay1 == -1 || lay1 == e.gLayer) && (lay2 == -1 || lay2 == e.layer);
  }
  template <typename T>
  bool Part(const T&) const {
    return false;
  }
};

// Every entity and part by its own colour, also inside placed blocks.
struct ColorMatch {
  int32_t co1;
  template <typename T>
  bool operator()(const PlacedEntity&, const T& r) const {
    return Part(r);
  }
  template <typename T>
  bool Part(const T& r) const {
    return r.att.nPenColor == co1;
  }
};

struct TypeMatch {
  int32_t ty1;
  template <typename T>
  bool operator()(const PlacedEntity&, const T& r) const {
    return Part(r);
  }
  template <typename T>
  bool Part(const T& r) const {
    return r.att.nPenStyle == ty1;
  }
  bool Part(const TEntJwwTen& r) const { return PointCode(r) == ty1; }
  bool Part(const TEntJwwMoji& r) const { return TextKind(r) == ty1; }
};

template <typename Vec, typename Seen>
void OfferFonts(TJwwData& doc, const Vec& texts, int32_t n, const Seen& fontOf) {
  for (const auto& e : Members(texts, n)) {
    const std::u16string& name = fontOf(e);
    if (GetFontNamesIndex(doc, name) != -1) continue;
    if (doc.FontNameN % 100 == 0) doc.FontNames.resize(doc.FontNameN + 100);
    doc.FontNames[doc.FontNameN++] = name;
  }
}

}  // namespace

PaperSize GetPaperSize(int32_t nZumen) { return PaperOf(nZumen).size; }

PaperSize GetPaperSize(const TJwwData& doc) { return GetPaperSize(doc.Enthd.nZumen); }

std::string PaperName(int32_t nZumen) { return PaperOf(nZumen).name; }

void GetFontNames(TJwwData& doc) {
  doc.FontNameN = 0;
  doc.FontNames.assign(100, std::u16string());
  auto textFont = [](const TEntJwwMoji& m) -> const std::u16string& { return m.strFontName; };
  auto dimFont = [](const TEntJwwSunpo& d) -> const std::u16string& { return d.Moji.strFontName; };
  OfferFonts(doc, doc.EntMoji, doc.EntMojiN, textFont);
  OfferFonts(doc, doc.EntSunpo, doc.EntSunpoN, dimFont);
  for (const TEntJwwBlockDef& d : Members(doc.EntBlockDef, doc.EntBlockDefN)) {
    OfferFonts(doc, d.mMoji, d.mMojiN, textFont);
    OfferFonts(doc, d.mSunpo, d.mSunpoN, dimFont);
  }
  doc.FontNames.resize(doc.FontNameN);
}

int32_t GetFontNamesIndex(const TJwwData& doc, std::u16string_view s) {
  for (int i = 0; i < 3 && !s.empty() && s.front() == u'@'; ++i) s.remove_prefix(1);
  const auto names = Members(doc.FontNames, doc.FontNameN);
  auto it = std::find(names.begin(), names.end(), s);
  return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

TElementCounts GetElementNum(const TJwwData& doc, int32_t lay1, int32_t lay2) {
  return Tally(doc, LayerMatch{lay1, lay2}, false);
}

TLayerUse GetLayerUse(const TJwwData& doc) {
  TLayerUse use{};
  WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    if (e.kind == kBlock && !e.TopLevel()) return;
    if (e.gLayer < kLayerGroups && e.layer < 16) ++use[e.gLayer * 16 + e.layer];
  });
  return use;
}

TElementCounts GetElementCNum(const TJwwData& doc, int32_t co1) {
  return Tally(doc, ColorMatch{co1}, true);
}

TElementCounts GetElementTNum(const TJwwData& doc, int32_t ty1) {
  return Tally(doc, TypeMatch{ty1}, true);
}

}  // namespace jww
