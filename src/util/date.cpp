// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/date.h"

#include <cstdint>

#include "util/text.h"

namespace util {
namespace {

struct Era {
  int64_t firstDay;  // yyyymmdd of the era's first day
  const char16_t* name;
  int offset;  // era year = Western year - offset
};

// Newest first; the first era whose first day is not after the date wins.
constexpr Era kOldEras[] = {
    {19890108, u"平成", 1988},
    {19261225, u"昭和", 1925},
    {19120730, u"大正", 1911},
    {18681023, u"明治", 1867},
};
constexpr Era kReiwa = {20190501, u"令和", 2018};

void SetEra(const Era* era, int year, std::u16string& name, std::u16string& eraYear) {
  if (!era) return;
  name = era->name;
  eraYear = IntToText(year - era->offset);
}

const Era* FindOldEra(int64_t ymd) {
  for (const Era& e : kOldEras)
    if (ymd >= e.firstDay) return &e;
  return nullptr;
}

}  // namespace

WarekiYear GetWarekiYear(int year, int month, int day) {
  // As the number yyyymmdd; a month or day out of range only shifts the
  // comparison the same way a date text would.
  const int64_t ymd = int64_t{year} * 10000 + int64_t{month} * 100 + day;
  WarekiYear w;
  w.western = IntToText(year);
  const Era* old = FindOldEra(ymd);
  SetEra(old, year, w.oldEra, w.oldYear);
  SetEra(ymd >= kReiwa.firstDay ? &kReiwa : old, year, w.newEra, w.newYear);
  return w;
}

WarekiYear GetWarekiYear(std::chrono::year_month_day date) {
  return GetWarekiYear(static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                       static_cast<int>(unsigned(date.day())));
}

}  // namespace util
