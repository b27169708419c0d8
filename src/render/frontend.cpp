// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/frontend.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <span>

#include "jww/extents.h"
#include "jww/image_name.h"
#include "jww/queries.h"
#include "jww/walk.h"
#include "util/encoding.h"
#include "util/geometry.h"
#include "util/text.h"

namespace render {

namespace {

using jww::DrawAttrStore;
using jww::TEntJwwAttr;
using jww::TJwwData;

constexpr double kPi = std::numbers::pi;
constexpr uint32_t kLightBackground = 0xFFFFFFFF;
constexpr uint32_t kDarkBackground = 0xFF000000;
constexpr uint32_t kLightFrame = 0xFF9A9A9A;
constexpr uint32_t kDarkFrame = 0xFF5A5A5A;
// Pen 9 is the drawing's auxiliary colour, which the drawing does not hand
// over; it is drawn grey as Jw_cad shows it.
constexpr uint32_t kAuxiliaryColor = 0xFF808080;
constexpr std::string_view kGothic = "IPAGothic";
constexpr std::string_view kMincho = "IPAMincho";
constexpr std::u16string_view kImagePrefix = u"^@BM";

// Strokes never get thinner than a pixel, so that a whole sheet stays legible.
constexpr double kMinStrokePx = 1.0;
// A dash pattern shorter than this repeats too finely to see: drawn solid.
constexpr double kMinDashPeriodPx = 2.5;
// Flattening: the chord of an arc strays at most this far from the curve.
constexpr double kArcTolerancePx = 0.2;
// Glyphs whose box is smaller than this are not drawn.
constexpr double kMinGlyphPx = 0.8;
constexpr double kCullMarginPx = 4;

// The end marks of an SXF-mode dimension, by the code of its arrow point
// (a negative code is drawn as its positive one). Sizes are millimetres on
// the sheet times the point's own scale, as on a print.
enum DimensionEnd {
  kOpenArrow = 1,
  kHollowArrow = 2,
  kFilledArrow = 3,
  kHollowDot = 4,
  kFilledDot = 5,
  kTick = 6
};
constexpr double kArrowLengthMm = 3.0;
constexpr double kArrowHalfAngle = 15 * std::numbers::pi / 180;
constexpr double kEndDotRadiusMm = 0.5;
constexpr double kTickLengthMm = 3.0;

// Line types 11–15 are Jw_cad's random lines: drawn as a wave whose crests
// and troughs follow the runs of the line type's pattern.
constexpr int kFirstRandomLine = 11;
// A random line swings its width setting times its pattern's unit (the
// shortest run) to either side of the line, never further than this (a
// damaged table).
constexpr double kMaxWaveMm = 5.0;
// Beyond this many crests a line is drawn straight (a far zoom).
constexpr int kMaxWaveVertices = 200000;

DPoint Dir(double radians) { return {std::cos(radians), std::sin(radians)}; }
DPoint operator+(DPoint a, DPoint b) { return {a.x + b.x, a.y + b.y}; }
DPoint operator-(DPoint a, DPoint b) { return {a.x - b.x, a.y - b.y}; }
DPoint operator*(double k, DPoint a) { return {k * a.x, k * a.y}; }

// A point of an entity's record (millimetres on the sheet, before its
// placement) to device pixels: the placement and the viewport composed into
// one affine map. A layer group's scale plays no part: it only
// says what full size is. Sheet-sized vectors (text and image sizes) go
// through the placement's linear part and the viewport as well.
struct DeviceMap {
  double a, b, c, d, e, f;  // sheet point → device

  DeviceMap(const util::Affine& t, const Viewport& v) {
    const double k = v.pxPerMm;
    a = k * t.m11;
    b = k * t.m12;
    c = -k * t.m21;
    d = -k * t.m22;
    e = k * (t.tx - v.left);
    f = k * (v.top - t.ty);
  }
  DPoint Point(double x, double y) const { return {a * x + b * y + e, c * x + d * y + f}; }
  DPoint Point(DPoint p) const { return Point(p.x, p.y); }
  DPoint Vector(DPoint s) const { return {a * s.x + b * s.y, c * s.x + d * s.y}; }
  // Largest stretch of a length in the record, in pixels (an upper bound).
  double Stretch() const { return std::sqrt(a * a + b * b + c * c + d * d); }
  // The device map turns y over, so a placement that keeps orientation has a
  // negative determinant here.
  bool Mirrors() const { return a * d - b * c > 0; }
};

int LineTypeSlot(int style) {
  if (style >= 2 && style <= 9) return style - 1;     // basic line types
  if (style >= 11 && style <= 19) return style - 2;   // random and double-length lines
  if (style >= 31 && style <= 62) return style - 13;  // SXF line types 1..32
  return 0;
}

// Dash list (+drawn / −gap) as a back end takes it: alternating, starting
// with a drawn length, and where in it the line begins.
void NormalizeDashes(const std::vector<double>& segments, double scale, Stroke& s) {
  std::vector<double> runs = util::DashRuns(segments);  // signed, adjacent signs differ
  if (runs.empty()) return;                             // solid
  double offset = 0;
  // The pattern repeats: a last run of the first run's sign joins it.
  if (runs.size() > 1 && (runs.front() > 0) == (runs.back() > 0)) {
    offset = std::fabs(runs.back());
    runs.front() += runs.back();
    runs.pop_back();
  }
  double total = 0;
  for (double r : runs) total += std::fabs(r);
  if (runs.front() < 0) {
    // Begin with the drawn run that follows: the line starts |gap| before it.
    const double gap = runs.front();
    runs.erase(runs.begin());
    runs.push_back(gap);
    offset = std::fmod(offset + total - std::fabs(gap), total);
  }
  if (total * scale < kMinDashPeriodPx) return;
  s.dashPx.clear();
  for (double r : runs) s.dashPx.push_back(std::fabs(r) * scale);
  s.dashOffsetPx = offset * scale;
}

bool Near(uint32_t c, uint32_t bg) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = static_cast<int>((c >> shift) & 0xFF), b = static_cast<int>((bg >> shift) & 0xFF);
    if (std::abs(a - b) > 0x30) return false;
  }
  return true;
}

std::string_view FamilyOf(const std::u16string& fontName) {
  if (fontName.find(u"明朝") != std::u16string::npos ||
      util::StrLower(fontName).find(u"mincho") != std::u16string::npos)
    return kMincho;
  return kGothic;
}

// One random line's wave: its pattern runs (+crest / −trough, millimetres)
// and how far it swings to either side of the line.
struct Wave {
  std::vector<double> runs;
  double period = 0, amplitudeMm = 0;
};

std::array<Wave, jww::kRandomLines> WavesOf(const TJwwData& doc, const DrawAttrStore& print) {
  std::array<Wave, jww::kRandomLines> waves;
  for (int i = 0; i < jww::kRandomLines; ++i) {
    Wave& w = waves[static_cast<size_t>(i)];
    double unit = INFINITY;
    for (double seg : print.lineType(LineTypeSlot(kFirstRandomLine + i)).segments) {
      if (seg == 0 || !std::isfinite(seg)) continue;
      w.runs.push_back(seg);
      w.period += std::fabs(seg);
      unit = std::min(unit, std::fabs(seg));
    }
    const double width = static_cast<size_t>(i) < doc.EntLtp2.size()
                             ? doc.EntLtp2[static_cast<size_t>(i)].anPrtRandSenWide
                             : 1;
    if (std::isfinite(unit)) w.amplitudeMm = std::clamp(width * unit, 0.0, kMaxWaveMm);
  }
  return waves;
}

class Painter final : public jww::EntityVisitor {
 public:
  Painter(const TJwwData& doc, const RenderOptions& o, const DrawAttrStore& colors,
          const DrawAttrStore& print, Backend& backend, const Viewport& view)
      : doc_(doc),
        o_(o),
        colors_(colors),
        print_(print),
        out_(backend),
        view_(view),
        background_(BackgroundOf(o)),
        foreground_(o.dark ? 0xFFFFFFFF : 0xFF000000),
        waves_(WavesOf(doc, print)) {
    minX_ = -kCullMarginPx;
    minY_ = -kCullMarginPx;
    maxX_ = view.width + kCullMarginPx;
    maxY_ = view.height + kCullMarginPx;
  }

  PaintStats stats;
  const RenderOptions::Ink* inkOf = nullptr;  // options' ink, or the overlay's

  void Visit(const jww::PlacedEntity& e) override {
    ink_ = inkOf != nullptr && *inkOf ? (*inkOf)(e) : RenderOptions::kOwnInk;
    if (ink_ == RenderOptions::kNoInk) return;
    const int slot = std::min<int>(e.gLayer, 15) * 16 + std::min<int>(e.layer, 15);
    const DrawAttrStore::Layer& layer = colors_.layer(slot);
    const bool groupShown = (o_.shownGroups >> std::min<int>(e.gLayer, 15)) & 1;
    if (!groupShown || (!o_.allGroups && layer.state == DrawAttrStore::kLayerHidden)) {
      if (e.kind != jww::kBlock) ++stats.hidden;
      return;
    }
    static const util::Affine kIdentity;
    const DeviceMap m(e.placement != nullptr ? *e.placement : kIdentity, view_);
    if (auto* r = e.Get<jww::TEntJwwLine>()) Line(*r, m);
    if (auto* r = e.Get<jww::TEntJwwEnko>()) Enko(*r, m);
    if (auto* r = e.Get<jww::TEntJwwTen>()) Ten(*r, m);
    if (auto* r = e.Get<jww::TEntJwwMoji>()) DrawText(*r, m);
    if (auto* r = e.Get<jww::TEntJwwSunpo>()) Sunpo(*r, m);
    if (auto* r = e.Get<jww::TEntJwwSolid>()) Solid(*r, m);
  }

 private:
  void Line(const jww::TEntJwwLine& e, const DeviceMap& m) {
    const DPoint a = m.Point(e.start_x, e.start_y), b = m.Point(e.end_x, e.end_y);
    if (const Wave* w = WaveOf(e.att)) {
      const double reach = w->amplitudeMm * view_.pxPerMm;
      const double x0 = std::min(a.x, b.x) - reach, x1 = std::max(a.x, b.x) + reach;
      const double y0 = std::min(a.y, b.y) - reach, y1 = std::max(a.y, b.y) + reach;
      if (!std::isfinite(x0 + x1 + y0 + y1) || Outside(x0, y0, x1, y1)) return;
      seg_ = {a, b};
      DrawWave(seg_, false, *w, e.att);
      return;
    }
    DrawSegment(a, b, StrokeOf(e.att));
  }

  // A random line (or arc): through its crests and troughs, one per run of
  // the pattern, along the path in device pixels from its start to its end;
  // plain where the wave would be too small or too fine to see. Culling is
  // the caller's.
  void DrawWave(std::span<const DPoint> path, bool closed, const Wave& w, const TEntJwwAttr& att) {
    Stroke s = StrokeOf(att);
    s.dashPx.clear();
    const double k = view_.pxPerMm, amp = w.amplitudeMm * k, period = w.period * k;
    const size_t n = path.size() + (closed ? 1 : 0);
    double length = 0;
    for (size_t i = 1; i < n; ++i) {
      const DPoint d = path[i % path.size()] - path[i - 1];
      length += std::hypot(d.x, d.y);
    }
    wave_.assign(path.begin(), path.end());
    if (!(amp >= 0.5) || !(period >= kMinDashPeriodPx) || !std::isfinite(length) ||
        length / period * static_cast<double>(w.runs.size()) > kMaxWaveVertices) {
      Emit(wave_, closed, s);
      return;
    }
    wave_.clear();
    wave_.push_back(path[0]);
    size_t run = 0;
    double next = std::fabs(w.runs[0]) * k / 2;  // distance of the next crest
    double at = 0;                               // distance at the start of segment i
    for (size_t i = 1; i < n; ++i) {
      const DPoint p = path[i - 1], q = path[i % path.size()], d = q - p;
      const double len = std::hypot(d.x, d.y);
      if (!(len > 0)) continue;
      const DPoint along{d.x / len, d.y / len}, across{-along.y, along.x};
      for (; next < at + len; run = (run + 1) % w.runs.size()) {
        const double side = w.runs[run] > 0 ? amp : -amp;
        wave_.push_back(p + (next - at) * along + side * across);
        next += (std::fabs(w.runs[run]) + std::fabs(w.runs[(run + 1) % w.runs.size()])) * k / 2;
      }
      at += len;
    }
    wave_.push_back(path[n - 1 < path.size() ? n - 1 : 0]);
    Emit(wave_, false, s);
  }

  const Wave* WaveOf(const TEntJwwAttr& att) const {
    const int random = att.nPenStyle - kFirstRandomLine;
    return random >= 0 && random < jww::kRandomLines ? &waves_[static_cast<size_t>(random)]
                                                     : nullptr;
  }

  void Enko(const jww::TEntJwwEnko& e, const DeviceMap& m) {
    const bool full = e.bZenEnFlg != 0;
    const double start = full ? 0 : e.radKaishiKaku;
    const double sweep = full ? 2 * kPi : e.radEnkoKaku;
    if (!ArcPoints(m, {e.start_x, e.start_y}, e.dHankei, e.dHankei * e.dHenpeiRitsu,
                   e.radKatamukiKaku, start, sweep, pts_))
      return;
    if (const Wave* w = WaveOf(e.att)) {
      DrawWave(pts_, full, *w, e.att);
      return;
    }
    Emit(pts_, full, StrokeOf(e.att));
  }

  void Ten(const jww::TEntJwwTen& e, const DeviceMap& m) {
    if (e.bKariten != 0 && !o_.temporaryPoints) return;
    DrawDot(m.Point(e.start_x, e.start_y), e.att);
  }

  void Sunpo(const jww::TEntJwwSunpo& e, const DeviceMap& m) {
    auto line = [&](const jww::TEntJwwLine& l) {
      DrawSegment(m.Point(l.start_x, l.start_y), m.Point(l.end_x, l.end_y), StrokeOf(l.att));
    };
    line(e.Sen);
    if (e.bSxfMode != 0) {
      line(e.Ho1);
      line(e.Ho2);
      DimensionEnd(e.Te1, m);
      DimensionEnd(e.Te2, m);
    }
    DrawText(e.Moji, m);
  }

  // One end mark of an SXF-mode dimension, as its arrow point's code says,
  // pointing where the point's rotation (through the placement) points.
  // Its size is the sheet's, whatever the placement's scale, as the
  // conversion leaves it.
  void DimensionEnd(const jww::TEntJwwTen& t, const DeviceMap& m) {
    const int32_t code = t.att.nPenStyle == 100 ? std::abs(static_cast<int32_t>(t.nCode)) : 0;
    if (code == 0) return;
    const double scale = t.dBairitsu > 0 && t.dBairitsu < 100 ? t.dBairitsu : 1;
    const double k = view_.pxPerMm * scale;
    const DPoint tip = m.Point(t.start_x, t.start_y);
    DPoint u = m.Vector(Dir(t.radKaitenKaku));
    const double ul = std::hypot(u.x, u.y);
    if (!(ul > 0) || !std::isfinite(ul + tip.x + tip.y)) return;
    u = (1 / ul) * u;
    const DPoint n{-u.y, u.x};
    const double reach = std::max(kArrowLengthMm, kTickLengthMm) * k;
    if (Outside(tip.x - reach, tip.y - reach, tip.x + reach, tip.y + reach)) return;
    const uint32_t color = ColorOf(t.att);
    Stroke s = StrokeOf(t.att);
    s.dashPx.clear();
    const double back = kArrowLengthMm * k, side = back * std::tan(kArrowHalfAngle);
    const DPoint barb1 = tip - back * u + side * n, barb2 = tip - back * u - side * n;
    switch (code) {
      case kOpenArrow:
        pts_ = {barb1, tip, barb2};
        Emit(pts_, false, s);
        return;
      case kHollowArrow:
        pts_ = {barb1, tip, barb2};
        Emit(pts_, true, s);
        return;
      case kFilledArrow:
        pts_ = {barb1, tip, barb2};
        out_.FillPolygon(pts_, color);
        ++stats.primitives;
        return;
      case kTick: {
        // A short stroke through the end at 45° to the line, turned the
        // same way as seen at both ends (rising to the right on a
        // horizontal line).
        const double h = kTickLengthMm * k / 2, c = std::sqrt(0.5);
        const DPoint slant{u.x * c + u.y * c, -u.x * c + u.y * c};
        pts_ = {tip - h * slant, tip + h * slant};
        Emit(pts_, false, s);
        return;
      }
      default: {
        // Dots, and the codes drawn as dots for now.
        const double r = std::max(0.75, kEndDotRadiusMm * k);
        pts_.clear();
        for (int i = 0; i < 16; ++i) pts_.push_back(tip + r * Dir(i * kPi / 8));
        if (code == kHollowDot) {
          Emit(pts_, true, s);
        } else {
          out_.FillPolygon(pts_, color);
          ++stats.primitives;
        }
        return;
      }
    }
  }

  void Solid(const jww::TEntJwwSolid& e, const DeviceMap& m) {
    const uint32_t color =
        e.att.nPenColor == 10 && ink_ == RenderOptions::kOwnInk
            ? Visible(0xFF000000u | static_cast<uint32_t>(util::ColorRefToArgb(
                                        static_cast<int32_t>(e.Color & 0xFFFFFF))))
            : ColorOf(e.att);
    pts_.clear();
    if (e.att.nPenStyle < 101) {
      pts_ = {m.Point(e.start_x, e.start_y), m.Point(e.end_x, e.end_y),
              m.Point(e.DPoint2_x, e.DPoint2_y), m.Point(e.DPoint3_x, e.DPoint3_y)};
      if (Outside(pts_)) return;
    } else if (!ArcSolidOutline(e, m)) {
      return;
    }
    out_.FillPolygon(pts_, color);
    ++stats.primitives;
  }

  uint32_t Visible(uint32_t argb) const { return Near(argb, background_) ? foreground_ : argb; }

  uint32_t ColorOf(const TEntJwwAttr& a) const {
    if (ink_ != RenderOptions::kOwnInk) return ink_;
    const int n = a.nPenColor;
    if (n == 9) return kAuxiliaryColor;
    if (!DrawAttrStore::IsPenNumber(n)) return foreground_;
    return Visible(colors_.pen(n).argb);
  }

  double WidthMmOf(const TEntJwwAttr& a) const {
    if (a.nPenWidth > 0) return a.nPenWidth / 100.0;
    return DrawAttrStore::IsPenNumber(a.nPenColor) ? print_.pen(a.nPenColor).widthMm : 0;
  }

  Stroke StrokeOf(const TEntJwwAttr& a) const {
    Stroke s;
    s.argb = ColorOf(a);
    s.widthPx = std::max(kMinStrokePx, WidthMmOf(a) * view_.pxPerMm);
    const int slot = LineTypeSlot(a.nPenStyle);
    if (slot > 0) NormalizeDashes(print_.lineType(slot).segments, view_.pxPerMm, s);
    return s;
  }

  bool Outside(double x0, double y0, double x1, double y1) {
    if (x1 < minX_ || x0 > maxX_ || y1 < minY_ || y0 > maxY_) {
      ++stats.culled;
      return true;
    }
    return false;
  }

  bool Outside(const std::vector<DPoint>& pts) {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const DPoint& q : pts) {
      x0 = std::min(x0, q.x);
      y0 = std::min(y0, q.y);
      x1 = std::max(x1, q.x);
      y1 = std::max(y1, q.y);
    }
    return !(x0 <= x1) || Outside(x0, y0, x1, y1);  // NaN counts as outside
  }

  void Emit(const std::vector<DPoint>& pts, bool closed, const Stroke& s) {
    out_.Polyline(pts, closed, s);
    ++stats.primitives;
  }

  void DrawSegment(DPoint a, DPoint b, Stroke s) {
    if (Outside(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)))
      return;
    if (!std::isfinite(a.x + a.y + b.x + b.y)) return;
    // Far ends are cut to the view, which keeps the rasteriser's fixed-point
    // range; the dash pattern starts where the cut line does.
    double t0 = 0, t1 = 1;
    if (!util::ClipSegment(a, b, minX_, minY_, maxX_, maxY_, t0, t1)) {
      ++stats.culled;
      return;
    }
    if (t0 > 0 || t1 < 1) {
      const DPoint d = b - a;
      s.extentPx = std::max(std::fabs(d.x), std::fabs(d.y));
      if (!s.dashPx.empty())
        s.dashOffsetPx = std::fmod(s.dashOffsetPx + t0 * std::hypot(d.x, d.y), s.DashPeriodPx());
      const DPoint from = a;
      a = util::PointAt(from, b, t0);
      b = util::PointAt(from, b, t1);
    }
    seg_[0] = a;
    seg_[1] = b;
    out_.Polyline(seg_, false, s);
    ++stats.primitives;
  }

  void DrawDot(DPoint c, const TEntJwwAttr& a) {
    const double mm =
        DrawAttrStore::IsPenNumber(a.nPenColor) ? print_.pen(a.nPenColor).pointRadius : 0;
    const double r = std::max(0.75, mm * view_.pxPerMm);
    if (Outside(c.x - r, c.y - r, c.x + r, c.y + r)) return;
    pts_.clear();
    for (int i = 0; i < 12; ++i) pts_.push_back(c + r * Dir(i * kPi / 6));
    out_.FillPolygon(pts_, ColorOf(a));
    ++stats.primitives;
  }

  // Points of the elliptic arc (radii r and rb, tilt, from `start` through
  // `sweep`) in device pixels; false when it lies outside the view.
  bool ArcPoints(const DeviceMap& m, DPoint centre, double r, double rb, double tilt, double start,
                 double sweep, std::vector<DPoint>& out, bool append = false) {
    const DPoint c = m.Point(centre);
    const double reach = std::max(std::fabs(r), std::fabs(rb)) * m.Stretch();
    if (!std::isfinite(reach + c.x + c.y + start + sweep + tilt)) return false;
    if (!append && Outside(c.x - reach, c.y - reach, c.x + reach, c.y + reach)) return false;
    const double step =
        reach > kArcTolerancePx ? 2 * std::acos(1 - kArcTolerancePx / reach) : kPi / 2;
    const int n = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / step)), 4, 4096);
    if (!append) out.clear();
    const double ct = std::cos(tilt), st = std::sin(tilt);
    for (int i = 0; i <= n; ++i) {
      const double th = start + sweep * i / n;
      const double u = r * std::cos(th), v = rb * std::sin(th);
      out.push_back(m.Point(centre.x + ct * u - st * v, centre.y + st * u + ct * v));
    }
    return true;
  }

  // The outline of an arc solid: a sector, a segment, a whole ellipse, a
  // ring piece, or the piece between an arc and its two end tangents.
  bool ArcSolidOutline(const jww::TEntJwwSolid& s, const DeviceMap& m) {
    const DPoint c{s.start_x, s.start_y};
    const double r = s.end_x, flat = s.end_y, tilt = s.DPoint2_x;
    const double start = s.DPoint2_y, sweep = s.DPoint3_x, kind = s.DPoint3_y;
    const int style = s.att.nPenStyle;
    const bool whole = (style == 101 || style == 111) && std::fabs(kind - 100) <= 1e-12;
    if (style == 105 || style == 106) {
      // A ring piece: the outer arc out, the inner one (radius `kind`) back.
      if (!ArcPoints(m, c, r, r * flat, tilt, start, sweep, pts_)) return false;
      ArcPoints(m, c, kind, kind * flat, tilt, start + sweep, -sweep, pts_, true);
      return true;
    }
    if (!ArcPoints(m, c, r, r * flat, tilt, whole ? 0 : start, whole ? 2 * kPi : sweep, pts_))
      return false;
    if (whole) return true;
    if (style == 101 && std::fabs(kind) <= 1e-12) {
      pts_.push_back(m.Point(c));  // sector
    } else if (style == 101 && std::fabs(kind + 1) <= 1e-12) {
      pts_.push_back(
          m.Point(jww::GetEnkoTangentCross(c.x, c.y, r, flat, start, sweep, tilt).cross));
    }
    return true;  // otherwise the chord closes it
  }

  // A text line character by character, as MojiWidth lays it out: each
  // character in an em box of the text's width and height, upright in the
  // text's direction. A placement that mirrors turns the text instead (its
  // end becomes its start), as the conversion does.
  void DrawText(const jww::TEntJwwMoji& t, const DeviceMap& m) {
    if (t.str.starts_with(kImagePrefix) && t.str.find(u',') != std::u16string::npos) {
      DrawImageText(t, m);
      return;
    }
    if (t.str.empty()) return;
    const bool vertical = (t.att.sFlg & 0x20) != 0;
    const double angle = t.degKakudo * kPi / 180;
    const DPoint along = Dir(angle), across = Dir(angle + kPi / 2);
    const double sx = t.dSizeX, sy = t.dSizeY, gap = t.dKankaku;
    if (!std::isfinite(sx + sy + gap + angle)) return;

    // Character boxes along the line: offset and length of each.
    cells_.clear();
    if (vertical) {
      size_t i = 0, k = 0;
      while (i < t.str.size()) {
        const size_t len =
            (t.str[i] >= 0xD800 && t.str[i] <= 0xDBFF && i + 1 < t.str.size()) ? 2 : 1;
        cells_.push_back({i, len, k * (sy + gap), sy, true});
        i += len;
        ++k;
      }
    } else {
      cells_ = util::MojiLayout(t.str, sx, gap);
    }
    if (cells_.empty()) return;
    const double length = cells_.back().offset + cells_.back().width;

    DPoint origin = m.Point(t.start_x, t.start_y);
    DPoint dAlong = m.Vector(along);  // device vector of 1 mm along the line
    const DPoint dAcross = m.Vector(across);
    if (m.Mirrors()) {
      origin = origin + length * dAlong;
      dAlong = -1.0 * dAlong;
    }
    const double reach =
        (length + sx + sy) * (std::hypot(dAlong.x, dAlong.y) + std::hypot(dAcross.x, dAcross.y));
    if (Outside(origin.x - reach, origin.y - reach, origin.x + reach, origin.y + reach)) return;

    Glyph g;
    g.family = FamilyOf(t.strFontName);
    g.argb = ColorOf(t.att);
    const DPoint emX = vertical ? sx * dAcross : sx * dAlong;
    const DPoint emY = vertical ? -sy * dAlong : sy * dAcross;
    if (std::hypot(emY.x, emY.y) < kMinGlyphPx) return;
    g.xAxis = emX;
    g.yAxis = emY;
    for (const util::MojiCell& c : cells_) {
      const char16_t ch = t.str[c.index];
      if (ch == u' ' || ch == u'\u3000' || ch < 0x20) continue;
      g.text = std::u16string_view(t.str).substr(c.index, c.length);
      // A vertical character's box hangs below its place on the line.
      g.origin = vertical ? origin + (c.offset + sy) * dAlong : origin + c.offset * dAlong;
      out_.DrawGlyph(g);
      ++stats.primitives;
    }
  }

  std::string ImagePath(const std::u16string& name) const {
    return jww::ImageTextFile(name, doc_.BindImageFolder, o_.drawingFolder);
  }

  void DrawImageText(const jww::TEntJwwMoji& t, const DeviceMap& m) {
    jww::TImageMojiInfo info;
    jww::GetImageMojiInfo(t.str, info);
    if (info.fileName.empty() || !(info.d1 > 0) || !(info.d2 > 0)) return;
    const double rotation = info.d6 * kPi / 180;
    ImagePlacement img;
    img.origin = m.Point(t.start_x, t.start_y);
    img.xAxis = m.Vector(info.d1 * Dir(rotation));
    img.yAxis = m.Vector(info.d2 * Dir(rotation + kPi / 2));
    if (m.Mirrors()) {
      img.origin = img.origin + img.xAxis;
      img.xAxis = -1.0 * img.xAxis;
    }
    pts_ = {img.origin, img.origin + img.xAxis, img.origin + img.xAxis + img.yAxis,
            img.origin + img.yAxis};
    if (Outside(pts_)) return;
    img.path = ImagePath(info.fileName);
    if (out_.DrawImage(img)) ++stats.primitives;
  }

  const TJwwData& doc_;
  const RenderOptions& o_;
  const DrawAttrStore& colors_;
  const DrawAttrStore& print_;
  Backend& out_;
  const Viewport& view_;
  uint32_t background_, foreground_;
  double minX_, minY_, maxX_, maxY_;
  std::vector<DPoint> pts_;  // scratch, reused
  std::array<DPoint, 2> seg_{};
  std::vector<util::MojiCell> cells_;
  std::array<Wave, jww::kRandomLines> waves_;
  std::vector<DPoint> wave_;  // scratch of DrawWave
  uint32_t ink_ = RenderOptions::kOwnInk;
};

// The legend: a swatch and a name a line, in pixels from its corner.
void PaintLegend(Backend& out, const RenderOptions& o, const Viewport& view, uint32_t background) {
  if (o.legend.empty()) return;
  const double h = o.legendPx, pad = h / 2;
  const DPoint at = view.ToDevice(o.legendAt);
  double widest = 0;
  for (const auto& [argb, name] : o.legend) {
    const auto cells = util::MojiLayout(name, h * 0.8, 0);
    if (!cells.empty()) widest = std::max(widest, cells.back().offset + cells.back().width);
  }
  const double w = 3 * pad + h + widest, total = pad + o.legend.size() * (h + pad);
  const std::array<DPoint, 4> box{at, at + DPoint{w, 0}, at + DPoint{w, total},
                                  at + DPoint{0, total}};
  out.FillPolygon(box, background);
  Stroke frame;
  frame.argb = 0xFF9A9A9A;
  out.Polyline(box, true, frame);
  Glyph g;
  g.family = kGothic;
  g.xAxis = {h * 0.8, 0};
  g.yAxis = {0, -h * 0.8};
  for (size_t i = 0; i < o.legend.size(); ++i) {
    const auto& [argb, name] = o.legend[i];
    const DPoint row = at + DPoint{pad, pad + i * (h + pad)};
    const std::array<DPoint, 4> swatch{row, row + DPoint{h, 0}, row + DPoint{h, h},
                                       row + DPoint{0, h}};
    out.FillPolygon(swatch, argb);
    g.argb = 0xFF000000;
    for (const util::MojiCell& c : util::MojiLayout(name, h * 0.8, 0)) {
      g.text = std::u16string_view(name).substr(c.index, c.length);
      g.origin = row + DPoint{h + pad + c.offset, h * 0.9};
      out.DrawGlyph(g);
    }
  }
}

}  // namespace

Viewport Viewport::Covering(const SheetBox& box, double pxPerMm) {
  Viewport v;
  v.pxPerMm = pxPerMm;
  v.left = box.minX;
  v.top = box.maxY;
  // Rounded up to take in the box, but not for what floating point adds to
  // a whole number of pixels.
  v.width = std::max(1, static_cast<int>(std::ceil(box.width() * pxPerMm - 1e-6)));
  v.height = std::max(1, static_cast<int>(std::ceil(box.height() * pxPerMm - 1e-6)));
  return v;
}

void Viewport::ZoomAt(DPoint at, double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  const DPoint fixed = ToSheet(at);
  pxPerMm = std::clamp(pxPerMm * factor, 1e-6, 1e6);
  left = fixed.x - at.x / pxPerMm;
  top = fixed.y + at.y / pxPerMm;
}

void Viewport::PanBy(double dxPx, double dyPx) {
  left -= dxPx / pxPerMm;
  top += dyPx / pxPerMm;
}

SheetBox SheetOf(const TJwwData& doc) {
  const jww::PaperSize size = jww::GetPaperSize(doc);
  return {-size.px / 2, -size.py / 2, size.px / 2, size.py / 2};
}

SheetBox DrawingBox(const TJwwData& doc, const RenderOptions& options) {
  const SheetBox sheet = SheetOf(doc);
  const jww::MinMaxBox ext = jww::MeasureExtents(doc);
  if (!ext.seeded) return sheet;
  // The extents are millimetres on the sheet whatever the groups' scales.
  SheetBox box{ext.minX, ext.minY, ext.maxX, ext.maxY};
  if (!options.fitToContents) {
    box.minX = std::min(box.minX, sheet.minX);
    box.minY = std::min(box.minY, sheet.minY);
    box.maxX = std::max(box.maxX, sheet.maxX);
    box.maxY = std::max(box.maxY, sheet.maxY);
  }
  // A little room around, so that strokes on the edge stay whole.
  if (!(box.width() > 0) || !(box.height() > 0)) box = sheet;
  const double margin = (options.fitToContents ? 0.03 : 0.01) * std::max(box.width(), box.height());
  return {box.minX - margin, box.minY - margin, box.maxX + margin, box.maxY + margin};
}

uint32_t BackgroundOf(const RenderOptions& options) {
  return options.dark ? kDarkBackground : kLightBackground;
}

Frontend::Frontend(const TJwwData& doc, RenderOptions options)
    : doc_(doc), options_(std::move(options)) {
  doc.FileColorSet(store_);
  doc.SetGAttLayer(store_);
  printStore_.setColorMode(DrawAttrStore::OutputMode::kPrinter);
  printStore_.setLineTypeMode(DrawAttrStore::OutputMode::kPrinter);
  doc.FileColorSet(printStore_);
  doc.FileLtypeSet(printStore_);
}

PaintStats Frontend::Paint(Backend& backend, const Viewport& view) const {
  const uint32_t background = BackgroundOf(options_);
  backend.Begin(view.width, view.height, background);
  Painter painter(doc_, options_, store_, printStore_, backend, view);
  if (options_.sheetFrame) {
    const SheetBox s = SheetOf(doc_);
    const std::array<DPoint, 4> frame{
        view.ToDevice({s.minX, s.minY}), view.ToDevice({s.maxX, s.minY}),
        view.ToDevice({s.maxX, s.maxY}), view.ToDevice({s.minX, s.maxY})};
    Stroke st;
    st.argb = options_.dark ? kDarkFrame : kLightFrame;
    backend.Polyline(frame, true, st);
  }
  painter.inkOf = &options_.ink;
  jww::WalkPlacedDrawing(doc_, painter);
  PaintStats stats = painter.stats;
  if (options_.overlay != nullptr) {
    // The overlay keeps its own pens, line types and layer states.
    const Frontend over(*options_.overlay, options_);
    Painter p(*options_.overlay, options_, over.store_, over.printStore_, backend, view);
    p.inkOf = &options_.overlayInk;
    jww::WalkPlacedDrawing(*options_.overlay, p);
    stats.primitives += p.stats.primitives;
    stats.culled += p.stats.culled;
    stats.hidden += p.stats.hidden;
  }
  PaintLegend(backend, options_, view, background);
  backend.End();
  return stats;
}

}  // namespace render
