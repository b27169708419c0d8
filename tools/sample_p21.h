// SPDX-License-Identifier: GPL-3.0-or-later
// P21 files (SXF's AP202 form) written as text for tests and fuzz seeds: the
// pieces of a small drawing (styles, a line, a text, a sub-drawing placed at
// (200,100) at ratio 0.5, an A3 sheet with one layer) and the whole of it.
#pragma once

#include <string>

namespace tools {

std::string P21Envelope(const std::string& data);
// Colour #1 red, curve font #2, width #4 0.25, curve style #5 in #6,
// direction #23 (1,0), context #43.
std::string P21Styles();
// The line #16 from (10,20) to (30,40).
std::string P21Line();
// The text #30 "It's 図 éé", baseline left at (100,50), 3.5 high.
std::string P21Text();
// The sub-drawing "fig" of `items`, placed by #50.
std::string P21Figure(const std::string& items);
// The sheet #60 of `items`, the layer "L1" of `layer`.
std::string P21Sheet(const std::string& items, const std::string& layer);
std::string MakeSampleP21();

}  // namespace tools
