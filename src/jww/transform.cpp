#include "jww/document.h"

// Placeholder until the entity transforms land.
namespace jww {
bool TJwwData::BlockExplodeLine(const TEntJwwLine&, const TPlacement&) { return false; }
bool TJwwData::BlockExplodeEnko(const TEntJwwEnko&, const TPlacement&) { return false; }
bool TJwwData::BlockExplodeTen(const TEntJwwTen&, const TPlacement&) { return false; }
bool TJwwData::BlockExplodeMoji(const TEntJwwMoji&, const TPlacement&) { return false; }
bool TJwwData::BlockExplodeSunpo(const TEntJwwSunpo&, const TPlacement&) { return false; }
bool TJwwData::BlockExplodeSolid(const TEntJwwSolid&, const TPlacement&) { return false; }
void TJwwData::MoveEntALL(double, double) {}
void TJwwData::ScaleEntALL(double, double, double) {}
}  // namespace jww
