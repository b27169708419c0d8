// SPDX-License-Identifier: GPL-3.0-or-later
// The P21 reader on any bytes: the exchange structure, the AP202 graph
// turned into feature records, the document built, converted in memory as
// the conversion does and the result written. Malformed input
// must fail with a reason; nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_sfc_support.h"
#include "jww/document.h"
#include "sxf/p21_drawing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  jww::TJwwData doc;
  sxf::SfcReport report;
  if (!sxf::ReadP21(std::span<const uint8_t>(data, size), doc, report, fuzz::kMaxFuzzCopies)) {
    if (report.error.Text().empty()) __builtin_trap();  // a failure always says why
    return 0;
  }
  fuzz::ConvertAndWrite(doc);
  return 0;
}
