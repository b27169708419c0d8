// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: any text read as the 14 lines, written again and read
// back. What it reads once must read the same after one round.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  app::Settings first;
  first.SetDefaults("/fuzz/");
  app::ReadSettingsText(first, std::string_view(reinterpret_cast<const char*>(data), size));
  app::Settings second;
  app::ReadSettingsText(second, app::SettingsText(first));
  app::Settings third;
  app::ReadSettingsText(third, app::SettingsText(second));
  if (!(second == third)) std::abort();
  return 0;
}
