// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "util/encoding.h"

namespace util {

namespace {
constexpr long double kTiny = 1e-14L;

bool IsDoubleByteLead(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD); }
}  // namespace

DPoint TransPoint(const Affine& t, double u, double v) {
  long double x = static_cast<long double>(t.m11) * u + static_cast<long double>(t.m12) * v + t.tx;
  long double y = static_cast<long double>(t.m21) * u + static_cast<long double>(t.m22) * v + t.ty;
  return {static_cast<double>(x), static_cast<double>(y)};
}

DLine TransLine(const Affine& t, DPoint a, DPoint b) {
  return {TransPoint(t, a), TransPoint(t, b)};
}

double VecAngle(double dx, double dy) {
  if (std::fabs(dx) < kTiny && std::fabs(dy) < kTiny) return 0;
  long double a = std::atan2(static_cast<long double>(dy), static_cast<long double>(dx));
  if (a < 0) a += kTwoPi;
  double r = static_cast<double>(a);
  // A tiny negative angle plus 2π rounds to exactly 2π as a double.
  return r >= static_cast<double>(kTwoPi) ? 0.0 : r;
}

double PointDist(DPoint a, DPoint b) {
  long double dx = static_cast<long double>(b.x) - a.x;
  long double dy = static_cast<long double>(b.y) - a.y;
  return static_cast<double>(std::sqrt(dx * dx + dy * dy));
}

double PointLineDist(DPoint p, DPoint a, DPoint b) {
  long double ang = -static_cast<long double>(VecAngle(b.x - a.x, b.y - a.y));
  long double dx = static_cast<long double>(p.x) - a.x;
  long double dy = static_cast<long double>(p.y) - a.y;
  // y of p turned about a, relative to a.
  return static_cast<double>(std::fabs(std::sin(ang) * dx + std::cos(ang) * dy));
}

double RotateX(double x, double y, double cx, double cy, double a) {
  long double la = a;
  return static_cast<double>(cx + std::cos(la) * (static_cast<long double>(x) - cx) -
                             std::sin(la) * (static_cast<long double>(y) - cy));
}

double RotateY(double x, double y, double cx, double cy, double a) {
  long double la = a;
  return static_cast<double>(cy + std::sin(la) * (static_cast<long double>(x) - cx) +
                             std::cos(la) * (static_cast<long double>(y) - cy));
}

double RoundDigits(int d, int mode, double x) {
  long double factor = 1;
  if (d >= 1 && d <= 9) {
    for (int i = 0; i < d; ++i) factor *= 10;
  }
  long double v = std::fabs(static_cast<long double>(x)) * factor;
  if (mode == 1) {
    v += 0.9999999999L;
  } else if (mode == 2) {
    v += 0.5L;
  }
  v = std::trunc(v) / factor;
  return static_cast<double>(x < 0 ? -v : v);
}

namespace {

// Walks the characters of a text line as code page 932 stores them: `cell`
// gets each character's index in `text`, its length there (1, or 2 for a
// surrogate pair), its offset along the line, its width and whether it is a
// double-byte character. Returns the width of the whole line. Every
// character encodes to one byte or to a lead and a trail byte (an
// unmappable one becomes a single "?"), so bytes and characters pair up.
template <typename Cell>
long double WalkMojiCells(std::u16string_view text, double sizeX, double spacing, Cell&& cell) {
  Bytes bytes = StrToAnsiBytes(text);
  long double width = 0;
  long double gapAfterLast = 0;
  size_t ch = 0;
  for (size_t i = 0; i < bytes.size();) {
    const size_t len = ch + 1 < text.size() && text[ch] >= 0xD800 && text[ch] <= 0xDBFF ? 2 : 1;
    const long double offset = width;
    const bool full = IsDoubleByteLead(bytes[i]);
    if (full) {
      width += sizeX;
      gapAfterLast = spacing;
      i += 2;
    } else {
      width += static_cast<long double>(sizeX) / 2;
      gapAfterLast = static_cast<long double>(spacing) / 2;
      i += 1;
    }
    cell(ch, len, offset, width - offset, full);
    ch += len;
    width += gapAfterLast;
  }
  // No spacing follows the last character.
  return width - gapAfterLast;
}

}  // namespace

double MojiWidth(std::u16string_view text, double sizeX, double spacing) {
  return static_cast<double>(
      WalkMojiCells(text, sizeX, spacing, [](size_t, size_t, long double, long double, bool) {}));
}

std::vector<MojiCell> MojiLayout(std::u16string_view text, double sizeX, double spacing) {
  std::vector<MojiCell> cells;
  WalkMojiCells(text, sizeX, spacing,
                [&](size_t index, size_t length, long double offset, long double width, bool full) {
                  if (index + length > text.size()) return;
                  cells.push_back({index, length, static_cast<double>(offset),
                                   static_cast<double>(width), full});
                });
  return cells;
}

void SwapDouble(double& a, double& b) { std::swap(a, b); }

bool IsIdentityLinear(const Affine& t) {
  return std::fabs(t.m11 - 1) <= 1e-14 && std::fabs(t.m12) <= 1e-14 && std::fabs(t.m21) <= 1e-14 &&
         std::fabs(t.m22 - 1) <= 1e-14;
}

bool IsSimilarWithoutRotation(const Affine& t) {
  return std::fabs(std::fabs(t.m11) - std::fabs(t.m22)) <= 1e-14 && std::fabs(t.m12) <= 1e-14 &&
         std::fabs(t.m21) <= 1e-14;
}

double Determinant(const Affine& t) {
  long double d = static_cast<long double>(t.m11) * t.m22 - static_cast<long double>(t.m12) * t.m21;
  return static_cast<double>(d);
}

// Liang–Barsky.
bool ClipSegment(DPoint a, DPoint b, double minX, double minY, double maxX, double maxY, double& t0,
                 double& t1) {
  t0 = 0;
  t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - minX, maxX - a.x, a.y - minY, maxY - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  return true;
}

std::vector<double> DashRuns(const std::vector<double>& segments) {
  std::vector<double> runs;
  for (double seg : segments) {
    if (seg == 0 || !std::isfinite(seg)) continue;
    if (!runs.empty() && (runs.back() > 0) == (seg > 0))
      runs.back() += seg;
    else
      runs.push_back(seg);
  }
  if (std::none_of(runs.begin(), runs.end(), [](double r) { return r < 0; })) runs.clear();
  return runs;
}

}  // namespace util
