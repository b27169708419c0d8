#include "util/geometry.h"

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

double MojiWidth(std::u16string_view text, double sizeX, double spacing) {
  Bytes bytes = StrToAnsiBytes(text);
  long double width = 0;
  long double gapAfterLast = 0;
  for (size_t i = 0; i < bytes.size();) {
    if (IsDoubleByteLead(bytes[i])) {
      width += sizeX;
      gapAfterLast = spacing;
      i += 2;
    } else {
      width += static_cast<long double>(sizeX) / 2;
      gapAfterLast = static_cast<long double>(spacing) / 2;
      i += 1;
    }
    width += gapAfterLast;
  }
  // No spacing follows the last character.
  return static_cast<double>(width - gapAfterLast);
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

}  // namespace util
