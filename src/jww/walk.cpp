// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/walk.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "jww/entity_lists.h"

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


// The entity at (kind, index) of one list, or nothing when the entry is empty
// or points past its array.
bool Resolve(const EntitySpans& l, TEntJwwNo e, PlacedEntity& out) {
  if (!l.Has(e)) return false;
  out.kind = e.EntType;
  out.index = e.EntNo;
  switch (e.EntType) {
    case kLine:
      out.record = &l.line[e.EntNo];
      break;
    case kEnko:
      out.record = &l.enko[e.EntNo];
      break;
    case kTen:
      out.record = &l.ten[e.EntNo];
      break;
    case kMoji:
      out.record = &l.moji[e.EntNo];
      break;
    case kSunpo:
      out.record = &l.sunpo[e.EntNo];
      break;
    case kSolid:
      out.record = &l.solid[e.EntNo];
      break;
    default:
      out.record = &l.block[e.EntNo];
      break;
  }
  return true;
}

void ShowOn(PlacedEntity& e, const TPlacement& p) {
  const TEntJwwAttr& att = e.Attr();
  e.gLayer = p.keepLayer ? att.nGLayer : p.gLayer;
  e.layer = p.keepLayer ? att.nLayer : p.layer;
}

}  // namespace

std::vector<bool> ShownInsertions(const TJwwData& doc) {
  std::vector<bool> shown(std::max<int32_t>(doc.EntBlockN, 0), false);
  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    const TEntJwwNo e = doc.EntNo[i];
    if (e.EntType == kBlock && Valid(doc.EntBlock, doc.EntBlockN, e.EntNo)) shown[e.EntNo] = true;
  }
  return shown;
}

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

  const EntitySpans drawing = SpansOf(doc);
  for (const TEntJwwNo entry : drawing.order) {
    PlacedEntity e;
    if (!Resolve(drawing, entry, e)) continue;
    e.placement = &top;
    ShowOn(e, top);
    ++entities;
    v.Visit(e);
  }

  WalkSummary s = ForEachPlacement(doc, false, [&](const PlacementVisit& p) {
    const EntitySpans members = SpansOf(*p.definition);
    for (const TEntJwwNo entry : members.order) {
      PlacedEntity e;
      if (!Resolve(members, entry, e)) continue;
      e.placement = &p.placement;
      e.definition = p.definition;
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
