// SPDX-License-Identifier: GPL-3.0-or-later
// What the SXF explosion (DataTransJWW) will do to a drawing, worked out
// without doing it: per SXF figure, how many placements it replaces, into
// which layer group, and how many copies it appends; in total, how many
// entities the conversion adds. The counts follow the explosion step by step
// (nested figures re-placed at the top level and exploded in turn, figures
// kept because a block that is not exploded still places them, the fifteen
// layer groups), so they agree exactly with its report. Nothing is copied and
// the document is not changed, so a front end can refuse an explosion that
// would be too large before it starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jww/document.h"

namespace jww {

// A block definition name carrying "@@SFIGORGFLAG@@1" or "@@SFIGORGFLAG@@2",
// the ASCII letters in any case, whatever the locale.
bool IsSxfFigureName(std::u16string_view name);

inline constexpr int kSxfFigureGroups = 15;  // layer groups 1 … 15 take the figures

struct SxfFigurePlan {
  std::u16string name;
  uint32_t number = 0;      // nNumber of the definition
  int32_t definition = -1;  // index into EntBlockDef
  int32_t group = 0;        // layer group of its copies, 1 … 15; 0 past the fifteenth figure
  int32_t members = 0;      // members copied per placement (nested insertions included)
  // Placements the drawing shows now, top level and nested, as the block
  // tree counts them (a definition placed by two nodes counts twice).
  int64_t treePlacements = 0;
  // Top-level placements the conversion replaces, nested ones it re-placed
  // at the top level first included.
  int64_t placements = 0;
  int64_t copies = 0;  // entities appended for this figure
  // The definition stays with its members: a block that is not exploded
  // (a user block, a figure past the fifteenth) still places it.
  bool kept = false;
};

struct SxfPlan {
  // Every SXF figure definition with members, in definition order, those
  // past the fifteenth included (group 0, nothing exploded).
  std::vector<SxfFigurePlan> figures;
  int32_t exploded = 0;     // figures given a layer group
  int32_t figuresLeft = 0;  // figures past the fifteenth, left as blocks
  int64_t placements = 0;
  int64_t copies = 0;
};

// The block tree must be current (the reader builds it); only treePlacements
// reads it.
SxfPlan PlanSxfExplosion(const TJwwData& doc);

}  // namespace jww
