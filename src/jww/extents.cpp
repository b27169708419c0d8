// SPDX-License-Identifier: GPL-3.0-or-later
// GetMinMaxZahyo: the drawing's extents, measured as read (before any block
// explosion), with block contents counted through the block tree.

#include "jww/extents.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "jww/document.h"
#include "jww/entity_lists.h"
#include "jww/walk.h"
#include "util/text.h"

namespace jww {

namespace {

using util::DPoint;

constexpr double kRangeLimit = 5e11;
constexpr double kClamp = 1e8;
constexpr double kSamePointTolerance = 1e-12;
constexpr double kKindTolerance = 1e-12;
constexpr double kVerticalTolerance = 1e-10;
constexpr double kDegenerateMargin = 10.0;

// Partial arcs are sampled at 73 points: 72 steps, both ends included.
constexpr int kArcSteps = 72;
// Whole-ellipse sampling of arc solids of kind 100: 2π / 72.
constexpr double kFullRingStep = 0.08726646259971647;
constexpr double kHalfPi = 1.5707963267948966;
// Full circles and ellipses count only the ends of their axes.
constexpr double kAxisEnds[] = {0.0, kHalfPi, 3.141592653589793, 4.71238898038469};

constexpr std::u16string_view kImagePrefix = u"^@BM";
constexpr int kImageValues = 9;

bool InRange(double v) { return v >= -kRangeLimit && v <= kRangeLimit; }

// The point is clamped rather than the box: the box's values are inside the
// clamp already, so the result is the same, and a box whose only points lie
// beyond +1e8 still keeps its minimum at or below its maximum.
void Widen(MinMaxBox& b, double x, double y) {
  x = std::clamp(x, -kClamp, kClamp);
  y = std::clamp(y, -kClamp, kClamp);
  if (!b.seeded) {
    b = {x, y, x, y, true};
  } else {
    b.minX = std::min(b.minX, x);
    b.minY = std::min(b.minY, y);
    b.maxX = std::max(b.maxX, x);
    b.maxY = std::max(b.maxY, y);
  }
}

// Turns points of an ellipse's own axes by its tilt about the origin and
// moves them to its centre. The tilt's cosine and sine are taken once, in
// the same precision as RotateX/RotateY, which give the same bits per point.
class TiltedFrame {
 public:
  TiltedFrame(double cx, double cy, double tilt)
      : cx_(cx),
        cy_(cy),
        cos_(std::cos(static_cast<long double>(tilt))),
        sin_(std::sin(static_cast<long double>(tilt))) {}

  DPoint Place(double u, double v) const {
    return {static_cast<double>(cos_ * u - sin_ * v) + cx_,
            static_cast<double>(sin_ * u + cos_ * v) + cy_};
  }

 private:
  double cx_, cy_;
  long double cos_, sin_;
};

struct Ellipse {
  TiltedFrame frame;
  double r;   // along the major axis
  double rb;  // along the minor axis

  DPoint At(double theta) const { return frame.Place(r * std::cos(theta), rb * std::sin(theta)); }
};

bool IsPlaceholderText(const TEntJwwMoji& m) {
  return SamePoint(m.start_x, m.start_y, 0.0, 0.0) && SamePoint(m.end_x, m.end_y, 0.01, 0.01);
}

bool IsSkippedText(const TEntJwwMoji& m) {
  return SamePoint(m.start_x, m.start_y, m.end_x, m.end_y) || IsPlaceholderText(m);
}

bool IsImageText(std::u16string_view s) { return s.starts_with(kImagePrefix); }

bool IsArcSolid(const TEntJwwSolid& s) { return s.att.nPenStyle >= 101; }

// The first point the box is built from. The order of the kinds, and that
// an arc gives its centre and an insertion its reference point, are the
// format's own rule; texts decide by the first one only.
std::optional<DPoint> SeedPoint(const EntitySpans& e) {
  if (!e.line.empty()) return DPoint{e.line[0].start_x, e.line[0].start_y};
  if (!e.enko.empty()) return DPoint{e.enko[0].start_x, e.enko[0].start_y};
  if (!e.ten.empty()) return DPoint{e.ten[0].start_x, e.ten[0].start_y};
  if (e.moji.empty()) return std::nullopt;

  const TEntJwwMoji& first = e.moji[0];
  if (SamePoint(first.start_x, first.start_y, first.end_x, first.end_y)) return std::nullopt;
  if (!IsPlaceholderText(first)) return DPoint{first.start_x, first.start_y};
  if (!e.sunpo.empty()) return DPoint{e.sunpo[0].Sen.start_x, e.sunpo[0].Sen.start_y};
  if (!e.solid.empty()) return DPoint{e.solid[0].start_x, e.solid[0].start_y};
  if (!e.block.empty()) return DPoint{e.block[0].DPKijunTen_x, e.block[0].DPKijunTen_y};
  return std::nullopt;
}

// Adds the points of one list of entities to the box, either as they stand
// (the drawing's own entities) or placed by a block tree node.
class ExtentsWalker {
 public:
  ExtentsWalker(MinMaxBox& box, const util::Affine* placement) : box_(box), placement_(placement) {}

  void AddAll(const EntitySpans& e) {
    AddAll(e, [](const TEntJwwAttr&) -> MinMaxBox* { return nullptr; });
  }

  // `alsoFor(att)` names a second box each entity's points widen too (a
  // layer group's), or null.
  template <typename AlsoFor>
  void AddAll(const EntitySpans& e, const AlsoFor& alsoFor) {
    for (const TEntJwwLine& l : e.line) {
      also_ = alsoFor(l.att);
      AddLine(l);
    }
    for (const TEntJwwEnko& a : e.enko) {
      also_ = alsoFor(a.att);
      AddEnko(a);
    }
    for (const TEntJwwTen& p : e.ten) {
      also_ = alsoFor(p.att);
      Add(p.start_x, p.start_y);
    }
    for (const TEntJwwMoji& m : e.moji) {
      also_ = alsoFor(m.att);
      AddMoji(m);
    }
    for (const TEntJwwSunpo& d : e.sunpo) {
      also_ = alsoFor(d.att);
      AddSunpo(d);
    }
    for (const TEntJwwSolid& s : e.solid) {
      also_ = alsoFor(s.att);
      AddSolid(s);
    }
    also_ = nullptr;
  }

 private:
  void Add(double x, double y) {
    if (placement_ == nullptr) {
      MinMaxAdd(box_, x, y);
      if (also_ != nullptr) MinMaxAdd(*also_, x, y);
    } else {
      const util::Affine& t = *placement_;
      MinMaxAddTrans(box_, x, y, t.tx, t.ty, t.m11, t.m12, t.m21, t.m22);
      if (also_ != nullptr) MinMaxAddTrans(*also_, x, y, t.tx, t.ty, t.m11, t.m12, t.m21, t.m22);
    }
  }
  void Add(DPoint p) { Add(p.x, p.y); }

  void AddLine(const TEntJwwLine& l) {
    Add(l.start_x, l.start_y);
    Add(l.end_x, l.end_y);
  }

  // 73 points from `start`, the angle growing by repeated addition of `step`.
  void AddArcSamples(const Ellipse& e, double start, double step) {
    double theta = start;
    for (int i = 0; i <= kArcSteps; ++i) {
      Add(e.At(theta));
      theta += step;
    }
  }

  void AddEnko(const TEntJwwEnko& a) {
    const Ellipse e{TiltedFrame(a.start_x, a.start_y, a.radKatamukiKaku), a.dHankei,
                    a.dHankei * a.dHenpeiRitsu};
    if (a.bZenEnFlg != 0) {
      for (double theta : kAxisEnds) Add(e.At(theta));
    } else {
      AddArcSamples(e, a.radKaishiKaku, a.radEnkoKaku / kArcSteps);
    }
  }

  void AddMoji(const TEntJwwMoji& m) {
    if (IsSkippedText(m)) return;
    Add(m.start_x, m.start_y);
    Add(m.end_x, m.end_y);
    if (IsImageText(m.str)) {
      // The corner opposite the start of the unrotated image: value 1 is its
      // width, value 2 its height.
      TImageMojiInfo info;
      GetImageMojiInfo(m.str, info);
      Add(m.start_x + info.d1, m.start_y + info.d2);
    }
  }

  // The value text counts by its stored points alone, whatever it holds.
  void AddSunpo(const TEntJwwSunpo& d) {
    AddLine(d.Sen);
    Add(d.Moji.start_x, d.Moji.start_y);
    Add(d.Moji.end_x, d.Moji.end_y);
    if (d.bSxfMode != 0) {
      AddLine(d.Ho1);
      AddLine(d.Ho2);
    }
  }

  void AddSolid(const TEntJwwSolid& s) {
    if (!IsArcSolid(s)) {
      Add(s.start_x, s.start_y);
      Add(s.end_x, s.end_y);
      Add(s.DPoint2_x, s.DPoint2_y);
      Add(s.DPoint3_x, s.DPoint3_y);
      return;
    }
    // Arc solid: centre, radius, flattening, tilt, start, sweep and kind.
    const double cx = s.start_x, cy = s.start_y;
    const double r = s.end_x, flattening = s.end_y, tilt = s.DPoint2_x;
    const double start = s.DPoint2_y, sweep = s.DPoint3_x, kind = s.DPoint3_y;
    const uint8_t style = s.att.nPenStyle;

    if (style == 101 && std::fabs(kind) <= kKindTolerance) {
      Add(cx, cy);  // a sector reaches its centre
    } else if (style == 101 && std::fabs(kind + 1) <= kKindTolerance) {
      Add(GetEnkoTangentCross(cx, cy, r, flattening, start, sweep, tilt).cross);
    }
    const bool wholeEllipse =
        (style == 101 || style == 111) && std::fabs(kind - 100) <= kKindTolerance;
    const Ellipse e{TiltedFrame(cx, cy, tilt), r, r * flattening};
    AddArcSamples(e, start, wholeEllipse ? kFullRingStep : sweep / kArcSteps);
  }

  MinMaxBox& box_;
  const util::Affine* placement_;
  MinMaxBox* also_ = nullptr;
};

// Values 1 to 6 are reals, 7 to 9 integers.
constexpr double TImageMojiInfo::*kImageReals[] = {&TImageMojiInfo::d1, &TImageMojiInfo::d2,
                                                   &TImageMojiInfo::d3, &TImageMojiInfo::d4,
                                                   &TImageMojiInfo::d5, &TImageMojiInfo::d6};
constexpr int32_t TImageMojiInfo::*kImageIntegers[] = {&TImageMojiInfo::n7, &TImageMojiInfo::n8,
                                                       &TImageMojiInfo::n9};

void SetImageValue(TImageMojiInfo& info, int number, std::u16string_view text) {
  if (number <= 6)
    info.*kImageReals[number - 1] = util::ValFloat(text);
  else
    info.*kImageIntegers[number - 7] = util::ValInt(text);
}

}  // namespace

bool SamePoint(double x1, double y1, double x2, double y2) {
  return std::fabs(x1 - x2) <= kSamePointTolerance && std::fabs(y1 - y2) <= kSamePointTolerance;
}

void MinMaxInit(MinMaxBox& box, double x, double y) {
  if (!InRange(x) || !InRange(y)) return;
  box.seeded = false;
  Widen(box, x, y);
}

void MinMaxAdd(MinMaxBox& box, double x, double y) {
  if (!InRange(x) || !InRange(y)) return;
  Widen(box, x, y);
}

void MinMaxAddTrans(MinMaxBox& box, double x, double y, double tx, double ty, double r1, double r2,
                    double r3, double r4) {
  if (!InRange(x) || !InRange(y)) return;
  const double px = r1 * x + r2 * y + tx;
  const double py = r3 * x + r4 * y + ty;
  // A placement with a non-finite scale or angle gives NaN; it has no place.
  if (std::isnan(px) || std::isnan(py)) return;
  Widen(box, px, py);
}

bool GetImageMojiInfo(std::u16string_view text, TImageMojiInfo& info) {
  info = TImageMojiInfo{};
  if (!IsImageText(text)) return true;
  const size_t comma = text.find(u',', kImagePrefix.size());
  if (comma == std::u16string_view::npos) return true;

  info.fileName = std::u16string(text.substr(kImagePrefix.size(), comma - kImagePrefix.size()));
  std::u16string_view rest = text.substr(comma + 1);
  int count = 0;
  while (count < kImageValues) {
    const size_t next = rest.find(u',');
    SetImageValue(info, ++count, rest.substr(0, next));
    if (next == std::u16string_view::npos) break;
    rest.remove_prefix(next + 1);
  }

  if (count == 1) info.d2 = info.d1;
  if (info.n7 != -1) {
    if (info.n8 == -1) info.n8 = 0;
    if (info.n9 == -1) info.n9 = 0;
  }
  return count < 3;
}

TEnkoTangentCross GetEnkoTangentCross(double cx, double cy, double r, double k, double s, double a,
                                      double t) {
  const double m = r * k;
  const double e = s + a;
  // In the ellipse's own axes: both ends, and a second point on the tangent
  // at each end.
  const double sx = r * std::cos(s), sy = m * std::sin(s);
  const double ex = r * std::cos(e), ey = m * std::sin(e);
  const double stx = sx + r * std::cos(s + kHalfPi), sty = sy + m * std::sin(s + kHalfPi);
  const double etx = ex + r * std::cos(e - kHalfPi), ety = ey + m * std::sin(e - kHalfPi);
  const DPoint cross = GetLineCross(sx, sy, stx, sty, ex, ey, etx, ety).value_or(DPoint{0, 0});

  const TiltedFrame frame(cx, cy, t);
  return {frame.Place(sx, sy), frame.Place(ex, ey), frame.Place(cross.x, cross.y)};
}

std::optional<DPoint> GetLineCross(double x1, double y1, double x2, double y2, double x3, double y3,
                                   double x4, double y4) {
  const bool firstVertical = std::fabs(x1 - x2) <= kVerticalTolerance;
  const bool secondVertical = std::fabs(x3 - x4) <= kVerticalTolerance;
  if (firstVertical && secondVertical) return std::nullopt;
  if (firstVertical) {
    const double m2 = (y4 - y3) / (x4 - x3);
    return DPoint{x1, y3 + m2 * (x1 - x3)};
  }
  if (secondVertical) {
    const double m1 = (y2 - y1) / (x2 - x1);
    return DPoint{x3, y1 + m1 * (x3 - x1)};
  }
  const double m1 = (y2 - y1) / (x2 - x1);
  const double m2 = (y4 - y3) / (x4 - x3);
  if (std::fabs(m1 - m2) <= kVerticalTolerance) return std::nullopt;
  const double b1 = y1 - m1 * x1;
  const double b2 = y3 - m2 * x3;
  const double x = (b2 - b1) / (m1 - m2);
  return DPoint{x, b1 + m1 * x};
}

MinMaxBox MeasureExtents(const TJwwData& doc) { return MeasureExtents(doc, nullptr); }

MinMaxBox MeasureExtents(const TJwwData& doc, GroupExtents* groups) {
  MinMaxBox box;
  const EntitySpans own = SpansOf(doc);
  if (std::optional<DPoint> seed = SeedPoint(own)) MinMaxInit(box, seed->x, seed->y);
  auto groupOf = [&](const TEntJwwAttr& a) -> MinMaxBox* {
    return groups != nullptr && a.nGLayer < groups->size() ? &(*groups)[a.nGLayer] : nullptr;
  };
  ExtentsWalker(box, nullptr).AddAll(own, groupOf);

  // Every placement, nested ones included, with its composed transform; a
  // definition's own insertions are therefore not followed. Hidden ones
  // count too: the box describes the drawing as read, before any explosion.
  ForEachPlacement(doc, true, [&](const PlacementVisit& p) {
    const TPlacement& t = p.placement;
    ExtentsWalker(box, &t).AddAll(SpansOf(*p.definition), [&](const TEntJwwAttr& a) {
      TEntJwwAttr shown = a;
      if (!t.keepLayer) shown.nGLayer = t.gLayer;
      return groupOf(shown);
    });
  });

  if (box.seeded && SamePoint(box.minX, box.minY, box.maxX, box.maxY)) {
    box.minX -= kDegenerateMargin;
    box.minY -= kDegenerateMargin;
    box.maxX += kDegenerateMargin;
    box.maxY += kDegenerateMargin;
  }
  return box;
}

void TJwwData::GetMinMaxZahyo() {
  const MinMaxBox box = MeasureExtents(*this);
  myMinWx = box.minX;
  myMinWy = box.minY;
  myMaxWx = box.maxX;
  myMaxWy = box.maxY;
}

}  // namespace jww
