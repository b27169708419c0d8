// SPDX-License-Identifier: GPL-3.0-or-later
// Frames of a view that pans: the drawing is painted once into a picture a
// margin larger than the view (half the view on every side), and each frame
// is cut from it while the view pans within it. A new zoom, or a view that
// leaves the picture, paints it anew; so does Invalidate (the drawing or what
// is shown changed).
#pragma once

#include <QImage>
#include <QPainter>
#include <functional>

#include "render/frontend.h"

namespace render {

class ViewCache {
 public:
  // Paints the drawing as `view` sees it onto a painter of its own.
  using PaintFn = std::function<void(QPainter&, const Viewport&)>;
  // Draws `view` onto `painter` at (0, 0); true when the drawing had to be
  // painted for it.
  bool Draw(QPainter& painter, const Viewport& view, const PaintFn& paint);
  void Invalidate() { valid_ = false; }

 private:
  bool Holds(const Viewport& view) const;

  QImage image_;
  Viewport at_;  // what image_ shows
  bool valid_ = false;
};

}  // namespace render
