#pragma once

namespace app {
// The program's version ("1.10.0") and the window caption ("Brindle Ver.1.10").
const char* Version();
const char* ProgramCaption();
}  // namespace app
