#include "jww/document.h"

// Placeholder until the writer lands.
namespace jww {
bool TJwwData::FileOut(const std::string&, int32_t) { return false; }
void TJwwData::SetFileOutOption(int32_t n) { FileOutOpt = (n >= 0 && n <= 63) ? n : 0; }
bool TJwwData::WriteToBuffer(ByteWriter&, int32_t) { return false; }
}  // namespace jww
