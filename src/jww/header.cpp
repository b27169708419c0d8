#include "jww/document.h"

// Placeholder until the header reader and writer land.
namespace jww {
bool TJwwData::FileCheck(const std::string&) const { return false; }
bool TJwwData::FileHeaderIn(const std::string&) { return false; }
bool TJwwData::ReadHeader(ByteReader&) { return false; }
bool TJwwData::WriteHeader(ByteWriter&, int32_t) { return false; }
}  // namespace jww
