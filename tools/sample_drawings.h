// SPDX-License-Identifier: GPL-3.0-or-later
// Drawings made from scratch with the entity builders: the demo plan that the
// README converts, and generated drawings for benchmarks and stress tests.
// Every drawing starts from the default tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/document.h"

namespace tools {

// A small ground-floor plan on an A3 sheet at 1:50 (millimetres on the sheet,
// version 700) made the way Jw_cad's SXF import makes one: sub-drawings
// drawn at full size and placed at 1/50 (a door, a window and a column
// figure placed several times with rotations and unequal and mirroring
// scales, a wash-room figure that places the door figure inside itself) and
// a column detail at 1/20; room names, SXF-mode dimensions with several
// kinds of ends, random lines, arcs and ellipses, solids and arc solids, and
// one plain user block (a north arrow) that is not an SXF figure.
jww::TJwwData MakeSamplePlan();

// What became of one drawing written by the tools: an existing file of that
// name is never replaced, it is kept as it is.
enum class SampleWrite { kWritten, kKept, kFailed };

// Writes `doc` as `path` in `version` (SetFileOutOption is the caller's)
// unless a file of that name exists. On failure `error`, when given, says why.
SampleWrite WriteNewDrawing(jww::TJwwData& doc, const std::string& path, int32_t version,
                            std::string* error);

// Writes the plan into `dir` (created when missing) as plan.jww (version 700)
// and as plan-230.jww, plan-420.jww, plan-600.jww, plan-700.jww and
// plan-utf16.jww (version 700 with UTF-16 strings). A file that exists is
// kept as it is and, when `kept` is given, listed there. On failure returns
// false and, when `error` is given, says which file could not be written.
bool WriteSamplePlans(const std::string& dir, std::string* error,
                      std::vector<std::string>* kept = nullptr);

// A drawing that shows one picture four times, written into `dir` as
// pictures.jww with the picture beside it as site.bmp (4 × 3 pixels): carried
// in the drawing at 1:1 in layer group 0, carried and turned 30° in group 1
// at 1:50, linked by its plain name (found beside the drawing) and, carried,
// inside a block placed once. A file that exists is kept as it is.
bool WritePictureDrawing(const std::string& dir, std::string* error);

// About `entities` entities of mixed kinds: about 80 % lines, 10 % texts with
// Japanese strings, the rest arcs, points, solids, dimensions and insertions
// of a few block definitions. The same seed gives the same drawing.
jww::TJwwData MakeBenchDrawing(int entities, uint32_t seed);

// Moves every `every`-th entity of the drawing's own draw order by (dx, dy)
// millimetres, block placements included (the tree is made again), and
// returns how many were moved: a revision of a drawing for comparisons.
int64_t MoveEveryNth(jww::TJwwData& doc, int every, double dx, double dy);

// About `entities` entities that look like real plans (the mix, line lengths,
// texts and placements measured in bench/README.md): A3-sized plan cells of
// about 1000 entities each, tiled in rows and columns over one large sheet.
// Lines: half are short segments of curves (under 0.5 mm), walls and axes run
// up to 170 mm; 7.5 % texts of about 9 characters, three quarters level and
// three quarters of one font and height; arcs, points and a rare insertion of
// a small fixture block. The same seed gives the same drawing.
jww::TJwwData MakePlanBenchDrawing(int entities, uint32_t seed);

// `figures` SXF figure definitions of `membersPerFigure` members each (lines,
// arcs, ellipses, points, texts, solids, arc solids and dimensions), placed
// `placements` times in all with random rotations and unequal, partly
// negative scales.
jww::TJwwData MakeSxfBenchDrawing(int figures, int membersPerFigure, int placements, uint32_t seed);

}  // namespace tools
