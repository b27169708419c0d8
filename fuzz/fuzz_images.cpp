// SPDX-License-Identifier: GPL-3.0-or-later
// Embedded images: a drawing read with its images extracted into a working
// folder, the compressed ones unpacked, packed again and embedded by the
// writer, then deleted. An input that starts like a gzip stream is taken as
// one compressed image file instead, so the fuzzer reaches zlib's corners
// directly. No file may be written outside the working folder, and none may
// be left behind.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>

#include "fuzz/fuzz_support.h"
#include "jww/document.h"

namespace {

void ExplodePackDelete(jww::TJwwData& doc) {
  doc.BindImageExplode();
  doc.BindImageDeleteGzFile();
  doc.BindImagePack();
  jww::ByteWriter out;
  doc.WriteToBuffer(out, 700);
  doc.BindImageDeleteFile();
  doc.BindImageDeleteNonGzFile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = fuzz::ScratchFolder().string() + "/";
  jww::TJwwData doc;
  doc.BindImageFolder = folder;
  doc.BindImageExp = true;
  if (size >= 2 && data[0] == 0x1f && data[1] == 0x8b) {
    std::ofstream(folder + "image.bmp.gz", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    doc.BindImage.push_back(
        jww::TBindImageType{u"image.bmp.gz", static_cast<int32_t>(size), false});
    doc.BindImageN = 1;
    doc.DataDefaultSet();
    ExplodePackDelete(doc);
  } else if (doc.ReadFromBuffer(std::span<const uint8_t>(data, size), "fuzz.jww")) {
    ExplodePackDelete(doc);
  }
  fuzz::EmptyScratchFolder();
  return 0;
}
