// SPDX-License-Identifier: GPL-3.0-or-later
// The picture files a DXF export refers to: one per picture file its image
// texts show, each under a file name of its own in the folder written beside
// the DXF. Measuring a picture (its size in pixels) is the caller's: the
// core reads no image formats.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace jww {
class TJwwData;
}

namespace dxf {

struct Picture {
  std::string source;         // the file to copy (a path)
  std::string name;           // its file name beside the DXF, UTF-8
  int width = 0, height = 0;  // pixels
};

// The size in pixels of the picture file at `path`; false when it is missing
// or no picture that can be read.
using PictureSizer = std::function<bool(const std::string& path, int& width, int& height)>;

struct PicturePlan {
  std::vector<Picture> pictures;
  // By the file name an image text gives; kNone when its picture is missing
  // or cannot be read.
  static constexpr size_t kNone = SIZE_MAX;
  std::map<std::u16string, size_t, std::less<>> byTextName;

  // The picture an image text's file name shows, or nullptr.
  const Picture* Find(std::u16string_view textName, size_t* index = nullptr) const;
};

// Every picture the drawing's image texts show (the drawing's own texts and
// its block definitions'), found as the renderer finds them: carried ones in
// the document's image folder, linked ones where they are or in
// `drawingFolder`. Names are the pictures' own file names, made unique by a
// "~2", "~3" … before the extension, compared without regard to case.
PicturePlan PlanPictures(const jww::TJwwData& doc, const std::string& drawingFolder,
                         const PictureSizer& size);

}  // namespace dxf
