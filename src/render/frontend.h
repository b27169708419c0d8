// SPDX-License-Identifier: GPL-3.0-or-later
// The painting front end: walks a drawing (block placements resolved, nothing
// changed) and hands a back end the primitives of what Jw_cad shows on the
// sheet, with the drawing's own pens, line types and layer states:
//
//   placement --> sheet (millimetres, the origin at the centre of the
//   sheet) --Viewport--> device (pixels)
//
// A drawing's coordinates are millimetres on the sheet in every layer group;
// a group's scale only says what full size is (full size = coordinate ×
// scale), so it plays no part in the picture.
//
// Colours come from FileColorSet (pens 1–9, SXF colours 101–356), line types
// from FileLtypeSet, layer and group states from SetGAttLayer.
// Widths and dash lengths are millimetres on the sheet, as on a print.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "jww/attr_store.h"
#include "jww/document.h"
#include "jww/walk.h"
#include "render/backend.h"

namespace render {

// A rectangle on the sheet, millimetres.
struct SheetBox {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  double width() const { return maxX - minX; }
  double height() const { return maxY - minY; }
};

// Sheet millimetres to device pixels: (left, top) of the sheet lands on
// pixel (0, 0), y grows downwards.
struct Viewport {
  double pxPerMm = 1;
  double left = 0, top = 0;
  int width = 0, height = 0;  // pixels

  DPoint ToDevice(DPoint sheet) const {
    return {(sheet.x - left) * pxPerMm, (top - sheet.y) * pxPerMm};
  }
  DPoint ToSheet(DPoint device) const {
    return {left + device.x / pxPerMm, top - device.y / pxPerMm};
  }
  // The whole of `box` at `pxPerMm`.
  static Viewport Covering(const SheetBox& box, double pxPerMm);
  // Zoom by `factor` keeping the sheet point under device point `at` fixed.
  void ZoomAt(DPoint at, double factor);
  void PanBy(double dxPx, double dyPx);
};

struct RenderOptions {
  bool dark = false;             // Jw_cad's dark background, light pens
  bool allGroups = false;        // draw hidden layer groups and layers too
  bool temporaryPoints = false;  // construction points, which Jw_cad neither shows nor prints
  bool sheetFrame = true;
  // The picture covers what is drawn only, not the whole sheet.
  bool fitToContents = false;
  // Layer groups a viewer shows (bit n for group n), on top of the
  // drawing's own states: a cleared bit hides the group even with allGroups.
  uint16_t shownGroups = 0xFFFF;
  // Folder of a drawing's linked pictures given by a relative name.
  std::string drawingFolder;

  // ---- marking entities (a picture of what changed) ----
  // The one colour (opaque ARGB) an entity is painted in instead of its own,
  // kOwnInk to keep its own colours, kNoInk to leave it out. Called from
  // several painting threads at once.
  using Ink = std::function<uint32_t(const jww::PlacedEntity&)>;
  static constexpr uint32_t kOwnInk = 0, kNoInk = 1;
  Ink ink;
  // A second drawing painted over the first in the same view, with its own
  // ink and layer states (the older revision of a comparison).
  const jww::TJwwData* overlay = nullptr;
  Ink overlayInk;
  // Colour swatches with their names, one a line, `legendPx` pixels high,
  // the top-left corner at `legendAt` on the sheet (millimetres).
  std::vector<std::pair<uint32_t, std::u16string>> legend;
  DPoint legendAt;
  double legendPx = 16;
};

// The sheet of the drawing's paper size (GetPaperSize), centred on the origin.
SheetBox SheetOf(const jww::TJwwData& doc);
// The sheet, widened to hold everything drawn (the extents); with
// fitToContents, what is drawn alone.
SheetBox DrawingBox(const jww::TJwwData& doc, const RenderOptions& options);

// Background colour of the options (opaque ARGB).
uint32_t BackgroundOf(const RenderOptions& options);

struct PaintStats {
  int64_t primitives = 0;  // primitives handed to the back end
  int64_t culled = 0;      // entities outside the view, not drawn
  int64_t hidden = 0;      // entities on hidden layers or groups
};

class Frontend {
 public:
  Frontend(const jww::TJwwData& doc, RenderOptions options);
  // Paints the drawing into `backend` as `view` sees it, Begin to End.
  PaintStats Paint(Backend& backend, const Viewport& view) const;

  const jww::DrawAttrStore& store() const { return store_; }

 private:
  const jww::TJwwData& doc_;
  RenderOptions options_;
  jww::DrawAttrStore store_;       // colours of the screen, layers
  jww::DrawAttrStore printStore_;  // widths and dash lengths of the print
};

}  // namespace render
