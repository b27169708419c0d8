// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-samples: writes the demo plan in several versions and, on request,
// generated drawings for benchmarks. A file that exists is never replaced.
//
//   brindle-samples DIR [--bench N [--moved]] [--sxf-bench F M P] [--sfc-bench N] [--plan-bench N]
//                       [--pictures]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/i18n.h"
#include "app/reasons.h"
#include "app/version.h"
#include "tools/sample_drawings.h"
#include "tools/sample_sfc.h"

namespace {

constexpr uint32_t kSeed = 20240601;

void Usage() {
  std::fputs(
      app::Tr("usage: brindle-samples DIR [--bench N] [--sxf-bench F M P]\n"
              "  writes plan.jww, plan-230.jww, plan-420.jww, plan-600.jww, plan-700.jww and\n"
              "  plan-utf16.jww into DIR; --bench N adds bench-N.jww (N entities of mixed\n"
              "  kinds), --sxf-bench F M P adds sxf-bench-F-M-P.jww (F SXF figures of M\n"
              "  members, placed P times in all); existing files are kept as they are\n"),
      stderr);
  std::fputs(
      app::Tr("  --moved (with --bench N) adds bench-N-moved.jww, the same drawing with 1 %\n"
              "  of its entities moved 1 mm, to compare with brindle diff\n"),
      stderr);
  std::fputs(app::Tr("  --version prints the version of brindle-samples\n"), stderr);
  std::fputs(app::Tr("  --sfc-bench N adds sfc-bench-N.sfc (an SXF drawing of about N features)\n"),
             stderr);
  std::fputs(app::Tr("  --plan-bench N adds plan-bench-N.jww (N entities in A3 plan cells tiled\n"
                     "  over one large sheet, made like the real drawings measured in bench/)\n"),
             stderr);
  std::fputs(app::Tr("  --pictures adds pictures.jww, which carries site.bmp (written beside it)\n"
                     "  and shows it four times\n"),
             stderr);
}

void Kept(const std::string& path) {
  std::fprintf(stderr, "%s\n",
               app::TrFormat("brindle-samples: {} exists, kept as it is", {path}).c_str());
}

// Writes an SFC text unless the file exists (then kept, and said so).
bool WriteSfc(const std::string& text, const std::string& dir, const std::string& name) {
  const std::filesystem::path path = std::filesystem::path(dir) / name;
  if (std::filesystem::exists(path)) {
    Kept(path.string());
    return true;
  }
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) {
    std::fprintf(stderr, "%s\n", app::TrFormat("brindle-samples: {}", {path.string()}).c_str());
    return false;
  }
  std::printf("%s\n", path.string().c_str());
  return true;
}

std::optional<int> PositiveNumber(const char* text) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v <= 0 || v > 100000000) return std::nullopt;
  return static_cast<int>(v);
}

bool Write(jww::TJwwData doc, const std::string& dir, const std::string& name) {
  const std::string path = (std::filesystem::path(dir) / name).string();
  std::string error;
  switch (tools::WriteNewDrawing(doc, path, 700, &error)) {
    case tools::SampleWrite::kWritten:
      std::printf("%s\n", path.c_str());
      return true;
    case tools::SampleWrite::kKept:
      Kept(path);
      return true;
    case tools::SampleWrite::kFailed:
      break;
  }
  std::fprintf(stderr, "%s\n",
               app::TrFormat("brindle-samples: {}", {app::TranslateCoreError(error)}).c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  app::InitMessages(argv[0]);
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    Usage();
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "--version") {
    std::printf("brindle-samples %s\n", app::Version());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // A folder name that looks like an option is a mistake, not a place to write.
  if (argc < 2 || argv[1][0] == '-') {
    Usage();
    return 2;
  }
  const std::string dir = argv[1];
  std::optional<int> bench, sfcBench, planBench;
  std::vector<int> sxf;
  bool moved = false, pictures = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--moved") {
      moved = true;
    } else if (arg == "--pictures") {
      pictures = true;
    } else if (arg == "--bench" && i + 1 < argc) {
      bench = PositiveNumber(argv[++i]);
      if (!bench) {
        Usage();
        return 2;
      }
    } else if (arg == "--sfc-bench" && i + 1 < argc) {
      sfcBench = PositiveNumber(argv[++i]);
      if (!sfcBench) {
        Usage();
        return 2;
      }
    } else if (arg == "--plan-bench" && i + 1 < argc) {
      planBench = PositiveNumber(argv[++i]);
      if (!planBench) {
        Usage();
        return 2;
      }
    } else if (arg == "--sxf-bench" && i + 3 < argc) {
      for (int k = 0; k < 3; ++k) {
        const auto v = PositiveNumber(argv[++i]);
        if (!v) {
          Usage();
          return 2;
        }
        sxf.push_back(*v);
      }
    } else {
      Usage();
      return 2;
    }
  }

  std::string error;
  std::vector<std::string> kept;
  if (!tools::WriteSamplePlans(dir, &error, &kept)) {
    std::fprintf(stderr, "%s\n",
                 app::TrFormat("brindle-samples: {}", {app::TranslateCoreError(error)}).c_str());
    return 1;
  }
  for (const char* name : {"plan.jww", "plan-230.jww", "plan-420.jww", "plan-600.jww",
                           "plan-700.jww", "plan-utf16.jww"}) {
    const std::string path = (std::filesystem::path(dir) / name).string();
    if (std::find(kept.begin(), kept.end(), path) == kept.end())
      std::printf("%s\n", path.c_str());
    else
      Kept(path);
  }
  if (pictures && !tools::WritePictureDrawing(dir, &error)) {
    std::fprintf(stderr, "%s\n",
                 app::TrFormat("brindle-samples: {}", {app::TranslateCoreError(error)}).c_str());
    return 1;
  }
  if (bench && !Write(tools::MakeBenchDrawing(*bench, kSeed), dir,
                      "bench-" + std::to_string(*bench) + ".jww")) {
    return 1;
  }
  if (bench && moved) {
    jww::TJwwData doc = tools::MakeBenchDrawing(*bench, kSeed);
    tools::MoveEveryNth(doc, 100, 1.0, 0.0);
    if (!Write(std::move(doc), dir, "bench-" + std::to_string(*bench) + "-moved.jww")) return 1;
  }
  if (planBench && !Write(tools::MakePlanBenchDrawing(*planBench, kSeed), dir,
                          "plan-bench-" + std::to_string(*planBench) + ".jww")) {
    return 1;
  }
  if (!sxf.empty() && !Write(tools::MakeSxfBenchDrawing(sxf[0], sxf[1], sxf[2], kSeed), dir,
                             "sxf-bench-" + std::to_string(sxf[0]) + "-" + std::to_string(sxf[1]) +
                                 "-" + std::to_string(sxf[2]) + ".jww")) {
    return 1;
  }
  if (sfcBench && !WriteSfc(tools::MakeSfcBench(*sfcBench, kSeed), dir,
                            "sfc-bench-" + std::to_string(*sfcBench) + ".sfc")) {
    return 1;
  }
  return 0;
}
