// SPDX-License-Identifier: GPL-3.0-or-later
// Names from the file system (paths) in JSON records. JSON text must be
// valid UTF-8, but a Linux file name is any string of bytes: a name that is
// not valid UTF-8 is written with each undecodable byte shown as "\xNN", and
// its exact bytes follow under the same key with "Bytes" appended, as
// lower-case hexadecimal, so that a script can still open the file.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace app {

bool IsValidUtf8(std::string_view s);

// `name` with every byte that does not start a valid UTF-8 sequence
// replaced by the four characters "\xNN".
std::string EscapedUtf8(std::string_view name);

// object[key] = name, and object[key + "Bytes"] = hex bytes when the name is
// not valid UTF-8.
void PutJsonName(nlohmann::ordered_json& object, const std::string& key, std::string_view name);

}  // namespace app
