// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "util/date.h"

using util::GetWarekiYear;
using util::WarekiYear;

namespace {
void ExpectEras(const WarekiYear& w, std::u16string oldEra, std::u16string oldYear,
                std::u16string newEra, std::u16string newYear) {
  EXPECT_EQ(w.oldEra, oldEra);
  EXPECT_EQ(w.oldYear, oldYear);
  EXPECT_EQ(w.newEra, newEra);
  EXPECT_EQ(w.newYear, newYear);
}
}  // namespace

TEST(Wareki, ReiwaOnlyInTheCurrentTable) {
  WarekiYear last = GetWarekiYear(2019, 4, 30);
  EXPECT_EQ(last.western, u"2019");
  ExpectEras(last, u"平成", u"31", u"平成", u"31");
  ExpectEras(GetWarekiYear(2019, 5, 1), u"平成", u"31", u"令和", u"1");
  ExpectEras(GetWarekiYear(2025, 1, 1), u"平成", u"37", u"令和", u"7");
}

TEST(Wareki, EraBoundaries) {
  ExpectEras(GetWarekiYear(1989, 1, 7), u"昭和", u"64", u"昭和", u"64");
  ExpectEras(GetWarekiYear(1989, 1, 8), u"平成", u"1", u"平成", u"1");
  ExpectEras(GetWarekiYear(1926, 12, 24), u"大正", u"15", u"大正", u"15");
  ExpectEras(GetWarekiYear(1926, 12, 25), u"昭和", u"1", u"昭和", u"1");
  ExpectEras(GetWarekiYear(1912, 7, 29), u"明治", u"45", u"明治", u"45");
  ExpectEras(GetWarekiYear(1912, 7, 30), u"大正", u"1", u"大正", u"1");
  ExpectEras(GetWarekiYear(1868, 10, 23), u"明治", u"1", u"明治", u"1");
  WarekiYear before = GetWarekiYear(1868, 10, 22);
  EXPECT_EQ(before.western, u"1868");
  ExpectEras(before, u"", u"", u"", u"");
}

TEST(Wareki, ChronoDate) {
  using namespace std::chrono;
  ExpectEras(GetWarekiYear(year_month_day{year{2019}, month{5}, day{1}}), u"平成", u"31", u"令和",
             u"1");
  EXPECT_EQ(GetWarekiYear(year_month_day{year{-44}, month{3}, day{15}}).western, u"-44");
}
