// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/user_numbers.h"
#include "jww/document.h"
#include "support/temp_dir.h"
#include "util/geometry.h"
#include "util/text.h"

using namespace jww;

namespace {

constexpr double kPiD = 3.14159265358979323846;

TPlacement Place(double m11, double m12, double m21, double m22, double tx = 0, double ty = 0) {
  TPlacement t;
  t.tx = tx;
  t.ty = ty;
  t.m11 = m11;
  t.m12 = m12;
  t.m21 = m21;
  t.m22 = m22;
  t.keepLayer = true;
  return t;
}

TPlacement Rotation(double a, double s = 1) {
  return Place(std::cos(a) * s, -std::sin(a) * s, std::sin(a) * s, std::cos(a) * s);
}

TEntJwwEnko Arc(double r, double k, double tilt, double start, double sweep, uint32_t full = 0) {
  TEntJwwEnko e;
  e.dHankei = r;
  e.dHenpeiRitsu = k;
  e.radKatamukiKaku = tilt;
  e.radKaishiKaku = start;
  e.radEnkoKaku = sweep;
  e.bZenEnFlg = full;
  return e;
}

TEntJwwMoji Text(std::u16string s, double x1, double y1, double x2, double y2, double sx = 3,
                 double sy = 4, double gap = 0.5) {
  TEntJwwMoji m;
  m.str = std::move(s);
  m.start_x = x1;
  m.start_y = y1;
  m.end_x = x2;
  m.end_y = y2;
  m.dSizeX = sx;
  m.dSizeY = sy;
  m.dKankaku = gap;
  m.nMojiShu = 2003;
  return m;
}

// Point of parameter t on an arc record.
util::DPoint ArcPoint(const TEntJwwEnko& e, double t) {
  double u = e.dHankei * std::cos(t), v = e.dHankei * e.dHenpeiRitsu * std::sin(t);
  double c = std::cos(e.radKatamukiKaku), s = std::sin(e.radKatamukiKaku);
  return {e.start_x + c * u - s * v, e.start_y + s * u + c * v};
}

util::Affine AffineOf(const TPlacement& t) { return {t.tx, t.ty, t.m11, t.m12, t.m21, t.m22}; }

}  // namespace

TEST(Transform, PureTranslationOnlyMovesEveryKind) {
  TJwwData doc;
  const TPlacement t = Place(1, 0, 0, 1, 5, -7);

  TEntJwwLine line;
  line.start_x = 1;
  line.end_y = 2;
  ASSERT_TRUE(doc.BlockExplodeLine(line, t));
  EXPECT_EQ(doc.EntLine[0].start_x, 6);
  EXPECT_EQ(doc.EntLine[0].end_y, -5);

  TEntJwwEnko arc = Arc(2, 0.5, -kPiD / 2, 1, -0.5);
  ASSERT_TRUE(doc.BlockExplodeEnko(arc, t));
  const TEntJwwEnko& a = doc.EntEnko[0];
  EXPECT_EQ(a.start_x, 5);
  EXPECT_DOUBLE_EQ(a.dHankei, 2);
  EXPECT_DOUBLE_EQ(a.dHenpeiRitsu, 0.5);
  EXPECT_NEAR(a.radKatamukiKaku, 3 * kPiD / 2, 1e-15);
  // A negative sweep is stored from its other end.
  EXPECT_NEAR(a.radKaishiKaku, 0.5, 1e-15);
  EXPECT_NEAR(a.radEnkoKaku, 0.5, 1e-15);

  TEntJwwMoji m = Text(u"abc", 0, 0, 10, 0, 3.123456, 4, 0.5);
  ASSERT_TRUE(doc.BlockExplodeMoji(m, t));
  const TEntJwwMoji& c = doc.EntMoji[0];
  EXPECT_EQ(c.start_x, 5);
  EXPECT_EQ(c.end_x, 15);
  EXPECT_EQ(c.dSizeX, 3.123456);
  EXPECT_EQ(c.dSizeY, 4);
  EXPECT_EQ(c.dKankaku, 0.5);
  EXPECT_EQ(c.nMojiShu, 2003u);
  EXPECT_EQ(c.str, u"abc");

  TEntJwwMoji image = Text(u"^@BMpic.bmp,100.123456,50,1,2", 0, 0, 10, 0);
  ASSERT_TRUE(doc.BlockExplodeMoji(image, t));
  EXPECT_EQ(doc.EntMoji[1].str, image.str);
  EXPECT_EQ(doc.EntMoji[1].end_x, 15);

  EXPECT_EQ(doc.Enthd.n1, 4);
  EXPECT_EQ(doc.EntNo[0], (TEntJwwNo{kLine, 0}));
  EXPECT_EQ(doc.EntNo[1], (TEntJwwNo{kEnko, 0}));
  EXPECT_EQ(doc.EntNo[3], (TEntJwwNo{kMoji, 1}));
}

TEST(Transform, UnitCircleUnderUnequalScalesBecomesAnEllipse) {
  TJwwData doc;
  ASSERT_TRUE(doc.BlockExplodeEnko(Arc(1, 1, 0, 0, 2 * kPiD, 1), Place(2, 0, 0, 1)));
  const TEntJwwEnko& e = doc.EntEnko[0];
  EXPECT_NEAR(e.dHankei, 2, 1e-15);
  EXPECT_NEAR(e.dHenpeiRitsu, 0.5, 1e-15);
  EXPECT_EQ(e.radKatamukiKaku, 0);
  EXPECT_EQ(e.radKaishiKaku, 0);
  EXPECT_EQ(e.radEnkoKaku, 2 * kPiD);
  EXPECT_EQ(e.bZenEnFlg, 1u);
}

TEST(Transform, MirrorTurnsTextAndReversesArcs) {
  TJwwData doc;
  const TPlacement mirror = Place(-1, 0, 0, 1);
  ASSERT_TRUE(doc.BlockExplodeMoji(Text(u"ab", 0, 0, 10, 0), mirror));
  const TEntJwwMoji& m = doc.EntMoji[0];
  EXPECT_DOUBLE_EQ(m.start_x, -10);
  EXPECT_DOUBLE_EQ(m.end_x, 0);
  EXPECT_DOUBLE_EQ(m.degKakudo, 0);
  EXPECT_DOUBLE_EQ(m.dSizeX, 3);
  EXPECT_DOUBLE_EQ(m.dSizeY, 4);
  EXPECT_DOUBLE_EQ(m.dKankaku, 0.5);
  EXPECT_EQ(m.nMojiShu, 2000u);

  ASSERT_TRUE(doc.BlockExplodeEnko(Arc(1, 1, 0, 0, kPiD / 2), mirror));
  const TEntJwwEnko& a = doc.EntEnko[0];
  EXPECT_NEAR(a.radKatamukiKaku, kPiD, 1e-15);
  EXPECT_NEAR(a.radKaishiKaku, 3 * kPiD / 2, 1e-15);
  EXPECT_NEAR(a.radEnkoKaku, kPiD / 2, 1e-15);
  // From (0, 1) to (−1, 0).
  util::DPoint s = ArcPoint(a, a.radKaishiKaku), e = ArcPoint(a, a.radKaishiKaku + a.radEnkoKaku);
  EXPECT_NEAR(s.x, 0, 1e-15);
  EXPECT_NEAR(s.y, 1, 1e-15);
  EXPECT_NEAR(e.x, -1, 1e-15);
  EXPECT_NEAR(e.y, 0, 1e-15);
}

TEST(Transform, MirroringIsDecidedByOrientation) {
  // A rotation by 180° has m11·m22 > 0 and keeps the direction; a mirror
  // across the diagonal has m11·m22 = 0 but reverses it.
  TJwwData doc;
  ASSERT_TRUE(doc.BlockExplodeMoji(Text(u"ab", 0, 0, 10, 0), Place(0, 1, 1, 0)));
  const TEntJwwMoji& m = doc.EntMoji[0];
  EXPECT_NEAR(m.start_x, 0, 1e-15);
  EXPECT_NEAR(m.start_y, 10, 1e-15);
  EXPECT_NEAR(m.end_y, 0, 1e-15);
  EXPECT_NEAR(m.degKakudo, 270, 1e-12);

  TEntJwwTen p;
  p.att.nPenStyle = 100;
  p.radKaitenKaku = 0.25;
  ASSERT_TRUE(doc.BlockExplodeTen(p, Rotation(kPiD)));
  EXPECT_NEAR(doc.EntTen[0].radKaitenKaku, 0.25 + kPiD, 1e-14);
  ASSERT_TRUE(doc.BlockExplodeTen(p, Place(-1, 0, 0, 1)));
  EXPECT_NEAR(std::remainder(doc.EntTen[1].radKaitenKaku - 0.25, 2 * kPiD), 0, 1e-14);
}

TEST(Transform, PointsRotateWithCodeOrLoseIt) {
  TJwwData doc;
  TEntJwwTen p;
  p.start_x = 1;
  p.att.nPenStyle = 100;
  p.nCode = 7;
  p.dBairitsu = 2;
  p.bKariten = 1;
  ASSERT_TRUE(doc.BlockExplodeTen(p, Rotation(kPiD / 6)));
  EXPECT_NEAR(doc.EntTen[0].radKaitenKaku, kPiD / 6, 1e-15);
  EXPECT_EQ(doc.EntTen[0].nCode, 7u);
  EXPECT_EQ(doc.EntTen[0].dBairitsu, 2);
  EXPECT_NEAR(doc.EntTen[0].start_y, 0.5, 1e-15);

  p.att.nPenStyle = 1;
  p.radKaitenKaku = 1;
  ASSERT_TRUE(doc.BlockExplodeTen(p, Rotation(kPiD / 6)));
  EXPECT_EQ(doc.EntTen[1].nCode, 0u);
  EXPECT_EQ(doc.EntTen[1].radKaitenKaku, 0);
  EXPECT_EQ(doc.EntTen[1].dBairitsu, 1);
  EXPECT_EQ(doc.EntTen[1].bKariten, 1u);
}

TEST(Transform, TextsAreReanchoredSizedAndRounded) {
  TJwwData doc;
  // Rotated a quarter turn and scaled 2: the text stays upright along the new direction.
  TEntJwwMoji m = Text(u"ab", 1, 0, 11, 0, 3, 4, 0.5);
  ASSERT_TRUE(doc.BlockExplodeMoji(m, Rotation(kPiD / 2, 2)));
  const TEntJwwMoji& c = doc.EntMoji[0];
  EXPECT_NEAR(c.start_y, 2, 1e-14);
  EXPECT_NEAR(c.end_y, 22, 1e-14);
  EXPECT_EQ(c.dSizeX, 6);
  EXPECT_EQ(c.dSizeY, 8);
  EXPECT_EQ(c.dKankaku, 1);
  EXPECT_NEAR(c.degKakudo, 90, 1e-12);
  EXPECT_EQ(c.nMojiShu, 2000u);

  // Vertical text: the along size is dSizeY.
  TEntJwwMoji v = Text(u"ab", 0, 0, 10, 0, 3, 4, 0);
  v.att.sFlg = 0x20;
  ASSERT_TRUE(doc.BlockExplodeMoji(v, Place(3, 0, 0, 1)));
  EXPECT_EQ(doc.EntMoji[1].dSizeY, 12);
  EXPECT_EQ(doc.EntMoji[1].dSizeX, 3);

  // Sizes are rounded to four decimals and never vanish.
  TEntJwwMoji tiny = Text(u"ab", 0, 0, 10, 0, 1.00004, 0.00001, 0);
  ASSERT_TRUE(doc.BlockExplodeMoji(tiny, Place(1, 0, 0, 1.5)));
  EXPECT_EQ(doc.EntMoji[2].dSizeX, 1);
  EXPECT_EQ(doc.EntMoji[2].dSizeY, 0.0001);
}

TEST(Transform, ImageTextsRewriteTheirNumbers) {
  TJwwData doc;
  ASSERT_TRUE(doc.BlockExplodeMoji(Text(u"^@BMa.bmp,100", 0, 0, 10, 0), Place(2, 0, 0, 2)));
  EXPECT_EQ(doc.EntMoji[0].str, u"^@BMa.bmp,200");
  EXPECT_EQ(doc.EntMoji[0].degKakudo, 0);
  EXPECT_EQ(doc.EntMoji[0].end_y, doc.EntMoji[0].start_y);

  // Two numbers without a turn keep the short form.
  ASSERT_TRUE(doc.BlockExplodeMoji(Text(u"^@BMa.bmp,100,50", 0, 0, 10, 0), Place(0.5, 0, 0, 0.5)));
  EXPECT_EQ(doc.EntMoji[1].str, u"^@BMa.bmp,50,25");

  // A turn of 30° adds the full form with the rotation.
  ASSERT_TRUE(doc.BlockExplodeMoji(Text(u"^@BMa.bmp,100,50", 0, 0, 10, 0), Rotation(kPiD / 6)));
  EXPECT_EQ(doc.EntMoji[2].str, u"^@BMa.bmp,100,50,0,0,0,30");
  EXPECT_EQ(doc.EntMoji[2].degKakudo, 0);

  // Rotation wraps into 0 … 360, and the values after the height are kept
  // even without a turn.
  ASSERT_TRUE(
      doc.BlockExplodeMoji(Text(u"^@BMa.bmp,0,50,1,2,3,350", 0, 0, 10, 0), Rotation(kPiD / 6)));
  EXPECT_EQ(doc.EntMoji[3].str, u"^@BMa.bmp,100,50,1,2,3,20");
  ASSERT_TRUE(doc.BlockExplodeMoji(Text(u"^@BMa.bmp,10,5,0.25", 0, 0, 10, 0), Place(2, 0, 0, 2)));
  EXPECT_EQ(doc.EntMoji[4].str, u"^@BMa.bmp,20,10,0.25,0,0,0");
}

namespace {

TEntJwwSunpo Dimension(uint16_t flags, uint16_t kind = 0) {
  TEntJwwSunpo s;
  s.Sen.end_x = 100;
  s.Moji = Text(u"100", 40, 1, 60, 1, 2, 2, 0);
  s.Moji.att.nPenWidth = flags;
  s.Moji.att.sFlg = kind;
  s.Ho1.start_x = s.Ho1.end_x = 0;
  s.Ho1.end_y = 5;
  s.Te1.start_x = 3;
  s.Te1.dBairitsu = 2;
  s.Kt2.start_y = 4;
  return s;
}

}  // namespace

TEST(Transform, DimensionAuxiliariesAreZeroedOutsideSxfMode) {
  TJwwData doc;
  TEntJwwSunpo s = Dimension(0);
  s.Te1.att.nPenColor = 5;
  ASSERT_TRUE(doc.BlockExplodeSunpo(s, Place(1, 0, 0, 1, 10, 10)));
  const TEntJwwSunpo& c = doc.EntSunpo[0];
  EXPECT_EQ(c.Ho1.end_y, 0);
  EXPECT_EQ(c.Te1.start_x, 0);
  EXPECT_EQ(c.Te1.dBairitsu, 0);
  EXPECT_EQ(c.Kt2.start_y, 0);
  EXPECT_EQ(c.Te1.att.nPenColor, 5);
  EXPECT_EQ(c.Sen.start_x, 10);
  EXPECT_EQ(c.Moji.str, u"100");

  s.bSxfMode = 1;
  ASSERT_TRUE(doc.BlockExplodeSunpo(s, Place(1, 0, 0, 1, 10, 10)));
  const TEntJwwSunpo& d = doc.EntSunpo[1];
  EXPECT_EQ(d.Ho1.end_y, 15);
  EXPECT_EQ(d.Te1.start_x, 13);
  EXPECT_EQ(d.Te1.dBairitsu, 1);  // a point without code
  EXPECT_EQ(d.Kt2.start_y, 14);
  EXPECT_EQ(d.bSxfMode, 1);
}

TEST(Transform, DimensionValueIsMeasuredAgainAndCentred) {
  TJwwData doc;
  doc.EntLgrp.resize(16);
  doc.EntLgrp[0].adScale = 1;
  doc.EntLgrp[3].adScale = 0.5;
  const TPlacement twice = Place(2, 0, 0, 2);

  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2), twice));
  const TEntJwwSunpo& c = doc.EntSunpo[0];
  EXPECT_EQ(c.Moji.str, u"200");
  // Width of "200" at size 4: 3 × 2 = 6, centred on the old midpoint (100, 2).
  EXPECT_NEAR(c.Moji.start_x, 97, 1e-12);
  EXPECT_NEAR(c.Moji.end_x, 103, 1e-12);
  EXPECT_NEAR(c.Moji.start_y, 2, 1e-12);
  EXPECT_EQ(c.Moji.degKakudo, 0);

  // Without bit 2 the text is kept; with the placement's layer group its scale applies.
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(0), twice));
  EXPECT_EQ(doc.EntSunpo[1].Moji.str, u"100");
  TPlacement toGroup3 = twice;
  toGroup3.keepLayer = false;
  toGroup3.gLayer = 3;
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2), toGroup3));
  EXPECT_EQ(doc.EntSunpo[2].Moji.str, u"100");
  EXPECT_EQ(doc.EntSunpo[2].Ho2.att.nGLayer, 3);

  // Metres with two decimals (truncated), unit, R mark in front, full width.
  const uint16_t metres = 2 | 0x10 | 0x20 | 0x80 | 0x100 | 0x400 | 0x2000;
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(metres, 0x100), Place(1.23456, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[3].Moji.str, u"R0.12\uFF4D");
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(metres | 8, 0x200), Place(1.23456, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[4].Moji.str, u"\u03C6\uFF10\uFF0E\uFF11\uFF12\uFF4D");
  // φ mark behind, rounded up.
  ASSERT_TRUE(
      doc.BlockExplodeSunpo(Dimension(2 | 0x200 | 0x800 | 0x1000, 0x200), Place(1.2345, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[5].Moji.str, u"123.5\u03C6");
  // Grouped without trailing zeros, and no bare decimal point left behind.
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2 | 0x40 | 0x3000), Place(1.2345, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[6].Moji.str, u"123.45");
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2 | 0x40 | 0x3000), Place(1.5, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[7].Moji.str, u"150");
}

// Sets LC_ALL (and LOCPATH, where the locale was generated) for one test and
// puts the environment back afterwards.
class ScopedLocaleEnv {
 public:
  ScopedLocaleEnv(const std::string& locpath, const std::string& name) {
    for (const char* v : {"LC_ALL", "LOCPATH"}) {
      const char* old = std::getenv(v);
      saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
    }
    ::setenv("LOCPATH", locpath.c_str(), 1);
    ::setenv("LC_ALL", name.c_str(), 1);
  }
  ~ScopedLocaleEnv() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A re-measured value is the drawing's text: German separators (where "."
// groups thousands) must not reach it.
TEST(Transform, DimensionValuesIgnoreTheLocale) {
  testjww::TempDir locales{"brindle-locales"};
  const std::string cmd =
      "localedef -i de_DE -f UTF-8 " + locales.path().string() + "/de_DE.UTF-8 >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here";
  ScopedLocaleEnv env(locales.path().string(), "de_DE.UTF-8");
  // The locale is in force for what the user is shown.
  if (app::FormatGrouped(1, 1200) != u"1.200,0")
    GTEST_SKIP() << "the generated de_DE.UTF-8 locale is not used";

  TJwwData doc;
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2 | 0x40 | 0x1000), Place(12, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[0].Moji.str, u"1,200");
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2 | 0x80 | 0x1000), Place(0.122, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[1].Moji.str, u"12.2");
  ASSERT_TRUE(doc.BlockExplodeSunpo(Dimension(2 | 0x40 | 0x80 | 0x2000), Place(123.4567, 0, 0, 1)));
  EXPECT_EQ(doc.EntSunpo[2].Moji.str, u"12,345.67");
}

TEST(Transform, SolidsByLineType) {
  TJwwData doc;
  TEntJwwSolid quad;
  quad.att.nPenStyle = 1;
  quad.end_x = 1;
  quad.DPoint2_x = quad.DPoint2_y = 1;
  quad.DPoint3_y = 1;
  quad.Color = 0x123456;
  ASSERT_TRUE(doc.BlockExplodeSolid(quad, Place(2, 0, 0, 3, 1, 1)));
  EXPECT_EQ(doc.EntSolid[0].end_x, 3);
  EXPECT_EQ(doc.EntSolid[0].DPoint2_y, 4);
  EXPECT_EQ(doc.EntSolid[0].DPoint3_x, 1);
  EXPECT_EQ(doc.EntSolid[0].Color, 0x123456u);

  // A full ring (105) doubled: both radii double, angles kept.
  TEntJwwSolid ring;
  ring.att.nPenStyle = 105;
  ring.end_x = 10;
  ring.end_y = 1;
  ring.DPoint3_x = 2 * kPiD;
  ring.DPoint3_y = 6;
  ASSERT_TRUE(doc.BlockExplodeSolid(ring, Place(2, 0, 0, 2, 5, 0)));
  EXPECT_EQ(doc.EntSolid[1].start_x, 5);
  EXPECT_DOUBLE_EQ(doc.EntSolid[1].end_x, 20);
  EXPECT_DOUBLE_EQ(doc.EntSolid[1].DPoint3_y, 12);
  EXPECT_EQ(doc.EntSolid[1].DPoint3_x, 2 * kPiD);

  // Constant-width ring (106) with an inner radius of 0 stays defined.
  ring.att.nPenStyle = 106;
  ring.end_y = 0.5;
  ring.DPoint3_y = 0;
  ASSERT_TRUE(doc.BlockExplodeSolid(ring, Place(2, 0, 0, 1)));
  EXPECT_TRUE(std::isfinite(doc.EntSolid[2].DPoint3_y));
  EXPECT_DOUBLE_EQ(doc.EntSolid[2].end_x, 20);

  // A style without a rule of its own follows the placement as corners.
  TEntJwwSolid odd = quad;
  odd.att.nPenStyle = 103;
  ASSERT_TRUE(doc.BlockExplodeSolid(odd, Place(2, 0, 0, 3, 1, 1)));
  EXPECT_EQ(doc.EntSolid[3].end_x, 3);
  EXPECT_EQ(doc.EntSolid[3].DPoint2_y, 4);
}

TEST(Transform, CollapsedArcsStayDefined) {
  TJwwData doc;
  // A flattening of 0 in the source: a segment traced by an arc.
  ASSERT_TRUE(doc.BlockExplodeEnko(Arc(2, 0, 0, 0.5, 1), Rotation(1.0, 3)));
  // A transform that squeezes the plane onto a line.
  ASSERT_TRUE(doc.BlockExplodeEnko(Arc(1, 1, 0.3, 0.5, 1), Place(1, 1, 1, 1)));
  for (int i = 0; i < 2; ++i) {
    const TEntJwwEnko& e = doc.EntEnko[i];
    EXPECT_LE(e.dHenpeiRitsu, 1e-12) << i;
    EXPECT_TRUE(std::isfinite(e.radKaishiKaku) && std::isfinite(e.radEnkoKaku)) << i;
    EXPECT_NEAR(e.radEnkoKaku, 1, 1e-15) << i;
  }
  // The end points still land where the source end points go.
  const TEntJwwEnko src = Arc(1, 1, 0.3, 0.5, 1);
  const util::Affine squeeze{0, 0, 1, 1, 1, 1};
  const TEntJwwEnko& e = doc.EntEnko[1];
  util::DPoint want1 = util::TransPoint(squeeze, ArcPoint(src, 0.5));
  util::DPoint want2 = util::TransPoint(squeeze, ArcPoint(src, 1.5));
  util::DPoint got1 = ArcPoint(e, e.radKaishiKaku);
  util::DPoint got2 = ArcPoint(e, e.radKaishiKaku + e.radEnkoKaku);
  EXPECT_NEAR(got1.x, want1.x, 1e-9);
  EXPECT_NEAR(got1.y, want1.y, 1e-9);
  EXPECT_NEAR(got2.x, want2.x, 1e-9);
  EXPECT_NEAR(got2.y, want2.y, 1e-9);
}

TEST(Transform, LayerRuleAndGrowthInStepsOfAThousand) {
  TJwwData doc;
  TEntJwwLine l;
  l.att.nGLayer = 2;
  l.att.nLayer = 3;
  l.att.nPenColor = 4;
  TPlacement t = Place(1, 0, 0, 1);
  t.keepLayer = false;
  t.gLayer = 7;
  t.layer = 9;
  ASSERT_TRUE(doc.BlockExplodeLine(l, t));
  EXPECT_EQ(doc.EntLine[0].att.nGLayer, 7);
  EXPECT_EQ(doc.EntLine[0].att.nLayer, 9);
  EXPECT_EQ(doc.EntLine[0].att.nPenColor, 4);
  EXPECT_EQ(doc.EntLine.size(), 1000u);
  EXPECT_EQ(doc.EntNo.size(), 1000u);

  t.keepLayer = true;
  for (int i = 1; i < 1000; ++i) ASSERT_TRUE(doc.BlockExplodeLine(l, t));
  EXPECT_EQ(doc.EntLineN, 1000);
  EXPECT_EQ(doc.EntLine.size(), 2000u);
  EXPECT_EQ(doc.EntLine[999].att.nGLayer, 2);
  EXPECT_EQ(doc.Enthd.n1, 1000);
  EXPECT_EQ(doc.EntNo[999], (TEntJwwNo{kLine, 999}));
}

TEST(Transform, WholeDrawingMoveAndScale) {
  TJwwData doc;
  TEntJwwSolid ring;
  ring.att.nPenStyle = 105;
  ring.start_x = 1;
  ring.end_x = 4;
  ring.DPoint2_y = 0.5;  // start angle: never moved
  ring.DPoint3_y = 2;
  doc.EntSolid = {ring};
  doc.EntSolidN = 1;
  TEntJwwBlock b;
  b.DPKijunTen_x = 1;
  b.dBairitsuX = b.dBairitsuY = 1;
  doc.EntBlock = {b};
  doc.EntBlockN = 1;
  TEntJwwSunpo s = Dimension(0);
  doc.EntSunpo = {s};
  doc.EntSunpoN = 1;

  doc.MoveEntALL(1, 2);
  EXPECT_EQ(doc.EntSolid[0].start_x, 2);
  EXPECT_EQ(doc.EntSolid[0].DPoint2_y, 0.5);
  EXPECT_EQ(doc.EntBlock[0].DPKijunTen_y, 2);
  EXPECT_EQ(doc.EntSunpo[0].Sen.end_x, 101);
  EXPECT_EQ(doc.EntSunpo[0].Ho1.end_y, 5);  // not in SXF mode: untouched

  doc.ScaleEntALL(0, 0, 2);
  EXPECT_EQ(doc.EntSolid[0].start_x, 4);
  EXPECT_EQ(doc.EntSolid[0].end_x, 8);
  EXPECT_EQ(doc.EntSolid[0].DPoint3_y, 4);  // the inner radius follows
  EXPECT_EQ(doc.EntBlock[0].dBairitsuY, 2);
  EXPECT_EQ(doc.EntSunpo[0].Moji.start_x, 82);
}

// Every sampled point of a copy lies on the image of its source, and the
// ends of an arc go to the images of the source's ends.
TEST(Transform, CopiesLieOnTheImageOfTheirSourceUnderRandomPlacements) {
  std::mt19937_64 rng(20240601);
  std::uniform_real_distribution<double> unit(0, 1);
  auto scale = [&] { return (0.2 + 4.8 * unit(rng)) * (unit(rng) < 0.5 ? -1 : 1); };

  for (int round = 0; round < 300; ++round) {
    const double rot = 2 * kPiD * unit(rng), sx = scale(), sy = scale();
    TPlacement t = Place(std::cos(rot) * sx, -std::sin(rot) * sy, std::sin(rot) * sx,
                         std::cos(rot) * sy, 100 * unit(rng) - 50, 100 * unit(rng) - 50);
    const util::Affine a = AffineOf(t);
    const double det = t.m11 * t.m22 - t.m12 * t.m21;
    SCOPED_TRACE(round);

    TJwwData doc;
    TEntJwwLine line;
    line.start_x = unit(rng);
    line.end_y = 5 * unit(rng);
    ASSERT_TRUE(doc.BlockExplodeLine(line, t));
    util::DPoint ls = util::TransPoint(a, line.start_x, line.start_y);
    EXPECT_NEAR(doc.EntLine[0].start_x, ls.x, 1e-12 * (1 + std::fabs(ls.x)));
    EXPECT_NEAR(doc.EntLine[0].start_y, ls.y, 1e-12 * (1 + std::fabs(ls.y)));

    TEntJwwEnko src = Arc(0.5 + 10 * unit(rng), 0.1 + 0.9 * unit(rng), 2 * kPiD * unit(rng),
                          2 * kPiD * unit(rng), 4 * kPiD * (unit(rng) - 0.5) * 0.99);
    src.start_x = 20 * unit(rng);
    src.start_y = -20 * unit(rng);
    if (round % 5 == 0) src.dHenpeiRitsu = 1;     // circles too
    if (round % 7 == 0) src.dHenpeiRitsu = -0.5;  // stored upside down
    ASSERT_TRUE(doc.BlockExplodeEnko(src, t));

    // An arc solid carries the same ellipse in other fields.
    TEntJwwSolid arcSolid;
    arcSolid.att.nPenStyle = 101;
    arcSolid.start_x = src.start_x;
    arcSolid.start_y = src.start_y;
    arcSolid.end_x = src.dHankei;
    arcSolid.end_y = src.dHenpeiRitsu;
    arcSolid.DPoint2_x = src.radKatamukiKaku;
    arcSolid.DPoint2_y = src.radKaishiKaku;
    arcSolid.DPoint3_x = src.radEnkoKaku;
    ASSERT_TRUE(doc.BlockExplodeSolid(arcSolid, t));
    const TEntJwwSolid& cs = doc.EntSolid[0];
    TEntJwwEnko fromSolid = Arc(cs.end_x, cs.end_y, cs.DPoint2_x, cs.DPoint2_y, cs.DPoint3_x);
    fromSolid.start_x = cs.start_x;
    fromSolid.start_y = cs.start_y;

    for (const TEntJwwEnko& c : {doc.EntEnko[0], fromSolid}) {
      const double size = src.dHankei * std::max(std::fabs(sx), std::fabs(sy));
      const double tol = 1e-9 * (size + std::hypot(c.start_x, c.start_y));
      EXPECT_GE(c.dHenpeiRitsu, 0);
      EXPECT_LE(c.dHenpeiRitsu, 1 + 1e-9);
      EXPECT_GE(c.radEnkoKaku, 0);
      // Sample the copy and map each point back into the source ellipse.
      for (int i = 0; i <= 16; ++i) {
        const util::DPoint q = ArcPoint(c, c.radKaishiKaku + c.radEnkoKaku * i / 16);
        const double dx = q.x - t.tx, dy = q.y - t.ty;
        const double u = (t.m22 * dx - t.m12 * dy) / det - src.start_x;
        const double v = (-t.m21 * dx + t.m11 * dy) / det - src.start_y;
        const double cu = std::cos(src.radKatamukiKaku), su = std::sin(src.radKatamukiKaku);
        const double lx = cu * u + su * v, ly = -su * u + cu * v;
        const double param = std::atan2(ly / src.dHenpeiRitsu, lx);
        const util::DPoint back = util::TransPoint(a, ArcPoint(src, param));
        EXPECT_NEAR(q.x, back.x, tol) << "sample " << i;
        EXPECT_NEAR(q.y, back.y, tol) << "sample " << i;
        // … and within the source's sweep.
        const double lo =
            src.radEnkoKaku >= 0 ? src.radKaishiKaku : src.radKaishiKaku + src.radEnkoKaku;
        double along = std::fmod(param - lo, 2 * kPiD);
        if (along < 0) along += 2 * kPiD;
        if (along > 2 * kPiD - 1e-9) along = 0;
        EXPECT_LE(along, std::fabs(src.radEnkoKaku) + 1e-9) << "sample " << i;
      }
      const util::DPoint e1 = ArcPoint(c, c.radKaishiKaku);
      const util::DPoint e2 = ArcPoint(c, c.radKaishiKaku + c.radEnkoKaku);
      const util::DPoint s1 = util::TransPoint(a, ArcPoint(src, src.radKaishiKaku));
      const util::DPoint s2 =
          util::TransPoint(a, ArcPoint(src, src.radKaishiKaku + src.radEnkoKaku));
      const bool direct = std::hypot(e1.x - s1.x, e1.y - s1.y) <= tol &&
                          std::hypot(e2.x - s2.x, e2.y - s2.y) <= tol;
      const bool swapped = std::hypot(e1.x - s2.x, e1.y - s2.y) <= tol &&
                           std::hypot(e2.x - s1.x, e2.y - s1.y) <= tol;
      EXPECT_TRUE(direct || swapped);
      // A mirrored copy travels the other way round (so does the image of an
      // ellipse with a negative flattening); a negative sweep starts at the end.
      const bool reversed = (det < 0) != (src.dHenpeiRitsu < 0);
      EXPECT_EQ(swapped && !direct, reversed != (src.radEnkoKaku < 0));
    }

    TEntJwwSolid quad;
    quad.att.nPenStyle = 1;
    quad.end_x = 3;
    quad.DPoint2_x = 3 * unit(rng);
    quad.DPoint2_y = 2;
    quad.DPoint3_y = 2;
    ASSERT_TRUE(doc.BlockExplodeSolid(quad, t));
    util::DPoint corner = util::TransPoint(a, quad.DPoint2_x, quad.DPoint2_y);
    EXPECT_NEAR(doc.EntSolid[1].DPoint2_x, corner.x, 1e-12 * (1 + std::fabs(corner.x)));
    EXPECT_NEAR(doc.EntSolid[1].DPoint2_y, corner.y, 1e-12 * (1 + std::fabs(corner.y)));
  }
}
