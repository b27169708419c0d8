// SPDX-License-Identifier: GPL-3.0-or-later
// The SFC reader on any bytes: parse, build the document, convert it in
// memory as the conversion does and write the result. Malformed input must
// fail with a reason; nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_sfc_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ConvertSfc(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
