// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only questions about a loaded drawing: its sheet, the fonts its texts
// use, and how many entities of each kind match a layer, a colour or a line
// type. They read the document as it is (block tree built) and change
// nothing but the font list that GetFontNames fills. The counts read the
// placed drawing through WalkPlacedDrawing (walk.h): what the draw order
// shows, then every shown placement once per tree node.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace jww {

class TJwwData;

// Sheet width and height in millimetres.
struct PaperSize {
  double px = 0;
  double py = 0;
};

// The size of sheet code `nZumen`: 0..4 are A0..A4 landscape, 8..11 the
// extended sheets, 12..14 the 10 m, 50 m and 100 m sheets. Every other code
// (5, 6, 7, negative, above 14) is drawn on an A0 sheet.
PaperSize GetPaperSize(int32_t nZumen);
PaperSize GetPaperSize(const TJwwData& doc);
// The sheet's name as Jw_cad shows it ("A3 横", "2A 横", "10m"); codes
// without a sheet of their own are named after the A0 sheet they get.
std::string PaperName(int32_t nZumen);

// Fills doc.FontNames / doc.FontNameN with the distinct font names of all
// texts and dimension texts, top level first, then definition by definition.
void GetFontNames(TJwwData& doc);
// Index of `s` in doc.FontNames after up to three leading "@" are removed
// from `s`; -1 when absent. Stored names are compared as they are.
int32_t GetFontNamesIndex(const TJwwData& doc, std::u16string_view s);

// Entity counts. n1 lines, n2 arcs, n3 points, n4 temporary points, n5
// texts, n6 dimensions, n7 solids, n8 block insertions; the `a` fields count
// the same kinds inside block definitions once per tree node that places the
// definition. ns1..ns8 count dimension parts (text, line, extension lines
// Ho1/Ho2, points Te1/Te2/Kt1/Kt2; the last six only for SXF-mode
// dimensions), ns1a..ns8a the same inside placed definitions.
struct TElementCounts {
  int32_t n1 = 0, n2 = 0, n3 = 0, n4 = 0, n5 = 0, n6 = 0, n7 = 0, n8 = 0;
  int32_t n1a = 0, n2a = 0, n3a = 0, n4a = 0, n5a = 0, n6a = 0, n7a = 0;
  int32_t ns1 = 0, ns2 = 0, ns3 = 0, ns4 = 0, ns5 = 0, ns6 = 0, ns7 = 0, ns8 = 0;
  int32_t ns1a = 0, ns2a = 0, ns3a = 0, ns4a = 0, ns5a = 0, ns6a = 0, ns7a = 0, ns8a = 0;
  bool operator==(const TElementCounts&) const = default;
};

// Entities on layer group `lay1` and layer `lay2` (-1 matches any). Inside a
// placed definition the placing node's layer counts, unless the node's line
// type carries bit 0x40: then each member's own layer does. No ns counts.
TElementCounts GetElementNum(const TJwwData& doc, int32_t lay1, int32_t lay2);
// Entities (and dimension parts) of pen colour `co1`.
TElementCounts GetElementCNum(const TJwwData& doc, int32_t co1);
// Entities (and dimension parts) of line type `ty1`; points compare their
// code (a negative code as code + 20), texts their text type mod 100.
TElementCounts GetElementTNum(const TJwwData& doc, int32_t ty1);

// How many entities the drawing shows on each layer, indexed by layer group
// × 16 + layer, with the rules of GetElementNum: block members once per
// placing node, on the node's layer unless it keeps the members' own (0x40).
// Block insertions count on their own layer. Layers beyond 15 are not
// counted.
using TLayerUse = std::array<int32_t, 256>;
TLayerUse GetLayerUse(const TJwwData& doc);

}  // namespace jww
