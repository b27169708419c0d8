// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/user_numbers.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstdlib>

#include "util/encoding.h"

namespace app {
namespace {

std::string NumericLocaleName() {
  for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

// A locale object loaded for one question and freed with it.
class NumericLocale {
 public:
  explicit NumericLocale(const std::string& name)
      : loc_(newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(0))) {}
  ~NumericLocale() {
    if (loc_ != static_cast<locale_t>(0)) freelocale(loc_);
  }
  NumericLocale(const NumericLocale&) = delete;
  NumericLocale& operator=(const NumericLocale&) = delete;

  bool loaded() const { return loc_ != static_cast<locale_t>(0); }
  const char* item(nl_item i) const { return nl_langinfo_l(i, loc_); }

 private:
  locale_t loc_;
};

}  // namespace

util::NumberSeparators UserNumberSeparators() {
  util::NumberSeparators sep;
  const NumericLocale loc(NumericLocaleName());
  if (!loc.loaded()) return sep;
  // The texts are in the locale's own character set; only UTF-8 and plain
  // ASCII can be trusted here, anything else keeps the fallback.
  auto text = [&](nl_item item) -> std::u16string {
    const char* raw = loc.item(item);
    if (!raw) return {};
    std::u16string u = util::FromUtf8(raw);
    return u.find(u'\xFFFD') == std::u16string::npos ? u : std::u16string{};
  };
  const std::u16string dec = text(RADIXCHAR);
  const std::u16string thou = text(THOUSEP);
  const char* grouping = loc.item(GROUPING);
  if (!dec.empty()) sep.decimal = dec;
  // The C locale has no grouping at all; a grouped number still needs one.
  if (!thou.empty()) sep.thousands = thou;
  if (grouping && *grouping && static_cast<unsigned char>(*grouping) != CHAR_MAX)
    sep.grouping = grouping;
  return sep;
}

std::u16string FormatFixed(int digits, double v) {
  return util::FormatFixed(digits, v, UserNumberSeparators().decimal);
}

std::u16string FormatGrouped(int digits, double v) {
  return util::FormatGrouped(digits, v, UserNumberSeparators());
}

}  // namespace app
