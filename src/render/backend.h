// SPDX-License-Identifier: GPL-3.0-or-later
// What a back end paints: a handful of primitives in device coordinates
// (pixels of the picture, x to the right, y downwards). The front end
// (frontend.h) decides what to draw and with which colour, width and dash
// list; a back end only turns primitives into pixels, SVG or PDF.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/geometry.h"

namespace render {

using util::DPoint;

struct Stroke {
  uint32_t argb = 0xFF000000;  // opaque 0xFFRRGGBB
  double widthPx = 1;
  // Alternating drawn and gap lengths in pixels, starting with a drawn one,
  // an even count; empty for a solid line. The pattern runs on across the
  // vertices of a polyline.
  std::vector<double> dashPx;
  // How far into the pattern the line starts, in pixels.
  double dashOffsetPx = 0;
  // The larger side of the box of the whole line before it was cut to the
  // view, in pixels; 0 when the points are the whole line.
  double extentPx = 0;

  // The length of one repeat of the dash list (0 for a solid line).
  double DashPeriodPx() const {
    double period = 0;
    for (double d : dashPx) period += d;
    return period;
  }
};

// One character in its em box: the box's lower-left corner and its two
// sides, the full-width em along the text and the em height across it. A
// half-width character fills the first half of the box.
struct Glyph {
  std::u16string_view text;  // one character (two units for a surrogate pair)
  std::string_view family;   // font family
  uint32_t argb = 0xFF000000;
  DPoint origin;
  DPoint xAxis;
  DPoint yAxis;  // from the bottom of the box to its top
};

// A picture file placed on the parallelogram with corner `origin` (its
// lower-left corner) and sides `xAxis` (its bottom edge) and `yAxis` (its
// left edge, bottom to top).
struct ImagePlacement {
  std::string path;
  DPoint origin;
  DPoint xAxis;
  DPoint yAxis;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // Starts a picture of width × height pixels filled with `background`.
  virtual void Begin(int width, int height, uint32_t background) = 0;
  virtual void Polyline(std::span<const DPoint> points, bool closed, const Stroke& stroke) = 0;
  virtual void FillPolygon(std::span<const DPoint> points, uint32_t argb) = 0;
  virtual void DrawGlyph(const Glyph& glyph) = 0;
  // False when the file cannot be read as a picture (nothing is painted).
  virtual bool DrawImage(const ImagePlacement& image) = 0;
  virtual void End() = 0;
};

}  // namespace render
