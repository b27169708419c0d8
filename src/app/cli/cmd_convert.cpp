// brindle convert: a batch of drawings through the batch driver.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/terminal.h"
#include "app/convert.h"
#include "app/driver.h"
#include "app/i18n.h"
#include "app/settings.h"
#include "app/version.h"
#include "app/xdg.h"

namespace fs = std::filesystem;

namespace app::cli {
namespace {

struct ConvertArgs {
  std::vector<std::string> files;
  bool desktop = false, documents = false, beside = false, ask = false;
  std::string outputDir;
  bool save = false;
  int jobs = 1;
  bool allBlocks = false;
  int64_t maxCopies = kDefaultMaxCopies;
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

}  // namespace

int RunConvert(int argc, char** argv) {
  CLI::App app{"Explodes the SXF figure blocks of Jw_cad drawings (.jww) into new files.",
               "brindle"};
  app.set_version_flag("--version", std::string("brindle ") + Version());
  app.footer(CommandList() +
             Tr("Exit status: 0 all converted, 1 a file failed or was refused, 2 usage error,\n"
                "130 interrupted."));
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
  app.add_option("--max-copies", a.maxCopies,
                 TrFormat("refuse a file whose explosion would make more copies than this "
                          "(default {})",
                          {std::to_string(kDefaultMaxCopies)}))
      ->check(CLI::PositiveNumber);
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
  co.maxCopies = a.maxCopies;
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

}  // namespace app::cli
