// SPDX-License-Identifier: GPL-3.0-or-later
// The SFC reader on any bytes: parse, build the document, explode its
// sub-drawings as the conversion does and write the result. Malformed input
// must fail with a reason; nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "jww/document.h"
#include "sxf/sfc_drawing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  jww::TJwwData doc;
  sxf::SfcReport report;
  // Nesting that fills the block tree's million nodes only finds the
  // machine's speed under the sanitizers; the reader's bound is tested.
  if (!sxf::ReadSfc(std::span<const uint8_t>(data, size), doc, report, fuzz::kMaxFuzzCopies)) {
    if (report.error.Text().empty()) __builtin_trap();  // a failure always says why
    return 0;
  }
  fuzz::ExplodeAndWrite(doc);
  return 0;
}
