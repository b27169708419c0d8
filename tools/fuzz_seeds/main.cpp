// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-fuzz-seeds: writes the inputs the fuzz targets start from, so that
// no binary seed needs to live in the repository.
//
//   brindle-fuzz-seeds DIR
//
// DIR/jww/        the demo plan in every format version (220, 230, 300, 351,
//                 420, 600, 700, 700 with UTF-16 strings, 700 with embedded
//                 images), a small benchmark drawing and small SXF figures
// DIR/gzip/       a compressed image file as drawings carry them
// DIR/settings/   settings files
// DIR/user-dirs/  user-dirs.dirs files
// DIR/sfc/        SFC files: every feature kind, and a generated drawing
// DIR/p21/        a P21 file: styles, a line, a text, a placed sub-drawing
// DIR/choices/    bytes for the targets that make SFC files from choices
//                 (fuzz_sfc_records, fuzz_sfc_figures, fuzz_sfc_text)
// Existing files are kept as they are.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "app/settings.h"
#include "jww/document.h"
#include "tools/sample_drawings.h"
#include "tools/sample_p21.h"
#include "tools/sample_sfc.h"

namespace fs = std::filesystem;

namespace {

bool WriteDrawing(jww::TJwwData& doc, const fs::path& path, int32_t version, int32_t options) {
  doc.SetFileOutOption(options);
  std::string error;
  if (tools::WriteNewDrawing(doc, path.string(), version, &error) != tools::SampleWrite::kFailed)
    return true;
  std::fprintf(stderr, "brindle-fuzz-seeds: %s\n", error.c_str());
  return false;
}

bool WriteText(const fs::path& path, const std::string& text) {
  if (fs::exists(path)) return true;
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

bool WriteGzip(const fs::path& path, const std::string& content) {
  gzFile gz = gzopen(path.c_str(), "wb9");
  if (!gz) return false;
  const bool ok = gzwrite(gz, content.data(), static_cast<unsigned>(content.size())) ==
                  static_cast<int>(content.size());
  return gzclose_w(gz) == Z_OK && ok;
}

// Some bytes that look like the start of a bitmap and compress well.
std::string ImageBytes(char fill, size_t size) {
  std::string b = "BM";
  b.resize(size, fill);
  return b;
}

// The plan with two images, one compressed and one plain, each placed by an
// image text the way Jw_cad stores them.
bool WritePlanWithImages(const fs::path& dir) {
  const fs::path target = dir / "plan-700-images.jww";
  if (fs::exists(target)) return true;
  const fs::path work = dir / ".images";
  std::error_code ec;
  fs::create_directories(work, ec);
  jww::TJwwData doc = tools::MakeSamplePlan();
  doc.BindImageFolder = work.string() + "/";
  doc.BindImageExp = true;
  bool ok = WriteGzip(work / "logo.bmp.gz", ImageBytes('L', 600)) &&
            WriteText(work / "photo.png", ImageBytes('P', 300));
  doc.BindImage.push_back({u"logo.bmp.gz", 0, false});
  doc.BindImage.push_back({u"photo.png", 300, false});
  doc.BindImageN = 2;
  ok = ok &&
       doc.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 0, 10, 10, 60, 10, 5, 5, 0, 0, u"ＭＳ ゴシック",
                      u"^@BM%temp%logo.bmp,10,10,50,40,0,0,1") &&
       doc.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 0, 80, 10, 130, 10, 5, 5, 0, 0, u"ＭＳ ゴシック",
                      u"^@BM%temp%photo.png,80,10,50,40,0,0,1");
  ok = ok && WriteDrawing(doc, target, 700, 0);
  fs::remove_all(work, ec);
  return ok;
}

bool WriteDrawings(const fs::path& dir) {
  jww::TJwwData plan = tools::MakeSamplePlan();
  for (int32_t v : {220, 230, 300, 351, 420, 600, 700})
    if (!WriteDrawing(plan, dir / ("plan-" + std::to_string(v) + ".jww"), v, 0)) return false;
  if (!WriteDrawing(plan, dir / "plan-700-utf16.jww", 700, 32)) return false;
  jww::TJwwData bench = tools::MakeBenchDrawing(300, 7);
  jww::TJwwData sxf = tools::MakeSxfBenchDrawing(3, 8, 12, 7);
  return WriteDrawing(bench, dir / "bench-300.jww", 600, 0) &&
         WriteDrawing(sxf, dir / "sxf-3-8-12.jww", 420, 0) && WritePlanWithImages(dir);
}

bool WriteSettings(const fs::path& dir) {
  app::Settings s;
  s.SetDefaults("/opt/brindle/");
  bool ok = WriteText(dir / "defaults.dat", app::SettingsText(s));
  s.SetMode(app::OutputMode::kFixed);
  s.EditFl1 = "/home/user/図面/出力";
  s.Label1 = "/home/user/受信";
  s.gstyle = "Windows10 Dark";
  ok = ok && WriteText(dir / "fixed.dat", app::SettingsText(s));
  return ok && WriteText(dir / "short.dat", "120\r\n-40\r\n800\r\n600\r\n0\r\n0\r\n1\r\n");
}

bool WriteUserDirs(const fs::path& dir) {
  return WriteText(dir / "user-dirs.dirs",
                   "# This file is written by xdg-user-dirs-update\n"
                   "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                   "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
                   "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n") &&
         WriteText(dir / "japanese.dirs",
                   "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n"
                   "XDG_DOCUMENTS_DIR=\"/srv/docs/with \\\"quotes\\\" and \\\\\"\n"
                   "  XDG_DESKTOP_DIR = \"${HOME}/later/wins\"\n");
}

// Any bytes are a file of choices; a few of every length start the search
// wide, the same ones every time.
bool WriteChoices(const fs::path& dir) {
  std::mt19937 rng(24);
  bool ok = true;
  for (size_t size : {16, 64, 256, 1024, 4096}) {
    for (int k = 0; k < 3; ++k) {
      std::string bytes(size, '\0');
      for (char& c : bytes) c = static_cast<char>(rng());
      ok = ok &&
           WriteText(dir / ("choices-" + std::to_string(size) + "-" + std::to_string(k)), bytes);
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: brindle-fuzz-seeds DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  std::error_code ec;
  for (const char* sub : {"jww", "gzip", "settings", "user-dirs", "sfc", "p21", "choices"})
    fs::create_directories(root / sub, ec);
  const bool ok = WriteDrawings(root / "jww") &&
                  (fs::exists(root / "gzip" / "logo.bmp.gz") ||
                   WriteGzip(root / "gzip" / "logo.bmp.gz", ImageBytes('G', 2000))) &&
                  WriteSettings(root / "settings") && WriteUserDirs(root / "user-dirs") &&
                  WriteText(root / "sfc" / "sample.sfc", tools::MakeSampleSfc()) &&
                  WriteText(root / "sfc" / "bench-200.sfc", tools::MakeSfcBench(200, 1)) &&
                  WriteText(root / "p21" / "sample.p21", tools::MakeSampleP21()) &&
                  WriteChoices(root / "choices");
  if (!ok) std::fprintf(stderr, "brindle-fuzz-seeds: cannot write the seeds into %s\n", argv[1]);
  return ok ? 0 : 1;
}
