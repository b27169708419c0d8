// SPDX-License-Identifier: GPL-3.0-or-later
// The preview reader: the same stream read up to an object limit, from a
// file. The limit comes from the input's size so that every limit from 0 to
// a few hundred is tried.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "jww/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MemFile file(data, size);
  jww::TJwwData doc;
  doc.FilePrevIn(file.path(), static_cast<int32_t>(size % 300));
  return 0;
}
