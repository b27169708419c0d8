// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace jww {

// Image names come from the file and are joined to the working folder: only a
// plain file name is acceptable (no "/" or "\", no drive, not "." or "..", no
// control characters), so that no read, write or delete can leave that folder.
bool IsPlainImageName(std::u16string_view name);

// The picture file an image text names: "%temp%NAME" is a picture carried in
// the drawing, kept in `imageFolder` (BindImageFolder) under NAME; any other
// name is a linked file, taken as it stands when it exists and otherwise
// looked for by its file name in `drawingFolder` (a link written on another
// machine). Empty when a carried picture's name is not a plain file name.
std::string ImageTextFile(std::u16string_view name, const std::string& imageFolder,
                          const std::string& drawingFolder);

}  // namespace jww
