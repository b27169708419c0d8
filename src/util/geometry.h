// SPDX-License-Identifier: GPL-3.0-or-later
// Plane geometry for block placements: affine transforms, angles, distances,
// rounding to decimal digits and the width of a text line.
//
// Sums and trigonometry are carried out in long double (extended precision on
// x86) and results are stored as doubles, so that exploded figures agree with
// what Jw_cad itself computes to the last bit wherever that matters.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace util {

struct DPoint {
  double x = 0;
  double y = 0;
  bool operator==(const DPoint&) const = default;
};

// A point (u, v) lands at (m11·u + m12·v + tx, m21·u + m22·v + ty).
struct Affine {
  double tx = 0, ty = 0;
  double m11 = 1, m12 = 0;
  double m21 = 0, m22 = 1;
};

inline constexpr long double kPi = 3.141592653589793238462643383279502884L;
inline constexpr long double kTwoPi = 2 * kPi;

DPoint TransPoint(const Affine& t, double u, double v);
inline DPoint TransPoint(const Affine& t, DPoint p) { return TransPoint(t, p.x, p.y); }

struct DLine {
  DPoint a, b;
};
DLine TransLine(const Affine& t, DPoint a, DPoint b);

// Angle of (dx, dy) in [0, 2π); 0 for a vector shorter than 1e-14 in both
// components.
double VecAngle(double dx, double dy);
double PointDist(DPoint a, DPoint b);
// Distance of p from the infinite line through a and b (|p.y − a.y| when a = b).
double PointLineDist(DPoint p, DPoint a, DPoint b);
// (x, y) turned about (cx, cy) by angle a.
double RotateX(double x, double y, double cx, double cy, double a);
double RotateY(double x, double y, double cx, double cy, double a);

// |x| to d decimals (d = 1 … 9; any other d rounds to an integer), sign kept.
// mode 0 truncates, mode 1 rounds up (bar 1e-10 of noise), mode 2 rounds half up.
double RoundDigits(int d, int mode, double x);

// Length of one text line in code page 932: a double-byte character is sizeX
// wide, a single-byte one sizeX / 2, and between characters comes the full
// spacing after a double-byte character and half of it after a single-byte one.
double MojiWidth(std::u16string_view text, double sizeX, double spacing);

// One character of a text line as MojiWidth lays it out: where it sits in
// the string, how far along the line it starts and how wide its cell is.
struct MojiCell {
  size_t index = 0;   // first UTF-16 unit of the character
  size_t length = 1;  // 2 for a surrogate pair
  double offset = 0;
  double width = 0;
  bool fullWidth = false;  // a double-byte character: its cell is sizeX wide
};
// The cells of `text`, in order; the last one ends at MojiWidth(text, …).
std::vector<MojiCell> MojiLayout(std::u16string_view text, double sizeX, double spacing);

void SwapDouble(double& a, double& b);

// |m11 − 1|, |m12|, |m21|, |m22 − 1| all at most 1e-14.
bool IsIdentityLinear(const Affine& t);
// Equal absolute scales on both axes and no rotation (mirrors allowed).
bool IsSimilarWithoutRotation(const Affine& t);
// m11·m22 − m12·m21: negative when the transform mirrors.
double Determinant(const Affine& t);

// The point at parameter t along a → b (a at 0, b at 1).
inline DPoint PointAt(DPoint a, DPoint b, double t) {
  return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

// The part of the segment a → b inside the box, as parameters 0 ≤ t0 ≤ t1 ≤ 1
// along it; false when none is.
bool ClipSegment(DPoint a, DPoint b, double minX, double minY, double maxX, double maxY, double& t0,
                 double& t1);

// A line type's dash segments (+drawn, −gap) with zero and non-finite ones
// dropped and adjacent runs of one sign joined; empty when the line has no
// gap (solid).
std::vector<double> DashRuns(const std::vector<double>& segments);

}  // namespace util
