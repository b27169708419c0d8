// SPDX-License-Identifier: GPL-3.0-or-later
// A read-only walk of the placed drawing: every entity the drawing shows, the
// drawing's own list in draw order and then the members of every block
// placement, nested to any depth, each with the composed transform that puts
// it on the sheet and the layer it shows on. Nothing is changed and nothing
// is allocated per entity.
//
// The walk follows the block tree (TJwwData::EntBlockTree), so it sees the
// drawing exactly as MakeBlockTree flattened it: a definition placed by three
// nodes is visited three times, a node that closes a cycle is visited as an
// insertion but not expanded, and a tree cut at its node limit is walked as
// far as it reaches (the summary says so). The tree must be current: the
// reader and the builders rebuild it, and so does the SXF explosion.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>

#include "jww/document.h"
#include "util/geometry.h"

namespace jww {

// ---- the placement transform ----
//
// Every placement computes with util::Affine; TPlacement is an Affine with
// the layer rule beside it, and the tree node's x, y, r1 … r4 are its fields
// under the document's names.

// The transform of insertion `ins` placed under `outer`: outer ∘ (rotation by
// radKaitenKaku after scaling by dBairitsuX, dBairitsuY), scales as stored.
// The trigonometry and the products are carried out in extended precision.
// Top-level insertions that stand in the draw order, by index into EntBlock;
// the others (an exploded SXF figure placement keeps its record) are not shown.
std::vector<bool> ShownInsertions(const TJwwData& doc);

util::Affine PlaceInsertion(const util::Affine& outer, const TEntJwwBlock& ins);
// The insertion's own transform (PlaceInsertion under the identity).
util::Affine InsertionTransform(const TEntJwwBlock& ins);
util::Affine NodeTransform(const TEntJwwBlockTree& node);
void SetNodeTransform(TEntJwwBlockTree& node, const util::Affine& t);

// The layer rule of a placement: members keep their own layer group and
// layer when bit 0x40 of the placing node's nPenStyle is set; otherwise they
// show on the node's layer group and layer.
inline constexpr uint8_t kKeepLayerBit = 0x40;
TPlacement NodePlacement(const TEntJwwBlockTree& node);

// ---- placements ----

struct PlacementVisit {
  int32_t node = -1;                            // index into EntBlockTree
  const TEntJwwBlockTree* tree = nullptr;       // that node
  const TEntJwwBlockDef* definition = nullptr;  // the placed definition (never null here)
  TPlacement placement;                         // composed transform and layer rule
  // Whether the node's top-level insertion stands in the draw order. An
  // exploded SXF figure placement keeps its record and its nodes, but the
  // drawing no longer shows them.
  bool shown = false;
  // Tree node indices from the top-level node down to this node (inclusive).
  std::span<const int32_t> chain;
};

class PlacementVisitor {
 public:
  virtual ~PlacementVisitor() = default;
  virtual void Visit(const PlacementVisit& p) = 0;
};

struct WalkSummary {
  int64_t entities = 0;    // entities visited (insertions included)
  int64_t placements = 0;  // placements whose members were visited
  bool cut = false;        // the tree stopped at its node limit: placements are missing
};

// Every tree node with a definition, in tree order (breadth-first: a parent
// before its children), hidden ones too when `withHidden` is set.
WalkSummary ForEachPlacement(const TJwwData& doc, bool withHidden, PlacementVisitor& v);

// ---- entities ----

using EntityRecord =
    std::variant<const TEntJwwLine*, const TEntJwwEnko*, const TEntJwwTen*, const TEntJwwMoji*,
                 const TEntJwwSunpo*, const TEntJwwSolid*, const TEntJwwBlock*>;

struct PlacedEntity {
  int32_t kind = kNone;  // kLine … kBlock (1 … 7)
  EntityRecord record;   // the record as stored, untransformed
  int32_t index = -1;    // index in its array (the drawing's or the definition's)
  // Identity and the entity's own layers at the top level.
  const TPlacement* placement = nullptr;
  uint16_t gLayer = 0;  // layer group the entity shows on
  uint16_t layer = 0;   // layer the entity shows on
  // The definition holding the entity; null at the top level.
  const TEntJwwBlockDef* definition = nullptr;
  // Tree node indices from the top-level node down to the placing node;
  // empty at the top level.
  std::span<const int32_t> chain;

  template <typename T>
  const T* Get() const {
    const T* const* p = std::get_if<const T*>(&record);
    return p ? *p : nullptr;
  }
  // The entity's own attribute block.
  const TEntJwwAttr& Attr() const;
  bool TopLevel() const { return chain.empty(); }
};

class EntityVisitor {
 public:
  virtual ~EntityVisitor() = default;
  virtual void Visit(const PlacedEntity& e) = 0;
};

// The drawing's own entities in draw order (entries (0, 0) and dangling
// entries skipped), then, for every shown placement in tree order, the
// members of its definition in their draw order. Insertions are visited too
// (kind 7): their members follow under their own placements.
WalkSummary WalkPlacedDrawing(const TJwwData& doc, EntityVisitor& v);

// The same with a callable taking const PlacedEntity&.
template <typename F>
requires(!std::is_base_of_v<EntityVisitor, std::remove_cvref_t<F>>) WalkSummary
    WalkPlacedDrawing(const TJwwData& doc, F&& f) {
  struct Adapter final : EntityVisitor {
    explicit Adapter(F& fn) : fn_(fn) {}
    void Visit(const PlacedEntity& e) override { fn_(e); }
    F& fn_;
  } adapter(f);
  return WalkPlacedDrawing(doc, static_cast<EntityVisitor&>(adapter));
}

template <typename F>
requires(!std::is_base_of_v<PlacementVisitor, std::remove_cvref_t<F>>) WalkSummary
    ForEachPlacement(const TJwwData& doc, bool withHidden, F&& f) {
  struct Adapter final : PlacementVisitor {
    explicit Adapter(F& fn) : fn_(fn) {}
    void Visit(const PlacementVisit& p) override { fn_(p); }
    F& fn_;
  } adapter(f);
  return ForEachPlacement(doc, withHidden, static_cast<PlacementVisitor&>(adapter));
}

}  // namespace jww
