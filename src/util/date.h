// SPDX-License-Identifier: GPL-3.0-or-later
// The Japanese era (wareki) of a date.
#pragma once

#include <chrono>
#include <string>

namespace util {

struct WarekiYear {
  std::u16string western;  // the Western year, e.g. "2019"
  std::u16string oldEra;   // era name by the table that ends with Heisei
  std::u16string oldYear;
  std::u16string newEra;  // era name by the current table (Reiwa from 2019-05-01)
  std::u16string newYear;
};

// Before 1868-10-23 both era names and years are empty.
WarekiYear GetWarekiYear(int year, int month, int day);
WarekiYear GetWarekiYear(std::chrono::year_month_day date);

}  // namespace util
