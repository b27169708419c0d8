// SPDX-License-Identifier: GPL-3.0-or-later
// The XDG user-dirs.dirs parser: any text, looked up for the keys the
// program asks for. A folder found is always absolute.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "app/xdg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR"}) {
    const std::optional<std::string> dir = app::ParseUserDir(text, key, "/home/fuzz");
    if (dir && (dir->empty() || dir->front() != '/')) std::abort();
  }
  return 0;
}
