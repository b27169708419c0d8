// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "util/geometry.h"

using util::Affine;
using util::DPoint;

namespace {
constexpr double kPiD = 3.14159265358979323846;
}

TEST(Geometry, VecAngleIsInHalfOpenTurnAndZeroForTinyVectors) {
  EXPECT_DOUBLE_EQ(util::VecAngle(1, 0), 0);
  EXPECT_DOUBLE_EQ(util::VecAngle(0, 1), kPiD / 2);
  EXPECT_DOUBLE_EQ(util::VecAngle(-1, 0), kPiD);
  EXPECT_DOUBLE_EQ(util::VecAngle(0, -1), 3 * kPiD / 2);
  EXPECT_EQ(util::VecAngle(0, 0), 0);
  EXPECT_EQ(util::VecAngle(9e-15, -9e-15), 0);
  // Just below the x axis: close to 2π but never 2π itself.
  double a = util::VecAngle(1, -1e-300);
  EXPECT_GE(a, 0);
  EXPECT_LT(a, 2 * kPiD);
}

TEST(Geometry, TransformsApplyLinearPartThenTranslation) {
  Affine t{10, 20, 0, -2, 3, 0};  // (u, v) -> (−2v + 10, 3u + 20)
  EXPECT_EQ(util::TransPoint(t, 1, 1), (DPoint{8, 23}));
  util::DLine l = util::TransLine(t, {0, 0}, {1, 0});
  EXPECT_EQ(l.a, (DPoint{10, 20}));
  EXPECT_EQ(l.b, (DPoint{10, 23}));
}

TEST(Geometry, DistancesAndRotations) {
  EXPECT_DOUBLE_EQ(util::PointDist({1, 1}, {4, 5}), 5);
  EXPECT_NEAR(util::PointLineDist({0, 5}, {-1, -1}, {3, 3}), 5 / std::sqrt(2.0), 1e-15);
  EXPECT_DOUBLE_EQ(util::PointLineDist({7, 5}, {2, 1}, {2, 1}), 4);  // a = b: |p.y − a.y|
  EXPECT_NEAR(util::RotateX(2, 1, 1, 1, kPiD / 2), 1, 1e-15);
  EXPECT_NEAR(util::RotateY(2, 1, 1, 1, kPiD / 2), 2, 1e-15);
  double a = 1, b = 2;
  util::SwapDouble(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
}

TEST(Geometry, RoundDigitsModesKeepTheSign) {
  EXPECT_DOUBLE_EQ(util::RoundDigits(2, 0, 1.239), 1.23);
  EXPECT_DOUBLE_EQ(util::RoundDigits(2, 1, 1.231), 1.24);
  EXPECT_DOUBLE_EQ(util::RoundDigits(2, 1, 1.23), 1.23);  // no step up on noise
  EXPECT_DOUBLE_EQ(util::RoundDigits(1, 2, -1.26), -1.3);
  EXPECT_DOUBLE_EQ(util::RoundDigits(4, 2, 2.00004), 2.0);
  // Digits outside 1 … 9 round to whole units.
  EXPECT_DOUBLE_EQ(util::RoundDigits(0, 2, 2.5), 3);
  EXPECT_DOUBLE_EQ(util::RoundDigits(10, 2, 1.26), 1);
}

TEST(Geometry, MojiWidthCountsCodePage932Bytes) {
  EXPECT_DOUBLE_EQ(util::MojiWidth(u"", 2, 1), 0);
  EXPECT_DOUBLE_EQ(util::MojiWidth(u"ab", 2, 1), 1 + 0.5 + 1);
  EXPECT_DOUBLE_EQ(util::MojiWidth(u"あい", 2, 1), 2 + 1 + 2);
  EXPECT_DOUBLE_EQ(util::MojiWidth(u"aあ", 2, 1), 1 + 0.5 + 2);
  EXPECT_DOUBLE_EQ(util::MojiWidth(u"あa", 2, 1), 2 + 1 + 1);
  // Half-width katakana is a single byte in code page 932.
  EXPECT_DOUBLE_EQ(util::MojiWidth(u"\uFF71", 2, 1), 1);
}

TEST(Geometry, LinearPartTests) {
  EXPECT_TRUE(util::IsIdentityLinear({5, 6, 1, 0, 0, 1}));
  EXPECT_TRUE(util::IsIdentityLinear({0, 0, 1 + 1e-15, 1e-15, 0, 1}));
  EXPECT_FALSE(util::IsIdentityLinear({0, 0, 1 + 1e-13, 0, 0, 1}));
  EXPECT_TRUE(util::IsSimilarWithoutRotation({0, 0, -2, 0, 0, 2}));
  EXPECT_FALSE(util::IsSimilarWithoutRotation({0, 0, 2, 0, 0, 1}));
  EXPECT_FALSE(util::IsSimilarWithoutRotation({0, 0, 0, -1, 1, 0}));
  EXPECT_DOUBLE_EQ(util::Determinant({0, 0, 2, 1, 3, 4}), 5);
  EXPECT_LT(util::Determinant({0, 0, -1, 0, 0, 1}), 0);
}
