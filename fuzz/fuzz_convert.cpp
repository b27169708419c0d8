// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion of one drawing in memory: read, measure, explode the SXF
// figures, write, then flatten every other placement (what --all-blocks adds)
// and write again. Nothing may crash, leak or read out of bounds, whatever the
// drawing's block tree claims.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "jww/sxf_plan.h"

namespace {

void Write(jww::TJwwData& doc) {
  jww::ByteWriter out;
  doc.SetFileOutOption(doc.MojiEncode ? 32 : 0);
  doc.WriteToBuffer(out, doc.Enthd.jwVer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  jww::TJwwData doc;
  doc.BindImageExr = true;  // image sections are read past, never extracted
  if (!doc.ReadFromBuffer(std::span<const uint8_t>(data, size), "fuzz.jww")) return 0;
  if (jww::PlanSxfExplosion(doc).copies > fuzz::kMaxFuzzCopies) return 0;
  doc.GetMinMaxZahyo();
  jww::DataTransJWW(doc);
  Write(doc);
  if (fuzz::CopiesInTree(doc) > fuzz::kMaxFuzzCopies) return 0;
  doc.BlockExplode();
  Write(doc);
  return 0;
}
