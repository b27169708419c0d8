// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes (write permission is given back first, so that
// tests that take it away still clean up).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace testjww {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "brindle-test") {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            (prefix + "-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder with a trailing separator, as image folders are given.
  std::string folder() const { return path_.string() + "/"; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // Writes `bytes` into a file of this folder and returns its path.
  std::filesystem::path File(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::filesystem::path p = path_ / name;
    std::ofstream o(p, std::ios::binary);
    o.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return p;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace testjww
