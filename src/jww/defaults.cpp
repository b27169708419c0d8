#include "jww/document.h"

// Placeholder until the default tables land.
namespace jww {
void TJwwData::DataDefaultSet() {}
void TJwwData::FileColorSet(DrawAttrStore&) const {}
void TJwwData::FileLtypeSet(DrawAttrStore&) const {}
void TJwwData::SetGAttLayer(DrawAttrStore&) const {}
}  // namespace jww
