// Drawings made from scratch with the entity builders: the demo plan that the
// README converts, and generated drawings for benchmarks and stress tests.
// Every drawing starts from the default tables.
#pragma once

#include <cstdint>
#include <string>

#include "jww/document.h"

namespace tools {

// A small ground-floor plan (paper millimetres, version 700) that uses SXF
// figures the way exchanged drawings do: a door, a window and a column
// figure placed several times with rotations and unequal and mirroring
// scales, a wash-room figure that places the door figure inside itself,
// room names, SXF-mode dimensions, arcs and ellipses, solids and arc solids,
// and one plain user block (a north arrow) that is not an SXF figure.
jww::TJwwData MakeSamplePlan();

// Writes the plan into `dir` (created when missing) as plan.jww (version 700)
// and as plan-230.jww, plan-420.jww, plan-600.jww, plan-700.jww and
// plan-utf16.jww (version 700 with UTF-16 strings). On failure returns false
// and, when `error` is given, says which file could not be written.
bool WriteSamplePlans(const std::string& dir, std::string* error);

// About `entities` entities of mixed kinds: about 80 % lines, 10 % texts with
// Japanese strings, the rest arcs, points, solids, dimensions and insertions
// of a few block definitions. The same seed gives the same drawing.
jww::TJwwData MakeBenchDrawing(int entities, uint32_t seed);

// `figures` SXF figure definitions of `membersPerFigure` members each (lines,
// arcs, ellipses, points, texts, solids, arc solids and dimensions), placed
// `placements` times in all with random rotations and unequal, partly
// negative scales.
jww::TJwwData MakeSxfBenchDrawing(int figures, int membersPerFigure, int placements, uint32_t seed);

}  // namespace tools
