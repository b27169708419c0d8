#include "jww/queries.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "jww/document.h"

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

// Counts every entity of one list that `match` accepts.
template <typename T, typename Match>
void CountList(std::span<const T> list, int32_t* slot, const Match& match) {
  for (const T& e : list) {
    if (match(e)) ++*slot;
  }
}

template <typename Match>
void CountPoints(std::span<const TEntJwwTen> list, const Slots& s, const Match& match) {
  for (const TEntJwwTen& e : list) {
    if (match(e)) ++*(e.bKariten == 1 ? s.tempPoint : s.point);
  }
}

// Dimension parts in their order ns1 … ns8; the last six exist only in SXF mode.
template <typename Match>
void CountParts(std::span<const TEntJwwSunpo> list, const Slots& s, const Match& match) {
  for (const TEntJwwSunpo& d : list) {
    if (match(d.Moji)) ++*s.parts[0];
    if (match(d.Sen)) ++*s.parts[1];
    if (d.bSxfMode == 0) continue;
    if (match(d.Ho1)) ++*s.parts[2];
    if (match(d.Ho2)) ++*s.parts[3];
    if (match(d.Te1)) ++*s.parts[4];
    if (match(d.Te2)) ++*s.parts[5];
    if (match(d.Kt1)) ++*s.parts[6];
    if (match(d.Kt2)) ++*s.parts[7];
  }
}

struct Lists {
  std::span<const TEntJwwLine> line;
  std::span<const TEntJwwEnko> arc;
  std::span<const TEntJwwTen> point;
  std::span<const TEntJwwMoji> text;
  std::span<const TEntJwwSunpo> dim;
  std::span<const TEntJwwSolid> solid;
};

template <typename Match>
void CountLists(const Lists& l, const Slots& s, const Match& match, bool parts) {
  CountList(l.line, s.line, match);
  CountList(l.arc, s.arc, match);
  CountPoints(l.point, s, match);
  CountList(l.text, s.text, match);
  CountList(l.dim, s.dim, match);
  CountList(l.solid, s.solid, match);
  if (parts) CountParts(l.dim, s, match);
}

// The common walk: the drawing's own lists, then the members of the
// definition of every tree node, once per node. `forNode` makes the matcher
// for the members under one node.
Lists OwnLists(const TJwwData& doc) {
  return {Members(doc.EntLine, doc.EntLineN),   Members(doc.EntEnko, doc.EntEnkoN),
          Members(doc.EntTen, doc.EntTenN),     Members(doc.EntMoji, doc.EntMojiN),
          Members(doc.EntSunpo, doc.EntSunpoN), Members(doc.EntSolid, doc.EntSolidN)};
}

Lists MemberLists(const TEntJwwBlockDef& d) {
  return {Members(d.mLine, d.mLineN), Members(d.mEnko, d.mEnkoN),   Members(d.mTen, d.mTenN),
          Members(d.mMoji, d.mMojiN), Members(d.mSunpo, d.mSunpoN), Members(d.mSolid, d.mSolidN)};
}

// The definition a tree node places, or null.
const TEntJwwBlockDef* PlacedDefinition(const TJwwData& doc, const TEntJwwBlockTree& node) {
  if (node.defno < 0 || node.defno >= doc.EntBlockDefN ||
      static_cast<size_t>(node.defno) >= doc.EntBlockDef.size()) {
    return nullptr;
  }
  return &doc.EntBlockDef[node.defno];
}

template <typename Match, typename ForNode>
TElementCounts Tally(const TJwwData& doc, const Match& top, const ForNode& forNode, bool parts) {
  TElementCounts c;
  CountLists(OwnLists(doc), TopSlots(c), top, parts);
  CountList(Members(doc.EntBlock, doc.EntBlockN), &c.n8, top);

  const Slots inBlock = BlockSlots(c);
  for (const TEntJwwBlockTree& node : Members(doc.EntBlockTree, doc.EntBlockTreeN)) {
    if (const TEntJwwBlockDef* d = PlacedDefinition(doc, node))
      CountLists(MemberLists(*d), inBlock, forNode(node), parts);
  }
  return c;
}

// Layer group and layer; `node` is the placing tree node, or null at the top.
struct LayerMatch {
  int32_t lay1, lay2;
  const TEntJwwAttr* node = nullptr;

  bool Test(const TEntJwwAttr& own) const {
    const TEntJwwAttr& a = node != nullptr && (node->nPenStyle & 0x40) == 0 ? *node : own;
    return (lay1 == -1 || lay1 == a.nGLayer) && (lay2 == -1 || lay2 == a.nLayer);
  }
  template <typename T>
  bool operator()(const T& e) const {
    return Test(e.att);
  }
};

struct ColorMatch {
  int32_t co1;
  template <typename T>
  bool operator()(const T& e) const {
    return e.att.nPenColor == co1;
  }
};

struct TypeMatch {
  int32_t ty1;
  template <typename T>
  bool operator()(const T& e) const {
    return e.att.nPenStyle == ty1;
  }
  bool operator()(const TEntJwwTen& e) const { return PointCode(e) == ty1; }
  bool operator()(const TEntJwwMoji& e) const { return TextKind(e) == ty1; }
};

// The attribute each entity of `l` is placed with: its own, or that of the
// placing node unless the node keeps the members' layers.
template <typename F>
void ForEachAttr(const Lists& l, const TEntJwwAttr* node, const F& f) {
  auto visit = [&](const auto& list) {
    for (const auto& e : list) f(node != nullptr && (node->nPenStyle & 0x40) == 0 ? *node : e.att);
  };
  visit(l.line);
  visit(l.arc);
  visit(l.point);
  visit(l.text);
  visit(l.dim);
  visit(l.solid);
}

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
  const LayerMatch top{lay1, lay2};
  auto forNode = [&](const TEntJwwBlockTree& node) { return LayerMatch{lay1, lay2, &node.att}; };
  return Tally(doc, top, forNode, false);
}

TLayerUse GetLayerUse(const TJwwData& doc) {
  TLayerUse use{};
  auto count = [&](const TEntJwwAttr& a) {
    if (a.nGLayer < kLayerGroups && a.nLayer < 16) ++use[a.nGLayer * 16 + a.nLayer];
  };
  ForEachAttr(OwnLists(doc), nullptr, count);
  for (const TEntJwwBlock& b : Members(doc.EntBlock, doc.EntBlockN)) count(b.att);
  for (const TEntJwwBlockTree& node : Members(doc.EntBlockTree, doc.EntBlockTreeN)) {
    if (const TEntJwwBlockDef* d = PlacedDefinition(doc, node))
      ForEachAttr(MemberLists(*d), &node.att, count);
  }
  return use;
}

TElementCounts GetElementCNum(const TJwwData& doc, int32_t co1) {
  const ColorMatch m{co1};
  return Tally(
      doc, m, [&](const TEntJwwBlockTree&) { return m; }, true);
}

TElementCounts GetElementTNum(const TJwwData& doc, int32_t ty1) {
  const TypeMatch m{ty1};
  return Tally(
      doc, m, [&](const TEntJwwBlockTree&) { return m; }, true);
}

}  // namespace jww
