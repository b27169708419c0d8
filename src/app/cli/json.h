// The JSON the commands print: objects keep their keys in the order written,
// and every text comes out as valid UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace app::cli {

using Json = nlohmann::ordered_json;

// Sets `key` to the file name `name`; when `name` is not valid UTF-8 (a
// Shift-JIS name from a Windows archive) it is written with U+FFFD in place
// of the bad bytes, and its exact bytes go in hexadecimal into `key`Bytes.
void PutName(Json& j, const std::string& key, const std::string& name);

// One line of JSON.
std::string Dump(const Json& j);

}  // namespace app::cli
