// SPDX-License-Identifier: GPL-3.0-or-later
// The folder of real Jw_cad drawings used by corpus tests, taken from the
// environment variable BRINDLE_CORPUS.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

// nullopt when BRINDLE_CORPUS is unset (callers GTEST_SKIP); when it is set
// but names no folder, the test fails and nullopt is returned.
inline std::optional<std::filesystem::path> CorpusDir() {
  const char* env = std::getenv("BRINDLE_CORPUS");
  if (env == nullptr || *env == '\0') return std::nullopt;
  std::filesystem::path dir(env);
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    ADD_FAILURE() << "BRINDLE_CORPUS is set to " << dir << ", which is not a folder";
    return std::nullopt;
  }
  return dir;
}
