#include "jww/document.h"

// Placeholder until the whole-drawing explosion lands.
namespace jww {
bool TJwwData::BlockExplode() { return false; }
}  // namespace jww
