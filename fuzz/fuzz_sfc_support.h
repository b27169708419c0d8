// SPDX-License-Identifier: GPL-3.0-or-later
// What every SXF fuzz target does with the file it has: read it, convert
// it in memory as `brindle FILE.sfc` does, and write the result.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/convert.h"
#include "fuzz/fuzz_support.h"
#include "jww/document.h"
#include "sxf/sfc_drawing.h"

namespace fuzz {

// What the conversion does with a drawing an SXF reader made: converted in
// memory as `brindle FILE.sfc` does (within the copy cap) and written.
// `version`: the format version written (700 as the readers make it; below
// 700 the strings go to code page 932, as brindle --version does).
inline void ConvertAndWrite(jww::TJwwData& doc, int version = 700) {
  app::ConvertOptions options;
  options.maxCopies = kMaxFuzzCopies;
  app::ConvertResult result;
  if (!app::ConvertInMemory(doc, options, result, true)) {
    if (result.error.empty()) __builtin_trap();
    return;
  }
  if (version < 700) doc.SetFileOutOption(0);
  jww::ByteWriter out;
  doc.WriteToBuffer(out, version);
}

inline void ConvertSfc(std::string_view text, int version = 700) {
  jww::TJwwData doc;
  sxf::SfcReport report;
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  // Nesting that fills the block tree's million nodes only finds the
  // machine's speed under the sanitizers; the reader's bound is tested.
  if (!sxf::ReadSfc(std::span<const uint8_t>(p, text.size()), doc, report, kMaxFuzzCopies)) {
    if (report.error.reason.empty()) __builtin_trap();  // a failure always says why
    return;
  }
  ConvertAndWrite(doc, version);
}

}  // namespace fuzz
