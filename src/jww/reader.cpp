#include "jww/document.h"

// Placeholder until the entity reader lands.
namespace jww {
bool TJwwData::FileIn(const std::string&) { return false; }
bool TJwwData::FilePrevIn(const std::string&, int32_t) { return false; }
bool TJwwData::ReadFromBuffer(std::span<const uint8_t>, const std::string&) { return false; }
}  // namespace jww
