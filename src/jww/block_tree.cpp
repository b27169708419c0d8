#include "jww/document.h"

// Placeholder until the block tree lands.
namespace jww {
void TJwwData::MakeBlockTree() {}
int32_t TJwwData::ChangeBlockNo(uint32_t) const { return 0; }
int32_t TJwwData::GetBlkNo(const std::u16string&) const { return -1; }
std::u16string TJwwData::GetBlkName(const std::u16string& name) const { return name; }
int32_t TJwwData::GetBlkNumber(int32_t) const { return -1; }
}  // namespace jww
