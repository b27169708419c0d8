#include "jww/walk.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace jww {

namespace {

struct LocalLinear {
  long double r1, r2, r3, r4;
};

// Rotation by θ after scaling by (sx, sy), kept in extended precision so that
// composing with an outer placement rounds once.
LocalLinear LinearOf(const TEntJwwBlock& b) {
  const long double c = std::cos(static_cast<long double>(b.radKaitenKaku));
  const long double s = std::sin(static_cast<long double>(b.radKaitenKaku));
  return {c * b.dBairitsuX, -s * b.dBairitsuY, s * b.dBairitsuX, c * b.dBairitsuY};
}

template <typename T>
bool Valid(const std::vector<T>& a, int32_t count, int32_t index) {
  return index >= 0 && index < count && static_cast<size_t>(index) < a.size();
}

// Insertions that stand in the draw order; the others (an exploded SXF
// figure placement keeps its record) are not shown.
std::vector<bool> ShownInsertions(const TJwwData& doc) {
  std::vector<bool> shown(std::max<int32_t>(doc.EntBlockN, 0), false);
  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    const TEntJwwNo e = doc.EntNo[i];
    if (e.EntType == kBlock && Valid(doc.EntBlock, doc.EntBlockN, e.EntNo)) shown[e.EntNo] = true;
  }
  return shown;
}

// The entity at (kind, index) of one list, or nothing when the entry is empty
// or points past its array.
template <typename Lists>
bool Resolve(const Lists& l, TEntJwwNo e, PlacedEntity& out) {
  auto take = [&](const auto& arr, int32_t count) {
    if (!Valid(arr, count, e.EntNo)) return false;
    out.record = &arr[e.EntNo];
    return true;
  };
  out.kind = e.EntType;
  out.index = e.EntNo;
  switch (e.EntType) {
    case kLine:
      return take(l.line, l.lineN);
    case kEnko:
      return take(l.enko, l.enkoN);
    case kTen:
      return take(l.ten, l.tenN);
    case kMoji:
      return take(l.moji, l.mojiN);
    case kSunpo:
      return take(l.sunpo, l.sunpoN);
    case kSolid:
      return take(l.solid, l.solidN);
    case kBlock:
      return take(l.block, l.blockN);
    default:
      return false;
  }
}

// Read-only views of the drawing's and a definition's lists, by the names
// Resolve uses.
struct DrawingView {
  const TJwwData& d;
  const std::vector<TEntJwwLine>& line = d.EntLine;
  int32_t lineN = d.EntLineN;
  const std::vector<TEntJwwEnko>& enko = d.EntEnko;
  int32_t enkoN = d.EntEnkoN;
  const std::vector<TEntJwwTen>& ten = d.EntTen;
  int32_t tenN = d.EntTenN;
  const std::vector<TEntJwwMoji>& moji = d.EntMoji;
  int32_t mojiN = d.EntMojiN;
  const std::vector<TEntJwwSunpo>& sunpo = d.EntSunpo;
  int32_t sunpoN = d.EntSunpoN;
  const std::vector<TEntJwwSolid>& solid = d.EntSolid;
  int32_t solidN = d.EntSolidN;
  const std::vector<TEntJwwBlock>& block = d.EntBlock;
  int32_t blockN = d.EntBlockN;
};

struct DefinitionView {
  const TEntJwwBlockDef& d;
  const std::vector<TEntJwwLine>& line = d.mLine;
  int32_t lineN = d.mLineN;
  const std::vector<TEntJwwEnko>& enko = d.mEnko;
  int32_t enkoN = d.mEnkoN;
  const std::vector<TEntJwwTen>& ten = d.mTen;
  int32_t tenN = d.mTenN;
  const std::vector<TEntJwwMoji>& moji = d.mMoji;
  int32_t mojiN = d.mMojiN;
  const std::vector<TEntJwwSunpo>& sunpo = d.mSunpo;
  int32_t sunpoN = d.mSunpoN;
  const std::vector<TEntJwwSolid>& solid = d.mSolid;
  int32_t solidN = d.mSolidN;
  const std::vector<TEntJwwBlock>& block = d.mBlock;
  int32_t blockN = d.mBlockN;
};

void ShowOn(PlacedEntity& e, const TPlacement& p) {
  const TEntJwwAttr& att = e.Attr();
  e.gLayer = p.keepLayer ? att.nGLayer : p.gLayer;
  e.layer = p.keepLayer ? att.nLayer : p.layer;
}

}  // namespace

// ---- the placement transform ----

util::Affine InsertionTransform(const TEntJwwBlock& ins) {
  const LocalLinear c = LinearOf(ins);
  return {ins.DPKijunTen_x,          ins.DPKijunTen_y,          static_cast<double>(c.r1),
          static_cast<double>(c.r2), static_cast<double>(c.r3), static_cast<double>(c.r4)};
}

util::Affine PlaceInsertion(const util::Affine& o, const TEntJwwBlock& ins) {
  const LocalLinear c = LinearOf(ins);
  const long double bx = ins.DPKijunTen_x, by = ins.DPKijunTen_y;
  return {static_cast<double>(o.tx + o.m11 * bx + o.m12 * by),
          static_cast<double>(o.ty + o.m21 * bx + o.m22 * by),
          static_cast<double>(o.m11 * c.r1 + o.m12 * c.r3),
          static_cast<double>(o.m11 * c.r2 + o.m12 * c.r4),
          static_cast<double>(o.m21 * c.r1 + o.m22 * c.r3),
          static_cast<double>(o.m21 * c.r2 + o.m22 * c.r4)};
}

util::Affine NodeTransform(const TEntJwwBlockTree& n) { return {n.x, n.y, n.r1, n.r2, n.r3, n.r4}; }

void SetNodeTransform(TEntJwwBlockTree& n, const util::Affine& t) {
  n.x = t.tx;
  n.y = t.ty;
  n.r1 = t.m11;
  n.r2 = t.m12;
  n.r3 = t.m21;
  n.r4 = t.m22;
}

TPlacement NodePlacement(const TEntJwwBlockTree& node) {
  TPlacement p;
  static_cast<util::Affine&>(p) = NodeTransform(node);
  p.keepLayer = (node.att.nPenStyle & kKeepLayerBit) != 0;
  p.gLayer = node.att.nGLayer;
  p.layer = node.att.nLayer;
  return p;
}

// ---- placements ----

WalkSummary ForEachPlacement(const TJwwData& doc, bool withHidden, PlacementVisitor& v) {
  WalkSummary s;
  s.cut = doc.EntBlockTreeCut;
  const int32_t n =
      std::min<int32_t>(doc.EntBlockTreeN, static_cast<int32_t>(doc.EntBlockTree.size()));
  if (n <= 0) return s;
  const std::vector<bool> shownTop = ShownInsertions(doc);
  std::vector<bool> shown(n, false);
  std::vector<int32_t> chain;
  for (int32_t k = 0; k < n; ++k) {
    const TEntJwwBlockTree& node = doc.EntBlockTree[k];
    // Parents come first in a well-formed tree; a parent link that does not
    // point back makes the node an orphan rather than a loop.
    const bool root = node.parent < 0;
    if (root) {
      shown[k] = k < static_cast<int32_t>(shownTop.size()) && shownTop[k];
    } else {
      shown[k] = node.parent < k && shown[node.parent];
    }
    if (!shown[k] && !withHidden) continue;
    if (!Valid(doc.EntBlockDef, doc.EntBlockDefN, node.defno)) continue;
    chain.clear();
    for (int32_t j = k; j >= 0; j = doc.EntBlockTree[j].parent) {
      chain.push_back(j);
      if (doc.EntBlockTree[j].parent >= j) break;
    }
    std::reverse(chain.begin(), chain.end());
    PlacementVisit p;
    p.node = k;
    p.tree = &node;
    p.definition = &doc.EntBlockDef[node.defno];
    p.placement = NodePlacement(node);
    p.shown = shown[k];
    p.chain = chain;
    ++s.placements;
    v.Visit(p);
  }
  return s;
}

// ---- entities ----

const TEntJwwAttr& PlacedEntity::Attr() const {
  return *std::visit([](const auto* r) { return &r->att; }, record);
}

WalkSummary WalkPlacedDrawing(const TJwwData& doc, EntityVisitor& v) {
  TPlacement top;
  top.keepLayer = true;  // the drawing's own entities show on their own layers
  int64_t entities = 0;

  const DrawingView drawing{doc};
  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    PlacedEntity e;
    if (!Resolve(drawing, doc.EntNo[i], e)) continue;
    e.placement = &top;
    ShowOn(e, top);
    ++entities;
    v.Visit(e);
  }

  WalkSummary s = ForEachPlacement(doc, false, [&](const PlacementVisit& p) {
    const TEntJwwBlockDef& def = *p.definition;
    const DefinitionView members{def};
    const int32_t count = std::min<int32_t>(def.N, static_cast<int32_t>(def.mNo.size()));
    for (int32_t k = 0; k < count; ++k) {
      PlacedEntity e;
      if (!Resolve(members, def.mNo[k], e)) continue;
      e.placement = &p.placement;
      e.definition = &def;
      e.chain = p.chain;
      ShowOn(e, p.placement);
      ++entities;
      v.Visit(e);
    }
  });
  s.entities = entities;
  return s;
}

}  // namespace jww
