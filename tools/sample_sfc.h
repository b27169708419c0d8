// SPDX-License-Identifier: GPL-3.0-or-later
// SFC files (SXF feature comments) written as text for tests, fuzz seeds and
// benchmarks: a small one with every feature kind the reader converts, and
// large generated ones.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

// The ISO-10303-21 envelope (header and DATA section) around `data`.
std::string SfcEnvelope(const std::string& data);

// One feature comment "/*SXF #n = body SXF*/".
std::string SfcRecord(int64_t n, const std::string& body);

// An A3 landscape sheet with three layers, a user colour, line type and
// width, every drawn feature kind on the sheet, a composite curve filled and
// hatched, a sub-drawing (flag 1) at 1:2 that places a symbol (flag 4), and a
// sub-drawing in surveying coordinates (flag 2) at 1:1 whose line runs from
// (0, 0) 10 along its x (north) axis, placed at (100, 100).
std::string MakeSampleSfc();

// About `features` features (lines, polylines, arcs, texts, dimensions) in
// two sub-drawings at 1:10 and 1:20 and on the sheet. The same seed gives the
// same file.
std::string MakeSfcBench(int features, uint32_t seed);

}  // namespace tools
