// SPDX-License-Identifier: GPL-3.0-or-later
// Comparison of two drawings: which entities were removed, added or changed,
// and what changed in the header, the layer tables, the block definitions
// and the images.
//
// Entities are matched by kind and geometry, not by their place in the file:
// every entity is reduced to a few points in millimetres on the sheet (a
// line's ends, an arc's centre and three points of it, a text's start, a
// solid's corners …), and two entities match when every coordinate agrees
// within the tolerance. The points of the older drawing are put into a
// spatial hash of cells one tolerance wide, so that each entity of the newer
// one looks at the entities of a few cells only. Among geometric matches,
// one on the same layer group and layer with the same attributes is taken
// first, then one on the same layer with other attributes (changed), then
// one on another layer (changed: the layer is among the fields).
//
// Both drawings are read through the walk of the placed drawing. As stored
// (the default), the drawing's own entities are compared, block insertions
// among them, and each block definition's members with the same matching;
// placed, every entity the drawing shows is compared where the placements
// put it (insertions resolved), which is how a converted drawing is
// compared with its source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/document.h"

namespace jww {

struct DiffOptions {
  double toleranceMm = 1e-6;  // per coordinate, millimetres on the sheet
  bool placed = false;        // compare what is placed, blocks resolved
};

enum class EntityChange : uint8_t { kSame, kRemoved, kAdded, kChanged };

// One entity visited by the walk: its record and the tree node that placed
// it (-1 at the top level), which together name one shown copy.
struct EntityRef {
  const void* record = nullptr;
  int32_t node = -1;
  bool operator==(const EntityRef&) const = default;
};

// One attribute that differs, as text (numbers in C locale, strings UTF-8).
struct FieldChange {
  std::string field;  // "colour", "line type", "width", "text", "layer group" …
  std::string before, after;
};

struct EntityDiff {
  EntityChange change = EntityChange::kSame;
  int32_t kind = kNone;
  uint16_t gLayer = 0, layer = 0;   // of the newer entity, else of the older
  EntityRef before, after;          // unset on the side that has none
  double x = 0, y = 0;              // where it is on the sheet (mm)
  std::vector<FieldChange> fields;  // kChanged only
};

// Changes of the header and tables, one per field.
enum class HeaderField : uint8_t {
  kVersion,
  kSheet,
  kMemo,
  kWriteGroup,    // the layer group drawn into
  kGroupName,     // group
  kGroupState,    // group: 0 hidden, 1 shown, 2 editable, 3 writing
  kGroupScale,    // group
  kGroupProtect,  // group
  kLayerName,     // group, layer
  kLayerState,    // group, layer
  kLayerProtect,  // group, layer
  kOther,         // name: the field's name in `brindle dump`
};

struct HeaderDiff {
  HeaderField field = HeaderField::kOther;
  int group = -1, layer = -1;
  std::string name;  // kOther
  std::string before, after;
  // The value is one that the other drawing's format version does not store
  // as it is (it lacks the field, or its writer repairs the value): it
  // changed because the file was written in that version.
  bool notCarried = false;
};

struct BlockDiff {
  std::string name;  // UTF-8
  EntityChange change = EntityChange::kSame;
  int64_t removed = 0, added = 0, changed = 0;  // members, kChanged only
};

struct ImageDiff {
  std::string name;  // UTF-8
  EntityChange change = EntityChange::kSame;
  int32_t sizeBefore = 0, sizeAfter = 0;
};

struct DiffCounts {
  int64_t same = 0, removed = 0, added = 0, changed = 0;
};

struct DrawingDiff {
  DiffCounts counts;
  // Removed, added and changed entities, ordered by layer group, layer, kind
  // and place on the sheet.
  std::vector<EntityDiff> entities;
  std::vector<HeaderDiff> header;
  std::vector<BlockDiff> blocks;
  std::vector<ImageDiff> images;
  int32_t versionBefore = 0, versionAfter = 0;
  // Either walk stopped at the tree's node limit: placed copies are missing.
  bool cut = false;

  bool Same() const {
    return entities.empty() && header.empty() && blocks.empty() && images.empty();
  }
  // Anything beyond the header fields that one version cannot carry.
  bool DrawingDiffers() const;
};

DrawingDiff DiffDrawings(const TJwwData& before, const TJwwData& after,
                         const DiffOptions& options = {});

// ---- parts, for the comparison and its tests ----

// The entity matching alone: `before` and `after` as the walk shows them.
void DiffEntities(const TJwwData& before, const TJwwData& after, const DiffOptions& options,
                  DrawingDiff& out);
// Header, layer tables, block definitions, images (diff_tables.cpp).
void DiffHeader(const TJwwData& before, const TJwwData& after, DrawingDiff& out);
void DiffBlockDefinitions(const TJwwData& before, const TJwwData& after, const DiffOptions& options,
                          DrawingDiff& out);
void DiffImages(const TJwwData& before, const TJwwData& after, DrawingDiff& out);

// Compares two lists of entities of block definitions (members), counting
// what was removed, added and changed.
DiffCounts DiffMembers(const TEntJwwBlockDef& before, const TEntJwwBlockDef& after,
                       const TJwwData& docBefore, const TJwwData& docAfter,
                       const DiffOptions& options);

}  // namespace jww
