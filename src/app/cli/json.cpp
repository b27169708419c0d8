#include "app/cli/json.h"

namespace app::cli {
namespace {

bool IsValidUtf8(const std::string& s) {
  try {
    (void)Json(s).dump();
    return true;
  } catch (const Json::type_error&) {
    return false;
  }
}

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace

void PutName(Json& j, const std::string& key, const std::string& name) {
  j[key] = name;
  if (!IsValidUtf8(name)) j[key + "Bytes"] = Hex(name);
}

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace app::cli
