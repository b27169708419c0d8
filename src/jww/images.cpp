#include "jww/document.h"

// Placeholder until image management lands.
namespace jww {
void TJwwData::BindImageInit() {
  BindImage.clear();
  BindImageN = 0;
}
void TJwwData::BindImageExplode() {}
void TJwwData::BindImagePack() {}
void TJwwData::BindImageCopy(const std::string&) {}
void TJwwData::BindImageDeleteFile() {}
void TJwwData::BindImageDeleteGzFile() {}
void TJwwData::BindImageDeleteNonGzFile() {}
}  // namespace jww
