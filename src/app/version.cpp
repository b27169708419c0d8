#include "app/version.h"

namespace app {
const char* Version() { return BRINDLE_VERSION; }
const char* ProgramCaption() { return "Brindle Ver.1.10"; }
}  // namespace app
