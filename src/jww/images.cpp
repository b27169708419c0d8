#include "jww/document.h"

namespace jww {

void TJwwData::BindImageInit() {
  BindImage.clear();
  BindImageN = 0;
}

}  // namespace jww
