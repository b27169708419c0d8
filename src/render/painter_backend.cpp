#include "render/painter_backend.h"

#include <QFontMetricsF>
#include <QPen>
#include <QString>
#include <QTransform>
#include <QVector>

namespace render {

namespace {

// Glyphs are shaped at this pixel size and scaled into their boxes.
constexpr int kEmPx = 64;

QColor ColorOf(uint32_t argb) { return QColor::fromRgba(argb); }

}  // namespace

PainterBackend::PainterBackend(QPainter& painter) : p_(painter) {}

void PainterBackend::Begin(int width, int height, uint32_t background) {
  p_.save();
  p_.setRenderHint(QPainter::Antialiasing, true);
  p_.setRenderHint(QPainter::TextAntialiasing, true);
  p_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p_.fillRect(QRectF(0, 0, width, height), ColorOf(background));
}

void PainterBackend::Fill(std::span<const DPoint> points) {
  poly_.resize(static_cast<qsizetype>(points.size()));
  for (size_t i = 0; i < points.size(); ++i) poly_[i] = QPointF(points[i].x, points[i].y);
}

void PainterBackend::Polyline(std::span<const DPoint> points, bool closed, const Stroke& s) {
  if (points.size() < 2) return;
  Fill(points);
  QPen pen(ColorOf(s.argb));
  pen.setWidthF(s.widthPx);
  pen.setJoinStyle(Qt::RoundJoin);
  if (s.dashPx.empty()) {
    pen.setCapStyle(Qt::RoundCap);
  } else {
    // Qt measures dashes in pen widths; flat ends keep the gaps exact.
    pen.setCapStyle(Qt::FlatCap);
    QVector<qreal> pattern;
    pattern.reserve(static_cast<qsizetype>(s.dashPx.size()));
    for (double d : s.dashPx) pattern.push_back(d / s.widthPx);
    pen.setDashPattern(pattern);
    pen.setDashOffset(s.dashOffsetPx / s.widthPx);
  }
  p_.setPen(pen);
  p_.setBrush(Qt::NoBrush);
  if (closed)
    p_.drawPolygon(poly_);
  else
    p_.drawPolyline(poly_);
}

void PainterBackend::FillPolygon(std::span<const DPoint> points, uint32_t argb) {
  if (points.size() < 3) return;
  Fill(points);
  p_.setPen(Qt::NoPen);
  p_.setBrush(ColorOf(argb));
  p_.drawPolygon(poly_, Qt::WindingFill);
}

const PainterBackend::FontFace& PainterBackend::Face(std::string_view family) {
  auto it = faces_.find(family);
  if (it != faces_.end()) return it->second;
  FontFace f;
  f.font = QFont(QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size())));
  f.font.setPixelSize(kEmPx);
  f.font.setHintingPreference(QFont::PreferNoHinting);
  f.font.setStyleStrategy(QFont::PreferOutline);
  const QFontMetricsF metrics(f.font);
  f.descent = metrics.descent();
  f.height = metrics.ascent() + metrics.descent();
  if (!(f.height > 0)) f.height = kEmPx;
  return faces_.emplace(std::string(family), std::move(f)).first->second;
}

void PainterBackend::DrawGlyph(const Glyph& g) {
  const FontFace& face = Face(g.family);
  // Glyph space (x along the baseline, y down) onto the character's box:
  // the font's full height fills the box, its em width the box's width.
  const double e = kEmPx, h = face.height, below = face.descent / h;
  const QTransform t(g.xAxis.x / e, g.xAxis.y / e, -g.yAxis.x / h, -g.yAxis.y / h,
                     g.origin.x + below * g.yAxis.x, g.origin.y + below * g.yAxis.y);
  p_.save();
  p_.setTransform(t, true);
  p_.setFont(face.font);
  p_.setPen(ColorOf(g.argb));
  p_.drawText(QPointF(0, 0),
              QString::fromUtf16(g.text.data(), static_cast<qsizetype>(g.text.size())));
  p_.restore();
}

bool PainterBackend::DrawImage(const ImagePlacement& im) {
  auto it = images_.find(im.path);
  if (it == images_.end())
    it = images_.emplace(im.path, QImage(QString::fromStdString(im.path))).first;
  const QImage& image = it->second;
  if (image.isNull()) return false;
  const double w = image.width(), h = image.height();
  // The picture's top-left corner is the placement's upper-left one.
  const QTransform t(im.xAxis.x / w, im.xAxis.y / w, -im.yAxis.x / h, -im.yAxis.y / h,
                     im.origin.x + im.yAxis.x, im.origin.y + im.yAxis.y);
  p_.save();
  p_.setTransform(t, true);
  p_.drawImage(QPointF(0, 0), image);
  p_.restore();
  return true;
}

void PainterBackend::End() { p_.restore(); }

}  // namespace render
