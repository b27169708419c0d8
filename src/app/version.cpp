// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/version.h"

#include <string>

namespace app {
const char* Version() { return BRINDLE_VERSION; }

// The caption names the major and minor version, as Jw_cad tools do.
const char* ProgramCaption() {
  static const std::string caption = [] {
    const std::string v = BRINDLE_VERSION;
    return "Brindle Ver." + v.substr(0, v.find('.', v.find('.') + 1));
  }();
  return caption.c_str();
}
}  // namespace app
