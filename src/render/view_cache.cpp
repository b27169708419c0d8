// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/view_cache.h"

#include <cmath>

namespace render {

bool ViewCache::Holds(const Viewport& view) const {
  if (!valid_ || view.pxPerMm != at_.pxPerMm) return false;
  const double dx = (view.left - at_.left) * at_.pxPerMm;
  const double dy = (at_.top - view.top) * at_.pxPerMm;
  return dx >= 0 && dy >= 0 && dx + view.width <= at_.width && dy + view.height <= at_.height;
}

bool ViewCache::Draw(QPainter& painter, const Viewport& view, const PaintFn& paint) {
  const bool painted = !Holds(view);
  if (painted) {
    at_ = view;
    at_.width = view.width * 2;
    at_.height = view.height * 2;
    at_.left -= view.width / 2.0 / view.pxPerMm;
    at_.top += view.height / 2.0 / view.pxPerMm;
    image_ = QImage(at_.width, at_.height, QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::white);
    QPainter p(&image_);
    paint(p, at_);
    valid_ = true;
  }
  // Whole pixels: a frame is a copy, not a resampling.
  const double dx = std::round((view.left - at_.left) * at_.pxPerMm);
  const double dy = std::round((at_.top - view.top) * at_.pxPerMm);
  painter.drawImage(QPointF(-dx, -dy), image_);
  return painted;
}

}  // namespace render
