// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/image_name.h"

#include <algorithm>
#include <filesystem>

#include "util/encoding.h"
#include "util/text.h"

namespace jww {
namespace {

constexpr std::u16string_view kTempFolderMark = u"%temp%";

}  // namespace

bool IsPlainImageName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':') return false;
  }
  return true;
}

std::string ImageTextFile(std::u16string_view name, const std::string& imageFolder,
                          const std::string& drawingFolder) {
  namespace fs = std::filesystem;
  if (name.size() >= kTempFolderMark.size() &&
      util::StrLower(name.substr(0, kTempFolderMark.size())) == kTempFolderMark) {
    const std::u16string_view leaf = name.substr(kTempFolderMark.size());
    if (!IsPlainImageName(leaf)) return {};
    return imageFolder + util::ToUtf8(leaf);
  }
  std::string path = util::ToUtf8(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code ec;
  if (fs::is_regular_file(path, ec) || drawingFolder.empty()) return path;
  return (fs::path(drawingFolder) / fs::path(path).filename()).string();
}

}  // namespace jww
