// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the reader and writes whatever it made of them
// back out: neither may crash, hang, leak or read out of bounds, whatever the
// file claims.
#include <cstddef>
#include <cstdint>
#include <span>

#include "jww/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  jww::TJwwData doc;
  // Image sections are read past but never extracted: no file is written.
  doc.BindImageExr = true;
  doc.ReadFromBuffer(std::span<const uint8_t>(data, size), "fuzz.jww");
  if (doc.Enthd.jwVer >= 220 && doc.Enthd.jwVer <= 700) {
    jww::ByteWriter out;
    doc.SetFileOutOption(doc.MojiEncode ? 32 : 0);
    doc.WriteToBuffer(out, doc.Enthd.jwVer);
  }
  return 0;
}
