// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing's extents: a fast bounding-box estimate of everything a
// document draws, block contents included (TJwwData::GetMinMaxZahyo), and
// the small geometric helpers it is made of.
//
// The box is an estimate, not a hull: arcs are sampled at 73 points, full
// circles and ellipses give only the ends of their axes, texts their stored
// start and end points. Points beyond ±5e11 (and NaN) are ignored, and the
// box never reaches beyond ±1e8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/geometry.h"

namespace jww {

class TJwwData;

// The running extents of one computation. Nothing is shared between
// computations: a box starts unseeded, and its first accepted point makes
// it a single point.
struct MinMaxBox {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool seeded = false;
};

// Both coordinates equal within 1e-12.
bool SamePoint(double x1, double y1, double x2, double y2);

// Each of these ignores a point whose x or y is NaN or beyond ±5e11, and
// keeps the box within ±1e8 after every point it takes.
//
// MinMaxInit makes the box the single point (x, y).
void MinMaxInit(MinMaxBox& box, double x, double y);
// MinMaxAdd widens the box to hold (x, y); an unseeded box becomes that point.
void MinMaxAdd(MinMaxBox& box, double x, double y);
// MinMaxAddTrans adds (r1·x + r2·y + tx, r3·x + r4·y + ty). The range test is
// made on the untransformed point; a placed point that is NaN is ignored.
void MinMaxAddTrans(MinMaxBox& box, double x, double y, double tx, double ty, double r1, double r2,
                    double r3, double r4);

// The parts of an image text "^@BM<file name>,<v1>,<v2>,…,<v9>".
struct TImageMojiInfo {
  std::u16string fileName;
  double d1 = 0, d2 = 0, d3 = 0, d4 = 0, d5 = 1.0, d6 = 0;  // values 1 to 6
  int32_t n7 = -1, n8 = -1, n9 = -1;                        // values 7 to 9
};

// Parses an image text into `info` (defaults first). Values 1 to 6 are read
// with ValFloat, 7 to 9 with ValInt; a single value stands for both width and
// height (value 2 := value 1); a given value 7 turns a missing value 8 or 9
// into 0. A text without the prefix or without a comma keeps the defaults.
// The result is false when three or more values are present, true otherwise.
bool GetImageMojiInfo(std::u16string_view text, TImageMojiInfo& info);

struct TEnkoTangentCross {
  util::DPoint start;  // the arc's start point
  util::DPoint end;    // the arc's end point
  util::DPoint cross;  // where the tangents at both ends meet (the centre when they are parallel)
};

// For the elliptic arc with centre (cx, cy), radius r, flattening k (minor
// radius r·k), start angle s, swept angle a and tilt t (radians).
TEnkoTangentCross GetEnkoTangentCross(double cx, double cy, double r, double k, double s, double a,
                                      double t);

// Crossing of the infinite line through (x1, y1), (x2, y2) with the one
// through (x3, y3), (x4, y4); nullopt when they are parallel. A line whose x
// values differ by at most 1e-10 counts as vertical, and slopes within 1e-10
// count as parallel.
std::optional<util::DPoint> GetLineCross(double x1, double y1, double x2, double y2, double x3,
                                         double y3, double x4, double y4);

// The extents of `doc` as GetMinMaxZahyo stores them: `seeded` is false when
// nothing in the drawing could be measured, and the four values are then 0.
// A box that is a single point is widened by 10 on every side. The block
// tree must be current (the reader builds it).
MinMaxBox MeasureExtents(const TJwwData& doc);

// The same, and with `groups` the box of each layer group's points: an
// entity counts in the group it shows on (inside a placement the placing
// node's, unless the node keeps the members' own). A group box has no seed
// and no margin; it stays unseeded when nothing of the group is measured.
using GroupExtents = std::array<MinMaxBox, 16>;
MinMaxBox MeasureExtents(const TJwwData& doc, GroupExtents* groups);

}  // namespace jww
