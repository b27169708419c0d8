// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace jww {

// Image names come from the file and are joined to the working folder: only a
// plain file name is acceptable (no "/" or "\", no drive, not "." or "..", no
// control characters), so that no read, write or delete can leave that folder.
bool IsPlainImageName(std::u16string_view name);

}  // namespace jww
