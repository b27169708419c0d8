// SPDX-License-Identifier: GPL-3.0-or-later
// What a user asks about a drawing before converting it: format, sheet,
// extents, entity counts, layers, fonts, blocks, the SXF figures and what the
// conversion will do with them, embedded images, and (with the audit) what
// was repaired or looks wrong. `brindle info` prints it as aligned text or
// as one JSON object per file.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jww/queries.h"

namespace jww {
class TJwwData;
}

namespace app {

// Axis-aligned box.
struct InfoBox {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

struct LayerGroupInfo {
  int32_t group = 0;
  std::string name;
  double scale = 0;   // the denominator of 1:scale
  int32_t state = 0;  // 0 hidden, 1 shown only, 2 editable, 3 the current group
  bool locked = false;
  int32_t entities = 0;
  // Extents of the group's entities on the sheet; none when nothing of the
  // group is measured. Drawing units are millimetres on the sheet (the
  // explosion gives a figure group the scale 1 / its placements' scale), so
  // the real size is the sheet size times the group's scale.
  std::optional<InfoBox> sheetExtents;
  double fullWidth = 0, fullHeight = 0;  // millimetres at full size
};

struct LayerInfo {
  int32_t group = 0, layer = 0;
  std::string name;
  int32_t state = 0;
  bool locked = false;
  int32_t entities = 0;
};

struct BlockInfo {
  int32_t index = 0;
  uint32_t number = 0;
  std::string name;
  int32_t members = 0;
  int32_t placements = 0;  // tree nodes placing it, nested ones included
  bool sxf = false;
};

struct FigurePlanInfo {
  std::string name;
  int64_t placements = 0;  // top-level placements the conversion replaces
  int32_t group = 0;       // layer group of the copies
  int64_t copies = 0;
  bool kept = false;  // the definition stays: a block that is not exploded still places it
  double scale = 1;   // the layer group's scale after the conversion (1 / ratio of a placement)
};

// What the conversion will do with the SXF figures (jww::PlanSxfExplosion).
struct SxfPlanInfo {
  std::vector<FigurePlanInfo> figures;  // given a layer group, in the conversion's order
  std::vector<std::string> left;        // SXF figures past the fifteenth, kept as blocks
  int64_t placements = 0;
  int64_t copies = 0;
};

struct ImageInfo {
  std::string name;
  int32_t size = 0;
};

// One thing the audit found: the reader's stable code, where it is, and
// what it is.
struct Finding {
  std::string code;
  std::string section;  // jww::SectionName
  int32_t definition = -1;
  int64_t index = -1;
  int64_t offset = -1;
  std::string detail;
  int64_t amount = 0;
  std::string field;  // out-of-range: the field and the value stored there
  double value = 0;
};

struct DrawingInfo {
  std::string file;
  int32_t version = 0;
  bool utf16 = false;
  std::string memo;
  int32_t paperCode = 0;
  jww::PaperSize paper;
  std::string paperName;
  std::optional<InfoBox> extents;
  jww::TElementCounts counts;  // GetElementNum(-1, -1)
  std::vector<LayerGroupInfo> groups;
  std::vector<LayerInfo> layers;
  std::vector<std::string> fonts;
  std::vector<BlockInfo> blocks;
  SxfPlanInfo plan;
  std::vector<ImageInfo> images;
  bool audited = false;
  std::vector<Finding> findings;
  size_t findingsOmitted = 0;  // more findings than the reader keeps
  bool readable = true;        // false: only the findings describe the file
};

// Describes a document that was read completely (block tree built). Fills
// the document's font list; changes nothing else.
DrawingInfo DescribeDrawing(jww::TJwwData& doc, const std::string& file, bool audit);
// For a file that could not be read: what the reader found before it broke.
DrawingInfo DescribeUnreadable(const jww::TJwwData& doc, const std::string& file);
// "block-members 2, object 5, byte 1234"
std::string FindingPlace(const Finding& f);

// Aligned text for a terminal: wide East Asian characters take two columns.
std::string InfoText(const DrawingInfo& info);
nlohmann::ordered_json InfoJson(const DrawingInfo& info);

// Terminal columns of UTF-8 text: wide and full-width characters 2,
// combining marks 0, everything else 1.
int DisplayWidth(std::string_view utf8);

}  // namespace app
