// SPDX-License-Identifier: GPL-3.0-or-later
// Copies of block members carried by a placement transform, one rule per
// entity kind, and the whole-drawing move and scale.
//
// A placement may rotate, scale each axis on its own and mirror. Lines,
// points and solid corners follow it literally; a circle or arc becomes an
// ellipse whose axes are searched for; a text keeps upright glyphs and is only
// re-anchored, re-sized and turned; a dimension may get its value measured anew.

#include <cmath>
#include <new>
#include <utility>

#include "jww/document.h"
#include "jww/entity_append.h"
#include "util/geometry.h"
#include "util/text.h"

namespace jww {

namespace {

using util::Affine;
using util::DPoint;
using util::kPi;
using util::kTwoPi;

constexpr double kRadToDeg = static_cast<double>(180 / kPi);
constexpr double kMinTextSize = 0.0001;

struct VecL {
  long double x, y;
};

VecL Linear(const Affine& t, long double u, long double v) {
  return {t.m11 * u + t.m12 * v, t.m21 * u + t.m22 * v};
}

long double Length(VecL v) { return std::sqrt(v.x * v.x + v.y * v.y); }

DPoint Offset(DPoint p, VecL v) {
  return {static_cast<double>(p.x + v.x), static_cast<double>(p.y + v.y)};
}

// Angle brought into [0, 2π).
double NormalAngle(long double a) {
  a = std::fmod(a, kTwoPi);
  if (a < 0) a += kTwoPi;
  double r = static_cast<double>(a);
  return r >= static_cast<double>(kTwoPi) ? 0.0 : r;
}

// ---------------------------------------------------------------- ellipses

// An ellipse arc as Jw_cad stores it.
struct EllipseArc {
  double cx = 0, cy = 0;
  double r = 0;      // semi-major axis
  double k = 0;      // flattening: semi-minor / semi-major
  double tilt = 0;   // direction of the major axis
  double start = 0;  // start parameter
  double sweep = 0;  // parameter sweep, counter-clockwise when positive
};

// The source ellipse carried by the linear part, relative to the new centre:
// V(t) = A·cos t + B·sin t.
struct EllipseImage {
  VecL a, b;
  VecL at(long double t) const {
    long double c = std::cos(t), s = std::sin(t);
    return {a.x * c + b.x * s, a.y * c + b.y * s};
  }
  long double dist2(long double t) const {
    VecL v = at(t);
    return v.x * v.x + v.y * v.y;
  }
};

EllipseImage ImageOf(const EllipseArc& e, const Affine& t) {
  long double c = std::cos(static_cast<long double>(e.tilt));
  long double s = std::sin(static_cast<long double>(e.tilt));
  long double b = static_cast<long double>(e.r) * e.k;
  return {Linear(t, e.r * c, e.r * s), Linear(t, -b * s, b * c)};
}

// The parameter whose image lies farthest from the centre: a coarse pass over
// half a turn (the ellipse is symmetric), then 15 passes each ten times finer
// around the best so far. Ties keep the earlier parameter.
long double FarthestParameter(const EllipseImage& img) {
  long double t = 0, step = kPi / 10, best = 0, bestT = 0;
  for (int pass = 0; pass < 16; ++pass) {
    const int samples = pass == 0 ? 11 : 21;
    // The samples of a pass are evenly spaced, so their cosines and sines
    // follow by turning through `step` each time: two sine-cosine pairs per
    // pass instead of one per sample, which made arcs the slowest members.
    long double c = std::cos(t), s = std::sin(t);
    const long double cs = std::cos(step), ss = std::sin(step);
    for (int i = 0; i < samples; ++i) {
      const long double x = img.a.x * c + img.b.x * s;
      const long double y = img.a.y * c + img.b.y * s;
      const long double d = x * x + y * y;
      if (d > best) {
        best = d;
        bestT = t + i * step;
      }
      const long double next = c * cs - s * ss;
      s = s * cs + c * ss;
      c = next;
    }
    t = bestT - step;
    step /= 10;
  }
  return bestT;
}

// Below this the new ellipse is a segment: its parameters cannot be read back
// from a point, since the minor axis carries no information.
constexpr double kFlatEllipse = 1e-12;

EllipseArc TransformEllipse(const EllipseArc& src, bool full, const Affine& t) {
  EllipseArc out;
  DPoint c = util::TransPoint(t, src.cx, src.cy);
  out.cx = c.x;
  out.cy = c.y;

  const EllipseImage img = ImageOf(src, t);
  const long double tStar = util::IsSimilarWithoutRotation(t) ? 0 : FarthestParameter(img);
  const VecL p = img.at(tStar);
  out.r = static_cast<double>(Length(p));
  out.tilt = util::VecAngle(static_cast<double>(p.x), static_cast<double>(p.y));

  // Point a quarter turn on, in the frame of the new major axis.
  const long double ct = std::cos(static_cast<long double>(out.tilt));
  const long double st = std::sin(static_cast<long double>(out.tilt));
  auto toAxisFrame = [&](VecL v) { return VecL{ct * v.x + st * v.y, -st * v.x + ct * v.y}; };
  const VecL q = toAxisFrame(img.at(tStar + kPi / 2));
  long double w = std::sqrt(std::fabs(static_cast<long double>(out.r) * out.r - q.x * q.x));
  if (w < 1e-12L) w = 1e-12L;
  out.k = static_cast<double>(std::fabs(q.y) / w);

  if (full) {
    out.start = src.start;
    out.sweep = src.sweep;
    return out;
  }

  const long double s0 = src.start, w0 = src.sweep;
  const long double t1 = w0 >= 0 ? s0 : s0 + w0;
  const long double t2 = w0 >= 0 ? s0 + w0 : s0;
  // An affine image of an ellipse is parametrised by the source parameter up
  // to a shift and a reflection, so the sweep keeps its size exactly.
  out.sweep = static_cast<double>(std::fabs(w0));

  if (!(out.k > kFlatEllipse)) {
    // A segment: the point of parameter t lies at r·cos(t − t*) along the axis.
    out.start = NormalAngle(t1 - tStar);
    return out;
  }
  auto newParameter = [&](long double tt) {
    VecL v = toAxisFrame(img.at(tt));
    return util::VecAngle(static_cast<double>(v.x), static_cast<double>(v.y / out.k));
  };
  // Mirroring reverses the direction of travel (so does a negative flattening
  // in the source); the arc then starts at the image of its other end.
  const bool reversed = (util::Determinant(t) < 0) != (src.k < 0);
  out.start = newParameter(reversed ? t2 : t1);
  return out;
}

// ---------------------------------------------------------------- points

TEntJwwTen TransformTen(const TEntJwwTen& m, const Affine& t) {
  TEntJwwTen c = m;
  DPoint p = util::TransPoint(t, m.start_x, m.start_y);
  c.start_x = p.x;
  c.start_y = p.y;
  if (m.att.nPenStyle == 100) {
    // A symbol cannot be mirrored: a mirrored placement turns it half round
    // instead, the way a mirrored text is turned.
    long double phi = util::VecAngle(t.m11, t.m21);
    if (util::Determinant(t) < 0) phi += kPi;
    c.radKaitenKaku = static_cast<double>(m.radKaitenKaku + phi);
  } else {
    c.nCode = 0;
    c.radKaitenKaku = 0;
    c.dBairitsu = 1.0;
  }
  return c;
}

TEntJwwLine TransformLine(const TEntJwwLine& m, const Affine& t) {
  TEntJwwLine c = m;
  util::DLine l = util::TransLine(t, {m.start_x, m.start_y}, {m.end_x, m.end_y});
  c.start_x = l.a.x;
  c.start_y = l.a.y;
  c.end_x = l.b.x;
  c.end_y = l.b.y;
  return c;
}

// ---------------------------------------------------------------- texts

bool IsImageText(const std::u16string& s) {
  return s.starts_with(u"^@BM") && s.find(u',') != std::u16string::npos;
}

bool IsVertical(const TEntJwwMoji& m) { return (m.att.sFlg & 0x20) != 0; }

double& AlongSize(TEntJwwMoji& m) { return IsVertical(m) ? m.dSizeY : m.dSizeX; }
double& CrossSize(TEntJwwMoji& m) { return IsVertical(m) ? m.dSizeX : m.dSizeY; }

double RoundSize(double v) { return util::RoundDigits(4, 2, v); }

double TextAngleDeg(const TEntJwwMoji& m) {
  return util::VecAngle(m.end_x - m.start_x, m.end_y - m.start_y) * kRadToDeg;
}

// Anchor points and sizes of a text under the transform; the string and the
// text angle are left to the caller.
TEntJwwMoji TransformTextFrame(const TEntJwwMoji& m, const Affine& t) {
  TEntJwwMoji c = m;
  DPoint s = util::TransPoint(t, m.start_x, m.start_y);
  DPoint e = util::TransPoint(t, m.end_x, m.end_y);
  if (!util::IsIdentityLinear(t)) {
    const double theta = util::VecAngle(m.end_x - m.start_x, m.end_y - m.start_y);
    const long double ca = std::cos(static_cast<long double>(theta));
    const long double sa = std::sin(static_cast<long double>(theta));
    const double along = AlongSize(c);
    const double cross = CrossSize(c);
    double newAlong = static_cast<double>(Length(Linear(t, along * ca, along * sa)));
    double newCross = util::PointLineDist(Offset(s, Linear(t, -cross * sa, cross * ca)), s, e);
    c.dKankaku = static_cast<double>(Length(Linear(t, m.dKankaku * ca, m.dKankaku * sa)));
    // Mirrored text is turned round rather than mirrored.
    if (util::Determinant(t) < 0) std::swap(s, e);
    c.nMojiShu = (m.nMojiShu / 1000) * 1000;
    newAlong = RoundSize(newAlong);
    newCross = RoundSize(newCross);
    AlongSize(c) = newAlong < kMinTextSize ? kMinTextSize : newAlong;
    CrossSize(c) = newCross < kMinTextSize ? kMinTextSize : newCross;
    c.dKankaku = RoundSize(c.dKankaku);
  }
  c.start_x = s.x;
  c.start_y = s.y;
  c.end_x = e.x;
  c.end_y = e.y;
  return c;
}

double AtLeastMinSize(double v) { return v <= kMinTextSize ? kMinTextSize : v; }

// "^@BM" + file name + "," + up to six numbers: width, height, three more
// values and the rotation in degrees.
void RewriteImageText(const TEntJwwMoji& src, TEntJwwMoji& c, const Affine& t) {
  const std::u16string_view rest = std::u16string_view(src.str).substr(4);
  const size_t comma = rest.find(u',');
  const std::u16string_view fileName = rest.substr(0, comma);
  double q[6] = {0, 0, 0, 0, 0, 0};
  int count = 0;
  std::u16string_view numbers = rest.substr(comma + 1);
  while (count < 6) {
    size_t next = numbers.find(u',');
    q[count++] = util::ValFloat(numbers.substr(0, next));
    if (next == std::u16string_view::npos) break;
    numbers = numbers.substr(next + 1);
  }
  double w = q[0];
  if (count >= 2 && std::fabs(w) <= 1e-14) w = 100;
  const double ratio = count >= 2 ? q[1] / w : 1.0;

  const double width =
      AtLeastMinSize(util::RoundDigits(4, 2, static_cast<double>(Length(Linear(t, w, 0)))));
  const double height = AtLeastMinSize(util::RoundDigits(4, 2, width * ratio));
  const double turn = util::VecAngle(c.end_x - c.start_x, c.end_y - c.start_y) -
                      util::VecAngle(src.end_x - src.start_x, src.end_y - src.start_y);
  const double delta = util::RoundDigits(2, 2, turn * kRadToDeg);

  std::u16string s = u"^@BM";
  s += fileName;
  s += u",";
  s += util::FormatShortest(width);
  // Three to five numbers take the long form even without a turn, so that the
  // values after the height are never dropped.
  if (count == 2 && std::fabs(delta) <= 1e-12) {
    s += u",";
    s += util::FormatShortest(height);
  } else if (count >= 2) {
    double rotation = q[5] + delta;
    if (rotation < 0) {
      rotation += 360;
    } else if (rotation > 360) {
      rotation -= 360;
    }
    for (double v : {height, q[2], q[3], q[4], rotation}) {
      s += u",";
      s += util::FormatShortest(v);
    }
  }
  c.str = std::move(s);
  c.end_x = c.start_x + util::MojiWidth(c.str, AlongSize(c), c.dKankaku);
  c.end_y = c.start_y;
  c.degKakudo = 0;
}

TEntJwwMoji TransformMoji(const TEntJwwMoji& m, const Affine& t) {
  TEntJwwMoji c = TransformTextFrame(m, t);
  if (IsImageText(m.str)) {
    // A pure move leaves the image's own numbers exactly as they were.
    if (!util::IsIdentityLinear(t)) RewriteImageText(m, c, t);
    return c;
  }
  c.degKakudo = TextAngleDeg(c);
  return c;
}

// ---------------------------------------------------------------- dimensions

// Length of a dimension line as its value text, by the dimension text's
// formatting flags (nPenWidth) and kind flags (sFlg).
std::u16string SunpoValueText(double length, double scale, uint16_t flags, uint16_t kind) {
  double v = length * scale;
  if (flags & 0x10) v /= 1000;
  const int digits = (flags / 4096) % 10;
  const bool truncate = (flags & 0x100) && !(flags & 0x200);
  const bool roundUp = (flags & 0x200) && !(flags & 0x100);
  v = util::RoundDigits(digits, truncate ? 0 : roundUp ? 1 : 2, v);

  // The separators Jw_cad writes, whatever the locale of this machine: the
  // text is the drawing's, not the user's, and the trim below relies on ".".
  std::u16string text;
  if (flags & 0x40) {
    text = util::FormatGrouped(digits, v, u".", u",");
    if (!(flags & 0x80) && text.find(u'.') != std::u16string::npos) {
      while (!text.empty() && text.back() == u'0') text.pop_back();
      // "1,200." reads as a typing error: a bare decimal point goes as well.
      if (!text.empty() && text.back() == u'.') text.pop_back();
    }
  } else if (flags & 0x80) {
    text = util::FormatFixed(digits, v, u".");
  } else {
    text = util::FormatShortest(v);
  }

  std::u16string mark;
  if (kind & 0x100) {
    mark = u"R";
  } else if (kind & 0x200) {
    mark = u"\u03C6";
  }
  if (flags & 0x400) {
    text = mark + text;
  } else if (flags & 0x800) {
    text += mark;
  }
  if (flags & 8) text = util::ToFullWidth(text);
  if (flags & 0x20) text += (flags & 0x10) ? u"\uFF4D" : u"mm";
  return text;
}

void ZeroAuxiliary(TEntJwwLine& l) { l = TEntJwwLine{l.att}; }
void ZeroAuxiliary(TEntJwwTen& p) { p = TEntJwwTen{p.att}; }

// ---------------------------------------------------------------- solids

EllipseArc ArcSolidEllipse(const TEntJwwSolid& s) {
  return {s.start_x, s.start_y, s.end_x, s.end_y, s.DPoint2_x, s.DPoint2_y, s.DPoint3_x};
}

void StoreArcSolidEllipse(const EllipseArc& e, TEntJwwSolid& s) {
  s.start_x = e.cx;
  s.start_y = e.cy;
  s.end_x = e.r;
  s.end_y = e.k;
  s.DPoint2_x = e.tilt;
  s.DPoint2_y = e.start;
  s.DPoint3_x = e.sweep;
}

bool IsFullRingSweep(double sweep) {
  return std::fabs(sweep) <= 1e-14 || sweep >= 6.2831853071795765 || sweep <= -6.2831853071795765;
}

void TransformCorners(TEntJwwSolid& c, const Affine& t) {
  for (auto [x, y] :
       {std::pair{&c.start_x, &c.start_y}, std::pair{&c.end_x, &c.end_y},
        std::pair{&c.DPoint2_x, &c.DPoint2_y}, std::pair{&c.DPoint3_x, &c.DPoint3_y}}) {
    DPoint p = util::TransPoint(t, *x, *y);
    *x = p.x;
    *y = p.y;
  }
}

// Rings (105) and their constant-width variant (106): the inner radius is in
// DPoint3_y and follows the outer ellipse.
void TransformRing(const TEntJwwSolid& m, TEntJwwSolid& c, const Affine& t, bool constantWidth) {
  const bool full = IsFullRingSweep(m.DPoint3_x);
  EllipseArc inner = ArcSolidEllipse(m);
  inner.r = m.DPoint3_y;
  if (constantWidth) {
    double z = (m.end_x * m.end_y - m.end_x) / m.DPoint3_y + 1;
    // A zero inner radius would make z undefined; the outer flattening serves.
    if (!(z > 1e-14) || !std::isfinite(z)) z = m.end_y;
    inner.k = z;
  }
  const double innerRadius = TransformEllipse(inner, full, t).r;
  StoreArcSolidEllipse(TransformEllipse(ArcSolidEllipse(m), full, t), c);
  c.DPoint3_y = innerRadius;
}

TEntJwwSolid TransformSolid(const TEntJwwSolid& m, const Affine& t) {
  TEntJwwSolid c = m;
  const int style = m.att.nPenStyle;
  switch (style) {
    case 101:
      StoreArcSolidEllipse(TransformEllipse(ArcSolidEllipse(m), std::trunc(m.DPoint3_y) == 100, t),
                           c);
      break;
    case 111:
      StoreArcSolidEllipse(TransformEllipse(ArcSolidEllipse(m), std::trunc(m.DPoint3_y) != 0, t),
                           c);
      break;
    case 105:
      TransformRing(m, c, t, false);
      break;
    case 106:
      TransformRing(m, c, t, true);
      break;
    default:
      // Quadrilaterals, and styles without a rule of their own: their first
      // field is a point in every known style, so they at least follow the
      // placement.
      TransformCorners(c, t);
      break;
  }
  return c;
}

// Builds a copy and appends it; memory exhaustion while building or growing
// reports failure with the counts unchanged.
template <typename T, typename Build>
bool AppendCopy(TJwwData& doc, std::vector<T>& arr, int32_t& count, int32_t kind, Build build) {
  try {
    return AppendEntity(doc, arr, count, kind, build());
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

// ------------------------------------------------------------ operations

bool TJwwData::BlockExplodeLine(const TEntJwwLine& m, const TPlacement& t) {
  return AppendCopy(*this, EntLine, EntLineN, kLine, [&] {
    TEntJwwLine c = TransformLine(m, ToAffine(t));
    ApplyLayerRule(c.att, t);
    return c;
  });
}

bool TJwwData::BlockExplodeTen(const TEntJwwTen& m, const TPlacement& t) {
  return AppendCopy(*this, EntTen, EntTenN, kTen, [&] {
    TEntJwwTen c = TransformTen(m, ToAffine(t));
    ApplyLayerRule(c.att, t);
    return c;
  });
}

bool TJwwData::BlockExplodeEnko(const TEntJwwEnko& m, const TPlacement& t) {
  return AppendCopy(*this, EntEnko, EntEnkoN, kEnko, [&] {
    TEntJwwEnko c = m;
    EllipseArc e = TransformEllipse({m.start_x, m.start_y, m.dHankei, m.dHenpeiRitsu,
                                     m.radKatamukiKaku, m.radKaishiKaku, m.radEnkoKaku},
                                    m.bZenEnFlg == 1, ToAffine(t));
    c.start_x = e.cx;
    c.start_y = e.cy;
    c.dHankei = e.r;
    c.dHenpeiRitsu = e.k;
    c.radKatamukiKaku = e.tilt;
    c.radKaishiKaku = e.start;
    c.radEnkoKaku = e.sweep;
    ApplyLayerRule(c.att, t);
    return c;
  });
}

bool TJwwData::BlockExplodeSolid(const TEntJwwSolid& m, const TPlacement& t) {
  return AppendCopy(*this, EntSolid, EntSolidN, kSolid, [&] {
    TEntJwwSolid c = TransformSolid(m, ToAffine(t));
    ApplyLayerRule(c.att, t);
    return c;
  });
}

bool TJwwData::BlockExplodeMoji(const TEntJwwMoji& m, const TPlacement& t) {
  return AppendCopy(*this, EntMoji, EntMojiN, kMoji, [&] {
    TEntJwwMoji c = TransformMoji(m, ToAffine(t));
    ApplyLayerRule(c.att, t);
    return c;
  });
}

bool TJwwData::BlockExplodeSunpo(const TEntJwwSunpo& m, const TPlacement& t) {
  return AppendCopy(*this, EntSunpo, EntSunpoN, kSunpo, [&] {
    const Affine a = ToAffine(t);
    TEntJwwSunpo c = m;
    if (m.bSxfMode != 0) {
      c.Ho1 = TransformLine(m.Ho1, a);
      c.Ho2 = TransformLine(m.Ho2, a);
      c.Te1 = TransformTen(m.Te1, a);
      c.Te2 = TransformTen(m.Te2, a);
      c.Kt1 = TransformTen(m.Kt1, a);
      c.Kt2 = TransformTen(m.Kt2, a);
    } else {
      ZeroAuxiliary(c.Ho1);
      ZeroAuxiliary(c.Ho2);
      ZeroAuxiliary(c.Te1);
      ZeroAuxiliary(c.Te2);
      ZeroAuxiliary(c.Kt1);
      ZeroAuxiliary(c.Kt2);
    }
    c.Sen = TransformLine(m.Sen, a);
    c.Moji = TransformMoji(m.Moji, a);
    for (TEntJwwAttr* att : {&c.att, &c.Sen.att, &c.Moji.att, &c.Ho1.att, &c.Ho2.att, &c.Te1.att,
                             &c.Te2.att, &c.Kt1.att, &c.Kt2.att}) {
      ApplyLayerRule(*att, t);
    }

    const uint16_t flags = m.Moji.att.nPenWidth;
    if (!util::IsIdentityLinear(a) && (flags & 2) && !m.Moji.str.starts_with(u"^@BM")) {
      // The value is read with the scale of the layer group the copy lands in.
      const uint16_t g = c.Sen.att.nGLayer;
      double scale = g < EntLgrp.size() ? EntLgrp[g].adScale : 1.0;
      if (!(scale > 0)) scale = 1.0;
      const double length =
          util::PointDist({c.Sen.start_x, c.Sen.start_y}, {c.Sen.end_x, c.Sen.end_y});
      c.Moji.str = SunpoValueText(length, scale, flags, m.Moji.att.sFlg);

      const long double mx = (static_cast<long double>(c.Moji.start_x) + c.Moji.end_x) / 2;
      const long double my = (static_cast<long double>(c.Moji.start_y) + c.Moji.end_y) / 2;
      const long double phi =
          util::VecAngle(c.Moji.end_x - c.Moji.start_x, c.Moji.end_y - c.Moji.start_y);
      const long double h = static_cast<long double>(
                                util::MojiWidth(c.Moji.str, AlongSize(c.Moji), c.Moji.dKankaku)) /
                            2;
      c.Moji.start_x = static_cast<double>(mx - h * std::cos(phi));
      c.Moji.start_y = static_cast<double>(my - h * std::sin(phi));
      c.Moji.end_x = static_cast<double>(mx + h * std::cos(phi));
      c.Moji.end_y = static_cast<double>(my + h * std::sin(phi));
    }
    c.Moji.degKakudo = TextAngleDeg(c.Moji);
    return c;
  });
}

// ------------------------------------------------- whole-drawing transforms

void TJwwData::MoveEntALL(double dx, double dy) {
  auto move = [&](double& x, double& y) {
    x += dx;
    y += dy;
  };
  for (int32_t i = 0; i < EntLineN; ++i) {
    move(EntLine[i].start_x, EntLine[i].start_y);
    move(EntLine[i].end_x, EntLine[i].end_y);
  }
  for (int32_t i = 0; i < EntEnkoN; ++i) move(EntEnko[i].start_x, EntEnko[i].start_y);
  for (int32_t i = 0; i < EntTenN; ++i) move(EntTen[i].start_x, EntTen[i].start_y);
  for (int32_t i = 0; i < EntMojiN; ++i) {
    move(EntMoji[i].start_x, EntMoji[i].start_y);
    move(EntMoji[i].end_x, EntMoji[i].end_y);
  }
  for (int32_t i = 0; i < EntSunpoN; ++i) {
    TEntJwwSunpo& s = EntSunpo[i];
    move(s.Sen.start_x, s.Sen.start_y);
    move(s.Sen.end_x, s.Sen.end_y);
    move(s.Moji.start_x, s.Moji.start_y);
    move(s.Moji.end_x, s.Moji.end_y);
    if (s.bSxfMode != 0) {
      for (TEntJwwLine* l : {&s.Ho1, &s.Ho2}) {
        move(l->start_x, l->start_y);
        move(l->end_x, l->end_y);
      }
      for (TEntJwwTen* p : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) move(p->start_x, p->start_y);
    }
  }
  for (int32_t i = 0; i < EntSolidN; ++i) {
    TEntJwwSolid& s = EntSolid[i];
    move(s.start_x, s.start_y);
    if (s.att.nPenStyle <= 100) {
      move(s.end_x, s.end_y);
      move(s.DPoint2_x, s.DPoint2_y);
      move(s.DPoint3_x, s.DPoint3_y);
    }
  }
  for (int32_t i = 0; i < EntBlockN; ++i) move(EntBlock[i].DPKijunTen_x, EntBlock[i].DPKijunTen_y);
}

void TJwwData::ScaleEntALL(double cx, double cy, double sc) {
  auto scale = [&](double& x, double& y) {
    x = static_cast<double>(cx + static_cast<long double>(sc) * (static_cast<long double>(x) - cx));
    y = static_cast<double>(cy + static_cast<long double>(sc) * (static_cast<long double>(y) - cy));
  };
  for (int32_t i = 0; i < EntLineN; ++i) {
    scale(EntLine[i].start_x, EntLine[i].start_y);
    scale(EntLine[i].end_x, EntLine[i].end_y);
  }
  for (int32_t i = 0; i < EntEnkoN; ++i) {
    scale(EntEnko[i].start_x, EntEnko[i].start_y);
    EntEnko[i].dHankei *= sc;
  }
  for (int32_t i = 0; i < EntTenN; ++i) {
    scale(EntTen[i].start_x, EntTen[i].start_y);
    EntTen[i].dBairitsu *= sc;
  }
  for (int32_t i = 0; i < EntMojiN; ++i) {
    scale(EntMoji[i].start_x, EntMoji[i].start_y);
    scale(EntMoji[i].end_x, EntMoji[i].end_y);
  }
  for (int32_t i = 0; i < EntSunpoN; ++i) {
    TEntJwwSunpo& s = EntSunpo[i];
    scale(s.Sen.start_x, s.Sen.start_y);
    scale(s.Sen.end_x, s.Sen.end_y);
    scale(s.Moji.start_x, s.Moji.start_y);
    scale(s.Moji.end_x, s.Moji.end_y);
    if (s.bSxfMode != 0) {
      for (TEntJwwLine* l : {&s.Ho1, &s.Ho2}) {
        scale(l->start_x, l->start_y);
        scale(l->end_x, l->end_y);
      }
      for (TEntJwwTen* p : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) {
        scale(p->start_x, p->start_y);
        p->dBairitsu *= sc;
      }
    }
  }
  for (int32_t i = 0; i < EntSolidN; ++i) {
    TEntJwwSolid& s = EntSolid[i];
    scale(s.start_x, s.start_y);
    if (s.att.nPenStyle <= 100) {
      scale(s.end_x, s.end_y);
      scale(s.DPoint2_x, s.DPoint2_y);
      scale(s.DPoint3_x, s.DPoint3_y);
    } else {
      s.end_x *= sc;
      // A ring's inner radius scales with its outer one.
      if (s.att.nPenStyle == 105 || s.att.nPenStyle == 106) s.DPoint3_y *= sc;
    }
  }
  for (int32_t i = 0; i < EntBlockN; ++i) {
    TEntJwwBlock& b = EntBlock[i];
    scale(b.DPKijunTen_x, b.DPKijunTen_y);
    b.dBairitsuX *= sc;
    b.dBairitsuY *= sc;
  }
}

}  // namespace jww
