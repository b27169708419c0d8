// SPDX-License-Identifier: GPL-3.0-or-later
// DXF export of a drawing: another consumer of the placed drawing beside the
// renderer. Nothing of the document is changed.
//
//   JWW                              DXF
//   layer group g, layer l, name n   layer "g-l n" (hexadecimal digits as Jw_cad
//                                    names them); hidden: off; protected: locked
//   pen colours, SXF colours         true colour (420) and the nearest ACI (62)
//   line types                       LTYPE "JWW-<number>" from the drawing's dash list;
//                                    widths as lineweights (370)
//   lines, points                    LINE, POINT
//   arcs, circles, ellipses          ARC, CIRCLE, ELLIPSE
//   texts                            TEXT in a style per font ("@font" for vertical
//                                    texts); width factor from width and height;
//                                    texts with spacing are fitted between their ends
//   dimensions                       DIMENSION whose anonymous block holds the
//                                    dimension's own line, extension lines, points and text
//   solids, arc solids               SOLID (corners in its zigzag order), solid HATCH
//                                    bounded by the arc or ellipse itself (ring and
//                                    tangent pieces by chords)
//   image texts                      IMAGE of the picture file written beside the DXF
//                                    (IMAGEDEF in ACAD_IMAGE_DICT), at the text's start,
//                                    of the text's width, height and turn
//   block definitions, placements    BLOCK and INSERT, nested as in the drawing
//   sheet                            the paper-space layout "Layout1" of the sheet's size
//                                    with the sheet's frame and a viewport onto the model
//
// Size: JWW coordinates are millimetres on the sheet in every layer group;
// at full size (the default) each top-level entity is multiplied by the scale
// of the layer group it shows on, so groups of different scales land where
// their full-size geometry is. Block definitions stay in sheet millimetres;
// their INSERTs carry the group's scale. Text heights, dash lengths (through
// the entity's line-type scale) follow the same factor; lineweights are widths
// on paper and do not.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dxf/group_writer.h"
#include "dxf/pictures.h"

namespace jww {
class TJwwData;
}

namespace dxf {

struct ExportOptions {
  Version version = Version::kR2018;
  // Millimetres on the sheet instead of full size.
  bool sheet = false;
  // The pictures of the image texts (PlanPictures), written by the caller
  // into `pictureFolder`, a folder named relative to the DXF ("" beside it).
  // Without them image texts are left out.
  const PicturePlan* pictures = nullptr;
  std::string pictureFolder;
};

struct ExportStats {
  int64_t entities = 0;  // entities written (model space and blocks)
  int64_t blocks = 0;    // BLOCK definitions written (dimension blocks included)
  int64_t images = 0;    // image texts that were not exported (no picture to show)
  int64_t cycles = 0;    // placements left out because they would place a block in itself
  std::vector<std::string> warnings;  // UTF-8, English (the front end translates)
};

// The whole DXF file of `doc`, as bytes.
std::string WriteDxf(const jww::TJwwData& doc, const ExportOptions& options, ExportStats* stats);
// The same into `out` (a file it may seek in), a buffer at a time; false
// when writing failed.
bool WriteDxf(const jww::TJwwData& doc, const ExportOptions& options, std::FILE* out,
              ExportStats* stats);

// The nearest AutoCAD colour index (1 … 255) of an RGB colour (0xRRGGBB).
int NearestAci(uint32_t rgb);

// The standard DXF lineweight (hundredths of a millimetre) nearest to `mm`.
int NearestLineweight(double mm);

}  // namespace dxf
