// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as the user reads them: the separators of the locale the user's
// environment names for numbers. Only for what the programs show; what goes
// into a drawing is written with "." and "," whatever the locale.
#pragma once

#include <string>

#include "util/text.h"

namespace app {

// LC_NUMERIC of the environment (LC_ALL, then LC_NUMERIC, then LANG); "." and
// "," in groups of three when that locale cannot be loaded.
util::NumberSeparators UserNumberSeparators();

// `digits` decimals with the user's decimal separator.
std::u16string FormatFixed(int digits, double v);
// The same with the user's thousands separator and grouping.
std::u16string FormatGrouped(int digits, double v);

}  // namespace app
