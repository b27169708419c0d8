// SPDX-License-Identifier: GPL-3.0-or-later
// The file check's signature and version and the header on their own, then
// the header written back in the version it claims.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "jww/archive.h"
#include "jww/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    fuzz::MemFile file(data, size);
    jww::TJwwData check;
    check.FileCheck(file.path());
  }
  jww::TJwwData doc;
  jww::ByteReader in(std::span<const uint8_t>(data, size));
  if (!doc.ReadHeader(in)) return 0;
  if (doc.Enthd.jwVer >= 220 && doc.Enthd.jwVer <= 700) {
    jww::ByteWriter out;
    doc.WriteHeader(out, doc.Enthd.jwVer);
  }
  return 0;
}
