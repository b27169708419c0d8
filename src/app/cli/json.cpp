// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/json.h"

namespace app::cli {

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace app::cli
