// SPDX-License-Identifier: GPL-3.0-or-later
// Explosion of SXF figures: block definitions whose names carry
// "@@SFIGORGFLAG@@1" or "@@SFIGORGFLAG@@2". Every placement of such a figure
// in the drawing is replaced by transformed copies of its members, gathered in
// a layer group of their own (1 to 15, in definition order).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/document.h"

namespace jww {

struct ExplodeReport {
  int figures = 0;                    // SXF figure definitions exploded
  int placements = 0;                 // placements replaced by copies
  int copies = 0;                     // entities appended (re-placed nested insertions included)
  int figuresLeft = 0;                // SXF figure definitions beyond the 15 layer groups
  bool outOfMemory = false;           // an array could not grow: placements were kept
  std::vector<std::string> warnings;  // UTF-8
};

// Layer reset, explosion of the SXF figures, then a fresh block tree.
ExplodeReport DataTransJWW(TJwwData& doc);
// Every layer group and layer editable and unprotected (group 0 and the first
// layer of each group current); blank layer names of groups 1–15 take the
// names of group 0.
void DataTransJWW1(TJwwData& doc);
// Explodes the first 15 SXF figure definitions that have members.
void DataTransJWW2(TJwwData& doc, ExplodeReport& report);
// Replaces every top-level placement of the first definition with members
// named `name` by copies in layer group gLayerNo. False when no such
// definition exists.
bool Block1Explode(TJwwData& doc, int32_t gLayerNo, const std::u16string& name, ExplodeReport& r);
// Appends the nested insertion `ins`, carried by `t`, as a top-level insertion.
bool BlockExplodeBlock(TJwwData& doc, const TEntJwwBlock& ins, const TPlacement& t,
                       ExplodeReport& r);

}  // namespace jww
