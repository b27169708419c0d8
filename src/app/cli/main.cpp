// brindle: explodes the SXF figures of Jw_cad drawings from the command line.
//
//   brindle [convert] [options] FILE…     convert a batch
//   brindle dump FILE                     print the document as read
//   brindle rewrite IN OUT                read and write again, no explosion
//
// Exit status: 0 every file converted, 1 a file failed or was refused,
// 2 a usage error, 130 interrupted.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/cmd_info.h"
#include "app/cli/terminal.h"
#include "app/convert.h"
#include "app/driver.h"
#include "app/settings.h"
#include "app/version.h"
#include "app/xdg.h"
#include "jww/document.h"
#include "jww/dump.h"
#include "util/path.h"

namespace fs = std::filesystem;

namespace app::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

int ParseFailure(CLI::App& app, const CLI::ParseError& e) {
  int rc = app.exit(e);
  return rc == 0 ? kExitOk : kExitUsage;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

bool ExistsAnyKind(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// ---------------------------------------------------------------- convert

struct ConvertArgs {
  std::vector<std::string> files;
  bool desktop = false, documents = false, beside = false, ask = false;
  std::string outputDir;
  bool save = false;
  int jobs = 1;
  bool allBlocks = false;
  bool json = false;
  std::string settingsFile;
};

void ApplyModeOptions(const ConvertArgs& a, Settings& s) {
  if (a.desktop) s.SetMode(OutputMode::kDesktop);
  if (a.documents) s.SetMode(OutputMode::kDocuments);
  if (a.beside) s.SetMode(OutputMode::kBeside);
  if (!a.outputDir.empty()) {
    s.SetMode(OutputMode::kFixed);
    // Absolute, so that the log names the real place and a folder saved with
    // --save still means the same folder when brindle runs from elsewhere.
    std::error_code ec;
    fs::path full = fs::absolute(a.outputDir, ec);
    s.EditFl1 = ec ? a.outputDir : full.lexically_normal().string();
  }
  if (a.ask) s.SetMode(OutputMode::kAsk);
}

int RunConvert(int argc, char** argv) {
  CLI::App app{"Explodes the SXF figure blocks of Jw_cad drawings (.jww) into new files.",
               "brindle"};
  app.set_version_flag("--version", std::string("brindle ") + Version());
  app.footer(
      "Other commands:\n"
      "  brindle dump FILE        print a drawing as text (brindle dump --help)\n"
      "  brindle rewrite IN OUT   write a drawing again, e.g. for an older Jw_cad\n"
      "                           (brindle rewrite --help)\n"
      "Exit status: 0 all converted, 1 a file failed or was refused, 2 usage error,\n"
      "130 interrupted.");
  ConvertArgs a;
  app.add_option("FILE", a.files, "drawings to convert (.jww)");
  auto* desktop = app.add_flag("--desktop", a.desktop, "write to the desktop folder");
  auto* documents = app.add_flag("--documents", a.documents, "write to the documents folder");
  auto* beside = app.add_flag("--beside", a.beside, "write beside each source file");
  auto* outdir = app.add_option("-o,--output-dir", a.outputDir, "write into this existing folder");
  auto* ask = app.add_flag("--ask", a.ask, "ask for the output folder on the terminal");
  std::vector<CLI::Option*> modes{desktop, documents, beside, outdir, ask};
  for (CLI::Option* m : modes)
    for (CLI::Option* other : modes)
      if (m != other) m->excludes(other);
  app.add_flag("--save", a.save, "store the output folder chosen here in the settings");
  app.add_option("-j,--jobs", a.jobs, "files converted at once (0: one per processor)")
      ->check(CLI::Range(0, 1024));
  app.add_flag("--all-blocks", a.allBlocks, "explode every block placement, not only SXF figures");
  app.add_flag("--json", a.json, "one JSON object per file instead of the log lines");
  app.add_option("--settings", a.settingsFile, "settings file to use");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }

  std::string settingsPath = SettingsFilePath(ExecutablePath(), a.settingsFile);
  Settings loaded;
  if (!OpenDatFile(loaded, settingsPath, ProgramFolder()))
    std::cerr << "brindle: the settings file " << settingsPath << " could not be read\n";
  Settings current = loaded;
  ApplyModeOptions(a, current);

  if (a.files.empty()) {
    if (a.save) return SaveDatFile(current, settingsPath) ? kExitOk : kExitFailed;
    std::cerr << "brindle: no drawing given\n" << app.help();
    return kExitUsage;
  }

  TerminalPlatform::Options po;
  po.json = a.json;
  po.saveMode = a.save;
  po.settingsPath = settingsPath;
  TerminalPlatform platform(po, current, loaded);
  BatchDriver driver(platform, current);
  int jobs =
      a.jobs == 0 ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : a.jobs;
  driver.SetJobs(jobs);
  ConvertOptions co;
  co.allBlocks = a.allBlocks;
  driver.SetConvertOptions(co);

  int refused = 0;
  for (const std::string& f : a.files) {
    // The batch works with full paths, as a drop or the open dialog gives them.
    std::error_code ec;
    fs::path full = f.empty() ? fs::path() : fs::absolute(f, ec).lexically_normal();
    if (!ec && driver.PickupFile(full.string())) continue;
    std::cerr << "brindle: skipped " << f << ": not an existing .jww file\n";
    ++refused;
  }
  if (driver.FListN == 0) return kExitFailed;

  platform.SetBatchSize(driver.FList.size(), ::isatty(STDERR_FILENO) && driver.FListN > 1);

  BatchOutcome outcome = driver.RunProc();
  platform.FinishProgress();
  std::fflush(stdout);
  switch (outcome.status) {
    case BatchStatus::kNoFiles:
    case BatchStatus::kNotStarted:
      return kExitFailed;
    case BatchStatus::kStopped:
      return kExitInterrupted;
    case BatchStatus::kCompleted:
      break;
  }
  return outcome.failed > 0 || refused > 0 ? kExitFailed : kExitOk;
}

// ------------------------------------------------------------ dump, rewrite

// Reads `file` completely into `doc`; prints why not on stderr.
bool ReadDrawing(jww::TJwwData& doc, const std::string& file) {
  if (!doc.FileCheck(file)) {
    std::cerr << "brindle: " << file
              << ": not a Jw_cad drawing of version 220 to 700, or it cannot be opened\n";
    return false;
  }
  if (!doc.FileIn(file)) {
    std::cerr << "brindle: " << file << ": the drawing could not be read completely\n";
    return false;
  }
  return true;
}

bool RefuseExisting(const std::string& in, const std::string& out, bool force) {
  if (SameFile(in, out)) {
    std::cerr << "brindle: " << out << " is the input file; it is never written\n";
    return true;
  }
  if (!force && ExistsAnyKind(out)) {
    std::cerr << "brindle: " << out << " exists (use --force to replace it)\n";
    return true;
  }
  return false;
}

bool WriteText(const std::string& path, const std::string& text, bool force) {
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  if (force) {
    fs::rename(tmp, path, ec);
  } else {
    // A hard link never replaces a file that appeared meanwhile.
    fs::create_hard_link(tmp, path, ec);
    std::error_code ignored;
    fs::remove(tmp, ignored);
  }
  return !ec;
}

int RunDump(int argc, char** argv) {
  CLI::App app{"Prints a drawing as it was read.", "brindle dump"};
  std::string file, out;
  bool force = false;
  app.add_option("FILE", file, "drawing to read")->required();
  app.add_option("-o,--output", out, "write the text into this file instead of stdout");
  app.add_flag("--force", force, "replace an existing output file");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (!out.empty() && RefuseExisting(file, out, force)) return kExitFailed;

  jww::TJwwData doc;
  ScopedImageFolder images;
  images.Attach(doc, false);
  if (!ReadDrawing(doc, file)) return kExitFailed;
  std::string text = jww::DumpDocument(doc);
  JwwDataFree(doc);
  if (out.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
  }
  if (!WriteText(out, text, force)) {
    std::cerr << "brindle: " << out << ": could not be written\n";
    return kExitFailed;
  }
  return kExitOk;
}

int RunRewrite(int argc, char** argv) {
  CLI::App app{"Reads a drawing and writes it again without exploding anything.",
               "brindle rewrite"};
  std::string in, out;
  std::optional<int> version;
  bool utf16 = false, cp932 = false, force = false;
  app.add_option("IN", in, "drawing to read")->required();
  app.add_option("OUT", out, "file to write")->required();
  app.add_option("--version", version, "format version to write (220 to 700)")
      ->check(CLI::Range(220, 700));
  auto* u = app.add_flag("--utf16", utf16, "write every string as UTF-16");
  auto* c = app.add_flag("--cp932", cp932, "write every string in code page 932");
  u->excludes(c);
  app.add_flag("--force", force, "replace an existing output file");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (RefuseExisting(in, out, force)) return kExitFailed;

  jww::TJwwData doc;
  ScopedImageFolder images;
  if (!images.ok()) {
    std::cerr << "brindle: cannot make a working folder for the drawing's images\n";
    return kExitFailed;
  }
  images.Attach(doc, true);
  if (!ReadDrawing(doc, in)) {
    JwwDataFree(doc);
    return kExitFailed;
  }
  doc.SetFileOutOption(utf16 || (!cp932 && doc.MojiEncode) ? 32 : 0);
  std::string error;
  std::string written = WriteDocument(doc, out, version.value_or(doc.Enthd.jwVer),
                                      force ? NameRule::kReplace : NameRule::kExact, &error);
  JwwDataFree(doc);
  if (written.empty()) {
    std::cerr << "brindle: " << out << ": " << error << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace
}  // namespace app::cli

namespace {

// A large drawing lives in a few arrays of hundreds of megabytes; with 4 KB
// pages most of a conversion goes into page faults (a 1M-entity drawing
// rewrites three times faster on huge pages). glibc takes its allocator
// settings only from the environment at start-up, so the program starts
// itself once more with them, unless the user has chosen settings of their own.
void PreferLargePages(char** argv) {
  if (std::getenv("GLIBC_TUNABLES") != nullptr) return;
  if (::setenv("GLIBC_TUNABLES",
               "glibc.malloc.hugetlb=1:glibc.malloc.trim_threshold=268435456:"
               "glibc.malloc.top_pad=67108864",
               1) != 0) {
    return;
  }
  ::execv("/proc/self/exe", argv);
  ::unsetenv("GLIBC_TUNABLES");  // could not restart: carry on as we are
}

}  // namespace

int main(int argc, char** argv) {
  PreferLargePages(argv);
  using namespace app::cli;
  std::string command = argc > 1 ? argv[1] : "";
  bool convert = command != "dump" && command != "rewrite" && command != "info";
  InstallInterruptHandling(convert);
  if (command == "dump") return RunDump(argc - 1, argv + 1);
  if (command == "info") return RunInfo(argc - 1, argv + 1);
  if (command == "rewrite") return RunRewrite(argc - 1, argv + 1);
  if (command == "convert") return RunConvert(argc - 1, argv + 1);
  return RunConvert(argc, argv);
}
