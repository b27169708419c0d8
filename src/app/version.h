// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace app {
// The program's version (CMake's project version, "1.11.0") and the window
// caption made of it ("Brindle Ver.1.11").
const char* Version();
const char* ProgramCaption();
}  // namespace app
