// SPDX-License-Identifier: GPL-3.0-or-later
// The one back end: Qt's QPainter, which paints the same primitives into a
// QImage (PNG), a QSvgGenerator (SVG), a QPdfWriter (PDF) and the window.
#pragma once

#include <QFont>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QVector>
#include <compare>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "render/backend.h"

namespace render {

class PainterBackend final : public Backend {
 public:
  // `painter` is active on its device and stays so while this back end is
  // used; the back end leaves the painter's state as it found it.
  explicit PainterBackend(QPainter& painter);

  void Begin(int width, int height, uint32_t background) override;
  void Polyline(std::span<const DPoint> points, bool closed, const Stroke& stroke) override;
  void FillPolygon(std::span<const DPoint> points, uint32_t argb) override;
  void DrawGlyph(const Glyph& glyph) override;
  bool DrawImage(const ImagePlacement& image) override;
  void End() override;

 private:
  struct FontFace {
    QFont font;
    double descent = 0;  // below the baseline, pixels at the em size
    double height = 0;   // ascent + descent
  };
  const FontFace& Face(std::string_view family);
  // The outline of one character at the em size, made once per font and
  // character: shaping it anew for every character drawn is most of the
  // cost of a drawing's texts.
  const QPainterPath& Outline(std::string_view family, std::u16string_view text);
  void Fill(std::span<const DPoint> points);
  bool Dot(std::span<const DPoint> points, uint32_t argb);
  void FillOutline(const Glyph& g);
  // A level glyph drawn from the cache: family, character, box in quarter
  // pixels, colour.
  struct MaskKey {
    std::string family;
    std::u16string text;
    int w4 = 0, h4 = 0;
    uint32_t argb = 0;
    auto operator<=>(const MaskKey&) const = default;
  };
  std::optional<MaskKey> LevelKey(const Glyph& g) const;
  // The dash list `runs` read from the far end of a line whose far end is at
  // `endPhase` of the pattern, into `out`; returns the phase at that end.
  static double Backwards(const std::vector<double>& runs, double endPhase, double period,
                          std::vector<double>& out);
  // A dashed polyline without antialiasing, by Qt's hairline dashing, on a
  // raster device the painter does not scale.
  void SharpDashes(std::span<const DPoint> points, bool closed, const Stroke& s);
  // The drawn pieces of a dashed polyline, into dashes_.
  void DashSegments(std::span<const DPoint> points, bool closed, const Stroke& s);

  QPainter& p_;
  bool raster_;  // painting pixels (a QImage, the window), not SVG or PDF
  QPolygonF poly_;
  QVector<QLineF> dashes_;
  std::vector<double> backwards_;
  std::map<std::string, FontFace, std::less<>> faces_;
  // Looks outlines up by views of family and character, without copying them.
  struct OutlineOrder {
    using is_transparent = void;
    using View = std::pair<std::string_view, std::u16string_view>;
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      return View(a.first, a.second) < View(b.first, b.second);
    }
  };
  std::map<std::pair<std::string, std::u16string>, QPainterPath, OutlineOrder> outlines_;
  std::map<std::string, QImage> images_;  // a null image: not readable
  std::map<MaskKey, QImage> masks_;
  QPoint lastDot_{-1, -1};
  uint32_t lastDotArgb_ = 0;
};

}  // namespace render
