// SPDX-License-Identifier: GPL-3.0-or-later
// The folder of real Jw_cad drawings used by corpus tests, taken from the
// environment variable BRINDLE_CORPUS.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

// nullopt when the variable is unset (callers GTEST_SKIP); when it is set
// but names no folder, the test fails and nullopt is returned.
inline std::optional<std::filesystem::path> CorpusDirOf(const char* variable) {
  const char* env = std::getenv(variable);
  if (env == nullptr || *env == '\0') return std::nullopt;
  std::filesystem::path dir(env);
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    ADD_FAILURE() << variable << " is set to " << dir << ", which is not a folder";
    return std::nullopt;
  }
  return dir;
}

inline std::optional<std::filesystem::path> CorpusDir() { return CorpusDirOf("BRINDLE_CORPUS"); }

// The real SXF drawings (SFC and P21), from BRINDLE_CORPUS_SXF.
inline std::optional<std::filesystem::path> SxfCorpusDir() {
  return CorpusDirOf("BRINDLE_CORPUS_SXF");
}
