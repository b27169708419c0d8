// SPDX-License-Identifier: GPL-3.0-or-later
// An SFC drawing made into a JWW document, as Jw_cad's own SXF import leaves
// it: sheet features at 1:1 on the sheet, each sub-drawing (sfig_org flag 1
// or 2) a block definition "…@@SfigorgFlag@@1/2" at full size placed at its
// ratio, flags 3 and 4 ordinary blocks "…@@SfigorgFlag@@3/4". Coordinates
// move from the sheet's lower-left corner to its centre. The conversion then
// explodes the sub-drawings into layer groups 1 to 15 like any SXF drawing.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jww/document.h"
#include "sxf/sfc_parse.h"

namespace sxf {

// A sub-drawing or symbol of the file.
struct SfcFigure {
  std::u16string name;
  int flag = 0;             // 1 mathematical, 2 surveying, 3 and 4 symbols
  int64_t record = 0;       // its sfig_org record
  int members = 0;          // features of the file that belong to it
  int placements = 0;       // sfig_locate records naming it
  double ratio = 1.0;       // ratio x of its first placement on the sheet
  int definition = -1;      // block definition index in the document
};

struct SfcReport {
  SfcFile file;                          // the parsed records
  std::map<std::string, int> features;   // records by feature name
  std::vector<SfcFigure> figures;        // in file order
  std::vector<std::string> warnings;     // UTF-8, English, each once
  SfcError error;                        // why the read failed
  double sheetWidth = 0, sheetHeight = 0;
  int64_t placements = 0;  // placements of figures, nested ones counted through their figure
};

// Reads the SFC bytes into `doc` (DataInit first; format version 700).
// False with report.error set when the file is not SFC or is malformed, or
// when its figures placed inside figures would make more than
// `maxPlacements` placements; `doc` is then not a usable drawing. Never
// throws but std::bad_alloc.
bool ReadSfc(std::span<const uint8_t> bytes, jww::TJwwData& doc, SfcReport& report,
             int64_t maxPlacements = std::numeric_limits<int64_t>::max());

// Builds `doc` from records already in report.file (ReadSfc's second half,
// shared with readers of other SXF forms that make SFC records). `text` is
// the file the records' offsets point into, for line numbers. The texts'
// encoding is report.file.encoding. False with report.error set.
bool BuildSfcDrawing(SfcReport& report, jww::TJwwData& doc, std::string_view text,
                     int64_t maxPlacements = std::numeric_limits<int64_t>::max());

// A feature the reader knows and how many arguments its record holds (-1:
// as many as the record's own counts say), for programs that write records.
struct SfcLayout {
  const char* name;
  int args;
};
std::span<const SfcLayout> SfcLayouts();

// Whether the bytes start like an SFC file (the envelope and an SFC header).
bool LooksLikeSfc(std::span<const uint8_t> bytes);

}  // namespace sxf
