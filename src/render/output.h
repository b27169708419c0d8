// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of a drawing as files: PNG through QImage, SVG through
// QSvgGenerator and PDF through QPdfWriter, all painted by the one QPainter
// back end. Needs a QGuiApplication (the fonts); the offscreen platform is
// enough.
#pragma once

#include <QByteArray>
#include <QImage>
#include <functional>
#include <optional>
#include <string>

#include "jww/document.h"
#include "render/frontend.h"

namespace render {

enum class Format { kPng, kSvg, kPdf };

// The format named by the file's extension (".png", ".svg", ".pdf", any
// case), or nullopt.
std::optional<Format> FormatOfPath(const std::string& path);

// How big the picture is: a width in pixels, or a resolution; the other
// follows from the drawing's box. With neither, 150 dpi.
struct PictureSize {
  int widthPx = 0;
  double dpi = 0;
};

// No side of a picture is longer than this many pixels.
inline constexpr int kMaxPictureSidePx = 16384;

// How a picture of a box comes out at a size: the view that covers the box,
// or the pixel size it would have had when that is beyond the limit.
struct PictureLayout {
  Viewport view;
  // At the default resolution the long side was cut to the limit.
  bool capped = false;
  // An explicit width or resolution gives a side beyond the limit; `wouldBe`
  // is the picture's size at it (rounded up), nothing is made.
  bool tooLarge = false;
  double wouldBeWidthPx = 0, wouldBeHeightPx = 0;
};

// The picture of `box` at `size`: exactly `size.widthPx` wide when a width
// is given, else at `size.dpi` (150 by default, cut to the limit).
PictureLayout LayoutPicture(const SheetBox& box, const PictureSize& size);

// What a picture of `doc` covers: its DrawingBox, widened to hold the
// overlay's when there is one.
SheetBox PictureBox(const jww::TJwwData& doc, const RenderOptions& options);

// Told how many of a picture's parts are painted, of how many: a PNG's bands
// as they are done (from the painting threads, one call at a time), or one
// part for SVG and PDF.
using PaintProgress = std::function<void(int done, int total)>;

QImage RenderImage(const jww::TJwwData& doc, const RenderOptions& options, const Viewport& view,
                   const PaintProgress& progress = {});

// The whole drawing (DrawingBox) as the bytes of a file of `format`, laid
// out by LayoutPicture. Empty when the picture could not be made (too large
// a size is one reason: LayoutPicture says so first).
QByteArray RenderBytes(const jww::TJwwData& doc, const RenderOptions& options, Format format,
                       const PictureSize& size, PaintStats* stats = nullptr,
                       const PaintProgress& progress = {});

}  // namespace render
