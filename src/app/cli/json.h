// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON the commands print: objects keep their keys in the order written,
// and every text comes out as valid UTF-8 (file names through
// app::PutJsonName, json_names.h).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "app/json_names.h"

namespace app::cli {

using Json = nlohmann::ordered_json;

// Sets `key` to the file name `name`, its exact bytes beside when it is not
// valid UTF-8.
inline void PutName(Json& j, const std::string& key, const std::string& name) {
  PutJsonName(j, key, name);
}

// One line of JSON.
std::string Dump(const Json& j);

}  // namespace app::cli
