// SPDX-License-Identifier: GPL-3.0-or-later
// Record layouts (arguments in order, all quoted in the file):
//   drawing_sheet_feature(name, type 0..4 = A0..A4 or 9 free, orient 0 upright 1 landscape, x, y)
//   layer_feature(name, lflag 1 shown)            width_feature(mm)
//   pre_defined_colour_feature(name)              user_defined_colour_feature(r, g, b)
//   pre_defined_font_feature(name)                user_defined_font_feature(name, segment, pitch list)
//   text_font_feature(name)
// Features start with layer, colour, line type and width codes (points and texts
// have no line type or width): colours 1..16 pre-defined, 17.. user-defined in
// order; line types 1..15 pre-defined, 16.. user-defined; widths 1..9 pre-defined
// (0.13 … 2.0 mm), 10.. the user-defined widths in order.
//   sfig_org_feature(name, flag) closes a figure: the features since the previous
//   sfig_org belong to it; those after the last one are the sheet's.
//   composite_curve_org_feature(colour, type, width, flag 1 shown) closes a
//   composite curve: the curves just before it whose layer is 0.
#include "sxf/sfc_drawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <unordered_map>

#include "sxf/sxf_codes.h"
#include "util/encoding.h"

namespace sxf {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
constexpr int kFigureGroups = 15;
constexpr int kLayersPerGroup = 16;
// Chord tolerance for arcs and ellipses that become polylines (boundaries
// of fills and hatching), in the feature's own units.
constexpr double kChordTolerance = 0.05;
constexpr int kMaxCurvePoints = 10000;
constexpr int kMaxHatchLines = 20000;
constexpr double kMaxHatchWork = 5e7;
// Boundary points of a fill cut into triangles (the cutting takes their square).
constexpr size_t kMaxFillPoints = 4000;
// Lines one file may make of curves and hatching (beyond its own records):
// a small malformed file must not make a drawing of billions.
constexpr int64_t kMaxGeneratedLines = 5'000'000;
// Figures one file may define: far above real drawings (dozens to a few
// thousand), low enough that naming and numbering them stays quick.
constexpr size_t kMaxFigures = 20000;
// Placement option: the members keep their own layers (an SXF figure's
// layers are the file's, not the placement's).
constexpr int kKeepLayers = 16;

// A record that cannot be used; caught in ReadSfc.
struct BadRecord {
  std::string reason;
};

constexpr const auto& kPreWidths = kSxfWidths;
constexpr const auto& kPreColours = kSxfColours;
constexpr const auto& kPreFonts = kSxfLineTypes;

using Layout = SfcLayout;
constexpr Layout kLayouts[] = {
    {"drawing_sheet_feature", 5},
    {"drawing_attribute_feature", 12},
    {"layer_feature", 2},
    {"pre_defined_colour_feature", 1},
    {"user_defined_colour_feature", 3},
    {"pre_defined_font_feature", 1},
    {"user_defined_font_feature", 3},
    {"width_feature", 1},
    {"text_font_feature", 1},
    {"point_marker_feature", 7},
    {"line_feature", 8},
    {"polyline_feature", 7},
    {"circle_feature", 7},
    {"arc_feature", 10},
    {"ellipse_feature", 9},
    {"ellipse_arc_feature", 12},
    {"text_string_feature", 13},
    {"spline_feature", 8},
    {"clothoid_feature", 11},
    {"linear_dim_feature", 44},
    {"curve_dim_feature", 45},
    {"angular_dim_feature", 45},
    {"radius_dim_feature", 25},
    {"diameter_dim_feature", 30},
    {"label_feature", 21},
    {"balloon_feature", 24},
    {"composite_curve_org_feature", 4},
    {"externally_defined_hatch_feature", 5},
    {"fill_area_style_colour_feature", 5},
    {"fill_area_style_hatching_feature", -1},
    {"fill_area_style_tiles_feature", -1},
    {"sfig_org_feature", 2},
    {"sfig_locate_feature", 7},
    {"attribute_feature", -1},
};

const Layout* FindLayout(std::string_view name) {
  for (const Layout& l : kLayouts) {
    if (name == l.name) return &l;
  }
  return nullptr;
}

// A feature name's place in kLayouts, found while compiling (a misspelt
// name does not compile).
consteval int Kind(std::string_view name) {
  for (size_t i = 0; i < std::size(kLayouts); ++i) {
    if (std::string_view(kLayouts[i].name) == name) return static_cast<int>(i);
  }
  throw "not a feature name";
}

int KindOf(std::string_view name) {
  for (size_t i = 0; i < std::size(kLayouts); ++i) {
    if (name == kLayouts[i].name) return static_cast<int>(i);
  }
  return -1;
}

bool IsCurve(int n) {
  return n == Kind("line_feature") || n == Kind("polyline_feature") || n == Kind("arc_feature") ||
         n == Kind("ellipse_arc_feature") || n == Kind("spline_feature") ||
         n == Kind("clothoid_feature") || n == Kind("circle_feature") || n == Kind("ellipse_feature");
}

struct Vec {
  double x = 0, y = 0;
};

// ---- arguments ----

class Args {
 public:
  Args(const SfcFile& f, const SfcRecord& r) : f_(f), r_(r), enc_(f.encoding) {}

  size_t size() const { return r_.argCount; }
  std::string_view Raw(size_t i) const {
    if (i >= r_.argCount) throw BadRecord{"argument " + std::to_string(i + 1) + " is missing"};
    return f_.Arg(r_, i);
  }
  double Num(size_t i) const { return ParseNum(Raw(i), i); }
  int Int(size_t i) const {
    // Codes and counts are mostly a few plain digits.
    const std::string_view raw = Raw(i);
    if (!raw.empty() && raw.size() <= 9) {
      int v = 0;
      bool digits = true;
      for (const char c : raw) {
        if (c < '0' || c > '9') {
          digits = false;
          break;
        }
        v = v * 10 + (c - '0');
      }
      if (digits) return v;
    }
    const double v = Num(i);
    if (v < -1e9 || v > 1e9 || v != std::floor(v))
      throw BadRecord{"argument " + std::to_string(i + 1) + " is not a whole number"};
    return static_cast<int>(v);
  }
  std::u16string Text(size_t i) const {
    const std::string_view s = Raw(i);
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    if (enc_ == SfcEncoding::kUtf8) {
      std::u16string t = util::FromUtf8(s);
      if (util::ToUtf8(t) != s)
        throw BadRecord{"argument " + std::to_string(i + 1) + " is not valid UTF-8"};
      return t;
    }
    if (!IsValidShiftJis(s))
      throw BadRecord{"argument " + std::to_string(i + 1) + " is not valid Shift-JIS"};
    return util::AnsiBytesToStr(std::span<const uint8_t>(p, s.size()));
  }
  std::vector<double> List(size_t i) const {
    std::vector<std::string_view> items;
    if (!SplitList(Raw(i), items))
      throw BadRecord{"argument " + std::to_string(i + 1) + " is not a list"};
    std::vector<double> v;
    v.reserve(items.size());
    for (std::string_view s : items) v.push_back(ParseNum(s, i));
    return v;
  }
  std::vector<std::vector<double>> Tuples(size_t i) const {
    std::vector<std::string_view> items;
    if (!SplitList(Raw(i), items))
      throw BadRecord{"argument " + std::to_string(i + 1) + " is not a list"};
    std::vector<std::vector<double>> v;
    for (std::string_view s : items) {
      std::vector<std::string_view> inner;
      std::vector<double> t;
      if (SplitList(s, inner)) {
        for (std::string_view x : inner) t.push_back(ParseNum(x, i));
      } else {
        t.push_back(ParseNum(s, i));
      }
      v.push_back(std::move(t));
    }
    return v;
  }

 private:
  // "-123.456": at most 15 digits and no exponent, so the digits are an
  // exact double and so is the power of ten; their quotient is the correctly
  // rounded value, as std::from_chars would give. Nothing when it is not.
  static std::optional<double> PlainDecimal(std::string_view s) {
    constexpr double kTens[] = {1,   1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t k = 0;
    const bool negative = !s.empty() && (s[0] == '-' || s[0] == '+') && s[k++] == '-';
    int64_t digits = 0;
    int count = 0, decimals = -1;
    for (; k < s.size(); ++k) {
      const char c = s[k];
      if (c >= '0' && c <= '9') {
        digits = digits * 10 + (c - '0');
        if (++count > 15) return std::nullopt;
        if (decimals >= 0) ++decimals;
      } else if (c == '.' && decimals < 0) {
        decimals = 0;
      } else {
        return std::nullopt;
      }
    }
    if (count == 0) return std::nullopt;
    const double v = static_cast<double>(digits) / kTens[decimals > 0 ? decimals : 0];
    return negative ? -v : v;
  }

  static double ParseNum(std::string_view s, size_t i) {
    if (const std::optional<double> quick = PlainDecimal(s)) return *quick;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    double v = 0;
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e || !std::isfinite(v))
      throw BadRecord{"argument " + std::to_string(i + 1) + " is not a number"};
    return v;
  }

  const SfcFile& f_;
  const SfcRecord& r_;
  SfcEncoding enc_;
};

// ---- frames: where a figure's own coordinates go in the document ----

struct Frame {
  Vec origin;         // added to every point
  bool swap = false;  // surveying axes (x north, y east) into mathematical ones

  Vec P(double x, double y) const {
    return swap ? Vec{y + origin.x, x + origin.y} : Vec{x + origin.x, y + origin.y};
  }
  double Angle(double deg) const { return swap ? 90.0 - deg : deg; }
};

// ---- styles ----

struct Styles {
  std::vector<double> userWidths;
  std::vector<std::u16string> fonts;
  int userColours = 0;
  int userLineTypes = 0;
};

struct Attr {
  int layer = 0, colour = 0, type = 0, width = 0;  // SXF codes
};

double WidthMm(const Styles& s, int code) {
  if (code >= 1 && code <= 9) return kPreWidths[code - 1];
  if (code >= 10 && static_cast<size_t>(code - 10) < s.userWidths.size())
    return s.userWidths[code - 10];
  return 0.25;
}

int JwwColour(int code) { return (code >= 1 && code <= 256) ? 100 + code : 101; }
int JwwLineType(int code) { return (code >= 1 && code <= 32) ? 30 + code : 31; }

// ---- flattening ----

int SegmentsFor(double radius, double sweepRad) {
  if (!(radius > 0)) return 1;
  const double step = 2.0 * std::acos(std::max(-1.0, 1.0 - kChordTolerance / radius));
  const double n = step > 0 ? std::ceil(std::fabs(sweepRad) / step) : kMaxCurvePoints;
  return static_cast<int>(std::clamp(n, 4.0, static_cast<double>(kMaxCurvePoints)));
}

// Sweep of a counter-clockwise arc from a to b in degrees, in (0, 360].
double CcwSweep(double a, double b) {
  double s = std::fmod(b - a, 360.0);
  if (s <= 1e-12) s += 360.0;
  return s;
}

std::vector<Vec> EllipsePoints(Vec c, double rx, double ry, double rotDeg, double startDeg,
                               double sweepDeg) {
  const int n = SegmentsFor(std::max(std::fabs(rx), std::fabs(ry)), sweepDeg * kDeg);
  std::vector<Vec> pts;
  pts.reserve(n + 1);
  const double cr = std::cos(rotDeg * kDeg), sr = std::sin(rotDeg * kDeg);
  for (int i = 0; i <= n; ++i) {
    const double t = (startDeg + sweepDeg * i / n) * kDeg;
    const double x = rx * std::cos(t), y = ry * std::sin(t);
    pts.push_back({c.x + x * cr - y * sr, c.y + x * sr + y * cr});
  }
  return pts;
}

// A curve through the given points (uniform Catmull-Rom), closed when asked.
std::vector<Vec> SplinePoints(const std::vector<Vec>& p, bool closed) {
  if (p.size() < 3) return p;
  const size_t n = p.size();
  const size_t spans = closed ? n : n - 1;
  const int per = static_cast<int>(std::clamp<size_t>(kMaxCurvePoints / spans, 1, 16));
  auto at = [&](int64_t i) -> Vec {
    if (closed) return p[static_cast<size_t>((i % static_cast<int64_t>(n) + n) % n)];
    return p[static_cast<size_t>(std::clamp<int64_t>(i, 0, static_cast<int64_t>(n) - 1))];
  };
  std::vector<Vec> out;
  for (size_t s = 0; s < spans; ++s) {
    const Vec a = at(s - 1), b = at(s), c = at(s + 1), d = at(s + 2);
    for (int k = 0; k < per; ++k) {
      const double t = static_cast<double>(k) / per, t2 = t * t, t3 = t2 * t;
      auto f = [&](double A, double B, double C, double D) {
        return 0.5 * (2 * B + (-A + C) * t + (2 * A - 5 * B + 4 * C - D) * t2 +
                      (-A + 3 * B - 3 * C + D) * t3);
      };
      out.push_back({f(a.x, b.x, c.x, d.x), f(a.y, b.y, c.y, d.y)});
    }
  }
  out.push_back(closed ? p.front() : p.back());
  return out;
}

// A clothoid with parameter A from its origin (curvature 0) at `base`, leaving
// in direction `angleDeg`, turning left (direction 1) or right, between the
// lengths s0 and s1.
std::vector<Vec> ClothoidPoints(Vec base, double a, int direction, double angleDeg, double s0,
                                double s1) {
  if (!(a > 0) || !(s1 > s0)) throw BadRecord{"the clothoid has no length"};
  const double sign = direction == 1 ? 1.0 : -1.0;
  const int n = static_cast<int>(std::clamp(std::ceil((s1 - s0) / std::max(a * 0.01, 1e-9)), 8.0,
                                            static_cast<double>(kMaxCurvePoints)));
  const double h = (s1 - s0) / n;
  const int sub = 8;
  auto theta = [&](double s) { return angleDeg * kDeg + sign * s * s / (2 * a * a); };
  // Position at s0 by integrating from 0.
  Vec p = base;
  const int n0 = static_cast<int>(std::clamp(std::ceil(s0 / std::max(h, 1e-9)), 0.0, 1e6));
  for (int i = 0; i < n0; ++i) {
    const double u = s0 * (i + 0.5) / n0;
    p.x += std::cos(theta(u)) * s0 / n0;
    p.y += std::sin(theta(u)) * s0 / n0;
  }
  std::vector<Vec> pts{p};
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < sub; ++k) {
      const double u = s0 + h * (i + (k + 0.5) / sub);
      p.x += std::cos(theta(u)) * h / sub;
      p.y += std::sin(theta(u)) * h / sub;
    }
    pts.push_back(p);
  }
  return pts;
}

// ---- polygons for fills and hatching ----

double Cross(Vec o, Vec a, Vec b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

bool InTriangle(Vec p, Vec a, Vec b, Vec c) {
  return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

// Triangles of a simple polygon (ear clipping).
std::vector<std::array<Vec, 3>> Triangulate(std::vector<Vec> p) {
  std::vector<std::array<Vec, 3>> out;
  if (p.size() > 1 && std::hypot(p.front().x - p.back().x, p.front().y - p.back().y) < 1e-9)
    p.pop_back();
  if (p.size() < 3) return out;
  double area = 0;
  for (size_t i = 0; i < p.size(); ++i) area += Cross({0, 0}, p[i], p[(i + 1) % p.size()]);
  if (area < 0) std::reverse(p.begin(), p.end());
  size_t guard = p.size() * p.size() + 10;
  size_t i = 0;
  while (p.size() > 3 && guard-- > 0) {
    const size_t n = p.size();
    const Vec a = p[(i + n - 1) % n], b = p[i % n], c = p[(i + 1) % n];
    bool ear = Cross(a, b, c) > 0;
    for (size_t k = 0; ear && k < n; ++k) {
      if (k == (i + n - 1) % n || k == i % n || k == (i + 1) % n) continue;
      if (InTriangle(p[k], a, b, c)) ear = false;
    }
    if (ear) {
      out.push_back({a, b, c});
      p.erase(p.begin() + static_cast<std::ptrdiff_t>(i % n));
    } else {
      ++i;
    }
  }
  if (p.size() == 3) out.push_back({p[0], p[1], p[2]});
  return out;
}

// Segments of the hatch lines through `start` in direction `angleDeg`,
// `spacing` apart, inside the rings (even-odd).
std::vector<std::pair<Vec, Vec>> HatchLines(const std::vector<std::vector<Vec>>& rings, Vec start,
                                            double spacing, double angleDeg, bool* cut) {
  std::vector<std::pair<Vec, Vec>> out;
  if (!(spacing > 0)) return out;
  const Vec d{std::cos(angleDeg * kDeg), std::sin(angleDeg * kDeg)};
  const Vec nrm{-d.y, d.x};
  auto across = [&](Vec v) { return (v.x - start.x) * nrm.x + (v.y - start.y) * nrm.y; };
  auto along = [&](Vec v) { return (v.x - start.x) * d.x + (v.y - start.y) * d.y; };
  double lo = 1e300, hi = -1e300;
  for (const auto& r : rings)
    for (Vec v : r) {
      lo = std::min(lo, across(v));
      hi = std::max(hi, across(v));
    }
  if (lo > hi) return out;
  const double k0 = std::ceil(lo / spacing), k1 = std::floor(hi / spacing);
  size_t edges = 0;
  for (const auto& r : rings) edges += r.size();
  // Lines are counted from k0 (k0 + 1 may equal k0 far from the start
  // point); the work is lines times edges.
  if (!(k1 - k0 <= kMaxHatchLines) || (k1 - k0 + 1) * static_cast<double>(edges) > kMaxHatchWork) {
    *cut = true;
    return out;
  }
  const int64_t lines = k1 < k0 ? 0 : static_cast<int64_t>(k1 - k0) + 1;
  std::vector<double> xs;
  for (int64_t j = 0; j < lines; ++j) {
    const double c = (k0 + static_cast<double>(j)) * spacing;
    xs.clear();
    for (const auto& r : rings) {
      for (size_t i = 0; i + 1 < r.size(); ++i) {
        const double t0 = across(r[i]), t1 = across(r[i + 1]);
        if ((t0 <= c && c < t1) || (t1 <= c && c < t0)) {
          const double u = (c - t0) / (t1 - t0);
          const Vec q{r[i].x + (r[i + 1].x - r[i].x) * u, r[i].y + (r[i + 1].y - r[i].y) * u};
          xs.push_back(along(q));
        }
      }
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
      auto point = [&](double s) {
        return Vec{start.x + d.x * s + nrm.x * c, start.y + d.y * s + nrm.y * c};
      };
      out.push_back({point(xs[i]), point(xs[i + 1])});
    }
  }
  return out;
}

// ---- the reader ----

struct Composite {
  size_t first = 0, org = 0;  // member records [first, org)
  int owner = -1;             // figure index, -1 the sheet
};

class Reader {
 public:
  Reader(SfcReport& report, jww::TJwwData& doc, std::string_view text, int64_t maxPlacements)
      : rep_(report), f_(report.file), text_(text), doc_(doc), maxPlacements_(maxPlacements) {}

  void Run() {
    Survey();
    doc_.DataDefaultSet();
    doc_.Enthd.jwVer = 700;
    SetSheet();
    if (!doc_.AddEntPre()) throw std::bad_alloc();
    MakeDefinitions();
    ReserveLists();
    for (size_t i = 0; i < f_.records.size(); ++i) {
      if (!nestedLocate_.count(i)) Feature(i);
    }
    // Placements inside figures, outer figures first: a figure is placed
    // into another before it places anything itself, so the builder's own
    // ring check finds nothing to walk (rings were refused before).
    for (int fig : topDown_)
      for (size_t i : nestedOf_[fig]) Feature(i);
    for (int32_t d = 0; d < doc_.EntBlockDefN; ++d) doc_.AddBlkDefPost(d);
    if (!doc_.AddEntPost()) throw std::bad_alloc();
    NameGroupsAndLayers();
  }

 private:
  // -- first pass: tables, figures, owners, composite curves --

  void Survey() {
    int figureStart = 0;
    owner_.assign(f_.records.size(), -1);
    std::vector<int> countByName(f_.names.size(), 0);
    layoutOf_.resize(f_.names.size());
    kindOf_.resize(f_.names.size());
    for (size_t k = 0; k < f_.names.size(); ++k) {
      layoutOf_[k] = FindLayout(f_.names[k]);
      kindOf_[k] = KindOf(f_.names[k]);
    }
    for (size_t i = 0; i < f_.records.size(); ++i) {
      const SfcRecord& r = f_.records[i];
      ++countByName[r.name];
      At(i, [&] { SurveyOne(i, r, figureStart); });
    }
    for (size_t k = 0; k < f_.names.size(); ++k) rep_.features[f_.names[k]] = countByName[k];
    // Owners: figure k owns the records since the previous sfig_org.
    size_t from = 0;
    for (size_t k = 0; k < rep_.figures.size(); ++k) {
      const size_t org = orgIndex_[k];
      for (size_t i = from; i < org; ++i) owner_[i] = static_cast<int>(k);
      from = org + 1;
    }
    for (size_t i = 0; i < f_.records.size(); ++i) {
      const int o = owner_[i];
      if (o >= 0 && IsDrawn(kindOf_[f_.records[i].name])) ++rep_.figures[o].members;
    }
    (void)figureStart;
  }

  // Whether a record is a feature of the drawing rather than a table entry.
  static bool IsDrawn(int n) {
    return n >= 0 && n != Kind("drawing_sheet_feature") && n != Kind("drawing_attribute_feature") &&
           n != Kind("layer_feature") && n != Kind("pre_defined_colour_feature") &&
           n != Kind("user_defined_colour_feature") && n != Kind("pre_defined_font_feature") &&
           n != Kind("user_defined_font_feature") && n != Kind("width_feature") &&
           n != Kind("text_font_feature") && n != Kind("sfig_org_feature");
  }

  void SurveyOne(size_t i, const SfcRecord& r, int&) {
    const Layout* layout = layoutOf_[r.name];
    const int n = kindOf_[r.name];
    const std::string& name = f_.Name(r);
    if (!layout) {
      Warn("record #" + std::to_string(r.number) + ": unknown feature " + name + " was left out");
      return;
    }
    if (layout->args >= 0 && static_cast<int>(r.argCount) != layout->args)
      throw BadRecord{name + " needs " + std::to_string(layout->args) + " arguments, not " +
                      std::to_string(r.argCount)};
    const Args a(f_, r);
    if (n == Kind("layer_feature")) {
      layers_.push_back({a.Text(0), a.Int(1) != 0});
    } else if (n == Kind("width_feature")) {
      const double w = a.Num(0);
      if (!(w > 0)) throw BadRecord{"the width is not positive"};
      bool pre = false;
      for (double p : kPreWidths) pre = pre || std::fabs(p - w) < 1e-6;
      if (!pre) styles_.userWidths.push_back(w);
    } else if (n == Kind("text_font_feature")) {
      styles_.fonts.push_back(a.Text(0));
    } else if (n == Kind("pre_defined_colour_feature")) {
      const std::string_view name = a.Raw(0);
      if (std::none_of(std::begin(kPreColours), std::end(kPreColours),
                       [&](const char* c) { return name == c; }))
        Warn("record #" + std::to_string(r.number) + ": unknown pre-defined colour " +
             std::string(name));
    } else if (n == Kind("user_defined_colour_feature")) {
      ++styles_.userColours;
      userColours_.push_back({a.Int(0), a.Int(1), a.Int(2)});
    } else if (n == Kind("pre_defined_font_feature")) {
      const std::string_view name = a.Raw(0);
      if (std::none_of(std::begin(kPreFonts), std::end(kPreFonts),
                       [&](const char* c) { return name == c; }))
        Warn("record #" + std::to_string(r.number) + ": unknown pre-defined line type " +
             std::string(name));
    } else if (n == Kind("user_defined_font_feature")) {
      UserLineType u;
      u.name = a.Text(0);
      u.pitches = a.List(2);
      if (u.pitches.size() > 10) throw BadRecord{"a line type has more than 10 pitches"};
      userLineTypes_.push_back(std::move(u));
    } else if (n == Kind("drawing_sheet_feature")) {
      sheet_ = {a.Int(1), a.Int(2), a.Num(3), a.Num(4), true};
      sheetName_ = a.Text(0);
    } else if (n == Kind("drawing_attribute_feature")) {
      // Project, contract, contract type, drawing name, number, type and
      // scale, the year, month and day it was made (year 0: none), the
      // contractor and the owner: the texts given, one after the other.
      auto add = [&](std::u16string t) {
        if (t.find_first_not_of(u' ') == std::u16string::npos) return;
        if (!memo_.empty()) memo_ += u" ";
        memo_ += t;
      };
      for (size_t k = 0; k < 7; ++k) add(a.Text(k));
      if (a.Int(7) > 0)
        add(util::FromUtf8(std::to_string(a.Int(7)) + "-" + std::to_string(a.Int(8)) + "-" +
                           std::to_string(a.Int(9))));
      add(a.Text(10));
      add(a.Text(11));
    } else if (n == Kind("sfig_org_feature")) {
      SfcFigure fig;
      fig.name = a.Text(0);
      fig.flag = a.Int(1);
      fig.record = r.number;
      if (fig.flag < 1 || fig.flag > 4) throw BadRecord{"the figure's flag is not 1 to 4"};
      if (!figureByName_.emplace(fig.name, static_cast<int>(rep_.figures.size())).second)
        throw BadRecord{"the figure name is defined twice"};
      rep_.figures.push_back(std::move(fig));
      orgIndex_.push_back(i);
    } else if (n == Kind("composite_curve_org_feature")) {
      size_t first = i;
      while (first > 0 && IsCurve(kindOf_[f_.records[first - 1].name]) &&
             f_.records[first - 1].argCount > 0 && f_.Arg(f_.records[first - 1], 0) == "0")
        --first;
      for (size_t k = first; k < i; ++k) compositeMember_.insert(k);
      composites_.push_back({first, i, static_cast<int>(rep_.figures.size())});
    }
  }

  // Runs `f` for record i; a BadRecord becomes the read's error.
  template <typename F>
  void At(size_t i, F&& f) {
    try {
      f();
    } catch (const BadRecord& b) {
      rep_.error.record = f_.records[i].number;
      rep_.error.line = LineAt(text_, f_.records[i].offset);
      rep_.error.reason = f_.Name(f_.records[i]) + ": " + b.reason;
      throw;
    }
  }

  void Warn(std::string text) {
    if (std::find(rep_.warnings.begin(), rep_.warnings.end(), text) == rep_.warnings.end())
      rep_.warnings.push_back(std::move(text));
  }

  // -- sheet and styles --

  void SetSheet() {
    static constexpr double kA[][2] = {{1189, 841}, {841, 594}, {594, 420}, {420, 297}, {297, 210}};
    double w = 420, h = 297;
    int code = 3;
    if (!sheet_.known) {
      Warn("the file has no drawing_sheet_feature; an A3 landscape sheet was assumed");
    } else if (sheet_.type >= 0 && sheet_.type <= 4) {
      code = sheet_.type;
      w = kA[code][0];
      h = kA[code][1];
      if (sheet_.orient == 0) std::swap(w, h);
    } else if (sheet_.type == 9) {
      w = sheet_.x;
      h = sheet_.y;
      if (!(w > 0) || !(h > 0)) throw BadRecord{"the free sheet has no size"};
      code = 0;
      for (int c = 4; c >= 0; --c) {
        if (std::max(w, h) <= kA[c][0] && std::min(w, h) <= kA[c][1]) {
          code = c;
          break;
        }
      }
    } else {
      Warn("the sheet type " + std::to_string(sheet_.type) + " is unknown; A3 was assumed");
    }
    if (h > w) Warn("the sheet is upright; Jw_cad's paper is landscape");
    rep_.sheetWidth = w;
    rep_.sheetHeight = h;
    sheetFrame_.origin = {-w / 2, -h / 2};
    doc_.Enthd.nZumen = code;
    doc_.Enthd.strMemo = memo_;

    for (size_t k = 0; k < userColours_.size(); ++k) {
      const size_t code = 17 + k;
      if (code >= doc_.EntColS.size()) {
        Warn("more user-defined colours than the colour table holds; the rest are grey");
        break;
      }
      const auto& c = userColours_[k];
      const int32_t ref = std::clamp(c[0], 0, 255) | std::clamp(c[1], 0, 255) << 8 |
                          std::clamp(c[2], 0, 255) << 16;
      doc_.EntColS[code].aPenColor = ref;
      doc_.EntColS[code].aPrtPenColor = ref;
    }
    for (size_t k = 0; k < userLineTypes_.size(); ++k) {
      const size_t code = 16 + k;
      if (code >= doc_.EntLtpS.size()) {
        Warn("more user-defined line types than the line-type table holds");
        break;
      }
      jww::TEntJwwLineTypeExNo& t = doc_.EntLtpS[code];
      t.astrUDLTypeName = userLineTypes_[k].name;
      t.anUDLTypeSegment = static_cast<int32_t>(userLineTypes_[k].pitches.size());
      t.aadUDLTypePitch = {};
      std::copy(userLineTypes_[k].pitches.begin(), userLineTypes_[k].pitches.end(),
                t.aadUDLTypePitch.begin());
    }
  }

  // -- layers: SXF layer n to layer n-1 of its group while there are 16 or fewer --

  int LayerSlot(int owner, int layer) {
    if (layer < 1 || static_cast<size_t>(layer) > layers_.size()) {
      if (layer != 0) Warn("a feature names layer " + std::to_string(layer) + ", which does not exist");
      return 0;
    }
    if (layers_.size() <= kLayersPerGroup) return layer - 1;
    auto& slots = slots_[owner];
    auto it = slots.find(layer);
    if (it != slots.end()) return it->second;
    const int next = static_cast<int>(slots.size());
    if (next >= kLayersPerGroup) {
      Warn("more than 16 SXF layers meet in one layer group; the rest share its layer F");
      return kLayersPerGroup - 1;
    }
    slots.emplace(layer, next);
    return next;
  }

  // -- definitions, in placement order of the sub-drawings --

  void MakeDefinitions() {
    if (rep_.figures.size() > kMaxFigures)
      throw BadRecord{"more than " + std::to_string(kMaxFigures) + " figures"};
    std::vector<int> order;
    std::vector<bool> done(rep_.figures.size(), false);
    nestedOf_.resize(rep_.figures.size());
    std::vector<std::vector<std::pair<int, size_t>>> placed(rep_.figures.size());
    for (size_t i = 0; i < f_.records.size(); ++i) {
      const SfcRecord& r = f_.records[i];
      if (kindOf_[r.name] != Kind("sfig_locate_feature")) continue;
      const int fig = FigureOf(i);
      if (fig < 0) continue;
      SfcFigure& f = rep_.figures[fig];
      ++f.placements;
      if (owner_[i] < 0) topPlaced_.push_back(fig);
      if (owner_[i] >= 0) {
        nestedLocate_.insert(i);
        nestedOf_[owner_[i]].push_back(i);
        placed[owner_[i]].push_back({fig, i});
      }
      if (owner_[i] == -1 && !done[fig]) {
        At(i, [&] { f.ratio = Args(f_, r).Num(5); });
        done[fig] = true;
        order.push_back(fig);
      }
    }
    for (size_t k = 0; k < rep_.figures.size(); ++k)
      if (!done[k]) order.push_back(static_cast<int>(k));
    for (int k : order) {
      SfcFigure& f = rep_.figures[k];
      if (!doc_.AddBlkDef(0, 0, 0, 1, 1, 0, 0, f.flag, f.name)) throw std::bad_alloc();
      f.definition = doc_.EntBlockDefN - 1;
    }
    OrderTopDown(placed);
    CountPlacements(placed);
  }

  // Placements the block tree will hold, nested ones counted through every
  // placement of their figure (saturating).
  void CountPlacements(const std::vector<std::vector<std::pair<int, size_t>>>& placed) {
    constexpr int64_t kSaturated = int64_t{1} << 60;
    std::vector<int64_t> inside(placed.size(), 0);
    for (auto it = topDown_.rbegin(); it != topDown_.rend(); ++it) {
      int64_t n = 0;
      for (const auto& [child, record] : placed[*it]) n = std::min(kSaturated, n + 1 + inside[child]);
      inside[*it] = n;
    }
    int64_t total = 0;
    for (int fig : topPlaced_) total = std::min(kSaturated, total + 1 + inside[fig]);
    rep_.placements = total;
    if (total > maxPlacements_)
      throw BadRecord{"figures placed inside figures make " + std::to_string(total) +
                      " placements, more than " + std::to_string(maxPlacements_)};
  }

  // Figures with every placing figure before the figures it places; a ring
  // of figures placing each other fails at the placement that closes it.
  void OrderTopDown(const std::vector<std::vector<std::pair<int, size_t>>>& placed) {
    const size_t n = placed.size();
    std::vector<uint8_t> state(n, 0);  // 0 new, 1 on the path, 2 done
    std::vector<int> postOrder;
    for (size_t root = 0; root < n; ++root) {
      if (state[root]) continue;
      std::vector<std::pair<int, size_t>> stack{{static_cast<int>(root), 0}};
      state[root] = 1;
      while (!stack.empty()) {
        auto& [fig, next] = stack.back();
        if (next < placed[fig].size()) {
          const auto [child, record] = placed[fig][next++];
          if (state[child] == 1) {
            At(record, [&] { throw BadRecord{"the figures place each other in a ring"}; });
          }
          if (state[child] == 0) {
            state[child] = 1;
            stack.push_back({child, 0});
          }
          continue;
        }
        state[fig] = 2;
        postOrder.push_back(fig);
        stack.pop_back();
      }
    }
    topDown_.assign(postOrder.rbegin(), postOrder.rend());
  }

  int FigureOf(size_t i) {
    const SfcRecord& r = f_.records[i];
    if (r.argCount < 2) return -1;
    std::u16string name;
    At(i, [&] { name = Args(f_, r).Text(1); });
    auto it = figureByName_.find(name);
    if (it == figureByName_.end()) {
      At(i, [&] { throw BadRecord{"it places a figure that is not defined"}; });
    }
    return it->second;
  }

  // Room for what the records make, so that the lists of a drawing of a
  // million features are not copied over and over as they grow. (Curves,
  // hatching and long polylines make more; their lists grow as before.)
  void ReserveLists() {
    struct Counts {
      size_t line = 0, arc = 0, text = 0, dim = 0;
    };
    std::vector<Counts> by(rep_.figures.size() + 1);
    for (size_t i = 0; i < f_.records.size(); ++i) {
      Counts& c = by[static_cast<size_t>(owner_[i] + 1)];
      const int n = kindOf_[f_.records[i].name];
      if (n == Kind("line_feature")) {
        ++c.line;
      } else if (n == Kind("polyline_feature")) {
        c.line += 2;
      } else if (n == Kind("arc_feature") || n == Kind("circle_feature") ||
                 n == Kind("ellipse_feature") || n == Kind("ellipse_arc_feature")) {
        ++c.arc;
      } else if (n == Kind("text_string_feature")) {
        ++c.text;
      } else if (n == Kind("linear_dim_feature") || n == Kind("radius_dim_feature") ||
                 n == Kind("diameter_dim_feature")) {
        ++c.dim;
      }
    }
    auto reserve = [](const Counts& c, auto& no, auto& line, auto& arc, auto& text, auto& dim) {
      no.reserve(no.size() + c.line + c.arc + c.text + c.dim);
      line.reserve(line.size() + c.line);
      arc.reserve(arc.size() + c.arc);
      text.reserve(text.size() + c.text);
      dim.reserve(dim.size() + c.dim);
    };
    reserve(by[0], doc_.EntNo, doc_.EntLine, doc_.EntEnko, doc_.EntMoji, doc_.EntSunpo);
    for (size_t k = 0; k < rep_.figures.size(); ++k) {
      jww::TEntJwwBlockDef& d = doc_.EntBlockDef[rep_.figures[k].definition];
      reserve(by[k + 1], d.mNo, d.mLine, d.mEnko, d.mMoji, d.mSunpo);
    }
  }

  // -- the features --

  Frame FrameOf(int owner) const {
    if (owner < 0) return sheetFrame_;
    Frame f;
    f.swap = rep_.figures[owner].flag == 2;
    return f;
  }

  struct Target {
    int def;  // -1: the drawing
    int lg;
    Frame frame;
  };

  void Feature(size_t i) {
    const SfcRecord& r = f_.records[i];
    if (compositeMember_.count(i) || !layoutOf_[r.name]) return;
    const int owner = owner_[i];
    Target t{owner < 0 ? -1 : rep_.figures[owner].definition, 0, FrameOf(owner)};
    At(i, [&] { Draw(r, Args(f_, r), t, owner); });
  }

  Attr ReadAttr(const Args& a, bool typed) {
    Attr at;
    at.layer = a.Int(0);
    at.colour = a.Int(1);
    if (typed) {
      at.type = a.Int(2);
      at.width = a.Int(3);
    }
    return at;
  }

  struct Pen {
    int ly, co, tp, wd;
  };
  Pen PenOf(const Attr& at, int owner) {
    return {LayerSlot(owner, at.layer), JwwColour(at.colour), JwwLineType(at.type),
            static_cast<int>(std::lround(WidthMm(styles_, at.width) * 100))};
  }

  bool Ok(bool added) {
    if (!added) throw std::bad_alloc();
    return true;
  }

  void Line(const Target& t, const Pen& p, Vec a, Vec b) {
    if (t.def < 0)
      Ok(doc_.AddEntLine(0, t.lg, p.ly, p.co, p.tp, p.wd, 0, a.x, a.y, b.x, b.y));
    else
      Ok(doc_.AddBlkLine(t.def, 0, t.lg, p.ly, p.co, p.tp, p.wd, 0, a.x, a.y, b.x, b.y));
  }
  void Polyline(const Target& t, const Pen& p, const std::vector<Vec>& pts) {
    for (size_t k = 0; k + 1 < pts.size(); ++k) Line(t, p, pts[k], pts[k + 1]);
  }
  // Lines made from curves and hatching count against kMaxGeneratedLines.
  void Generated(size_t lines) {
    generated_ += static_cast<int64_t>(lines);
    if (generated_ > kMaxGeneratedLines)
      throw BadRecord{"the file's curves and hatching would make more than " +
                      std::to_string(kMaxGeneratedLines) + " lines"};
  }
  // Arc in the figure's own terms (ccw from a to b), radius r, flattening ry/rx.
  void Arc(const Target& t, const Pen& p, double cx, double cy, double rx, double ry, double rot,
           double a, double b, bool ccw, bool full) {
    const Vec c = t.frame.P(cx, cy);
    double start = a, end = b;
    if (!ccw) std::swap(start, end);
    double tilt = rot;
    if (t.frame.swap) {
      // Mirroring across the diagonal: angles become 90° − angle and the
      // sweep turns; an ellipse's own angles turn with it.
      tilt = 90.0 - rot;
      const double s2 = -end, e2 = -start;
      start = s2;
      end = e2;
    }
    const double sweep = full ? 360.0 : CcwSweep(start, end);
    const double ph = rx > 0 ? ry / rx : 1.0;
    if (t.def < 0)
      Ok(doc_.AddEntArc(0, t.lg, p.ly, p.co, p.tp, p.wd, full ? 8 : 0, c.x, c.y, rx, ph,
                        full ? 0 : start, sweep, tilt));
    else
      Ok(doc_.AddBlkArc(t.def, 0, t.lg, p.ly, p.co, p.tp, p.wd, full ? 8 : 0, c.x, c.y, rx, ph,
                        full ? 0 : start, sweep, tilt));
  }

  struct TextArgs {
    std::u16string str;
    double x, y, height, width, spc, angle;
    int font, bpnt, direct;
  };
  TextArgs ReadText(const Args& a, size_t font, size_t str, size_t rest) {
    TextArgs t;
    t.font = a.Int(font);
    t.str = a.Text(str);
    t.x = a.Num(rest);
    t.y = a.Num(rest + 1);
    t.height = a.Num(rest + 2);
    t.width = a.Num(rest + 3);
    t.spc = a.Num(rest + 4);
    t.angle = a.Num(rest + 5);
    t.bpnt = a.Int(rest + 7);
    t.direct = a.Int(rest + 8);
    return t;
  }

  // Width of one full-width character from the string's stated width.
  static double CharWidth(const TextArgs& t) {
    double half = 0;
    size_t chars = 0;
    for (char16_t c : t.str) {
      if (c >= 0xDC00 && c < 0xE000) continue;
      ++chars;
      half += (c < 0x7F || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
    }
    if (half <= 0) return t.height;
    const double w = (t.width - t.spc * (chars > 0 ? chars - 1.0 : 0.0)) / half * 2;
    return w > 0 ? w : t.height;
  }

  std::u16string FontName(int code) const {
    if (code >= 1 && static_cast<size_t>(code) <= styles_.fonts.size()) return styles_.fonts[code - 1];
    return u"ＭＳ ゴシック";
  }

  void Text(const Target& t, const Pen& p, const TextArgs& x) {
    if (x.str.empty()) return;
    const Vec at = t.frame.P(x.x, x.y);
    const double angle = t.frame.swap ? 90.0 - x.angle : x.angle;
    const int fl = x.direct == 2 ? 4 : 0;
    const int bp = (x.bpnt >= 1 && x.bpnt <= 9) ? x.bpnt : 1;
    const double pw = CharWidth(x);
    if (t.def < 0)
      Ok(doc_.AddEntMojiAt(0, t.lg, p.ly, p.co, bp, 0, fl, 0, at.x, at.y, pw, x.height, x.spc,
                           angle, FontName(x.font), x.str));
    else
      Ok(doc_.AddBlkMojiAt(t.def, 0, t.lg, p.ly, p.co, bp, 0, fl, 0, at.x, at.y, pw, x.height,
                           x.spc, angle, FontName(x.font), x.str));
  }

  std::vector<Vec> Points(const Target& t, const std::vector<double>& xs,
                          const std::vector<double>& ys, int declared) {
    if (xs.size() != ys.size() || static_cast<int>(xs.size()) != declared || declared < 2)
      throw BadRecord{"the point lists do not hold the stated number of points"};
    std::vector<Vec> pts;
    pts.reserve(xs.size());
    for (size_t k = 0; k < xs.size(); ++k) pts.push_back(t.frame.P(xs[k], ys[k]));
    return pts;
  }

  // -- dimensions --

  using Part = jww::TJwwData::TSunpoPart;

  Part AuxLine(const Target& t, const Pen& p, int flag, const Args& a, size_t at) {
    Part part;
    if (flag == 0) return part;
    const Vec s = t.frame.P(a.Num(at + 2), a.Num(at + 3)), e = t.frame.P(a.Num(at + 4), a.Num(at + 5));
    part.ex = 1;
    part.co = p.co;
    part.tp = p.tp;
    part.wd = p.wd;
    part.x1 = s.x;
    part.y1 = s.y;
    part.x2 = e.x;
    part.y2 = e.y;
    return part;
  }
  Part RefPoint(const Target& t, const Pen& p, int flag, const Args& a, size_t at) {
    Part part;
    if (flag == 0) return part;
    const Vec k = t.frame.P(a.Num(at), a.Num(at + 1));
    part.ex = 1;
    part.co = p.co;
    part.tp = -1;
    part.x1 = k.x;
    part.y1 = k.y;
    return part;
  }
  // An arrow: code1 0 none; code2 1 inwards, 2 outwards.
  Part Arrow(const Pen& p, const Args& a, size_t at) {
    Part part;
    if (a.Int(at) == 0) return part;
    part.ex = a.Int(at + 1) == 2 ? 2 : 1;
    part.co = p.co;
    part.tp = 3;
    return part;
  }

  void Dimension(const Target& t, const Pen& p, Vec a, Vec b, const TextArgs* x,
                 const jww::TJwwData::TSunpoSxfParts& parts) {
    TextArgs none{};
    const TextArgs& tx = x ? *x : none;
    const Vec at = x ? t.frame.P(tx.x, tx.y) : Vec{(a.x + b.x) / 2, (a.y + b.y) / 2};
    const double angle = t.frame.swap ? 90.0 - tx.angle : tx.angle;
    const int bp = (tx.bpnt >= 1 && tx.bpnt <= 9) ? tx.bpnt : 2;
    const double pw = x ? CharWidth(tx) : 0;
    const int fl2 = tx.direct == 2 ? 4 : 0;
    if (t.def < 0)
      Ok(doc_.AddEntSunpoSxfAt(0, t.lg, p.ly, p.co, p.tp, p.wd, 0, p.co, bp, 0, fl2, 0, a.x, a.y,
                               b.x, b.y, at.x, at.y, pw, tx.height, tx.spc, angle,
                               FontName(tx.font), tx.str, parts));
    else
      Ok(doc_.AddBlkSunpoSxfAt(t.def, 0, t.lg, p.ly, p.co, p.tp, p.wd, 0, p.co, bp, 0, fl2, 0,
                               a.x, a.y, b.x, b.y, at.x, at.y, pw, tx.height, tx.spc, angle,
                               FontName(tx.font), tx.str, parts));
  }

  // -- composite curves, fills and hatching --

  std::vector<Vec> CompositeRing(int id, const Target& t) {
    if (id < 1 || static_cast<size_t>(id) > composites_.size())
      throw BadRecord{"it names composite curve " + std::to_string(id) + ", which does not exist"};
    const Composite& c = composites_[id - 1];
    std::vector<Vec> ring;
    auto same = [](Vec a, Vec b) { return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9; };
    for (size_t k = c.first; k < c.org; ++k) {
      for (Vec v : CurvePoints(f_.records[k], t)) {
        // Segments meet end to start: each point once.
        if (ring.empty() || !same(ring.back(), v)) ring.push_back(v);
      }
    }
    if (ring.size() > 1 && same(ring.front(), ring.back())) ring.pop_back();
    if (ring.size() < 3) throw BadRecord{"the composite curve it names encloses nothing"};
    ring.push_back(ring.front());
    return ring;
  }

  // The points of one composite member, in the target's frame.
  std::vector<Vec> CurvePoints(const SfcRecord& r, const Target& t) {
    const Args a(f_, r);
    const int n = kindOf_[r.name];
    if (n == Kind("line_feature")) return {t.frame.P(a.Num(4), a.Num(5)), t.frame.P(a.Num(6), a.Num(7))};
    if (n == Kind("polyline_feature")) return Points(t, a.List(5), a.List(6), a.Int(4));
    if (n == Kind("arc_feature") || n == Kind("circle_feature")) {
      const bool circle = n == Kind("circle_feature");
      const double r0 = a.Num(6);
      double s = circle ? 0 : a.Num(8), e = circle ? 360 : a.Num(9);
      const bool ccw = circle || a.Int(7) == 0;
      std::vector<Vec> p = EllipsePoints({a.Num(4), a.Num(5)}, r0, r0, 0, ccw ? s : e,
                                         circle ? 360 : CcwSweep(ccw ? s : e, ccw ? e : s));
      if (!ccw) std::reverse(p.begin(), p.end());
      for (Vec& v : p) v = t.frame.P(v.x, v.y);
      return p;
    }
    if (n == Kind("ellipse_arc_feature") || n == Kind("ellipse_feature")) {
      const bool whole = n == Kind("ellipse_feature");
      const bool ccw = whole || a.Int(8) == 0;
      const double rot = whole ? a.Num(8) : a.Num(9);
      const double s = whole ? 0 : a.Num(10), e = whole ? 360 : a.Num(11);
      std::vector<Vec> p = EllipsePoints({a.Num(4), a.Num(5)}, a.Num(6), a.Num(7), rot,
                                         ccw ? s : e, whole ? 360 : CcwSweep(ccw ? s : e, ccw ? e : s));
      if (!ccw) std::reverse(p.begin(), p.end());
      for (Vec& v : p) v = t.frame.P(v.x, v.y);
      return p;
    }
    if (n == Kind("spline_feature")) {
      std::vector<Vec> raw = Points(Target{-1, 0, Frame{}}, a.List(6), a.List(7), a.Int(5));
      std::vector<Vec> p = SplinePoints(raw, a.Int(4) == 1);
      for (Vec& v : p) v = t.frame.P(v.x, v.y);
      return p;
    }
    if (n == Kind("clothoid_feature")) {
      std::vector<Vec> p = ClothoidPoints({a.Num(4), a.Num(5)}, a.Num(6), a.Int(7), a.Num(8),
                                          a.Num(9), a.Num(10));
      for (Vec& v : p) v = t.frame.P(v.x, v.y);
      return p;
    }
    return {};
  }

  std::vector<std::vector<Vec>> Rings(const Args& a, size_t out, const Target& t) {
    std::vector<std::vector<Vec>> rings{CompositeRing(a.Int(out), t)};
    const int inner = a.Int(out + 1);
    const std::vector<double> ids = a.List(out + 2);
    if (inner < 0 || static_cast<size_t>(inner) != ids.size())
      throw BadRecord{"the list of inner boundaries does not hold the stated number"};
    for (double id : ids) rings.push_back(CompositeRing(static_cast<int>(id), t));
    return rings;
  }

  void Fill(const Target& t, const Pen& p, const std::vector<std::vector<Vec>>& rings) {
    if (rings.size() > 1) Warn("a filled area with holes was filled without its holes");
    if (rings[0].size() > kMaxFillPoints) {
      Warn("a filled area of more than " + std::to_string(kMaxFillPoints) +
           " boundary points was left out");
      return;
    }
    const auto triangles = Triangulate(rings[0]);
    Generated(triangles.size());
    for (const auto& tri : triangles) {
      if (t.def < 0)
        Ok(doc_.AddEntSolid(0, t.lg, p.ly, p.co, 1, 0, 0, 0, tri[0].x, tri[0].y, tri[1].x, tri[1].y,
                            tri[2].x, tri[2].y));
      else
        Ok(doc_.AddBlkSolid(t.def, 0, t.lg, p.ly, p.co, 1, 0, 0, 0, tri[0].x, tri[0].y, tri[1].x,
                            tri[1].y, tri[2].x, tri[2].y));
    }
  }

  void Hatching(const Args& a, const Target& t, int owner) {
    if (a.size() < 2) throw BadRecord{"the record is too short"};
    const int layer = a.Int(0);
    const int n = a.Int(1);
    if (n < 1 || n > 4 || a.size() != static_cast<size_t>(n) + 5)
      throw BadRecord{"the number of hatch patterns does not match the record"};
    const auto rings = Rings(a, 2 + n, t);
    for (int k = 0; k < n; ++k) {
      const std::vector<double> h = a.List(2 + k);
      if (h.size() != 7) throw BadRecord{"a hatch pattern needs 7 values"};
      Attr at{layer, static_cast<int>(h[0]), static_cast<int>(h[1]), static_cast<int>(h[2])};
      const Pen p = PenOf(at, owner);
      const Vec start = t.frame.P(h[3], h[4]);
      bool cut = false;
      const auto lines = HatchLines(rings, start, h[5], t.frame.Angle(h[6]), &cut);
      Generated(lines.size());
      for (const auto& [s, e] : lines) Line(t, p, s, e);
      if (cut) Warn("a hatching of more than 20000 lines (or too many boundary points) was left out");
    }
  }

  // -- one feature --

  void Draw(const SfcRecord& r, const Args& a, Target& t, int owner) {
    const int n = kindOf_[r.name];
    if (n == Kind("line_feature")) {
      const Pen p = PenOf(ReadAttr(a, true), owner);
      Line(t, p, t.frame.P(a.Num(4), a.Num(5)), t.frame.P(a.Num(6), a.Num(7)));
    } else if (n == Kind("polyline_feature")) {
      Polyline(t, PenOf(ReadAttr(a, true), owner), Points(t, a.List(5), a.List(6), a.Int(4)));
    } else if (n == Kind("circle_feature")) {
      const double rad = a.Num(6);
      if (!(rad > 0)) throw BadRecord{"the radius is not positive"};
      Arc(t, PenOf(ReadAttr(a, true), owner), a.Num(4), a.Num(5), rad, rad, 0, 0, 360, true, true);
    } else if (n == Kind("arc_feature")) {
      const double rad = a.Num(6);
      if (!(rad > 0)) throw BadRecord{"the radius is not positive"};
      Arc(t, PenOf(ReadAttr(a, true), owner), a.Num(4), a.Num(5), rad, rad, 0, a.Num(8), a.Num(9),
          a.Int(7) == 0, false);
    } else if (n == Kind("ellipse_feature")) {
      if (!(a.Num(6) > 0) || !(a.Num(7) > 0)) throw BadRecord{"a radius is not positive"};
      Arc(t, PenOf(ReadAttr(a, true), owner), a.Num(4), a.Num(5), a.Num(6), a.Num(7), a.Num(8), 0,
          360, true, true);
    } else if (n == Kind("ellipse_arc_feature")) {
      if (!(a.Num(6) > 0) || !(a.Num(7) > 0)) throw BadRecord{"a radius is not positive"};
      Arc(t, PenOf(ReadAttr(a, true), owner), a.Num(4), a.Num(5), a.Num(6), a.Num(7), a.Num(9),
          a.Num(10), a.Num(11), a.Int(8) == 0, false);
    } else if (n == Kind("point_marker_feature")) {
      const Pen p = PenOf(ReadAttr(a, false), owner);
      const Vec at = t.frame.P(a.Num(2), a.Num(3));
      if (t.def < 0)
        Ok(doc_.AddEntTen(0, t.lg, p.ly, p.co, 0, 0, 0, at.x, at.y, t.frame.Angle(a.Num(5)), a.Num(6)));
      else
        Ok(doc_.AddBlkTen(t.def, 0, t.lg, p.ly, p.co, 0, 0, 0, at.x, at.y, t.frame.Angle(a.Num(5)),
                          a.Num(6)));
    } else if (n == Kind("text_string_feature")) {
      Text(t, PenOf(ReadAttr(a, false), owner), ReadText(a, 2, 3, 4));
    } else if (n == Kind("spline_feature") || n == Kind("clothoid_feature")) {
      const std::vector<Vec> pts = CurvePoints(r, t);
      Generated(pts.size());
      Polyline(t, PenOf(ReadAttr(a, true), owner), pts);
    } else if (n == Kind("linear_dim_feature")) {
      const Pen p = PenOf(ReadAttr(a, true), owner);
      jww::TJwwData::TSunpoSxfParts parts;
      parts.ho1 = AuxLine(t, p, a.Int(8), a, 9);
      parts.kt1 = RefPoint(t, p, a.Int(8), a, 9);
      parts.ho2 = AuxLine(t, p, a.Int(15), a, 16);
      parts.kt2 = RefPoint(t, p, a.Int(15), a, 16);
      parts.te1 = Arrow(p, a, 22);
      parts.te2 = Arrow(p, a, 27);
      std::optional<TextArgs> x;
      if (a.Int(32) != 0) x = ReadText(a, 33, 34, 35);
      Dimension(t, p, t.frame.P(a.Num(4), a.Num(5)), t.frame.P(a.Num(6), a.Num(7)),
                x ? &*x : nullptr, parts);
    } else if (n == Kind("radius_dim_feature") || n == Kind("diameter_dim_feature")) {
      const Pen p = PenOf(ReadAttr(a, true), owner);
      const bool radius = n == Kind("radius_dim_feature");
      jww::TJwwData::TSunpoSxfParts parts;
      parts.te2 = Arrow(p, a, 8);
      if (!radius) parts.te1 = Arrow(p, a, 13);
      const size_t flag = radius ? 13 : 18;
      std::optional<TextArgs> x;
      if (a.Int(flag) != 0) x = ReadText(a, flag + 1, flag + 2, flag + 3);
      Dimension(t, p, t.frame.P(a.Num(4), a.Num(5)), t.frame.P(a.Num(6), a.Num(7)),
                x ? &*x : nullptr, parts);
    } else if (n == Kind("curve_dim_feature") || n == Kind("angular_dim_feature")) {
      // The dimension line is an arc: drawn as an arc with its auxiliary
      // lines and text (Jw_cad's dimensions are straight).
      const Pen p = PenOf(ReadAttr(a, true), owner);
      Arc(t, p, a.Num(4), a.Num(5), a.Num(6), a.Num(6), 0, a.Num(7), a.Num(8), true, false);
      for (size_t flag : {9, 16}) {
        if (a.Int(flag) != 0)
          Line(t, p, t.frame.P(a.Num(flag + 3), a.Num(flag + 4)),
               t.frame.P(a.Num(flag + 5), a.Num(flag + 6)));
      }
      if (a.Int(33) != 0) Text(t, p, ReadText(a, 34, 35, 36));
    } else if (n == Kind("label_feature") || n == Kind("balloon_feature")) {
      const Pen p = PenOf(ReadAttr(a, true), owner);
      Polyline(t, p, Points(t, a.List(5), a.List(6), a.Int(4)));
      size_t flag = 9;
      if (n == Kind("balloon_feature")) {
        Arc(t, p, a.Num(7), a.Num(8), a.Num(9), a.Num(9), 0, 0, 360, true, true);
        flag = 12;
      }
      if (a.Int(flag) != 0) Text(t, p, ReadText(a, flag + 1, flag + 2, flag + 3));
    } else if (n == Kind("composite_curve_org_feature")) {
      if (a.Int(3) != 1) return;
      const Pen p = PenOf(Attr{1, a.Int(0), a.Int(1), a.Int(2)}, owner);
      const Composite& c = composites_[CompositeIndex(r)];
      for (size_t k = c.first; k < c.org; ++k) {
        const std::vector<Vec> pts = CurvePoints(f_.records[k], t);
        Generated(pts.size());
        Polyline(t, p, pts);
      }
    } else if (n == Kind("fill_area_style_colour_feature")) {
      const Pen p = PenOf(Attr{a.Int(0), a.Int(1), 1, 0}, owner);
      Fill(t, p, Rings(a, 2, t));
    } else if (n == Kind("fill_area_style_hatching_feature")) {
      Hatching(a, t, owner);
    } else if (n == Kind("externally_defined_hatch_feature")) {
      Rings(a, 2, t);  // checked; the pattern is the receiving system's
    } else if (n == Kind("fill_area_style_tiles_feature")) {
      Warn("record #" + std::to_string(r.number) + ": tiled hatching is not converted yet");
    } else if (n == Kind("sfig_locate_feature")) {
      Locate(r, a, t, owner);
    }
  }

  size_t CompositeIndex(const SfcRecord& r) const {
    for (size_t k = 0; k < composites_.size(); ++k)
      if (&f_.records[composites_[k].org] == &r) return k;
    return 0;
  }

  void Locate(const SfcRecord& r, const Args& a, const Target& t, int owner) {
    auto it = figureByName_.find(a.Text(1));
    if (it == figureByName_.end()) throw BadRecord{"it places a figure that is not defined"};
    const SfcFigure& f = rep_.figures[it->second];
    if (it->second == owner) throw BadRecord{"the figure places itself"};
    const Pen p = PenOf(Attr{a.Int(0), 1, 1, 0}, owner);
    const Vec at = t.frame.P(a.Num(2), a.Num(3));
    const double rx = a.Num(5), ry = a.Num(6);
    double angle = a.Num(4);
    if (!(std::fabs(rx) > 1e-12) || !(std::fabs(ry) > 1e-12))
      throw BadRecord{"the placement's ratio is zero"};
    // Inside a surveying figure the position and the angle turn with the
    // axes; the placed figure keeps its own ratios.
    angle = t.frame.Angle(angle);
    (void)r;
    if (t.def < 0) {
      Ok(doc_.AddEntBlock(0, t.lg, p.ly, 1, 1, 0, kKeepLayers, f.definition, at.x, at.y, rx, ry, angle));
    } else if (!doc_.AddBlkBlock(t.def, 0, t.lg, p.ly, 1, 1, 0, kKeepLayers, f.definition, at.x, at.y, rx, ry,
                                 angle)) {
      throw BadRecord{"the figures place each other in a ring"};
    }
  }

  // -- after building: group and layer names in the groups the explosion will fill --

  void NameGroupsAndLayers() {
    std::vector<int> figureOfDef(doc_.EntBlockDefN, -1);
    for (size_t k = 0; k < rep_.figures.size(); ++k)
      if (rep_.figures[k].definition >= 0) figureOfDef[rep_.figures[k].definition] = static_cast<int>(k);
    NameLayers(0, -1);
    int group = 0;
    for (int32_t d = 0; d < doc_.EntBlockDefN && group < kFigureGroups; ++d) {
      const int k = figureOfDef[d];
      if (k < 0 || doc_.EntBlockDef[d].N == 0) continue;
      const SfcFigure& f = rep_.figures[k];
      if (f.flag != 1 && f.flag != 2) continue;
      ++group;
      jww::TEntJwwLayerGroup& g = doc_.EntLgrp[group];
      g.aStrGLayName = f.name;
      g.adScale = std::fabs(1.0 / f.ratio);
      NameLayers(group, k);
    }
    int sxfFigures = 0;
    for (const SfcFigure& f : rep_.figures) sxfFigures += (f.flag == 1 || f.flag == 2) && f.members > 0;
    if (sxfFigures > kFigureGroups)
      Warn(std::to_string(sxfFigures) + " sub-drawings; only the first " +
           std::to_string(kFigureGroups) + " get layer groups, the rest stay blocks");
  }

  void NameLayers(int group, int owner) {
    for (size_t l = 0; l < layers_.size(); ++l) {
      int slot;
      if (layers_.size() <= kLayersPerGroup) {
        slot = static_cast<int>(l);
      } else {
        auto it = slots_[owner].find(static_cast<int>(l) + 1);
        if (it == slots_[owner].end()) continue;
        slot = it->second;
      }
      jww::TEntJwwLayer& lay = doc_.EntLay[group * kLayersPerGroup + slot];
      lay.aStrLayName = layers_[l].name;
      lay.aanLay = layers_[l].shown ? (slot == 0 ? 3 : 2) : 0;
    }
  }

  struct LayerDef {
    std::u16string name;
    bool shown;
  };
  struct SheetDef {
    int type = 3, orient = 1;
    double x = 0, y = 0;
    bool known = false;
  };
  struct UserLineType {
    std::u16string name;
    std::vector<double> pitches;
  };

  SfcReport& rep_;
  const SfcFile& f_;
  std::string_view text_;  // the file, for line numbers
  jww::TJwwData& doc_;
  std::vector<int> owner_;
  int64_t generated_ = 0;
  std::vector<const Layout*> layoutOf_;  // by name index
  std::vector<int> kindOf_;               // by name index: place in kLayouts, -1 unknown
  std::set<size_t> nestedLocate_;          // placements inside figures
  std::vector<std::vector<size_t>> nestedOf_;  // by figure, in file order
  std::vector<int> topDown_;                   // figures, placing ones first
  std::vector<int> topPlaced_;                 // figures placed on the sheet, once per placement
  int64_t maxPlacements_ = std::numeric_limits<int64_t>::max();
  std::vector<size_t> orgIndex_;
  std::vector<LayerDef> layers_;
  std::map<int, std::map<int, int>> slots_;
  Styles styles_;
  std::vector<std::array<int, 3>> userColours_;
  std::vector<UserLineType> userLineTypes_;
  SheetDef sheet_;
  std::u16string sheetName_, memo_;
  Frame sheetFrame_;
  std::map<std::u16string, int> figureByName_;
  std::vector<Composite> composites_;
  std::set<size_t> compositeMember_;
};

}  // namespace

std::span<const SfcLayout> SfcLayouts() { return kLayouts; }

bool LooksLikeSfc(std::span<const uint8_t> bytes) {
  std::string_view s(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 4096));
  if (s.starts_with("\xEF\xBB\xBF")) s.remove_prefix(3);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\r' || s.front() == '\n' || s.front() == '\t'))
    s.remove_prefix(1);
  return s.starts_with("ISO-10303-21;") && s.find("/*SXF") != std::string_view::npos;
}

bool ReadSfc(std::span<const uint8_t> bytes, jww::TJwwData& doc, SfcReport& report,
             int64_t maxPlacements) {
  report = SfcReport{};
  doc.DataInit();
  if (!ParseSfc(bytes, report.file, report.error)) return false;
  if (!BuildSfcDrawing(report, doc,
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                       maxPlacements))
    return false;
  // A UTF-8 file may hold what code page 932 cannot: its texts are kept as
  // UTF-16, as drawings of version 700 may store them.
  if (report.file.encoding == SfcEncoding::kUtf8) doc.MojiEncode = true;
  return true;
}

bool BuildSfcDrawing(SfcReport& report, jww::TJwwData& doc, std::string_view text,
                     int64_t maxPlacements) {
  doc.DataInit();
  try {
    Reader(report, doc, text, maxPlacements).Run();
  } catch (const BadRecord& b) {
    if (report.error.reason.empty()) report.error.reason = b.reason;
    return false;
  }
  return true;
}

}  // namespace sxf
