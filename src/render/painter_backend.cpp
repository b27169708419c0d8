// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/painter_backend.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QString>
#include <QTransform>
#include <QVector>
#include <algorithm>
#include <cmath>

#include "util/geometry.h"

namespace render {

namespace {

// Glyphs are shaped at this pixel size and scaled into their boxes.
constexpr int kEmPx = 64;
// Level glyphs up to this size in pixels are drawn from pictures made once;
// under kDotGlyphPx high they are faint boxes.
constexpr double kMaxCachedGlyphPx = 96;
constexpr double kDotGlyphPx = 2;

QColor ColorOf(uint32_t argb) { return QColor::fromRgba(argb); }

constexpr double kSmoothExtentPx = 160;
// A sharp dashed line up to this many pixels wide is drawn as hairlines side
// by side; a wider one as a filled outline per dash, whose ends stay square.
constexpr long kMaxHairlineCopies = 2;

// Antialiasing switched for one stroke and back.
class SmoothStrokes {
 public:
  SmoothStrokes(QPainter& p, bool on) : p_(p), was_(p.testRenderHint(QPainter::Antialiasing)) {
    if (on != was_) p_.setRenderHint(QPainter::Antialiasing, on);
  }
  ~SmoothStrokes() {
    if (p_.testRenderHint(QPainter::Antialiasing) != was_)
      p_.setRenderHint(QPainter::Antialiasing, was_);
  }

 private:
  QPainter& p_;
  bool was_;
};

}  // namespace

PainterBackend::PainterBackend(QPainter& painter)
    : p_(painter),
      raster_(painter.paintEngine() != nullptr &&
              painter.paintEngine()->type() == QPaintEngine::Raster) {}

void PainterBackend::Begin(int width, int height, uint32_t background) {
  p_.save();
  p_.setRenderHint(QPainter::Antialiasing, true);
  p_.setRenderHint(QPainter::TextAntialiasing, true);
  p_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p_.fillRect(QRectF(0, 0, width, height), ColorOf(background));
}

// Level of detail: a hairline that stays within one pixel is that pixel,
// set once for a run of such lines in one place and colour (the segments of
// a curve far zoomed out), without the stroker's set-up per line.
bool PainterBackend::Dot(std::span<const DPoint> points, uint32_t argb) {
  double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
  for (const DPoint& q : points) {
    x0 = std::min(x0, q.x);
    x1 = std::max(x1, q.x);
    y0 = std::min(y0, q.y);
    y1 = std::max(y1, q.y);
  }
  if (x1 - x0 >= 1 || y1 - y0 >= 1) return false;
  const QPoint at(static_cast<int>(std::floor((x0 + x1) / 2)),
                  static_cast<int>(std::floor((y0 + y1) / 2)));
  if (at == lastDot_ && argb == lastDotArgb_) return true;
  lastDot_ = at;
  lastDotArgb_ = argb;
  p_.fillRect(QRect(at, QSize(1, 1)), ColorOf(argb));
  return true;
}

void PainterBackend::Fill(std::span<const DPoint> points) {
  poly_.resize(static_cast<qsizetype>(points.size()));
  for (size_t i = 0; i < points.size(); ++i) poly_[i] = QPointF(points[i].x, points[i].y);
}

void PainterBackend::Polyline(std::span<const DPoint> points, bool closed, const Stroke& s) {
  if (points.size() < 2) return;
  if (raster_ && s.widthPx <= 1.0 && Dot(points, s.argb)) return;
  QPen pen(ColorOf(s.argb));
  // A hairline goes through Qt's cosmetic stroker, many times faster than
  // the general one; at one pixel the two look the same.
  if (s.widthPx <= 1.0) {
    pen.setWidthF(0);
    pen.setCosmetic(true);
  } else {
    pen.setWidthF(s.widthPx);
  }
  pen.setJoinStyle(Qt::RoundJoin);
  p_.setBrush(Qt::NoBrush);
  // Qt's antialiasing rasteriser costs about the area a stroke spans: a line
  // across a 4000-pixel picture takes a hundred times as long as without it.
  // Long strokes are drawn sharp, short ones (arcs, texts' neighbours,
  // details) smooth; at these lengths the eye cannot tell.
  double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
  for (const DPoint& q : points) {
    x0 = std::min(x0, q.x);
    x1 = std::max(x1, q.x);
    y0 = std::min(y0, q.y);
    y1 = std::max(y1, q.y);
  }
  const double extent = s.extentPx > 0 ? s.extentPx : std::max(x1 - x0, y1 - y0);
  const bool smooth = extent < kSmoothExtentPx;
  SmoothStrokes smoothing(p_, smooth);
  if (s.dashPx.empty()) {
    pen.setCapStyle(Qt::RoundCap);
    p_.setPen(pen);
    Fill(points);
    if (closed)
      p_.drawPolygon(poly_);
    else
      p_.drawPolyline(poly_);
    return;
  }
  // Only pixels that are the device's own need it: SVG and PDF keep their
  // dashes as exact segments, and so does a painter that scales (a window
  // at two device pixels per pixel), where the stroker's pixels are not ours.
  if (raster_ && p_.deviceTransform().isIdentity() && !smooth &&
      std::lround(s.widthPx) <= kMaxHairlineCopies) {
    SharpDashes(points, closed, s);
    return;
  }
  // Dashes are cut here and drawn as plain segments: Qt's own dashing builds
  // and fills an outline per dash, which is a hundred times slower. Flat
  // ends keep the gaps exact.
  pen.setCapStyle(Qt::FlatCap);
  p_.setPen(pen);
  DashSegments(points, closed, s);
  p_.drawLines(dashes_);
}

double PainterBackend::Backwards(const std::vector<double>& runs, double endPhase, double period,
                                 std::vector<double>& out) {
  // Read backwards the list starts with its last gap; it is rotated to start
  // with the dash before that gap, and the phase moved by the gap's length.
  out.assign(runs.rbegin(), runs.rend());
  const double lastGap = out.front();
  std::rotate(out.begin(), out.begin() + 1, out.end());
  const double phase = std::fmod(2 * period - endPhase - lastGap, period);
  return phase < 0 ? phase + period : phase;
}

void PainterBackend::SharpDashes(std::span<const DPoint> points, bool closed, const Stroke& s) {
  // Qt's hairline stroker walks a dash list pixel by pixel, at the cost of a
  // solid hairline; a wider line is that many hairlines side by side, one
  // pixel apart across the segment's direction, as a sharp wide line is
  // rasterised. Drawing each dash as a line of its own instead costs a line
  // set-up per dash, and a dashed line across a large picture has hundreds.
  const double period = s.DashPeriodPx();
  if (!(period > 0)) return;
  QPen pen(ColorOf(s.argb));
  pen.setCosmetic(true);
  pen.setWidthF(0);
  pen.setCapStyle(Qt::FlatCap);
  p_.setBrush(Qt::NoBrush);
  QVector<qreal> pattern(static_cast<qsizetype>(s.dashPx.size()));
  const int copies = std::max(1, static_cast<int>(std::lround(s.widthPx)));
  const size_t n = points.size() + (closed ? 1 : 0);
  // Qt cuts a line to its device without moving the pattern, which shifts
  // every dash of a line that runs off the picture (or off a band of it):
  // lines are cut here first, inside the device, and the pattern moved.
  const double right = p_.device()->width(), bottom = p_.device()->height();
  double along = s.dashOffsetPx;
  for (size_t i = 1; i < n; ++i) {
    DPoint a = points[i - 1], b = points[i % points.size()];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    if (!(len > 0)) continue;
    double t0 = 0, t1 = 1;
    if (!util::ClipSegment(a, b, 0, 0, right, bottom, t0, t1)) {
      along += len;
      continue;
    }
    const double start = along + t0 * len;
    along += len;
    if (t0 > 0 || t1 < 1) {
      const DPoint from = a;
      a = util::PointAt(from, b, t0);
      b = util::PointAt(from, b, t1);
    }
    const double dx = b.x - a.x, dy = b.y - a.y, cutLen = std::hypot(dx, dy);
    const bool flat = std::fabs(dx) >= std::fabs(dy);
    // The stroker draws from the left (or upper) end and counts a line given
    // the other way round from its far end, rounded to a pixel: such a line
    // is handed over turned round, with its pattern read backwards, so that
    // the pattern stays anchored where this line begins.
    double phase = std::fmod(start, period);
    const std::vector<double>* runs = &s.dashPx;
    if (flat ? dx < 0 : dy < 0) {
      std::swap(a, b);
      phase = Backwards(s.dashPx, std::fmod(start + cutLen, period), period, backwards_);
      runs = &backwards_;
    }
    // The stroker steps its pattern a pixel per step along the major axis,
    // not along the line: lengths shrink by the ratio, or a diagonal's
    // dashes would come out 1.4 times too long.
    const double k = std::max(std::fabs(dx), std::fabs(dy)) / cutLen;
    if (!std::isfinite(k)) continue;
    for (size_t j = 0; j < runs->size(); ++j) {
      // A dash of no length is a dot. The stroker keeps lengths in 64ths of
      // a pixel, cut off below: a length half a step above the nearest 64th
      // keeps the pattern from creeping a pixel behind along a long line.
      const double px = std::max((*runs)[j] * k, j % 2 == 0 ? 1.0 : 1.0 / 64);
      pattern[static_cast<qsizetype>(j)] = (std::round(px * 64) + 0.5) / 64;
    }
    pen.setDashPattern(pattern);
    // The stroker gives its first pixel, on the row (or column) nearest the
    // line's start, the offset plus half a pixel: the offset is set so that
    // the pixel gets the pattern's phase at that row instead.
    const double first = flat ? a.x : a.y;
    const int row = (static_cast<int>(first * 64) + 32) >> 6;
    pen.setDashOffset(std::fmod(phase * k + (row - first) - 0.5 + 2 * period * k, period * k));
    p_.setPen(pen);
    // Whole pixels apart: a copy half a pixel off would round either way.
    for (int c = 0; c < copies; ++c) {
      const double shift = c - (copies - 1) / 2;
      const double sx = flat ? 0 : shift, sy = flat ? shift : 0;
      p_.drawLine(QLineF(a.x + sx, a.y + sy, b.x + sx, b.y + sy));
    }
  }
}

void PainterBackend::DashSegments(std::span<const DPoint> points, bool closed, const Stroke& s) {
  dashes_.clear();
  const double period = s.DashPeriodPx();
  if (!(period > 0)) return;
  // Where in the pattern the line is: run index and what is left of it.
  size_t run = 0;
  double left = s.dashPx[0];
  double skip = std::fmod(s.dashOffsetPx, period);
  while (skip > 0) {
    if (skip < left) {
      left -= skip;
      break;
    }
    skip -= left;
    run = (run + 1) % s.dashPx.size();
    left = s.dashPx[run];
  }
  const size_t n = points.size() + (closed ? 1 : 0);
  for (size_t i = 1; i < n; ++i) {
    const DPoint a = points[i - 1], b = points[i % points.size()];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    if (!(len > 0)) continue;
    double at = 0;
    while (at < len) {
      const double step = std::min(left, len - at);
      if (run % 2 == 0) {
        const double t0 = at / len, t1 = (at + step) / len;
        dashes_.push_back(QLineF(a.x + t0 * (b.x - a.x), a.y + t0 * (b.y - a.y),
                                 a.x + t1 * (b.x - a.x), a.y + t1 * (b.y - a.y)));
      }
      at += step;
      left -= step;
      if (left <= 1e-9) {
        run = (run + 1) % s.dashPx.size();
        left = s.dashPx[run];
      }
    }
  }
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

const QPainterPath& PainterBackend::Outline(std::string_view family, std::u16string_view text) {
  const std::pair<std::string_view, std::u16string_view> key(family, text);
  auto it = outlines_.find(key);
  if (it != outlines_.end()) return it->second;
  QPainterPath path;
  path.addText(QPointF(0, 0), Face(family).font,
               QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
  return outlines_.emplace(std::pair(std::string(family), std::u16string(text)), std::move(path))
      .first->second;
}

// A level glyph of a few pixels: its box's pixel size, rounded to a quarter
// pixel, names its picture in the cache.
std::optional<PainterBackend::MaskKey> PainterBackend::LevelKey(const Glyph& g) const {
  if (!raster_ || !p_.worldTransform().isIdentity()) return std::nullopt;
  if (g.xAxis.y != 0 || g.yAxis.x != 0 || !(g.xAxis.x > 0) || !(g.yAxis.y < 0)) return std::nullopt;
  const double w = g.xAxis.x, h = -g.yAxis.y;
  if (w > kMaxCachedGlyphPx || h > kMaxCachedGlyphPx) return std::nullopt;
  return MaskKey{std::string(g.family), std::u16string(g.text),
                 static_cast<int>(std::lround(w * 4)), static_cast<int>(std::lround(h * 4)),
                 g.argb};
}

void PainterBackend::DrawGlyph(const Glyph& g) {
  if (raster_ && std::hypot(g.yAxis.x, g.yAxis.y) < kDotGlyphPx) {
    // Level of detail: a character under two pixels high is a faint box
    // over the first half of its cell, level or turned.
    const DPoint half{g.xAxis.x / 2, g.xAxis.y / 2};
    const double xs[] = {g.origin.x, g.origin.x + half.x, g.origin.x + g.yAxis.x,
                         g.origin.x + half.x + g.yAxis.x};
    const double ys[] = {g.origin.y, g.origin.y + half.y, g.origin.y + g.yAxis.y,
                         g.origin.y + half.y + g.yAxis.y};
    const auto [x0, x1] = std::minmax_element(std::begin(xs), std::end(xs));
    const auto [y0, y1] = std::minmax_element(std::begin(ys), std::end(ys));
    const QColor faint = QColor::fromRgba((g.argb & 0x00FFFFFF) | 0x50000000);
    p_.fillRect(QRectF(*x0, *y0, std::max(*x1 - *x0, 0.5), std::max(*y1 - *y0, 0.5)), faint);
    return;
  }
  const std::optional<MaskKey> level = LevelKey(g);
  if (level) {
    // Drawn from a picture of the character made once per pixel size and
    // colour, put on whole pixels: no outline is filled per character.
    auto it = masks_.find(*level);
    if (it == masks_.end()) {
      const double w = level->w4 / 4.0, h = level->h4 / 4.0;
      QImage mask(static_cast<int>(std::ceil(w)) + 2, static_cast<int>(std::ceil(h)) + 2,
                  QImage::Format_ARGB32_Premultiplied);
      mask.fill(Qt::transparent);
      {
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing, true);
        PainterBackend inner(mp);
        Glyph at = g;
        at.origin = {1, 1 + h};
        at.xAxis = {w, 0};
        at.yAxis = {0, -h};
        inner.FillOutline(at);
      }
      it = masks_.emplace(*level, std::move(mask)).first;
    }
    p_.drawImage(QPoint(static_cast<int>(std::lround(g.origin.x)) - 1,
                        static_cast<int>(std::lround(g.origin.y + g.yAxis.y)) - 1),
                 it->second);
    return;
  }
  FillOutline(g);
}

void PainterBackend::FillOutline(const Glyph& g) {
  const FontFace& face = Face(g.family);
  const QPainterPath& outline = Outline(g.family, g.text);
  if (outline.isEmpty()) return;
  // Glyph space (x along the baseline, y down) onto the character's box:
  // the font's full height fills the box, its em width the box's width.
  const double e = kEmPx, h = face.height, below = face.descent / h;
  const QTransform t(g.xAxis.x / e, g.xAxis.y / e, -g.yAxis.x / h, -g.yAxis.y / h,
                     g.origin.x + below * g.yAxis.x, g.origin.y + below * g.yAxis.y);
  const QTransform outer = p_.worldTransform();
  p_.setWorldTransform(t * outer);
  p_.fillPath(outline, ColorOf(g.argb));
  p_.setWorldTransform(outer);
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
